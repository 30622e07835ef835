#pragma once
// The value records that carry rows between the database queries and the pages that
// rank, list and write them. Plain copyable values, kept in std::vector in insertion
// order. Amounts are in units of 10,000 yuan, as stored in StockInfo. Text is UTF-8.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

// The seat name that stands for an institution.
inline constexpr const char* kInstitutionSeatName = "机构专用";

// Buy + sell of one branch in one listing from which the listing counts as a large trade.
inline constexpr double kLargeTradeThreshold = 200.0;

// One listed stock on one day, or a stock's totals over several days.
struct CStockDayRow {
  std::string StockName;
  std::string StockCode;
  std::int32_t nCount = 0;  // 1 for one day's listing; the number of listings when summed
  double TotalBuy = 0;      // buy amounts of all ten seats
  double TotalSell = 0;     // sell amounts of all ten seats
  double TotalBuySell = 0;  // TotalBuy + TotalSell
  double NetBuy = 0;        // TotalBuy - TotalSell
  float ZhangFu = 0;        // the day's change in percent
  std::int32_t InstitutionSeats = 0;  // buying seats named kInstitutionSeatName
  std::string SB_Reason;
};

// One branch's totals over a period.
struct CBranchTotalsRow {
  std::string YYBName;
  std::int32_t nCount = 0;     // listings counted for the branch
  std::int32_t BuyTimes = 0;   // set by the page that fills the row (0 elsewhere)
  std::int32_t SellTimes = 0;  // set by the page that fills the row (0 elsewhere)
  double TotalBuy = 0;
  double TotalSell = 0;
  double TotalBuySell = 0;     // TotalBuy + TotalSell
  double NetBuy = 0;           // TotalBuy - TotalSell
  double LargeTradeSum = 0;    // buy + sell over the listings at or above the threshold
  std::int32_t LargeTradeCount = 0;  // those listings, at least 1 once the row is filled
  double AverageFunds = 0;     // LargeTradeSum / LargeTradeCount
  std::vector<std::string> StockNames;  // a name is added when it differs from the last
  std::string Text1;
  std::string Text2;
  double LastBuy = 0;          // buy amount of the listing added last
  double LastSell = 0;         // sell amount of the listing added last
  // Stock code of the listing added last. A branch seen again with the same amounts is
  // the same listing (met once among the buyers and once among the sellers) only when
  // it is also the same stock; two stocks with equal figures are two listings.
  std::string LastStockCode;
};

// One team of branches from the user's branch marks.
struct CBranchTeamRow {
  std::int32_t TeamNumber = 0;
  std::string TeamName;
  std::int32_t IsLike = 0;  // 1 = the team takes part in the charting program's data
  std::array<std::uint8_t, 2> Flags{};
  std::array<std::int32_t, 4> Counters{};
  COLORREF Color = 0;
  std::vector<std::string> Members;  // YYBName of every mark of the team, in query order
};

// One listing of a stock with its close that day.
struct CStockNetBuyRow {
  std::string StockName;
  std::string SB_Date;
  std::string StockCode;
  double JinShou = 0;
};

// One branch with its repeat-buying counters.
struct CBranchRepeatBuyRow {
  std::string YYBName;
  std::int32_t ShangBangCiShu_Buy = 0;  // listings as a buyer
  std::int32_t Above2_Buy = 0;          // bought two or more times
  std::array<std::int32_t, 3> Counters{};
};

// One block trade (a DZJY row) in memory. The block-trade pages and the charting
// program's series keep vectors of it; a reader that merges a stock's trades of a day
// sums nCount and CJSL into one record.
struct CBlockTradeRow {
  std::string Day;        // the trade day, "YYYY-MM-DD"
  std::string StockCode;
  std::string StockName;
  std::int32_t nCount = 0;  // RowNumber while parsing; trades merged into the record when read back
  float SPJ = 0;            // the close
  float CJJ = 0;            // the deal price
  std::string Note;
  std::int32_t CJSL = 0;    // the deal volume
  float CJJE = 0;           // the deal amount; readers may give it a sign (see there)
  std::string SellName;
  std::string BuyName;
};

// Adds one listing of `branch` (buy amount `buy`, sell amount `sell`, in stock
// `stockCode`/`stockName`) to the branch rows:
//  - a new branch is appended with this listing;
//  - the same listing again (same amounts and stock code as the branch's last one, as
//    when a branch sits among both the buyers and the sellers) changes nothing;
//  - otherwise the branch's row is updated and moved to the end of the array.
// The large-trade count is the number of listings with buy + sell at or above the
// threshold, but at least 1, and the average is the large-trade sum over that count.
void AddBranchListing(std::vector<CBranchTotalsRow>& rows, const std::string& branch,
                      const std::string& stockCode, const std::string& stockName, double buy, double sell);

// The ten seats of a listing, in column order Buy1..Buy5, Sell1..Sell5.
using SeatAmounts = std::array<double, 10>;
using BuySeatNames = std::array<std::string, 5>;

// A day row from one StockInfo row: `buyAmounts`/`sellAmounts` are the ten seats'
// buy and sell amounts (…_YYB_BuyAmount, …_YYB_SellAmount), `buyNames` the five
// buying seats' names. nCount is 1.
CStockDayRow MakeStockDayRow(const std::string& stockName, const std::string& stockCode, float zhangFu,
                             const std::string& reason, const SeatAmounts& buyAmounts,
                             const SeatAmounts& sellAmounts, const BuySeatNames& buyNames);
