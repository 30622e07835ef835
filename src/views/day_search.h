#pragma once
// Finding trading days: a weekday counts as one when StockInfo holds rows of it. The
// search takes the day test as a predicate, so every page that steps through days
// (the daily list, the scoring and block-trade pages) shares it.

#include <functional>
#include <optional>
#include <string>

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
