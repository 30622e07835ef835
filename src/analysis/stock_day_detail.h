#pragma once
// The tracker's stock-day detail: one listed stock on one day with its ten seats, as
// the right half of the tracker page shows it (five edits and the seat list 1113).
//
// LoadStockDay reads the row and folds its seats into the branch totals of the merge;
// BuildStockDayView turns a record into the texts and colours of the edits and the
// fourteen rows of the seat list. Nothing here touches a widget or shows a box.

#include <array>
#include <optional>
#include <string>

#include "platform/gdi_types.h"
#include "platform/win_types.h"
#include "records/branch_marks.h"
#include "records/seat_list_rows.h"
#include "records/stock_detail_record.h"

class CADODataBase;
class TrackerBranchTotals;

// The current stock-day: texts whole (UTF-8), amounts in 10,000 yuan as stored.
using StockDayDetail = StockDetailRecord;

// The seat list's columns (titles and widths in pixels).
inline constexpr int kStockDayColumnCount = kSeatListColumnCount;
inline constexpr std::array<SeatListColumn, kStockDayColumnCount> kStockDayColumns = {{
    {"序号", 41},
    {"营业部", 265},
    {"总买入", 60},
    {"总卖出", 60},
    {"净买入", 60},
    {"次数", 60},
    {"介入度", 55},
    {"游资简介", 600},
}};

// Rows: 0-4 buying seats, 5 separator, 6-10 selling seats, 11 separator, 12 totals,
// 13 the totals' shares of the day's turnover.
inline constexpr int kStockDayRows = kSeatListRows;
inline constexpr int kStockDayRowSeparator1 = kSeatRowSeparator1;
inline constexpr int kStockDayRowSeparator2 = kSeatRowSeparator2;
inline constexpr int kStockDayRowTotals = kSeatRowTotals;
inline constexpr int kStockDayRowShares = kSeatRowShares;
inline constexpr const char* kStockDaySeparatorText = kSeatSeparatorText;
inline constexpr const char* kStockDayTotalsLabel = kSeatTotalsLabel;
inline constexpr const char* kStockDaySharesLabel = kSeatSharesLabel;
// A share of a day whose turnover is 0.
inline constexpr const char* kNoShareText = "--";

inline constexpr COLORREF kTeam1SeatColour = RGB(223, 0, 0);      // "买n"/"卖n" of the team-1 branch
inline constexpr COLORREF kHighRepeatRateColour = RGB(227, 23, 13);  // repeat-buy rate above 30 %
inline constexpr COLORREF kLowRepeatRateColour = RGB(255, 255, 255);

using StockDayRow = SeatListRow;

// The five edits of the detail: 1006 name, 1009 code, 1012 close, 1013 change (with
// its text colour), 1014 reason.
struct StockDayEdits {
  std::string stockName;
  std::string stockCode;
  std::string close;   // "%0.2f"
  std::string change;  // "%0.2f"
  COLORREF changeColour = 0;  // red for 0 and above, green below
  std::string reason;
};

struct StockDayView {
  StockDayEdits edits;
  std::array<StockDayRow, kStockDayRows> rows;
  // The seat totals after rows repeating an earlier row's shown figures were taken
  // out once.
  double TotalBuy = 0;
  double TotalSell = 0;
};

// Reads the StockInfo row of `code` on `day` (`SB_Date=? AND StockCode=? ORDER BY
// rowid`). When the query runs, `detail` is cleared and filled from the row found
// (no row leaves it cleared), and the row's ten seats are folded into `totals`
// (buying seats as side 1, selling seats as side 2; empty names add nothing); true
// is returned. When the query fails, `detail` and `totals` are left as they were,
// `error` (when given) receives the recordset's error text and false is returned.
bool LoadStockDay(CADODataBase& db, const std::string& code, const std::string& day, StockDayDetail& detail,
                  TrackerBranchTotals& totals, std::string* error = nullptr);
// The same on g_ADODatabase and g_TrackerBranchTotals.
bool LoadStockDay(const std::string& code, const std::string& day, StockDayDetail& detail,
                  std::string* error = nullptr);

// The edits and the seat list of `detail`:
//  - seat rows "买1".."买5", "卖1".."卖5": column 0 on kTeam1SeatColour when the seat's
//    (non-empty) name equals `team1Text`; column 1 the name on its mark colour (no
//    colour when the marks could not be read); columns 2/3 buy and sell "%0.2f" on
//    their band colours; column 4 buy - sell; column 5 the repeat-buy rate of the
//    branch's Buy2Times row on g_ADODatabase, Above2_Buy / ShangBangCiShu_Buy as a
//    whole percent, red when 10 * Above2_Buy > 3 * ShangBangCiShu_Buy, else white
//    (empty without a row or with ShangBangCiShu_Buy 0); column 6 the seat's share
//    of the day's turnover ("--" when the turnover is 0); column 7 the branch's
//    remark, on the mark colour, when there is one;
//  - rows 5 and 11 the separator in column 1;
//  - row 12 the totals ("%0.0f") and their share of the turnover, row 13 each total's
//    share ("--" when the turnover is 0).
// Shares are cut toward zero; those of the seats and of row 13 are taken in single
// precision.
StockDayView BuildStockDayView(const StockDayDetail& detail, const std::string& team1Text,
                               const BranchMarks& marks);

// The team-1 rule of a double-clicked result line: its team ("温州系") goes into the
// team-1 edit when "系" stands in it after its first character. nullopt leaves the
// edit alone ("" , "系统", "东方" and the like).
std::optional<std::string> Team1TextOfTeam(const std::string& teamName);

// kTrackerQueryFailedText ("数据库查询失败!"), "\n" and what the failed query's error
// text tells the user in Chinese (DatabaseErrorForUser); the error text itself goes to
// the debug log.
std::string QueryFailedBoxText(const std::string& errorText);
// That text, caption "系统提示", warning icon: shown once per user action whose query
// failed (never for an empty result).
void ShowQueryFailed(const std::string& errorText);
