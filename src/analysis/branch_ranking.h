#pragma once
// The branch ranking ("买卖排行榜"): one day's seats, the previous weekday's, a picked
// day's, the big buyers over every stored day, or the seats of the last N trading
// days merged, folded into one row per branch and sorted; then the rows the list shows
// (at most 89, with their cells and colours) and the text file "营业部排行榜.txt".
//
// The computations fill a BranchFold (cleared first) and show nothing; the page puts
// the view into its list and writes the file.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "analysis/branch_fold.h"
#include "analysis/trading_day_walk.h"
#include "platform/gdi_types.h"
#include "platform/win_types.h"

class BranchMarks;
class CADODataBase;

// Rows the ranking shows and writes.
inline constexpr int kRankingRowLimit = 89;
inline constexpr int kRankingColumnCount = 9;

// Cell colours of the net column.
inline constexpr COLORREF kNetBuyColour = RGB(200, 0, 0);
inline constexpr COLORREF kNetSellColour = RGB(0, 200, 0);

// The file, under the program folder.
inline constexpr const char* kRankingFileName = "临时文件/营业部排行榜.txt";
// Shown (caption "系统提示", warning icon) when the file cannot be written.
inline constexpr const char* kRankingFileFailedText = "文件打开错误!";
// Pane 1 of the status bar before a computation over 30 days or more.
inline constexpr const char* kLongWaitText = "  如果选择时间段大于30日，系统计算时间较长，请耐心等待!!";
inline constexpr int kLongWaitDays = 30;

// One list row: the nine cell texts, the name cell's mark colour (nullopt when the
// marks could not be read: no colour), the net and average cells' colours.
struct BranchRankingRow {
  std::array<std::string, kRankingColumnCount> cells;
  std::optional<COLORREF> nameColour;
  COLORREF netColour = 0;
  COLORREF averageColour = 0;

  friend bool operator==(const BranchRankingRow&, const BranchRankingRow&) = default;
};

struct BranchRankingView {
  std::vector<BranchRankingRow> rows;  // at most kRankingRowLimit
  std::string fileBytes;               // the file as GBK bytes, "\n" line ends

  friend bool operator==(const BranchRankingView&, const BranchRankingView&) = default;
};

// "%d" of a figure truncated toward zero (clamped to the int range).
std::string TruncatedText(double value);

// The row shown as number `number` + 1.
BranchRankingRow MakeRankingRow(int number, const CBranchTotalsRow& row, const BranchMarks& marks);
// The list rows and the file of `rows` in their order, the first kRankingRowLimit.
BranchRankingView BuildRankingView(const std::vector<CBranchTotalsRow>& rows, const BranchMarks& marks);
// The file's header line (GBK) and one row's line (GBK) from its cells.
std::string RankingFileHeader();
std::string RankingFileLine(const BranchRankingRow& row);

// AppPath(kRankingFileName).
std::string RankingFilePath();
// Replaces the file with `bytes`; on failure shows the message box and returns false.
bool WriteRankingFile(const std::string& bytes);

enum class RankingStatus {
  Ranked,         // the fold holds the ranking, sorted
  NothingToRank,  // today is a Saturday or Sunday: no ranking is shown
  NotEnoughDays,  // the walk found fewer days within its bound: no ranking is shown
  QueryFailed,    // a read failed: no ranking is shown, `error` holds the text
};

struct BranchRankingResult {
  RankingStatus status = RankingStatus::Ranked;
  TradingDayWalk walk;  // a merge's walk; a single day: that day in `days`
  std::string error;
  int branchesBeforeSort = 0;  // rows of the fold when it was sorted
};

// Folds the ten seats of every listing of `day` (rowid order; Buy1..Buy5, then
// Sell1..Sell5) into `totals`, not cleared. False on a failed read (`error` set).
bool LoadDaySeats(CADODataBase& db, const std::string& day, BranchFold& totals, std::string& error);

// Today's seats sorted by times listed; nothing on a Saturday or Sunday.
BranchRankingResult RankToday(CADODataBase& db, const std::string& today, BranchFold& totals);
// The seats of the weekday before today (no data test), sorted by total buy.
BranchRankingResult RankYesterday(CADODataBase& db, const std::string& today, BranchFold& totals);
// One day's seats, sorted by total buy (the page passes weekdays only).
BranchRankingResult RankDay(CADODataBase& db, const std::string& day, BranchFold& totals);

// The threshold of the big-buyer query: the text read as atof reads it, kept in
// single precision.
float BigBuyerThreshold(const std::string& text);
// Every stored listing with a buy seat above the threshold, newest day first: each
// buy seat whose own buy is above it folds in. Sorted by times listed. The table is
// read in `readers` stretches side by side (0: SideBySideParts()).
BranchRankingResult QueryBigBuyers(CADODataBase& db, const std::string& thresholdText, BranchFold& totals,
                                   unsigned readers = 0);

// The seats of the last `days` trading days from `today` (newest first), sorted by
// `sortMode`. days <= 0 ranks nothing at once (an empty ranking).
BranchRankingResult MergeDays(CADODataBase& db, const std::string& today, int days, int sortMode,
                              BranchFold& totals);

// "Mode=%d ,Size=%d,正在排序..... ", "排序完成......" and "数据不足：只找到%d个交易日".
std::string SortingText(int mode, int branches);
inline constexpr const char* kSortDoneText = "排序完成......";
std::string NotEnoughDaysText(int daysFound);
