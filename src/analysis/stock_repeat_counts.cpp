#include "analysis/stock_repeat_counts.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "analysis/tracker_searches.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/row_cursor.h"
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

namespace {

// The counts keyed by code, each with the sequence number of its last count: listed
// by that number they stand as CountStockOfBranch's take-out-and-append leaves them,
// without moving the list for every row.
class StockCounter {
 public:
  // Starts from `counts` in their order; false when a code repeats in them (only the
  // list itself then says which element a count takes).
  bool Start(const std::vector<StockRepeatCount>& counts) {
    for (const StockRepeatCount& count : counts) {
      if (!index_.emplace(count.StockCode, stocks_.size()).second) return false;
      stocks_.push_back({count, next_++});
    }
    return true;
  }
  void Count(std::string_view name, std::string_view code) {
    key_.assign(code);
    const auto found = index_.find(key_);
    if (found == index_.end()) {
      index_.emplace(key_, stocks_.size());
      stocks_.push_back({{key_, std::string(name), 1}, next_++});
      return;
    }
    Stock& stock = stocks_[found->second];
    ++stock.count.nCount;
    stock.touched = next_++;
  }
  std::vector<StockRepeatCount> TakeInOrder() {
    std::sort(stocks_.begin(), stocks_.end(), [](const Stock& a, const Stock& b) { return a.touched < b.touched; });
    std::vector<StockRepeatCount> counts;
    counts.reserve(stocks_.size());
    for (Stock& stock : stocks_) counts.push_back(std::move(stock.count));
    return counts;
  }

 private:
  struct Stock {
    StockRepeatCount count;
    std::uint64_t touched = 0;
  };
  std::vector<Stock> stocks_;
  std::unordered_map<std::string, std::size_t> index_;
  std::uint64_t next_ = 0;
  std::string key_;
};

}  // namespace

bool QueryStocksOfBranch(CADODataBase& db, const std::string& branch, std::vector<StockRepeatCount>& counts,
                         std::string* error) {
  // The branch searches' rows, only the two columns counted.
  RowCursor cursor(db, BranchSearchStatementOf("StockName, StockCode"), {branch});
  StockCounter counter;
  const bool distinct = counter.Start(counts);
  // Only a list with a repeated code is counted in a copy of itself, as the list.
  std::vector<StockRepeatCount> plain;
  if (!distinct) plain = counts;
  while (cursor.Next()) {
    if (distinct) {
      counter.Count(cursor.Text(0), cursor.Text(1));
    } else {
      CountStockOfBranch(plain, std::string(cursor.Text(0)), std::string(cursor.Text(1)));
    }
  }
  if (cursor.Failed()) {
    if (error != nullptr) *error = cursor.ErrorText();
    return false;
  }
  counts = distinct ? counter.TakeInOrder() : std::move(plain);
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
