#include "charting/block_trade_series.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "charting/chart_folder.h"
#include "charting/series_file.h"
#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"

namespace {

// Newest day first, only the rows of the N newest days; rowid keeps a day's trades in
// the order they were stored, and the last merged trade of a stock sets its fraction.
constexpr const char* kBlockTradeQuery =
    "SELECT DZJY_Date, StockCode, StockName, SPJ, CJJ, CJSL, CJJE, BuyName, SellName FROM DZJY "
    "WHERE DZJY_Date >= (SELECT MIN(d) FROM (SELECT DISTINCT DZJY_Date AS d FROM DZJY ORDER BY d DESC LIMIT ?)) "
    "ORDER BY DZJY_Date DESC, rowid";

std::int32_t SaturatingAdd(std::int32_t a, std::int32_t b) {
  const std::int64_t sum = static_cast<std::int64_t>(a) + b;
  if (sum > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (sum < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(sum);
}

}  // namespace

float EncodeBlockTradeValue(double cjje, double spj, double cjj) {
  float ratio = 0;
  if (spj > 0) ratio = static_cast<float>((spj - cjj) / spj);
  if (!std::isfinite(ratio)) ratio = 0;
  const double amount = std::isfinite(cjje) ? std::trunc(cjje) : 0.0;
  if (ratio > 0) return static_cast<float>(amount + static_cast<double>(ratio));
  return static_cast<float>(-(amount + std::fabs(static_cast<double>(ratio))));
}

float MergeBlockTradeValues(float older, float newer) {
  const double newMagnitude = std::fabs(static_cast<double>(newer));
  const double whole = std::trunc(std::fabs(static_cast<double>(older))) + std::trunc(newMagnitude);
  const double fraction = newMagnitude - std::trunc(newMagnitude);
  const double magnitude = whole + fraction;
  return static_cast<float>(std::signbit(newer) ? -magnitude : magnitude);
}

std::optional<std::int32_t> SeriesDateNumber(std::string_view dayText) {
  const std::optional<std::int64_t> number = DayNumberOf(dayText);
  if (!number) return std::nullopt;
  const LocalTime day = CivilFromDays(*number);
  if (day.year < 1 || day.year > 9999) return std::nullopt;
  return day.year * 10000 + day.month * 100 + day.day;
}

std::string BlockTradeDayText(std::string_view dzjyDate) {
  if (dzjyDate.size() >= 10) {
    const std::size_t blank = dzjyDate.find(' ');
    if (blank != std::string_view::npos) return std::string(dzjyDate.substr(0, blank));
  }
  return std::string(dzjyDate);
}

CBlockTradeSeries::CBlockTradeSeries(CSeriesWriter& writer, std::string folder)
    : writer_(writer), folder_(std::move(folder)) {}

void CBlockTradeSeries::MergeBlockTradeByStock(const CBlockTradeRow& row) {
  for (auto it = dayList_.begin(); it != dayList_.end(); ++it) {
    if (it->StockCode != row.StockCode) continue;
    CBlockTradeRow merged = std::move(*it);
    dayList_.erase(it);
    merged.CJJE = MergeBlockTradeValues(merged.CJJE, row.CJJE);
    merged.CJSL = SaturatingAdd(merged.CJSL, row.CJSL);
    merged.nCount = SaturatingAdd(merged.nCount, 1);
    dayList_.push_back(std::move(merged));
    return;
  }
  dayList_.push_back(row);
}

void CBlockTradeSeries::ExportBlockTradeSeries() {
  for (const CBlockTradeRow& row : dayList_) {
    const std::optional<std::int32_t> date = SeriesDateNumber(row.Day);
    if (!date) {
      ++badDates_;
      continue;
    }
    writer_.Add(folder_, kBlockTradeSeriesLabel, row.StockCode, *date, row.CJJE, MarketDigit(row.StockCode));
  }
  dayList_.clear();
}

CBlockTradeSeries::ScanResult CBlockTradeSeries::LoadBlockTrades(CADODataBase& market, int days,
                                                                 const std::function<void(int)>& progress,
                                                                 std::stop_token stop) {
  ScanResult result;
  const int n = days < 1 ? 1 : days;
  dayList_.clear();
  badDates_ = 0;
  CADORecordset rs(&market);
  if (!rs.Open(kBlockTradeQuery, {DbValue(n)})) return result;
  result.queryOk = true;

  std::string previous = " 2015-01-01";  // no real day text equals it
  int dayIndex = 0;
  CString date, code, name, buyName, sellName;
  double spj = 0, cjj = 0, cjje = 0;
  long long volume = 0;
  for (; !rs.IsEof(); rs.MoveNext()) {
    if (stop.stop_requested()) {
      dayList_.clear();
      result.stopped = true;
      return result;
    }
    rs.GetFieldValue(0, date);
    const std::string day = BlockTradeDayText(date);
    if (day != previous) {
      previous = day;
      if (dayIndex >= 1) ExportBlockTradeSeries();
      ++dayIndex;
      if (dayIndex > n) break;  // the row that opens day N + 1 is not used
      result.daysRead = dayIndex;
    }
    rs.GetFieldValue(1, code);
    rs.GetFieldValue(2, name);
    rs.GetFieldValue(3, spj);
    rs.GetFieldValue(4, cjj);
    rs.GetFieldValue(5, volume);
    rs.GetFieldValue(6, cjje);
    rs.GetFieldValue(7, buyName);
    rs.GetFieldValue(8, sellName);
    CBlockTradeRow row;
    row.Day = day;
    row.StockCode = code;
    row.StockName = name;
    row.nCount = 1;
    row.SPJ = static_cast<float>(spj);
    row.CJJ = static_cast<float>(cjj);
    row.CJSL = static_cast<std::int32_t>(
        std::clamp<long long>(volume, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    row.CJJE = EncodeBlockTradeValue(cjje, spj, cjj);
    row.SellName = sellName;
    row.BuyName = buyName;
    MergeBlockTradeByStock(row);
    ++result.rowsRead;
    if (progress) progress(dayIndex);
  }
  if (!dayList_.empty()) ExportBlockTradeSeries();
  result.badDates = badDates_;
  return result;
}
