#include "analysis/sustained_buy.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "analysis/branch_ranking.h"
#include "platform/clock.h"
#include "records/branch_marks.h"
#include "storage/day_range.h"
#include "storage/gbk_format.h"
#include "storage/row_cursor.h"
#include "storage/text_hash.h"

const std::array<const char*, kSustainedChoiceCount> kSustainedChoiceTexts = {"2 日", "3 日", "4 日", "5 日",
                                                                              "6 日", "10 日", "20 日"};
const std::array<int, kSustainedChoiceCount> kSustainedChoiceDays = {2, 3, 4, 5, 6, 10, 20};

namespace {

constexpr int kSeatCount = 10;
constexpr int kBuySeats = 5;

// Columns of the listing reads: code, date, name, the ten seat names (Buy1..Buy5,
// Sell1..Sell5), their buy amounts and their sell amounts in the same order.
#define SEAT_COLUMNS(suffix)                                                                       \
  "Buy1_YYB_" suffix ", Buy2_YYB_" suffix ", Buy3_YYB_" suffix ", Buy4_YYB_" suffix ", Buy5_YYB_" suffix \
  ", Sell1_YYB_" suffix ", Sell2_YYB_" suffix ", Sell3_YYB_" suffix ", Sell4_YYB_" suffix ", Sell5_YYB_" suffix
constexpr const char* kListingColumns =
    "SELECT StockCode, SB_Date, StockName, " SEAT_COLUMNS("Name") ", " SEAT_COLUMNS("BuyAmount") ", " SEAT_COLUMNS(
        "SellAmount") " FROM StockInfo ";
#undef SEAT_COLUMNS
constexpr int kNameColumn = 3;
constexpr int kBuyColumn = kNameColumn + kSeatCount;
constexpr int kSellColumn = kBuyColumn + kSeatCount;

// The index's own order, newest day first and the rows of a day backwards: the rows of
// each day are turned round after the read (a sort by rowid within the day would copy
// every row through a sorter).
std::string WindowQuery() {
  return std::string(kListingColumns) + "WHERE SB_Date >= ? ORDER BY SB_Date DESC, rowid DESC";
}
// A stock's newest listings older than the window, through the code's index.
std::string NewestOlderQuery() {
  return std::string(kListingColumns) + "WHERE StockCode = ? AND SB_Date < ? ORDER BY SB_Date DESC, rowid LIMIT ?";
}

// All of them, in the index's own order (the rows of a day backwards), read only as far
// as needed: no sorter is set up for each of these short reads.
std::string OlderQuery() {
  return std::string(kListingColumns) + "WHERE StockCode = ? AND SB_Date < ? ORDER BY SB_Date DESC, rowid DESC";
}

struct Listing {
  std::string date;
  std::string stockName;
  std::array<int, kSeatCount> seats{};
  std::array<double, kSeatCount> buy{};
  std::array<double, kSeatCount> sell{};
};

Listing ReadListing(const RowCursor& cursor, NameTable& names) {
  Listing listing;
  listing.date.assign(cursor.Text(1));
  listing.stockName.assign(cursor.Text(2));
  for (int s = 0; s < kSeatCount; ++s) {
    const auto i = static_cast<std::size_t>(s);
    listing.seats[i] = names.Id(cursor.Text(kNameColumn + s));
    listing.buy[i] = cursor.Double(kBuyColumn + s);
    listing.sell[i] = cursor.Double(kSellColumn + s);
  }
  return listing;
}

template <typename Row>
SustainedList<Row> Failed(std::string error) {
  SustainedList<Row> list;
  list.queryFailed = true;
  list.error = std::move(error);
  return list;
}

// The counted stocks' listings from the window start on, newest first, per stock.
class WindowListings {
 public:
  WindowListings(CADODataBase& db, const std::vector<CStockDayRow>& stocks, std::string windowStart)
      : db_(db), stocks_(stocks), windowStart_(std::move(windowStart)), newestOlder_(db), older_(db) {}

  // Reads the window for the stocks counted at least twice (only `onlyCode` if given).
  bool Read(const std::optional<std::string>& onlyCode) {
    TextMap<std::size_t> wanted;
    for (std::size_t i = 0; i < stocks_.size(); ++i) {
      const CStockDayRow& stock = stocks_[i];
      if (stock.nCount < 2 || (onlyCode && stock.StockCode != *onlyCode)) continue;
      wanted.try_emplace(stock.StockCode, i);
    }
    listings_.assign(stocks_.size(), {});
    if (wanted.empty()) return true;
    // A stock's listings in the window are about its count.
    for (const auto& [code, i] : wanted) listings_[i].reserve(static_cast<std::size_t>(stocks_[i].nCount));
    RowCursor cursor(db_, WindowQuery(), {windowStart_});
    while (cursor.Next()) {
      const auto it = wanted.find(cursor.Text(0));
      if (it == wanted.end()) continue;
      listings_[it->second].push_back(ReadListing(cursor, names_));
    }
    if (!Check(cursor)) return false;
    // Each stock's listings of one day, newest day first, into rowid order.
    for (std::vector<Listing>& listings : listings_) {
      for (auto day = listings.begin(); day != listings.end();) {
        const auto next = std::find_if(day, listings.end(), [&](const Listing& l) { return l.date != day->date; });
        std::reverse(day, next);
        day = next;
      }
    }
    return true;
  }

  const std::vector<Listing>& Of(std::size_t stock) const { return listings_[stock]; }
  NameTable& Names() { return names_; }
  const std::string& Error() const { return error_; }

  // The newest `k` listings of the stock, reading past the window when it holds fewer.
  bool Newest(std::size_t stock, int k, std::vector<const Listing*>& out) {
    out.clear();
    const std::vector<Listing>& inWindow = listings_[stock];
    for (const Listing& listing : inWindow) {
      if (static_cast<int>(out.size()) == k) return true;
      out.push_back(&listing);
    }
    const int missing = k - static_cast<int>(out.size());
    if (missing <= 0) return true;
    olderListings_.clear();
    RowCursor& cursor = newestOlder_;
    if (!Run(cursor, NewestOlderQuery(), {stocks_[stock].StockCode, windowStart_, missing})) return false;
    while (cursor.Next()) olderListings_.push_back(ReadListing(cursor, names_));
    if (!Check(cursor)) return false;
    for (const Listing& listing : olderListings_) out.push_back(&listing);
    return true;
  }

  // Calls `take` with the stock's listings where `branch` holds a seat, newest first,
  // until it has taken `m` of them, reading past the window when needed.
  template <typename Take>
  bool ListingsOfBranch(std::size_t stock, int branch, int m, Take take) {
    int taken = 0;
    for (const Listing& listing : listings_[stock]) {
      if (taken == m) return true;
      if (HoldsSeat(listing, branch)) {
        take(listing);
        ++taken;
      }
    }
    if (taken >= m) return true;
    RowCursor& cursor = older_;
    if (!Run(cursor, OlderQuery(), {stocks_[stock].StockCode, windowStart_})) return false;
    // A copy: the listings read below add their names to the table, which then moves
    // the names it holds.
    const std::string name = names_.Name(branch);
    // The branch's listings of one day, taken in rowid order once the day is read.
    std::vector<Listing>& day = olderDay_;
    day.clear();
    std::string dayText;
    const auto takeDay = [&] {
      for (auto it = day.rbegin(); it != day.rend() && taken < m; ++it, ++taken) take(*it);
      day.clear();
    };
    while (taken < m && cursor.Next()) {
      if (cursor.Text(1) != dayText) {
        takeDay();
        dayText.assign(cursor.Text(1));
        if (taken >= m) break;
      }
      bool holds = false;
      for (int s = 0; s < kSeatCount && !holds; ++s) holds = cursor.Text(kNameColumn + s) == name;
      if (holds) day.push_back(ReadListing(cursor, names_));
    }
    if (!Check(cursor)) return false;
    takeDay();
    return true;
  }

 private:
  static bool HoldsSeat(const Listing& listing, int branch) {
    return std::find(listing.seats.begin(), listing.seats.end(), branch) != listing.seats.end();
  }
  bool Run(RowCursor& cursor, const std::string& sql, const std::vector<DbValue>& params) {
    const bool opened = cursor.Run(sql, params);
    return Check(cursor) && opened;
  }
  bool Check(const RowCursor& cursor) {
    if (!cursor.Failed()) return true;
    error_ = cursor.ErrorText();
    return false;
  }

  CADODataBase& db_;
  const std::vector<CStockDayRow>& stocks_;
  std::string windowStart_;
  NameTable names_;
  std::vector<std::vector<Listing>> listings_;
  // The reads past the window: the newest listings missing, and a branch's listings.
  RowCursor newestOlder_;
  RowCursor older_;
  std::vector<Listing> olderListings_;
  std::vector<Listing> olderDay_;
  std::string error_;
};

// One branch's seats over a stock's listings.
struct SeatCount {
  int branch = NameTable::kNone;
  int times = 0;     // every seat it held
  int buyTimes = 0;  // buying seats above the floor
};

// Folds every seat of `listings` (in their order, Buy1..Buy5 then Sell1..Sell5) into one
// count per branch, in the order branches are first met, then sorts them by buying
// seats, descending (equal counts keep that order). `position` maps a branch number to
// its count and is left all -1 again.
std::vector<SeatCount> CountSeats(const std::vector<const Listing*>& listings, std::vector<int>& position,
                                  std::size_t nameCount) {
  if (position.size() < nameCount) position.resize(nameCount, -1);
  std::vector<SeatCount> counts;
  for (const Listing* listing : listings) {
    for (int s = 0; s < kSeatCount; ++s) {
      const auto i = static_cast<std::size_t>(s);
      const int branch = listing->seats[i];
      if (branch == NameTable::kNone) continue;
      int& at = position[static_cast<std::size_t>(branch)];
      if (at < 0) {
        at = static_cast<int>(counts.size());
        counts.push_back({branch, 0, 0});
      }
      SeatCount& count = counts[static_cast<std::size_t>(at)];
      count.times += 1;
      if (s < kBuySeats && listing->buy[i] > kSustainedSeatFloor) count.buyTimes += 1;
    }
  }
  for (const SeatCount& count : counts) position[static_cast<std::size_t>(count.branch)] = -1;
  std::stable_sort(counts.begin(), counts.end(),
                   [](const SeatCount& a, const SeatCount& b) { return a.buyTimes > b.buyTimes; });
  return counts;
}

SustainedBranchRow MakeBranchRow(int number, const Listing& listing, const std::string& code,
                                 const std::string& branchName, int branch, const std::string& today) {
  double b1 = 0, s1 = 0, b2 = 0, s2 = 0;
  for (int s = 0; s < kSeatCount; ++s) {
    const auto i = static_cast<std::size_t>(s);
    if (listing.seats[i] != branch) continue;
    // The last matching seat of each half wins.
    (s < kBuySeats ? b1 : b2) = listing.buy[i];
    (s < kBuySeats ? s1 : s2) = listing.sell[i];
  }
  // A branch met in both halves with the same figures is one seat seen twice.
  const bool sameSeat = b1 == b2 && s1 == s2;
  const double buy = sameSeat ? b1 : b1 + b2;
  const double sell = sameSeat ? s1 : s1 + s2;
  const double net = sameSeat ? b1 - s1 : (b1 - s1) + (b2 - s2);
  SustainedBranchRow row;
  row.cells[0] = std::to_string(number + 1);
  row.cells[1] = listing.date;
  row.cells[2] = listing.stockName;
  row.cells[3] = code;
  row.cells[4] = branchName;
  row.cells[5] = TruncatedText(buy);
  row.cells[6] = TruncatedText(sell);
  row.cells[7] = TruncatedText(net);
  if (!today.empty() && listing.date == today) row.dateColour = kSustainedTodayColour;
  // The net is shown truncated; its colour follows what is shown.
  row.netColour = std::trunc(net) > 0.0000001 ? kSustainedNetBuyColour : kSustainedNetSellColour;
  return row;
}

}  // namespace

int SustainedDaysOfChoice(int index) {
  if (index < 0 || index >= kSustainedChoiceCount) index = 0;
  return kSustainedChoiceDays[static_cast<std::size_t>(index)];
}

std::string CountedWindowStart(const std::string& today, int dayOffset) {
  const std::optional<std::int64_t> number = DayNumberOf(today);
  if (!number || dayOffset <= 0) return {};
  const LocalTime civil = CivilFromDays(*number - (dayOffset - 1));
  return DayText(civil.year, civil.month, civil.day);
}

std::string SustainedTodayText(const IClock& clock) {
  const LocalTime now = clock.Now();
  if (now.dayOfWeek == 0 || now.dayOfWeek == 6) return {};
  return DayText(now.year, now.month, now.day);
}

void SortStocksByCount(std::vector<CStockDayRow>& stocks) {
  std::stable_sort(stocks.begin(), stocks.end(),
                   [](const CStockDayRow& a, const CStockDayRow& b) { return a.nCount > b.nCount; });
}

SustainedStockList ScanSustainedStocks(CADODataBase& db, std::vector<CStockDayRow>& stocks,
                                       const std::string& windowStart) {
  SortStocksByCount(stocks);
  WindowListings window(db, stocks, windowStart);
  if (!window.Read(std::nullopt)) return Failed<SustainedStockRow>(window.Error());

  SustainedStockList list;
  std::unordered_set<std::string> listed;  // date and code of every row
  std::vector<const Listing*> newest;
  std::vector<int> position;
  for (std::size_t i = 0; i < stocks.size(); ++i) {
    const CStockDayRow& stock = stocks[i];
    if (stock.nCount <= 1) continue;
    if (!window.Newest(i, stock.nCount, newest)) return Failed<SustainedStockRow>(window.Error());
    if (newest.empty()) continue;
    const std::vector<SeatCount> counts = CountSeats(newest, position, window.Names().size());
    // Sorted by buying seats: the first branch decides, and supplies the count shown.
    if (counts.empty() || counts.front().buyTimes <= 1) continue;
    const std::string& date = newest.front()->date;
    if (!listed.insert(date + '\n' + stock.StockCode).second) continue;
    SustainedStockRow row;
    row.cells = {std::to_string(list.rows.size() + 1), date, stock.StockName, stock.StockCode,
                 std::to_string(counts.front().times)};
    list.rows.push_back(std::move(row));
  }
  return list;
}

SustainedBranchList FillSustainedBranchList(CADODataBase& db, CADODataBase& custom, std::vector<CStockDayRow>& stocks,
                                            const std::string& windowStart, const std::optional<std::string>& onlyCode,
                                            const std::string& today) {
  SortStocksByCount(stocks);
  WindowListings window(db, stocks, windowStart);
  if (!window.Read(onlyCode)) return Failed<SustainedBranchRow>(window.Error());

  SustainedBranchList list;
  std::vector<const Listing*> newest;
  std::vector<int> position;
  for (std::size_t i = 0; i < stocks.size(); ++i) {
    const CStockDayRow& stock = stocks[i];
    if (stock.nCount < 2 || (onlyCode && stock.StockCode != *onlyCode)) continue;
    if (!window.Newest(i, stock.nCount, newest)) return Failed<SustainedBranchRow>(window.Error());
    for (const SeatCount& count : CountSeats(newest, position, window.Names().size())) {
      if (count.buyTimes <= 1) break;
      const std::string branchName = window.Names().Name(count.branch);
      const bool read = window.ListingsOfBranch(i, count.branch, count.buyTimes, [&](const Listing& listing) {
        list.rows.push_back(MakeBranchRow(static_cast<int>(list.rows.size()), listing, stock.StockCode, branchName,
                                          count.branch, today));
      });
      if (!read) return Failed<SustainedBranchRow>(window.Error());
    }
  }
  if (!list.rows.empty()) {
    BranchMarks marks;
    marks.Load(custom);
    for (SustainedBranchRow& row : list.rows) row.branchColour = marks.Colour(row.cells[4]);
  }
  return list;
}

SustainedBranchList LoadMarginBuying(CADODataBase& db) {
  RowCursor cursor(db,
                   "SELECT SB_Date, StockName, StockCode, Buy1_YYB_Name, Buy1_YYB_BuyAmount FROM StockInfo "
                   "WHERE SB_Reason LIKE ? ORDER BY SB_Date DESC, rowid",
                   {std::string(kMarginBuyReasonPattern)});
  SustainedBranchList list;
  while (cursor.Next()) {
    SustainedBranchRow row;
    row.cells[0] = std::to_string(list.rows.size() + 1);
    for (int c = 0; c < 4; ++c) row.cells[static_cast<std::size_t>(c) + 1].assign(cursor.Text(c));
    row.cells[5] = FormatGbk("%0.0f", cursor.Double(4));
    list.rows.push_back(std::move(row));
  }
  if (cursor.Failed()) return Failed<SustainedBranchRow>(cursor.ErrorText());
  return list;
}

std::string SustainedCodesText(const std::vector<std::string>& codes) {
  std::string text;
  for (const std::string& code : codes) text += ", " + code;
  return text;
}
