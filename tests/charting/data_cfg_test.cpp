#include "charting/data_cfg.h"

#include <gtest/gtest.h>

#include <cstring>

#include "series_test_support.h"
#include "storage/charset.h"

namespace {

std::string RawEntry(std::int32_t number, std::int32_t flag, const std::string& gbkName, char filler = '\0') {
  std::string raw(kDataCfgEntryBytes, filler);
  std::memcpy(raw.data(), &number, 4);  // little-endian host
  std::memcpy(raw.data() + 4, &flag, 4);
  std::memcpy(raw.data() + 8, gbkName.data(), gbkName.size());
  raw[8 + gbkName.size()] = '\0';
  return raw;
}

std::vector<std::int32_t> Numbers(const std::vector<DataCfgEntry>& entries) {
  std::vector<std::int32_t> numbers;
  for (const auto& e : entries) numbers.push_back(e.Number());
  return numbers;
}

CBranchTeamRow Team(std::int32_t number, const std::string& name, std::int32_t isLike) {
  CBranchTeamRow team;
  team.TeamNumber = number;
  team.TeamName = name;
  team.IsLike = isLike;
  return team;
}

TEST(DataCfgTest, BuildKeepsUserEntriesInOrderAndMovesTheFixedOnesBehindTheBranches) {
  TempProgramFolder folder;
  // Kept entries carry bytes behind their name that a rebuilt entry would not have.
  const std::string five = RawEntry(5, 0, "mine5", 'x');
  const std::string mine = RawEntry(298, 1, "mine");
  const std::string ten = RawEntry(10, 1, "ten");
  folder.WriteFile("datacfg.dat", five + mine + RawEntry(301, 1, "old") + ten);

  CDataCfg cfg;
  const std::vector<DataCfgBranch> branches = {{1, 1, "A"}, {2, 2, "B"}};
  ASSERT_EQ(cfg.BuildDataCfg(folder.File("datacfg.dat"), branches, {Team(205, "T5", 1), Team(206, "T6", 0)}),
            DataCfgResult::Written);
  EXPECT_EQ(Numbers(cfg.m_datacfg_list), (std::vector<std::int32_t>{5, 10, 301, 298, 299, 300, 505}));

  const std::string bytes = folder.ReadFile("datacfg.dat");
  ASSERT_EQ(bytes.size(), 7 * kDataCfgEntryBytes);
  EXPECT_EQ(bytes.substr(0, 60), five);
  EXPECT_EQ(bytes.substr(60, 60), ten);
  EXPECT_EQ(bytes.substr(120, 60), RawEntry(301, 1, "A"));
  EXPECT_EQ(bytes.substr(180, 60), mine) << "298 keeps its name and flag";
  EXPECT_EQ(Hex(bytes.substr(240, 22)), "2b01000001000000" + Hex(ToGbk("Tazu净买入")) + "00000000");
  EXPECT_EQ(bytes.substr(300, 60), RawEntry(300, 1, ToGbk("是否上Velkor")));
  EXPECT_EQ(bytes.substr(360, 60), RawEntry(505, 1, "T5"));
}

TEST(DataCfgTest, NewEntriesHaveTheExactBytes) {
  EXPECT_EQ(Hex(std::string(MakeDataCfgEntry(298, "大宗买卖").raw.data(), 60)),
            "2a01000001000000b4f3d7dac2f2c2f4" + std::string(88, '0'));
}

TEST(DataCfgTest, EmptyAbbreviationAndLongNames) {
  TempProgramFolder folder;
  std::string longName;
  for (int i = 0; i < 30; ++i) longName += "营";
  CDataCfg cfg;
  ASSERT_EQ(cfg.BuildDataCfg(folder.File("datacfg.dat"), {{1, 1, ""}, {2, 1, longName}}, {}),
            DataCfgResult::Written);
  ASSERT_GE(cfg.m_datacfg_list.size(), 2u);
  EXPECT_EQ(cfg.m_datacfg_list[0].name, "名字缩写为空:301");
  const auto& raw = cfg.m_datacfg_list[1].raw;
  // 23 whole characters (46 bytes): a 24th would pass 47 bytes.
  EXPECT_EQ(std::string(raw.data() + 8, 46), ToGbk(longName.substr(0, 23 * 3)));
  for (std::size_t i = 54; i < 60; ++i) EXPECT_EQ(raw[i], '\0') << i;
  std::vector<DataCfgEntry> back;
  EXPECT_TRUE(ParseDataCfg(folder.ReadFile("datacfg.dat"), back)) << "what we write reads back";
}

TEST(DataCfgTest, UnrecognisedFilesStayByteIdentical) {
  const std::string good = RawEntry(5, 1, "a");
  std::string oneTwenty = RawEntry(400, 1, "newer");
  oneTwenty += std::string(60, '\0');
  const std::int32_t next = 401;
  std::memcpy(oneTwenty.data() + 60, &next, 4);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"size 130", good + good.substr(0, 10) + std::string(60, '\0')},
      {"flag 7", good + RawEntry(6, 7, "b")},
      {"repeated number", good + RawEntry(5, 1, "b")},
      {"120-byte records", oneTwenty},
      {"number 0", RawEntry(0, 1, "z")},
      {"no NUL", std::string(RawEntry(7, 1, "")).replace(8, 52, std::string(52, 'n'))},
  };
  for (const auto& [what, bytes] : cases) {
    TempProgramFolder folder;
    folder.WriteFile("datacfg.dat", bytes);
    std::vector<DataCfgEntry> entries;
    EXPECT_FALSE(ParseDataCfg(bytes, entries)) << what;
    CDataCfg cfg;
    EXPECT_EQ(cfg.BuildDataCfg(folder.File("datacfg.dat"), {{1, 1, "A"}}, {}), DataCfgResult::Unrecognised) << what;
    EXPECT_EQ(Numbers(cfg.m_datacfg_list), (std::vector<std::int32_t>{301, 298, 299, 300})) << what;
    EXPECT_EQ(CDataCfg::PruneDataCfg(folder.File("datacfg.dat")), DataCfgResult::Unrecognised) << what;
    EXPECT_EQ(folder.ReadFile("datacfg.dat"), bytes) << what;
  }
}

TEST(DataCfgTest, PruneKeepsEverythingOutsideTheGeneratedNumbers) {
  TempProgramFolder folder;
  EXPECT_EQ(CDataCfg::PruneDataCfg(folder.File("datacfg.dat")), DataCfgResult::Missing);
  EXPECT_FALSE(folder.Exists("datacfg.dat"));
  const std::string keep = RawEntry(280, 1, "mine") + RawEntry(297, 0, "p") + RawEntry(760, 1, "q");
  folder.WriteFile("datacfg.dat", RawEntry(298, 1, "x") + RawEntry(280, 1, "mine") + RawEntry(759, 1, "y") +
                                      RawEntry(297, 0, "p") + RawEntry(500, 1, "t") + RawEntry(760, 1, "q"));
  EXPECT_EQ(CDataCfg::PruneDataCfg(folder.File("datacfg.dat")), DataCfgResult::Written);
  EXPECT_EQ(folder.ReadFile("datacfg.dat"), keep);
}

TEST(DataCfgTest, WriteFailureKeepsTheOldFile) {
  TempProgramFolder folder;
  CDataCfg cfg;
  EXPECT_EQ(cfg.BuildDataCfg(folder.File("missing/datacfg.dat"), {}, {}), DataCfgResult::WriteFailed);
  EXPECT_EQ(cfg.m_datacfg_list.size(), 3u);
}

}  // namespace
