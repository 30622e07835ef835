#pragma once
// The stock activity ranking ("个股活跃榜"): every listing of the last N trading days
// folded into one row per stock (times listed and the money the ten seats moved),
// sorted, shown as at most 89 rows and written to "个股排行榜.txt" in the program
// folder; and the day totals of table TotalBuySell, for one day and for the latest days.
//
// A stock that receives a listing moves to the end of the order, as if its row were
// taken out and appended. Instead of moving rows, each fold stamps its row with a
// running number; the order of last update is rebuilt from the stamps before the rows
// are read or sorted. A stock is found through a hash of its code.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/trading_day_walk.h"
#include "platform/gdi_types.h"
#include "platform/win_types.h"
#include "storage/row_records.h"
#include "storage/text_hash.h"

class CADODataBase;

// The page's rows of the last ranking (one per stock), for the whole run.
extern std::vector<CStockDayRow> g_StockActivity;
// The last walk's counters: trading days found, calendar days stepped back.
extern int g_nActiveDaysFound;
extern int g_nActiveDayOffset;
// Set while a count asked for by the continuous-buying page is pending.
extern bool g_bNotifySustainedPage;

// Rows the ranking shows and writes.
inline constexpr int kStockRankingRowLimit = 89;
inline constexpr int kStockRankingColumnCount = 8;
// The file, directly in the program folder.
inline constexpr const char* kStockRankingFileName = "个股排行榜.txt";
inline constexpr const char* kStockRankingFileFailedText = "文件打开错误!";
// Cell colours of the ranking's net column and of the recent days' net column.
inline constexpr COLORREF kStockNetBuyColour = RGB(200, 0, 0);
inline constexpr COLORREF kStockNetSellColour = RGB(0, 200, 0);
// Text colours of the day totals' net edits.
inline constexpr COLORREF kDayNetUpColour = RGB(255, 0, 0);
inline constexpr COLORREF kDayNetDownColour = RGB(0, 255, 0);
// Days in the recent-days list.
inline constexpr int kRecentDayCount = 20;

// The sort keys, numbered like the ranking's list columns.
enum StockSortColumn {
  kStockSortByTimes = 3,
  kStockSortByTotalBuy = 4,
  kStockSortByTotalSell = 5,
  kStockSortByNet = 6,
  kStockSortByBuySell = 7,
};

// The combo's items (" 今日", " 2日", ... " 360日") and their day counts.
inline constexpr int kDayChoiceCount = 11;
extern const std::array<const char*, kDayChoiceCount> kDayChoiceTexts;
extern const std::array<int, kDayChoiceCount> kDayChoiceDays;
// N of combo index `index`; an index out of range gives the first item's.
int DaysOfChoice(int index);
// The combo index of N; -1 when the combo offers no such item.
int ChoiceOfDays(int days);
// How N reads in the combo: its item's text, or " N日" for a count it does not offer.
std::string DaysChoiceText(int days);

// One row per stock code, in the order of last update.
class StockActivityFold {
 public:
  void Clear();
  // One listing: buy and sell are its ten seats' sums. The code's row gains the
  // amounts and one listing and moves to the end; a new code is appended.
  void AddStockListing(std::string_view stockName, std::string_view stockCode, double buy, double sell);
  // The rows in the order of last update.
  std::vector<CStockDayRow> Rows() const;
  std::size_t size() const { return rows_.size(); }

 private:
  std::vector<CStockDayRow> rows_;
  std::vector<std::uint64_t> stamps_;
  TextMap<std::size_t> index_;
  std::uint64_t nextStamp_ = 0;
};

// Descending by the key of `column` (3-7; any other does nothing); equal keys keep
// their order.
void SortStockActivity(std::vector<CStockDayRow>& rows, int column);

enum class StockRankingStatus {
  Ranked,         // the rows hold the ranking, sorted
  NotEnoughDays,  // fewer than N days within the walk's bound: nothing is shown
  QueryFailed,    // a read failed: nothing is shown, `error` holds the text
};

struct StockRankingResult {
  StockRankingStatus status = StockRankingStatus::Ranked;
  std::vector<CStockDayRow> rows;  // sorted when Ranked, else empty
  TradingDayWalk walk;
  std::string error;
};

// Folds every listing of `day` (rowid order) into `fold`. False on a failed read.
bool LoadDayStocks(CADODataBase& db, const std::string& day, StockActivityFold& fold, std::string& error);

// The last `days` trading days from `today`: sorted by times listed, and a one-day
// ranking then by net. days <= 0 gives an empty ranking at once.
StockRankingResult RankStockActivity(CADODataBase& db, const std::string& today, int days);

// One row of list 1115 and the colour of its net cell.
struct StockRankingRow {
  std::array<std::string, kStockRankingColumnCount> cells;
  COLORREF netColour = 0;
  friend bool operator==(const StockRankingRow&, const StockRankingRow&) = default;
};

struct StockRankingView {
  std::vector<StockRankingRow> rows;  // at most kStockRankingRowLimit
  std::string fileBytes;              // GBK, "\n" line ends
  friend bool operator==(const StockRankingView&, const StockRankingView&) = default;
};

StockRankingRow MakeStockRankingRow(int number, const CStockDayRow& row);
// The list rows and the file of `rows` in their order (ShowStockRanking's content).
StockRankingView BuildStockRankingView(const std::vector<CStockDayRow>& rows);
std::string StockRankingFileHeader();
std::string StockRankingFileLine(const StockRankingRow& row);

// AppPath(kStockRankingFileName).
std::string StockRankingFilePath();
// Replaces the file with `bytes`; on failure shows the message box and returns false.
bool WriteStockRankingFile(const std::string& bytes);

// One group of the day totals: stocks listed, total buy, total sell, net, buy + sell
// (the amounts in 亿元, "%0.3f"), and the net edit's text colour.
struct DayTotalsGroup {
  std::array<std::string, 5> texts;
  COLORREF netColour = 0;
  friend bool operator==(const DayTotalsGroup&, const DayTotalsGroup&) = default;
};

// The three groups: all seats (Today_), hot-money seats (YouZi_), institutions (JiGou_).
struct DayTotals {
  std::array<DayTotalsGroup, 3> groups;
  friend bool operator==(const DayTotals&, const DayTotals&) = default;
};

enum class DayTotalsStatus { Found, NoRow, QueryFailed };

struct DayTotalsResult {
  DayTotalsStatus status = DayTotalsStatus::NoRow;
  DayTotals totals;  // when Found
  std::string error;
};

// The TotalBuySell row of `day`.
DayTotalsResult ShowDayTotals(CADODataBase& db, const std::string& day);

// One row of list 1116: date, stocks listed, total, buy, sell, net ("%0.1f" of 亿元),
// and the background of the net cell.
struct RecentDayRow {
  std::array<std::string, 6> cells;
  COLORREF netColour = 0;
  friend bool operator==(const RecentDayRow&, const RecentDayRow&) = default;
};

struct RecentDaysResult {
  bool failed = false;
  std::string error;
  std::vector<RecentDayRow> rows;  // newest first
};

// The latest `count` TotalBuySell rows.
RecentDaysResult ShowRecentDays(CADODataBase& db, int count);

// Today, or the Friday before when today is a Saturday or Sunday ("YYYY-MM-DD"; a text
// that is no day comes back unchanged).
std::string LatestWeekday(const std::string& today);
