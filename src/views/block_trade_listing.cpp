#include "views/block_trade_listing.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <functional>

#include "platform/gcc_restrict.h"
#include "records/branch_marks.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"
#include "storage/day_range.h"
#include "storage/ole_types.h"
#include "views/day_search.h"

namespace {

// Read by position: the list reads every row, a name lookup per cell would
// dominate.
constexpr const char* kTradeColumns =
    "SELECT DZJY_Date, StockCode, StockName, BuyName, SellName, SPJ, CJJ, "
    "CJSL, CJJE FROM DZJY";
constexpr const char* kNewestDayFirst = " ORDER BY DZJY_Date DESC, StockCode, RowNumber, rowid";

constexpr COLORREF kBandLow = RGB(250, 220, 0);
constexpr COLORREF kBandMiddle = RGB(255, 0, 255);
constexpr COLORREF kBandHigh = RGB(245, 227, 13);

// printf's "%0.<precision>f" without the locale.
std::string Fixed(double value, int precision) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  if (result.ec != std::errc()) return "0";
  return std::string(buffer, result.ptr);
}

std::string Integer(std::int64_t value) { return std::to_string(value); }

// atoi on 64 bits: white space, a sign, the leading digits; saturating, else 0.
std::int64_t ParseLeadingInt64(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value > (INT64_MAX - digit) / 10) {
      value = INT64_MAX;
      break;
    }
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

// '%', '_' and the escape itself match literally under ESCAPE '\'.
std::string EscapeLike(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

void HashInto(std::size_t& seed, const std::string& text) {
  seed ^= std::hash<std::string>{}(text) + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2);
}

}  // namespace

std::optional<COLORREF> BlockTradeAmountColour(double amount) {
  if (amount < 2000) return kBlockTradeWhite;
  if (amount > 2000 && amount < 4000) return kBandLow;
  if (amount > 4000 && amount < 8000) return kBandMiddle;
  if (amount >= 8000) return kBandHigh;
  return std::nullopt;  // exactly 2000 or 4000
}

PremiumCell BlockTradePremium(double spj, double cjj, PremiumColours mode) {
  // Prices are published in whole cents; a stored 18.80 reads as 18.799999. Counted
  // in whole cents (exact in a double), 18.80 against 20.00 is a discount of exactly 6 %.
  const double closeCents = std::round(spj * 100);
  const double discountCents = closeCents - std::round(cjj * 100);
  // No close, no premium: the division would print "inf%" or "-nan%".
  if (!(closeCents > 0)) return {};
  PremiumCell cell;
  cell.text = Fixed(-100 * discountCents / closeCents, 0);
  // A deal near the close has no sign: "-0" would read as a discount.
  if (cell.text == "-0") cell.text = "0";
  cell.text += "%";
  const bool deepDiscount = discountCents * 100 > 6 * closeCents;
  const bool aboveClose = discountCents < 0;
  if (mode == PremiumColours::DayListing) {
    if (deepDiscount)
      cell.colour = kBlockTradeGreen;
    else if (aboveClose)
      cell.colour = kBlockTradeRed;
  } else {
    if (deepDiscount)
      cell.colour = kBlockTradeRed;
    else if (aboveClose)
      cell.colour = kBlockTradeGreen;
  }
  return cell;
}

BlockTradeQuery StockCodeTradesQuery(const std::string& code) {
  return {std::string(kTradeColumns) + " WHERE StockCode = ?" + kNewestDayFirst, {code}};
}

BlockTradeQuery StockNameTradesQuery(const std::string& name) {
  return {std::string(kTradeColumns) + " WHERE StockName = ?" + kNewestDayFirst, {name}};
}

std::optional<BlockTradeQuery> BuyerKeywordTradesQuery(const std::string& keyword) {
  if (GbkByteLength(keyword) < 4) return std::nullopt;
  VELKOR_STRING_RESTRICT_BEGIN
  return BlockTradeQuery{std::string(kTradeColumns) + " WHERE BuyName LIKE ? ESCAPE '\\'" + kNewestDayFirst,
                         {"%" + EscapeLike(keyword) + "%"}};
  VELKOR_STRING_RESTRICT_END
}

StockSearchKind ClassifyStockSearch(const std::string& text) {
  if (text.empty()) return StockSearchKind::Empty;
  const char first = text.front();
  return first == '6' || first == '0' || first == '3' ? StockSearchKind::Code : StockSearchKind::Name;
}

std::optional<BlockTradeQuery> StockSearchQuery(const std::string& text) {
  switch (ClassifyStockSearch(text)) {
    case StockSearchKind::Code:
      return StockCodeTradesQuery(text);
    case StockSearchKind::Name:
      return StockNameTradesQuery(text);
    case StockSearchKind::Empty:
      break;
  }
  return std::nullopt;
}

BlockTradeQuery RecentTradesQuery(RecentTradesBy by, const std::string& value, const IClock& clock, int days) {
  const char* column = "StockName";
  switch (by) {
    case RecentTradesBy::StockName:
      column = "StockName";
      break;
    case RecentTradesBy::StockCode:
      column = "StockCode";
      break;
    case RecentTradesBy::Buyer:
      column = "BuyName";
      break;
    case RecentTradesBy::Seller:
      column = "SellName";
      break;
  }
  BlockTradeQuery query{std::string(kTradeColumns) + " WHERE " + column + " = ? AND DZJY_Date >= ?", {value}};
  if (days < 0) {
    // datediff can never be negative for a stored day: nothing is listed.
    query.sql += " AND 0";
    query.params.emplace_back(CutoffDay(clock, 0));
  } else {
    query.params.emplace_back(CutoffDay(clock, days));
  }
  query.sql += kNewestDayFirst;
  return query;
}

std::optional<RecentTradesBy> RecentTradesByColumn(int column) {
  switch (column) {
    case 2:
      return RecentTradesBy::StockName;
    case 3:
      return RecentTradesBy::StockCode;
    case 9:
      return RecentTradesBy::Buyer;
    case 10:
      return RecentTradesBy::Seller;
    default:
      return std::nullopt;
  }
}

bool DayHasTrades(CADODataBase& db, const std::string& day) {
  const auto [from, to] = DayRange(day);
  CADORecordset rs(&db);
  return rs.Open(
             "SELECT 1 FROM DZJY WHERE DZJY_Date >= ? AND DZJY_Date < ? "
             "LIMIT 1",
             {from, to}) &&
         !rs.IsEof();
}

std::optional<std::string> NewestTradeDay(CADODataBase& db, bool* ok) {
  return StoredDayBound(db, "SELECT MAX(DZJY_Date) AS Day FROM DZJY WHERE DZJY_Date <> ''", ok);
}

std::optional<std::string> OldestTradeDay(CADODataBase& db, bool* ok) {
  return StoredDayBound(db, "SELECT MIN(DZJY_Date) AS Day FROM DZJY WHERE DZJY_Date <> ''", ok);
}

DayStepRule TradeDayRule(CADODataBase& db) {
  return {[&db](int direction) { return direction < 0 ? OldestTradeDay(db) : NewestTradeDay(db); },
          [&db](const std::string& day) { return DayHasTrades(db, day); }};
}

bool ReadBlockTrades(CADODataBase& db, const BlockTradeQuery& query, std::vector<BlockTradeRecord>& rows) {
  rows.clear();
  CADORecordset rs(&db);
  if (!rs.Open(query.sql, query.params)) return false;
  for (; !rs.IsEof(); rs.MoveNext()) {
    BlockTradeRecord row;
    std::string day;
    if (rs.GetFieldValue(0, day)) row.day = day.size() > 10 ? day.substr(0, 10) : day;
    rs.GetFieldValue(1, row.code);
    rs.GetFieldValue(2, row.name);
    rs.GetFieldValue(3, row.buyer);
    rs.GetFieldValue(4, row.seller);
    if (!rs.GetFieldValue(5, row.spj)) row.spj = 0;
    if (!rs.GetFieldValue(6, row.cjj)) row.cjj = 0;
    long long volume = 0;
    if (rs.GetFieldValue(7, volume)) row.volume = volume;
    if (!rs.GetFieldValue(8, row.amount)) row.amount = 0;
    rows.push_back(std::move(row));
  }
  return true;
}

std::size_t BlockTradeListing::KeyHash::operator()(const Key& key) const noexcept {
  std::size_t seed = 0;
  HashInto(seed, key.day);
  HashInto(seed, key.code);
  HashInto(seed, key.buyer);
  HashInto(seed, key.seller);
  return seed;
}

void BlockTradeListing::Clear() {
  lines_.clear();
  index_.clear();
  added_ = 0;
}

bool BlockTradeListing::ShowDay(CADODataBase& db, const std::string& day, const BranchMarks& marks) {
  const auto [from, to] = DayRange(day);
  const BlockTradeQuery query{std::string(kTradeColumns) +
                                  " WHERE DZJY_Date >= ? AND DZJY_Date < ? "
                                  "ORDER BY StockCode, RowNumber, rowid",
                              {from, to}};
  return RunAndFill(db, query, PremiumColours::DayListing, marks, false);
}

bool BlockTradeListing::RunTradeQuery(CADODataBase& db, const BlockTradeQuery& query, const BranchMarks& marks) {
  return RunAndFill(db, query, PremiumColours::Search, marks, true);
}

bool BlockTradeListing::RunAndFill(CADODataBase& db, const BlockTradeQuery& query, PremiumColours mode,
                                   const BranchMarks& marks, bool totalsWhenEmpty) {
  std::vector<BlockTradeRecord> rows;
  if (!ReadBlockTrades(db, query, rows)) return false;
  Fill(rows, mode, marks);
  if (added_ > 0 || totalsWhenEmpty) AppendTotals(added_);
  return true;
}

void BlockTradeListing::Fill(const std::vector<BlockTradeRecord>& rows, PremiumColours mode, const BranchMarks& marks) {
  Clear();
  lines_.reserve(rows.size() + 3);
  for (const BlockTradeRecord& row : rows) {
    if (MergeIntoShownRow(row.day, row.code, row.buyer, row.seller, row.volume, row.amount)) continue;
    AddTrade(row, mode, marks);
  }
}

void BlockTradeListing::AddTrade(const BlockTradeRecord& row, PremiumColours mode, const BranchMarks& marks) {
  BlockTradeLine line;
  ++added_;
  line.texts[0] = Integer(added_);
  line.texts[1] = row.day;
  line.texts[2] = row.name;
  line.texts[3] = row.code;
  line.texts[4] = Fixed(row.spj, 2);
  line.texts[5] = Fixed(row.cjj, 2);
  PremiumCell premium = BlockTradePremium(row.spj, row.cjj, mode);
  line.texts[6] = std::move(premium.text);
  line.colours[6] = premium.colour;
  line.texts[7] = Integer(row.volume);
  line.texts[8] = Fixed(row.amount, 0);
  line.colours[8] = BlockTradeAmountColour(row.amount);
  line.texts[9] = row.buyer;
  line.texts[10] = row.seller;
  for (int column : {1, 2, 3, 4, 5, 7}) line.colours[column] = kBlockTradeWhite;
  line.colours[9] = marks.Colour(row.buyer);
  line.colours[10] = marks.Colour(row.seller);
  line.code = row.code;
  index_.emplace(Key{row.day, row.code, row.buyer, row.seller}, lines_.size());
  lines_.push_back(std::move(line));
}

bool BlockTradeListing::MergeIntoShownRow(const std::string& day, const std::string& code, const std::string& buyer,
                                          const std::string& seller, std::int64_t volume, double amount) {
  const auto found = index_.find(Key{day, code, buyer, seller});
  if (found == index_.end()) return false;
  BlockTradeLine& line = lines_[found->second];
  line.texts[7] = Integer(ParseLeadingInt64(line.texts[7]) + volume);
  const double sum = ParseNumberC(line.texts[8]) + amount;
  line.texts[8] = Fixed(sum, 0);
  // The merged amount takes the band of the sum, replacing the first trade's
  // colour.
  line.colours[8] = BlockTradeAmountColour(sum);
  return true;
}

void BlockTradeListing::AppendTotals(long long n) {
  const std::size_t count = n <= 0 ? 0 : std::min<std::size_t>(static_cast<unsigned long long>(n), lines_.size());
  std::int64_t volume = 0;
  double amount = 0;
  for (std::size_t i = 0; i < count; ++i) {
    volume += ParseLeadingInt64(lines_[i].texts[7]);
    amount += ParseNumberC(lines_[i].texts[8]);
  }
  BlockTradeLine rule;
  for (int column = 0; column <= 9; ++column) rule.texts[column] = "------";
  BlockTradeLine headings;
  headings.texts[7] = "总成交";
  headings.texts[8] = "总金额";
  BlockTradeLine sums;
  sums.texts[7] = Integer(volume);
  sums.texts[8] = Fixed(amount, 0);
  lines_.push_back(std::move(rule));
  lines_.push_back(std::move(headings));
  lines_.push_back(std::move(sums));
}

void BlockTradeListing::AppendTotals(const std::string& nText) { AppendTotals(ParseLeadingInt(nText)); }
