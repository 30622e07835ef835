#include "analysis/stock_repeat_counts.h"

#include <algorithm>

#include "analysis/tracker_searches.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"

std::vector<StockRepeatCount> g_StockRepeatCounts;

void CountStockOfBranch(std::vector<StockRepeatCount>& counts, const std::string& stockName,
                        const std::string& stockCode) {
  const auto found = std::find_if(counts.begin(), counts.end(),
                                  [&](const StockRepeatCount& c) { return c.StockCode == stockCode; });
  if (found == counts.end()) {
    counts.push_back({stockCode, stockName, 1});
    return;
  }
  StockRepeatCount moved = std::move(*found);
  ++moved.nCount;
  counts.erase(found);
  counts.push_back(std::move(moved));
}

bool QueryStocksOfBranch(CADODataBase& db, const std::string& branch, std::vector<StockRepeatCount>& counts,
                         std::string* error) {
  // The branch searches' statement: the ten seat names against one bound name,
  // answered through the seat-name indexes.
  CADORecordset rs(&db);
  if (!rs.Open(BranchSearchStatement(), {branch})) {
    if (error != nullptr) *error = rs.GetLastErrorText();
    return false;
  }
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string name;
    std::string code;
    rs.GetFieldValue("StockName", name);
    rs.GetFieldValue("StockCode", code);
    CountStockOfBranch(counts, name, code);
  }
  return true;
}

bool QueryStocksOfBranch(const std::string& branch) {
  return QueryStocksOfBranch(g_ADODatabase, branch, g_StockRepeatCounts);
}

void SortStockRepeatCounts(std::vector<StockRepeatCount>& counts) {
  std::stable_sort(counts.begin(), counts.end(),
                   [](const StockRepeatCount& a, const StockRepeatCount& b) { return a.nCount > b.nCount; });
}

HotStockResult BuildHotStockRanking(CADODataBase& db, const std::string& team1Text) {
  HotStockResult result;
  if (GbkByteLength(team1Text) < kMinKeywordBytes) {
    MessageBox(kKeywordShortText, kTrackerCaption, MB_OK | MB_ICONWARNING);
    result.refused = true;
    return result;
  }
  g_StockRepeatCounts.clear();
  std::string error;
  if (!QueryStocksOfBranch(db, team1Text, g_StockRepeatCounts, &error)) {
    result.queryFailed = true;
    ShowQueryFailed(error);
    return result;
  }
  SortStockRepeatCounts(g_StockRepeatCounts);
  for (std::size_t i = 0; i < g_StockRepeatCounts.size(); ++i) {
    const StockRepeatCount& stock = g_StockRepeatCounts[i];
    if (stock.nCount < 2) break;
    StockDayRow row;
    row[0].text = std::to_string(i + 1);
    row[1].text = team1Text;
    row[2].text = stock.StockName;
    row[3].text = stock.StockCode;
    row[5].text = std::to_string(stock.nCount);
    result.rows.push_back(std::move(row));
  }
  return result;
}
