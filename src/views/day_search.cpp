#include "views/day_search.h"

#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"

std::optional<std::string> StoredDayBound(CADODataBase& db, const char* sql, bool* ok) {
  CADORecordset rs(&db);
  const bool opened = rs.Open(sql);
  if (ok != nullptr) *ok = opened;
  if (!opened || rs.IsEof() || rs.IsFieldNull("Day")) return std::nullopt;
  std::string day;
  rs.GetFieldValue("Day", day);
  // A day stored with a time of day still steps as its date.
  day = day.substr(0, 10);
  if (day.empty()) return std::nullopt;
  return day;
}

bool HasDayData(CADODataBase& db, const std::string& day) {
  CADORecordset rs(&db);
  return rs.Open("SELECT 1 FROM StockInfo WHERE SB_Date = ? LIMIT 1", {day}) && !rs.IsEof();
}

std::optional<std::string> NewestStoredDay(CADODataBase& db, bool* ok) {
  return StoredDayBound(db, "SELECT MAX(SB_Date) AS Day FROM StockInfo", ok);
}

std::optional<std::string> OldestStoredDay(CADODataBase& db, bool* ok) {
  return StoredDayBound(db, "SELECT MIN(SB_Date) AS Day FROM StockInfo", ok);
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
