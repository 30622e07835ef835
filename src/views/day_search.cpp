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

DayStepRule StoredDayRule(CADODataBase& db) {
  return {[&db](int direction) { return direction < 0 ? OldestStoredDay(db) : NewestStoredDay(db); },
          [&db](const std::string& day) { return HasDayData(db, day); }};
}
