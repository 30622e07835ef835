#include "controls/sort_compare.h"

#include <algorithm>
#include <numeric>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(const std::string& text) { return std::all_of(text.begin(), text.end(), IsDigit); }

bool IsDayMonthYear(const std::string& text) {
  if (text.size() != 10 || text[2] != '/' || text[5] != '/') return false;
  for (size_t i : {0, 1, 3, 4, 6, 7, 8, 9}) {
    if (!IsDigit(text[i])) return false;
  }
  return true;
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Digit strings of any length: leading zeros dropped, then length, then digits.
int CompareDigitStrings(const std::string& a, const std::string& b) {
  const size_t za = std::min(a.find_first_not_of('0'), a.size());
  const size_t zb = std::min(b.find_first_not_of('0'), b.size());
  const size_t la = a.size() - za;
  const size_t lb = b.size() - zb;
  if (la != lb) return la < lb ? -1 : 1;
  return Sign(a.compare(za, la, b, zb, lb));
}

int CompareDates(const std::string& a, const std::string& b) {
  // Year (6-9), month (3-4), day (0-1): equal widths, so the digits compare as text.
  for (auto [pos, len] : {std::pair<size_t, size_t>{6, 4}, {3, 2}, {0, 2}}) {
    const int c = a.compare(pos, len, b, pos, len);
    if (c != 0) return Sign(c);
  }
  return 0;
}

int KindRank(SortKeyKind kind) { return static_cast<int>(kind); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

SortKeyKind SortKeyKindOf(const std::string& text) {
  if (AllDigits(text)) return SortKeyKind::Number;
  if (IsDayMonthYear(text)) return SortKeyKind::Date;
  return SortKeyKind::Text;
}

int ByteTextCompare(const std::string& a, const std::string& b) { return Sign(a.compare(b)); }

int CompareSortTexts(const std::string& a, const std::string& b, const SortTextCompare& compareText) {
  const SortKeyKind ka = SortKeyKindOf(a);
  const SortKeyKind kb = SortKeyKindOf(b);
  if (ka != kb) return KindRank(ka) < KindRank(kb) ? -1 : 1;
  switch (ka) {
    case SortKeyKind::Number:
      return CompareDigitStrings(a, b);
    case SortKeyKind::Date:
      return CompareDates(a, b);
    case SortKeyKind::Text:
      break;
  }
  return Sign(compareText ? compareText(a, b) : ByteTextCompare(a, b));
}

std::vector<int> SortedRowOrder(const std::vector<std::string>& keys, bool ascending,
                                const SortTextCompare& compareText) {
  std::vector<int> order(keys.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
    const std::string& a = keys[static_cast<size_t>(ascending ? x : y)];
    const std::string& b = keys[static_cast<size_t>(ascending ? y : x)];
    return CompareSortTexts(a, b, compareText) < 0;
  });
  return order;
}

bool ParseSortHeadings(const std::string& text, std::vector<SortHeading>& headings) {
  headings.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    const std::string pair = text.substr(pos, end - pos);
    const size_t comma = pair.rfind(',');
    if (comma == std::string::npos) return false;
    const std::string width = pair.substr(comma + 1);
    if (width.empty() || width.size() > 6 || !AllDigits(width)) return false;
    headings.push_back({pair.substr(0, comma), std::stoi(width)});
    pos = end + 1;
  }
  return true;
}

std::string EncodeColumnWidths(const std::vector<int>& widths) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::vector<std::int32_t> values;
  values.push_back(static_cast<std::int32_t>(widths.size()));
  values.insert(values.end(), widths.begin(), widths.end());
  std::string out;
  for (std::int32_t v : values) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int byte = 0; byte < 4; ++byte) {
      const unsigned b = (u >> (8 * byte)) & 0xFFu;
      out.push_back(kDigits[b >> 4]);
      out.push_back(kDigits[b & 0xFu]);
    }
  }
  return out;
}

std::optional<std::vector<int>> DecodeColumnWidths(const std::string& value) {
  if (value.empty() || value.size() % 8 != 0) return std::nullopt;
  std::vector<std::int32_t> values;
  for (size_t i = 0; i < value.size(); i += 8) {
    std::uint32_t u = 0;
    for (int byte = 0; byte < 4; ++byte) {
      const int hi = HexValue(value[i + 2 * byte]);
      const int lo = HexValue(value[i + 2 * byte + 1]);
      if (hi < 0 || lo < 0) return std::nullopt;
      u |= static_cast<std::uint32_t>(hi * 16 + lo) << (8 * byte);
    }
    values.push_back(static_cast<std::int32_t>(u));
  }
  if (values[0] < 0 || static_cast<size_t>(values[0]) != values.size() - 1) return std::nullopt;
  std::vector<int> widths(values.begin() + 1, values.end());
  if (std::any_of(widths.begin(), widths.end(), [](int w) { return w < 0; })) return std::nullopt;
  return widths;
}
