#pragma once
// The stock activity ranking computed the plain way: the days walked one calendar day
// at a time with a query per day (the first row's data test on Buy1 or Sell1, then the
// day's rows), every listing folded into a vector searched from the front (a row that
// grows is taken out and appended), then the stable sorts. What the fast ranking is
// compared with.

#include <string>
#include <vector>

#include "analysis/stock_activity.h"
#include "storage/row_records.h"

class CADODataBase;

struct ReferenceStockRanking {
  StockRankingStatus status = StockRankingStatus::Ranked;
  std::vector<CStockDayRow> rows;  // sorted when Ranked, else empty
  std::vector<std::string> days;   // the days loaded, newest first
  int daysFound = 0;
  int dayOffset = 0;
  std::string error;
};

ReferenceStockRanking ReferenceRankStockActivity(CADODataBase& db, const std::string& today, int days);
