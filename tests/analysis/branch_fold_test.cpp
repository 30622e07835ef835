#include "analysis/branch_fold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const BranchFold& fold) {
  std::vector<std::string> names;
  for (const CBranchTotalsRow& row : fold.Rows()) names.push_back(row.YYBName);
  return names;
}

TEST(BranchFoldTest, AnEqualPairIsOneSeatEvenOnTheNextStock) {
  BranchFold fold;
  fold.AddSeat("甲", "比亚迪", "002594", 300, 100);  // Buy2
  fold.AddSeat("甲", "比亚迪", "002594", 300, 100);  // Sell4, same pair
  fold.AddSeat("甲", "五粮液", "000858", 300, 100);  // next stock, same pair again
  ASSERT_EQ(fold.size(), 1u);
  const CBranchTotalsRow& row = *fold.Find("甲");
  EXPECT_EQ(row.nCount, 1);
  EXPECT_EQ(row.TotalBuy, 300);
  EXPECT_EQ(row.StockNames, (std::vector<std::string>{"比亚迪"}));
  fold.AddSeat("甲", "五粮液", "000858", 300, 100.5);
  EXPECT_EQ(fold.Find("甲")->nCount, 2);
  EXPECT_EQ(fold.Find("甲")->NetBuy, 600 - 200.5);
  EXPECT_EQ(fold.Find("甲")->TotalBuySell, 600 + 200.5);
}

TEST(BranchFoldTest, OnlyBigListingsMakeTheAverage) {
  BranchFold fold;
  fold.AddSeat("乙", "A", "1", 150, 0);
  EXPECT_EQ(fold.Find("乙")->LargeTradeCount, 0);
  EXPECT_EQ(fold.Find("乙")->AverageFunds, 0);
  fold.AddSeat("乙", "B", "2", 200, 100);
  fold.AddSeat("乙", "C", "3", 0, 500);
  const CBranchTotalsRow& row = *fold.Find("乙");
  EXPECT_EQ(row.nCount, 3);
  EXPECT_EQ(row.LargeTradeCount, 2);
  EXPECT_EQ(row.AverageFunds, 400);
  EXPECT_EQ(row.TotalBuy, 350);
  // Exactly 200 counts as big.
  BranchFold edge;
  edge.AddSeat("丙", "A", "1", 199.99, 0);
  edge.AddSeat("丙", "B", "2", 100, 100);
  EXPECT_EQ(edge.Find("丙")->LargeTradeCount, 1);
  EXPECT_EQ(edge.Find("丙")->AverageFunds, 200);
}

TEST(BranchFoldTest, StockNamesDropOnlyARepeatOfTheLast) {
  BranchFold fold;
  fold.AddSeat("丁", "A", "1", 1, 0);
  fold.AddSeat("丁", "A", "1", 2, 0);
  fold.AddSeat("丁", "B", "2", 3, 0);
  fold.AddSeat("丁", "A", "1", 4, 0);
  EXPECT_EQ(fold.Find("丁")->StockNames, (std::vector<std::string>{"A", "B", "A"}));
  fold.AddSeat("", "A", "1", 5, 0);  // an empty seat is no branch
  EXPECT_EQ(fold.size(), 1u);
}

TEST(BranchFoldTest, AFoldMovesItsBranchToTheEnd) {
  BranchFold fold;
  fold.AddSeat("A", "s", "1", 1, 0);
  fold.AddSeat("B", "s", "1", 2, 0);
  fold.AddSeat("C", "s", "1", 3, 0);
  fold.AddSeat("A", "t", "2", 4, 0);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"B", "C", "A"}));
  fold.AddSeat("B", "t", "2", 5, 0);
  fold.AddSeat("B", "u", "3", 6, 0);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"C", "A", "B"}));
  // Find still answers after the order was rebuilt.
  EXPECT_EQ(fold.Find("C")->TotalBuy, 3);
  EXPECT_EQ(fold.Find("B")->TotalBuy, 13);
  EXPECT_EQ(fold.Find("missing"), nullptr);
}

TEST(BranchFoldTest, SortsAreStableOverTheOrderOfLastUpdate) {
  BranchFold fold;
  fold.AddSeat("A", "s", "1", 10, 0);
  fold.AddSeat("B", "s", "1", 20, 0);
  fold.AddSeat("C", "s", "1", 10, 0);
  fold.AddSeat("A", "t", "2", 0, 5);  // A: buy 10, times 2, moves behind C
  fold.SortBranches(kSortByTotalBuy);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"B", "C", "A"}));
  // The sorted order is the order the next sort starts from.
  fold.SortBranches(kSortByTimes);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"A", "B", "C"}));
  // A fold after a sort moves its branch behind the sorted rows.
  fold.AddSeat("B", "u", "3", 1, 1);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"A", "C", "B"}));
  fold.SortBranches(kSortByNet);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"B", "C", "A"}));
  fold.SortBranches(99);  // no such key: nothing moves
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"B", "C", "A"}));
  fold.Clear();
  EXPECT_TRUE(fold.empty());
  fold.AddSeat("A", "s", "1", 1, 0);
  EXPECT_EQ(fold.Find("A")->nCount, 1);
}

}  // namespace
