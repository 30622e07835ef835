#include "views/seat_list_rows.h"

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

std::string PercentText(int value) { return std::to_string(value) + "%"; }

void FillSeatRow(std::array<SeatCell, kSeatListColumnCount>& row, const std::string& label,
                 const std::string& name, const SeatFigures& figures, double amount, const BranchMarks& marks) {
  row[0].text = label;
  row[1] = {name, marks.Colour(name)};
  row[2] = {Whole(figures.BuyAmount), AmountColourClass(figures.BuyAmount)};
  row[3] = {Whole(figures.SellAmount), SellAmountColourClass(figures.SellAmount)};
  row[4].text = Whole(figures.BuyAmount - figures.SellAmount);
  if (amount > 0) row[5].text = PercentText(WholePercent(figures.BuyAmount + figures.SellAmount, amount));
  const std::string remark = marks.Mark(name);
  if (!remark.empty()) row[7] = {remark, marks.Colour(name)};
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

SeatListRows BuildSeatListRows(const StockDetailRecord& record, const BranchMarks& marks) {
  SeatListRows rows;
  auto& cells = rows.cells;
  double buy = 0;
  double sell = 0;
  for (int i = 0; i < 5; ++i) {
    FillSeatRow(cells[i], "买" + std::to_string(i + 1), record.BuyNames[i], record.Buy[i], record.Amount, marks);
    buy += record.Buy[i].BuyAmount;
    sell += record.Buy[i].SellAmount;
  }
  cells[kSeatRowSeparator1][1].text = kSeatSeparatorText;
  for (int j = 0; j < 5; ++j) {
    FillSeatRow(cells[6 + j], "卖" + std::to_string(j + 1), record.SellNames[j], record.Sell[j], record.Amount,
                marks);
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
  shares[1].text = kSeatSharesLabel;
  if (record.Amount > 0) {
    const int turnoverShare = WholePercent(buy + sell, record.Amount);
    totals[5].text = PercentText(turnoverShare);
    if (turnoverShare >= 30) {
      totals[5].colour = kRed;
    } else if (turnoverShare <= 0) {
      totals[5].colour = kNegativeGreen;
    }
    shares[2] = {PercentText(WholePercent(buy, record.Amount)), kRed};
    shares[3] = {PercentText(WholePercent(sell, record.Amount)), kSellGreen};
    shares[4] = {PercentText(WholePercent(net, record.Amount)), netColour};
  }
  return rows;
}
