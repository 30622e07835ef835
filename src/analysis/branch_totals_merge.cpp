#include "analysis/branch_totals_merge.h"

#include <algorithm>
#include <array>

#include "analysis/tracker_searches.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/file_io.h"
#include "storage/row_cursor.h"
#include "storage/gbk_format.h"

TrackerBranchTotals g_TrackerBranchTotals;

void TrackerBranchTotals::Clear() {
  rows_.clear();
  index_.clear();
}

void TrackerBranchTotals::AddSeat(const std::string& branch, const std::string& stockName,
                                  const std::string& /*stockCode*/, double buy, double sell, SeatSide side) {
  if (branch.empty()) return;
  const auto found = index_.find(branch);
  if (found != index_.end()) {
    CBranchTotalsRow& row = rows_[found->second];
    row.TotalBuy += buy;
    row.TotalSell += sell;
    row.TotalBuySell = row.TotalBuy + row.TotalSell;
    row.NetBuy = row.TotalBuy - row.TotalSell;
    // A row that exists already counts an amount of exactly 10; a new row (below)
    // needs more than 10. Users have compared counts across versions: keep it.
    if (side == SeatSide::Buy && buy >= kBigSeatAmount) ++row.BuyTimes;
    if (side == SeatSide::Sell && sell >= kBigSeatAmount) ++row.SellTimes;
    ++row.nCount;
    if (row.StockNames.empty() || row.StockNames.back() != stockName) row.StockNames.push_back(stockName);
    return;
  }
  CBranchTotalsRow row;
  row.YYBName = branch;
  row.TotalBuy = buy;
  row.TotalSell = sell;
  row.TotalBuySell = buy + sell;
  row.NetBuy = buy - sell;
  row.BuyTimes = side == SeatSide::Buy && buy > kBigSeatAmount ? 1 : 0;
  row.SellTimes = side == SeatSide::Sell && sell > kBigSeatAmount ? 1 : 0;
  row.nCount = 1;
  row.StockNames.push_back(stockName);
  index_.emplace(branch, rows_.size());
  rows_.push_back(std::move(row));
}

const CBranchTotalsRow* TrackerBranchTotals::Find(const std::string& branch) const {
  const auto found = index_.find(branch);
  return found == index_.end() ? nullptr : &rows_[found->second];
}

template <class Key>
void TrackerBranchTotals::SortDescending(Key key) {
  std::stable_sort(rows_.begin(), rows_.end(),
                   [&key](const CBranchTotalsRow& a, const CBranchTotalsRow& b) { return key(a) > key(b); });
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

// One row's seats, kept until the whole stock-day is read: a read that breaks off
// half-way must add nothing.
struct MergeRow {
  std::string stockName;
  std::string stockCode;
  std::array<std::string, 10> names;  // Buy1..Buy5, Sell1..Sell5
  std::array<double, 10> buy{};
  std::array<double, 10> sell{};
};

bool ReadStockDaySeats(RowCursor& cursor, const TrackerLine& line, std::vector<MergeRow>& rows, std::size_t& count) {
  count = 0;
  if (!cursor.Run(MergeRowsQuery(), {line.date, line.code})) return false;
  while (cursor.Next()) {
    if (count == rows.size()) rows.emplace_back();
    MergeRow& row = rows[count++];
    row.stockName.assign(cursor.Text(0));
    row.stockCode.assign(cursor.Text(1));
    for (int seat = 0; seat < 10; ++seat) {
      const int column = 2 + 3 * seat;
      row.names[seat].assign(cursor.Text(column));
      row.buy[seat] = cursor.Number(column + 1);
      row.sell[seat] = cursor.Number(column + 2);
    }
  }
  return !cursor.Failed();
}

}  // namespace

std::size_t MergedLineCount(const std::string& countText, std::size_t lineCount) {
  const std::int32_t asked = ParseLeadingInt(countText);
  return asked <= 0 ? 0 : std::min(static_cast<std::size_t>(asked), lineCount);
}

BranchMergeResult MergeBranchTotals(CADODataBase& db, const std::vector<TrackerLine>& lines,
                                    const std::string& countText, const BranchMarks& marks,
                                    TrackerBranchTotals& totals) {
  BranchMergeResult result;
  const std::size_t count = MergedLineCount(countText, lines.size());
  totals.Clear();
  RowCursor cursor(db);
  std::vector<MergeRow> rows;
  std::string errorText;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t read = 0;
    if (!ReadStockDaySeats(cursor, lines[i], rows, read)) {
      if (!result.queryFailed) {
        result.queryFailed = true;
        errorText = cursor.RecordsetErrorText();
      }
      continue;
    }
    for (std::size_t r = 0; r < read; ++r) {
      const MergeRow& row = rows[r];
      for (int seat = 0; seat < 10; ++seat) {
        totals.AddSeat(row.names[seat], row.stockName, row.stockCode, row.buy[seat], row.sell[seat],
                       seat < 5 ? SeatSide::Buy : SeatSide::Sell);
      }
    }
    ++result.mergedLines;
  }
  totals.SortByTimes();
  result.view = ShowBranchTotals(totals, marks);
  if (result.queryFailed) ShowQueryFailed(errorText);
  return result;
}
