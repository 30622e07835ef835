#include "views/block_trade_ranking.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/temp_program_folder.h"
#include "records/branch_marks.h"

namespace {

class BlockTradeRankingTest : public ::testing::Test {
 protected:
  CADODataBase& Db() { return db_.Market(); }
  void Trade(const std::string& day, const std::string& code, int row, double amount, const std::string& buyer,
             const std::string& seller, std::int64_t volume = 100) {
    db_.AddTrade(day, code, "名称" + code, row, 10, 9, volume, amount, buyer, seller);
  }
  std::vector<RankGroup> Rank(int days, RankGrouping grouping) {
    std::vector<RankGroup> groups;
    EXPECT_TRUE(RankTrades(Db(), clock_, days, grouping, groups));
    return groups;
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  FakeClock clock_{2024, 5, 15};
  BranchMarks marks_;
};

TEST(RankingDaysTest, SixtyThenTwentyElseTen) {
  EXPECT_EQ(RankingDays(true, false), 60);
  EXPECT_EQ(RankingDays(true, true), 60);
  EXPECT_EQ(RankingDays(false, true), 20);
  EXPECT_EQ(RankingDays(false, false), 10);
}

TEST_F(BlockTradeRankingTest, PeriodCutoffIsInclusiveFromTheClock) {
  Trade("2024-03-16", "600000", 1, 100, "甲", "乙");  // 60 days back
  Trade("2024-03-15", "600000", 1, 100, "甲", "乙");  // 61
  Trade("2024-05-05", "600000", 1, 100, "甲", "乙");  // 10
  Trade("2024-05-04", "600000", 1, 100, "甲", "乙");  // 11
  EXPECT_EQ(Rank(60, RankGrouping::ByBuyer).at(0).count, 3);
  EXPECT_EQ(Rank(10, RankGrouping::ByBuyer).at(0).count, 1);
  EXPECT_EQ(Rank(20, RankGrouping::ByStock).at(0).count, 2);
  EXPECT_TRUE(Rank(-1, RankGrouping::ByBuyer).empty());
}

TEST_F(BlockTradeRankingTest, GroupKeepsTheOldestTradesFieldsAndSums) {
  Trade("2024-05-13", "600001", 1, 1500, "甲", "丙", 300);
  Trade("2024-05-10", "600000", 1, 1000, "甲", "乙", 100);
  Trade("2024-05-14 00:00:00", "600002", 1, 2500.5, "甲", "丁", 200);
  const std::vector<RankGroup> groups = Rank(10, RankGrouping::ByBuyer);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].count, 3);
  EXPECT_DOUBLE_EQ(groups[0].amount, 5000.5);
  EXPECT_EQ(groups[0].volume, 600);
  EXPECT_EQ(groups[0].day, "2024-05-10");
  EXPECT_EQ(groups[0].seller, "乙");
  EXPECT_EQ(groups[0].code, "");
  EXPECT_EQ(groups[0].name, "");

  const std::vector<BlockTradeLine> lines = RankingLines(groups, marks_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].texts,
            (std::array<std::string, 12>{"1", "2024-05-10", "", "", "0", "0.00", "3", "0", "5000", "甲", "乙", ""}));
  EXPECT_EQ(lines[0].code, "");
  EXPECT_EQ(lines[0].colours[8], RGB(255, 0, 255));
  for (int column : {1, 2, 3, 4, 5, 7}) EXPECT_EQ(lines[0].colours[column], kBlockTradeWhite) << column;
  EXPECT_EQ(lines[0].colours[6], std::nullopt);
}

TEST_F(BlockTradeRankingTest, GroupingBySellerAndByStock) {
  Trade("2024-05-10", "600000", 1, 100, "甲", "乙");
  Trade("2024-05-11", "600001", 1, 300, "丙", "乙");
  Trade("2024-05-12", "600000", 2, 400, "丁", "戊");
  const std::vector<RankGroup> bySeller = Rank(10, RankGrouping::BySeller);
  ASSERT_EQ(bySeller.size(), 2u);
  // 100 + 300 against 400: equal, so the group that appeared first leads.
  EXPECT_EQ(bySeller[0].seller, "乙");
  EXPECT_EQ(bySeller[0].count, 2);
  EXPECT_EQ(bySeller[0].buyer, "甲");
  EXPECT_EQ(bySeller[1].seller, "戊");
  EXPECT_EQ(bySeller[1].buyer, "丁");

  const std::vector<RankGroup> byStock = Rank(10, RankGrouping::ByStock);
  ASSERT_EQ(byStock.size(), 2u);
  EXPECT_EQ(byStock[0].code, "600000");
  EXPECT_EQ(byStock[0].name, "名称600000");
  EXPECT_DOUBLE_EQ(byStock[0].amount, 500);
  EXPECT_EQ(byStock[0].buyer, "甲");
  EXPECT_EQ(RankingLines(byStock, marks_)[0].code, "600000");
  EXPECT_EQ(RankingLines(byStock, marks_)[0].texts[3], "600000");
}

TEST(BlockTradeRankingSortTest, EqualAmountsKeepTheirFirstAppearance) {
  std::vector<BlockTradeRecord> rows;
  for (const char* buyer : {"c", "a", "b", "d"}) {
    BlockTradeRecord row;
    row.buyer = buyer;
    row.amount = std::string(buyer) == "d" ? 5 : 1;
    rows.push_back(row);
  }
  std::vector<RankGroup> groups = GroupTrades(rows, RankGrouping::ByBuyer);
  SortGroups(groups);
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[0].buyer, "d");
  EXPECT_EQ(groups[1].buyer, "c");
  EXPECT_EQ(groups[2].buyer, "a");
  EXPECT_EQ(groups[3].buyer, "b");
}

TEST(BlockTradeRankingSortTest, AmountsAreSummedInDouble) {
  // 2^24 and then ones: a float sum stays at 16777216.
  std::vector<BlockTradeRecord> rows(3);
  rows[0].amount = 16777216;
  rows[1].amount = 1;
  rows[2].amount = 1;
  float floatSum = 0;
  for (const BlockTradeRecord& row : rows) floatSum += static_cast<float>(row.amount);
  const std::vector<RankGroup> groups = GroupTrades(rows, RankGrouping::ByBuyer);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].amount, 16777218.0);
  EXPECT_NE(static_cast<double>(floatSum), groups[0].amount);
}

TEST_F(BlockTradeRankingTest, OnlyTheSixtySixLargestGroupsAreListed) {
  for (int i = 0; i < 70; ++i) Trade("2024-05-14", "600000", i, 100 + i, "营业部" + std::to_string(i), "乙");
  const std::vector<RankGroup> groups = Rank(10, RankGrouping::ByBuyer);
  ASSERT_EQ(groups.size(), 70u);
  const std::vector<BlockTradeLine> lines = RankingLines(groups, marks_);
  ASSERT_EQ(lines.size(), 66u);
  EXPECT_EQ(lines.front().texts[9], "营业部69");
  EXPECT_EQ(lines.back().texts[9], "营业部4");
  EXPECT_EQ(lines.back().texts[0], "66");
}

TEST_F(BlockTradeRankingTest, MarkColoursTheBranchColumns) {
  db_.AddMark("乙", 1, RGB(9, 8, 7), 0, 0, "", "", "");
  ASSERT_TRUE(marks_.Load(db_.User()));
  Trade("2024-05-14", "600000", 1, 100, "甲", "乙");
  const std::vector<BlockTradeLine> lines = RankingLines(Rank(10, RankGrouping::ByStock), marks_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].colours[9], kUnmarkedBranchColour);
  EXPECT_EQ(lines[0].colours[10], RGB(9, 8, 7));
}

TEST_F(BlockTradeRankingTest, FailedQueryGivesNoGroups) {
  Trade("2024-05-14", "600000", 1, 100, "甲", "乙");
  std::vector<RankGroup> groups = Rank(10, RankGrouping::ByBuyer);
  ASSERT_EQ(groups.size(), 1u);
  Db().Close();
  EXPECT_FALSE(RankTrades(Db(), clock_, 10, RankGrouping::ByBuyer, groups));
  EXPECT_TRUE(groups.empty());
  EXPECT_TRUE(RankingLines(groups, marks_).empty());
}

}  // namespace
