#include "acquisition/day_list_parser.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "storage/charset.h"
#include "storage/ole_types.h"

namespace {

constexpr std::size_t kCodeChars = 6;
constexpr int kMaxSpacesRemoved = 8;

// The six keys in the order they are searched.
enum Key { kSCode, kSName, kClosePrice, kChgradio, kTurnover, kCtypedes, kKeyCount };
constexpr std::array<std::string_view, kKeyCount> kKeyNames = {
    "SCode", "SName", "ClosePrice", "Chgradio", "Turnover", "Ctypedes"};

// Finds "key": in the record from `from` on and returns the value after it, up to the
// next comma or the record's end, without its enclosing quotes. `from` moves past the
// value. False when the key does not occur.
bool TakeValue(std::string_view record, std::string_view key, std::size_t& from,
               std::string_view& value) {
  std::string pattern;
  pattern.reserve(key.size() + 3);
  pattern += '"';
  pattern += key;
  pattern += "\":";
  const std::size_t at = record.find(pattern, from);
  if (at == std::string_view::npos) return false;
  const std::size_t begin = at + pattern.size();
  std::size_t end = record.find(',', begin);
  if (end == std::string_view::npos) end = record.size();
  from = end;
  value = record.substr(begin, end - begin);
  if (!value.empty() && value.front() == '"') value.remove_prefix(1);
  if (!value.empty() && value.back() == '"') value.remove_suffix(1);
  return true;
}

// The first `count` characters of a UTF-8 text.
std::string_view FirstChars(std::string_view text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < count && pos < text.size(); ++n) {
    std::size_t used = 0;
    Utf8CharToUnicode(text.data() + pos, text.size() - pos, &used);
    pos += used;
  }
  return text.substr(0, pos);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void ReadRecord(std::string_view record, std::string_view date, DayListEntry& entry) {
  std::array<std::string_view, kKeyCount> values;
  std::size_t from = 0;
  for (int k = 0; k < kKeyCount; ++k) {
    if (!TakeValue(record, kKeyNames[k], from, values[k])) {
      entry.missingKey = std::string(kKeyNames[k]);
      return;
    }
  }
  StockRecord& r = entry.record;
  r.StockCode = CutGbk(FirstChars(values[kSCode], kCodeChars), kStockCodeCap);
  r.StockName = CleanStockName(CutGbk(values[kSName], kStockNameCap));
  r.SB_Date = CutGbk(date, kStockDayCap);
  r.SB_Reason = CutGbk(values[kCtypedes], kStockReasonCap);
  r.JinShou = ParseFiniteNumberC(values[kClosePrice]);
  r.ZhangFu = ParseFiniteNumberC(values[kChgradio]);
  r.Amount = ParseFiniteNumberC(values[kTurnover]) / 10000.0;
  entry.complete = true;
}

}  // namespace

std::string CleanStockName(std::string_view name) {
  std::string out(name);
  while (!out.empty() && IsBlank(out.back())) out.pop_back();
  // Removing the first space each time: one left-to-right pass does the same.
  std::string cleaned;
  cleaned.reserve(out.size());
  int removed = 0;
  for (char c : out) {
    if (c == ' ' && removed < kMaxSpacesRemoved) {
      ++removed;
      continue;
    }
    cleaned += c;
  }
  return cleaned;
}

std::string SkippedRecordLine(const DayListEntry& entry) {
  return "第" + std::to_string(entry.index) + "条记录缺少" + entry.missingKey + "字段，已跳过!";
}

DayListPage ParseDayList(std::string_view page, std::string_view date) {
  DayListPage result;
  const std::size_t array = page.find("[{");
  if (array == std::string_view::npos) return result;
  result.hasRecordArray = true;

  std::vector<std::string> names;  // names of the complete records so far
  std::size_t pos = array + 1;
  while (static_cast<int>(result.entries.size()) < kDayListMaxRecords) {
    const std::size_t open = page.find('{', pos);
    if (open == std::string_view::npos) break;
    const std::size_t close = page.find('}', open + 1);
    if (close == std::string_view::npos) break;

    DayListEntry& entry = result.entries.emplace_back();
    entry.index = static_cast<int>(result.entries.size());
    ReadRecord(page.substr(open + 1, close - open - 1), date, entry);
    if (entry.complete) {
      for (const std::string& seen : names) {
        if (seen == entry.record.StockName) {
          entry.repeated = true;
          break;
        }
      }
      if (!entry.repeated) names.push_back(entry.record.StockName);
    }

    pos = close + 1;
    while (pos < page.size() && IsBlank(page[pos])) ++pos;
    if (pos < page.size() && page[pos] == ']') break;
  }
  return result;
}
