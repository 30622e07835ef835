#include "analysis/branch_fold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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
  fold.SortBranches(kBranchSortByTotalBuy);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"B", "C", "A"}));
  // The sorted order is the order the next sort starts from.
  fold.SortBranches(kBranchSortByTimes);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"A", "B", "C"}));
  // A fold after a sort moves its branch behind the sorted rows.
  fold.AddSeat("B", "u", "3", 1, 1);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"A", "C", "B"}));
  fold.SortBranches(kBranchSortByNet);
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"B", "C", "A"}));
  fold.SortBranches(99);  // no such key: nothing moves
  EXPECT_EQ(Names(fold), (std::vector<std::string>{"B", "C", "A"}));
  fold.Clear();
  EXPECT_TRUE(fold.empty());
  fold.AddSeat("A", "s", "1", 1, 0);
  EXPECT_EQ(fold.Find("A")->nCount, 1);
}

// The stamps must give the order a vector gives when a growing row is taken out and
// appended, through any mix of folds and sorts.
TEST(BranchFoldTest, StampsKeepTheOrderOfEraseAndAppend) {
  std::mt19937 random(7);
  BranchFold fold;
  std::vector<CBranchTotalsRow> plain;
  auto plainAdd = [&plain](const std::string& name, const std::string& stock, double buy, double sell) {
    auto it = std::find_if(plain.begin(), plain.end(), [&](const CBranchTotalsRow& r) { return r.YYBName == name; });
    if (it == plain.end()) {
      CBranchTotalsRow& row = plain.emplace_back();
      row.YYBName = name;
      row.nCount = 1;
      row.TotalBuy = buy;
      row.LastBuy = buy;
      row.LastSell = sell;
      row.StockNames = {stock};
      return;
    }
    if (it->LastBuy == buy && it->LastSell == sell) return;
    CBranchTotalsRow row = *it;
    plain.erase(it);
    row.nCount += 1;
    row.TotalBuy += buy;
    row.LastBuy = buy;
    row.LastSell = sell;
    if (row.StockNames.back() != stock) row.StockNames.push_back(stock);
    plain.push_back(row);
  };
  for (int step = 0; step < 3000; ++step) {
    if (step % 500 == 499) {
      const int mode = step % 1000 == 999 ? kBranchSortByTimes : kBranchSortByTotalBuy;
      fold.SortBranches(mode);
      std::stable_sort(plain.begin(), plain.end(), [mode](const CBranchTotalsRow& a, const CBranchTotalsRow& b) {
        return mode == kBranchSortByTimes ? a.nCount > b.nCount : a.TotalBuy > b.TotalBuy;
      });
    }
    const std::string name = "b" + std::to_string(random() % 25);
    const std::string stock = "s" + std::to_string(random() % 4);
    const double buy = static_cast<double>(random() % 3);  // equal pairs come often
    const double sell = static_cast<double>(random() % 2);
    fold.AddSeat(name, stock, "c", buy, sell);
    plainAdd(name, stock, buy, sell);
    if (step % 97 == 0) {
      ASSERT_EQ(Names(fold).size(), plain.size());
    }
  }
  ASSERT_EQ(fold.size(), plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) {
    EXPECT_EQ(fold.Rows()[i].YYBName, plain[i].YYBName) << i;
    EXPECT_EQ(fold.Rows()[i].nCount, plain[i].nCount) << i;
    EXPECT_EQ(fold.Rows()[i].TotalBuy, plain[i].TotalBuy) << i;
    EXPECT_EQ(fold.Rows()[i].StockNames, plain[i].StockNames) << i;
  }
}

}  // namespace
