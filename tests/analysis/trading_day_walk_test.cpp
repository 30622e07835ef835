#include "analysis/trading_day_walk.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "platform/clock.h"
#include "storage/day_range.h"

namespace {

using Days = std::vector<std::string>;

class TradingDayWalkTest : public ::testing::Test {
 protected:
  // A listing whose first seats carry these buy amounts.
  void Listing(const std::string& day, double buy1 = 100, double sell1Buy = 0, const std::string& code = "600000") {
    FiveSeats buy{};
    FiveSeats sell{};
    buy[0] = {"甲营业部", buy1, 0};
    sell[0] = {"乙营业部", sell1Buy, 50};
    db_.AddListing(day, code, "浦发银行", "日涨幅偏离值达7%的证券", 1, 10, 1000, buy, sell);
  }
  static bool IsWeekend(const std::string& day) {
    const int weekday = CivilFromDays(*DayNumberOf(day)).dayOfWeek;
    return weekday == 0 || weekday == 6;
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
};

TEST_F(TradingDayWalkTest, SaturdayStartsOnFridayAndSkipsDaysWithoutData) {
  Listing("2024-06-07");  // Friday
  Listing("2024-06-05");  // Wednesday; Thursday has nothing
  Listing("2024-06-04");
  const TradingDayWalk walk = WalkTradingDays(db_.Market(), "2024-06-08", 3, DayDataTest::Buy1);
  EXPECT_TRUE(walk.complete);
  EXPECT_EQ(walk.days, (Days{"2024-06-07", "2024-06-05", "2024-06-04"}));
  EXPECT_EQ(walk.daysFound, 3);
  EXPECT_EQ(walk.dayOffset, 5);  // Saturday back to Tuesday, Tuesday included
}

TEST_F(TradingDayWalkTest, WeekendRowsAndRowsAfterTodayNeverCount) {
  Listing("2024-06-08");  // Saturday with data
  Listing("2024-06-09");  // Sunday with data
  Listing("2024-06-11");  // after today
  Listing("2024-06-10");  // today, Monday
  Listing("2024-06-07");
  const TradingDayWalk walk = WalkTradingDays(db_.Market(), "2024-06-10", 2, DayDataTest::Buy1);
  EXPECT_EQ(walk.days, (Days{"2024-06-10", "2024-06-07"}));
}

TEST_F(TradingDayWalkTest, OnlyTheFirstRowOfADayIsTested) {
  Listing("2024-06-07", 0.99, 0, "600001");  // the day's first row fails
  Listing("2024-06-07", 500, 0, "600002");
  Listing("2024-06-06", 1.0, 0);              // exactly 1.0 passes
  Listing("2024-06-05", 0.5, 1.0);            // passes only when Sell1's buy counts
  Listing("2024-06-04", 0.5, 0.5);
  Listing("2024-06-03");
  EXPECT_EQ(WalkTradingDays(db_.Market(), "2024-06-07", 2, DayDataTest::Buy1).days,
            (Days{"2024-06-06", "2024-06-03"}));
  EXPECT_EQ(WalkTradingDays(db_.Market(), "2024-06-07", 2, DayDataTest::Buy1OrSell1).days,
            (Days{"2024-06-06", "2024-06-05"}));
  EXPECT_FALSE(PassesDayDataTest(db_.Market(), "2024-06-07", DayDataTest::Buy1OrSell1));
  EXPECT_FALSE(PassesDayDataTest(db_.Market(), "2024-06-01", DayDataTest::Buy1));
}

TEST_F(TradingDayWalkTest, ExactlyNDaysCompleteAndFewerStopAtTheBound) {
  Listing("2024-06-07");
  Listing("2024-06-06");
  Listing("2024-06-05");
  const TradingDayWalk exact = WalkTradingDays(db_.Market(), "2024-06-07", 3, DayDataTest::Buy1);
  EXPECT_TRUE(exact.complete);
  EXPECT_EQ(exact.days.size(), 3u);

  const TradingDayWalk fewer = WalkTradingDays(db_.Market(), "2024-06-07", 5, DayDataTest::Buy1);
  EXPECT_FALSE(fewer.complete);
  EXPECT_FALSE(fewer.queryFailed);
  EXPECT_EQ(fewer.daysFound, 3);
  EXPECT_EQ(fewer.days.size(), 3u);
  EXPECT_GE(fewer.dayOffset, kDayWalkBound);
}

TEST_F(TradingDayWalkTest, TheBoundEndsTheWalkAtTheFirstEmptyWeekdayThatFarBack) {
  // The last weekday at 998 days back or nearer is reached. The weekday after it is
  // 999 or more days back; without data it ends the walk, so the weekday after that,
  // with data, is never reached.
  const std::string today = "2024-06-07";
  std::vector<std::string> weekdays;
  std::string reached;
  for (int offset = 990; offset < 1010; ++offset) {
    const std::string day = DayMinus(today, offset);
    if (IsWeekend(day)) continue;
    weekdays.push_back(day);
    if (offset <= 998) reached = day;
  }
  std::string beyond;
  for (std::size_t i = 0; i + 2 < weekdays.size(); ++i) {
    if (weekdays[i] == reached) beyond = weekdays[i + 2];
  }
  ASSERT_FALSE(reached.empty());
  ASSERT_FALSE(beyond.empty());
  Listing(today);
  Listing(reached);
  Listing(beyond);
  const TradingDayWalk walk = WalkTradingDays(db_.Market(), today, 3, DayDataTest::Buy1);
  EXPECT_FALSE(walk.complete);
  EXPECT_EQ(walk.days, (Days{today, reached}));
  // Days with data carry the walk past the bound: it only ends at a weekday without
  // data that far back.
  std::string between;
  for (std::size_t i = 0; i + 1 < weekdays.size(); ++i) {
    if (weekdays[i] == reached) between = weekdays[i + 1];
  }
  Listing(between);
  const TradingDayWalk carried = WalkTradingDays(db_.Market(), today, 4, DayDataTest::Buy1);
  EXPECT_TRUE(carried.complete);
  EXPECT_EQ(carried.days, (Days{today, reached, between, beyond}));
}

TEST_F(TradingDayWalkTest, NoDaysAskedOrAnEmptyDatabase) {
  int statements = 0;
  db_.Market().SetStatementTrace([&](const std::string&) { ++statements; });
  for (int n : {0, -3}) {
    const TradingDayWalk walk = WalkTradingDays(db_.Market(), "2024-06-07", n, DayDataTest::Buy1);
    EXPECT_TRUE(walk.complete);
    EXPECT_TRUE(walk.days.empty());
  }
  EXPECT_EQ(statements, 0);
  const TradingDayWalk empty = WalkTradingDays(db_.Market(), "2024-06-07", 1, DayDataTest::Buy1);
  EXPECT_FALSE(empty.complete);
  EXPECT_FALSE(empty.queryFailed);
  EXPECT_EQ(statements, 1);  // the stored days only: no day holds rows, none is tested
  db_.Market().SetStatementTrace(nullptr);
  EXPECT_FALSE(WalkTradingDays(db_.Market(), "2024-13-01", 1, DayDataTest::Buy1).complete);
}

TEST_F(TradingDayWalkTest, OnlyStoredWeekdaysAreTested) {
  for (const char* day : {"2024-06-07", "2024-06-05", "2024-06-03", "2024-05-31"}) Listing(day);
  std::vector<std::string> statements;
  db_.Market().SetStatementTrace([&](const std::string& sql) { statements.push_back(sql); });
  const TradingDayWalk walk = WalkTradingDays(db_.Market(), "2024-06-07", 4, DayDataTest::Buy1);
  db_.Market().SetStatementTrace(nullptr);
  EXPECT_TRUE(walk.complete);
  EXPECT_EQ(statements.size(), 5u);
}

TEST_F(TradingDayWalkTest, AFailedReadIsNotAShortWalk) {
  Listing("2024-06-07");
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  const TradingDayWalk walk = WalkTradingDays(db_.Market(), "2024-06-07", 1, DayDataTest::Buy1);
  EXPECT_TRUE(walk.queryFailed);
  EXPECT_FALSE(walk.complete);
  EXPECT_FALSE(walk.error.empty());
}

}  // namespace
