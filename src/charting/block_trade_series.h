#pragma once
// The block-trade series (298, "大宗买卖"): for each of the N most recent days with
// block trades and each stock traded that day, one value whose integer part is the
// day's deal amount and whose fraction is the price discount; the sign tells a
// discount (positive) from a premium or a deal at the close (negative).

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "storage/row_records.h"

class CADODataBase;
class CSeriesWriter;

inline constexpr const char* kBlockTradeSeriesLabel = "--298大宗交易 ";

// ratio = (SPJ - CJJ) / SPJ as a float, 0 when SPJ is not above 0 (so no inf or NaN
// reaches the file); ratio > 0 gives trunc(CJJE) + ratio, else -(trunc(CJJE) + |ratio|).
float EncodeBlockTradeValue(double cjje, double spj, double cjj);
// A stock's running value of the day merged with its next trade's: the newest trade's
// sign and fraction with trunc|old| + trunc|new| as the integer part (for equal signs
// that is trunc(old) + new).
float MergeBlockTradeValues(float older, float newer);

// "YYYY-M-D" (a time part after a blank is ignored) as the number YYYYMMDD; nullopt for
// a text that is no valid day. "2015-7-1" gives 20150701.
std::optional<std::int32_t> SeriesDateNumber(std::string_view dayText);
// The trade day of a DZJY_Date text: cut before its first blank when it is 10 or more
// characters long.
std::string BlockTradeDayText(std::string_view dzjyDate);

class CBlockTradeSeries {
 public:
  // Values go to `writer` into `folder` (the series folder of 298).
  CBlockTradeSeries(CSeriesWriter& writer, std::string folder);

  // Collects one trade: a stock already in the day list is taken out, merged and put
  // at the end; otherwise the trade is appended.
  void MergeBlockTradeByStock(const CBlockTradeRow& row);
  // Writes one value per stock of the day list in list order and empties it. Rows
  // whose day cannot be read are skipped and counted.
  void ExportBlockTradeSeries();

  struct ScanResult {
    bool queryOk = false;
    bool stopped = false;
    int rowsRead = 0;
    int daysRead = 0;
    int badDates = 0;
  };
  // Scans DZJY newest day first, at most the N newest days (N < 1 counts as 1),
  // merging every trade and exporting at each change of day and at the end. `progress`
  // gets the day index; `stop` is asked between rows.
  ScanResult LoadBlockTrades(CADODataBase& market, int days, const std::function<void(int)>& progress = {},
                             std::stop_token stop = {});

  const std::vector<CBlockTradeRow>& DayList() const { return dayList_; }

 private:
  CSeriesWriter& writer_;
  std::string folder_;
  std::vector<CBlockTradeRow> dayList_;
  int badDates_ = 0;
};
