#include "reference_walk_fold.h"

void ReferenceAddSeat(std::vector<CBranchTotalsRow>& totals, const std::string& branch, const std::string& stockName,
                      double buy, double sell) {
  if (branch.empty()) return;
  for (auto it = totals.begin(); it != totals.end(); ++it) {
    if (it->YYBName != branch) continue;
    if (it->LastBuy == buy && it->LastSell == sell) return;
    CBranchTotalsRow row = *it;
    totals.erase(it);
    row.TotalBuy += buy;
    row.TotalSell += sell;
    row.LastBuy = buy;
    row.LastSell = sell;
    if (buy + sell >= 200) {
      row.LargeTradeSum += buy + sell;
      row.LargeTradeCount += 1;
    }
    row.AverageFunds = row.LargeTradeSum / (row.LargeTradeCount == 0 ? 1 : row.LargeTradeCount);
    row.TotalBuySell = row.TotalBuy + row.TotalSell;
    row.NetBuy = row.TotalBuy - row.TotalSell;
    row.nCount += 1;
    if (row.StockNames.back() != stockName) row.StockNames.push_back(stockName);
    totals.push_back(std::move(row));
    return;
  }
  CBranchTotalsRow row;
  row.YYBName = branch;
  row.nCount = 1;
  row.TotalBuy = buy;
  row.TotalSell = sell;
  row.LastBuy = buy;
  row.LastSell = sell;
  if (buy + sell >= 200) {
    row.LargeTradeSum = buy + sell;
    row.LargeTradeCount = 1;
  }
  row.AverageFunds = row.LargeTradeSum / (row.LargeTradeCount == 0 ? 1 : row.LargeTradeCount);
  row.TotalBuySell = buy + sell;
  row.NetBuy = buy - sell;
  row.StockNames.push_back(stockName);
  totals.push_back(std::move(row));
}
