#pragma once
// The block-trade list: DZJY rows turned into lines of twelve cells with their
// own colours, merged per trade (same day, stock, buyer and seller) and closed
// by a totals block. The queries of the list page (one day, the searches over
// all days, the last N days of a stock or branch) are built here with every
// value bound.
//
// Columns: 0 line number, 1 day, 2 name, 3 code, 4 close, 5 deal price, 6
// premium, 7 volume, 8 amount, 9 buyer, 10 seller, 11 note (empty).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gdi_types.h"
#include "platform/win_types.h"
#include "storage/day_range.h"
#include "storage/db_value.h"

class BranchMarks;
class CADODataBase;
class IClock;

inline constexpr int kBlockTradeColumnCount = 12;

inline constexpr COLORREF kBlockTradeWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlockTradeRed = RGB(255, 0, 0);
inline constexpr COLORREF kBlockTradeGreen = RGB(0, 180, 0);

// Shown (message box) when the buying-branch keyword is under 4 GBK bytes.
inline constexpr const char* kKeywordTooShortText = "关键字长度小于 4 ！！！";
// The hint edit 1017 holds at start.
inline constexpr const char* kBlockTradeSearchHint = "双击下面列表中的股票名称、代码,营业部名称 ";

// One line of the block-trade list (also used by the ranking).
struct BlockTradeLine {
  std::array<std::string, kBlockTradeColumnCount> texts;
  // The cell's own background; nullopt: no entry in the list's colour store.
  std::array<std::optional<COLORREF>, kBlockTradeColumnCount> colours;
  std::string code;  // the stock code the line stands for; "" for a totals line

  friend bool operator==(const BlockTradeLine&, const BlockTradeLine&) = default;
};

// The amount band of a block trade (in 10,000 yuan): below 2000 white; above
// 2000 and below 4000 RGB(250,220,0); above 4000 and below 8000 RGB(255,0,255);
// 8000 or more RGB(245,227,13). Exactly 2000 or 4000 has no colour of its own
// (nullopt).
std::optional<COLORREF> BlockTradeAmountColour(double amount);

// Whose colours the premium cell takes: the day listing colours a discount
// above 6 % green and a deal above the close red; the searches reverse both.
enum class PremiumColours { DayListing, Search };

struct PremiumCell {
  // "-x%" with x = (SPJ - CJJ) / SPJ * 100, "%0.0f"; "0%", never "-0%", near the close.
  std::string text;
  std::optional<COLORREF> colour;  // nullopt: no colour
};
// The premium cell, from both prices rounded to whole cents, so that a discount of
// exactly 6 % is exactly 6 %. A close of less than half a cent gives "" and no colour.
PremiumCell BlockTradePremium(double spj, double cjj, PremiumColours mode);

// One DZJY row as read.
struct BlockTradeRecord {
  std::string day;  // the first 10 characters of DZJY_Date
  std::string code, name, buyer, seller;
  // Read and compared in double: a float makes 10.00 -> 9.40 a discount above 6 %.
  double spj = 0, cjj = 0;
  std::int64_t volume = 0;
  double amount = 0;
};

// A statement with its bound values.
struct BlockTradeQuery {
  std::string sql;
  std::vector<DbValue> params;
};

// The searches over every stored day, newest day first
// (ORDER BY DZJY_Date DESC, StockCode, RowNumber, rowid).
BlockTradeQuery StockCodeTradesQuery(const std::string& code);
BlockTradeQuery StockNameTradesQuery(const std::string& name);
// BuyName LIKE '%keyword%' with '%', '_' and '\' escaped; nullopt when the
// keyword is under 4 GBK bytes (the page shows kKeywordTooShortText and runs
// nothing).
std::optional<BlockTradeQuery> BuyerKeywordTradesQuery(const std::string& keyword);

// What "个股查询" does with the text of edit 1017.
enum class StockSearchKind { Empty, Code, Name };
// Empty for "", Code when the first character is '6', '0' or '3', else Name.
StockSearchKind ClassifyStockSearch(const std::string& text);
// The query of "个股查询"; nullopt for an empty text (the page beeps).
std::optional<BlockTradeQuery> StockSearchQuery(const std::string& text);

// The column a last-N-days search compares with the value.
enum class RecentTradesBy { StockName, StockCode, Buyer, Seller };
// The trades of the last `days` calendar days: DZJY_Date >= today - days (today
// from the clock, inclusive), newest day first. A negative count matches
// nothing.
BlockTradeQuery RecentTradesQuery(RecentTradesBy by, const std::string& value, const IClock& clock, int days);
// The list's double-click: columns 2, 3, 9 and 10 search by name, code, buyer
// and seller; any other column gives nullopt.
std::optional<RecentTradesBy> RecentTradesByColumn(int column);

// Whether DZJY holds a trade of `day` (SELECT 1 ... LIMIT 1 over the day's
// range). False when there is none and when the query fails.
bool DayHasTrades(CADODataBase& db, const std::string& day);
// The newest and the oldest DZJY_Date stored, as "YYYY-MM-DD" (the bounds of
// day stepping); nullopt for an empty table or a failed query (`ok` tells them
// apart).
std::optional<std::string> NewestTradeDay(CADODataBase& db, bool* ok = nullptr);
std::optional<std::string> OldestTradeDay(CADODataBase& db, bool* ok = nullptr);
// The rule by which the block-trade list steps: the days DZJY holds.
DayStepRule TradeDayRule(CADODataBase& db);

// Runs `query` and reads its rows in order. False when the statement fails
// (`rows` is then left empty); NULL texts and numbers read as "" and 0.
bool ReadBlockTrades(CADODataBase& db, const BlockTradeQuery& query, std::vector<BlockTradeRecord>& rows);

class BlockTradeListing {
 public:
  const std::vector<BlockTradeLine>& Lines() const { return lines_; }
  // The trade lines added by the last fill (what edit 1000 shows after it).
  int AddedCount() const { return added_; }

  void Clear();

  // The day listing: the trades of `day` ordered StockCode, RowNumber, rowid,
  // premium colours of the day listing, and a totals block over the lines when
  // there is at least one. False when the query fails: the lines are then left
  // as they were.
  bool ShowDay(CADODataBase& db, const std::string& day, const BranchMarks& marks);
  // A search listing: as ShowDay, with the premium colours reversed, and the
  // totals block appended even over 0 lines.
  bool RunTradeQuery(CADODataBase& db, const BlockTradeQuery& query, const BranchMarks& marks);

  // Replaces the lines by `rows` (merged per trade) without totals;
  // AddedCount() becomes the number of lines added.
  void Fill(const std::vector<BlockTradeRecord>& rows, PremiumColours mode, const BranchMarks& marks);

  // Adds `volume` and `amount` to the shown line of the same day, code, buyer
  // and seller (exact text) and recolours its amount by the band of the sum.
  // False when no line matches (nothing changes).
  bool MergeIntoShownRow(const std::string& day, const std::string& code, const std::string& buyer,
                         const std::string& seller, std::int64_t volume, double amount);

  // Appends the totals block over lines 0 .. n-1: a "------" line, the headings
  // "总成交"/"总金额" and the sums of columns 7 ("%lld") and 8 ("%0.0f"). n is
  // clamped to 0 .. the line count, so a negative n totals nothing. Lines of an
  // earlier totals block inside the range count with what their cells read.
  void AppendTotals(long long n);
  // The same with n read from edit 1000's text as atoi reads it ("abc" gives
  // 0).
  void AppendTotals(const std::string& nText);

 private:
  struct Key {
    std::string day, code, buyer, seller;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const noexcept;
  };
  void AddTrade(const BlockTradeRecord& row, PremiumColours mode, const BranchMarks& marks);
  bool RunAndFill(CADODataBase& db, const BlockTradeQuery& query, PremiumColours mode, const BranchMarks& marks,
                  bool totalsWhenEmpty);

  std::vector<BlockTradeLine> lines_;
  // First line of each (day, code, buyer, seller) among the trade lines.
  std::unordered_map<Key, std::size_t, KeyHash> index_;
  int added_ = 0;
};
