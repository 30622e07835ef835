#include "analysis/branch_fold.h"

#include <algorithm>
#include <numeric>

BranchFold g_BranchTotals;
int g_nDaysFound = 0;
int g_nDayOffset = 0;

namespace {

double SortKey(const CBranchTotalsRow& row, int mode) {
  switch (mode) {
    case kBranchSortByTotalBuy: return row.TotalBuy;
    case kBranchSortByTotalSell: return row.TotalSell;
    case kBranchSortByNet: return row.NetBuy;
    case kBranchSortByBuySell: return row.TotalBuySell;
    case kBranchSortByTimes: return row.nCount;
    case kBranchSortByAverageFunds: return row.AverageFunds;
    default: return 0;
  }
}

}  // namespace

void BranchFold::Clear() {
  rows_.clear();
  stamps_.clear();
  index_.Clear();
  settled_ = true;
  nextStamp_ = 0;
}

void BranchFold::AddSeat(std::string_view branch, std::string_view stockName, std::string_view stockCode, double buy,
                         double sell) {
  std::uint32_t row = kUnknownRow;
  AddSeat(row, branch, stockName, stockCode, buy, sell);
}

void BranchFold::AddSeat(std::uint32_t& known, std::string_view branch, std::string_view stockName,
                         std::string_view stockCode, double buy, double sell) {
  (void)stockCode;  // the same pair on another stock is still the same seat here
  if (branch.empty()) return;
  const double both = buy + sell;
  bool added = false;
  if (known == kUnknownRow) {
    const auto found = index_.Emplace(branch, static_cast<std::uint32_t>(rows_.size()));
    known = *found.first;
    added = found.second;
  }
  if (added) {
    CBranchTotalsRow& row = rows_.emplace_back();
    row.YYBName = branch;
    row.nCount = 1;
    row.TotalBuy = buy;
    row.TotalSell = sell;
    row.LastBuy = buy;
    row.LastSell = sell;
    if (both >= kBigListingAmount) {
      row.LargeTradeSum = both;
      row.LargeTradeCount = 1;
    }
    row.AverageFunds = row.LargeTradeSum / (row.LargeTradeCount == 0 ? 1 : row.LargeTradeCount);
    row.TotalBuySell = buy + sell;
    row.NetBuy = buy - sell;
    row.StockNames.emplace_back(stockName);
    stamps_.push_back(nextStamp_++);
    return;
  }
  CBranchTotalsRow& row = rows_[known];
  if (row.LastBuy == buy && row.LastSell == sell) return;
  row.TotalBuy += buy;
  row.TotalSell += sell;
  row.LastBuy = buy;
  row.LastSell = sell;
  if (both >= kBigListingAmount) {
    row.LargeTradeSum += both;
    row.LargeTradeCount += 1;
  }
  row.AverageFunds = row.LargeTradeSum / (row.LargeTradeCount == 0 ? 1 : row.LargeTradeCount);
  row.TotalBuySell = row.TotalBuy + row.TotalSell;
  row.NetBuy = row.TotalBuy - row.TotalSell;
  row.nCount += 1;
  if (row.StockNames.empty() || row.StockNames.back() != stockName) row.StockNames.emplace_back(stockName);
  // Moving the row to the end: only the last stamp needs to be the largest.
  if (stamps_[known] + 1 != nextStamp_) settled_ = false;
  stamps_[known] = nextStamp_++;
}

void BranchFold::Settle() const {
  if (settled_) return;
  std::vector<std::size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) { return stamps_[a] < stamps_[b]; });
  std::vector<CBranchTotalsRow> sorted;
  sorted.reserve(rows_.size());
  for (std::size_t i : order) sorted.push_back(std::move(rows_[i]));
  rows_ = std::move(sorted);
  std::vector<std::uint64_t> stamps;
  stamps.reserve(order.size());
  for (std::size_t i : order) stamps.push_back(stamps_[i]);
  stamps_ = std::move(stamps);
  for (std::size_t i = 0; i < rows_.size(); ++i) *index_.Find(rows_[i].YYBName) = static_cast<std::uint32_t>(i);
  settled_ = true;
}

const std::vector<CBranchTotalsRow>& BranchFold::Rows() const {
  Settle();
  return rows_;
}

const CBranchTotalsRow* BranchFold::Find(const std::string& branch) const {
  const std::uint32_t* found = index_.Find(branch);
  return found == nullptr ? nullptr : &rows_[*found];
}

void BranchFold::SortBranches(int mode) {
  if (mode < kBranchSortByTotalBuy || mode > kBranchSortByAverageFunds) return;
  Settle();
  std::stable_sort(rows_.begin(), rows_.end(), [mode](const CBranchTotalsRow& a, const CBranchTotalsRow& b) {
    return SortKey(a, mode) > SortKey(b, mode);
  });
  // The sorted order is the new order of last update.
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    stamps_[i] = i;
    *index_.Find(rows_[i].YYBName) = static_cast<std::uint32_t>(i);
  }
  nextStamp_ = rows_.size();
}
