#pragma once
// The rankings' walk back over trading days: from today one calendar day at a time,
// Saturdays and Sundays passed over, and a weekday counts when the first StockInfo
// row of that day (in rowid order) passes the page's data test. The walk gives up
// when a weekday without data is met at 1000 or more calendar days back. It ends as
// soon as the N-th day is found, so a database holding exactly N days still ranks.
//
// Only days that hold rows at all can pass, so the stored days up to today are read
// once (newest first) and only those are tested; the calendar is stepped in memory.

#include <string>
#include <vector>

class CADODataBase;

enum class DayDataTest {
  Buy1,         // the first row's Buy1_YYB_BuyAmount is at least 1.0
  Buy1OrSell1,  // ... or its Sell1_YYB_BuyAmount is
};

// Calendar days the walk may step back before a day without data ends it.
inline constexpr int kDayWalkBound = 1000;

struct TradingDayWalk {
  std::vector<std::string> days;  // the days found, newest first, "%d-%0.2d-%0.2d"
  bool complete = false;          // N days were found (always so for N <= 0)
  bool queryFailed = false;       // the stored days could not be read
  std::string error;              // the database's text when queryFailed
  int daysFound = 0;              // what the page keeps as its counters
  int dayOffset = 0;              // calendar days stepped back, past the last day found
};

// Whether the first row of `day` passes `test` (false for no row or a failed query).
bool PassesDayDataTest(CADODataBase& db, const std::string& day, DayDataTest test);

// The walk from `today` ("YYYY-MM-DD"; today itself is the first day tried) for `n`
// days. n <= 0 gives no day and is complete at once; a bad day text gives an
// incomplete walk.
TradingDayWalk WalkTradingDays(CADODataBase& db, const std::string& today, int n, DayDataTest test);
