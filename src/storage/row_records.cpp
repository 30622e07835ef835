#include "storage/row_records.h"

#include <algorithm>
#include <numeric>

void AddBranchListing(std::vector<CBranchTotalsRow>& rows, const std::string& branch,
                      const std::string& stockCode, const std::string& stockName, double buy, double sell) {
  const double traded = buy + sell;
  const bool large = traded >= kLargeTradeThreshold;

  auto it = std::find_if(rows.begin(), rows.end(),
                         [&](const CBranchTotalsRow& row) { return row.YYBName == branch; });
  if (it == rows.end()) {
    CBranchTotalsRow row;
    row.YYBName = branch;
    row.nCount = 1;
    row.TotalBuy = buy;
    row.TotalSell = sell;
    row.TotalBuySell = traded;
    row.NetBuy = buy - sell;
    row.LargeTradeSum = large ? traded : 0.0;
    row.LargeTradeCount = 1;
    row.AverageFunds = row.LargeTradeSum / row.LargeTradeCount;
    row.StockNames.push_back(stockName);
    row.LastBuy = buy;
    row.LastSell = sell;
    row.LastStockCode = stockCode;
    rows.push_back(std::move(row));
    return;
  }

  if (it->LastBuy == buy && it->LastSell == sell && it->LastStockCode == stockCode) return;

  CBranchTotalsRow row = std::move(*it);
  rows.erase(it);

  row.nCount += 1;
  row.TotalBuy += buy;
  row.TotalSell += sell;
  row.TotalBuySell = row.TotalBuy + row.TotalSell;
  row.NetBuy = row.TotalBuy - row.TotalSell;
  if (large) {
    // Every large listing adds at least the threshold to the sum, so a zero sum means
    // the count so far is only the floor of 1, not a counted listing.
    const std::int32_t counted = row.LargeTradeSum > 0 ? row.LargeTradeCount : 0;
    row.LargeTradeSum += traded;
    row.LargeTradeCount = counted + 1;
  }
  row.LargeTradeCount = std::max(row.LargeTradeCount, 1);
  row.AverageFunds = row.LargeTradeSum / row.LargeTradeCount;
  if (row.StockNames.empty() || row.StockNames.back() != stockName) row.StockNames.push_back(stockName);
  row.LastBuy = buy;
  row.LastSell = sell;
  row.LastStockCode = stockCode;
  rows.push_back(std::move(row));
}

CStockDayRow MakeStockDayRow(const std::string& stockName, const std::string& stockCode, float zhangFu,
                             const std::string& reason, const SeatAmounts& buyAmounts,
                             const SeatAmounts& sellAmounts, const BuySeatNames& buyNames) {
  CStockDayRow row;
  row.StockName = stockName;
  row.StockCode = stockCode;
  row.nCount = 1;
  row.TotalBuy = std::accumulate(buyAmounts.begin(), buyAmounts.end(), 0.0);
  row.TotalSell = std::accumulate(sellAmounts.begin(), sellAmounts.end(), 0.0);
  row.TotalBuySell = row.TotalBuy + row.TotalSell;
  row.NetBuy = row.TotalBuy - row.TotalSell;
  row.ZhangFu = zhangFu;
  row.InstitutionSeats = static_cast<std::int32_t>(
      std::count(buyNames.begin(), buyNames.end(), std::string(kInstitutionSeatName)));
  row.SB_Reason = reason;
  return row;
}
