#pragma once
// A stock's seat page: the five largest buying and five largest selling branches of
// one day.
//
// The page (decoded to UTF-8 and joined into one line) has three table bodies: the
// first is skipped, the second holds the buying seats and the third the selling
// seats. Each seat is a row "<tr>...</tr>" of cells "<td ...>...</td>": rank, branch
// name (inside a link that ends in "</a></a>"), buy amount, a further cell, sell
// amount, in 10,000 yuan. Every row starts from an empty name and 0/0; what a row
// lacks stays so.

#include <string>
#include <string_view>

#include "acquisition/stock_record.h"

// Results of SplitSeatTables, as the loader reports them. Above 1 means success.
inline constexpr int kSeatPageOk = 666;
inline constexpr int kSeatPageNoTableEnd = -2;      // no "</tbody>" at all
inline constexpr int kSeatPageNoBuyBody = -36;      // no second "<tbody>"
inline constexpr int kSeatPageNoBuyEnd = -4;        // second body not closed
inline constexpr int kSeatPageNoSellBody = -5;      // no third "<tbody>"
inline constexpr int kSeatPageNoSellEnd = -6;       // third body not closed

// The inner texts of the buying and the selling table bodies.
struct SeatTables {
  std::string buyTable;
  std::string sellTable;
};

// Cuts the two seat tables out of a page. Returns kSeatPageOk with both tables set,
// or one of the negative codes above with `tables` emptied.
int SplitSeatTables(std::string_view page, SeatTables& tables);

// Reads up to five rows of each table into the seats; seats without a row get an
// empty name and 0/0. Names get the "营业部" completion and the 199-byte cap.
void ParseSeatTables(const SeatTables& tables, SeatList& buySeats, SeatList& sellSeats);

// Both steps into a record: on kSeatPageOk its seats are filled; on failure they are
// left empty. Returns the SplitSeatTables result.
int ParseSeatPage(std::string_view page, StockRecord& record);

// A branch name cut short by the source ends in "营业" or "营"; it gets the rest of
// "营业部" ("...营业" + "部", "...营" + "业部"). Other names are unchanged.
std::string CompleteBranchName(std::string_view name);
