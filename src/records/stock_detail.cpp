#include "records/stock_detail.h"

#include <array>
#include <vector>

#include "platform/ascii.h"
#include "platform/gdi_types.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"

namespace {

const std::array<std::string, 5> kBuySeats = {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5"};
const std::array<std::string, 5> kSellSeats = {"Sell1", "Sell2", "Sell3", "Sell4", "Sell5"};

std::string BuildStockDetailColumns() {
  std::string list = "StockName, StockCode, SB_Reason, JinShou, ZhangFu, Amount";
  for (const auto* seats : {&kBuySeats, &kSellSeats}) {
    for (const std::string& seat : *seats) {
      list += ", " + seat + "_YYB_Name, " + seat + "_YYB_BuyAmount, " + seat + "_YYB_SellAmount";
    }
  }
  return list;
}

// The three column names of each seat, built once: a day's load reads them per row.
struct SeatColumns {
  std::string name, buyAmount, sellAmount;
};
const std::array<SeatColumns, 10>& SeatColumnNames() {
  static const std::array<SeatColumns, 10> names = [] {
    std::array<SeatColumns, 10> all;
    for (std::size_t i = 0; i < 10; ++i) {
      const std::string& seat = i < 5 ? kBuySeats[i] : kSellSeats[i - 5];
      all[i] = {seat + "_YYB_Name", seat + "_YYB_BuyAmount", seat + "_YYB_SellAmount"};
    }
    return all;
  }();
  return names;
}

}  // namespace

const std::string& StockDetailColumns() {
  static const std::string columns = BuildStockDetailColumns();
  return columns;
}

StockDetailReader::StockDetailReader(CADORecordset& rs) : rs_(rs) {
  // Column positions once per result: a day's load reads every row by them.
  std::vector<std::string> names = {"StockName", "StockCode", "SB_Reason", "JinShou", "ZhangFu", "Amount"};
  for (const SeatColumns& seat : SeatColumnNames()) {
    names.push_back(seat.name);
    names.push_back(seat.buyAmount);
    names.push_back(seat.sellAmount);
  }
  const int count = rs.GetFieldCount();
  for (std::size_t k = 0; k < names.size(); ++k) {
    for (int c = 0; c < count; ++c) {
      if (EqualsNoCase(rs.GetFieldName(c), names[k])) {
        columns_[k] = c;
        break;
      }
    }
  }
}

std::string StockDetailReader::Text(std::size_t k) {
  std::string value;
  if (columns_[k] < 0 || !rs_.GetFieldValue(columns_[k], value)) return {};
  return value;
}

template <class T>
T StockDetailReader::Number(std::size_t k) {
  T value{};
  if (columns_[k] < 0 || !rs_.GetFieldValue(columns_[k], value)) return T{};
  return value;
}

void StockDetailReader::Read(StockDetailRecord& record) {
  record.StockName = Text(0);
  record.StockCode = Text(1);
  record.SB_Reason = Text(2);
  record.JinShou = Number<float>(3);
  record.ZhangFu = Number<float>(4);
  record.Amount = Number<double>(5);
  for (std::size_t i = 0; i < 5; ++i) {
    const std::size_t buy = 6 + 3 * i;
    const std::size_t sell = 6 + 3 * (5 + i);
    record.BuyNames[i] = Text(buy);
    record.Buy[i].BuyAmount = Number<double>(buy + 1);
    record.Buy[i].SellAmount = Number<double>(buy + 2);
    record.SellNames[i] = Text(sell);
    record.Sell[i].BuyAmount = Number<double>(sell + 1);
    record.Sell[i].SellAmount = Number<double>(sell + 2);
  }
}

void ReadStockDetailRow(CADORecordset& rs, StockDetailRecord& record) { StockDetailReader(rs).Read(record); }

bool LoadStockRecord(CADODataBase& db, const std::string& day, const std::string& code,
                     StockDetailRecord& record) {
  CADORecordset rs(&db);
  if (!rs.Open("SELECT " + StockDetailColumns() + " FROM StockInfo WHERE SB_Date = ? AND StockCode = ? ORDER BY rowid",
               {day, code})) {
    return false;
  }
  record.Clear();
  StockDetailReader reader(rs);
  for (; !rs.IsEof(); rs.MoveNext()) reader.Read(record);
  return true;
}

COLORREF ReasonColour(const std::string& reason) {
  if (reason.find("当日融资买入数量") != std::string::npos) return RGB(255, 0, 255);
  const std::size_t threeDays = reason.find("三个交易日");
  if (threeDays != std::string::npos && threeDays > 0) return RGB(255, 0, 0);
  return RGB(0, 0, 255);
}

COLORREF ChangeColour(float zhangFu) { return zhangFu >= 0 ? RGB(255, 0, 0) : RGB(0, 255, 0); }

namespace {

void SetOk(bool* ok, bool value) {
  if (ok != nullptr) *ok = value;
}

constexpr const char* kRecentTrades = " FROM DZJY WHERE StockCode = ? AND DZJY_Date >= ?";

}  // namespace

bool HasRecentBlockTrades(CADODataBase& db, const std::string& code, const std::string& cutoffDay, bool* ok) {
  CADORecordset rs(&db);
  const bool opened = rs.Open(std::string("SELECT 1") + kRecentTrades + " LIMIT 1", {code, cutoffDay});
  SetOk(ok, opened);
  return opened && !rs.IsEof();
}

BlockTradeSummary LoadBlockTradeSummary(CADODataBase& db, const std::string& code, const std::string& cutoffDay) {
  BlockTradeSummary summary;
  {
    CADORecordset rs(&db);
    if (!rs.Open(std::string("SELECT COUNT(*) AS TradeCount, SUM(CJSL) AS VolumeSum, SUM(CJJE) AS AmountSum") +
                     kRecentTrades,
                 {code, cutoffDay})) {
      return summary;
    }
    summary.TotalsRan = true;
    if (!rs.IsEof()) {
      rs.GetFieldValue("TradeCount", summary.Count);
      rs.GetFieldValue("VolumeSum", summary.VolumeSum);
      rs.GetFieldValue("AmountSum", summary.AmountSum);
    }
  }
  {
    CADORecordset rs(&db);
    if (!rs.Open(std::string("SELECT BuyName, SellName") + kRecentTrades +
                     " ORDER BY CJJE DESC, DZJY_Date DESC, rowid LIMIT 1",
                 {code, cutoffDay})) {
      return summary;
    }
    summary.LargestRan = true;
    if (rs.IsEof()) return summary;
    summary.HasLargest = true;
    rs.GetFieldValue("BuyName", summary.MainBuyer);
    rs.GetFieldValue("SellName", summary.MainSeller);
  }
  {
    CADORecordset rs(&db);
    if (!rs.Open(std::string("SELECT SUM(CJJE) AS BuyerSum") + kRecentTrades + " AND BuyName = ?",
                 {code, cutoffDay, summary.MainBuyer})) {
      return summary;
    }
    summary.BuyerSumRan = true;
    if (!rs.IsEof()) rs.GetFieldValue("BuyerSum", summary.BuyerAmountSum);
  }
  {
    CADORecordset rs(&db);
    if (!rs.Open(std::string("SELECT SUM(CJJE) AS SellerSum") + kRecentTrades + " AND SellName = ?",
                 {code, cutoffDay, summary.MainSeller})) {
      return summary;
    }
    summary.SellerSumRan = true;
    if (!rs.IsEof()) rs.GetFieldValue("SellerSum", summary.SellerAmountSum);
  }
  return summary;
}

COLORREF MainBuyerColour(double buyerAmountSum) { return buyerAmountSum > 10000 ? RGB(255, 0, 0) : RGB(0, 0, 255); }

COLORREF MainSellerColour(double sellerAmountSum) {
  return sellerAmountSum > 10000 ? RGB(0, 180, 0) : RGB(0, 0, 255);
}

int CountRecentListings(CADODataBase& db, const std::string& code, const std::string& startDay, bool* ok) {
  CADORecordset rs(&db);
  const bool opened =
      rs.Open("SELECT COUNT(*) AS Listings FROM StockInfo WHERE StockCode = ? AND SB_Date >= ?", {code, startDay});
  SetOk(ok, opened);
  int count = 0;
  if (opened && !rs.IsEof()) rs.GetFieldValue("Listings", count);
  return count;
}

std::map<std::string, int> CountRecentListingsForDay(CADODataBase& db, const std::string& day,
                                                     const std::string& startDay, bool* ok) {
  std::map<std::string, int> counts;
  CADORecordset rs(&db);
  const bool opened = rs.Open(
      "SELECT d.StockCode AS StockCode, COUNT(s.rowid) AS Listings "
      "FROM (SELECT DISTINCT StockCode FROM StockInfo WHERE SB_Date = ? AND StockCode IS NOT NULL) AS d "
      "LEFT JOIN StockInfo AS s ON s.StockCode = d.StockCode AND s.SB_Date >= ? "
      "GROUP BY d.StockCode ORDER BY d.StockCode",
      {day, startDay});
  SetOk(ok, opened);
  if (!opened) return counts;
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string code;
    int count = 0;
    rs.GetFieldValue("StockCode", code);
    rs.GetFieldValue("Listings", count);
    counts[code] = count;
  }
  return counts;
}

std::set<std::string> RecentBlockTradeCodesForDay(CADODataBase& db, const std::string& day,
                                                  const std::string& cutoffDay, bool* ok) {
  std::set<std::string> codes;
  CADORecordset rs(&db);
  const bool opened = rs.Open(
      "SELECT DISTINCT s.StockCode AS StockCode FROM StockInfo AS s "
      "WHERE s.SB_Date = ? AND s.StockCode IS NOT NULL AND EXISTS "
      "(SELECT 1 FROM DZJY AS z WHERE z.StockCode = s.StockCode AND z.DZJY_Date >= ?) "
      "ORDER BY s.StockCode",
      {day, cutoffDay});
  SetOk(ok, opened);
  if (!opened) return codes;
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string code;
    rs.GetFieldValue("StockCode", code);
    codes.insert(code);
  }
  return codes;
}
