#pragma once
// Finding trading days: a weekday counts as one when StockInfo holds rows of it.

#include <optional>
#include <string>

#include "storage/day_range.h"

class CADODataBase;

// Whether StockInfo holds a row of `day` (one bound query). False when there is none
// and when the query fails.
bool HasDayData(CADODataBase& db, const std::string& day);

// The newest and the oldest SB_Date stored; nullopt for an empty table or a failed
// query (`ok`, when given, tells the two apart).
std::optional<std::string> NewestStoredDay(CADODataBase& db, bool* ok = nullptr);
// The same for any statement whose one column `Day` is such a bound: the day's first
// ten characters ("YYYY-MM-DD").
std::optional<std::string> StoredDayBound(CADODataBase& db, const char* sql, bool* ok);
std::optional<std::string> OldestStoredDay(CADODataBase& db, bool* ok = nullptr);

// The rule by which the daily list and the scoring page step: the days StockInfo holds.
DayStepRule StoredDayRule(CADODataBase& db);
