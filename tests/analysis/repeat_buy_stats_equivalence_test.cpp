// The one-step repeat-buy statistics against the plain day-by-day computation: list
// rows, trace bytes, Buy2Times rows and the fold must all be the same.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/market_generator.h"
#include "../support/reference_walk_repeat_buy.h"
#include "../support/temp_program_folder.h"
#include "analysis/branch_fold.h"
#include "analysis/repeat_buy_stats.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"

namespace {

class RepeatBuyStatsEquivalenceTest : public ::testing::Test {
 protected:
  void TearDown() override { MessageBoxHook::Instance().TakeRecorded(); }

  static std::vector<RepeatBuySavedRow> TakeTable(DbBuilder& db) {
    std::vector<RepeatBuySavedRow> rows;
    CADORecordset rs(&db.Market());
    EXPECT_TRUE(rs.Open("SELECT * FROM Buy2Times ORDER BY rowid"));
    for (; !rs.IsEof(); rs.MoveNext()) {
      RepeatBuySavedRow row;
      rs.GetFieldValue("YYBName", row.branch);
      rs.GetFieldValue("ShangBangCiShu_Buy", row.stocks);
      rs.GetFieldValue("Above2_Buy", row.repeats);
      rs.GetFieldValue("Percentage", row.percentage);
      rows.push_back(row);
    }
    EXPECT_TRUE(db.Market().Execute("DELETE FROM Buy2Times"));
    return rows;
  }

  // Runs both on the same data (each from an empty Buy2Times) and compares
  // everything; returns the fast result.
  static RepeatBuyStatsResult Compare(DbBuilder& db, const std::string& today, int days, unsigned parts = 0) {
    SCOPED_TRACE("today " + today + ", N = " + std::to_string(days) + ", parts " + std::to_string(parts));
    EXPECT_TRUE(db.Market().Execute("DELETE FROM Buy2Times"));
    const ReferenceRepeatBuyRun reference = ReferenceRepeatBuyStats(db.Market(), today, days);
    const std::vector<RepeatBuySavedRow> referenceTable = TakeTable(db);
    BranchFold totals;
    const RepeatBuyStatsResult fast = RunRepeatBuyStats(db.Market(), today, days, totals, parts);
    const std::vector<RepeatBuySavedRow> fastTable = TakeTable(db);

    EXPECT_EQ(fast.walk.days, reference.result.walk.days);
    EXPECT_EQ(fast.walk.complete, reference.result.walk.complete);
    EXPECT_EQ(fast.walk.daysFound, reference.result.walk.daysFound);
    if (fast.walk.complete) {
      EXPECT_EQ(fast.walk.dayOffset, reference.result.walk.dayOffset);
    }
    EXPECT_EQ(fast.rows, reference.result.rows);
    EXPECT_EQ(fast.trace, reference.result.trace);
    EXPECT_EQ(fast.saved, reference.result.saved);
    EXPECT_EQ(fast.queryFailed, reference.result.queryFailed);
    EXPECT_EQ(fast.writeFailed, reference.result.writeFailed);
    EXPECT_EQ(fastTable, referenceTable);

    std::vector<std::pair<std::string, int>> fastOrder, referenceOrder;
    for (const CBranchTotalsRow& row : totals.Rows()) fastOrder.emplace_back(row.YYBName, row.nCount);
    for (const CBranchTotalsRow& row : reference.totals) referenceOrder.emplace_back(row.YYBName, row.nCount);
    EXPECT_EQ(fastOrder, referenceOrder);
    return fast;
  }

  // A listing whose seats come from `names` (index -1: an empty seat).
  void List(const std::string& day, const std::string& code, const std::string& name, std::vector<int> buy,
            std::vector<int> sell, double firstBuy = 0) {
    FiveSeats b, s;
    for (int i = 0; i < 5; ++i) {
      const int bi = i < static_cast<int>(buy.size()) ? buy[i] : -1;
      const int si = i < static_cast<int>(sell.size()) ? sell[i] : -1;
      b[i] = {bi < 0 ? "" : names_[bi], 50.0 + ++amount_, 3};
      s[i] = {si < 0 ? "" : names_[si], 4, 60.0 + ++amount_};
    }
    if (firstBuy != 0) b[0].buy = firstBuy;
    db_.AddListing(day, code, name, "", 1, 10, 1000, b, s);
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  int amount_ = 0;
  std::vector<std::string> names_ = {"机构专用",
                                     "华泰证券股份有限公司深圳益田路证券营业部",
                                     "国泰君安证券股份有限公司上海江苏路证券营业部",
                                     "中信证券上海溧阳路",
                                     "O'Neil%_证券",
                                     "银河证券北京中关村大街证券营业部",
                                     "招商证券深圳蛇口工业七路证券营业部"};
};

}  // namespace

TEST_F(RepeatBuyStatsEquivalenceTest, SeededRandomMarkets) {
  for (const std::uint32_t seed : {11u, 4242u, 90001u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempProgramFolder folder;
    DbBuilder db(folder.Path());
    MarketShape shape = CrowdedMarketShape(seed, 20);
    const GeneratedMarket market = GenerateMarket(db, shape);
    ASSERT_FALSE(market.days.empty());

    const std::string last = market.days.back();
    const int stored = static_cast<int>(market.days.size());
    // Every stored day, one more than stored, a start after the data, one inside it.
    for (const auto& [today, n] : std::vector<std::pair<std::string, int>>{
             {last, stored}, {last, stored + 1}, {DayMinus(last, -2), 5}, {market.days[30], 20}}) {
      const RepeatBuyStatsResult fast = Compare(db, today, n);
      if (n >= 20 && fast.walk.complete) {
        EXPECT_FALSE(fast.rows.empty());  // dense enough to list stocks
      }
    }
  }
}

// The table is read in stretches of rowids and the branches counted in runs: days
// stored out of rowid order, negative rowids, a missing and an empty day, and every
// number of parts, down to stretches of a few rowids.
TEST_F(RepeatBuyStatsEquivalenceTest, ShuffledRowidsInParts) {
  TempProgramFolder folder;
  DbBuilder db(folder.Path());
  const GeneratedMarket market = GenerateMarket(db, CrowdedMarketShape(5u, 8));
  ASSERT_TRUE(ShuffleStoredDays(db, market.days));
  for (unsigned parts : {1u, 2u, 3u, 4u, 7u, 300u}) {
    EXPECT_FALSE(Compare(db, market.days.back(), 20, parts).rows.empty());
  }
}

TEST_F(RepeatBuyStatsEquivalenceTest, HostileDatabase) {
  // Weekdays 2024-06-03 .. 2024-06-21, written newest first so that rowid order runs
  // against the days.
  std::vector<std::string> days;
  for (int offset = 0; offset < 19; ++offset) {
    const std::string day = DayMinus("2024-06-21", offset);
    const int weekday = CivilFromDays(*DayNumberOf(day)).dayOfWeek;
    if (weekday != 0 && weekday != 6) days.push_back(day);
  }
  std::uint32_t state = 7;
  auto pick = [&](int n) {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) % n);
  };
  for (const std::string& day : days) {
    // This day's first row fails the walk's data test (its Buy1 below 1).
    if (day == "2024-06-14") List(day, "000012", "坏首行", {1, 2}, {3}, 0.5);
    for (int stock = 0; stock < 6; ++stock) {
      const std::string code = "60000" + std::to_string(stock);
      // Stock 0 changes its name half way.
      const std::string name = stock == 0 && day < "2024-06-12" ? "旧名称" : "股票" + std::to_string(stock);
      std::vector<int> buy, sell;
      for (int seat = 0; seat < 5; ++seat) buy.push_back(pick(8) - 1);
      for (int seat = 0; seat < 5; ++seat) sell.push_back(pick(8) - 1);
      if (buy[0] < 0) buy[0] = 5;  // the walk's data test looks at the first row's Buy1
      List(day, code, name, buy, sell);
    }
  }
  // The institutions in three buy seats; a branch in two buy seats and in both halves.
  List("2024-06-20", "000010", "机构股", {0, 0, 0, 1, 2}, {1, 3});
  List("2024-06-19", "000011", "两席股", {3, 4, 3}, {4});
  // A weekend, rows after today, data older than 1000 days, a missing and an odd day.
  List("2024-06-22", "000013", "周六股", {1, 2, 3}, {4, 5});
  List("2024-06-24", "600001", "股票1", {1, 2, 3}, {4});
  List("2024-07-01", "600002", "股票2", {2, 1}, {6});
  List("2019-01-07", "600003", "老股票", {1, 3}, {2});
  List("2019-01-08", "600003", "老股票", {1, 3}, {2});
  List("2019-01-09", "000014", "无日期", {1, 2}, {3});
  List("2019-01-10", "000015", "带时间", {1, 2}, {3});
  ASSERT_TRUE(db_.Market().Execute("UPDATE StockInfo SET SB_Date = NULL WHERE StockCode = ?", {"000014"}));
  ASSERT_TRUE(db_.Market().Execute("UPDATE StockInfo SET SB_Date = ? WHERE StockCode = ?",
                                   {"2024-06-18 10:00:00", "000015"}));
  // An equal pair on two stocks in a row: the fold takes the second as the same seat.
  FiveSeats same{{{names_[6], 77, 7}, {}, {}, {}, {}}};
  db_.AddListing("2024-06-17", "000016", "同额一", "", 1, 10, 1000, same, FiveSeats{});
  db_.AddListing("2024-06-17", "000017", "同额二", "", 1, 10, 1000, same, FiveSeats{});

  for (const int n : {0, 1, 3, 5, 10, 13}) {
    Compare(db_, "2024-06-23", n);  // a Sunday
    Compare(db_, "2024-06-22", n);  // a Saturday holding rows
  }
  const RepeatBuyStatsResult all = Compare(db_, "2024-06-21", 14);
  EXPECT_TRUE(all.walk.complete);
  EXPECT_FALSE(all.rows.empty());
  EXPECT_FALSE(Compare(db_, "2024-06-21", 15).walk.complete);

  // A write that fails fails the same way in both.
  ASSERT_TRUE(db_.Market().Execute(
      "CREATE TRIGGER refuse BEFORE INSERT ON Buy2Times BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  EXPECT_TRUE(Compare(db_, "2024-06-21", 10).writeFailed);
}
