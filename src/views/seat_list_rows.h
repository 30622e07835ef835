#pragma once
// The fourteen rows of the seat list of the daily list page, as texts and cell
// colours: the five buying seats, a separator, the five selling seats, a separator,
// the totals and the totals' shares of the day's turnover.

#include <array>
#include <optional>
#include <span>
#include <string>

#include "platform/win_types.h"
#include "views/branch_marks.h"
#include "views/stock_detail_record.h"

struct SeatCell {
  std::string text;
  std::optional<COLORREF> colour;  // background; nullopt = the list's own
};

struct SeatListColumn {
  const char* title;
  int width;  // pixels
};

inline constexpr int kSeatListRows = 14;
inline constexpr int kSeatListColumnCount = 8;
inline constexpr std::array<SeatListColumn, kSeatListColumnCount> kSeatListColumns = {{
    {"序号", 40},
    {"营业部名称", 280},
    {"买入金额", 66},
    {"卖出金额", 66},
    {"净买入", 55},
    {"介入度", 55},
    {"成功率", 55},
    {"游资简介", 300},
}};

// Rows: 0-4 buy seats, 6-10 sell seats, 5 and 11 separators, 12 totals, 13 shares.
inline constexpr int kSeatRowSeparator1 = 5;
inline constexpr int kSeatRowSeparator2 = 11;
inline constexpr int kSeatRowTotals = 12;
inline constexpr int kSeatRowShares = 13;
inline constexpr const char* kSeatSeparatorText = "---------------------";
inline constexpr const char* kSeatTotalsLabel = "总买入  总卖出  总净买入  总买卖比(单位: 万元)";
inline constexpr const char* kSeatSharesLabel = "总买入  总卖出  总净买入  (占当日总成交比例)";

struct SeatListRows {
  std::array<std::array<SeatCell, kSeatListColumnCount>, kSeatListRows> cells;
  // The seat totals after rows repeating an earlier row's figures were taken out once.
  double TotalBuy = 0;
  double TotalSell = 0;
};

// What a list's seat totals lose to repeated rows. `shownRows` are the buy and sell
// figures of the list's rows as shown (read back from their texts, a separator row
// giving 0 and 0), in list order. A branch among both the buyers and the sellers
// stands twice with the same figures and must be counted once: every row whose two
// figures equal those of an earlier row is taken out, each row at most once however
// many earlier rows it repeats. The result is the sum of the rows taken out.
SeatFigures RepeatedSeatFigures(std::span<const SeatFigures> shownRows);

// Amount cells are coloured by band; the branch-name cell by the branch's mark (no
// colour when the marks could not be read); the remark cell is filled only when the
// remark is not empty. With a day amount of 0 or less the share cells stay empty.
SeatListRows BuildSeatListRows(const StockDetailRecord& record, const BranchMarks& marks);
