#include "acquisition/day_totals.h"

#include <array>

#include "acquisition/stock_info_writer.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"

namespace {

constexpr int kFigureDecimals = 6;

struct SeatColumns {
  std::string name;
  std::string buy;
  std::string sell;
};

// Buy1 .. Buy5, then Sell1 .. Sell5: the order in which seats are added.
const std::array<SeatColumns, 10>& Seats() {
  static const std::array<SeatColumns, 10> seats = [] {
    std::array<SeatColumns, 10> all;
    std::size_t i = 0;
    for (const char* side : {"Buy", "Sell"}) {
      for (int n = 1; n <= 5; ++n, ++i) {
        const std::string prefix = std::string(side) + std::to_string(n) + "_YYB_";
        all[i] = {prefix + "Name", prefix + "BuyAmount", prefix + "SellAmount"};
      }
    }
    return all;
  }();
  return seats;
}

const std::string& DayRowsQuery() {
  static const std::string sql = [] {
    std::string text = "SELECT StockName, StockCode";
    for (const SeatColumns& seat : Seats()) text += ", " + seat.name + ", " + seat.buy + ", " + seat.sell;
    return text + " FROM StockInfo WHERE SB_Date=? ORDER BY rowid";
  }();
  return sql;
}

void Add(CDayTotalsGroup& group, const CBranchTotalsRow& row) {
  group.nCount += row.nCount;
  group.TotalBuy += row.TotalBuy;
  group.TotalSell += row.TotalSell;
  group.TotalNet += row.NetBuy;
  group.Total += row.TotalBuySell;
}

CDayTotalsGroup Minus(const CDayTotalsGroup& a, const CDayTotalsGroup& b) {
  return {a.nCount - b.nCount, a.TotalBuy - b.TotalBuy, a.TotalSell - b.TotalSell, a.TotalNet - b.TotalNet,
          a.Total - b.Total};
}

void AppendGroup(std::vector<DbValue>& params, const CDayTotalsGroup& group) {
  params.emplace_back(group.nCount);
  for (double value : {group.TotalBuy, group.TotalSell, group.TotalNet, group.Total}) {
    params.emplace_back(RoundAsFormatted(value, kFigureDecimals));
  }
}

}  // namespace

std::optional<DayBranches> CollectDayBranches(CADODataBase& db, const std::string& day) {
  CADORecordset rows(&db);
  if (!rows.Open(DayRowsQuery(), {day})) return std::nullopt;

  DayBranches collected;
  for (; !rows.IsEof(); rows.MoveNext()) {
    std::string stockName;
    std::string stockCode;
    if (!rows.GetFieldValue("StockName", stockName) || !rows.GetFieldValue("StockCode", stockCode)) {
      return std::nullopt;
    }
    for (const SeatColumns& seat : Seats()) {
      std::string branch;
      double buy = 0;
      double sell = 0;
      if (!rows.GetFieldValue(seat.name, branch) || !rows.GetFieldValue(seat.buy, buy) ||
          !rows.GetFieldValue(seat.sell, sell)) {
        return std::nullopt;
      }
      if (branch.empty()) continue;
      AddBranchListing(collected.m_vecDayBranches, branch, stockCode, stockName, buy, sell);
    }
    ++collected.m_nDayStockCount;
  }
  return collected;
}

CDayTotals ComputeDayTotals(const DayBranches& branches) {
  CDayTotals totals;
  for (const CBranchTotalsRow& row : branches.m_vecDayBranches) {
    Add(totals.Today, row);
    if (row.YYBName == kInstitutionSeatName) {
      totals.JiGou = {};
      Add(totals.JiGou, row);
    }
  }
  totals.YouZi = Minus(totals.Today, totals.JiGou);
  totals.Today.nCount = branches.m_nDayStockCount;
  return totals;
}

int WriteDayTotals(CADODataBase& db, const CDayTotals& totals, const std::string& day) {
  if (!db.IsOpen()) return kDayTotalsNotOpen;

  std::vector<DbValue> params{day};
  params.reserve(16);
  for (const CDayTotalsGroup* group : {&totals.Today, &totals.YouZi, &totals.JiGou}) AppendGroup(params, *group);

  CADOTransaction transaction(db);
  if (!transaction.IsActive()) return kDayTotalsWriteFailed;
  if (!db.Execute("DELETE FROM TotalBuySell WHERE SB_Date=?", {day})) return kDayTotalsWriteFailed;
  if (!db.Execute("INSERT INTO TotalBuySell (SB_Date, Today_ShangBang, Today_TotalBuy, Today_TotalSell, "
                  "Today_TotalNet, Today_Total, YouZi_ShangBang, YouZi_TotalBuy, YouZi_TotalSell, "
                  "YouZi_TotalNet, YouZi_Total, JiGou_ShangBang, JiGou_TotalBuy, JiGou_TotalSell, "
                  "JiGou_TotalNet, JiGou_Total) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                  params)) {
    return kDayTotalsWriteFailed;
  }
  return transaction.Commit() ? kDayTotalsWritten : kDayTotalsWriteFailed;
}

std::string DayTotalsWriteErrorLine(const std::string& day) { return day + "，当日统计数据写入错误!"; }

DayTotalsOutcome RecomputeDayTotals(CADODataBase& db, const std::string& day) {
  DayTotalsOutcome outcome;
  if (!db.IsOpen()) {
    outcome.status = DayTotalsOutcome::Status::NotOpen;
    outcome.writeResult = kDayTotalsNotOpen;
    outcome.errorLine = DayTotalsWriteErrorLine(day);
    return outcome;
  }
  const std::optional<DayBranches> branches = CollectDayBranches(db, day);
  if (!branches) {
    outcome.status = DayTotalsOutcome::Status::Unreadable;
    return outcome;
  }
  outcome.totals = ComputeDayTotals(*branches);
  outcome.writeResult = WriteDayTotals(db, outcome.totals, day);
  if (outcome.writeResult == kDayTotalsWritten) return outcome;
  outcome.status = outcome.writeResult == kDayTotalsNotOpen ? DayTotalsOutcome::Status::NotOpen
                                                            : DayTotalsOutcome::Status::WriteFailed;
  outcome.errorLine = DayTotalsWriteErrorLine(day);
  return outcome;
}
