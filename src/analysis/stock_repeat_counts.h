#pragma once
// How often one branch stood on each stock: the per-stock counts behind the
// tracker's hot-stock ranking ("炒作个股排行榜") and the repeat-buy statistics.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/stock_day_detail.h"

class CADODataBase;

// One stock in the count list of one branch.
struct StockRepeatCount {
  std::string StockCode;  // the key, compared exactly
  std::string StockName;
  std::int32_t nCount = 0;  // listings of the branch on the stock

  friend bool operator==(const StockRepeatCount&, const StockRepeatCount&) = default;
};

// The counts of the branch examined last, for the whole run.
extern std::vector<StockRepeatCount> g_StockRepeatCounts;

// One more listing of `code`: its element is taken out, its count raised and put at
// the end; a code not met yet is appended with count 1 (and this name).
void CountStockOfBranch(std::vector<StockRepeatCount>& counts, const std::string& stockName,
                        const std::string& stockCode);

// Counts every StockInfo row (all days) in which one of the ten seats' names equals
// `branch` exactly, a row once however many of its seats the branch holds, newest
// first (`ORDER BY SB_Date DESC, rowid`), into `counts` (not cleared here). False,
// with `counts` unchanged and `error` (when given) holding the recordset's error
// text, when the query fails.
bool QueryStocksOfBranch(CADODataBase& db, const std::string& branch, std::vector<StockRepeatCount>& counts,
                         std::string* error = nullptr);
// The same on g_ADODatabase into g_StockRepeatCounts.
bool QueryStocksOfBranch(const std::string& branch);

// Descending by count; equal counts keep their order.
void SortStockRepeatCounts(std::vector<StockRepeatCount>& counts);

// The seat list's titles while it shows the hot-stock ranking: its rows carry the
// stock name and code in columns 2 and 3, where the seats carry their buy and sell.
inline constexpr std::array<SeatListColumn, kStockDayColumnCount> kHotStockColumns = [] {
  std::array<SeatListColumn, kStockDayColumnCount> columns = kStockDayColumns;
  columns[2].title = "名称";
  columns[3].title = "代码";
  return columns;
}();

struct HotStockResult {
  std::vector<StockDayRow> rows;  // for the seat list, under kHotStockColumns
  bool refused = false;           // text too short (the message was shown)
  bool queryFailed = false;       // the query failed (the message was shown)
};

// The hot-stock ranking of the branch `team1Text` (the text of the team-1 edit):
// g_StockRepeatCounts is cleared and filled by QueryStocksOfBranch on `db`, sorted,
// and every stock counted twice or more gives a row: column 0 the number from 1,
// column 1 the branch text, column 2 the stock name, column 3 the code, column 5
// the count; the other columns empty. A text shorter than kMinKeywordBytes (4 GBK
// bytes) shows kKeywordShortText ("关键字长度小于 4 ！！！") and gives no rows; a failed
// query shows "数据库查询失败!" (ShowQueryFailed).
HotStockResult BuildHotStockRanking(CADODataBase& db, const std::string& team1Text);
