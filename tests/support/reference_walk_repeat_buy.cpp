#include "reference_walk_repeat_buy.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "analysis/stock_repeat_counts.h"
#include "analysis/tracker_searches.h"
#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"
#include "storage/gbk_format.h"
#include "reference_walk_fold.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr const char* kDayQuery = "SELECT * FROM StockInfo WHERE SB_Date=? ORDER BY rowid";


// The day's data test on the first row; when it passes, the day's buy seats are
// folded from the same rows. False when the day has no data (or no query).
bool TestAndLoadDay(CADODataBase& db, const std::string& day, std::vector<CBranchTotalsRow>& totals) {
  CADORecordset rs(&db);
  if (!rs.Open(kDayQuery, {day}) || rs.IsEof()) return false;
  double first = 0;
  rs.GetFieldValue("Buy1_YYB_BuyAmount", first);
  if (first < 1.0) return false;
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string name, code;
    rs.GetFieldValue("StockName", name);
    rs.GetFieldValue("StockCode", code);
    for (int seat = 1; seat <= 5; ++seat) {
      const std::string prefix = "Buy" + std::to_string(seat) + "_YYB_";
      std::string branch;
      double buy = 0, sell = 0;
      rs.GetFieldValue(prefix + "Name", branch);
      rs.GetFieldValue(prefix + "BuyAmount", buy);
      rs.GetFieldValue(prefix + "SellAmount", sell);
      ReferenceAddSeat(totals, branch, name, buy, sell);
    }
  }
  return true;
}

// The ten-seat search over the whole table, without its indexes.
bool ScanStocksOfBranch(CADODataBase& db, const std::string& branch, std::vector<StockRepeatCount>& counts,
                        std::string& error) {
  CADORecordset rs(&db);
  if (!rs.Open(BranchSearchStatement(false), {branch})) {
    error = rs.GetLastErrorText();
    return false;
  }
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string name, code;
    rs.GetFieldValue("StockName", name);
    rs.GetFieldValue("StockCode", code);
    CountStockOfBranch(counts, name, code);
  }
  return true;
}

std::string Percentage(int repeats, int stocks) {
  if (stocks == 0) return "0.00";
  char text[32];
  std::snprintf(text, sizeof text, "%0.2f", static_cast<double>(repeats) / stocks);
  return text;
}

bool Write(CADODataBase& db, const std::vector<RepeatBuySavedRow>& saved) {
  if (saved.empty()) return true;
  if (!db.BeginTrans()) return false;
  for (const RepeatBuySavedRow& row : saved) {
    if (!db.Execute("DELETE FROM Buy2Times WHERE YYBName = ?", {row.branch}) ||
        !db.Execute("INSERT INTO Buy2Times (YYBName, ShangBangCiShu_Buy, Above2_Buy, Percentage) VALUES (?, ?, ?, ?)",
                    {row.branch, row.stocks, row.repeats, row.percentage})) {
      db.RollbackTrans();
      return false;
    }
  }
  if (db.CommitTrans()) return true;
  db.RollbackTrans();
  return false;
}

}  // namespace

double ReferenceRepeatBuyRun::EstimatedSeconds() const {
  const double scale = examinedBranches == 0 ? 1.0 : static_cast<double>(qualifyingBranches) / examinedBranches;
  return walkSeconds + writeSeconds + branchSeconds * scale;
}

ReferenceRepeatBuyRun ReferenceRepeatBuyStats(CADODataBase& db, const std::string& today, int days,
                                              const ReferenceRepeatBuyOptions& options) {
  ReferenceRepeatBuyRun run;
  RepeatBuyStatsResult& result = run.result;
  TradingDayWalk& walk = result.walk;

  // The walk, one calendar day per step.
  const auto walkStart = Clock::now();
  const std::optional<std::int64_t> start = DayNumberOf(today);
  if (days <= 0) {
    walk.complete = true;
  } else if (start) {
    int offset = 0;
    while (true) {
      const LocalTime civil = CivilFromDays(*start - offset);
      if (civil.dayOfWeek == 0 || civil.dayOfWeek == 6) {
        ++offset;
        continue;
      }
      const std::string day = DayText(civil.year, civil.month, civil.day);
      ++offset;
      if (!TestAndLoadDay(db, day, run.totals)) {
        if (offset >= kDayWalkBound) break;
        continue;
      }
      walk.days.push_back(day);
      if (static_cast<int>(walk.days.size()) == days) {
        walk.complete = true;
        break;
      }
    }
    walk.daysFound = static_cast<int>(walk.days.size());
    walk.dayOffset = offset;
  }
  if (!walk.complete) {
    run.totals.clear();
    run.walkSeconds = SecondsSince(walkStart);
    return run;
  }
  std::stable_sort(run.totals.begin(), run.totals.end(),
                   [](const CBranchTotalsRow& a, const CBranchTotalsRow& b) { return a.nCount > b.nCount; });
  run.walkSeconds = SecondsSince(walkStart);

  std::vector<std::string> branches;
  for (const CBranchTotalsRow& row : run.totals) {
    if (row.YYBName == kInstitutionSeatName) continue;
    if (row.nCount < 2) break;
    branches.push_back(row.YYBName);
  }
  run.qualifyingBranches = static_cast<int>(branches.size());
  if (options.sampleBranches > 0 && static_cast<int>(branches.size()) > options.sampleBranches) {
    branches.resize(options.sampleBranches);
  }
  run.examinedBranches = static_cast<int>(branches.size());

  const auto branchStart = Clock::now();
  int number = 0;
  for (const std::string& branch : branches) {
    std::vector<StockRepeatCount> counts;
    std::string error;
    const bool ok = options.indexed ? QueryStocksOfBranch(db, branch, counts, &error)
                                    : ScanStocksOfBranch(db, branch, counts, error);
    if (!ok) {
      run.branchSeconds = SecondsSince(branchStart);
      run.totals.clear();
      result.rows.clear();
      result.trace.clear();
      result.saved.clear();
      result.queryFailed = true;
      result.error = error;
      return run;
    }
    std::stable_sort(counts.begin(), counts.end(),
                     [](const StockRepeatCount& a, const StockRepeatCount& b) { return a.nCount > b.nCount; });
    int repeats = 0;
    for (const StockRepeatCount& stock : counts) {
      if (stock.nCount < 2) break;
      ++repeats;
      if (stock.nCount > 6) {
        RepeatBuyListRow row{++number, branch, stock.StockName, stock.StockCode, stock.nCount};
        result.trace += FormatGbkBytes("序号=%-04d,  %-50s,  %-10s,  %-10s,  %4d  \n", row.number, row.branch,
                                       row.stockName, row.stockCode, row.count);
        result.rows.push_back(std::move(row));
      }
    }
    const int stocks = static_cast<int>(counts.size());
    result.saved.push_back({branch, stocks, repeats, Percentage(repeats, stocks)});
  }
  run.branchSeconds = SecondsSince(branchStart);

  if (options.write) {
    const auto writeStart = Clock::now();
    if (!Write(db, result.saved)) {
      result.writeFailed = true;
      result.error = db.GetLastErrorText();
      result.trace += "g_ADODatabase.Execute(strSQL); Error \n";
    }
    run.writeSeconds = SecondsSince(writeStart);
  }
  return run;
}
