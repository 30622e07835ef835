#include "storage/row_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(StockDayRow, DefaultCopyHasEmptyTextsAndZeroNumbers) {
  const CStockDayRow source;
  const CStockDayRow copy = source;
  EXPECT_EQ(copy.StockName, "");
  EXPECT_EQ(copy.StockCode, "");
  EXPECT_EQ(copy.SB_Reason, "");
  EXPECT_EQ(copy.nCount, 0);
  EXPECT_EQ(copy.TotalBuy, 0.0);
  EXPECT_EQ(copy.TotalSell, 0.0);
  EXPECT_EQ(copy.TotalBuySell, 0.0);
  EXPECT_EQ(copy.NetBuy, 0.0);
  EXPECT_EQ(copy.ZhangFu, 0.0f);
  EXPECT_EQ(copy.InstitutionSeats, 0);
}

TEST(StockDayRow, ArrayCopyIsIndependentOfTheSource) {
  CStockDayRow row;
  row.StockName = "平安银行";
  row.TotalBuy = 12.5;
  std::vector<CStockDayRow> rows;
  rows.push_back(row);
  row.StockName = "changed";
  row.TotalBuy = 99;
  EXPECT_EQ(rows[0].StockName, "平安银行");
  EXPECT_EQ(rows[0].TotalBuy, 12.5);

  CBranchTeamRow team;
  team.Members = {"a"};
  std::vector<CBranchTeamRow> teams{team};
  team.Members.push_back("b");
  EXPECT_EQ(teams[0].Members.size(), 1u);
}

TEST(StockDayRow, MadeFromTheTwentyAmountsAndFiveBuyerNames) {
  const SeatAmounts buy = {100, 50, 0, 0, 10, 1, 0, 0, 0, 2};
  const SeatAmounts sell = {0, 0, 5, 0, 0, 300, 20, 0, 0, 0.5};
  const BuySeatNames names = {"机构专用", "某证券营业部", "机构专用", "机构专用x", "机构专用"};
  const CStockDayRow row = MakeStockDayRow("中国平安", "601318", 9.98f, "涨幅偏离值达7%", buy, sell, names);
  EXPECT_EQ(row.StockName, "中国平安");
  EXPECT_EQ(row.StockCode, "601318");
  EXPECT_EQ(row.nCount, 1);
  EXPECT_DOUBLE_EQ(row.TotalBuy, 163);
  EXPECT_DOUBLE_EQ(row.TotalSell, 325.5);
  EXPECT_DOUBLE_EQ(row.TotalBuySell, 488.5);
  EXPECT_DOUBLE_EQ(row.NetBuy, -162.5);
  EXPECT_FLOAT_EQ(row.ZhangFu, 9.98f);
  EXPECT_EQ(row.InstitutionSeats, 3);
  EXPECT_EQ(row.SB_Reason, "涨幅偏离值达7%");
}

TEST(BranchListing, SameListingTwiceCountsOnce) {
  std::vector<CBranchTotalsRow> rows;
  AddBranchListing(rows, "甲营业部", "000001", "平安银行", 120, 30);
  AddBranchListing(rows, "甲营业部", "000001", "平安银行", 120, 30);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].nCount, 1);
  EXPECT_DOUBLE_EQ(rows[0].TotalBuy, 120);
  EXPECT_DOUBLE_EQ(rows[0].TotalSell, 30);
  EXPECT_EQ(rows[0].StockNames, std::vector<std::string>{"平安银行"});
}

TEST(BranchListing, SmallFirstListingHasZeroSumAndCountOne) {
  std::vector<CBranchTotalsRow> rows;
  AddBranchListing(rows, "甲", "000001", "平安银行", 150, 40);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_DOUBLE_EQ(rows[0].LargeTradeSum, 0);
  EXPECT_EQ(rows[0].LargeTradeCount, 1);
  EXPECT_DOUBLE_EQ(rows[0].AverageFunds, 0);
  EXPECT_DOUBLE_EQ(rows[0].TotalBuySell, 190);
  EXPECT_DOUBLE_EQ(rows[0].NetBuy, 110);
  EXPECT_DOUBLE_EQ(rows[0].LastBuy, 150);
  EXPECT_DOUBLE_EQ(rows[0].LastSell, 40);
  EXPECT_EQ(rows[0].LastStockCode, "000001");
}

TEST(BranchListing, LargeFirstListingIncludingTheThreshold) {
  std::vector<CBranchTotalsRow> rows;
  AddBranchListing(rows, "甲", "000001", "平安银行", 150, 60);
  AddBranchListing(rows, "乙", "000002", "万科A", 200, 0);  // exactly at the threshold
  AddBranchListing(rows, "丙", "000002", "万科A", 199.99, 0);
  EXPECT_DOUBLE_EQ(rows[0].LargeTradeSum, 210);
  EXPECT_EQ(rows[0].LargeTradeCount, 1);
  EXPECT_DOUBLE_EQ(rows[0].AverageFunds, 210);
  EXPECT_DOUBLE_EQ(rows[1].LargeTradeSum, 200);
  EXPECT_DOUBLE_EQ(rows[2].LargeTradeSum, 0);
}

TEST(BranchListing, SmallThenLargeCountsOnlyTheLargeOne) {
  std::vector<CBranchTotalsRow> rows;
  AddBranchListing(rows, "甲", "000001", "平安银行", 150, 40);
  AddBranchListing(rows, "甲", "000002", "万科A", 300, 0);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_DOUBLE_EQ(rows[0].LargeTradeSum, 300);
  EXPECT_EQ(rows[0].LargeTradeCount, 1);
  EXPECT_DOUBLE_EQ(rows[0].AverageFunds, 300);
  EXPECT_EQ(rows[0].nCount, 2);
  EXPECT_DOUBLE_EQ(rows[0].TotalBuy, 450);
  EXPECT_DOUBLE_EQ(rows[0].TotalSell, 40);
  EXPECT_DOUBLE_EQ(rows[0].TotalBuySell, 490);
  EXPECT_DOUBLE_EQ(rows[0].NetBuy, 410);

  AddBranchListing(rows, "甲", "000003", "国华网安", 100, 150);  // a second large one
  EXPECT_EQ(rows[0].LargeTradeCount, 2);
  EXPECT_DOUBLE_EQ(rows[0].AverageFunds, 275);
  AddBranchListing(rows, "甲", "000004", "深振业A", 10, 10);  // small: average unchanged
  EXPECT_EQ(rows[0].LargeTradeCount, 2);
  EXPECT_DOUBLE_EQ(rows[0].AverageFunds, 275);
}

TEST(BranchListing, TwoStocksWithEqualFiguresCountTwice) {
  std::vector<CBranchTotalsRow> rows;
  AddBranchListing(rows, "甲", "000001", "平安银行", 120, 100);
  AddBranchListing(rows, "甲", "600000", "浦发银行", 120, 100);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].nCount, 2);
  EXPECT_DOUBLE_EQ(rows[0].TotalBuySell, 440);
  EXPECT_EQ(rows[0].LargeTradeCount, 2);
  EXPECT_DOUBLE_EQ(rows[0].AverageFunds, 220);
  EXPECT_EQ(rows[0].StockNames, (std::vector<std::string>{"平安银行", "浦发银行"}));
  EXPECT_EQ(rows[0].LastStockCode, "600000");
}

TEST(BranchListing, OneStockOnBothSidesCountsOnce) {
  // The branch is among the buyers and the sellers of the same listing: the seat rows
  // carry the same amounts.
  std::vector<CBranchTotalsRow> rows;
  AddBranchListing(rows, "乙", "000002", "万科A", 10, 0);
  AddBranchListing(rows, "甲", "000001", "平安银行", 500, 480);
  AddBranchListing(rows, "甲", "000001", "平安银行", 500, 480);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].nCount, 1);
  EXPECT_DOUBLE_EQ(rows[1].LargeTradeSum, 980);
  EXPECT_EQ(rows[1].YYBName, "甲");  // an ignored repeat does not move the row
}

TEST(BranchListing, RepeatListingMovesTheRowToTheEnd) {
  std::vector<CBranchTotalsRow> rows;
  AddBranchListing(rows, "甲", "000001", "平安银行", 1, 1);
  AddBranchListing(rows, "乙", "000001", "平安银行", 2, 2);
  AddBranchListing(rows, "丙", "000001", "平安银行", 3, 3);
  AddBranchListing(rows, "甲", "000001", "平安银行", 5, 0);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].YYBName, "乙");
  EXPECT_EQ(rows[1].YYBName, "丙");
  EXPECT_EQ(rows[2].YYBName, "甲");
  EXPECT_EQ(rows[2].nCount, 2);
  // Same stock again: its name is not repeated in the list.
  EXPECT_EQ(rows[2].StockNames, std::vector<std::string>{"平安银行"});
}

}  // namespace
