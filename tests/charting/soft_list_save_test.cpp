// Adding and saving linked programs: the checks before an add and the rewrite of the
// SoftList keys.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../support/temp_program_folder.h"
#include "charting/soft_list.h"
#include "storage/charset.h"

namespace {

const std::vector<SoftListEntry> kThree = {{"通达信", "TdxW.exe"}, {"示例行情", "demo.exe"}, {"样例看盘", "sample.exe"}};

// The three programs, with keys and comments of other sections around them.
const char* const kThreeIni =
    "; settings of the desk\r\n"
    "[system]\r\n"
    "TDX_DIR=/home/u/.wine/drive_c/new_tdx/TdxW.exe\r\n"
    "[SoftList]\r\n"
    "; the linked programs\r\n"
    "SoftCount=3\r\n"
    "SoftName1=通达信\r\n"
    "SoftProcessName1=TdxW.exe\r\n"
    "SoftName2=示例行情\r\n"
    "SoftProcessName2=demo.exe\r\n"
    "SoftName3=样例看盘\r\n"
    "SoftProcessName3=sample.exe\r\n"
    "\r\n"
    "[BuySellColor]\r\n"
    "BuyMoney1_Color=255\r\n";

TempProgramFolder::Options Ini(const std::string& text,
                               TempProgramFolder::IniEncoding encoding = TempProgramFolder::IniEncoding::Utf8) {
  TempProgramFolder::Options options;
  options.withIni = true;
  options.iniText = text;
  options.encoding = encoding;
  return options;
}

}  // namespace

TEST(CheckNewSoftTest, EmptyOrBlankNameOrProcessIsRefused) {
  EXPECT_EQ(CheckNewSoft(kThree, "", "a.exe"), "股票分析软件名称不能为空！");
  EXPECT_EQ(CheckNewSoft(kThree, " \t ", "a.exe"), "股票分析软件名称不能为空！");
  EXPECT_EQ(CheckNewSoft(kThree, "\xE3\x80\x80", "a.exe"), "股票分析软件名称不能为空！");  // U+3000 only
  EXPECT_EQ(CheckNewSoft(kThree, "New", ""), "股票分析软件进程名称不能为空！");
  EXPECT_EQ(CheckNewSoft(kThree, "New", "  \r\n"), "股票分析软件进程名称不能为空！");
  // The name is checked first.
  EXPECT_EQ(CheckNewSoft(kThree, " ", " "), "股票分析软件名称不能为空！");
}

TEST(CheckNewSoftTest, ADuplicateNameIsRefusedWhateverItsProcess) {
  EXPECT_EQ(CheckNewSoft(kThree, "示例行情", "other.exe"), "列表中已有该股票分析软件名称!");
  EXPECT_EQ(CheckNewSoft(kThree, "  示例行情 ", "demo.exe"), "列表中已有该股票分析软件名称!");
  // Exact comparison of the name only: another spelling or a known process is no duplicate.
  EXPECT_EQ(CheckNewSoft({{"Tdx", "TdxW.exe"}}, "TDX", "TdxW.exe"), "");
  EXPECT_EQ(CheckNewSoft(kThree, "New", "TdxW.exe"), "");
  EXPECT_EQ(CheckNewSoft({}, "New", "new.exe"), "");
}

TEST(TrimSoftTextTest, CutsAsciiAndIdeographicBlanksAtBothEnds) {
  EXPECT_EQ(TrimSoftText("  a b\t"), "a b");
  EXPECT_EQ(TrimSoftText("\xE3\x80\x80 名称\xE3\x80\x80\r\n"), "名称");
  EXPECT_EQ(TrimSoftText("中\xE3\x80\x80文"), "中\xE3\x80\x80文");
  EXPECT_EQ(TrimSoftText(""), "");
}

TEST(SaveSoftListTest, DeletingTheSecondOfThreeLeavesNoGapAndNoStaleKey) {
  TempProgramFolder folder(Ini(kThreeIni));
  const std::string path = folder.File("sysinfo.ini");
  std::vector<SoftListEntry> list = ReadSoftList(path);
  ASSERT_EQ(list.size(), 3u);
  list.erase(list.begin() + 1);
  ASSERT_TRUE(SaveSoftList(path, list));

  EXPECT_EQ(folder.ReadFile("sysinfo.ini"),
            "; settings of the desk\r\n"
            "[system]\r\n"
            "TDX_DIR=/home/u/.wine/drive_c/new_tdx/TdxW.exe\r\n"
            "[SoftList]\r\n"
            "; the linked programs\r\n"
            "SoftCount=2\r\n"
            "SoftName1=通达信\r\n"
            "SoftProcessName1=TdxW.exe\r\n"
            "SoftName2=样例看盘\r\n"
            "SoftProcessName2=sample.exe\r\n"
            "\r\n"
            "[BuySellColor]\r\n"
            "BuyMoney1_Color=255\r\n");
  const std::vector<SoftListEntry> back = ReadSoftList(path);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].name, "样例看盘");
}

TEST(SaveSoftListTest, AddingAppendsAndAllOldCountedKeysGo) {
  // Keys of the old count in another order and case; a key beyond the old count stays.
  TempProgramFolder folder(Ini("[SoftList]\nsoftname2=B\nSoftCount=2\nSOFTPROCESSNAME1=a.exe\nSoftName1=A\n"
                               "SoftProcessName2=b.exe\nSoftName9=kept\nSoftName02=kept too\n[x]\ny=1\n"));
  const std::string path = folder.File("sysinfo.ini");
  std::vector<SoftListEntry> list = ReadSoftList(path);
  ASSERT_EQ(list.size(), 2u);
  ASSERT_EQ(list[1].name, "B");
  list.push_back({"C", "c.exe"});
  ASSERT_TRUE(SaveSoftList(path, list));
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"),
            "[SoftList]\nSoftCount=3\nSoftName9=kept\nSoftName02=kept too\n"
            "SoftName1=A\nSoftProcessName1=a.exe\nSoftName2=B\nSoftProcessName2=b.exe\n"
            "SoftName3=C\nSoftProcessName3=c.exe\n[x]\ny=1\n");
}

TEST(SaveSoftListTest, AnEmptyListKeepsACountOfZero) {
  TempProgramFolder folder(Ini(kThreeIni));
  const std::string path = folder.File("sysinfo.ini");
  ASSERT_TRUE(SaveSoftList(path, {}));
  const std::string text = folder.ReadFile("sysinfo.ini");
  EXPECT_NE(text.find("[SoftList]\r\n; the linked programs\r\nSoftCount=0\r\n\r\n[BuySellColor]"), std::string::npos)
      << text;
  EXPECT_TRUE(ReadSoftList(path).empty());
}

TEST(SaveSoftListTest, AMissingFileIsMadeWithTheList) {
  TempProgramFolder folder;
  const std::string path = folder.File("sysinfo.ini");
  ASSERT_TRUE(SaveSoftList(path, {{"通达信", "TdxW.exe"}}));
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"), "[SoftList]\r\nSoftCount=1\r\nSoftName1=通达信\r\nSoftProcessName1=TdxW.exe\r\n");
}

TEST(SaveSoftListTest, AGbkFileIsReadAndTheOtherKeysKeepTheirText) {
  TempProgramFolder folder(Ini(kThreeIni, TempProgramFolder::IniEncoding::Gbk));
  const std::string path = folder.File("sysinfo.ini");
  ASSERT_NE(folder.ReadFile("sysinfo.ini"), kThreeIni);  // really GBK bytes
  std::vector<SoftListEntry> list = ReadSoftList(path);
  ASSERT_EQ(list.size(), 3u);
  ASSERT_EQ(list[2].name, "样例看盘");
  list.pop_back();
  ASSERT_TRUE(SaveSoftList(path, list));
  const std::string text = folder.ReadFile("sysinfo.ini");
  ASSERT_TRUE(IsValidUtf8(text));
  EXPECT_NE(text.find("SoftCount=2\r\nSoftName1=通达信\r\nSoftProcessName1=TdxW.exe\r\nSoftName2=示例行情\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("样例看盘"), std::string::npos);
}

TEST(SaveSoftListTest, AReadOnlyFileIsNotWritten) {
  TempProgramFolder folder(Ini(kThreeIni));
  const std::string path = folder.File("sysinfo.ini");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(SaveSoftList(path, {{"A", "a.exe"}}));
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"), kThreeIni);
  chmod(path.c_str(), 0644);
}

TEST(SaveSoftListTest, AReadOnlyFolderOrAValueWithALineBreakChangesNothing) {
  TempProgramFolder folder(Ini(kThreeIni));
  const std::string path = folder.File("sysinfo.ini");
  EXPECT_FALSE(SaveSoftList(path, {{"A", "a.exe"}, {"B\r\nSoftCount=99", "b.exe"}}));
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"), kThreeIni);

  // No write bit on the folder: the temporary file beside the INI cannot be made.
  ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
  EXPECT_FALSE(SaveSoftList(path, {{"A", "a.exe"}}));
  chmod(folder.Path().c_str(), 0755);
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"), kThreeIni);
  EXPECT_FALSE(SaveSoftList(folder.File("no/such/folder/sysinfo.ini"), {{"A", "a.exe"}}));
}
