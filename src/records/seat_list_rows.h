#pragma once
// The fourteen rows of a seat list (the daily list page's and the tracker's), as
// texts and cell colours: the five buying seats, a separator, the five selling seats,
// a separator, the totals and the totals' shares of the day's turnover.

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/win_types.h"
#include "records/branch_marks.h"
#include "records/stock_detail_record.h"

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

using SeatListRow = std::array<SeatCell, kSeatListColumnCount>;

// How a share of the day's turnover is taken: the quotient in single or in double
// precision.
enum class SharePrecision { Single, Double };

// What differs between the lists that show a stock's seats; the fourteen rows, the
// labels, the colours and the totals are common.
struct SeatListStyle {
  const char* seatFigureFormat = "%0.0f";  // a seat's buy, sell and net figures
  int seatShareColumn = 5;                 // a seat's share of the turnover
  // A share of the turnover as a whole percent; nullopt when there is none.
  std::optional<int> (*share)(double part, double amount, SharePrecision precision) = nullptr;
  const char* noShareText = "";  // the text of a share that is none
  bool colourNoShare = false;    // the shares row keeps its colours without a share
  // Fills the cells a list shows beside the common ones of a seat row.
  std::function<void(SeatListRow& row, const std::string& name)> seatExtras;
};

// Seat rows "买1".."买5" and "卖1".."卖5": the name on its mark colour (no colour when
// the marks could not be read), buy and sell on their band colours, buy - sell, the
// seat's share, and the remark on the mark colour when there is one. Rows 5 and 11
// hold the separator, row 12 the totals ("%0.0f") and their share of the turnover
// (red from 30 %, green at 0 % or below), row 13 each total's share.
SeatListRows BuildSeatListRows(const StockDetailRecord& record, const BranchMarks& marks,
                               const SeatListStyle& style);

// The daily list's seat list: whole figures, shares in column 5 in double precision.
// Amount cells are coloured by band; the branch-name cell by the branch's mark (no
// colour when the marks could not be read); the remark cell is filled only when the
// remark is not empty. With a day amount of 0 or less the share cells stay empty.
SeatListRows BuildSeatListRows(const StockDetailRecord& record, const BranchMarks& marks);
