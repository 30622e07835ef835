#include "analysis/branch_totals_merge.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory_resource>
#include <numeric>

#include "analysis/tracker_searches.h"
#include "platform/side_by_side.h"
#include "platform/worker_registry.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/file_io.h"
#include "storage/row_cursor.h"
#include "storage/gbk_format.h"

TrackerBranchTotals g_TrackerBranchTotals;

void TrackerBranchTotals::Clear() {
  rows_.clear();
  stocks_.clear();
  index_.clear();
  stockIds_.Clear();
  stockNames_.clear();
}

std::uint32_t TrackerBranchTotals::StockNameId(std::string_view stockName) {
  const auto [id, added] = stockIds_.Emplace(stockName, static_cast<std::uint32_t>(stockNames_.size()));
  if (added) stockNames_.emplace_back(stockName);
  return *id;
}

void TrackerBranchTotals::AddSeat(const std::string& branch, const std::string& stockName,
                                  const std::string& /*stockCode*/, double buy, double sell, SeatSide side) {
  if (branch.empty()) return;
  std::uint32_t row = kNoRow;
  AddSeatAt(row, branch, StockNameId(stockName), buy, sell, side);
}

void TrackerBranchTotals::AddSeatAt(std::uint32_t& row, std::string_view branch, std::uint32_t stockName,
                                    double buy, double sell, SeatSide side) {
  if (row == kNoRow) {
    const auto [found, added] = index_.try_emplace(std::string(branch), rows_.size());
    row = static_cast<std::uint32_t>(found->second);
    if (added) {
      CBranchTotalsRow& fresh = rows_.emplace_back();
      fresh.YYBName = branch;
      fresh.TotalBuy = buy;
      fresh.TotalSell = sell;
      fresh.TotalBuySell = buy + sell;
      fresh.NetBuy = buy - sell;
      fresh.BuyTimes = side == SeatSide::Buy && buy > kBigSeatAmount ? 1 : 0;
      fresh.SellTimes = side == SeatSide::Sell && sell > kBigSeatAmount ? 1 : 0;
      fresh.nCount = 1;
      stocks_.push_back({stockName});
      return;
    }
  }
  CBranchTotalsRow& existing = rows_[row];
  existing.TotalBuy += buy;
  existing.TotalSell += sell;
  existing.TotalBuySell = existing.TotalBuy + existing.TotalSell;
  existing.NetBuy = existing.TotalBuy - existing.TotalSell;
  // A row that exists already counts an amount of exactly 10; a new row (above)
  // needs more than 10. Users have compared counts across versions: keep it.
  if (side == SeatSide::Buy && buy >= kBigSeatAmount) ++existing.BuyTimes;
  if (side == SeatSide::Sell && sell >= kBigSeatAmount) ++existing.SellTimes;
  ++existing.nCount;
  std::vector<std::uint32_t>& stocks = stocks_[row];
  if (stocks.back() != stockName) stocks.push_back(stockName);
}

const CBranchTotalsRow* TrackerBranchTotals::Find(const std::string& branch) const {
  const auto found = index_.find(branch);
  return found == index_.end() ? nullptr : &rows_[found->second];
}

std::vector<std::string> TrackerBranchTotals::StockNames(std::size_t row) const {
  std::vector<std::string> names;
  for (const std::uint32_t id : stocks_[row]) names.push_back(stockNames_[id]);
  return names;
}

template <class Key>
void TrackerBranchTotals::SortDescending(Key key) {
  std::vector<std::size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return key(rows_[a]) > key(rows_[b]); });
  std::vector<CBranchTotalsRow> rows;
  std::vector<std::vector<std::uint32_t>> stocks;
  rows.reserve(rows_.size());
  stocks.reserve(stocks_.size());
  for (const std::size_t i : order) {
    rows.push_back(std::move(rows_[i]));
    stocks.push_back(std::move(stocks_[i]));
  }
  rows_ = std::move(rows);
  stocks_ = std::move(stocks);
  for (std::size_t i = 0; i < rows_.size(); ++i) index_[rows_[i].YYBName] = i;
}

void TrackerBranchTotals::SortByTimes() {
  SortDescending([](const CBranchTotalsRow& r) { return r.nCount; });
}
void TrackerBranchTotals::SortByTotalBuy() {
  SortDescending([](const CBranchTotalsRow& r) { return r.TotalBuy; });
}
void TrackerBranchTotals::SortByTotalSell() {
  SortDescending([](const CBranchTotalsRow& r) { return r.TotalSell; });
}
void TrackerBranchTotals::SortByNet() {
  SortDescending([](const CBranchTotalsRow& r) { return r.NetBuy; });
}

void AddSeatToBranchTotals(const std::string& branch, const std::string& stockName, const std::string& stockCode,
                           double buy, double sell, SeatSide side) {
  g_TrackerBranchTotals.AddSeat(branch, stockName, stockCode, buy, sell, side);
}

namespace {

std::string Amount2(double value) { return FormatGbk("%0.2f", value); }

std::string TimesText(const CBranchTotalsRow& row) {
  return FormatGbk("%d(%d/%d)", row.nCount, row.BuyTimes, row.SellTimes);
}

std::size_t ShownCount(const TrackerBranchTotals& totals) {
  return std::min(totals.size(), kMaxShownBranchTotals);
}

}  // namespace

BranchTotalsView BuildBranchTotalsView(const TrackerBranchTotals& totals, const BranchMarks& marks) {
  BranchTotalsView view;
  const std::size_t shown = ShownCount(totals);
  view.rows.reserve(shown + 2);
  for (std::size_t i = 0; i < shown; ++i) {
    const CBranchTotalsRow& branch = totals.Rows()[i];
    StockDayRow row;
    row[0].text = std::to_string(i + 1);
    row[1] = {branch.YYBName, marks.Colour(branch.YYBName)};
    row[2].text = Amount2(branch.TotalBuy);
    row[3].text = Amount2(branch.TotalSell);
    row[4] = {Amount2(branch.NetBuy), branch.NetBuy > 0.0000001 ? kBranchNetBuyColour : kBranchNetSellColour};
    row[5].text = TimesText(branch);
    const std::string remark = marks.Mark(branch.YYBName);
    if (!remark.empty()) row[7] = {remark, marks.Colour(branch.YYBName)};
    view.SumBuy += branch.TotalBuy;
    view.SumSell += branch.TotalSell;
    view.rows.push_back(std::move(row));
  }
  view.shownBranches = shown;

  StockDayRow separator;
  separator[1].text = kStockDaySeparatorText;
  view.rows.push_back(std::move(separator));
  StockDayRow sums;
  const double difference = view.SumBuy - view.SumSell;
  sums[1].text = kBranchTotalsSumLabel;
  sums[2] = {Amount2(view.SumBuy), kSumBuyColour};
  sums[3] = {Amount2(view.SumSell), kSumSellColour};
  sums[4] = {Amount2(difference), difference >= 0 ? kSumNetUpColour : kSumNetDownColour};
  view.rows.push_back(std::move(sums));
  return view;
}

std::string BranchTotalsFileBlock(const TrackerBranchTotals& totals) {
  std::string out = ToGbk(" \n合并数据：\n");
  out += FormatGbkBytes(" %-3s  %-60s %-10s  %-10s  %-10s  %-10s  %-10s  %-10s \n", "序号", "敢死队 营业部名称", "总买入",
                        "总卖出", "总净买", "总买卖", "上榜次数", "买卖股票数量");
  const std::size_t shown = ShownCount(totals);
  for (std::size_t i = 0; i < shown; ++i) {
    const CBranchTotalsRow& branch = totals.Rows()[i];
    out += FormatGbkBytes(" %-3s ", std::to_string(i + 1));
    out += FormatGbkBytes(" %-60s ", branch.YYBName);
    out += FormatGbkBytes(" %-10s ", Amount2(branch.TotalBuy));
    out += FormatGbkBytes(" %-10s ", Amount2(branch.TotalSell));
    out += FormatGbkBytes(" %-10s ", Amount2(branch.NetBuy));
    // The file's "总买卖" column has always stayed blank.
    out += FormatGbkBytes(" %-10s ", " ");
    out += FormatGbkBytes(" %-10s ", TimesText(branch));
    out += "\n";
  }
  return out;
}

BranchTotalsView ShowBranchTotals(const TrackerBranchTotals& totals, const BranchMarks& marks) {
  // Appended in place: the file of a long search is large, and rewriting it for
  // every showing made the cost grow with the search rather than with the block.
  if (!AppendToFile(TrackerFilePath(), BranchTotalsFileBlock(totals))) {
    MessageBox(kFileOpenErrorText, kTrackerCaption, MB_OK | MB_ICONWARNING);
  }
  return BuildBranchTotalsView(totals, marks);
}

bool SortBranchTotalsByColumn(TrackerBranchTotals& totals, int column) {
  switch (column) {
    case 2:
      totals.SortByTotalBuy();
      return true;
    case 3:
      totals.SortByTotalSell();
      return true;
    case 4:
      totals.SortByNet();
      return true;
    case 5:
      totals.SortByTimes();
      return true;
    default:
      return false;
  }
}

namespace {

// The merge's one statement, prepared once and rerun for every line: the seats of
// the rows of one stock-day in rowid order, as LoadStockDay folds them.
const std::string& MergeRowsQuery() {
  static const std::string sql = [] {
    std::string columns = "StockName, StockCode";
    for (const char* seat : {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"}) {
      const std::string prefix = seat;
      columns += ", " + prefix + "_YYB_Name, " + prefix + "_YYB_BuyAmount, " + prefix + "_YYB_SellAmount";
    }
    return "SELECT " + columns + " FROM StockInfo WHERE SB_Date = ? AND StockCode = ? ORDER BY rowid";
  }();
  return sql;
}

// A stretch of the merged lines, read on a thread of its own: each line's rows and
// their seats, the names numbered in the stretch's own tables. A line whose read
// breaks off keeps nothing and is marked failed.
class MergeStretch {
 public:
  // Reads the stock-days of `keys`; `foldLast` takes each line, kept as line 0, at once
  // when given (the first stretch folds while it reads, the others keep everything).
  void Read(CADODataBase& db, std::span<const StockDayKey> keys, const std::function<void()>& foldLast) {
    RowCursor cursor(db);
    // One read transaction for the stretch: no lock is taken again for each line.
    const bool began = cursor.Open("BEGIN") && (cursor.Next(), !cursor.Failed());
    for (std::size_t i = 0; i < keys.size(); ++i) {
      // Each line's read is too short for the handle to give it up at closing.
      if (g_bClosing.load()) break;
      const std::size_t seats = seats_.size(), rows = rows_.size();
      Line& line = lines_.emplace_back();
      line.firstRow = rows;
      if (cursor.Run(MergeRowsQuery(), {keys[i].date, keys[i].code})) {
        while (cursor.Next()) {
          rows_.push_back({StockId(cursor.Text(0)), seats_.size()});
          for (int seat = 0; seat < 10; ++seat) {
            const int column = 2 + 3 * seat;
            seats_.push_back({branches_.Id(cursor.Text(column)), cursor.Number(column + 1), cursor.Number(column + 2)});
          }
        }
      }
      if (cursor.Failed()) {
        line.failed = true;
        seats_.resize(seats);
        rows_.resize(rows);
        if (error_.empty()) error_ = cursor.RecordsetErrorText();
      }
      if (foldLast) {
        foldLast();
        Forget();
      }
    }
    if (began && cursor.Open("COMMIT")) cursor.Next();
  }

  // Folds line `i` into `totals` (nothing for a failed one); false when it failed.
  bool Fold(std::size_t i, TrackerBranchTotals& totals) {
    const Line& line = lines_[i];
    if (line.failed) return false;
    if (stockIds_.size() < stocks_.size()) stockIds_.resize(stocks_.size(), TrackerBranchTotals::kNoRow);
    if (branchRows_.size() < branches_.size()) branchRows_.resize(branches_.size(), TrackerBranchTotals::kNoRow);
    const std::size_t endRow = i + 1 < lines_.size() ? lines_[i + 1].firstRow : rows_.size();
    for (std::size_t r = line.firstRow; r < endRow; ++r) {
      const std::uint32_t stock = StockInTotals(rows_[r].stock, totals);
      for (std::size_t s = rows_[r].firstSeat; s < rows_[r].firstSeat + 10; ++s) {
        const Seat& seat = seats_[s];
        if (seat.branch == NameTable::kNone) continue;
        totals.AddSeatAt(branchRows_[static_cast<std::size_t>(seat.branch)], branches_.Name(seat.branch), stock,
                         seat.buy, seat.sell, s - rows_[r].firstSeat < 5 ? SeatSide::Buy : SeatSide::Sell);
      }
    }
    return true;
  }
  std::size_t Lines() const { return lines_.size(); }
  const std::string& Error() const { return error_; }

 private:
  struct Seat {
    int branch;  // into branches_, kNone for an empty name
    double buy, sell;
  };
  struct Row {
    int stock;  // into stocks_
    std::size_t firstSeat;
  };
  struct Line {
    std::size_t firstRow = 0;
    bool failed = false;
  };

  // Stock names, the empty one too, numbered like the branches.
  int StockId(std::string_view name) { return name.empty() ? kEmptyStock : stocks_.Id(name); }
  std::uint32_t StockInTotals(int stock, TrackerBranchTotals& totals) {
    std::uint32_t& id = stock == kEmptyStock ? emptyStock_ : stockIds_[static_cast<std::size_t>(stock)];
    if (id == TrackerBranchTotals::kNoRow) id = totals.StockNameId(stock == kEmptyStock ? "" : stocks_.Name(stock));
    return id;
  }
  // A line folded at once is not kept.
  void Forget() {
    lines_.clear();
    rows_.clear();
    seats_.clear();
  }

  static constexpr int kEmptyStock = NameTable::kNone;
  NameTable branches_;
  NameTable stocks_;
  std::vector<std::uint32_t> branchRows_;  // by branch number: its row in the totals
  std::vector<std::uint32_t> stockIds_;    // by stock number: its number in the totals
  std::uint32_t emptyStock_ = TrackerBranchTotals::kNoRow;
  PartMemory memory_;
  std::pmr::vector<Seat> seats_{memory_.Resource()};
  std::pmr::vector<Row> rows_{memory_.Resource()};
  std::pmr::vector<Line> lines_{memory_.Resource()};
  std::string error_;
};

}  // namespace

std::size_t MergedLineCount(const std::string& countText, std::size_t lineCount) {
  const std::int32_t asked = ParseLeadingInt(countText);
  return asked <= 0 ? 0 : std::min(static_cast<std::size_t>(asked), lineCount);
}

BranchMergeResult MergeBranchTotals(CADODataBase& db, std::span<const StockDayKey> lines,
                                    const std::string& countText, const BranchMarks& marks,
                                    TrackerBranchTotals& totals, unsigned readers) {
  BranchMergeResult result;
  const std::size_t count = MergedLineCount(countText, lines.size());
  totals.Clear();
  // A few lines are read at once; threads and their connections would cost more.
  constexpr std::size_t kLinesPerReader = 4096;
  if (readers == 0) readers = static_cast<unsigned>(std::min<std::size_t>(count / kLinesPerReader, SideBySideParts()));
  readers = static_cast<unsigned>(std::clamp<std::size_t>(count, 1, readers == 0 ? 1 : readers));
  std::vector<MergeStretch> stretches(readers);
  auto account = [&result](bool folded) {
    if (folded) {
      ++result.mergedLines;
    } else {
      result.queryFailed = true;
    }
  };
  const std::size_t step = count / readers;
  RunSideBySide(readers, [&](unsigned k) {
    if (OnSideBySideReader()) db.InterruptWhenClosing();
    const std::size_t first = step * k, last = k + 1 == readers ? count : first + step;
    // The first stretch folds each line as it reads it; the others follow in order.
    std::function<void()> foldAtOnce;
    if (k == 0) foldAtOnce = [&] { account(stretches[0].Fold(0, totals)); };
    stretches[k].Read(db, lines.subspan(first, last - first), foldAtOnce);
  });
  // Closing: the merge gives up; nothing is folded, shown or written.
  if (g_bClosing.load()) return result;
  for (unsigned k = 1; k < readers; ++k) {
    for (std::size_t i = 0; i < stretches[k].Lines(); ++i) account(stretches[k].Fold(i, totals));
  }
  std::string errorText;
  for (const MergeStretch& stretch : stretches) {
    if (errorText.empty()) errorText = stretch.Error();
  }
  stretches.clear();
  totals.SortByTimes();
  result.view = ShowBranchTotals(totals, marks);
  if (result.queryFailed) ShowQueryFailed(errorText);
  return result;
}

BranchMergeResult MergeBranchTotals(CADODataBase& db, const std::vector<TrackerLine>& lines,
                                    const std::string& countText, const BranchMarks& marks,
                                    TrackerBranchTotals& totals) {
  std::vector<StockDayKey> keys;
  keys.reserve(lines.size());
  for (const TrackerLine& line : lines) keys.push_back({line.code, line.date});
  return MergeBranchTotals(db, keys, countText, marks, totals);
}
