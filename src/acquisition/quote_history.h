#pragma once
// A listed stock's close, change, volume and amount of one day, read from the two
// quote portals when the exchanges' bulletins are the source: first the history query
// of one portal, and only when that holds no record of the day, the history page of
// the other.
//
// Units as the portals label them: volume in 手, amount in 10,000 yuan. Thousands
// separators are removed from the volume and the amount wherever they stand.

#include <string>
#include <string_view>

#include "acquisition/stock_record.h"

// Results of the two readers.
inline constexpr int kQuoteFound = 1;
inline constexpr int kQuoteNotOpened = -1;    // the query did not open (history query)
inline constexpr int kQuoteNoData = -2;       // no record of the day (history query)
inline constexpr int kQuotePageNoTable = -2;  // the page has no history table (history page)
inline constexpr int kQuotePageNoDay = -1;    // the day or its row end is not on the page

// The second portal's label in front of its "not found" line.
inline constexpr const char* kQuotePageLabel = "历史行情";

// "2016-03-01" -> "20160301": the day without its hyphens.
std::string CompactDay(std::string_view day);

// The request target of the history query for one code and day ("2016-03-01"): the
// day goes into start and end as eight digits, the fixed tail unchanged.
std::string QuoteHistoryTarget(std::string_view code, std::string_view day);
// The request target of the history page of one code.
std::string QuotePageTarget(std::string_view code);

// Reads the first record of a history-query answer (decoded, lines joined). The
// record must hold nine fields and be of `day`; then close, change, volume and amount
// go into `record` and the result is kQuoteFound. Otherwise kQuoteNoData and `record`
// is untouched.
int ParseQuoteHistory(std::string_view answer, std::string_view day, StockRecord& record);

// Reads the row of `day` from a history page (decoded, lines joined): kQuoteFound with
// the four figures set, kQuotePageNoTable, or kQuotePageNoDay (record untouched).
int ParseQuotePage(std::string_view page, std::string_view day, StockRecord& record);

// The red line of a history page without its table.
std::string QuotePageNoTableLine(std::string_view day, std::string_view code);
