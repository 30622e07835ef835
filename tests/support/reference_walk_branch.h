#pragma once
// The branch ranking computed the plain way: the days walked one calendar day at a
// time with a query per day (the first row's data test, then the day's rows), every
// seat folded into a vector searched from the front (a row that grows is taken out and
// appended), then a stable sort. What the fast ranking is compared with.

#include <string>
#include <vector>

#include "analysis/branch_ranking.h"
#include "storage/row_records.h"

class CADODataBase;

struct ReferenceBranchRanking {
  RankingStatus status = RankingStatus::Ranked;
  std::vector<CBranchTotalsRow> totals;  // sorted when Ranked
  std::vector<std::string> days;         // the days loaded, newest first
  int daysFound = 0;
  int dayOffset = 0;
  std::string error;
};

// sortMode 0 leaves the rows in the order of last update (sort copies with
// ReferenceSortRows to try every mode on one walk).
ReferenceBranchRanking ReferenceMergeDays(CADODataBase& db, const std::string& today, int days, int sortMode);
// Descending by the key of mode 2-7, stable; any other mode leaves the order.
void ReferenceSortRows(std::vector<CBranchTotalsRow>& rows, int mode);
ReferenceBranchRanking ReferenceRankToday(CADODataBase& db, const std::string& today);
ReferenceBranchRanking ReferenceRankYesterday(CADODataBase& db, const std::string& today);
ReferenceBranchRanking ReferenceRankDay(CADODataBase& db, const std::string& day);
ReferenceBranchRanking ReferenceBigBuyers(CADODataBase& db, const std::string& thresholdText);
