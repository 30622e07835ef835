#include "acquisition/trading_calendar.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

LocalTime Day(int y, int m, int d) { return CivilFromDays(DaysFromCivil(y, m, d)); }

// The trading days a run of `wanted` days takes, walking back from `today`.
std::vector<std::string> WalkBack(const LocalTime& today, int wanted, std::vector<std::string>* holidays) {
  std::vector<std::string> taken;
  for (int offset = 0; static_cast<int>(taken.size()) < wanted && offset < 400; ++offset) {
    const LocalTime day = DayBefore(today, offset);
    switch (ClassifyDay(day)) {
      case DayKind::Holiday:
        if (holidays) holidays->push_back(DayTextOf(day));
        break;
      case DayKind::Weekend:
        break;
      case DayKind::Trading:
        taken.push_back(DayTextOf(day));
        break;
    }
  }
  return taken;
}

}  // namespace

TEST(TradingCalendar, FixedDatesAndYearlyRules) {
  for (const auto& [m, d] : std::vector<std::pair<int, int>>{{1, 27}, {1, 30}, {1, 31}, {2, 1}, {2, 2}, {4, 3}, {4, 4}, {5, 29}, {5, 30}}) {
    EXPECT_TRUE(IsHoliday(2017, m, d)) << m << "-" << d;
    EXPECT_FALSE(IsHoliday(2018, m, d)) << "fixed dates are 2017 only: " << m << "-" << d;
  }
  EXPECT_TRUE(IsHoliday(2016, 1, 1));
  EXPECT_TRUE(IsHoliday(2020, 5, 1));
  EXPECT_TRUE(IsHoliday(2015, 10, 2));
  EXPECT_TRUE(IsHoliday(2015, 10, 7));
  EXPECT_FALSE(IsHoliday(2015, 10, 8));
  EXPECT_FALSE(IsHoliday(2015, 9, 30));
  EXPECT_FALSE(IsHoliday(2017, 1, 26));
  EXPECT_FALSE(IsHoliday(2017, 2, 3));
}

TEST(TradingCalendar, HolidayIsReportedBeforeWeekend) {
  EXPECT_EQ(ClassifyDay(Day(2017, 10, 1)), DayKind::Holiday);  // a Sunday and a holiday
  EXPECT_EQ(ClassifyDay(Day(2017, 2, 4)), DayKind::Weekend);
  EXPECT_EQ(ClassifyDay(Day(2017, 2, 5)), DayKind::Weekend);
  EXPECT_EQ(ClassifyDay(Day(2017, 2, 6)), DayKind::Trading);
}

TEST(TradingCalendar, ThreeDaysFromAMondaySkipTheWeekendSilently) {
  std::vector<std::string> holidays;
  EXPECT_EQ(WalkBack(Day(2017, 3, 6), 3, &holidays), (std::vector<std::string>{"2017-03-06", "2017-03-03", "2017-03-02"}));
  EXPECT_TRUE(holidays.empty());
}

TEST(TradingCalendar, TenDaysBackFromTheSixthOfFebruary2017) {
  std::vector<std::string> holidays;
  EXPECT_EQ(WalkBack(Day(2017, 2, 6), 10, &holidays),
            (std::vector<std::string>{"2017-02-06", "2017-02-03", "2017-01-26", "2017-01-25", "2017-01-24", "2017-01-23",
                                      "2017-01-20", "2017-01-19", "2017-01-18", "2017-01-17"}));
  EXPECT_EQ(holidays, (std::vector<std::string>{"2017-02-02", "2017-02-01", "2017-01-31", "2017-01-30", "2017-01-27"}));
}

TEST(TradingCalendar, SaturdayEveningTodayRunTakesTheFriday) {
  EXPECT_EQ(WalkBack(Day(2017, 2, 11), 1, nullptr), (std::vector<std::string>{"2017-02-10"}));
}

TEST(TradingCalendar, SteppingBackCrossesMonthsYearsAndLeapDays) {
  EXPECT_EQ(DayTextOf(DayBefore(Day(2016, 3, 1), 1)), "2016-02-29");
  EXPECT_EQ(DayTextOf(DayBefore(Day(2017, 1, 1), 1)), "2016-12-31");
  EXPECT_EQ(DayTextOf(DayBefore(Day(2017, 2, 6), 0)), "2017-02-06");
  EXPECT_EQ(DayBefore(Day(2017, 2, 6), 1).dayOfWeek, 0);
}

TEST(TradingCalendar, TodayStartsAtTwentyPastFive) {
  EXPECT_EQ(TodayStartAt(17, 19), TodayStart::TooEarly);
  EXPECT_EQ(TodayStartAt(9, 45), TodayStart::TooEarly);
  EXPECT_EQ(TodayStartAt(17, 20), TodayStart::Start);
  EXPECT_EQ(TodayStartAt(17, 59), TodayStart::Start);
  EXPECT_EQ(TodayStartAt(18, 5), TodayStart::StartAndReenable);
  EXPECT_EQ(TodayStartAt(23, 0), TodayStart::StartAndReenable);
}

TEST(TradingCalendar, ElapsedTexts) {
  EXPECT_EQ(FormatRunElapsed(3725042), "1时2分5秒42毫秒");
  EXPECT_EQ(FormatRunElapsed(0), "0时0分0秒0毫秒");
  EXPECT_EQ(FormatDayElapsed(3725042), "62分5秒42毫秒");
  EXPECT_EQ(FormatDayElapsed(999), "0分0秒999毫秒");
  EXPECT_EQ(FormatRunElapsed(-5), "0时0分0秒0毫秒");  // a clock that went back shows nothing negative
}
