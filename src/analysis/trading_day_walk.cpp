#include "analysis/trading_day_walk.h"

#include <algorithm>

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

  // Days holding rows, newest first from today: only these can pass the data test.
  // They are read as the calendar reaches them, so a short walk reads few of them.
  const LocalTime first = CivilFromDays(*start);
  RowCursor stored(db, kStoredDaysQuery, {DayText(first.year, first.month, first.day)});
  std::string nextStored;  // the newest stored day not yet passed; "" when none is left
  bool storedLeft = true;
  const auto advance = [&] {
    storedLeft = stored.Next();
    if (storedLeft) {
      nextStored.assign(stored.Text(0));
    } else {
      nextStored.clear();
    }
  };
  const auto failed = [&] {
    walk.queryFailed = true;
    walk.error = stored.ErrorText();
    walk.days.clear();
    return walk;
  };
  advance();
  if (stored.Failed()) return failed();

  RowCursor firstRow(db);
  const auto passes = [&](const std::string& day) {
    if (!firstRow.Run(kFirstRowQuery, {day}) || !firstRow.Next()) return false;
    if (firstRow.Double(0) >= 1.0) return true;
    return test == DayDataTest::Buy1OrSell1 && firstRow.Double(1) >= 1.0;
  };

  int offset = 0;
  while (true) {
    const LocalTime civil = CivilFromDays(*start - offset);
    if (civil.dayOfWeek == 0 || civil.dayOfWeek == 6) {
      ++offset;
      continue;
    }
    std::string day = DayText(civil.year, civil.month, civil.day);
    while (storedLeft && nextStored > day) advance();
    if (stored.Failed()) return failed();
    if (!storedLeft || nextStored != day || !passes(day)) {
      ++offset;
      if (offset >= kDayWalkBound) break;
      // Nothing older is stored: every further weekday fails as well.
      if (!storedLeft) {
        offset = std::max(offset, kDayWalkBound);
        break;
      }
      continue;
    }
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
