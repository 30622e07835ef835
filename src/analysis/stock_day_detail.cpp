#include "analysis/stock_day_detail.h"

#include <cmath>
#include <limits>

#include "analysis/branch_totals_merge.h"
#include "analysis/tracker_searches.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/gbk_format.h"
#include "storage/ole_types.h"
#include "views/stock_detail.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kSellGreen = RGB(0, 180, 0);
constexpr COLORREF kNegativeGreen = RGB(0, 233, 0);

std::string Amount2(double value) { return FormatGbk("%0.2f", value); }
std::string Amount0(double value) { return FormatGbk("%0.0f", value); }

// A whole number cut toward zero, kept in the int range; nullopt for no number (a
// turnover of 0 gives infinity or NaN).
std::optional<int> WholeInt(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double whole = std::trunc(value);
  if (whole >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (whole <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(whole);
}

std::string PercentText(std::optional<int> value) {
  return value ? std::to_string(*value) + "%" : std::string(kNoShareText);
}

// The share of the turnover as the seat list has always shown it: the quotient kept
// in single precision, times 100 in single precision, cut toward zero.
std::optional<int> SingleShare(double part, double amount) {
  if (amount == 0) return std::nullopt;
  const float share = static_cast<float>(part / amount);
  return WholeInt(static_cast<double>(share * 100.0f));
}

// The same in double precision (the totals' share of row 12).
std::optional<int> DoubleShare(double part, double amount) {
  if (amount == 0) return std::nullopt;
  return WholeInt(part / amount * 100);
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

void FillSeatRow(StockDayRow& row, const std::string& label, const std::string& name, const SeatFigures& seat,
                 double amount, const std::string& team1Text, const BranchMarks& marks) {
  row[0].text = label;
  if (!name.empty() && name == team1Text) row[0].colour = kTeam1SeatColour;
  row[1] = {name, marks.Colour(name)};
  row[2] = {Amount2(seat.BuyAmount), AmountColourClass(seat.BuyAmount)};
  row[3] = {Amount2(seat.SellAmount), SellAmountColourClass(seat.SellAmount)};
  row[4].text = Amount2(seat.BuyAmount - seat.SellAmount);
  row[5] = RepeatRateCell(name);
  row[6].text = PercentText(SingleShare(seat.BuyAmount + seat.SellAmount, amount));
  const std::string remark = marks.Mark(name);
  if (!remark.empty()) row[7] = {remark, marks.Colour(name)};
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

  auto& rows = view.rows;
  double buy = 0;
  double sell = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    FillSeatRow(rows[i], "买" + std::to_string(i + 1), detail.BuyNames[i], detail.Buy[i], detail.Amount, team1Text,
                marks);
    buy += detail.Buy[i].BuyAmount;
    sell += detail.Buy[i].SellAmount;
  }
  rows[kStockDayRowSeparator1][1].text = kStockDaySeparatorText;
  for (std::size_t i = 0; i < 5; ++i) {
    FillSeatRow(rows[6 + i], "卖" + std::to_string(i + 1), detail.SellNames[i], detail.Sell[i], detail.Amount,
                team1Text, marks);
    buy += detail.Sell[i].BuyAmount;
    sell += detail.Sell[i].SellAmount;
  }

  // The figures as shown, so that a branch on both halves is counted once.
  std::array<SeatFigures, kStockDayRowSeparator2> shown;
  for (int r = 0; r < kStockDayRowSeparator2; ++r) {
    shown[r] = {ParseNumberC(rows[r][2].text), ParseNumberC(rows[r][3].text)};
  }
  const SeatFigures repeated = RepeatedSeatFigures(shown);
  buy -= repeated.BuyAmount;
  sell -= repeated.SellAmount;
  view.TotalBuy = buy;
  view.TotalSell = sell;

  rows[kStockDayRowSeparator2][1].text = kStockDaySeparatorText;
  auto& totalsRow = rows[kStockDayRowTotals];
  auto& sharesRow = rows[kStockDayRowShares];
  const double net = buy - sell;
  const COLORREF netColour = net >= 0 ? kRed : kNegativeGreen;
  totalsRow[1].text = kStockDayTotalsLabel;
  totalsRow[2] = {Amount0(buy), kRed};
  totalsRow[3] = {Amount0(sell), kSellGreen};
  totalsRow[4] = {Amount0(net), netColour};
  const std::optional<int> turnoverShare = DoubleShare(buy + sell, detail.Amount);
  totalsRow[5].text = PercentText(turnoverShare);
  if (turnoverShare) {
    if (*turnoverShare >= 30) {
      totalsRow[5].colour = kRed;
    } else if (*turnoverShare <= 0) {
      totalsRow[5].colour = kNegativeGreen;
    }
  }
  sharesRow[1].text = kStockDaySharesLabel;
  sharesRow[2] = {PercentText(SingleShare(buy, detail.Amount)), kRed};
  sharesRow[3] = {PercentText(SingleShare(sell, detail.Amount)), kSellGreen};
  sharesRow[4] = {PercentText(SingleShare(net, detail.Amount)), netColour};
  return view;
}

std::optional<std::string> Team1TextOfTeam(const std::string& teamName) {
  if (teamName.empty()) return std::nullopt;
  std::size_t first = 0;
  Utf8CharToUnicode(teamName.data(), teamName.size(), &first);
  if (teamName.find("系", first) == std::string::npos) return std::nullopt;
  return teamName;
}

void ShowQueryFailed(const std::string& errorText) {
  MessageBox(std::string(kTrackerQueryFailedText) + "\n" + errorText, kTrackerCaption, MB_OK | MB_ICONWARNING);
}
