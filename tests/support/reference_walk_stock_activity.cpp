#include "reference_walk_stock_activity.h"

#include <algorithm>

#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"

namespace {

constexpr const char* kDayQuery = "SELECT * FROM StockInfo WHERE SB_Date=? ORDER BY rowid";
constexpr int kBound = 1000;

const char* const kSeats[10] = {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"};

void AddStockListing(std::vector<CStockDayRow>& rows, const std::string& name, const std::string& code, double buy,
                     double sell) {
  for (auto it = rows.begin(); it != rows.end(); ++it) {
    if (it->StockCode != code) continue;
    CStockDayRow row = *it;
    rows.erase(it);
    row.TotalBuy += buy;
    row.TotalSell += sell;
    row.TotalBuySell += buy + sell;
    row.NetBuy += buy - sell;
    row.nCount += 1;
    rows.push_back(std::move(row));
    return;
  }
  CStockDayRow row;
  row.StockName = name;
  row.StockCode = code;
  row.nCount = 1;
  row.TotalBuy = buy;
  row.TotalSell = sell;
  row.TotalBuySell = buy + sell;
  row.NetBuy = buy - sell;
  rows.push_back(std::move(row));
}

bool HasStockDayData(CADODataBase& db, const std::string& day) {
  CADORecordset rs(&db);
  if (!rs.Open(kDayQuery, {day}) || rs.IsEof()) return false;
  double buy1 = 0, sell1 = 0;
  rs.GetFieldValue("Buy1_YYB_BuyAmount", buy1);
  rs.GetFieldValue("Sell1_YYB_BuyAmount", sell1);
  return buy1 >= 1.0 || sell1 >= 1.0;
}

bool LoadDayStocks(CADODataBase& db, const std::string& day, std::vector<CStockDayRow>& rows, std::string& error) {
  CADORecordset rs(&db);
  if (!rs.Open(kDayQuery, {day})) {
    error = db.GetLastErrorText();
    return false;
  }
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string name, code;
    rs.GetFieldValue("StockName", name);
    rs.GetFieldValue("StockCode", code);
    double buyAmounts[10] = {}, sellAmounts[10] = {};
    for (int seat = 0; seat < 10; ++seat) {
      const std::string prefix = kSeats[seat];
      rs.GetFieldValue(prefix + "_YYB_BuyAmount", buyAmounts[seat]);
      rs.GetFieldValue(prefix + "_YYB_SellAmount", sellAmounts[seat]);
    }
    double buy = buyAmounts[0], sell = sellAmounts[0];
    for (int seat = 1; seat < 10; ++seat) {
      buy += buyAmounts[seat];
      sell += sellAmounts[seat];
    }
    AddStockListing(rows, name, code, buy, sell);
  }
  return true;
}

void SortBy(std::vector<CStockDayRow>& rows, bool byNet) {
  std::stable_sort(rows.begin(), rows.end(), [byNet](const CStockDayRow& a, const CStockDayRow& b) {
    return byNet ? a.NetBuy > b.NetBuy : a.nCount > b.nCount;
  });
}

}  // namespace

ReferenceStockRanking ReferenceRankStockActivity(CADODataBase& db, const std::string& today, int days) {
  ReferenceStockRanking out;
  const std::optional<std::int64_t> start = DayNumberOf(today);
  if (days > 0 && !start) {
    out.status = StockRankingStatus::NotEnoughDays;
    return out;
  }
  int offset = 0;
  while (out.daysFound < days) {
    const std::int64_t number = *start - offset;
    const LocalTime civil = CivilFromDays(number);
    const std::string day = DayText(civil.year, civil.month, civil.day);
    if (civil.dayOfWeek == 0 || civil.dayOfWeek == 6) {
      ++offset;
      continue;
    }
    if (!HasStockDayData(db, day)) {
      ++offset;
      if (offset >= kBound) {
        out.status = StockRankingStatus::NotEnoughDays;
        out.dayOffset = offset;
        out.rows.clear();
        return out;
      }
      continue;
    }
    ++offset;
    ++out.daysFound;
    out.days.push_back(day);
    if (!LoadDayStocks(db, day, out.rows, out.error)) {
      out.rows.clear();
      out.status = StockRankingStatus::QueryFailed;
      return out;
    }
  }
  out.dayOffset = offset;
  SortBy(out.rows, false);
  if (days == 1) SortBy(out.rows, true);
  return out;
}
