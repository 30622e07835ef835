#pragma once
// The branch ranking's fold: every seat of every listing loaded becomes part of one
// row per branch (totals, times listed, money used on big listings, the stocks met).
//
// A branch that receives a seat moves to the end of the order, as if its row were
// taken out and appended. Instead of moving rows, each fold stamps its row with a
// running number; the order of last update is rebuilt from the stamps whenever the
// rows are read or sorted. A branch is found through a hash of its exact name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/row_records.h"
#include "storage/text_hash.h"

// The columns a fold reads of a listing, in this order: its name and code, then name,
// buy and sell of each buy seat, Buy1..Buy5.
inline constexpr std::string_view kBuySeatColumns =
    "StockName, StockCode, "
    "Buy1_YYB_Name, Buy1_YYB_BuyAmount, Buy1_YYB_SellAmount, "
    "Buy2_YYB_Name, Buy2_YYB_BuyAmount, Buy2_YYB_SellAmount, "
    "Buy3_YYB_Name, Buy3_YYB_BuyAmount, Buy3_YYB_SellAmount, "
    "Buy4_YYB_Name, Buy4_YYB_BuyAmount, Buy4_YYB_SellAmount, "
    "Buy5_YYB_Name, Buy5_YYB_BuyAmount, Buy5_YYB_SellAmount";

// buy + sell from which a seat counts as a big listing (in 10,000 yuan).
inline constexpr double kBigListingAmount = 200.0;

// The sort keys, numbered like the ranking's list columns.
enum BranchSortMode {
  kBranchSortByTotalBuy = 2,
  kBranchSortByTotalSell = 3,
  kBranchSortByNet = 4,
  kBranchSortByBuySell = 5,
  kBranchSortByTimes = 6,
  kBranchSortByAverageFunds = 7,
};

class BranchFold {
 public:
  void Clear();

  // Folds one seat. An empty name is ignored. A branch whose last folded seat had
  // exactly this buy and sell pair ignores the seat: a branch standing in both
  // halves of one listing carries the same pair twice and counts once (a pair met
  // again on the next stock counts once as well).
  void AddSeat(std::string_view branch, std::string_view stockName, std::string_view stockCode, double buy,
               double sell);
  // The same for a fold that meets its branches by number: `row` starts as kUnknownRow
  // and keeps the branch's row, found on its first seat, for its later seats. Valid
  // until the rows are read, sorted or cleared.
  static constexpr std::uint32_t kUnknownRow = UINT32_MAX;
  void AddSeat(std::uint32_t& row, std::string_view branch, std::string_view stockName, std::string_view stockCode,
               double buy, double sell);

  // The rows in the order of last update (after a sort, in the sorted order, later
  // folds moving their rows to the end).
  const std::vector<CBranchTotalsRow>& Rows() const;
  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  const CBranchTotalsRow* Find(const std::string& branch) const;

  // Descending by the key of `mode` (2-7; any other does nothing); equal keys keep
  // the order of last update.
  void SortBranches(int mode);

 private:
  void Settle() const;  // puts rows_ into stamp order and renumbers

  mutable std::vector<CBranchTotalsRow> rows_;
  mutable std::vector<std::uint64_t> stamps_;
  mutable TextIndex index_;  // name -> row
  mutable bool settled_ = true;
  std::uint64_t nextStamp_ = 0;
};

// The ranking pages' branch rows, for the whole run.
extern BranchFold g_BranchTotals;
// The walk's counters of the last ranking: trading days found, calendar days back.
extern int g_nDaysFound;
extern int g_nDayOffset;
