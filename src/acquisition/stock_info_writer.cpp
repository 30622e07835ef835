#include "acquisition/stock_info_writer.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "acquisition/day_list_parser.h"
#include "acquisition/seat_page_parser.h"
#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"
#include "storage/schema.h"

namespace {


constexpr int kSeatDecimals = 3;
constexpr int kFigureDecimals = 6;

// The pause before the seats of a row are written.
constexpr int kSeatWritePauseMs = 1;


constexpr std::string_view kUpdateFigures =
    "UPDATE StockInfo SET IsDownloadOK=?, ZuoShou=?, JinKai=?, JinShou=?, ZhangFu=?, HuanShou=?, ZhenFu=?, "
    "DRCJL=?, Amount=? WHERE StockInfo_ID=?";

constexpr std::string_view kRowExists = "SELECT 1 FROM StockInfo WHERE StockInfo_ID=?";

// "UPDATE StockInfo SET Buy1_YYB_Name=?, Buy1_YYB_BuyAmount=?, Buy1_YYB_SellAmount=?, ...
//  Sell5_YYB_SellAmount=? WHERE StockInfo_ID=?"
const std::string& SeatStatement() {
  static const std::string sql = [] {
    std::string text = "UPDATE StockInfo SET ";
    bool first = true;
    for (const char* side : {"Buy", "Sell"}) {
      for (int n = 1; n <= 5; ++n) {
        const std::string seat = std::string(side) + std::to_string(n) + "_YYB_";
        if (!first) text += ", ";
        first = false;
        text += seat + "Name=?, " + seat + "BuyAmount=?, " + seat + "SellAmount=?";
      }
    }
    return text + " WHERE StockInfo_ID=?";
  }();
  return sql;
}

double Figure(double value) { return RoundAsFormatted(value, kFigureDecimals); }
double SeatAmount(double value) { return RoundAsFormatted(value, kSeatDecimals); }

// The identity of the record's row, from its capped day and code.
std::string IdentityOf(const StockRecord& record) {
  return MakeStockInfoId(CutGbk(record.SB_Date, kStockDayCap), CutGbk(record.StockCode, kStockCodeCap));
}

// Completes the seat names in the record (they stay completed, as the callers see
// them) and appends the ten seats' values.
void AppendSeatValues(StockRecord& record, std::vector<DbValue>& params) {
  for (SeatList* seats : {&record.BuySeats, &record.SellSeats}) {
    for (SeatEntry& seat : *seats) {
      seat.name = CutGbk(CompleteBranchName(seat.name), kSeatNameCap);
      params.emplace_back(seat.name);
      params.emplace_back(SeatAmount(seat.buy));
      params.emplace_back(SeatAmount(seat.sell));
    }
  }
}

// Writes all ten seats of a stored row.
bool WriteSeats(CADODataBase& db, StockRecord& record, const std::string& identity) {
  std::vector<DbValue> params;
  params.reserve(31);
  AppendSeatValues(record, params);
  params.emplace_back(identity);
  return db.Execute(SeatStatement(), params);
}

bool RowIsStored(CADODataBase& db, const std::string& identity) {
  CADORecordset rows(&db);
  return rows.Open(std::string(kRowExists), {identity}) && rows.GetRecordCount() > 0;
}

void RaiseBoardCounter(StockInsertCounters& counters) {
  switch (counters.m_nMarket) {
    case 1: ++counters.m_nInsertedSh; break;
    case 2: ++counters.m_nInsertedSzMain; break;
    case 3: ++counters.m_nInsertedSzSme; break;
    case 4: ++counters.m_nInsertedSzGrowth; break;
    default: break;
  }
}

}  // namespace

std::string MakeStockInfoId(std::string_view day, std::string_view code) {
  std::string identity;
  identity.reserve(day.size() + 1 + code.size());
  identity.append(day).append(",").append(code);
  return identity;
}

bool IsWellFormedStockInfoId(std::string_view identity) {
  // Counted in GBK bytes, as the column widths are; a trail byte of GBK is never '-'.
  const std::string gbk = ToGbk(identity);
  return gbk.size() >= 15 && gbk[4] == '-' && gbk[7] == '-';
}

double RoundAsFormatted(double value, int decimals) {
  if (!std::isfinite(value)) return 0;
  // Room for the largest double written out in full, its sign, point and decimals.
  std::string text(std::numeric_limits<double>::max_exponent10 + decimals + 8, '\0');
  const auto written =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
  if (written.ec != std::errc()) return 0;
  double rounded = 0;
  const auto read = std::from_chars(text.data(), written.ptr, rounded);
  if (read.ec != std::errc() || !std::isfinite(rounded)) return 0;
  return rounded;
}

CStockInfoWriter::CStockInfoWriter(CADODataBase& db, ISleeper& sleeper, StockInsertCounters& counters)
    : db_(db), sleeper_(sleeper), counters_(counters) {}

int CStockInfoWriter::InsertStockInfo(StockRecord& record) {
  const std::string identity = IdentityOf(record);
  if (!IsWellFormedStockInfoId(identity)) return kStockWriteBadIdentity;
  if (!db_.IsOpen()) return kStockWriteNotOpen;

  const bool complete = record.IsDownloadOK == 1;
  // Kept between rows as a short pause, never inside the write lock.
  if (complete) sleeper_.Sleep(kSeatWritePauseMs);

  CADOTransaction transaction(db_);
  if (!transaction.IsActive()) return kStockWriteFailed;

  std::vector<DbValue> row{identity,
                                 record.IsDownloadOK,
                                 CutGbk(CleanStockName(record.StockName), kStockNameCap),
                                 CutGbk(record.StockCode, kStockCodeCap),
                                 CutGbk(record.SB_Date, kStockDayCap),
                                 CutGbk(record.SB_Reason, kStockReasonCap),
                                 Figure(record.ZuoShou),
                                 Figure(record.JinKai),
                                 Figure(record.JinShou),
                                 Figure(record.ZhangFu),
                                 Figure(record.HuanShou),
                                 Figure(record.ZhenFu),
                                 Figure(record.DRCJL),
                                 Figure(record.Amount)};
  row.reserve(14 + 30);
  if (complete) {
    AppendSeatValues(record, row);
  } else {
    row.resize(14 + 30);  // an incomplete row keeps its seat columns empty (NULL)
  }
  // The row and its ten seats in one statement: each index is written once per row.
  static const std::string insert = InsertAllColumnsStatement("StockInfo");
  if (!db_.Execute(insert, row)) return kStockWriteFailed;
  if (!transaction.Commit()) return kStockWriteFailed;

  RaiseBoardCounter(counters_);
  if (complete) ++counters_.m_nInsertDB_StockCounter;
  return kStockWriteOk;
}

int CStockInfoWriter::UpdateStockInfo(StockRecord& record) {
  const std::string identity = IdentityOf(record);
  if (!IsWellFormedStockInfoId(identity)) return kStockWriteBadIdentity;
  if (!db_.IsOpen()) return kStockWriteNotOpen;

  const bool complete = record.IsDownloadOK == 1;
  if (complete) sleeper_.Sleep(kSeatWritePauseMs);

  CADOTransaction transaction(db_);
  if (!transaction.IsActive()) return kStockWriteFailed;
  // An update that meets no row has written nothing; that is no success.
  if (!RowIsStored(db_, identity)) return kStockWriteFailed;

  const std::vector<DbValue> figures{record.IsDownloadOK,   Figure(record.ZuoShou),  Figure(record.JinKai),
                                     Figure(record.JinShou), Figure(record.ZhangFu),  Figure(record.HuanShou),
                                     Figure(record.ZhenFu),  Figure(record.DRCJL),    Figure(record.Amount),
                                     identity};
  if (!db_.Execute(std::string(kUpdateFigures), figures)) return kStockWriteFailed;
  if (complete && !WriteSeats(db_, record, identity)) return kStockWriteFailed;
  if (!transaction.Commit()) return kStockWriteFailed;
  return kStockWriteOk;
}
