#pragma once
// The repeat-buy statistics of the branch ranking ("游资买入一只股票2次以上的比率"):
// for every branch that was a buy seat at least twice in the last N trading days,
// how many distinct stocks it ever stood on (any of the ten seats, every day in the
// database) and how many of those it stood on twice or more. One row per branch is
// kept in Buy2Times; the stocks a branch stood on seven times or more are listed
// and traced.

#include <string>
#include <vector>

#include "analysis/trading_day_walk.h"
#include "storage/row_records.h"  // kInstitutionSeatName, the seat never examined

class CADODataBase;
class BranchFold;

// The trading days whose buyers choose the branches examined.
inline constexpr int kRepeatBuyDays = 60;
// A stock counted this often or more becomes a list row.
inline constexpr int kRepeatBuyListCount = 7;

// One list row: number (from 1 over the run), branch, stock name, code, count.
struct RepeatBuyListRow {
  int number = 0;
  std::string branch, stockName, stockCode;
  int count = 0;

  friend bool operator==(const RepeatBuyListRow&, const RepeatBuyListRow&) = default;
};

// One Buy2Times row as written.
struct RepeatBuySavedRow {
  std::string branch;
  int stocks = 0;           // ShangBangCiShu_Buy
  int repeats = 0;          // Above2_Buy
  std::string percentage;   // Percentage, "%0.2f" of repeats / stocks ("0.00" for no stock)

  friend bool operator==(const RepeatBuySavedRow&, const RepeatBuySavedRow&) = default;
};

struct RepeatBuyStatsResult {
  TradingDayWalk walk;                   // the N-day walk; !walk.complete: nothing else was done
  std::vector<RepeatBuyListRow> rows;    // stocks counted kRepeatBuyListCount times or more
  std::string trace;                     // the trace lines as GBK bytes, as appended to TraceFile.txt
  std::vector<RepeatBuySavedRow> saved;  // one per examined branch, in the order examined
  bool queryFailed = false;              // "数据库查询失败!" was shown, nothing written
  bool writeFailed = false;              // "数据库写入失败!" was shown, the old rows kept
  std::string error;                     // the database's text for either failure
};

// The message of a Buy2Times write that failed (caption "系统提示").
inline constexpr const char* kRepeatBuyWriteFailedText = "数据库写入失败!";
// The trace line of a failed write.
inline constexpr const char* kRepeatBuyWriteFailedTrace = "g_ADODatabase.Execute(strSQL); Error \n";

// The trace line of one list row: "序号=%-04d,  %-50s,  %-10s,  %-10s,  %4d  \n" with
// GBK byte widths, as GBK bytes.
std::string FormatRepeatBuyTraceLine(const RepeatBuyListRow& row);
// "%0.2f" of repeats / stocks; "0.00" when stocks is 0.
std::string FormatRepeatBuyPercentage(int repeats, int stocks);

// Writes `saved` into Buy2Times of `db` in one transaction: per branch the old row is
// deleted and the new one inserted. On a failure everything is rolled back, the
// failure line is traced, "数据库写入失败!" shown and false returned (`error`, when
// given, gets the database's text).
bool WriteRepeatBuyRows(CADODataBase& db, const std::vector<RepeatBuySavedRow>& saved,
                        std::string* error = nullptr);

// The whole run in one step: the walk over `days` trading days from `today`
// (DayDataTest::Buy1); the buy seats (Buy1..Buy5) of the days found are folded into
// `totals` (cleared first; newest day first, rowid order within a day), which is then
// sorted by times listed. Each row in that order up to the first listed fewer than
// twice (the institutions' seat passed over) is examined: its per-stock counts over
// every day, the list rows and their trace lines (appended to TraceFile.txt), and its
// Buy2Times row. An incomplete walk does nothing more (totals stay cleared). A
// failed read shows "数据库查询失败!" and writes nothing. The table is read, and the
// branches counted, in `parts` parts side by side (0: SideBySideParts()).
RepeatBuyStatsResult RunRepeatBuyStats(CADODataBase& market, const std::string& today, int days, BranchFold& totals,
                                       unsigned parts = 0);
