#include "analysis/stock_day_detail.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "analysis/branch_totals_merge.h"
#include "analysis/tracker_searches.h"
#include "platform/debug_log.h"
#include "platform/message_box.h"
#include "records/stock_detail.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/gbk_format.h"
#include "storage/ole_types.h"

namespace {

std::string Amount2(double value) { return FormatGbk("%0.2f", value); }

// A whole number cut toward zero, kept in the int range; nullopt for no number (a
// turnover of 0 gives infinity or NaN).
std::optional<int> WholeInt(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double whole = std::trunc(value);
  if (whole >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (whole <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(whole);
}

// The share of the turnover as the seat list has always shown it: the quotient kept
// in single precision, times 100 in single precision, cut toward zero; the totals'
// share of row 12 in double precision.
std::optional<int> TrackerShare(double part, double amount, SharePrecision precision) {
  if (amount == 0) return std::nullopt;
  if (precision == SharePrecision::Double) return WholeInt(part / amount * 100);
  const float share = static_cast<float>(part / amount);
  return WholeInt(static_cast<double>(share * 100.0f));
}

// Column 5: the branch's repeat-buy rate. The rate counts as high above 30 %, compared
// in whole numbers so that exactly 30 % stays white.
SeatCell RepeatRateCell(const std::string& name) {
  if (name.empty()) return {};
  int timesListed = 0;
  int above2 = 0;
  if (FormatBranchRepeatBuyRate(name, &timesListed, &above2, nullptr).empty()) return {};
  if (timesListed == 0) return {};
  const float rate = static_cast<float>(above2) / static_cast<float>(timesListed);
  const bool high = 10LL * above2 > 3LL * timesListed;
  return {FormatGbk("%0.0f", static_cast<double>(rate * 100.0f)) + "%",
          high ? kHighRepeatRateColour : kLowRepeatRateColour};
}

void FoldSeats(const StockDayDetail& detail, TrackerBranchTotals& totals) {
  for (std::size_t i = 0; i < 5; ++i) {
    totals.AddSeat(detail.BuyNames[i], detail.StockName, detail.StockCode, detail.Buy[i].BuyAmount,
                   detail.Buy[i].SellAmount, SeatSide::Buy);
  }
  for (std::size_t i = 0; i < 5; ++i) {
    totals.AddSeat(detail.SellNames[i], detail.StockName, detail.StockCode, detail.Sell[i].BuyAmount,
                   detail.Sell[i].SellAmount, SeatSide::Sell);
  }
}

}  // namespace

bool LoadStockDay(CADODataBase& db, const std::string& code, const std::string& day, StockDayDetail& detail,
                  TrackerBranchTotals& totals, std::string* error) {
  CADORecordset rs(&db);
  if (!rs.Open("SELECT " + StockDetailColumns() + " FROM StockInfo WHERE SB_Date = ? AND StockCode = ? ORDER BY rowid",
               {day, code})) {
    if (error != nullptr) *error = rs.GetLastErrorText();
    return false;
  }
  detail.Clear();
  StockDetailReader reader(rs);
  for (; !rs.IsEof(); rs.MoveNext()) {
    reader.Read(detail);
    FoldSeats(detail, totals);
  }
  return true;
}

bool LoadStockDay(const std::string& code, const std::string& day, StockDayDetail& detail, std::string* error) {
  return LoadStockDay(g_ADODatabase, code, day, detail, g_TrackerBranchTotals, error);
}

StockDayView BuildStockDayView(const StockDayDetail& detail, const std::string& team1Text,
                               const BranchMarks& marks) {
  StockDayView view;
  view.edits.stockName = detail.StockName;
  view.edits.stockCode = detail.StockCode;
  view.edits.close = Amount2(static_cast<double>(detail.JinShou));
  view.edits.change = Amount2(static_cast<double>(detail.ZhangFu));
  view.edits.changeColour = ChangeColour(detail.ZhangFu);
  view.edits.reason = detail.SB_Reason;

  SeatListStyle style;
  style.seatFigureFormat = "%0.2f";
  style.seatShareColumn = 6;
  style.share = TrackerShare;
  style.noShareText = kNoShareText;
  style.colourNoShare = true;
  style.seatExtras = [&team1Text](SeatListRow& row, const std::string& name) {
    if (!name.empty() && name == team1Text) row[0].colour = kTeam1SeatColour;
    row[5] = RepeatRateCell(name);
  };
  const SeatListRows seats = BuildSeatListRows(detail, marks, style);
  view.rows = seats.cells;
  view.TotalBuy = seats.TotalBuy;
  view.TotalSell = seats.TotalSell;
  return view;
}

std::optional<std::string> Team1TextOfTeam(const std::string& teamName) {
  if (teamName.empty()) return std::nullopt;
  std::size_t first = 0;
  Utf8CharToUnicode(teamName.data(), teamName.size(), &first);
  if (teamName.find("系", first) == std::string::npos) return std::nullopt;
  return teamName;
}

namespace {

// A recordset's error as the debug log keeps it: "Query = <statement>\n<report>", the
// statement shortened where the line would otherwise be cut before the report's reason
// (a keyword's statement may carry thousands of values).
std::string LoggedError(const std::string& errorText) {
  constexpr std::string_view kQuery = "Query = ";
  const std::size_t room = kDebugLogMaxMessage - std::strlen(kTrackerQueryFailedText) - 1;
  const std::size_t end = errorText.find('\n');
  if (errorText.size() <= room || !errorText.starts_with(kQuery) || end == std::string::npos) return errorText;
  constexpr std::string_view kCut = "...";
  const std::size_t report = errorText.size() - end;
  if (kQuery.size() + kCut.size() + report > room) return errorText;
  std::size_t keep = room - report - kCut.size();
  while (keep > kQuery.size() && (static_cast<unsigned char>(errorText[keep]) & 0xC0) == 0x80) --keep;
  return errorText.substr(0, keep) + std::string(kCut) + errorText.substr(end);
}

}  // namespace

std::string QueryFailedBoxText(const std::string& errorText) {
  if (!errorText.empty()) AppendDebugLog("%s %s", kTrackerQueryFailedText, LoggedError(errorText).c_str());
  return std::string(kTrackerQueryFailedText) + "\n" + DatabaseErrorForUser(errorText);
}

void ShowQueryFailed(const std::string& errorText) {
  MessageBox(QueryFailedBoxText(errorText), kTrackerCaption, MB_OK | MB_ICONWARNING);
}
