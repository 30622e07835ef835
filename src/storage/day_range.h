#pragma once
// Day texts for queries. Days are stored as zero-padded ISO text ("2017-02-06"), some
// date columns also as "2017-02-06 00:00:00"; comparing them as text against the
// bounds below finds both forms.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

class IClock;

// "%d-%0.2d-%0.2d": DayText(2017, 2, 6) == "2017-02-06".
std::string DayText(int year, int month, int day);

// [day, next day) for `col >= ? AND col < ?`: the rows of that day whatever time part
// they carry. `day` is "YYYY-MM-DD" (month and day may have one digit; a time part
// after it is ignored). A text that is no valid day gives {"", ""}, which matches
// nothing.
std::pair<std::string, std::string> DayRange(std::string_view day);

// The day `days` days before the clock's today: `datediff('d', X, now()) <= n`
// becomes `X >= ?` with CutoffDay(clock, n).
std::string CutoffDay(const IClock& clock, int days);

// The day as a day number (DaysFromCivil of platform/clock.h), read as DayRange reads
// it; nullopt for a text that is no valid day.
std::optional<std::int64_t> DayNumberOf(std::string_view day);

// The day `days` calendar days before `day` (a negative count goes forward), as
// DayText. "" for a text that is no valid day.
std::string DayMinus(std::string_view day, int days);

// 1 when a is later than b, -1 when earlier, 0 when equal. Accepts "Y-M-D" or "Y/M/D" (one- or
// two-digit month and day) with an optional " H:M[:S]". An invalid text is earlier than any valid
// one; two invalid texts compare 0. No time zone.
//
// The year has one to four digits, both date separators are the same, the day must exist in
// its month, hours run 0..23 and minutes and seconds 0..59 (one or two digits each). Blanks
// around the text are ignored; a missing time part is midnight.
int CompareDateTexts(std::string_view a, std::string_view b);

// Stepping through the days a page's table holds: the search takes the day test as a
// predicate, so every page that steps (the daily list, the scoring and block-trade
// pages) shares it.
using DayExists = std::function<bool(const std::string&)>;

// Steps one calendar day at a time from `from` (not included) in `direction` (-1 back,
// +1 forward). Saturdays and Sundays are passed over without asking `exists`; every
// other day is asked in turn and the first with data is returned as "YYYY-MM-DD". The
// search never passes `bound` (the newest stored day when stepping forward, the oldest
// when stepping back; the bound itself is tried). nullopt when nothing is found up to
// the bound, when the bound is empty or already reached, or for a bad day text or
// direction.
std::optional<std::string> FindTradingDay(const std::string& from, int direction, const DayExists& exists,
                                          const std::string& bound);

// Where a page steps: `bound(direction)` is the oldest (-1) or newest (+1) day its table
// holds (nullopt when none), `exists` whether it holds a day.
struct DayStepRule {
  std::function<std::optional<std::string>(int direction)> bound;
  DayExists exists;
};

// One press of 前一天 (-1) or 后一天 (+1) from `from`: FindTradingDay up to the rule's
// bound. nullopt when the table is empty or nothing is found.
std::optional<std::string> StepStoredDay(const std::string& from, int direction, const DayStepRule& rule);
