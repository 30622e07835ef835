#pragma once
// A made-up market day and the data centre's pages for it: the day list and every
// listed stock's seat page, rendered to GBK bytes (CRLF line ends) with iconv here,
// not through the program's own charset code, so the tests compare the parsers with
// an independent oracle.
//
// A day is deterministic from (date, seed). Its stocks carry what a correct download
// stores for them, so tests compare stored rows with the model.
//
// By default every day holds the awkward cases once or more:
//  - list: distractor keys (one, "SNameAbbr", starts like a read key), a stock listed
//    twice with two reasons, names with blanks, an apostrophe, a character whose GBK
//    trail byte is "{" (0x7B) and one whose trail byte is "}" (0x7D), a reason with
//    "，", and "Ctypedes" both in the middle of a record and as its last key;
//  - seat pages: full tables, tables of three rows, rows with a missing cell, and a
//    page with only two table bodies.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db_builder.h"  // SeatFixture, FiveSeats

enum class SeatPageKind {
  Full,         // five rows in each table
  ThreeRows,    // three rows in each table
  MissingCell,  // buying row 2 lacks its sell cell; selling row 1 lacks the name link end
  TwoBodies,    // the selling table body is missing altogether
};

// One row of a seat table as the page shows it.
struct SeatRowModel {
  std::string shownName;         // as on the page, perhaps cut short ("...营业")
  double buy = 0;                // 10,000 yuan; 0 is shown as "-"
  double sell = 0;
  bool sellCellMissing = false;  // the row ends after the fourth cell
  bool nameLinkBroken = false;   // the name's link ends in a single "</a>"
};

struct MarketStock {
  std::string code;        // six digits
  std::string pageName;    // "SName" as on the list page
  std::string storedName;  // the name as stored (blanks removed)
  std::string reason;      // the reason of the stock's first record
  std::string closeText, changeText, turnoverText;  // as on the list page
  double close = 0;        // JinShou
  double change = 0;       // ZhangFu
  double amount = 0;       // Amount: turnover in 10,000 yuan
  SeatPageKind seatPage = SeatPageKind::Full;
  std::vector<SeatRowModel> buyRows;
  std::vector<SeatRowModel> sellRows;
  // What a correct parser yields: completed names, a missing cell as 0, a broken row
  // as an empty name and 0/0, absent rows empty. Empty for TwoBodies.
  FiveSeats expectedBuy{};
  FiveSeats expectedSell{};
  int expectedIsDownloadOK = 1;  // 2 when the seat page cannot be read (TwoBodies)
};

// One record of the list page, in page order.
struct ListRecordModel {
  int stock = 0;             // index into MarketDay::stocks
  std::string reason;
  bool reasonLast = false;   // "Ctypedes" is the record's last key
  bool repeat = false;       // the stock was listed by an earlier record
};

struct MarketDay {
  std::string date;  // "2017-02-06"
  std::uint32_t seed = 0;
  std::vector<MarketStock> stocks;       // each stock once
  std::vector<ListRecordModel> records;  // the list page's records

  const MarketStock* Find(std::string_view code) const;
};

struct MarketOptions {
  int minStocks = 20;
  int maxStocks = 60;
  int doubledRecords = 1;         // stocks listed a second time, with another reason
  bool specialNames = true;       // blanks, apostrophe, 0x7B/0x7D trail bytes
  bool specialSeatPages = true;   // ThreeRows, MissingCell, TwoBodies once each
};

MarketDay MakeMarketDay(std::string_view date, std::uint32_t seed,
                        const MarketOptions& options = {});

// The pages, as GBK bytes with CRLF line ends.
std::string RenderListPage(const MarketDay& day);
std::string RenderEmptyListPage();  // a day the source has no list for: "data":[]
std::string RenderSeatPage(const MarketDay& day, const MarketStock& stock);

// The request targets (path and query) of the two pages.
std::string DayListTarget(std::string_view date);
std::string SeatPageTarget(std::string_view date, std::string_view code);

// UTF-8 to GBK through iconv; throws std::runtime_error on a character GBK lacks.
std::string EncodeGbk(std::string_view utf8);

// CJK characters (UTF-8) whose two-byte GBK form ends in `trail`, in GBK order.
const std::vector<std::string>& GbkCharactersWithTrail(unsigned char trail);

// The page with its line ends (CR and LF) removed, as a fetch joins its lines.
std::string JoinPageLines(std::string_view page);
