#pragma once
// The data centre's month page of block trades (大宗交易), without a database.
//
// The page (decoded to UTF-8 and joined into one line) holds one table. Its head ends
// with the column "卖方营业部"; its body lists the month's days one after another. The
// rows of a day carry the class "list_eve"; a spacer row of class "list_odd" whose only
// cell spans the table ends each day. A day's first row starts with the date cell
// ("<strong>YYYY-MM-DD</strong>", its rowspan the day's row count). A stock's first row
// holds code, name (both links), a third cell, the close, then the trade: deal price,
// volume, amount, buyer, seller. When the stock has several trades that day, its first
// four cells span them and its further rows hold only the trade's five cells.
//
// Cells are read as cells: each "<td ...>" to its own "</td>", the value being the
// cell's text with its inner tags taken out. A cell that another "<td" or the row's
// end interrupts before its "</td>" abandons the row.
//
// The parser keeps the state of one page; a new page takes a new parser. Every
// finished trade goes to the listener, which stores it (or not) and tells the
// parser; every day group ends with its summary or with the unreadable-date notice.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/row_records.h"

// The text of the table's head that the kept body follows.
inline constexpr std::string_view kBlockTradeLastTitle = "卖方营业部";
inline constexpr std::string_view kBlockTradeContentEnd = "<!--content end-->";

// Caps of the stored texts, in GBK bytes.
inline constexpr std::size_t kBlockTradeNameCap = 49;     // StockName
inline constexpr std::size_t kBlockTradeBranchCap = 199;  // BuyName, SellName

// What the month page holds once cut (the fetch's result 0 or 2).
struct BlockTradeTable {
  bool hasTable = false;  // "卖方营业部" was found
  std::string body;       // the table body after the head, up to "<!--content end-->"
};

// Cuts the table body out of a page: from after "卖方营业部</th></tr>" to the first
// "<!--content end-->" (to the page's end when that is absent).
BlockTradeTable CutBlockTradeTable(std::string_view page);

// The summary line of one day group.
struct BlockTradeDaySummary {
  std::string day;
  int total = 0;   // m_nGroupRowTotal: the date cell's rowspan
  int parsed = 0;  // m_nGroupRowsParsed
  int stored = 0;  // m_nGroupRowsStored
  bool operator==(const BlockTradeDaySummary&) const = default;
};

// "%s, 总行数=%d, 解析行数=%d,有效行=%d\n"
std::string BlockTradeDayLine(const BlockTradeDaySummary& summary);

class BlockTradeListener {
 public:
  virtual ~BlockTradeListener() = default;
  // A trade with every cell read. True when it was stored.
  virtual bool OnTrade(const CBlockTradeRow& trade) = 0;
  // A day group with a readable date has been parsed.
  virtual void OnDayParsed(const BlockTradeDaySummary& summary) = 0;
  // A day group whose date cell is no real YYYY-MM-DD day: nothing of it was handed on.
  virtual void OnDayUnreadable() = 0;
  // Between two day groups (the job pauses there); false stops the month.
  virtual bool OnGroupDone() { return true; }
};

class BlockTradeParser {
 public:
  explicit BlockTradeParser(BlockTradeListener& listener) : listener_(listener) {}

  // Cuts `body` (the kept table body) into day groups and parses each. Ends early
  // when the listener's OnGroupDone says so.
  void ParseBlockTradeMonth(std::string_view body);
  // One day group's text: its rows, then its summary.
  void ParseBlockTradeDay(std::string_view group);
  // One row's text after its class marker (the day's first row after its date cell).
  // Fills m_CurrentTrade and m_bTradeValid; true when the row was a whole trade of a
  // stock that is to be stored.
  bool ParseBlockTradeRow(std::string_view row);

  // The text between the last '>' before the first `tag` and that tag; when the tag is
  // absent, the text after the last '>' (the whole text when it has none).
  static std::string_view TextBeforeTag(std::string_view text, std::string_view tag);
  // A cell's value: its inner text without tags, blanks trimmed at both ends.
  static std::string CellText(std::string_view inner);
  // A real day written "YYYY-MM-DD".
  static bool IsDayText(std::string_view text);

  CBlockTradeRow m_CurrentTrade;
  int m_nRowsLeftInStock = 0;
  bool m_bTradeValid = false;
  int m_nGroupRowTotal = 0;
  int m_nGroupRowsParsed = 0;
  int m_nGroupRowsStored = 0;

 private:
  BlockTradeListener& listener_;
};

// Everything a page gives, collected (tests and the fuzz target).
struct BlockTradePageResult {
  bool hasTable = false;
  std::vector<CBlockTradeRow> trades;            // in page order, each handed on once
  std::vector<BlockTradeDaySummary> days;        // the summaries, in order
  int unreadableDays = 0;
};

// Cuts and parses a decoded page; every trade counts as stored unless `store` says
// otherwise.
BlockTradePageResult ParseBlockTradePage(std::string_view page,
                                         const std::function<bool(const CBlockTradeRow&)>& store = {});

// "%s%s%d" of the trade's day, code and row number: its DZJY_ID.
std::string BlockTradeId(const CBlockTradeRow& trade);
