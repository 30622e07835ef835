#include "acquisition/seat_page_parser.h"

#include <algorithm>
#include <cmath>

#include "storage/charset.h"
#include "storage/ole_types.h"

namespace {

constexpr int kRowsPerTable = 5;
constexpr int kCellsPerRow = 10;

constexpr std::string_view kBodyOpen = "<tbody>";
constexpr std::string_view kBodyClose = "</tbody>";
constexpr std::string_view kRowOpen = "<tr>";
constexpr std::string_view kRowClose = "</tr>";
constexpr std::string_view kCellOpen = "<td";
constexpr std::string_view kCellClose = "</td>";
constexpr std::string_view kLinkEnd = "</a></a>";

constexpr auto npos = std::string_view::npos;

// The text after the cell's first ">", or nothing when it has none.
bool CellValue(std::string_view cell, double& value) {
  const std::size_t gt = cell.find('>');
  if (gt == npos) return false;
  value = ParseFiniteNumberC(cell.substr(gt + 1));
  return true;
}

// One row: cell 1 the branch name, cell 2 the buy amount, cell 4 the sell amount.
// Reading stops at the first cell that is not as expected; what was read stays.
SeatEntry ParseRow(std::string_view row) {
  SeatEntry seat;
  std::size_t pos = 0;
  for (int c = 0; c < kCellsPerRow; ++c) {
    const std::size_t open = row.find(kCellOpen, pos);
    if (open == npos) break;
    const std::size_t close = row.find(kCellClose, open + kCellOpen.size());
    if (close == npos) break;
    // The cell starts past "<td" and the one character after it (a blank or ">").
    const std::size_t begin = std::min(open + kCellOpen.size() + 1, close);
    const std::string_view cell = row.substr(begin, close - begin);
    pos = close + kCellClose.size();

    if (c == 1) {
      const std::size_t linkEnd = cell.find(kLinkEnd);
      if (linkEnd == npos || linkEnd == 0) break;
      const std::size_t gt = cell.rfind('>', linkEnd - 1);
      if (gt == npos) break;
      seat.name = CutGbk(CompleteBranchName(cell.substr(gt + 1, linkEnd - gt - 1)), kSeatNameCap);
    } else if (c == 2) {
      if (!CellValue(cell, seat.buy)) break;
    } else if (c == 4) {
      CellValue(cell, seat.sell);
      break;
    }
  }
  return seat;
}

void ParseTable(std::string_view table, SeatList& seats) {
  seats = SeatList{};
  std::size_t pos = 0;
  for (int r = 0; r < kRowsPerTable; ++r) {
    const std::size_t open = table.find(kRowOpen, pos);
    if (open == npos) break;
    const std::size_t begin = open + kRowOpen.size();
    const std::size_t close = table.find(kRowClose, begin);
    if (close == npos) break;
    seats[r] = ParseRow(table.substr(begin, close - begin));
    pos = close + kRowClose.size();
  }
}

// Finds "<tbody>" then its "</tbody>" from `pos` on; the inner text goes to `body`
// and `pos` moves past the close.
int TakeBody(std::string_view page, std::size_t& pos, std::string& body, int noOpen,
             int noClose) {
  const std::size_t open = page.find(kBodyOpen, pos);
  if (open == npos) return noOpen;
  const std::size_t begin = open + kBodyOpen.size();
  const std::size_t close = page.find(kBodyClose, begin);
  if (close == npos) return noClose;
  body.assign(page.substr(begin, close - begin));
  pos = close + kBodyClose.size();
  return kSeatPageOk;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::string CompleteBranchName(std::string_view name) {
  std::string out(name);
  if (EndsWith(out, "营业")) out += "部";
  if (EndsWith(out, "营")) out += "业部";
  return out;
}

int SplitSeatTables(std::string_view page, SeatTables& tables) {
  tables = SeatTables{};
  const std::size_t first = page.find(kBodyClose);
  if (first == npos) return kSeatPageNoTableEnd;
  std::size_t pos = first + kBodyClose.size();
  SeatTables found;
  int result = TakeBody(page, pos, found.buyTable, kSeatPageNoBuyBody, kSeatPageNoBuyEnd);
  if (result != kSeatPageOk) return result;
  result = TakeBody(page, pos, found.sellTable, kSeatPageNoSellBody, kSeatPageNoSellEnd);
  if (result != kSeatPageOk) return result;
  tables = std::move(found);
  return kSeatPageOk;
}

void ParseSeatTables(const SeatTables& tables, SeatList& buySeats, SeatList& sellSeats) {
  ParseTable(tables.buyTable, buySeats);
  ParseTable(tables.sellTable, sellSeats);
}

int ParseSeatPage(std::string_view page, StockRecord& record) {
  record.BuySeats = SeatList{};
  record.SellSeats = SeatList{};
  SeatTables tables;
  const int result = SplitSeatTables(page, tables);
  if (result == kSeatPageOk) ParseSeatTables(tables, record.BuySeats, record.SellSeats);
  return result;
}
