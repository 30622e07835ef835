#pragma once
// Continuous buying ("游资持续买入"): which branches kept buying one stock over its recent
// listings. The stock activity ranking counts each stock's listings over the last N
// trading days (g_StockActivity); for every stock counted at least twice, the seats of
// its newest k listings (k = its count, newest first, rowid order within a day, no upper
// date bound) are folded per branch. A stock qualifies when some branch stood among its
// buyers with more than 10 (万元) in two or more of those seats. The right-hand list
// shows, per qualifying branch, that many of its newest listings on the stock.
//
// Every listing from the counted window's oldest day on is read with one statement. The
// newest k listings of a stock counted in that window all lie in it, so the older
// listings are read, through the code's index, only when the window start given is later
// than the one counted, or when a branch's seat count reaches past the window (the
// institutions' seat may hold several buying seats of one listing).

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi_types.h"
#include "storage/row_records.h"

class CADODataBase;
class IClock;

// Combo 1003: "2 日" ... "20 日" and their day counts.
inline constexpr int kSustainedChoiceCount = 7;
extern const std::array<const char*, kSustainedChoiceCount> kSustainedChoiceTexts;
extern const std::array<int, kSustainedChoiceCount> kSustainedChoiceDays;
// N of combo index `index`; an index out of range gives the first item's.
int SustainedDaysOfChoice(int index);

// A buying (selling) seat counts towards the branch's buy (sell) times above this.
inline constexpr double kSustainedSeatFloor = 10;
inline constexpr COLORREF kSustainedTodayColour = RGB(200, 0, 0);
inline constexpr COLORREF kSustainedNetBuyColour = RGB(200, 0, 0);
inline constexpr COLORREF kSustainedNetSellColour = RGB(0, 200, 0);
// The listings whose reason names margin buying.
inline constexpr const char* kMarginBuyReasonPattern = "%融资买入数量%";

inline constexpr int kSustainedStockColumnCount = 5;
inline constexpr int kSustainedBranchColumnCount = 9;
// The list column that holds the stock code, in both lists.
inline constexpr int kSustainedCodeColumn = 3;
// The right-hand list's net column, which also carries the net's colour.
inline constexpr int kSustainedNetColumn = 7;

// One row of list 1119: number, newest listing date, name, code, the leading branch's
// seat count over the stock's listings.
struct SustainedStockRow {
  std::array<std::string, kSustainedStockColumnCount> cells;
  friend bool operator==(const SustainedStockRow&, const SustainedStockRow&) = default;
};

// One row of list 1120; column 8 stays empty. A colour left out is the list's own.
struct SustainedBranchRow {
  std::array<std::string, kSustainedBranchColumnCount> cells;
  std::optional<COLORREF> dateColour;    // column 1: today's listings
  std::optional<COLORREF> branchColour;  // column 4: the branch's mark
  std::optional<COLORREF> netColour;     // column 7: the net's sign
  friend bool operator==(const SustainedBranchRow&, const SustainedBranchRow&) = default;
};

template <typename Row>
struct SustainedList {
  std::vector<Row> rows;     // empty when the read failed
  bool queryFailed = false;  // a read failed: nothing is shown
  std::string error;         // the database's text when queryFailed
};
using SustainedStockList = SustainedList<SustainedStockRow>;
using SustainedBranchList = SustainedList<SustainedBranchRow>;

// The oldest day of the window the stock activity walk counted: that walk started at
// `today` and stepped back `dayOffset` calendar days, one past the last day it found.
// "" (every listing) when nothing was walked or `today` is no day.
std::string CountedWindowStart(const std::string& today, int dayOffset);

// Today's text for the date colour: the clock's day, or "" on a Saturday or Sunday.
std::string SustainedTodayText(const IClock& clock);

// Descending by count; equal counts keep their order. Both lists sort the counted
// stocks this way first, in place, as the page does with g_StockActivity.
void SortStocksByCount(std::vector<CStockDayRow>& stocks);

// List 1119: every stock of `stocks` counted more than once on which some branch
// bought in two or more seats of its newest listings. `windowStart` is the counted
// window's oldest day (CountedWindowStart).
SustainedStockList ScanSustainedStocks(CADODataBase& db, std::vector<CStockDayRow>& stocks,
                                       const std::string& windowStart);

// List 1120: for every such stock (only `onlyCode` when given), each branch that bought
// in two or more seats, with as many of its newest listings on the stock as it has
// buying seats there. `today` colours today's dates ("" colours none); the branch marks
// are read from `custom` when there is a row to colour.
SustainedBranchList FillSustainedBranchList(CADODataBase& db, CADODataBase& custom, std::vector<CStockDayRow>& stocks,
                                            const std::string& windowStart, const std::optional<std::string>& onlyCode,
                                            const std::string& today);

// Margin buying (button 1004): every listing whose reason names it, newest first, with
// its first buying seat and that seat's buy amount ("%0.0f").
SustainedBranchList LoadMarginBuying(CADODataBase& db);

// The clipboard text of button 1008: ", " before every code ("" for none).
std::string SustainedCodesText(const std::vector<std::string>& codes);
