#pragma once
// A made-up day of the second source: the Shenzhen exchange's three bulletin files,
// the Shanghai exchange's public-trade answer and the two quote portals' answers for
// every listed stock, rendered here (GBK through iconv, not the program's own code).
//
// The default day holds the awkward cases: Shenzhen sections 1, 6 and 10 with stocks,
// "无" bodies, both forms of the ST titles, a stock in two sections and on two boards,
// six seat rows, the 1234567.89 / 1234.00 row, a seatless block after a long name, runs
// of blanks and tabs, a turnover block without a deviation; Shanghai sections 1 (A and
// B shares), 6, 13 and 14, a 51xxxx fund, seven buying rows and a "·" in a name; quote
// answers of both portals, "no data", an eight-field record and another day's record.
//
// Expected() is what a correct download stores for the day, worked out from the model.

#include <string>
#include <string_view>
#include <vector>

#include "db_builder.h"  // FiveSeats

// How the quote portals answer for a stock.
enum class QuoteKind {
  History,          // the history query has the day
  PageOnly,         // the query has no data ("[[" missing); the history page has the day
  EightFields,      // the query's record has eight fields; the history page has the day
  OtherDay,         // the query's record is of another day; the history page lacks the day
  NoTable,          // the query has no data; the history page has no table
  Neither,          // the query has no data; the page lacks the day
};

struct ExchangeSeatModel {
  std::string name;
  std::string buyText;   // as written, in yuan ("1234567.89")
  std::string sellText;  // Shenzhen only
};

struct ExchangeStockModel {
  std::string code;
  std::string name;  // as the bulletin writes it
  // Shenzhen figures as written; an empty deviation writes "换手率:" instead.
  std::string deviationText = "9.98";
  std::string volumeText = "1234.56";
  std::string amountText = "5678.90";
  bool seatless = false;  // Shenzhen: no seat tables at all
  std::vector<ExchangeSeatModel> buys;
  std::vector<ExchangeSeatModel> sells;
  QuoteKind quote = QuoteKind::History;
  double close = 10.5, change = 5.0, volume = 123456, amount = 7890.12;  // what the portals give
};

struct ExchangeListing {
  int stock = 0;    // index into ExchangeDayModel::stocks
  int section = 0;  // 0-based index into that exchange's section titles
  bool bShare = false;  // Shanghai sections with share classes: listed under "2、B股"
};

struct SzseBoardModel {
  int market = 2;  // 2 main, 3 SME, 4 growth
  bool missing = false;  // the file answers 404
  bool longStTitles = true;  // sections 8 and 9 under their longer titles
  std::vector<ExchangeListing> listings;
};

struct ExchangeDayModel {
  std::string date;  // "2017-01-05"
  std::vector<ExchangeStockModel> stocks;
  std::vector<SzseBoardModel> boards;  // main, SME, growth
  std::vector<ExchangeListing> sse;
  int missingSseTitle = -1;  // a Shanghai title left out (0-based), or -1
};

struct ExpectedExchangeRow {
  std::string code, name, reason;
  double close = 0, change = 0, volume = 0, amount = 0;
  FiveSeats buy{}, sell{};
};

ExchangeDayModel MakeExchangeDay(std::string_view date);

// The bulletin file of one board (GBK bytes, CRLF line ends).
std::string RenderSzseBulletin(const ExchangeDayModel& day, const SzseBoardModel& board);
// The Shanghai answer: a script call around one UTF-8 text without quotes, padded past
// `padTo` bytes.
std::string RenderSseAnswer(const ExchangeDayModel& day, std::size_t padTo = 1200);
// The history query's answer and the history page for one stock (GBK bytes).
std::string RenderQuoteHistory(const ExchangeDayModel& day, const ExchangeStockModel& stock);
std::string RenderQuotePage(const ExchangeDayModel& day, const ExchangeStockModel& stock);

// The request targets.
std::string SzseBulletinTarget(int market, std::string_view date);
std::string SseQueryTargetFor(std::string_view date);
std::string QuoteHistoryTargetFor(std::string_view code, std::string_view date);
std::string QuotePageTargetFor(std::string_view code);

// The stocks a correct download stores, in storing order.
std::vector<ExpectedExchangeRow> Expected(const ExchangeDayModel& day);

// `bytes` in a gzip member of stored (uncompressed) deflate blocks.
std::string GzipStored(std::string_view bytes);

// The Shenzhen and Shanghai section titles as the exchanges write them.
const std::vector<std::string>& SzseTitlesForTests();
const std::vector<std::string>& SseTitlesForTests();
