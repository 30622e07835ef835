// The one-step branch ranking against the plain day-by-day computation: the walk, the
// branch order, every figure, the list cells and colours and the file bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/market_generator.h"
#include "../support/reference_walk_branch.h"
#include "../support/temp_program_folder.h"
#include "analysis/branch_ranking.h"
#include "platform/message_box.h"
#include "records/branch_marks.h"
#include "storage/day_range.h"

namespace {

SeatFixture None() { return {"", 0, 0}; }

void ExpectSameRows(const std::vector<CBranchTotalsRow>& fast, const std::vector<CBranchTotalsRow>& reference) {
  ASSERT_EQ(fast.size(), reference.size());
  for (std::size_t i = 0; i < fast.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + " " + reference[i].YYBName);
    const CBranchTotalsRow& a = fast[i];
    const CBranchTotalsRow& b = reference[i];
    ASSERT_EQ(a.YYBName, b.YYBName);
    EXPECT_EQ(a.nCount, b.nCount);
    // Bit for bit: the same additions in the same order.
    EXPECT_EQ(a.TotalBuy, b.TotalBuy);
    EXPECT_EQ(a.TotalSell, b.TotalSell);
    EXPECT_EQ(a.TotalBuySell, b.TotalBuySell);
    EXPECT_EQ(a.NetBuy, b.NetBuy);
    EXPECT_EQ(a.LargeTradeSum, b.LargeTradeSum);
    EXPECT_EQ(a.LargeTradeCount, b.LargeTradeCount);
    EXPECT_EQ(a.AverageFunds, b.AverageFunds);
    EXPECT_EQ(a.StockNames, b.StockNames);
    EXPECT_EQ(a.LastBuy, b.LastBuy);
    EXPECT_EQ(a.LastSell, b.LastSell);
  }
}

class BranchRankingEquivalenceTest : public testing::Test {
 protected:
  void SetUp() override { MessageBoxHook::Instance().StartRecording(); }
  void TearDown() override { EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty()); }

  // Compares one computation; returns whether it ranked.
  bool Compare(const BranchRankingResult& fast, const ReferenceBranchRanking& reference, bool compareWalk = true) {
    EXPECT_EQ(fast.status, reference.status);
    if (compareWalk) {
      EXPECT_EQ(fast.walk.days, reference.days);
      EXPECT_EQ(fast.walk.daysFound, reference.daysFound);
      if (fast.status == RankingStatus::Ranked) {
        EXPECT_EQ(fast.walk.dayOffset, reference.dayOffset);
      }
    }
    if (fast.status != RankingStatus::Ranked) {
      EXPECT_TRUE(fold_.empty());
      return false;
    }
    ExpectSameRows(fold_.Rows(), reference.totals);
    EXPECT_EQ(BuildRankingView(fold_.Rows(), marks_), BuildRankingView(reference.totals, marks_));
    return true;
  }

  // Every computation the page offers, on `db` with `today`; returns the rankings
  // that came out non-empty.
  int CompareAll(DbBuilder& db, const std::string& today, const std::string& picked,
                 const std::vector<int>& merges = {1, 2, 3, 5, 20, 90}, bool bigBuyers = true) {
    EXPECT_TRUE(marks_.Load(db.User()));
    int ranked = 0;
    for (int n : merges) {
      // One plain walk per N, sorted for each mode from its order of last update.
      const ReferenceBranchRanking walked = ReferenceMergeDays(db.Market(), today, n, 0);
      for (int mode = kBranchSortByTotalBuy; mode <= kBranchSortByAverageFunds; ++mode) {
        SCOPED_TRACE("today " + today + ", N = " + std::to_string(n) + ", mode " + std::to_string(mode));
        ReferenceBranchRanking reference = walked;
        ReferenceSortRows(reference.totals, mode);
        const BranchRankingResult fast = MergeDays(db.Market(), today, n, mode, fold_);
        ranked += Compare(fast, reference) && !fold_.empty();
      }
    }
    {
      SCOPED_TRACE("today");
      ranked += Compare(RankToday(db.Market(), today, fold_), ReferenceRankToday(db.Market(), today)) && !fold_.empty();
    }
    {
      SCOPED_TRACE("yesterday");
      ranked += Compare(RankYesterday(db.Market(), today, fold_), ReferenceRankYesterday(db.Market(), today)) &&
                !fold_.empty();
    }
    {
      SCOPED_TRACE("picked " + picked);
      ranked += Compare(RankDay(db.Market(), picked, fold_), ReferenceRankDay(db.Market(), picked)) && !fold_.empty();
    }
    // The big buyers do not depend on today.
    for (const char* threshold : {"5000", "800.5", "abc"}) {
      if (!bigBuyers) break;
      SCOPED_TRACE(std::string("big buyers ") + threshold);
      ranked += Compare(QueryBigBuyers(db.Market(), threshold, fold_), ReferenceBigBuyers(db.Market(), threshold),
                        false) &&
                !fold_.empty();
    }
    return ranked;
  }

  BranchFold fold_;
  BranchMarks marks_;
};

TEST_F(BranchRankingEquivalenceTest, SeededMarketsRankAlike) {
  for (std::uint32_t seed : {11u, 2024u, 777u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempProgramFolder folder;
    DbBuilder db(folder.Path());
    MarketShape shape = CrowdedMarketShape(seed, 20);
    shape.markedBranches = 8;
    shape.institutionListingShare = 0.3;
    shape.maxAmount = 3000;  // many listings around the 200 line and near-equal keys
    const GeneratedMarket market = GenerateMarket(db, shape);
    ASSERT_GE(market.days.size(), 40u);
    const std::string last = market.days.back();
    EXPECT_GT(CompareAll(db, last, market.days[market.days.size() / 2]), 30);
    // A start two days after the data (a weekend or a gap) and one inside it.
    CompareAll(db, DayMinus(last, -2), market.days[3], {2, 5}, false);
    CompareAll(db, market.days[25], market.days[24], {3, 20}, false);
  }
}

// The big buyers read the table in stretches of rowids and put the listings back in
// day order: days stored out of rowid order, negative rowids, a missing and an empty
// day, days stored as blobs, integers and reals, and every number of stretches, down
// to stretches of a listing or two.
TEST_F(BranchRankingEquivalenceTest, BigBuyersOfShuffledRowidsRankAlike) {
  TempProgramFolder folder;
  DbBuilder db(folder.Path());
  MarketShape shape = CrowdedMarketShape(5u, 6);
  shape.maxAmount = 3000;
  const GeneratedMarket market = GenerateMarket(db, shape);
  ASSERT_TRUE(ShuffleStoredDays(db, market.days));
  ASSERT_TRUE(StoreDaysOfEveryClass(db));
  for (unsigned readers : {1u, 2u, 3u, 4u, 7u, 400u}) {
    for (const char* threshold : {"1000", "0"}) {
      SCOPED_TRACE("readers " + std::to_string(readers) + ", threshold " + threshold);
      EXPECT_TRUE(Compare(QueryBigBuyers(db.Market(), threshold, fold_, readers),
                          ReferenceBigBuyers(db.Market(), threshold), false));
    }
  }
}

TEST_F(BranchRankingEquivalenceTest, AHostileMarketRanksAlike) {
  TempProgramFolder folder;
  DbBuilder db(folder.Path());
  const std::string A = "国泰君安证券股份有限公司上海江苏路证券营业部";
  const std::string B = "华泰证券股份有限公司深圳益田路荣超商务中心证券营业部";
  const std::string C = "中信证券股份有限公司上海溧阳路证券营业部";
  const std::string D = "财通证券股份有限公司温州车站大道证券营业部";
  const std::string I = "机构专用";
  auto add = [&](const std::string& day, const std::string& code, const std::string& name, const FiveSeats& buy,
                 const FiveSeats& sell) { db.AddListing(day, code, name, "r", 1, 10, 1000, buy, sell); };
  // Today is Monday 2024-05-13.
  // After today: never counts.
  add("2024-05-14", "600001", "甲股", {{{A, 9000, 0}, None(), None(), None(), None()}}, {});
  // Today: a branch on both halves with equal pairs, the same pair again on the next
  // stock, A-B-A stocks, institutions in three buy seats, a branch in two buy seats.
  add("2024-05-13", "600001", "甲股", {{{A, 300, 100}, {B, 500, 0}, None(), None(), None()}},
      {{{C, 0, 400}, None(), None(), {A, 300, 100}, None()}});
  add("2024-05-13", "600002", "乙股", {{{A, 300, 100}, {I, 700, 0}, {I, 650, 0}, {I, 120, 0}, {D, 50, 50}}},
      {{{B, 0, 800}, None(), None(), None(), None()}});
  add("2024-05-13", "600011", "甲股", {{{A, 150, 0}, {D, 200, 0}, {D, 200, 10}, None(), None()}},
      {{{B, 0, 500}, None(), None(), None(), None()}});
  // Saturday and Sunday rows with data: never count.
  add("2024-05-11", "600003", "丙股", {{{B, 8000, 0}, None(), None(), None(), None()}}, {});
  add("2024-05-12", "600003", "丙股", {{{C, 8000, 0}, None(), None(), None(), None()}}, {});
  // Friday: equal sort keys among several branches.
  add("2024-05-10", "600004", "丁股", {{{A, 400, 0}, {B, 400, 0}, {C, 400, 0}, {D, 400, 0}, None()}},
      {{{A, 0, 100}, {B, 0, 100}, {C, 0, 100}, {D, 0, 100}, None()}});
  // Thursday: the first row fails the data test, though later rows hold data.
  add("2024-05-09", "600005", "戊股", {{{A, 0.5, 0}, None(), None(), None(), None()}}, {});
  add("2024-05-09", "600006", "己股", {{{B, 6000, 0}, None(), None(), None(), None()}}, {});
  // Wednesday to Monday of the week before.
  for (const std::string day : {"2024-05-08", "2024-05-07", "2024-05-06"}) {
    add(day, "600007", "庚股", {{{C, 250.25, 0}, {A, 210, 0}, None(), None(), None()}},
        {{{D, 0, 210}, {B, 0, 199.99}, None(), None(), None()}});
    add(day, "600008", "辛股", {{{A, 210, 0}, {B, 1.5, 0}, None(), None(), None()}}, {});
  }
  // Older than the walk's bound: a merge over more days never reaches it.
  add("2021-02-01", "600009", "壬股", {{{D, 9999, 0}, None(), None(), None(), None()}}, {});
  db.AddMark(C, 1, RGB(10, 20, 30), 1, 0, "", "", "");

  EXPECT_GT(CompareAll(db, "2024-05-13", "2024-05-10"), 20);
  // The weekend start, a picked Thursday whose first row fails (loaded all the same).
  CompareAll(db, "2024-05-12", "2024-05-09");
  // Only the old day: beyond the bound, every merge ranks nothing.
  BranchRankingResult old = MergeDays(db.Market(), "2024-04-30", 1, kBranchSortByTotalBuy, fold_);
  EXPECT_EQ(old.status, RankingStatus::NotEnoughDays);
  Compare(old, ReferenceMergeDays(db.Market(), "2024-04-30", 1, kBranchSortByTotalBuy));
  // Both halves, equal pairs and seats: A's figures on Monday alone.
  RankToday(db.Market(), "2024-05-13", fold_);
  const CBranchTotalsRow& a = *fold_.Find(A);
  EXPECT_EQ(a.nCount, 2);  // (300, 100) three times in a row is one seat; then 150
  EXPECT_EQ(a.StockNames, (std::vector<std::string>{"甲股"}));
  EXPECT_EQ(fold_.Find(I)->nCount, 3);
  EXPECT_EQ(fold_.Find(D)->nCount, 3);
}

}  // namespace
