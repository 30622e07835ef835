#pragma once
// The data centre's day list: the page that names every stock listed on one day.
//
// The page (decoded to UTF-8 and joined into one line) holds a script whose record
// array starts at the first "[{". Each record is the text from a "{" to the next "}",
// made of "key":"value" pairs separated by commas. Six keys are read, in this order,
// each searched after the end of the previous value:
//   "SCode"      -> StockCode  (its first 6 characters)
//   "SName"      -> StockName  (blanks removed as the writer stores names)
//   "ClosePrice" -> JinShou
//   "Chgradio"   -> ZhangFu
//   "Turnover"   -> Amount     (yuan divided by 10,000)
//   "Ctypedes"   -> SB_Reason  (quotes stripped; may also be the record's last key)
// A value runs to the next comma or to the end of the record. Every other key is
// ignored. The array ends at the "]" that follows a record, or where no further
// complete record follows.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/stock_record.h"
#include "platform/win_types.h"

// One request returns at most this many records of a day; later ones are not read.
inline constexpr int kDayListMaxRecords = 200;

// What the download page shows when the page holds no record array (a day the
// source has no list for, or a page that changed its layout); added in red.
inline constexpr const char* kNoDayListText = "节假日无Velkor数据 或 网页数据有变化!!!";
inline constexpr COLORREF kDayListRed = 0x0000FF;

// One record of the array, in page order.
struct DayListEntry {
  int index = 0;             // running number from 1; counts every record, repeats too
  bool complete = false;     // all six keys were found
  std::string missingKey;    // the first key not found, when !complete
  // The name was already given by an earlier complete record of the page (a stock
  // listed for several reasons). The loader fetches and stores only the first one.
  bool repeated = false;
  StockRecord record;        // the list fields; the rest stays 0 (valid when complete)
};

struct DayListPage {
  bool hasRecordArray = false;  // "[{" was found
  std::vector<DayListEntry> entries;
};

// Parses a day's list page. `date` ("2017-02-06") goes into every record's SB_Date.
// Runs in time linear in the page size.
DayListPage ParseDayList(std::string_view page, std::string_view date);

// The red line for a record that lacks a key: "第%d条记录缺少%s字段，已跳过!".
std::string SkippedRecordLine(const DayListEntry& entry);

// A stock name as it is stored: trailing blanks cut, then at most eight of the
// remaining spaces removed, from the first on.
std::string CleanStockName(std::string_view name);
