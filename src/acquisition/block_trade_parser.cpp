#include "acquisition/block_trade_parser.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "acquisition/format_line.h"
#include "platform/clock.h"
#include "storage/charset.h"
#include "storage/day_range.h"
#include "storage/ole_types.h"

namespace {

constexpr auto npos = std::string_view::npos;

constexpr std::string_view kDayRowClass = "list_eve";
constexpr std::string_view kSpacerClass = "list_odd";
constexpr std::string_view kRowEnd = "</tr>";
constexpr std::string_view kCellOpen = "<td";
constexpr std::string_view kCellEnd = "</td>";
constexpr std::string_view kLinkEnd = "</a>";
constexpr std::string_view kDateEnd = "</strong>";
constexpr std::string_view kRowSpan = "rowspan=";

// The month loop stops once the rest is this short: a table's closing tags, no day.
constexpr std::size_t kShortestGroup = 30;
// The day loop stops once the rest of a group is shorter than this.
constexpr std::size_t kShortestRow = 10;

constexpr int kStockCells = 4;  // code, name, third, close
constexpr int kTradeCells = 5;  // price, volume, amount, buyer, seller
constexpr int kMaxRowSpan = 100000;

struct Cell {
  std::string_view tag;    // the attributes inside "<td ...>"
  std::string_view inner;  // between the open tag and "</td>"
};

enum class CellRead { Ok, None, Unclosed };

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The next "<td" that opens a cell ("<td>" or "<td " ...), not a longer tag name.
std::size_t FindCellOpen(std::string_view row, std::size_t from) {
  while (from < row.size()) {
    const std::size_t at = row.find(kCellOpen, from);
    if (at == npos) return npos;
    const std::size_t after = at + kCellOpen.size();
    if (after < row.size() && (row[after] == '>' || IsBlank(row[after]))) return at;
    from = after;
  }
  return npos;
}

// Reads the cell that starts at or after `pos`. Unclosed: the open tag has no '>', or
// the row ends or another cell opens before this one's "</td>".
CellRead NextCell(std::string_view row, std::size_t& pos, Cell& cell) {
  const std::size_t open = FindCellOpen(row, pos);
  if (open == npos) return CellRead::None;
  const std::size_t tagEnd = row.find('>', open + kCellOpen.size());
  if (tagEnd == npos) return CellRead::Unclosed;
  const std::size_t close = row.find(kCellEnd, tagEnd + 1);
  if (close == npos) return CellRead::Unclosed;
  const std::size_t next = FindCellOpen(row, tagEnd + 1);
  if (next != npos && next < close) return CellRead::Unclosed;
  cell.tag = row.substr(open + kCellOpen.size(), tagEnd - open - kCellOpen.size());
  cell.inner = row.substr(tagEnd + 1, close - tagEnd - 1);
  pos = close + kCellEnd.size();
  return CellRead::Ok;
}

// The rowspan of a cell's tag (quoted or not); 0 when it has none.
int RowSpanOf(std::string_view tag) {
  std::size_t at = tag.find(kRowSpan);
  if (at == npos) return 0;
  at += kRowSpan.size();
  if (at < tag.size() && (tag[at] == '"' || tag[at] == '\'')) ++at;
  int value = 0;
  int digits = 0;
  for (; at < tag.size() && tag[at] >= '0' && tag[at] <= '9'; ++at) {
    if (++digits > 6) return kMaxRowSpan;
    value = value * 10 + (tag[at] - '0');
  }
  return value > kMaxRowSpan ? kMaxRowSpan : value;
}

// The whole number the text starts with (blanks skipped, a sign taken), as atoi reads
// it; 0 when there is none or it has more than 18 digits.
std::int64_t LeadingWhole(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  std::int64_t value = 0;
  int digits = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (++digits > 18) return 0;
    value = value * 10 + (text[at] - '0');
  }
  return negative ? -value : value;
}

std::int32_t Whole32(std::string_view text) {
  const std::int64_t value = LeadingWhole(text);
  return value < INT32_MIN || value > INT32_MAX ? 0 : static_cast<std::int32_t>(value);
}

// A decimal as the float field holds it; 0 for what does not fit.
float Decimal(std::string_view text) {
  const double value = ParseNumberC(text);
  if (!std::isfinite(value)) return 0.0f;
  const float narrowed = static_cast<float>(value);
  return std::isfinite(narrowed) ? narrowed : 0.0f;
}

// Six digits, on one of the three main boards (00, 30, 60).
bool IsMainBoardCode(std::string_view code) {
  if (code.size() != 6) return false;
  for (char c : code)
    if (c < '0' || c > '9') return false;
  const std::string_view board = code.substr(0, 2);
  return board == "00" || board == "30" || board == "60";
}

// Reads up to N cells from `row`, in order; the count read before the row ran out
// of cells or met one without its end.
template <std::size_t N>
int ReadCells(std::string_view row, std::array<Cell, N>& cells) {
  std::size_t pos = 0;
  int n = 0;
  while (n < static_cast<int>(N) && NextCell(row, pos, cells[static_cast<std::size_t>(n)]) == CellRead::Ok) ++n;
  return n;
}

void ReadTrade(const Cell* cells, CBlockTradeRow& trade) {
  trade.CJJ = Decimal(BlockTradeParser::CellText(cells[0].inner));
  trade.CJSL = Whole32(BlockTradeParser::CellText(cells[1].inner));
  trade.CJJE = static_cast<float>(LeadingWhole(BlockTradeParser::CellText(cells[2].inner)));
  trade.BuyName = CutGbk(BlockTradeParser::CellText(cells[3].inner), kBlockTradeBranchCap);
  trade.SellName = CutGbk(BlockTradeParser::CellText(cells[4].inner), kBlockTradeBranchCap);
}


}  // namespace

BlockTradeTable CutBlockTradeTable(std::string_view page) {
  BlockTradeTable table;
  const std::size_t title = page.find(kBlockTradeLastTitle);
  if (title == npos) return table;
  table.hasTable = true;
  // The body starts after the head row that the title ends.
  const std::size_t headEnd = page.find(kRowEnd, title + kBlockTradeLastTitle.size());
  const std::size_t start = headEnd == npos ? page.size() : headEnd + kRowEnd.size();
  const std::size_t end = page.find(kBlockTradeContentEnd, start);
  table.body.assign(page.substr(start, end == npos ? npos : end - start));
  return table;
}

std::string BlockTradeDayLine(const BlockTradeDaySummary& summary) {
  return FormatC("%s, 总行数=%d, 解析行数=%d,有效行=%d\n", summary.day.c_str(), summary.total, summary.parsed,
                summary.stored);
}

std::string BlockTradeId(const CBlockTradeRow& trade) {
  return trade.Day + trade.StockCode + std::to_string(trade.nCount);
}

std::string_view BlockTradeParser::TextBeforeTag(std::string_view text, std::string_view tag) {
  const std::size_t end = tag.empty() ? npos : text.find(tag);
  const std::string_view before = end == npos ? text : text.substr(0, end);
  const std::size_t gt = before.rfind('>');
  return gt == npos ? before : before.substr(gt + 1);
}

std::string BlockTradeParser::CellText(std::string_view inner) {
  std::string out;
  out.reserve(inner.size());
  for (std::size_t i = 0; i < inner.size(); ++i) {
    if (inner[i] != '<') {
      out += inner[i];
      continue;
    }
    const std::size_t gt = inner.find('>', i + 1);
    if (gt == npos) break;  // a tag that never closes ends the value
    i = gt;
  }
  return std::string(Trim(out));
}

bool BlockTradeParser::IsDayText(std::string_view text) {
  if (text.size() != 10) return false;
  const auto number = DayNumberOf(text);
  if (!number) return false;
  const LocalTime day = CivilFromDays(*number);
  return DayText(day.year, day.month, day.day) == text;
}

void BlockTradeParser::ParseBlockTradeMonth(std::string_view body) {
  std::size_t pos = 0;
  while (body.size() - pos > kShortestGroup) {
    const std::string_view rest = body.substr(pos);
    const std::size_t spacer = rest.find(kSpacerClass);
    std::string_view group;
    if (spacer == npos || spacer == 0) {
      group = rest;
      pos = body.size();
    } else {
      group = rest.substr(0, spacer);
      // The next day starts after the spacer row.
      const std::size_t spacerEnd = rest.find(kRowEnd, spacer + kSpacerClass.size());
      pos += spacerEnd == npos ? rest.size() : spacerEnd + kRowEnd.size();
    }
    m_nGroupRowsParsed = 0;
    m_nGroupRowsStored = 0;
    ParseBlockTradeDay(group);
    if (!listener_.OnGroupDone()) return;
  }
}

void BlockTradeParser::ParseBlockTradeDay(std::string_view group) {
  // A stock's rows never reach into the next day.
  m_nRowsLeftInStock = 0;
  m_bTradeValid = false;
  std::size_t marker = group.find(kDayRowClass);
  std::size_t rowEnd = group.find(kRowEnd);
  if (marker == npos || (rowEnd != npos && marker > rowEnd)) return;

  // The first row: the date cell, then a stock's first row.
  const std::size_t firstBegin = marker + kDayRowClass.size();
  const std::string_view first = group.substr(firstBegin, rowEnd == npos ? npos : rowEnd - firstBegin);
  std::size_t pos = 0;
  Cell dateCell;
  const bool dateRead = NextCell(first, pos, dateCell) == CellRead::Ok;
  const std::string_view date = dateRead ? Trim(TextBeforeTag(dateCell.inner, kDateEnd)) : std::string_view{};
  if (!IsDayText(date)) {
    listener_.OnDayUnreadable();
    m_nGroupRowsParsed = 0;
    m_nGroupRowsStored = 0;
    return;
  }
  const int span = RowSpanOf(dateCell.tag);
  m_nGroupRowTotal = span > 0 ? span : 1;
  m_CurrentTrade = CBlockTradeRow{};
  m_CurrentTrade.Day.assign(date);
  if (ParseBlockTradeRow(first.substr(pos)) && listener_.OnTrade(m_CurrentTrade)) ++m_nGroupRowsStored;

  // The further rows.
  pos = rowEnd == npos ? group.size() : rowEnd + kRowEnd.size();
  while (group.size() - pos >= kShortestRow) {
    if (marker != npos && marker < pos) marker = group.find(kDayRowClass, pos);
    rowEnd = group.find(kRowEnd, pos);
    if (rowEnd == npos) break;  // no row is left
    if (marker != npos && marker < rowEnd) {
      const std::size_t begin = marker + kDayRowClass.size();
      if (ParseBlockTradeRow(group.substr(begin, rowEnd - begin)) && listener_.OnTrade(m_CurrentTrade)) {
        ++m_nGroupRowsStored;
      }
    }
    pos = rowEnd + kRowEnd.size();
  }

  listener_.OnDayParsed({m_CurrentTrade.Day, m_nGroupRowTotal, m_nGroupRowsParsed, m_nGroupRowsStored});
  m_nGroupRowsParsed = 0;
  m_nGroupRowsStored = 0;
}

bool BlockTradeParser::ParseBlockTradeRow(std::string_view row) {
  std::array<Cell, kStockCells + kTradeCells> cells;
  const int n = ReadCells(row, cells);
  const bool firstOfStock = n > 0 ? cells[0].inner.find("</a") != npos : row.find("</a") != npos;

  if (firstOfStock) {
    // A stock's first row; its further rows follow when its cells span several.
    m_bTradeValid = false;
    m_nRowsLeftInStock = 0;
    const std::string day = m_CurrentTrade.Day;
    m_CurrentTrade = CBlockTradeRow{};
    m_CurrentTrade.Day = day;
    m_CurrentTrade.nCount = 1;
    if (n == 0) return false;  // the stock cannot be told: none of its rows is stored
    const int span = RowSpanOf(cells[0].tag);
    m_nRowsLeftInStock = span > 1 ? span - 1 : 0;
    const std::string code = CellText(TextBeforeTag(cells[0].inner, kLinkEnd));
    if (!IsMainBoardCode(code) || n < kStockCells) return false;
    m_CurrentTrade.StockCode = code;
    m_CurrentTrade.StockName = CutGbk(CellText(TextBeforeTag(cells[1].inner, kLinkEnd)), kBlockTradeNameCap);
    m_CurrentTrade.SPJ = Decimal(CellText(cells[3].inner));
    m_bTradeValid = true;
    if (n < kStockCells + kTradeCells) return false;  // abandoned: a cell is missing
    ReadTrade(&cells[kStockCells], m_CurrentTrade);
    ++m_nGroupRowsParsed;
    return true;
  }

  // A further trade of the current stock.
  if (m_nRowsLeftInStock == 0) return false;
  --m_nRowsLeftInStock;
  if (!m_bTradeValid) return false;
  // The row keeps its place in the stock's numbering even when it is abandoned, so a
  // page read again gives every trade the identity it had.
  ++m_CurrentTrade.nCount;
  if (n < kTradeCells) return false;
  ReadTrade(&cells[0], m_CurrentTrade);
  ++m_nGroupRowsParsed;
  return true;
}

namespace {

class CollectingListener final : public BlockTradeListener {
 public:
  CollectingListener(BlockTradePageResult& result, const std::function<bool(const CBlockTradeRow&)>& store)
      : result_(result), store_(store) {}
  bool OnTrade(const CBlockTradeRow& trade) override {
    result_.trades.push_back(trade);
    return store_ ? store_(trade) : true;
  }
  void OnDayParsed(const BlockTradeDaySummary& summary) override { result_.days.push_back(summary); }
  void OnDayUnreadable() override { ++result_.unreadableDays; }

 private:
  BlockTradePageResult& result_;
  const std::function<bool(const CBlockTradeRow&)>& store_;
};

}  // namespace

BlockTradePageResult ParseBlockTradePage(std::string_view page,
                                         const std::function<bool(const CBlockTradeRow&)>& store) {
  BlockTradePageResult result;
  const BlockTradeTable table = CutBlockTradeTable(page);
  result.hasTable = table.hasTable;
  CollectingListener listener(result, store);
  BlockTradeParser parser(listener);
  parser.ParseBlockTradeMonth(table.body);
  return result;
}
