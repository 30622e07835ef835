// The one-read continuous-buying lists against the plain per-stock and per-branch
// queries: list 1119 after a count, and list 1120 after 1007 and after a double click,
// for windows counted by the real stock activity ranking.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/market_generator.h"
#include "../support/reference_walk_sustained_buy.h"
#include "../support/temp_program_folder.h"
#include "analysis/stock_activity.h"
#include "analysis/sustained_buy.h"
#include "platform/message_box.h"

namespace {

struct Counted {
  std::vector<CStockDayRow> stocks;
  std::string windowStart;
};

Counted Count(CADODataBase& db, const std::string& today, int days) {
  const StockRankingResult ranking = RankStockActivity(db, today, days);
  EXPECT_EQ(ranking.status, StockRankingStatus::Ranked);
  return {ranking.rows, CountedWindowStart(today, ranking.walk.dayOffset)};
}

// Both lists from both paths; returns the rows of 1119 and of 1120 after 1007.
std::pair<std::size_t, std::size_t> Compare(DbBuilder& db, const Counted& counted, const std::string& windowStart,
                                            const std::string& today) {
  SCOPED_TRACE("window from " + windowStart);
  std::vector<CStockDayRow> fastStocks = counted.stocks, referenceStocks = counted.stocks;
  const SustainedStockList fast = ScanSustainedStocks(db.Market(), fastStocks, windowStart);
  const SustainedStockList reference = ReferenceScanSustainedStocks(db.Market(), referenceStocks);
  EXPECT_FALSE(fast.queryFailed);
  EXPECT_EQ(fast.rows, reference.rows);
  // Both sort the counted stocks the same way, in place.
  EXPECT_EQ(fastStocks.size(), referenceStocks.size());
  for (std::size_t i = 0; i < fastStocks.size() && i < referenceStocks.size(); ++i)
    EXPECT_EQ(fastStocks[i].StockCode, referenceStocks[i].StockCode);

  const SustainedBranchList all =
      FillSustainedBranchList(db.Market(), db.User(), fastStocks, windowStart, std::nullopt, today);
  const SustainedBranchList allReference =
      ReferenceFillSustainedBranchList(db.Market(), db.User(), referenceStocks, std::nullopt, today);
  EXPECT_FALSE(all.queryFailed);
  EXPECT_EQ(all.rows, allReference.rows);

  // A double click on the first and on the last stock of 1119.
  for (const SustainedStockRow* row : {fast.rows.empty() ? nullptr : &fast.rows.front(),
                                       fast.rows.empty() ? nullptr : &fast.rows.back()}) {
    if (row == nullptr) continue;
    const std::string code = row->cells[kSustainedCodeColumn];
    const SustainedBranchList one = FillSustainedBranchList(db.Market(), db.User(), fastStocks, windowStart, code, today);
    const SustainedBranchList oneReference =
        ReferenceFillSustainedBranchList(db.Market(), db.User(), referenceStocks, code, today);
    EXPECT_EQ(one.rows, oneReference.rows) << code;
    EXPECT_FALSE(one.rows.empty()) << code;
  }
  return {fast.rows.size(), all.rows.size()};
}

SeatFixture Seat(const std::string& name, double buy, double sell) { return {name, buy, sell}; }

}  // namespace

TEST(SustainedBuyEquivalenceTest, SeededRandomMarkets) {
  for (const std::uint32_t seed : {11u, 4242u, 909090u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempProgramFolder folder;
    DbBuilder db(folder.Path());
    MarketShape shape = CrowdedMarketShape(seed, 12);
    shape.markedBranches = 8;
    shape.institutionListingShare = 0.3;
    shape.maxAmount = 40;  // amounts on both sides of the 10 floor
    const GeneratedMarket market = GenerateMarket(db, shape);
    ASSERT_GE(market.days.size(), 40u);
    const std::string last = market.days.back();
    const std::string middle = market.days[market.days.size() / 2];
    std::size_t stocksShown = 0, branchRows = 0;
    for (const std::string& today : {last, middle}) {
      for (int days : {2, 5, 20}) {
        SCOPED_TRACE("today " + today + ", N = " + std::to_string(days));
        const Counted counted = Count(db.Market(), today, days);
        const auto [stocks, rows] = Compare(db, counted, counted.windowStart, today);
        stocksShown += stocks;
        branchRows += rows;
        if (days == 5) {
          // A window start later than the one counted, and none at all, read further
          // back and still give the same lists.
          Compare(db, counted, today, today);
          Compare(db, counted, "", today);
        }
      }
    }
    EXPECT_GE(stocksShown, 10u);
    EXPECT_GE(branchRows, 20u);
  }
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST(SustainedBuyEquivalenceTest, HostileDatabase) {
  TempProgramFolder folder;
  DbBuilder db(folder.Path());
  const std::string a = "华泰证券股份有限公司深圳益田路证券营业部", b = "机构专用", c = "O'Neil%_证券", d = "国信证券深圳泰然九路";
  db.AddMark(a, 1, RGB(255, 200, 0), 0, 0, "", "", "");
  auto list = [&](const std::string& day, const std::string& code, const FiveSeats& buy, const FiveSeats& sell) {
    db.AddListing(day, code, "股票" + code, "", 1, 10, 1000, buy, sell);
  };
  const FiveSeats quiet{Seat(d, 11, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)};
  // Today is Wednesday 2024-06-12. Listed in the window, then after today and on a
  // Saturday: the newest listings have no upper date bound.
  list("2024-06-12", "600001", {Seat(a, 15, 0), Seat(c, 12, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  list("2024-06-11", "600001", {Seat(c, 20, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  list("2024-06-13", "600001", {Seat(a, 30, 0), Seat(b, 20, 0), Seat(c, 5, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  list("2024-06-08", "600001", {Seat(a, 30, 0), Seat(c, 50, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  // The institutions in three buying seats of one listing: their seat count (3) reaches
  // listings older than the window.
  list("2024-06-12", "600002", {Seat(b, 20, 0), Seat(b, 15, 0), Seat(b, 12, 1), Seat(a, 11, 0), Seat(c, 10, 0)},
       {Seat(b, 0, 30), Seat(a, 0, 40), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)});
  list("2024-06-11", "600002", {Seat(c, 11, 0), Seat(a, 12, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  list("2024-05-02", "600002", {Seat(b, 50, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  // ... and listed twice that day, the institutions on both: taken in rowid order.
  list("2024-05-02", "600002y", {Seat(b, 51, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  ASSERT_TRUE(db.Market().Execute("UPDATE StockInfo SET StockCode=? WHERE StockCode=?", {"600002", "600002y"}));
  list("2024-04-02", "600002", {Seat(d, 5, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)},
       {Seat(b, 0, 9), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)});
  list("2023-04-03", "600002", {Seat(b, 8, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  // A branch in both halves with equal figures, and with different ones; ties in seat
  // counts between branches.
  for (const char* day : {"2024-06-12", "2024-06-11", "2024-06-10"}) {
    list(day, "600003", {Seat(a, 25, 3), Seat(c, 11, 0), Seat("", 0, 0), Seat(d, 14, 0), Seat("", 0, 0)},
         {Seat(d, 0, 7), Seat("", 0, 0), Seat("", 0, 0), Seat(a, 25, 3), Seat(c, 2, 30)});
  }
  // A stock listed twice on one day.
  list("2024-06-12", "600004", {Seat(a, 12, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  list("2024-06-12", "600004x", {Seat(a, 13, 0), Seat(c, 40, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  ASSERT_TRUE(db.Market().Execute("UPDATE StockInfo SET StockCode=? WHERE StockCode=?", {"600004", "600004x"}));
  list("2024-06-07", "600004", {Seat(c, 40, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)}, quiet);
  // Sellers only, and buys of exactly 10.
  for (const char* day : {"2024-06-12", "2024-06-11", "2024-06-10", "2024-06-07"}) {
    list(day, "600005", {Seat(c, 10, 0), Seat(d, 10, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)},
         {Seat(a, 0, 90), Seat(b, 0, 80), Seat("", 0, 0), Seat("", 0, 0), Seat("", 0, 0)});
  }

  for (int days : {2, 3, 5}) {
    SCOPED_TRACE("N = " + std::to_string(days));
    const Counted counted = Count(db.Market(), "2024-06-12", days);
    Compare(db, counted, counted.windowStart, "2024-06-12");
    Compare(db, counted, "2024-06-12", "2024-06-12");
  }
  // The institutions' listings in 1120 reach back before the counted window.
  Counted counted = Count(db.Market(), "2024-06-12", 2);
  const SustainedBranchList one =
      FillSustainedBranchList(db.Market(), db.User(), counted.stocks, counted.windowStart, "600002", "2024-06-12");
  std::vector<std::string> institutionDays;
  for (const SustainedBranchRow& row : one.rows)
    if (row.cells[4] == b) institutionDays.push_back(row.cells[1]);
  EXPECT_EQ(institutionDays, (std::vector<std::string>{"2024-06-12", "2024-05-02", "2024-05-02"}));
  ASSERT_EQ(one.rows.size(), 5u);
  EXPECT_EQ(one.rows[1].cells[5], "50");  // the first listing of the day first
  EXPECT_EQ(one.rows[2].cells[5], "51");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}
