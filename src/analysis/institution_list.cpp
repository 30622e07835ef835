#include "analysis/institution_list.h"

#include <cstdint>
#include <cstdio>

#include "analysis/stock_day_detail.h"
#include "analysis/tracker_searches.h"
#include "settings/settings.h"
#include "storage/row_cursor.h"

namespace {

// Positions in the branch search's columns: name, code, date, close, then per seat
// its name, buy and sell.
constexpr int kNameColumn = 0;
constexpr int kCodeColumn = 1;
constexpr int kDateColumn = 2;
constexpr int kFirstSeatColumn = 4;

// The institutions' part of one listing.
struct InstitutionSums {
  double buyBuy = 0, buySell = 0;    // their seats among the buyers
  double sellBuy = 0, sellSell = 0;  // their seats among the sellers
  int buySeats = 0, sellSeats = 0;

  // The same seats with the same amounts in both halves count once.
  std::int32_t Net() const {
    const double net = buyBuy == sellBuy && buySell == sellSell ? buyBuy - buySell
                                                                : (buyBuy - buySell) + (sellBuy - sellSell);
    return static_cast<std::int32_t>(net);
  }
};

std::string Decimal(long long value) { return std::to_string(value); }

}  // namespace

InstitutionList LoadInstitutionList(CADODataBase& db, const std::string& seat, int mode, bool filtered,
                                    const InstitutionEdits& edits, const std::string& today) {
  InstitutionList list;
  const std::int32_t minBuySeats = ParseLeadingInt(edits.buySeats);
  const std::int32_t minSellSeats = ParseLeadingInt(edits.sellSeats);
  const std::int32_t minNet = filtered ? ParseLeadingInt(edits.minNet) : kInstitutionNetBuyFloor;

  // Only the newest rows are shown: the cursor walks the days newest first and the
  // loop stops as soon as the list is full.
  RowCursor cursor(db, BranchSearchByDayStatement(), {seat});
  while (static_cast<int>(list.rows.size()) < kMaxInstitutionRows && cursor.Next()) {
    InstitutionSums sums;
    for (int k = 0; k < 10; ++k) {
      const int column = kFirstSeatColumn + 3 * k;
      if (cursor.Text(column) != seat) continue;
      const double buy = cursor.Double(column + 1);
      const double sell = cursor.Double(column + 2);
      if (k < 5) {
        sums.buyBuy += buy;
        sums.buySell += sell;
        ++sums.buySeats;
      } else {
        sums.sellBuy += buy;
        sums.sellSell += sell;
        ++sums.sellSeats;
      }
    }
    const std::int32_t net = sums.Net();
    bool admitted = false;
    switch (mode) {
      case kShowNetBuy: admitted = net > minNet && sums.buySeats >= minBuySeats; break;
      case kShowNetSell: admitted = !filtered && net < 0 && sums.sellSeats >= minSellSeats; break;
      case kShowAll: admitted = true; break;
      default: break;
    }
    if (!admitted) continue;

    InstitutionRow& row = list.rows.emplace_back();
    const std::string date(cursor.Text(kDateColumn));
    row.cells[0] = Decimal(static_cast<long long>(list.rows.size()));
    row.cells[1] = date;
    if (date == today) row.dateColour = kInstitutionTodayColour;
    row.cells[2] = std::string(cursor.Text(kNameColumn));
    row.cells[3] = std::string(cursor.Text(kCodeColumn));
    row.cells[4] = seat;
    row.cells[5] = Decimal(static_cast<std::int32_t>(sums.buyBuy + sums.sellBuy));
    row.cells[6] = Decimal(static_cast<std::int32_t>(sums.buySell + sums.sellSell));
    row.cells[7] = Decimal(net);
    row.netColour = net > 0 ? kInstitutionNetUpColour : kInstitutionNetDownColour;
    row.cells[8] = Decimal(sums.buySeats + sums.sellSeats) + " （" + Decimal(sums.buySeats) + " / " +
                   Decimal(sums.sellSeats) + "）";
    if (mode == kShowNetBuy && sums.buySeats >= 2) row.countColour = kInstitutionManyBuyersColour;
  }
  if (cursor.Failed()) {
    list.rows.clear();
    list.queryFailed = true;
    ShowQueryFailed(cursor.ErrorText());
  }
  return list;
}

std::string InstitutionCodesText(const std::vector<std::string>& codes) {
  std::string text;
  for (std::size_t i = 0; i < codes.size() && i < static_cast<std::size_t>(kMaxInstitutionCodes); ++i) {
    text += ", " + codes[i];
  }
  return text;
}
