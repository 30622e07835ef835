#include "reference_walk_sustained_buy.h"

#include <algorithm>
#include <cmath>

#include "analysis/branch_ranking.h"
#include "records/branch_marks.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"

namespace {

const char* const kSeats[10] = {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"};

struct Seats {
  std::string date, stockName, code;
  std::string name[10];
  double buy[10] = {}, sell[10] = {};
};

Seats ReadSeats(CADORecordset& rs) {
  Seats row;
  rs.GetFieldValue("SB_Date", row.date);
  rs.GetFieldValue("StockName", row.stockName);
  rs.GetFieldValue("StockCode", row.code);
  for (int s = 0; s < 10; ++s) {
    const std::string prefix = kSeats[s];
    rs.GetFieldValue(prefix + "_YYB_Name", row.name[s]);
    rs.GetFieldValue(prefix + "_YYB_BuyAmount", row.buy[s]);
    rs.GetFieldValue(prefix + "_YYB_SellAmount", row.sell[s]);
  }
  return row;
}

void AddSeatToTotals(std::vector<CBranchTotalsRow>& totals, const std::string& branch, const std::string& stockName,
                     double buy, double sell, int side) {
  if (branch.empty()) return;
  for (CBranchTotalsRow& row : totals) {
    if (row.YYBName != branch) continue;
    row.TotalBuy += buy;
    row.TotalSell += sell;
    row.TotalBuySell = row.TotalBuy + row.TotalSell;
    row.NetBuy = row.TotalBuy - row.TotalSell;
    if (side == 1 && buy > 10) {
      row.BuyTimes += 1;
    } else if (side == 2 && sell > 10) {
      row.SellTimes += 1;
    }
    row.nCount += 1;
    if (row.StockNames.empty() || row.StockNames.back() != stockName) row.StockNames.push_back(stockName);
    return;
  }
  CBranchTotalsRow row;
  row.YYBName = branch;
  row.TotalBuy = buy;
  row.TotalSell = sell;
  row.TotalBuySell = buy + sell;
  row.NetBuy = buy - sell;
  row.BuyTimes = side == 1 && buy > 10 ? 1 : 0;
  row.SellTimes = side == 2 && sell > 10 ? 1 : 0;
  row.nCount = 1;
  row.StockNames = {stockName};
  totals.push_back(std::move(row));
}

// The stock's newest k listings folded per branch, then sorted by buying seats. The
// newest listing's date goes to `newestDate` ("" when there is none).
bool FoldNewest(CADODataBase& db, int k, const std::string& code, std::vector<CBranchTotalsRow>& totals,
                std::string& newestDate, std::string& error) {
  totals.clear();
  newestDate.clear();
  CADORecordset rs(&db);
  if (!rs.Open("SELECT * FROM StockInfo WHERE StockCode=? ORDER BY SB_Date DESC, rowid LIMIT ?", {code, k})) {
    error = db.GetLastErrorText();
    return false;
  }
  for (; !rs.IsEof(); rs.MoveNext()) {
    const Seats row = ReadSeats(rs);
    if (newestDate.empty()) newestDate = row.date;
    for (int s = 0; s < 10; ++s) {
      AddSeatToTotals(totals, row.name[s], row.stockName, row.buy[s], row.sell[s], s < 5 ? 1 : 2);
    }
  }
  std::stable_sort(totals.begin(), totals.end(),
                   [](const CBranchTotalsRow& a, const CBranchTotalsRow& b) { return a.BuyTimes > b.BuyTimes; });
  return true;
}

bool AddBranchListings(CADODataBase& db, CADODataBase& custom, int m, const std::string& branch,
                       const std::string& code, const std::string& today, SustainedBranchList& list) {
  std::string sql = "SELECT * FROM StockInfo WHERE StockCode=? AND (";
  std::vector<DbValue> params{code};
  for (int s = 0; s < 10; ++s) {
    sql += std::string(s ? " OR " : "") + kSeats[s] + "_YYB_Name=?";
    params.emplace_back(branch);
  }
  sql += ") ORDER BY SB_Date DESC, rowid";
  CADORecordset rs(&db);
  if (!rs.Open(sql, params)) {
    list.error = db.GetLastErrorText();
    return false;
  }
  for (int taken = 0; taken < m && !rs.IsEof(); ++taken, rs.MoveNext()) {
    const Seats row = ReadSeats(rs);
    double b1 = 0, s1 = 0, b2 = 0, s2 = 0;
    for (int s = 0; s < 5; ++s) {
      if (row.name[s] == branch) b1 = row.buy[s], s1 = row.sell[s];
      if (row.name[s + 5] == branch) b2 = row.buy[s + 5], s2 = row.sell[s + 5];
    }
    double buy, sell, net;
    if (b1 == b2 && s1 == s2) {
      buy = b1, sell = s1, net = b1 - s1;
    } else {
      buy = b1 + b2, sell = s1 + s2, net = (b1 - s1) + (b2 - s2);
    }
    SustainedBranchRow out;
    out.cells = {std::to_string(list.rows.size() + 1), row.date, row.stockName, row.code, branch,
                 TruncatedText(buy), TruncatedText(sell), TruncatedText(net), ""};
    if (!today.empty() && row.date == today) out.dateColour = kSustainedTodayColour;
    BranchMarks mark;
    mark.LoadName(branch, custom);
    out.branchColour = mark.Colour(branch);
    out.netColour = std::trunc(net) > 0.0000001 ? kSustainedNetBuyColour : kSustainedNetSellColour;
    list.rows.push_back(std::move(out));
  }
  return true;
}

}  // namespace

SustainedStockList ReferenceScanSustainedStocks(CADODataBase& db, std::vector<CStockDayRow>& stocks) {
  SortStocksByCount(stocks);
  SustainedStockList list;
  std::vector<CBranchTotalsRow> totals;
  for (const CStockDayRow& stock : stocks) {
    if (stock.nCount <= 1) continue;
    std::string date;
    if (!FoldNewest(db, stock.nCount, stock.StockCode, totals, date, list.error)) {
      list.rows.clear();
      list.queryFailed = true;
      return list;
    }
    for (const CBranchTotalsRow& branch : totals) {
      if (branch.BuyTimes <= 1) continue;
      const bool inList = std::any_of(list.rows.begin(), list.rows.end(), [&](const SustainedStockRow& row) {
        return row.cells[1] == date && row.cells[3] == stock.StockCode;
      });
      if (inList) continue;
      SustainedStockRow row;
      row.cells = {std::to_string(list.rows.size() + 1), date, stock.StockName, stock.StockCode,
                   std::to_string(branch.nCount)};
      list.rows.push_back(std::move(row));
    }
  }
  return list;
}

SustainedBranchList ReferenceFillSustainedBranchList(CADODataBase& db, CADODataBase& custom,
                                                     std::vector<CStockDayRow>& stocks,
                                                     const std::optional<std::string>& onlyCode,
                                                     const std::string& today) {
  SortStocksByCount(stocks);
  SustainedBranchList list;
  std::vector<CBranchTotalsRow> totals;
  for (const CStockDayRow& stock : stocks) {
    if (stock.nCount < 2) continue;
    if (onlyCode && stock.StockCode != *onlyCode) continue;
    std::string date;
    bool ok = FoldNewest(db, stock.nCount, stock.StockCode, totals, date, list.error);
    for (std::size_t i = 0; ok && i < totals.size(); ++i) {
      if (totals[i].BuyTimes <= 1) continue;
      ok = AddBranchListings(db, custom, totals[i].BuyTimes, totals[i].YYBName, stock.StockCode, today, list);
    }
    if (!ok) {
      list.rows.clear();
      list.queryFailed = true;
      return list;
    }
  }
  return list;
}
