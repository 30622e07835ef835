#pragma once
// The tracker's branch totals: every seat of every stock-day the tracker loads is
// folded into one row per branch (how often it stood there, what it bought and sold,
// on which stocks). The merge ("合并数据") clears them and loads the first N result
// lines; the seat list then shows the rows, and each showing appends a block to
// "临时文件\追踪游资.txt". Between merges every stock-day shown adds its seats too.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/stock_day_detail.h"
#include "analysis/tracker_line.h"
#include "platform/gdi_types.h"
#include "records/branch_marks.h"
#include "storage/row_records.h"
#include "storage/text_hash.h"

class CADODataBase;

// Which half of a listing a seat stands in.
enum class SeatSide { Buy = 1, Sell = 2 };

// A seat amount from which a fold counts as a big buy or a big sell: a branch's first
// fold needs more than this, any later fold this or more.
inline constexpr double kBigSeatAmount = 10.0;

// One row per branch, in the order the branches were first met. A row stays where it
// is when it grows; only the sorts move rows. The name → position hash is kept in
// step with the vector.
//
// Fields of CBranchTotalsRow used: YYBName (the key, compared exactly), nCount (folds),
// BuyTimes (big buys), SellTimes (big sells), TotalBuy, TotalSell, TotalBuySell and
// NetBuy. The stocks of a row (a name added when it differs from the last one) are
// kept apart, as numbers of names held once: a merge of all of history folds millions
// of seats.
class TrackerBranchTotals {
 public:
  static constexpr std::uint32_t kNoRow = UINT32_MAX;

  void Clear();
  // Folds one seat. An empty branch name is ignored.
  void AddSeat(const std::string& branch, const std::string& stockName, const std::string& stockCode, double buy,
               double sell, SeatSide side);
  // The same for a seat whose branch is not empty and whose stock name is numbered
  // (StockNameId); `row` is the branch's row once known (kNoRow: looked up, and set).
  void AddSeatAt(std::uint32_t& row, std::string_view branch, std::uint32_t stockName, double buy, double sell,
                 SeatSide side);
  std::uint32_t StockNameId(std::string_view stockName);

  const std::vector<CBranchTotalsRow>& Rows() const { return rows_; }
  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  // The row of `branch`, or null.
  const CBranchTotalsRow* Find(const std::string& branch) const;
  // The stocks of row `row`, in the order they were added.
  std::vector<std::string> StockNames(std::size_t row) const;

  // Descending by the key; rows with equal keys keep their order.
  void SortByTimes();
  void SortByTotalBuy();
  void SortByTotalSell();
  void SortByNet();

 private:
  template <class Key>
  void SortDescending(Key key);

  std::vector<CBranchTotalsRow> rows_;
  std::vector<std::vector<std::uint32_t>> stocks_;  // by row
  std::unordered_map<std::string, std::size_t> index_;
  TextIndex stockIds_;
  std::vector<std::string> stockNames_;
};

// The tracker page's totals, for the whole run.
extern TrackerBranchTotals g_TrackerBranchTotals;

// One seat into g_TrackerBranchTotals.
void AddSeatToBranchTotals(const std::string& branch, const std::string& stockName, const std::string& stockCode,
                           double buy, double sell, SeatSide side);

// At most this many rows are shown, summed and written per showing.
inline constexpr std::size_t kMaxShownBranchTotals = 89;

inline constexpr const char* kBranchTotalsSumLabel = "总买入  总卖出  总净买入 (单位: 万元)";
inline constexpr COLORREF kBranchNetBuyColour = RGB(200, 0, 0);    // net above 0
inline constexpr COLORREF kBranchNetSellColour = RGB(0, 200, 0);   // net 0 or below
inline constexpr COLORREF kSumBuyColour = RGB(200, 0, 0);
inline constexpr COLORREF kSumSellColour = RGB(0, 180, 0);
inline constexpr COLORREF kSumNetUpColour = RGB(255, 0, 0);        // difference 0 or more
inline constexpr COLORREF kSumNetDownColour = RGB(0, 233, 0);

// The seat list as the totals fill it: one row per shown branch (at most 89, in
// vector order), then a separator row and the sums row.
//  - branch rows: column 0 the row number from 1; column 1 the name on its mark
//    colour (none when the marks failed); columns 2-4 total buy, total sell and net
//    "%0.2f", the net on red above 0.0000001, else green; column 5
//    "times(big buys/big sells)"; column 6 empty; column 7 the remark, on the mark
//    colour, when there is one;
//  - the sums of the shown rows' total buy and total sell, and their difference.
struct BranchTotalsView {
  std::vector<StockDayRow> rows;
  std::size_t shownBranches = 0;
  double SumBuy = 0;
  double SumSell = 0;
};
BranchTotalsView BuildBranchTotalsView(const TrackerBranchTotals& totals, const BranchMarks& marks);

// The block a showing appends to the tracker file, as GBK bytes: " \n合并数据：\n", the
// column header, then one line per shown branch (the "总买卖" column left blank).
std::string BranchTotalsFileBlock(const TrackerBranchTotals& totals);

// Builds the view and appends the block to TrackerFilePath(). When the file cannot
// be written, "文件打开错误!" is shown (caption "系统提示", warning icon) and the view
// is returned all the same.
BranchTotalsView ShowBranchTotals(const TrackerBranchTotals& totals, const BranchMarks& marks);

// The header of the seat list as a click re-sorts the totals: column 2 by total buy,
// 3 by total sell, 4 by net, 5 by times. False (nothing sorted) for any other column.
bool SortBranchTotalsByColumn(TrackerBranchTotals& totals, int column);

struct BranchMergeResult {
  BranchTotalsView view;
  int mergedLines = 0;       // result lines loaded
  bool queryFailed = false;  // some line's query failed (the message was shown once)
};

// The merge: N = the integer value of `countText` (empty or no number: 0), at most
// the number of `lines`. `totals` is cleared, the first N lines' stock-days are
// loaded from `db` (each folding its seats), the totals sorted by times and shown
// (ShowBranchTotals). A line whose query fails adds nothing and the merge goes on;
// "数据库查询失败!" is then shown once at the end.
// The number of lines a merge loads: the integer value of `countText` (empty or no
// number: 0), at most `lineCount`.
std::size_t MergedLineCount(const std::string& countText, std::size_t lineCount);

// A merged line's stock-day: its code and day, as the result list holds them.
struct StockDayKey {
  std::string code;
  std::string date;
};
// The stock-days are read side by side in stretches of lines (`readers`; by default
// SideBySideParts(), and a short merge reads in one stretch) and folded in line order.
// At closing (g_bClosing) the merge gives up: nothing is shown or written.
BranchMergeResult MergeBranchTotals(CADODataBase& db, std::span<const StockDayKey> lines,
                                    const std::string& countText, const BranchMarks& marks,
                                    TrackerBranchTotals& totals, unsigned readers = 0);
BranchMergeResult MergeBranchTotals(CADODataBase& db, const std::vector<TrackerLine>& lines,
                                    const std::string& countText, const BranchMarks& marks,
                                    TrackerBranchTotals& totals);
