#include "views/watched_branches.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../support/temp_program_folder.h"
#include "settings/settings.h"
#include "storage/charset.h"

namespace {

std::array<std::string, kWatchedBranchCount> Names(const std::string& stem) {
  std::array<std::string, kWatchedBranchCount> names;
  for (int i = 0; i < kWatchedBranchCount; ++i) names[static_cast<std::size_t>(i)] = stem + std::to_string(i + 1);
  return names;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class WatchedBranchesTest : public testing::Test {
 protected:
  void SetUp() override { g_Settings = CSettings{}; }
  TempProgramFolder folder_;
  std::string ini_ = folder_.File("sysinfo.ini");
};

}  // namespace

TEST_F(WatchedBranchesTest, KeysAreNumberedFromOne) {
  EXPECT_EQ(WatchedBranchKey(0), "YYB1_Name");
  EXPECT_EQ(WatchedBranchKey(11), "YYB12_Name");
}

TEST_F(WatchedBranchesTest, WritesTheTwelveKeysInOrderAndTheNamesReloadEqual) {
  auto names = Names("国泰君安证券营业部");
  names[6] = "";  // an empty edit writes an empty value
  ASSERT_TRUE(SaveWatchedBranches(names, ini_));
  std::string expected = "[YYBInfo]\r\n";
  for (int i = 0; i < kWatchedBranchCount; ++i) {
    expected += WatchedBranchKey(i) + "=" + names[static_cast<std::size_t>(i)] + "\r\n";
  }
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), expected);
  for (int i = 0; i < kWatchedBranchCount; ++i) EXPECT_EQ(g_Settings.YYB_Name[i], names[i]) << i;

  g_Settings = CSettings{};
  LoadSettings(folder_.Path());
  for (int i = 0; i < kWatchedBranchCount; ++i) EXPECT_EQ(g_Settings.YYB_Name[i], names[i]) << i;
  EXPECT_EQ(g_Settings.YYB_Name[12], "XXX");  // the keys past twelve are not touched
}

TEST_F(WatchedBranchesTest, AShorterNameOverALongerOneIsExactInMemoryAndFile) {
  auto names = Names("XXX");
  names[0] = "中信证券股份有限公司上海溧阳路证券营业部";
  ASSERT_TRUE(SaveWatchedBranches(names, ini_));
  names[0] = "中信证券";
  ASSERT_TRUE(SaveWatchedBranches(names, ini_));
  EXPECT_EQ(g_Settings.YYB_Name[0], "中信证券");
  const std::string text = folder_.ReadFile("sysinfo.ini");
  EXPECT_NE(text.find("YYB1_Name=中信证券\r\nYYB2_Name="), std::string::npos) << text;
  EXPECT_EQ(text.find("溧阳路"), std::string::npos);
}

TEST_F(WatchedBranchesTest, OtherSectionsAndKeysSurviveTheWrite) {
  folder_.WriteFile("sysinfo.ini", "[system]\r\nSortMode=2\r\n[YYBInfo]\r\nYYB1_Color=255\r\n");
  ASSERT_TRUE(SaveWatchedBranches(Names("B"), ini_));
  const std::string text = folder_.ReadFile("sysinfo.ini");
  EXPECT_EQ(text.rfind("[system]\r\nSortMode=2\r\n[YYBInfo]\r\nYYB1_Color=255\r\nYYB1_Name=B1\r\n", 0), 0u) << text;
}

TEST_F(WatchedBranchesTest, ALongNameIsWholeInTheFileAndCutInGbkBytesInMemory) {
  auto names = Names("XXX");
  names[3] = Repeat("营", 100);  // 200 GBK bytes, 300 UTF-8 bytes
  ASSERT_TRUE(SaveWatchedBranches(names, ini_));
  EXPECT_NE(folder_.ReadFile("sysinfo.ini").find("YYB4_Name=" + names[3] + "\r\n"), std::string::npos);
  EXPECT_EQ(g_Settings.YYB_Name[3], Repeat("营", 99));
  EXPECT_EQ(GbkByteLength(g_Settings.YYB_Name[3]), 198u);

  names[3] = Repeat("a", 199) + "营";  // the cut never splits a character
  ASSERT_TRUE(SaveWatchedBranches(names, ini_));
  EXPECT_EQ(g_Settings.YYB_Name[3], Repeat("a", 199));
  // What memory holds is what the loader reads back.
  const std::string inMemory = g_Settings.YYB_Name[3];
  g_Settings = CSettings{};
  LoadSettings(folder_.Path());
  EXPECT_EQ(g_Settings.YYB_Name[3], inMemory);
}

TEST_F(WatchedBranchesTest, AFailedWriteIsReportedAndMemoryStillChanges) {
  folder_.WriteFile("sysinfo.ini", "[YYBInfo]\r\nYYB1_Name=旧名\r\n");
  ASSERT_EQ(chmod(ini_.c_str(), 0444), 0);
  EXPECT_FALSE(SaveWatchedBranches(Names("新名"), ini_));
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), "[YYBInfo]\r\nYYB1_Name=旧名\r\n");
  EXPECT_EQ(g_Settings.YYB_Name[0], "新名1");
  EXPECT_EQ(g_Settings.YYB_Name[11], "新名12");
}
