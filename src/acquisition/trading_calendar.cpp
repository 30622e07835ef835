#include "acquisition/trading_calendar.h"

#include <array>
#include <cstdio>

namespace {

struct Date {
  int year, month, day;
};

// Exchange holidays that the yearly rules do not cover.
constexpr std::array<Date, 9> kFixedHolidays{{{2017, 1, 27},
                                              {2017, 1, 30},
                                              {2017, 1, 31},
                                              {2017, 2, 1},
                                              {2017, 2, 2},
                                              {2017, 4, 3},
                                              {2017, 4, 4},
                                              {2017, 5, 29},
                                              {2017, 5, 30}}};

}  // namespace

bool IsHoliday(int year, int month, int day) {
  for (const Date& d : kFixedHolidays) {
    if (d.year == year && d.month == month && d.day == day) return true;
  }
  if (month == 1 && day == 1) return true;
  if (month == 5 && day == 1) return true;
  return month == 10 && day >= 1 && day <= 7;
}

DayKind ClassifyDay(const LocalTime& day) {
  if (IsHoliday(day.year, day.month, day.day)) return DayKind::Holiday;
  if (day.dayOfWeek == 0 || day.dayOfWeek == 6) return DayKind::Weekend;
  return DayKind::Trading;
}

LocalTime DayBefore(const LocalTime& today, int daysBack) {
  return CivilFromDays(DaysFromCivil(today.year, today.month, today.day) - daysBack);
}

std::string DayTextOf(const LocalTime& day) {
  char text[32];
  std::snprintf(text, sizeof text, "%d-%02d-%02d", day.year, day.month, day.day);
  return text;
}

TodayStart TodayStartAt(int hour, int minute) {
  if (hour > 17) return TodayStart::StartAndReenable;
  if (hour < 17 || minute < 20) return TodayStart::TooEarly;
  return TodayStart::Start;
}

std::string FormatRunElapsed(std::int64_t ms) {
  if (ms < 0) ms = 0;
  char text[96];
  std::snprintf(text, sizeof text, "%lld时%lld分%lld秒%lld毫秒", static_cast<long long>(ms / 3600000),
                static_cast<long long>((ms / 60000) % 60), static_cast<long long>((ms / 1000) % 60),
                static_cast<long long>(ms % 1000));
  return text;
}

std::string FormatDayElapsed(std::int64_t ms) {
  if (ms < 0) ms = 0;
  char text[96];
  std::snprintf(text, sizeof text, "%lld分%lld秒%lld毫秒", static_cast<long long>(ms / 60000),
                static_cast<long long>((ms / 1000) % 60), static_cast<long long>(ms % 1000));
  return text;
}
