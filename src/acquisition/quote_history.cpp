#include "acquisition/quote_history.h"

#include <array>
#include <vector>

#include "storage/ole_types.h"

namespace {

constexpr auto npos = std::string_view::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A figure of a portal, every thousands separator removed.
double Figure(std::string_view text) {
  std::string digits;
  digits.reserve(text.size());
  for (char c : text) {
    if (c != ',') digits.push_back(c);
  }
  return ParseFiniteNumberC(digits);
}

// The fields of the first record: from just after "[[" to its "]". A quoted field is
// the text between its quotes (commas inside it stay in it); a bare field runs to the
// next comma.
std::vector<std::string_view> RecordFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  while (pos <= text.size() && fields.size() < 64) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size() || text[pos] == ']') break;
    std::string_view field;
    if (text[pos] == '"') {
      const std::size_t close = text.find('"', pos + 1);
      if (close == npos) break;  // a field cut short: the record is not whole
      field = text.substr(pos + 1, close - pos - 1);
      pos = close + 1;
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
    } else {
      std::size_t end = pos;
      while (end < text.size() && text[end] != ',' && text[end] != ']') ++end;
      field = Trim(text.substr(pos, end - pos));
      pos = end;
    }
    fields.push_back(field);
    if (pos < text.size() && text[pos] == ',') {
      ++pos;
    } else {
      break;
    }
  }
  return fields;
}

// The text inside a cell: every tag removed, blanks trimmed.
std::string CellText(std::string_view cell) {
  std::string out;
  bool inTag = false;
  for (char c : cell) {
    if (c == '<') {
      inTag = true;
    } else if (c == '>') {
      inTag = false;
    } else if (!inTag) {
      out.push_back(c);
    }
  }
  return std::string(Trim(out));
}

}  // namespace

std::string CompactDay(std::string_view day) {
  std::string out;
  int removed = 0;
  for (char c : day) {
    if (c == '-' && removed < 3) {
      ++removed;
      continue;
    }
    out.push_back(c);
  }
  return out;
}

std::string QuoteHistoryTarget(std::string_view code, std::string_view day) {
  const std::string compact = CompactDay(day);
  return "/hisHq?code=cn_" + std::string(code) + "&start=" + compact + "&end=" + compact +
         "&stat=1&order=D&period=d&callback=historySearchHandler&rt=jsonp&r=0.06965441047213972&0.2802838562056422";
}

std::string QuotePageTarget(std::string_view code) { return "/trade/lsjysj_" + std::string(code) + ".html"; }

int ParseQuoteHistory(std::string_view answer, std::string_view day, StockRecord& record) {
  const std::size_t open = answer.find("[[");
  if (open == npos) return kQuoteNoData;
  const std::vector<std::string_view> fields = RecordFields(answer.substr(open + 2));
  // Another day's record is no record of this day.
  if (fields.size() < 9 || CompactDay(fields[0]) != CompactDay(day)) return kQuoteNoData;
  record.JinShou = Figure(fields[2]);
  record.ZhangFu = Figure(fields[4]);  // "5.00%": the number before the sign
  record.DRCJL = Figure(fields[7]);
  record.Amount = Figure(fields[8]);
  return kQuoteFound;
}

int ParseQuotePage(std::string_view page, std::string_view day, StockRecord& record) {
  const std::size_t head = page.find("</thead>");
  if (head == npos) return kQuotePageNoTable;
  const std::string_view table = page.substr(head + 8);
  const std::size_t at = day.empty() ? npos : table.find(day);
  if (at == npos) return kQuotePageNoDay;
  const std::size_t rowEnd = table.find("</tr>", at);
  if (rowEnd == npos) return kQuotePageNoDay;
  // The cells after the date's: open, high, low, close, change, change %, volume, amount.
  std::string_view row = table.substr(at, rowEnd - at);
  const std::size_t dateEnd = row.find("</td>");
  if (dateEnd == npos) return kQuotePageNoDay;
  row.remove_prefix(dateEnd + 5);
  std::array<std::string, 8> cells;
  for (std::string& cell : cells) {
    const std::size_t end = row.find("</td>");
    if (end == npos) break;  // a short row: what is missing reads 0
    cell = CellText(row.substr(0, end));
    row.remove_prefix(end + 5);
  }
  record.JinShou = Figure(cells[3]);
  record.ZhangFu = Figure(cells[5]);
  record.DRCJL = Figure(cells[6]);
  record.Amount = Figure(cells[7]);
  return kQuoteFound;
}

std::string QuotePageNoTableLine(std::string_view day, std::string_view code) {
  return std::string(kQuotePageLabel) + "：没有找到收盘价格。" + std::string(day) + "：" + std::string(code);
}
