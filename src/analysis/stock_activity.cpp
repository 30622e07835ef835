#include "analysis/stock_activity.h"

#include <algorithm>
#include <numeric>

#include "analysis/branch_ranking.h"
#include "platform/app_paths.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/worker_registry.h"
#include "storage/ado_database.h"
#include "storage/day_range.h"
#include "storage/file_io.h"
#include "storage/gbk_format.h"
#include "storage/row_cursor.h"

std::vector<CStockDayRow> g_StockActivity;
int g_nActiveDaysFound = 0;
int g_nActiveDayOffset = 0;
bool g_bNotifySustainedPage = false;

const std::array<const char*, kDayChoiceCount> kDayChoiceTexts = {
    " 今日", " 2日", " 3日", " 5日", " 10日", " 20日", " 30日", " 60日", " 90日", " 180日", " 360日"};
const std::array<int, kDayChoiceCount> kDayChoiceDays = {1, 2, 3, 5, 10, 20, 30, 60, 90, 180, 360};

namespace {

// A day's listings: name, code, then the ten seats' buy amounts (Buy1..Buy5,
// Sell1..Sell5) and their sell amounts in the same order.
constexpr const char* kDayStocksQuery =
    "SELECT StockName, StockCode, "
    "Buy1_YYB_BuyAmount, Buy2_YYB_BuyAmount, Buy3_YYB_BuyAmount, Buy4_YYB_BuyAmount, Buy5_YYB_BuyAmount, "
    "Sell1_YYB_BuyAmount, Sell2_YYB_BuyAmount, Sell3_YYB_BuyAmount, Sell4_YYB_BuyAmount, Sell5_YYB_BuyAmount, "
    "Buy1_YYB_SellAmount, Buy2_YYB_SellAmount, Buy3_YYB_SellAmount, Buy4_YYB_SellAmount, Buy5_YYB_SellAmount, "
    "Sell1_YYB_SellAmount, Sell2_YYB_SellAmount, Sell3_YYB_SellAmount, Sell4_YYB_SellAmount, Sell5_YYB_SellAmount "
    "FROM StockInfo WHERE SB_Date = ? ORDER BY rowid";

constexpr const char* kTotalsColumns =
    "SB_Date, Today_ShangBang, Today_TotalBuy, Today_TotalSell, Today_TotalNet, Today_Total, "
    "YouZi_ShangBang, YouZi_TotalBuy, YouZi_TotalSell, YouZi_TotalNet, YouZi_Total, "
    "JiGou_ShangBang, JiGou_TotalBuy, JiGou_TotalSell, JiGou_TotalNet, JiGou_Total";

constexpr const char* kCaption = "系统提示";

double Key(const CStockDayRow& row, int column) {
  switch (column) {
    case kStockSortByTimes: return row.nCount;
    case kStockSortByTotalBuy: return row.TotalBuy;
    case kStockSortByTotalSell: return row.TotalSell;
    case kStockSortByNet: return row.NetBuy;
    case kStockSortByBuySell: return row.TotalBuySell;
    default: return 0;
  }
}

std::string Fixed(const char* format, double value) { return FormatGbk(format, value); }

}  // namespace

int DaysOfChoice(int index) {
  if (index < 0 || index >= kDayChoiceCount) index = 0;
  return kDayChoiceDays[static_cast<std::size_t>(index)];
}

int ChoiceOfDays(int days) {
  const auto found = std::find(kDayChoiceDays.begin(), kDayChoiceDays.end(), days);
  return found == kDayChoiceDays.end() ? -1 : static_cast<int>(found - kDayChoiceDays.begin());
}

std::string DaysChoiceText(int days) {
  const int index = ChoiceOfDays(days);
  if (index >= 0) return kDayChoiceTexts[static_cast<std::size_t>(index)];
  return " " + std::to_string(days) + "日";
}

void StockActivityFold::Clear() {
  rows_.clear();
  stamps_.clear();
  index_.clear();
  nextStamp_ = 0;
}

void StockActivityFold::AddStockListing(std::string_view stockName, std::string_view stockCode, double buy,
                                        double sell) {
  const auto it = index_.find(stockCode);
  if (it == index_.end()) {
    index_.emplace(std::string(stockCode), rows_.size());
    CStockDayRow row;
    row.StockName = stockName;
    row.StockCode = stockCode;
    row.nCount = 1;
    row.TotalBuy = buy;
    row.TotalSell = sell;
    row.TotalBuySell = buy + sell;
    row.NetBuy = buy - sell;
    rows_.push_back(std::move(row));
    stamps_.push_back(nextStamp_++);
    return;
  }
  // The row keeps the name it was first listed with, as the moved row does.
  CStockDayRow& row = rows_[it->second];
  row.TotalBuy += buy;
  row.TotalSell += sell;
  row.TotalBuySell += buy + sell;
  row.NetBuy += buy - sell;
  row.nCount += 1;
  stamps_[it->second] = nextStamp_++;
}

std::vector<CStockDayRow> StockActivityFold::Rows() const {
  std::vector<std::size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) { return stamps_[a] < stamps_[b]; });
  std::vector<CStockDayRow> out;
  out.reserve(rows_.size());
  for (std::size_t i : order) out.push_back(rows_[i]);
  return out;
}

void SortStockActivity(std::vector<CStockDayRow>& rows, int column) {
  if (column < kStockSortByTimes || column > kStockSortByBuySell) return;
  std::stable_sort(rows.begin(), rows.end(),
                   [column](const CStockDayRow& a, const CStockDayRow& b) { return Key(a, column) > Key(b, column); });
}

namespace {

// Folds the rows of an opened day query (name, code, ten buy amounts, ten sell amounts).
bool FoldDayStocks(RowCursor& cursor, StockActivityFold& fold, std::string& error) {
  while (cursor.Next()) {
    double buy = cursor.Double(2);
    for (int c = 3; c < 12; ++c) buy += cursor.Double(c);
    double sell = cursor.Double(12);
    for (int c = 13; c < 22; ++c) sell += cursor.Double(c);
    fold.AddStockListing(cursor.Text(0), cursor.Text(1), buy, sell);
  }
  if (!cursor.Failed()) return true;
  error = cursor.ErrorText();
  return false;
}

}  // namespace

bool LoadDayStocks(CADODataBase& db, const std::string& day, StockActivityFold& fold, std::string& error) {
  RowCursor cursor(db);
  if (!cursor.Open(kDayStocksQuery, {day})) {
    error = cursor.ErrorText();
    return false;
  }
  return FoldDayStocks(cursor, fold, error);
}

StockRankingResult RankStockActivity(CADODataBase& db, const std::string& today, int days) {
  StockRankingResult result;
  result.walk = WalkTradingDays(db, today, days, DayDataTest::Buy1OrSell1);
  if (result.walk.queryFailed) {
    result.status = StockRankingStatus::QueryFailed;
    result.error = result.walk.error;
    return result;
  }
  if (!result.walk.complete) {
    result.status = StockRankingStatus::NotEnoughDays;
    return result;
  }
  StockActivityFold fold;
  RowCursor cursor(db);
  for (const std::string& day : result.walk.days) {
    // Closing: given up as a read that broke off (each day's read is too short to be).
    if (g_bClosing.load()) {
      result.status = StockRankingStatus::QueryFailed;
      result.error = "interrupted";
      return result;
    }
    const bool opened = cursor.Run(kDayStocksQuery, {day});
    if (!opened) result.error = cursor.ErrorText();
    if (!opened || !FoldDayStocks(cursor, fold, result.error)) {
      result.status = StockRankingStatus::QueryFailed;
      return result;
    }
  }
  result.rows = fold.Rows();
  SortStockActivity(result.rows, kStockSortByTimes);
  // A one-day ranking ends sorted by net.
  if (days == 1) SortStockActivity(result.rows, kStockSortByNet);
  return result;
}

StockRankingRow MakeStockRankingRow(int number, const CStockDayRow& row) {
  StockRankingRow out;
  out.cells[0] = std::to_string(number + 1);
  out.cells[1] = row.StockCode;
  out.cells[2] = row.StockName;
  out.cells[3] = std::to_string(row.nCount);
  out.cells[4] = TruncatedText(row.TotalBuy);
  out.cells[5] = TruncatedText(row.TotalSell);
  out.cells[6] = TruncatedText(row.NetBuy);
  out.cells[7] = TruncatedText(row.TotalBuySell);
  out.netColour = row.NetBuy > 0.0000001 ? kStockNetBuyColour : kStockNetSellColour;
  return out;
}

std::string StockRankingFileHeader() {
  return FormatGbkBytes(" %-3s  %-10s  %-10s  %-10s  %-10s  %-10s  %-10s  %-10s\n", "序号", "股票代码", "股票名称",
                        "上榜次数", "总买入", "总卖出", "总净买", "总买卖");
}

std::string StockRankingFileLine(const StockRankingRow& row) {
  std::string line = FormatGbkBytes(" %-3s  ", row.cells[0]);
  for (std::size_t c = 1; c <= 6; ++c) line += FormatGbkBytes(" %-10s ", row.cells[c]);
  line += FormatGbkBytes(" %-10s \n", row.cells[7]);
  return line;
}

StockRankingView BuildStockRankingView(const std::vector<CStockDayRow>& rows) {
  StockRankingView view;
  view.fileBytes = StockRankingFileHeader();
  const std::size_t shown = std::min(rows.size(), static_cast<std::size_t>(kStockRankingRowLimit));
  view.rows.reserve(shown);
  for (std::size_t i = 0; i < shown; ++i) {
    view.rows.push_back(MakeStockRankingRow(static_cast<int>(i), rows[i]));
    view.fileBytes += StockRankingFileLine(view.rows.back());
  }
  return view;
}

std::string StockRankingFilePath() { return AppPath(kStockRankingFileName); }

bool WriteStockRankingFile(const std::string& bytes) {
  // Written again by every ranking: renamed into place whole, without waiting for the disk.
  if (ReplaceFileContents(StockRankingFilePath(), bytes, FileSync::Deferred)) return true;
  MessageBox(kStockRankingFileFailedText, kCaption, MB_OK | MB_ICONWARNING);
  return false;
}

DayTotalsResult ShowDayTotals(CADODataBase& db, const std::string& day) {
  DayTotalsResult result;
  RowCursor cursor(db);
  const std::string sql = std::string("SELECT ") + kTotalsColumns + " FROM TotalBuySell WHERE SB_Date=? ORDER BY rowid";
  if (!cursor.Open(sql, {day})) {
    result.status = DayTotalsStatus::QueryFailed;
    result.error = cursor.ErrorText();
    return result;
  }
  if (!cursor.Next()) {
    if (cursor.Failed()) {
      result.status = DayTotalsStatus::QueryFailed;
      result.error = cursor.ErrorText();
    }
    return result;
  }
  result.status = DayTotalsStatus::Found;
  for (int g = 0; g < 3; ++g) {
    const int base = 1 + g * 5;
    DayTotalsGroup& group = result.totals.groups[static_cast<std::size_t>(g)];
    group.texts[0] = std::to_string(static_cast<int>(cursor.Int(base)));
    group.texts[1] = Fixed("%0.3f", cursor.Double(base + 1) / 10000);
    group.texts[2] = Fixed("%0.3f", cursor.Double(base + 2) / 10000);
    const double net = cursor.Double(base + 3) / 10000;
    group.texts[3] = Fixed("%0.3f", net);
    group.texts[4] = Fixed("%0.3f", cursor.Double(base + 4) / 10000);
    group.netColour = net >= 0 ? kDayNetUpColour : kDayNetDownColour;
  }
  return result;
}

RecentDaysResult ShowRecentDays(CADODataBase& db, int count) {
  RecentDaysResult result;
  RowCursor cursor(db);
  const std::string sql =
      std::string("SELECT ") + kTotalsColumns + " FROM TotalBuySell ORDER BY SB_Date DESC, rowid LIMIT ?";
  if (!cursor.Open(sql, {static_cast<std::int64_t>(count)})) {
    result.failed = true;
    result.error = cursor.ErrorText();
    return result;
  }
  while (cursor.Next()) {
    RecentDayRow row;
    row.cells[0].assign(cursor.Text(0));
    row.cells[1] = std::to_string(static_cast<int>(cursor.Int(1)));
    row.cells[2] = Fixed("%0.1f", cursor.Double(5) / 10000);
    row.cells[3] = Fixed("%0.1f", cursor.Double(2) / 10000);
    row.cells[4] = Fixed("%0.1f", cursor.Double(3) / 10000);
    const double net = cursor.Double(4) / 10000;
    row.cells[5] = Fixed("%0.1f", net);
    row.netColour = net > 0.0000001 ? kStockNetBuyColour : kStockNetSellColour;
    result.rows.push_back(std::move(row));
  }
  if (cursor.Failed()) {
    result.failed = true;
    result.error = cursor.ErrorText();
    result.rows.clear();
  }
  return result;
}

std::string LatestWeekday(const std::string& today) {
  const std::optional<std::int64_t> number = DayNumberOf(today);
  if (!number) return today;
  std::int64_t day = *number;
  for (;;) {
    const int weekday = CivilFromDays(day).dayOfWeek;
    if (weekday != 0 && weekday != 6) break;
    --day;
  }
  const LocalTime civil = CivilFromDays(day);
  return DayText(civil.year, civil.month, civil.day);
}
