#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

TEST(CivilDays, KnownDaysAndWeekdays) {
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1) - DaysFromCivil(2000, 2, 28), 2);  // 2000 is a leap year
  EXPECT_EQ(DaysFromCivil(1900, 3, 1) - DaysFromCivil(1900, 2, 28), 1);  // 1900 is not
  const LocalTime d = CivilFromDays(DaysFromCivil(2017, 2, 6));
  EXPECT_EQ(d.year, 2017);
  EXPECT_EQ(d.month, 2);
  EXPECT_EQ(d.day, 6);
  EXPECT_EQ(d.dayOfWeek, 1);  // a Monday
  EXPECT_EQ(CivilFromDays(-1).dayOfWeek, 3);  // 1969-12-31 was a Wednesday
  EXPECT_EQ(CivilFromDays(DaysFromCivil(2024, 12, 31) + 1).year, 2025);
}

TEST(CivilDays, RoundTripsAgainstTheCLibraryOverManyYears) {
  for (std::int64_t days = DaysFromCivil(1990, 1, 1); days < DaysFromCivil(2040, 1, 1); days += 37) {
    const LocalTime d = CivilFromDays(days);
    EXPECT_EQ(DaysFromCivil(d.year, d.month, d.day), days);
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = 12;
    const std::time_t t = timegm(&tm);
    std::tm back{};
    gmtime_r(&t, &back);
    ASSERT_EQ(back.tm_wday, d.dayOfWeek) << d.year << "-" << d.month << "-" << d.day;
  }
}

TEST(SystemClock, SteadyNeverGoesBackAndNowIsPlausible) {
  SystemClock clock;
  const auto a = clock.SteadyMs();
  const auto b = clock.SteadyMs();
  EXPECT_LE(a, b);
  const LocalTime now = clock.Now();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
}
