#pragma once
// A made-up month of block trades and the data centre's month page for it
// ("/dzjy/<yyyymm>.html"), rendered to GBK bytes (CRLF line ends) through iconv, not
// through the program's charset code.
//
// The month is deterministic from (month, days, seed). Its trades carry what a correct
// download stores for them: identities, row numbers within each stock, the stock's
// close carried to its further rows, whole volumes and amounts, and nothing of a B
// share or of a 688xxx code.
//
// With the special stocks (the default) the first day spans 12 rows: a stock with
// three trades, a B share with two, a 688xxx code, an amount with decimals, a volume
// with decimals, stocks with two trades and stocks with one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/row_records.h"

struct BlockTradeModel {
  int rowNumber = 1;             // the trade's place within its stock's rows of the day
  std::string priceText, volumeText, amountText;  // as the page shows them
  float price = 0;
  std::int32_t volume = 0;       // the whole number the volume text starts with
  float amount = 0;              // likewise for the amount
  std::string buyer, seller;
  bool brokenCell = false;       // the buyer cell lacks its "</td>": the row is abandoned
};

struct BlockTradeStockModel {
  std::string code, name;
  std::string closeText;
  float close = 0;
  std::vector<BlockTradeModel> trades;  // page order
  bool MainBoard() const;               // 00, 30 or 60: stored
};

struct BlockTradeDayModel {
  std::string day;        // "2017-02-06"
  std::string shownDate;  // the date cell's text: the day, unless made unreadable
  std::vector<BlockTradeStockModel> stocks;
  int Rows() const;       // the date cell's rowspan
  bool Readable() const { return shownDate == day; }
  int ExpectedParsed() const;  // trades of stored stocks with every cell
};

struct BlockTradeMonthModel {
  std::string month;  // "201702"
  std::vector<BlockTradeDayModel> days;  // page order

  // What a correct parser stores into an empty table, in page order.
  std::vector<CBlockTradeRow> ExpectedRows() const;
  // The lines a correct download adds for the days, in order ("stored" = parsed on an
  // empty table, 0 when the month is stored already).
  std::vector<std::string> ExpectedDayLines(bool alreadyStored = false) const;
};

struct BlockTradeMonthOptions {
  bool specialStocks = true;
  int minStocks = 2;  // per further day
  int maxStocks = 5;
};

BlockTradeMonthModel MakeBlockTradeMonth(std::string_view yyyymm, const std::vector<std::string>& days,
                                         std::uint32_t seed, const BlockTradeMonthOptions& options = {});

// Day `day`'s date cell shows `shown` instead of the day.
void MakeDayUnreadable(BlockTradeMonthModel& month, std::size_t day, std::string shown);
// Trade `trade` of stock `stock` of day `day` loses its buyer cell's "</td>".
void BreakTradeCell(BlockTradeMonthModel& month, std::size_t day, std::size_t stock, std::size_t trade);

enum class BlockTradePageKind {
  Normal,        // the table, then "<!--content end-->" and a side list of rows that are no trades of the month
  NoContentEnd,  // no "<!--content end-->" and no side list: the table runs to the page's end
  NoHeader,      // the table head (and with it "卖方营业部") is missing
  BareCells,     // every cell of a trade opens with a bare "<td>"
};

std::string RenderBlockTradeMonthPage(const BlockTradeMonthModel& month,
                                      BlockTradePageKind kind = BlockTradePageKind::Normal);

// "/dzjy/201702.html"
std::string MonthTradesTarget(std::string_view yyyymm);
