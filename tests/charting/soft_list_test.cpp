#include "charting/soft_list.h"

#include <gtest/gtest.h>

#include "../support/temp_program_folder.h"

namespace {

TempProgramFolder::Options Ini(const std::string& text) {
  TempProgramFolder::Options options;
  options.withIni = true;
  options.iniText = text;
  return options;
}

}  // namespace

TEST(LoadSoftList, ReadsTheCountedEntriesInOrder) {
  TempProgramFolder folder(Ini("[SoftList]\r\nSoftCount=2\r\nSoftName1=通达信\r\nSoftProcessName1=TdxW.exe\r\n"
                               "SoftName2=Other\r\nSoftProcessName2=other.exe\r\nSoftName3=Extra\r\n"
                               "SoftProcessName3=extra.exe\r\n"));
  LoadSoftList();
  ASSERT_EQ(g_vecSoftList.size(), 2u);
  EXPECT_EQ(g_vecSoftList[0].name, "通达信");
  EXPECT_EQ(g_vecSoftList[0].processName, "TdxW.exe");
  EXPECT_EQ(g_vecSoftList[1].processName, "other.exe");
}

TEST(LoadSoftList, MissingFileOrCountGivesNone) {
  {
    TempProgramFolder folder;
    g_vecSoftList = {{"x", "x.exe"}};
    LoadSoftList();
    EXPECT_TRUE(g_vecSoftList.empty());
  }
  TempProgramFolder folder(Ini("[SoftList]\r\nSoftCount=-3\r\nSoftName1=A\r\n"));
  LoadSoftList();
  EXPECT_TRUE(g_vecSoftList.empty());
}

TEST(ReadSoftList, AHugeCountIsCapped) {
  TempProgramFolder folder(Ini("[SoftList]\r\nSoftCount=2000000000\r\nSoftName1=A\r\nSoftProcessName1=a.exe\r\n"));
  const auto list = ReadSoftList(folder.File("sysinfo.ini"));
  ASSERT_EQ(list.size(), 256u);
  EXPECT_EQ(list[0].processName, "a.exe");
  EXPECT_EQ(list[1].processName, "");
}
