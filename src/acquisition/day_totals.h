#pragma once
// The money totals of one list day: what all listed seats bought and sold, what the
// institutional seats ("机构专用") did, and what the others (hot money, "YouZi") did,
// stored as the day's one TotalBuySell row. Everything a computation needs lives in
// the call that makes it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "storage/row_records.h"

class CADODataBase;

// Results of WriteDayTotals.
inline constexpr int kDayTotalsWritten = 0;
inline constexpr int kDayTotalsNotOpen = -1;
inline constexpr int kDayTotalsWriteFailed = -2;

// The colour of the line that reports a failed write (red, 0x00BBGGRR).
inline constexpr COLORREF kDayTotalsErrorColour = 0x0000FF;

// One group of the totals.
struct CDayTotalsGroup {
  std::int32_t nCount = 0;  // stocks for Today, seat listings for YouZi and JiGou
  double TotalBuy = 0;
  double TotalSell = 0;
  double TotalNet = 0;  // sum of (buy - sell) per branch
  double Total = 0;     // sum of (buy + sell) per branch

  bool operator==(const CDayTotalsGroup&) const = default;
};

struct CDayTotals {
  CDayTotalsGroup Today;
  CDayTotalsGroup YouZi;
  CDayTotalsGroup JiGou;

  bool operator==(const CDayTotals&) const = default;
};

// The branches seen on one day, one row per distinct name, and the day's stock count.
struct DayBranches {
  std::vector<CBranchTotalsRow> m_vecDayBranches;
  int m_nDayStockCount = 0;
};

// Reads the day's StockInfo rows (in stored order) and adds every named seat of every
// row through AddBranchListing; an empty seat adds nothing, but its stock is counted.
// nullopt when the rows cannot be read (nothing is known of the day then).
std::optional<DayBranches> CollectDayBranches(CADODataBase& db, const std::string& day);

// Sums the branches: Today over all of them, JiGou from the "机构专用" row, YouZi as
// Today - JiGou value by value; then the Today count becomes the stock count.
CDayTotals ComputeDayTotals(const DayBranches& branches);

// Replaces the day's TotalBuySell row by `totals` in one transaction; on failure the
// previous row stays. kDayTotalsWritten, kDayTotalsNotOpen or kDayTotalsWriteFailed.
int WriteDayTotals(CADODataBase& db, const CDayTotals& totals, const std::string& day);

// "%s，当日统计数据写入错误!" for the day.
std::string DayTotalsWriteErrorLine(const std::string& day);

// What one recomputation of a day came to.
struct DayTotalsOutcome {
  enum class Status {
    Written,     // the row holds the new totals
    Unreadable,  // the day's rows could not be read; nothing was written
    NotOpen,     // the market connection is not open; nothing was written
    WriteFailed  // the write failed and was rolled back; the previous row stays
  };
  Status status = Status::Written;
  int writeResult = kDayTotalsWritten;  // WriteDayTotals' result; 0 when it was not called
  CDayTotals totals;                    // what was (to be) written; zero when unreadable
  // The line for the caller to add (in errorLineColour) when the totals could not be
  // written (NotOpen, WriteFailed); empty otherwise.
  std::string errorLine;
  COLORREF errorLineColour = kDayTotalsErrorColour;
};

// Collects, computes and writes the day's totals.
DayTotalsOutcome RecomputeDayTotals(CADODataBase& db, const std::string& day);
