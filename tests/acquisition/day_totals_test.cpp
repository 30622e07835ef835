#include "acquisition/day_totals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "../support/zero_sleeper.h"
#include "acquisition/stock_info_writer.h"
#include "storage/ado_recordset.h"

namespace {

const std::string kDay = "2017-02-06";
const std::string kInstitution = "机构专用";

std::optional<TotalsFixture> ReadTotals(CADODataBase& db, const std::string& day) {
  CADORecordset rows(&db);
  if (!rows.Open("SELECT * FROM TotalBuySell WHERE SB_Date=?", {day}) || rows.GetRecordCount() != 1) {
    return std::nullopt;
  }
  TotalsFixture t;
  t.day = day;
  rows.GetFieldValue("Today_ShangBang", t.todayCount);
  rows.GetFieldValue("Today_TotalBuy", t.todayBuy);
  rows.GetFieldValue("Today_TotalSell", t.todaySell);
  rows.GetFieldValue("Today_TotalNet", t.todayNet);
  rows.GetFieldValue("Today_Total", t.todayTotal);
  rows.GetFieldValue("YouZi_ShangBang", t.youziCount);
  rows.GetFieldValue("YouZi_TotalBuy", t.youziBuy);
  rows.GetFieldValue("YouZi_TotalSell", t.youziSell);
  rows.GetFieldValue("YouZi_TotalNet", t.youziNet);
  rows.GetFieldValue("YouZi_Total", t.youziTotal);
  rows.GetFieldValue("JiGou_ShangBang", t.jigouCount);
  rows.GetFieldValue("JiGou_TotalBuy", t.jigouBuy);
  rows.GetFieldValue("JiGou_TotalSell", t.jigouSell);
  rows.GetFieldValue("JiGou_TotalNet", t.jigouNet);
  rows.GetFieldValue("JiGou_Total", t.jigouTotal);
  return t;
}

long TotalsRowCount(CADODataBase& db) {
  CADORecordset rows(&db);
  return rows.Open("SELECT SB_Date FROM TotalBuySell") ? rows.GetRecordCount() : -1;
}

void ExpectTotalsEqual(const TotalsFixture& a, const TotalsFixture& b, double tolerance = 1e-6) {
  EXPECT_EQ(a.todayCount, b.todayCount);
  EXPECT_NEAR(a.todayBuy, b.todayBuy, tolerance);
  EXPECT_NEAR(a.todaySell, b.todaySell, tolerance);
  EXPECT_NEAR(a.todayNet, b.todayNet, tolerance);
  EXPECT_NEAR(a.todayTotal, b.todayTotal, tolerance);
  EXPECT_EQ(a.youziCount, b.youziCount);
  EXPECT_NEAR(a.youziBuy, b.youziBuy, tolerance);
  EXPECT_NEAR(a.youziSell, b.youziSell, tolerance);
  EXPECT_NEAR(a.youziNet, b.youziNet, tolerance);
  EXPECT_NEAR(a.youziTotal, b.youziTotal, tolerance);
  EXPECT_EQ(a.jigouCount, b.jigouCount);
  EXPECT_NEAR(a.jigouBuy, b.jigouBuy, tolerance);
  EXPECT_NEAR(a.jigouSell, b.jigouSell, tolerance);
  EXPECT_NEAR(a.jigouNet, b.jigouNet, tolerance);
  EXPECT_NEAR(a.jigouTotal, b.jigouTotal, tolerance);
}

FiveSeats NoSeats() { return {}; }

FiveSeats Seats(std::initializer_list<SeatFixture> seats) {
  FiveSeats five{};
  std::size_t i = 0;
  for (const SeatFixture& seat : seats) five[i++] = seat;
  return five;
}

class DayTotalsTest : public ::testing::Test {
 protected:
  DayTotalsTest() : folder_(Options()), builder_(folder_.Path()) {}
  static TempProgramFolder::Options Options() {
    TempProgramFolder::Options options;
    options.setGlobals = false;
    return options;
  }
  CADODataBase& Db() { return builder_.Market(); }
  void Listing(const std::string& code, const FiveSeats& buy, const FiveSeats& sell, const std::string& day = kDay) {
    builder_.AddListing(day, code, "股票" + code, "原因", 10.0, 12.0, 5000.0, buy, sell);
  }

  TempProgramFolder folder_;
  DbBuilder builder_;
};

// ---------------------------------------------------------------------------------
// Summing

TEST(ComputeDayTotals, InstitutionGroupAndHotMoneyRemainder) {
  DayBranches day;
  AddBranchListing(day.m_vecDayBranches, "甲营业部", "000001", "甲股", 100, 20);
  AddBranchListing(day.m_vecDayBranches, kInstitution, "000001", "甲股", 300, 0);
  AddBranchListing(day.m_vecDayBranches, kInstitution, "000002", "乙股", 50, 10);
  AddBranchListing(day.m_vecDayBranches, "乙营业部", "000002", "乙股", 5, 70);
  day.m_nDayStockCount = 2;

  const CDayTotals t = ComputeDayTotals(day);
  EXPECT_EQ(t.Today, (CDayTotalsGroup{2, 455, 100, 355, 555}));
  EXPECT_EQ(t.JiGou, (CDayTotalsGroup{2, 350, 10, 340, 360}));
  EXPECT_EQ(t.YouZi, (CDayTotalsGroup{2, 105, 90, 15, 195}));  // the count is listings less JiGou's
}

TEST(ComputeDayTotals, EmptyDayIsAllZero) {
  DayBranches day;
  day.m_nDayStockCount = 3;
  const CDayTotals t = ComputeDayTotals(day);
  EXPECT_EQ(t.Today, (CDayTotalsGroup{3, 0, 0, 0, 0}));
  EXPECT_EQ(t.YouZi, CDayTotalsGroup{});
  EXPECT_EQ(t.JiGou, CDayTotalsGroup{});
}

// ---------------------------------------------------------------------------------
// Days from the table

TEST_F(DayTotalsTest, DayWithoutInstitutionsStoresZeroJiGou) {
  Listing("000001", Seats({{"甲营业部", 100, 1}, {"乙营业部", 80, 2}}), Seats({{"丙营业部", 3, 90}}));
  Listing("000002", Seats({{"甲营业部", 60, 0}}), Seats({{"丁营业部", 1, 40}}));

  const DayTotalsOutcome outcome = RecomputeDayTotals(Db(), kDay);
  ASSERT_EQ(outcome.status, DayTotalsOutcome::Status::Written) << Db().GetLastErrorText();
  EXPECT_EQ(outcome.writeResult, kDayTotalsWritten);
  EXPECT_TRUE(outcome.errorLine.empty());

  const std::optional<TotalsFixture> stored = ReadTotals(Db(), kDay);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->todayCount, 2);   // stocks
  EXPECT_EQ(stored->youziCount, 5);   // listings
  EXPECT_DOUBLE_EQ(stored->todayBuy, 244);
  EXPECT_DOUBLE_EQ(stored->todaySell, 133);
  EXPECT_DOUBLE_EQ(stored->todayNet, 111);
  EXPECT_DOUBLE_EQ(stored->todayTotal, 377);
  EXPECT_DOUBLE_EQ(stored->youziBuy, stored->todayBuy);
  EXPECT_DOUBLE_EQ(stored->youziSell, stored->todaySell);
  EXPECT_DOUBLE_EQ(stored->youziNet, stored->todayNet);
  EXPECT_DOUBLE_EQ(stored->youziTotal, stored->todayTotal);
  EXPECT_EQ(stored->jigouCount, 0);
  EXPECT_EQ(stored->jigouBuy, 0);
  EXPECT_EQ(stored->jigouSell, 0);
  EXPECT_EQ(stored->jigouNet, 0);
  EXPECT_EQ(stored->jigouTotal, 0);
}

TEST_F(DayTotalsTest, BuyerAndSellerWithSameFiguresCountOnce) {
  // Buyer 2 and seller 4 of one stock, identical figures: one listing.
  Listing("000001", Seats({{"甲营业部", 100, 1}, {"双向营业部", 50, 40}}),
          Seats({{"乙营业部", 0, 90}, {"丙营业部", 0, 80}, {"丁营业部", 0, 70}, {"双向营业部", 50, 40}}));
  std::optional<DayBranches> day = CollectDayBranches(Db(), kDay);
  ASSERT_TRUE(day);
  CDayTotals t = ComputeDayTotals(*day);
  EXPECT_EQ(t.YouZi.nCount, 5);
  EXPECT_DOUBLE_EQ(t.Today.TotalBuy, 150);
  EXPECT_DOUBLE_EQ(t.Today.TotalSell, 281);

  // With different figures they are two listings.
  ASSERT_TRUE(Db().Execute("UPDATE StockInfo SET Sell4_YYB_SellAmount=41"));
  day = CollectDayBranches(Db(), kDay);
  ASSERT_TRUE(day);
  t = ComputeDayTotals(*day);
  EXPECT_EQ(t.YouZi.nCount, 6);
  EXPECT_DOUBLE_EQ(t.Today.TotalBuy, 200);
  EXPECT_DOUBLE_EQ(t.Today.TotalSell, 322);
}

TEST_F(DayTotalsTest, SameFiguresInTwoStocksAreTwoListings) {
  Listing("000001", Seats({{"甲营业部", 10, 1}}), NoSeats());
  Listing("000002", Seats({{"甲营业部", 10, 1}}), NoSeats());
  const std::optional<DayBranches> day = CollectDayBranches(Db(), kDay);
  ASSERT_TRUE(day);
  ASSERT_EQ(day->m_vecDayBranches.size(), 1u);
  EXPECT_EQ(day->m_vecDayBranches[0].nCount, 2);
  EXPECT_DOUBLE_EQ(ComputeDayTotals(*day).Today.TotalBuy, 20);
}

TEST_F(DayTotalsTest, StockWithoutSeatsOnlyCountsAsListed) {
  Listing("000001", NoSeats(), NoSeats());
  // A row stored before its seats were known has no seat values at all.
  ZeroSleeper sleeper;
  StockInsertCounters counters;
  CStockInfoWriter writer(Db(), sleeper, counters);
  StockRecord incomplete;
  incomplete.IsDownloadOK = 2;
  incomplete.StockCode = "000002";
  incomplete.SB_Date = kDay;
  ASSERT_EQ(writer.InsertStockInfo(incomplete), kStockWriteOk);

  ASSERT_EQ(RecomputeDayTotals(Db(), kDay).status, DayTotalsOutcome::Status::Written);
  TotalsFixture expected;
  expected.todayCount = 2;
  ExpectTotalsEqual(*ReadTotals(Db(), kDay), expected, 0);
}

TEST_F(DayTotalsTest, OtherDaysAreNotCounted) {
  Listing("000001", Seats({{"甲营业部", 10, 1}}), NoSeats());
  Listing("000001", Seats({{"甲营业部", 999, 999}}), NoSeats(), "2017-02-03");
  Listing("000002", Seats({{"甲营业部", 999, 999}}), NoSeats(), "2017-02-07");
  const std::optional<DayBranches> day = CollectDayBranches(Db(), kDay);
  ASSERT_TRUE(day);
  EXPECT_EQ(day->m_nDayStockCount, 1);
  EXPECT_DOUBLE_EQ(ComputeDayTotals(*day).Today.TotalBuy, 10);
}

TEST_F(DayTotalsTest, BranchesComeInStoredOrder) {
  Listing("000001", Seats({{"乙营业部", 1, 0}, {"甲营业部", 2, 0}}), NoSeats());
  Listing("000002", Seats({{"丙营业部", 3, 0}, {"乙营业部", 4, 0}}), NoSeats());
  const std::optional<DayBranches> day = CollectDayBranches(Db(), kDay);
  ASSERT_TRUE(day);
  ASSERT_EQ(day->m_vecDayBranches.size(), 3u);
  // An updated branch moves to the end.
  EXPECT_EQ(day->m_vecDayBranches[0].YYBName, "甲营业部");
  EXPECT_EQ(day->m_vecDayBranches[1].YYBName, "丙营业部");
  EXPECT_EQ(day->m_vecDayBranches[2].YYBName, "乙营业部");
  EXPECT_EQ(day->m_vecDayBranches[2].StockNames, (std::vector<std::string>{"股票000001", "股票000002"}));
}

TEST_F(DayTotalsTest, RecomputingLeavesOneRowWithNewValues) {
  Listing("000001", Seats({{"甲营业部", 10, 1}}), NoSeats());
  ASSERT_EQ(RecomputeDayTotals(Db(), kDay).writeResult, kDayTotalsWritten);
  Listing("000002", Seats({{kInstitution, 5, 2}}), NoSeats());
  ASSERT_EQ(RecomputeDayTotals(Db(), kDay).writeResult, kDayTotalsWritten);

  EXPECT_EQ(TotalsRowCount(Db()), 1);
  const std::optional<TotalsFixture> stored = ReadTotals(Db(), kDay);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->todayCount, 2);
  EXPECT_DOUBLE_EQ(stored->todayBuy, 15);
  EXPECT_EQ(stored->jigouCount, 1);
  EXPECT_DOUBLE_EQ(stored->jigouNet, 3);
  EXPECT_DOUBLE_EQ(stored->youziBuy, 10);
}

TEST_F(DayTotalsTest, StoredFiguresAreRoundedToSixDecimals) {
  CDayTotals totals;
  totals.Today = {1, 1.0 / 3.0, 2.0 / 3.0, -1.0 / 3.0, 1.0};
  ASSERT_EQ(WriteDayTotals(Db(), totals, kDay), kDayTotalsWritten);
  const std::optional<TotalsFixture> stored = ReadTotals(Db(), kDay);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->todayBuy, 0.333333);
  EXPECT_EQ(stored->todaySell, 0.666667);
  EXPECT_EQ(stored->todayNet, -0.333333);
}

// Independent sums over a seeded model of a day: every listing is distinct by branch,
// stock and figures, except the deliberate doubles of one branch among the buyers and
// the sellers of one stock, which count once.
TEST_F(DayTotalsTest, TotalsEqualIndependentSums) {
  const std::vector<std::string> pool = {"甲营业部", "乙营业部", "丙营业部", "丁营业部", "戊营业部",
                                         "己营业部", "庚营业部", "辛营业部", "壬营业部", "癸营业部",
                                         "子营业部", "丑营业部", "寅营业部", "卯营业部"};
  for (std::uint32_t seed : {1u, 7u, 2017u}) {
    SCOPED_TRACE(seed);
    ASSERT_TRUE(Db().Execute("DELETE FROM StockInfo"));
    std::mt19937 random(seed);
    auto amount = [&] { return static_cast<double>(random() % 5000000) / 1000.0; };

    std::set<std::tuple<std::string, std::string, double, double>> seen;
    TotalsFixture expected;
    const int stocks = 20 + static_cast<int>(random() % 41);
    for (int s = 0; s < stocks; ++s) {
      const std::string code = std::to_string(600000 + s);
      std::vector<std::string> names = pool;
      std::shuffle(names.begin(), names.end(), random);
      FiveSeats buy{}, sell{};
      std::size_t next = 0;
      for (FiveSeats* side : {&buy, &sell}) {
        for (SeatFixture& seat : *side) {
          const unsigned kind = random() % 10;
          if (kind == 0) continue;  // empty seat
          seat.name = kind <= 2 ? kInstitution : names[next++];
          seat.buy = amount();
          seat.sell = amount();
        }
      }
      auto holds = [&](const std::string& name) {
        for (const FiveSeats* side : {&buy, &sell}) {
          for (const SeatFixture& seat : *side) {
            if (seat.name == name) return true;
          }
        }
        return false;
      };
      if (random() % 3 == 0 && !holds(pool[0])) {
        buy[4] = {pool[0], 12.5, 0.25};  // the same figures in several stocks: separate listings
      }
      if (random() % 2 == 0 && !buy[1].name.empty() && buy[1].name != kInstitution) {
        sell[3] = buy[1];  // the same listing among the sellers
      }
      Listing(code, buy, sell);

      ++expected.todayCount;
      for (const FiveSeats* side : {&buy, &sell}) {
        for (const SeatFixture& seat : *side) {
          if (seat.name.empty() || !seen.emplace(seat.name, code, seat.buy, seat.sell).second) continue;
          const bool institution = seat.name == kInstitution;
          (institution ? expected.jigouCount : expected.youziCount) += 1;
          (institution ? expected.jigouBuy : expected.youziBuy) += seat.buy;
          (institution ? expected.jigouSell : expected.youziSell) += seat.sell;
        }
      }
    }
    expected.jigouNet = expected.jigouBuy - expected.jigouSell;
    expected.jigouTotal = expected.jigouBuy + expected.jigouSell;
    expected.youziNet = expected.youziBuy - expected.youziSell;
    expected.youziTotal = expected.youziBuy + expected.youziSell;
    expected.todayBuy = expected.youziBuy + expected.jigouBuy;
    expected.todaySell = expected.youziSell + expected.jigouSell;
    expected.todayNet = expected.todayBuy - expected.todaySell;
    expected.todayTotal = expected.todayBuy + expected.todaySell;

    const DayTotalsOutcome outcome = RecomputeDayTotals(Db(), kDay);
    ASSERT_EQ(outcome.status, DayTotalsOutcome::Status::Written) << Db().GetLastErrorText();
    const std::optional<TotalsFixture> stored = ReadTotals(Db(), kDay);
    ASSERT_TRUE(stored);
    ExpectTotalsEqual(*stored, expected, 1e-5);
    EXPECT_EQ(TotalsRowCount(Db()), 1);
  }
}

// ---------------------------------------------------------------------------------
// Failures

TotalsFixture PreviousRow() {
  TotalsFixture t;
  t.day = kDay;
  t.todayCount = 7;
  t.todayBuy = 70;
  t.youziCount = 3;
  t.jigouTotal = 1.5;
  return t;
}

TEST_F(DayTotalsTest, UnreadableDayWritesNothing) {
  Listing("000001", Seats({{"甲营业部", 10, 1}}), NoSeats());
  builder_.AddTotals(PreviousRow());
  ASSERT_TRUE(Db().Execute("ALTER TABLE StockInfo RENAME TO StockInfoAway"));

  EXPECT_FALSE(CollectDayBranches(Db(), kDay));
  const DayTotalsOutcome outcome = RecomputeDayTotals(Db(), kDay);
  EXPECT_EQ(outcome.status, DayTotalsOutcome::Status::Unreadable);
  EXPECT_EQ(outcome.writeResult, kDayTotalsWritten);  // no write was tried
  EXPECT_TRUE(outcome.errorLine.empty());
  EXPECT_EQ(TotalsRowCount(Db()), 1);
  ExpectTotalsEqual(*ReadTotals(Db(), kDay), PreviousRow(), 0);
}

TEST_F(DayTotalsTest, FailedInsertKeepsPreviousRow) {
  Listing("000001", Seats({{"甲营业部", 10, 1}}), NoSeats());
  builder_.AddTotals(PreviousRow());
  ASSERT_TRUE(Db().Execute(
      "CREATE TRIGGER refuse_totals BEFORE INSERT ON TotalBuySell BEGIN SELECT RAISE(ABORT, 'refused'); END"));

  const DayTotalsOutcome outcome = RecomputeDayTotals(Db(), kDay);
  EXPECT_EQ(outcome.status, DayTotalsOutcome::Status::WriteFailed);
  EXPECT_EQ(outcome.writeResult, kDayTotalsWriteFailed);
  EXPECT_EQ(outcome.errorLine, "2017-02-06，当日统计数据写入错误!");
  EXPECT_EQ(outcome.errorLineColour, 0x0000FFu);
  EXPECT_DOUBLE_EQ(outcome.totals.Today.TotalBuy, 10);  // what could not be stored
  EXPECT_FALSE(Db().InTransaction());
  ExpectTotalsEqual(*ReadTotals(Db(), kDay), PreviousRow(), 0);  // the DELETE was rolled back
}

TEST_F(DayTotalsTest, WriteLockHeldElsewhereKeepsPreviousRow) {
  Listing("000001", Seats({{"甲营业部", 10, 1}}), NoSeats());
  builder_.AddTotals(PreviousRow());
  CADODataBase locker;
  ASSERT_TRUE(locker.Open("Data Source=" + builder_.MarketPath() + ";"));
  CADODataBase totalsDb;
  totalsDb.SetConnectionTimeout(1);
  ASSERT_TRUE(totalsDb.Open("Data Source=" + builder_.MarketPath() + ";"));
  ASSERT_TRUE(locker.BeginTrans());

  const DayTotalsOutcome outcome = RecomputeDayTotals(totalsDb, kDay);
  ASSERT_TRUE(locker.RollbackTrans());
  EXPECT_EQ(outcome.status, DayTotalsOutcome::Status::WriteFailed);
  EXPECT_EQ(outcome.errorLine, DayTotalsWriteErrorLine(kDay));
  ExpectTotalsEqual(*ReadTotals(Db(), kDay), PreviousRow(), 0);
}

TEST_F(DayTotalsTest, ClosedDatabaseGivesNotOpen) {
  CADODataBase closed;
  CDayTotals totals;
  EXPECT_EQ(WriteDayTotals(closed, totals, kDay), kDayTotalsNotOpen);
  EXPECT_FALSE(CollectDayBranches(closed, kDay));
  const DayTotalsOutcome outcome = RecomputeDayTotals(closed, kDay);
  EXPECT_EQ(outcome.status, DayTotalsOutcome::Status::NotOpen);
  EXPECT_EQ(outcome.writeResult, kDayTotalsNotOpen);
  EXPECT_EQ(outcome.errorLine, "2017-02-06，当日统计数据写入错误!");
}

}  // namespace
