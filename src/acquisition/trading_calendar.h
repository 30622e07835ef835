#pragma once
// The trading-day calendar of the download schedule: weekends, the holiday table and
// its yearly rules, stepping back over calendar days, and the texts of elapsed times.

#include <cstdint>
#include <string>

#include "platform/clock.h"

enum class DayKind { Trading = 0, Holiday = 1, Weekend = 2 };

// The fixed holiday dates and the yearly rules (1 January, 1 May, 1 to 7 October).
bool IsHoliday(int year, int month, int day);
// Holiday before weekend, as the schedule tests them.
DayKind ClassifyDay(const LocalTime& day);

// The calendar day `daysBack` days before `today` (time of day cleared).
LocalTime DayBefore(const LocalTime& today, int daysBack);

// "2017-02-06": the text days are stored and compared under.
std::string DayTextOf(const LocalTime& day);

// What the "今日" start does at a given local time.
enum class TodayStart {
  TooEarly,           // before 17:20: the "17:20" line, no day taken
  Start,              // 17:20 to 17:59: one day, the button stays disabled
  StartAndReenable,   // from 18:00: one day, the button enabled again at once
};
TodayStart TodayStartAt(int hour, int minute);

// "%d时%d分%d秒%d毫秒" for the end of a run, "%d分%d秒%d毫秒" for one day.
std::string FormatRunElapsed(std::int64_t ms);
std::string FormatDayElapsed(std::int64_t ms);
