#include "analysis/branch_ranking.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

#include "platform/app_paths.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "records/branch_marks.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"
#include "storage/file_io.h"
#include "storage/gbk_format.h"
#include "storage/row_cursor.h"

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

// The day and buy seats of every listing with one of them above the threshold, read
// in table order: a plain pass over the file instead of a look-up per listing through
// the day index. The fold's order (newest day first, rowid order within a day) is
// put together afterwards.
const std::string kBigBuyersQuery =
    "SELECT SB_Date, " + std::string(kBuySeatColumns) + " "
    "FROM StockInfo WHERE Buy1_YYB_BuyAmount>? OR Buy2_YYB_BuyAmount>? OR Buy3_YYB_BuyAmount>? "
    "OR Buy4_YYB_BuyAmount>? OR Buy5_YYB_BuyAmount>? ORDER BY rowid";

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

// The seats above the threshold kept in table order, folded afterwards in the order
// the fold has always seen them: by day text descending (a listing without a day
// last), rowid order within a day. The same seats in the same order give the same
// sums, the same pairs met twice and the same order of last update.
class BigBuyerSeats {
 public:
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
    int day = kNoDay;
    if (!cursor.IsNull(0)) {
      const std::string_view text = cursor.Text(0);
      if (lastDay_ == kNoDay || text != days_[static_cast<std::size_t>(lastDay_)]) {
        const auto [id, added] = dayIds_.Emplace(text, static_cast<std::uint32_t>(days_.size()));
        if (added) days_.emplace_back(text);
        lastDay_ = static_cast<int>(*id);
      }
      day = lastDay_;
    }
    listings_.push_back({day, stocks_.Id(cursor.Text(1)), stocks_.Id(cursor.Text(2)), firstSeat});
  }

  void Fold(BranchFold& totals) const {
    // Listings grouped by day, newest first (the texts compared bytewise, as the
    // database compares them), table order kept within a day; the listings without
    // a day at the end.
    std::vector<std::size_t> dayOrder(days_.size());
    std::iota(dayOrder.begin(), dayOrder.end(), std::size_t{0});
    std::sort(dayOrder.begin(), dayOrder.end(), [this](std::size_t a, std::size_t b) { return days_[a] > days_[b]; });
    std::vector<std::size_t> placeOfDay(days_.size() + 1);
    for (std::size_t i = 0; i < dayOrder.size(); ++i) placeOfDay[dayOrder[i]] = i;
    placeOfDay[days_.size()] = days_.size();
    auto place = [&placeOfDay, this](const Listing& listing) {
      return placeOfDay[listing.day == kNoDay ? days_.size() : static_cast<std::size_t>(listing.day)];
    };
    std::vector<std::size_t> starts(days_.size() + 2, 0);
    for (const Listing& listing : listings_) ++starts[place(listing) + 1];
    for (std::size_t i = 1; i < starts.size(); ++i) starts[i] += starts[i - 1];
    std::vector<std::uint32_t> order(listings_.size());
    for (std::size_t i = 0; i < listings_.size(); ++i) order[starts[place(listings_[i])]++] = static_cast<std::uint32_t>(i);

    for (const std::uint32_t i : order) {
      const Listing& listing = listings_[i];
      const std::size_t end = i + 1 < listings_.size() ? listings_[i + 1].firstSeat : seats_.size();
      for (std::size_t s = listing.firstSeat; s < end; ++s) {
        totals.AddSeat(branches_.Name(seats_[s].branch), Stock(listing.name), Stock(listing.code), seats_[s].buy,
                       seats_[s].sell);
      }
    }
  }

 private:
  struct Seat {
    int branch;
    double buy, sell;
  };
  struct Listing {
    int day;                // into days_, or kNoDay
    int name, code;         // into stocks_, or kNone for an empty text
    std::size_t firstSeat;  // its seats: up to the next listing's first
  };
  static constexpr int kNoDay = -1;

  std::string_view Stock(int id) const { return id == NameTable::kNone ? std::string_view() : stocks_.Name(id); }

  NameTable branches_, stocks_;
  TextIndex dayIds_;
  std::vector<std::string> days_;
  int lastDay_ = kNoDay;
  std::vector<Seat> seats_;
  std::vector<Listing> listings_;
};

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

BranchRankingResult QueryBigBuyers(CADODataBase& db, const std::string& thresholdText, BranchFold& totals) {
  BranchRankingResult result;
  result.walk.complete = true;
  totals.Clear();
  const float threshold = BigBuyerThreshold(thresholdText);
  // The query compares with the threshold as its "%0.3f" text gives it.
  char text[64];
  std::snprintf(text, sizeof text, "%0.3f", static_cast<double>(threshold));
  double bound = 0;
  std::from_chars(text, text + std::char_traits<char>::length(text), bound);
  BigBuyerSeats seats;
  {
    RowCursor cursor(db);
    if (!cursor.Open(kBigBuyersQuery, {bound, bound, bound, bound, bound}))
      return Failed(totals, std::move(result), cursor.ErrorText());
    while (cursor.Next()) seats.Keep(cursor, threshold);
    if (cursor.Failed()) return Failed(totals, std::move(result), cursor.ErrorText());
  }
  seats.Fold(totals);
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
