#include "records/seat_list_rows.h"

#include <cmath>
#include <limits>
#include <vector>

#include "platform/gdi_types.h"
#include "storage/gbk_format.h"
#include "storage/ole_types.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kSellGreen = RGB(0, 180, 0);
constexpr COLORREF kNegativeGreen = RGB(0, 233, 0);

std::string Whole(double value) { return FormatGbk("%0.0f", value); }

// The whole part of a share in percent, as an int conversion would give it, kept in
// the int range.
int WholePercent(double part, double amount) {
  const double share = std::trunc(part / amount * 100);
  if (std::isnan(share)) return 0;
  if (share >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (share <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(share);
}

std::string PercentText(std::optional<int> value, const SeatListStyle& style) {
  return value ? std::to_string(*value) + "%" : std::string(style.noShareText);
}

// The daily list's shares: none for a day amount of 0 or less.
std::optional<int> DailyShare(double part, double amount, SharePrecision) {
  if (amount <= 0) return std::nullopt;
  return WholePercent(part, amount);
}

void FillSeatRow(SeatListRow& row, const std::string& label, const std::string& name, const SeatFigures& figures,
                 double amount, const BranchMarks& marks, const SeatListStyle& style) {
  row[0].text = label;
  row[1] = {name, marks.Colour(name)};
  row[2] = {FormatGbk(style.seatFigureFormat, figures.BuyAmount), AmountColourClass(figures.BuyAmount)};
  row[3] = {FormatGbk(style.seatFigureFormat, figures.SellAmount), SellAmountColourClass(figures.SellAmount)};
  row[4].text = FormatGbk(style.seatFigureFormat, figures.BuyAmount - figures.SellAmount);
  row[style.seatShareColumn].text =
      PercentText(style.share(figures.BuyAmount + figures.SellAmount, amount, SharePrecision::Single), style);
  const std::string remark = marks.Mark(name);
  if (!remark.empty()) row[7] = {remark, marks.Colour(name)};
  if (style.seatExtras) style.seatExtras(row, name);
}

}  // namespace

SeatFigures RepeatedSeatFigures(std::span<const SeatFigures> shownRows) {
  // The shown (rounded) figures decide; each later row is taken out at most once
  // however many earlier rows it repeats, so three equal rows lose two, not three.
  SeatFigures out;
  std::vector<bool> takenOut(shownRows.size(), false);
  for (std::size_t r = 0; r < shownRows.size(); ++r) {
    for (std::size_t q = r + 1; q < shownRows.size(); ++q) {
      if (takenOut[q]) continue;
      if (shownRows[r].BuyAmount == shownRows[q].BuyAmount && shownRows[r].SellAmount == shownRows[q].SellAmount) {
        out.BuyAmount += shownRows[q].BuyAmount;
        out.SellAmount += shownRows[q].SellAmount;
        takenOut[q] = true;
      }
    }
  }
  return out;
}

SeatListRows BuildSeatListRows(const StockDetailRecord& record, const BranchMarks& marks,
                               const SeatListStyle& style) {
  SeatListRows rows;
  auto& cells = rows.cells;
  double buy = 0;
  double sell = 0;
  for (int i = 0; i < 5; ++i) {
    FillSeatRow(cells[i], "买" + std::to_string(i + 1), record.BuyNames[i], record.Buy[i], record.Amount, marks,
                style);
    buy += record.Buy[i].BuyAmount;
    sell += record.Buy[i].SellAmount;
  }
  cells[kSeatRowSeparator1][1].text = kSeatSeparatorText;
  for (int j = 0; j < 5; ++j) {
    FillSeatRow(cells[6 + j], "卖" + std::to_string(j + 1), record.SellNames[j], record.Sell[j], record.Amount,
                marks, style);
    buy += record.Sell[j].BuyAmount;
    sell += record.Sell[j].SellAmount;
  }

  std::array<SeatFigures, kSeatRowSeparator2> shown;
  for (int r = 0; r < kSeatRowSeparator2; ++r) {
    shown[r] = {ParseNumberC(cells[r][2].text), ParseNumberC(cells[r][3].text)};
  }
  const SeatFigures repeated = RepeatedSeatFigures(shown);
  buy -= repeated.BuyAmount;
  sell -= repeated.SellAmount;
  rows.TotalBuy = buy;
  rows.TotalSell = sell;

  cells[kSeatRowSeparator2][1].text = kSeatSeparatorText;
  auto& totals = cells[kSeatRowTotals];
  auto& shares = cells[kSeatRowShares];
  const double net = buy - sell;
  const COLORREF netColour = net >= 0 ? kRed : kNegativeGreen;
  totals[1].text = kSeatTotalsLabel;
  totals[2] = {Whole(buy), kRed};
  totals[3] = {Whole(sell), kSellGreen};
  totals[4] = {Whole(net), netColour};
  const std::optional<int> turnoverShare = style.share(buy + sell, record.Amount, SharePrecision::Double);
  totals[5].text = PercentText(turnoverShare, style);
  if (turnoverShare) {
    if (*turnoverShare >= 30) {
      totals[5].colour = kRed;
    } else if (*turnoverShare <= 0) {
      totals[5].colour = kNegativeGreen;
    }
  }
  shares[1].text = kSeatSharesLabel;
  const auto shareCell = [&](double part, COLORREF colour) {
    const std::optional<int> value = style.share(part, record.Amount, SharePrecision::Single);
    return SeatCell{PercentText(value, style), value || style.colourNoShare ? std::optional(colour) : std::nullopt};
  };
  shares[2] = shareCell(buy, kRed);
  shares[3] = shareCell(sell, kSellGreen);
  shares[4] = shareCell(net, netColour);
  return rows;
}

SeatListRows BuildSeatListRows(const StockDetailRecord& record, const BranchMarks& marks) {
  SeatListStyle style;
  style.share = DailyShare;
  return BuildSeatListRows(record, marks, style);
}
