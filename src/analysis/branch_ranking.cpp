#include "analysis/branch_ranking.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory_resource>
#include <numeric>
#include <span>

#include "platform/app_paths.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/side_by_side.h"
#include "records/branch_marks.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"
#include "storage/file_io.h"
#include "storage/gbk_format.h"
#include "storage/row_cursor.h"
#include "storage/rowid_stretches.h"

namespace {

// The ten seats of one day: name and code, then name/buy/sell per seat, Buy1..Sell5.
const std::string kDaySeatsQuery =
    "SELECT " + std::string(kBuySeatColumns) + ", "
    "Sell1_YYB_Name, Sell1_YYB_BuyAmount, Sell1_YYB_SellAmount, "
    "Sell2_YYB_Name, Sell2_YYB_BuyAmount, Sell2_YYB_SellAmount, "
    "Sell3_YYB_Name, Sell3_YYB_BuyAmount, Sell3_YYB_SellAmount, "
    "Sell4_YYB_Name, Sell4_YYB_BuyAmount, Sell4_YYB_SellAmount, "
    "Sell5_YYB_Name, Sell5_YYB_BuyAmount, Sell5_YYB_SellAmount "
    "FROM StockInfo WHERE SB_Date = ? ORDER BY rowid";

// The day and buy seats of the listings of a stretch of rowids with a buy seat above
// the threshold, read in table order: a plain pass over the file instead of a look-up
// per listing through the day index. The fold's order (newest day first, rowid order
// within a day) is put together afterwards.
const std::string kBigBuyersQuery =
    "SELECT SB_Date, " + std::string(kBuySeatColumns) + " "
    "FROM StockInfo WHERE rowid BETWEEN ? AND ? AND (Buy1_YYB_BuyAmount>? OR Buy2_YYB_BuyAmount>? "
    "OR Buy3_YYB_BuyAmount>? OR Buy4_YYB_BuyAmount>? OR Buy5_YYB_BuyAmount>?) ORDER BY rowid";

constexpr const char* kCaption = "系统提示";

bool IsWeekend(std::int64_t dayNumber) {
  const int weekday = CivilFromDays(dayNumber).dayOfWeek;
  return weekday == 0 || weekday == 6;
}

std::string DayOf(std::int64_t dayNumber) {
  const LocalTime civil = CivilFromDays(dayNumber);
  return DayText(civil.year, civil.month, civil.day);
}

void Sort(BranchFold& totals, int mode, BranchRankingResult& result) {
  result.branchesBeforeSort = static_cast<int>(totals.size());
  totals.SortBranches(mode);
}

BranchRankingResult Failed(BranchFold& totals, BranchRankingResult result, std::string error) {
  totals.Clear();
  result.status = RankingStatus::QueryFailed;
  result.error = std::move(error);
  return result;
}

BranchRankingResult RankOneDay(CADODataBase& db, const std::string& day, int mode, BranchFold& totals) {
  BranchRankingResult result;
  totals.Clear();
  result.walk.days.push_back(day);
  result.walk.complete = true;
  std::string error;
  if (!LoadDaySeats(db, day, totals, error)) return Failed(totals, std::move(result), std::move(error));
  Sort(totals, mode, result);
  return result;
}

}  // namespace

std::string TruncatedText(double value) {
  double truncated = std::trunc(value);
  if (std::isnan(truncated)) truncated = 0;
  truncated = std::fmax(truncated, static_cast<double>(std::numeric_limits<int>::min()));
  truncated = std::fmin(truncated, static_cast<double>(std::numeric_limits<int>::max()));
  return std::to_string(static_cast<int>(truncated));
}

BranchRankingRow MakeRankingRow(int number, const CBranchTotalsRow& row, const BranchMarks& marks) {
  BranchRankingRow out;
  out.cells[0] = std::to_string(number + 1);
  out.cells[1] = row.YYBName;
  out.cells[2] = TruncatedText(row.TotalBuy);
  out.cells[3] = TruncatedText(row.TotalSell);
  out.cells[4] = TruncatedText(row.NetBuy);
  out.cells[5] = TruncatedText(row.TotalBuySell);
  out.cells[6] = std::to_string(row.nCount);
  const double average = row.LargeTradeSum / (row.LargeTradeCount == 0 ? 1 : row.LargeTradeCount);
  out.cells[7] = TruncatedText(average);
  out.cells[8] = std::to_string(row.StockNames.size());
  out.nameColour = marks.Colour(row.YYBName);
  out.netColour = row.NetBuy > 0.0000001 ? kNetBuyColour : kNetSellColour;
  out.averageColour = AmountColourClass(average);
  return out;
}

std::string RankingFileHeader() {
  return FormatGbkBytes(" %-3s  %-60s %-10s  %-10s  %-10s  %-10s  %-10s  %-10s \n", "序号", "敢死队 营业部名称",
                        "总买入", "总卖出", "总净买", "总买卖", "上榜次数", "买卖股票数量");
}

std::string RankingFileLine(const BranchRankingRow& row) {
  std::string line = FormatGbkBytes(" %-3s ", row.cells[0]);
  line += FormatGbkBytes(" %-60s ", row.cells[1]);
  for (int c = 2; c <= 6; ++c) line += FormatGbkBytes(" %-10s ", row.cells[static_cast<std::size_t>(c)]);
  line += FormatGbkBytes(" %-10s \n", row.cells[8]);
  return line;
}

BranchRankingView BuildRankingView(const std::vector<CBranchTotalsRow>& rows, const BranchMarks& marks) {
  BranchRankingView view;
  view.fileBytes = RankingFileHeader();
  const std::size_t shown = std::min(rows.size(), static_cast<std::size_t>(kRankingRowLimit));
  view.rows.reserve(shown);
  for (std::size_t i = 0; i < shown; ++i) {
    view.rows.push_back(MakeRankingRow(static_cast<int>(i), rows[i], marks));
    view.fileBytes += RankingFileLine(view.rows.back());
  }
  return view;
}

std::string RankingFilePath() { return AppPath(kRankingFileName); }

bool WriteRankingFile(const std::string& bytes) {
  // Written again by every ranking: renamed into place whole, without waiting for the disk.
  if (ReplaceFileContents(RankingFilePath(), bytes, FileSync::Deferred)) return true;
  MessageBox(kRankingFileFailedText, kCaption, MB_OK | MB_ICONWARNING);
  return false;
}

namespace {

// Folds the rows of an opened day query (name, code, then name/buy/sell per seat).
bool FoldDaySeats(RowCursor& cursor, BranchFold& totals, std::string& error) {
  while (cursor.Next()) {
    const std::string_view name = cursor.Text(0), code = cursor.Text(1);
    for (int seat = 0; seat < 10; ++seat) {
      const int column = 2 + seat * 3;
      totals.AddSeat(cursor.Text(column), name, code, cursor.Double(column + 1), cursor.Double(column + 2));
    }
  }
  if (!cursor.Failed()) return true;
  error = cursor.ErrorText();
  return false;
}

// Runs the day query for `day` on `cursor` (prepared on the first day only).
bool OpenDay(RowCursor& cursor, const std::string& day, std::string& error) {
  const bool opened = cursor.Run(kDaySeatsQuery, {day});
  if (!opened) error = cursor.ErrorText();
  return opened;
}

// The tags of the big buyers' days by how they are stored.
constexpr char kNumberTag = 'n', kTextTag = 't', kBlobTag = 'b';

// A day stored as a number: an integer exactly, else a real.
struct DayValue {
  bool integer = false;
  std::int64_t whole = 0;
  long double value = 0;
};

DayValue DayValueOf(std::string_view text) {
  DayValue day;
  const char* end = text.data() + text.size();
  const auto parsed = std::from_chars(text.data(), end, day.whole);
  day.integer = parsed.ec == std::errc{} && parsed.ptr == end;
  if (day.integer) {
    day.value = static_cast<long double>(day.whole);
  } else {
    double real = 0;
    std::from_chars(text.data(), end, real);
    day.value = real;
  }
  return day;
}

// Compares two tagged days as ORDER BY compares the cells (below 0, 0 or above 0):
// numbers, by value, before texts before blobs; texts and blobs bytewise.
int DayOrder(std::string_view a, std::string_view b) {
  const auto rank = [](char tag) { return tag == kNumberTag ? 0 : tag == kTextTag ? 1 : 2; };
  if (a[0] != b[0]) return rank(a[0]) - rank(b[0]);
  const bool numbers = a[0] == kNumberTag;
  a.remove_prefix(1);
  b.remove_prefix(1);
  if (!numbers) return a.compare(b);
  const DayValue x = DayValueOf(a), y = DayValueOf(b);
  if (x.integer && y.integer) return (x.whole > y.whole) - (x.whole < y.whole);
  return (x.value > y.value) - (x.value < y.value);
}

// The seats above the threshold of one stretch of rowids, kept in table order.
class BigBuyerSeats {
 public:
  // Reads the listings of rowids first..last; false on a failed read (`error` set).
  bool Read(CADODataBase& db, std::int64_t first, std::int64_t last, double bound, float threshold) {
    RowCursor cursor(db);
    if (cursor.Open(kBigBuyersQuery, {first, last, bound, bound, bound, bound, bound})) {
      while (cursor.Next()) Keep(cursor, threshold);
    }
    if (!cursor.Failed()) return true;
    error_ = cursor.ErrorText();
    return false;
  }
  const std::string& Error() const { return error_; }

  // Folds the seats of `parts` (stretches in rowid order) in the order the fold has
  // always seen them: by day descending as the database orders it (days stored as
  // blobs first, then texts compared bytewise, then numbers by value, a listing
  // without a day last), rowid order within a day. The same seats in the same order
  // give the same sums, the same pairs met twice and the same order of last update.
  static void Fold(std::span<const BigBuyerSeats> parts, BranchFold& totals);

 private:
  static constexpr int kNoDay = DayNumbers::kNoDay;
  // Listing days below kNoDay are days not stored as texts: kOtherDay - their number.
  static constexpr int kOtherDay = kNoDay - 1;
  struct Seat {
    int branch;  // into branches_
    double buy, sell;
  };
  struct Listing {
    int day = kNoDay;              // into days_
    std::uint32_t nameLength = 0;  // the name's bytes at `stock`, then the code's up to the next listing's
    std::size_t stock = 0;
    std::size_t firstSeat = 0;  // its seats: up to the next listing's first
  };

  // Keeps the seats of the cursor's listing (SB_Date, then the kBuySeatColumns)
  // whose buy is above `threshold`.
  void Keep(const RowCursor& cursor, float threshold) {
    const std::size_t firstSeat = seats_.size();
    for (int seat = 0; seat < 5; ++seat) {
      const int column = 3 + seat * 3;
      const double buy = cursor.Double(column + 1);
      if (!(buy > threshold)) continue;
      const int branch = branches_.Id(cursor.Text(column));
      // The fold passes over a seat without a name.
      if (branch != NameTable::kNone) seats_.push_back({branch, buy, cursor.Double(column + 2)});
    }
    if (seats_.size() == firstSeat) return;
    Listing& listing = listings_.emplace_back();
    listing.firstSeat = firstSeat;
    listing.day = DayOf(cursor);
    // The stock's name and code, one after the other in the text store.
    const std::string_view name = cursor.Text(1), code = cursor.Text(2);
    listing.stock = stockTexts_.size();
    listing.nameLength = static_cast<std::uint32_t>(name.size());
    stockTexts_ += name;
    stockTexts_ += code;
  }

  // The number of the cursor's day (column 0). A day stored as a number or a blob (a
  // file edited by another tool) is kept apart from the texts, under its class's tag.
  int DayOf(const RowCursor& cursor) {
    const RowCursor::CellClass kind = cursor.ClassOf(0);
    if (kind == RowCursor::CellClass::Text || kind == RowCursor::CellClass::Null) return days_.Of(cursor, 0);
    std::string tagged(1, kind == RowCursor::CellClass::Blob ? kBlobTag : kNumberTag);
    tagged += cursor.Text(0);
    return kOtherDay - otherDays_.Id(tagged);
  }

  // Folds listing `i`'s seats; `rows` by branch number, as AddSeat keeps them.
  void FoldListing(std::size_t i, std::vector<std::uint32_t>& rows, BranchFold& totals) const {
    const Listing& listing = listings_[i];
    const bool last = i + 1 == listings_.size();
    const std::size_t end = last ? seats_.size() : listings_[i + 1].firstSeat;
    const std::string_view texts = stockTexts_;
    const std::size_t textEnd = last ? texts.size() : listings_[i + 1].stock;
    const std::string_view name = texts.substr(listing.stock, listing.nameLength);
    const std::string_view code = texts.substr(listing.stock + listing.nameLength,
                                               textEnd - listing.stock - listing.nameLength);
    for (std::size_t s = listing.firstSeat; s < end; ++s) {
      const Seat& seat = seats_[s];
      totals.AddSeat(rows[static_cast<std::size_t>(seat.branch)], branches_.Name(seat.branch), name, code, seat.buy,
                     seat.sell);
    }
  }

  NameTable branches_;
  DayNumbers days_;
  NameTable otherDays_;  // tagged as in DayOrder
  // The large buffers in memory of the part's own: it is filled on a thread of its own.
  PartMemory memory_;
  std::pmr::string stockTexts_{memory_.Resource()};
  std::pmr::vector<Seat> seats_{memory_.Resource()};
  std::pmr::vector<Listing> listings_{memory_.Resource()};
  std::string error_;
};

void BigBuyerSeats::Fold(std::span<const BigBuyerSeats> parts, BranchFold& totals) {
  // Every part's days numbered once over all parts, each under its class's tag.
  NameTable days;
  std::vector<std::vector<int>> dayOf(parts.size()), otherDayOf(parts.size());
  std::string tagged;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    for (const std::string& day : parts[p].days_.Days()) {
      tagged.assign(1, kTextTag);
      dayOf[p].push_back(days.Id(tagged += day));
    }
    for (std::size_t i = 0; i < parts[p].otherDays_.size(); ++i) {
      otherDayOf[p].push_back(days.Id(parts[p].otherDays_.Name(static_cast<int>(i))));
    }
  }
  // The days newest first; days of equal value (an integer and a real) share a place,
  // so that their listings keep table order between them. The listings without a day
  // come last.
  std::vector<std::size_t> dayOrder(days.size());
  std::iota(dayOrder.begin(), dayOrder.end(), std::size_t{0});
  const auto compare = [&days](std::size_t a, std::size_t b) {
    return DayOrder(days.Name(static_cast<int>(a)), days.Name(static_cast<int>(b)));
  };
  std::sort(dayOrder.begin(), dayOrder.end(), [&compare](std::size_t a, std::size_t b) { return compare(a, b) > 0; });
  std::vector<std::size_t> placeOfDay(days.size());
  std::size_t places = 0;
  for (std::size_t i = 0; i < dayOrder.size(); ++i) {
    if (i > 0 && compare(dayOrder[i - 1], dayOrder[i]) != 0) ++places;
    placeOfDay[dayOrder[i]] = places;
  }
  const std::size_t noDay = dayOrder.empty() ? 0 : places + 1;
  auto place = [&](std::size_t p, const Listing& listing) {
    if (listing.day == kNoDay) return noDay;
    const int day = listing.day >= 0 ? dayOf[p][static_cast<std::size_t>(listing.day)]
                                     : otherDayOf[p][static_cast<std::size_t>(kOtherDay - listing.day)];
    return placeOfDay[static_cast<std::size_t>(day)];
  };
  // The listings by place of their day, each day's in table order (a counting sort).
  std::vector<std::size_t> starts(noDay + 2, 0);
  for (std::size_t p = 0; p < parts.size(); ++p) {
    for (const Listing& listing : parts[p].listings_) ++starts[place(p, listing) + 1];
  }
  for (std::size_t i = 1; i < starts.size(); ++i) starts[i] += starts[i - 1];
  std::vector<std::pair<std::uint32_t, std::uint32_t>> order(starts.back());
  for (std::size_t p = 0; p < parts.size(); ++p) {
    for (std::size_t i = 0; i < parts[p].listings_.size(); ++i) {
      order[starts[place(p, parts[p].listings_[i])]++] = {static_cast<std::uint32_t>(p), static_cast<std::uint32_t>(i)};
    }
  }
  // The row of each part's branch, found on its first seat there.
  std::vector<std::vector<std::uint32_t>> rows(parts.size());
  for (std::size_t p = 0; p < parts.size(); ++p) rows[p].assign(parts[p].branches_.size(), BranchFold::kUnknownRow);
  for (const auto& [p, i] : order) parts[p].FoldListing(i, rows[p], totals);
}

}  // namespace

bool LoadDaySeats(CADODataBase& db, const std::string& day, BranchFold& totals, std::string& error) {
  RowCursor cursor(db);
  return OpenDay(cursor, day, error) && FoldDaySeats(cursor, totals, error);
}

BranchRankingResult RankToday(CADODataBase& db, const std::string& today, BranchFold& totals) {
  const std::optional<std::int64_t> number = DayNumberOf(today);
  if (!number || IsWeekend(*number)) {
    totals.Clear();
    BranchRankingResult result;
    result.status = RankingStatus::NothingToRank;
    return result;
  }
  return RankOneDay(db, DayOf(*number), kBranchSortByTimes, totals);
}

BranchRankingResult RankYesterday(CADODataBase& db, const std::string& today, BranchFold& totals) {
  const std::optional<std::int64_t> number = DayNumberOf(today);
  if (!number) {
    totals.Clear();
    BranchRankingResult result;
    result.status = RankingStatus::NothingToRank;
    return result;
  }
  std::int64_t day = *number - 1;
  while (IsWeekend(day)) --day;
  return RankOneDay(db, DayOf(day), kBranchSortByTotalBuy, totals);
}

BranchRankingResult RankDay(CADODataBase& db, const std::string& day, BranchFold& totals) {
  return RankOneDay(db, day, kBranchSortByTotalBuy, totals);
}

float BigBuyerThreshold(const std::string& text) {
  // atof: leading blanks, an optional sign, then as much of a number as there is.
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0f;  // a second sign: no number
  double value = 0;
  const char* begin = text.data() + i;
  const auto parsed = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
  if (parsed.ec != std::errc{} && parsed.ec != std::errc::result_out_of_range) value = 0;
  return static_cast<float>(negative ? -value : value);
}

BranchRankingResult QueryBigBuyers(CADODataBase& db, const std::string& thresholdText, BranchFold& totals,
                                   unsigned readers) {
  BranchRankingResult result;
  result.walk.complete = true;
  totals.Clear();
  const float threshold = BigBuyerThreshold(thresholdText);
  // The query compares with the threshold as its "%0.3f" text gives it.
  char text[64];
  std::snprintf(text, sizeof text, "%0.3f", static_cast<double>(threshold));
  double bound = 0;
  std::from_chars(text, text + std::char_traits<char>::length(text), bound);
  // The pass over the file is most of the time: its stretches are read side by side.
  if (readers == 0) readers = SideBySideParts();
  std::vector<BigBuyerSeats> parts(readers);
  std::vector<char> read(parts.size(), 0);
  std::string error;
  const int stretches = ReadRowidStretches(
      db, "StockInfo", readers,
      [&](unsigned k, std::int64_t first, std::int64_t last) {
        read[k] = parts[k].Read(db, first, last, bound, threshold);
      },
      error);
  if (stretches < 0) return Failed(totals, std::move(result), std::move(error));
  const std::span<const BigBuyerSeats> stretchesRead(parts.data(), static_cast<std::size_t>(stretches));
  for (std::size_t k = 0; k < stretchesRead.size(); ++k) {
    if (!read[k]) return Failed(totals, std::move(result), parts[k].Error());
  }
  BigBuyerSeats::Fold(stretchesRead, totals);
  Sort(totals, kBranchSortByTimes, result);
  return result;
}

BranchRankingResult MergeDays(CADODataBase& db, const std::string& today, int days, int sortMode,
                              BranchFold& totals) {
  BranchRankingResult result;
  totals.Clear();
  result.walk = WalkTradingDays(db, today, days, DayDataTest::Buy1);
  if (result.walk.queryFailed) {
    std::string error = result.walk.error;
    return Failed(totals, std::move(result), std::move(error));
  }
  if (!result.walk.complete) {
    result.status = RankingStatus::NotEnoughDays;
    return result;
  }
  std::string error;
  RowCursor cursor(db);
  for (const std::string& day : result.walk.days) {
    if (!OpenDay(cursor, day, error) || !FoldDaySeats(cursor, totals, error))
      return Failed(totals, std::move(result), std::move(error));
  }
  Sort(totals, sortMode, result);
  return result;
}

std::string SortingText(int mode, int branches) {
  return "Mode=" + std::to_string(mode) + " ,Size=" + std::to_string(branches) + ",正在排序..... ";
}

std::string NotEnoughDaysText(int daysFound) { return "数据不足：只找到" + std::to_string(daysFound) + "个交易日"; }
