#include "storage/day_range.h"

#include "platform/clock.h"

namespace {

bool ReadPart(std::string_view text, std::size_t& pos, int maxDigits, int& out) {
  int value = 0;
  int digits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < maxDigits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++digits;
  }
  out = value;
  return digits > 0;
}

// A date text as CompareDateTexts reads it, in seconds from 1970-01-01 00:00:00 (no time
// zone); nullopt for a text that is no valid date and time.
std::optional<std::int64_t> DateTimeSeconds(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::size_t pos = 0;
  int year = 0, month = 0, day = 0;
  if (!ReadPart(text, pos, 4, year) || pos >= text.size()) return std::nullopt;
  const char separator = text[pos++];
  if (separator != '-' && separator != '/') return std::nullopt;
  if (!ReadPart(text, pos, 2, month) || pos >= text.size() || text[pos++] != separator) return std::nullopt;
  if (!ReadPart(text, pos, 2, day)) return std::nullopt;
  if (month < 1 || month > 12 || day < 1) return std::nullopt;
  const std::int64_t dayNumber = DaysFromCivil(year, month, day);
  const LocalTime check = CivilFromDays(dayNumber);
  if (check.year != year || check.month != month || check.day != day) return std::nullopt;

  int hour = 0, minute = 0, second = 0;
  if (pos < text.size()) {
    if (text[pos] != ' ') return std::nullopt;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (!ReadPart(text, pos, 2, hour) || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!ReadPart(text, pos, 2, minute)) return std::nullopt;
    if (pos < text.size()) {
      if (text[pos++] != ':' || !ReadPart(text, pos, 2, second)) return std::nullopt;
    }
    if (pos != text.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  }
  return dayNumber * 86400 + hour * 3600 + minute * 60 + second;
}

void AppendPadded(std::string& out, int value) {
  if (value >= 0 && value < 10) out += '0';
  out += std::to_string(value);
}

}  // namespace

std::string DayText(int year, int month, int day) {
  std::string out = std::to_string(year);
  out += '-';
  AppendPadded(out, month);
  out += '-';
  AppendPadded(out, day);
  return out;
}

std::optional<std::int64_t> DayNumberOf(std::string_view day) {
  std::size_t pos = 0;
  int year = 0, month = 0, dayOfMonth = 0;
  const bool parsed = ReadPart(day, pos, 4, year) && pos < day.size() && day[pos++] == '-' &&
                      ReadPart(day, pos, 2, month) && pos < day.size() && day[pos++] == '-' &&
                      ReadPart(day, pos, 2, dayOfMonth) && (pos == day.size() || day[pos] == ' ' || day[pos] == 'T');
  if (!parsed || month < 1 || month > 12 || dayOfMonth < 1) return std::nullopt;
  const std::int64_t number = DaysFromCivil(year, month, dayOfMonth);
  // A day past the month's end (2015-02-30) comes back as another day: not valid.
  const LocalTime check = CivilFromDays(number);
  if (check.year != year || check.month != month || check.day != dayOfMonth) return std::nullopt;
  return number;
}

std::pair<std::string, std::string> DayRange(std::string_view day) {
  const std::optional<std::int64_t> number = DayNumberOf(day);
  if (!number) return {};
  const LocalTime first = CivilFromDays(*number);
  const LocalTime next = CivilFromDays(*number + 1);
  return {DayText(first.year, first.month, first.day), DayText(next.year, next.month, next.day)};
}

std::string DayMinus(std::string_view day, int days) {
  const std::optional<std::int64_t> number = DayNumberOf(day);
  if (!number) return {};
  const LocalTime moved = CivilFromDays(*number - days);
  return DayText(moved.year, moved.month, moved.day);
}

std::string CutoffDay(const IClock& clock, int days) {
  const LocalTime now = clock.Now();
  const LocalTime cutoff = CivilFromDays(DaysFromCivil(now.year, now.month, now.day) - days);
  return DayText(cutoff.year, cutoff.month, cutoff.day);
}

int CompareDateTexts(std::string_view a, std::string_view b) {
  const std::optional<std::int64_t> left = DateTimeSeconds(a);
  const std::optional<std::int64_t> right = DateTimeSeconds(b);
  if (!left || !right) return left ? 1 : (right ? -1 : 0);
  return *left > *right ? 1 : (*left < *right ? -1 : 0);
}

std::optional<std::string> FindTradingDay(const std::string& from, int direction, const DayExists& exists,
                                          const std::string& bound) {
  if (direction != 1 && direction != -1) return std::nullopt;
  const std::optional<std::int64_t> start = DayNumberOf(from);
  const std::optional<std::int64_t> limit = DayNumberOf(bound);
  if (!start || !limit) return std::nullopt;
  for (std::int64_t day = *start + direction; direction > 0 ? day <= *limit : day >= *limit; day += direction) {
    const LocalTime civil = CivilFromDays(day);
    if (civil.dayOfWeek == 0 || civil.dayOfWeek == 6) continue;
    const std::string text = DayText(civil.year, civil.month, civil.day);
    if (exists && exists(text)) return text;
  }
  return std::nullopt;
}

std::optional<std::string> StepStoredDay(const std::string& from, int direction, const DayStepRule& rule) {
  if (!rule.bound) return std::nullopt;
  const std::optional<std::string> bound = rule.bound(direction);
  if (!bound) return std::nullopt;
  return FindTradingDay(from, direction, rule.exists, *bound);
}
