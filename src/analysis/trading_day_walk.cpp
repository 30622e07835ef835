#include "analysis/trading_day_walk.h"

#include <algorithm>
#include <unordered_set>

#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"
#include "storage/row_cursor.h"

namespace {

constexpr const char* kStoredDaysQuery =
    "SELECT DISTINCT SB_Date FROM StockInfo WHERE SB_Date <= ? ORDER BY SB_Date DESC";
constexpr const char* kFirstRowQuery =
    "SELECT Buy1_YYB_BuyAmount, Sell1_YYB_BuyAmount FROM StockInfo WHERE SB_Date = ? ORDER BY rowid LIMIT 1";

}  // namespace

bool PassesDayDataTest(CADODataBase& db, const std::string& day, DayDataTest test) {
  RowCursor first(db, kFirstRowQuery, {day});
  if (!first.Next()) return false;
  if (first.Double(0) >= 1.0) return true;
  return test == DayDataTest::Buy1OrSell1 && first.Double(1) >= 1.0;
}

TradingDayWalk WalkTradingDays(CADODataBase& db, const std::string& today, int n, DayDataTest test) {
  TradingDayWalk walk;
  if (n <= 0) {
    walk.complete = true;
    return walk;
  }
  const std::optional<std::int64_t> start = DayNumberOf(today);
  if (!start) return walk;

  // Days holding rows, up to today. Only these can pass the data test.
  std::unordered_set<std::string> stored;
  {
    const LocalTime first = CivilFromDays(*start);
    RowCursor days(db, kStoredDaysQuery, {DayText(first.year, first.month, first.day)});
    while (days.Next()) stored.emplace(days.Text(0));
    if (days.Failed()) {
      walk.queryFailed = true;
      walk.error = days.ErrorText();
      return walk;
    }
  }

  int offset = 0;
  while (true) {
    const LocalTime civil = CivilFromDays(*start - offset);
    if (civil.dayOfWeek == 0 || civil.dayOfWeek == 6) {
      ++offset;
      continue;
    }
    std::string day = DayText(civil.year, civil.month, civil.day);
    if (!stored.contains(day) || !PassesDayDataTest(db, day, test)) {
      ++offset;
      if (offset >= kDayWalkBound) break;
      // Nothing older is stored: every further weekday fails as well.
      if (stored.empty()) {
        offset = std::max(offset, kDayWalkBound);
        break;
      }
      continue;
    }
    stored.erase(day);
    ++offset;
    walk.days.push_back(std::move(day));
    if (static_cast<int>(walk.days.size()) == n) {
      walk.complete = true;
      break;
    }
  }
  walk.daysFound = static_cast<int>(walk.days.size());
  walk.dayOffset = offset;
  return walk;
}
