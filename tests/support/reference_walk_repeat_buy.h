#pragma once
// The repeat-buy statistics computed the plain way: the days walked one calendar day
// at a time with a query per day, the buy seats folded into a vector searched
// linearly (a row that grows is taken out and appended), then per examined branch
// the ten-seat search and the linear per-stock count, a stable sort, the list rows,
// the trace lines and the Buy2Times rows. What the fast statistics are compared with,
// in the tests and in the bench.

#include <string>
#include <vector>

#include "analysis/repeat_buy_stats.h"
#include "storage/row_records.h"

class CADODataBase;

struct ReferenceRepeatBuyOptions {
  // The per-branch search through the seat-name indexes; false runs each as a scan
  // of the whole table ("StockInfo NOT INDEXED").
  bool indexed = true;
  // Examine only the first this many qualifying branches (0: all of them).
  int sampleBranches = 0;
  // Write the Buy2Times rows (per branch DELETE then INSERT, one transaction).
  bool write = true;
};

struct ReferenceRepeatBuyRun {
  // walk.days/complete/daysFound/dayOffset, rows, trace (with the failure line of a
  // failed write), saved, queryFailed, writeFailed. Nothing is shown, nothing is
  // appended to the trace file.
  RepeatBuyStatsResult result;
  std::vector<CBranchTotalsRow> totals;  // the fold, sorted by times listed

  int qualifyingBranches = 0;  // branches the statistics examine
  int examinedBranches = 0;    // of those, examined here (the sample)
  double walkSeconds = 0;      // the day walk with its loads and the sort
  double branchSeconds = 0;    // the per-branch searches, counts and sorts examined
  double writeSeconds = 0;
  // walkSeconds + writeSeconds + branchSeconds scaled from the sample to every branch.
  double EstimatedSeconds() const;
};

ReferenceRepeatBuyRun ReferenceRepeatBuyStats(CADODataBase& db, const std::string& today, int days,
                                              const ReferenceRepeatBuyOptions& options = {});
