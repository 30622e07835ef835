#pragma once
// Scoring the stocks of one day on six criteria: heavy net inflow, one dominant seat,
// institutions, star seats, high-income seats and recent block trades. A scored day
// reads its StockInfo rows once, the branch flags of QLXWMA once and the codes with a
// block trade in the window once, so the statement count does not grow with the
// number of stocks.

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/gdi_types.h"
#include "records/stock_detail_record.h"
#include "storage/row_records.h"  // kInstitutionSeatName

class CADODataBase;
class IClock;

inline constexpr COLORREF kScoreUpColour = RGB(255, 0, 0);
inline constexpr COLORREF kScoreDownColour = RGB(0, 180, 0);
inline constexpr COLORREF kScoreStrongColour = RGB(255, 255, 0);
// A block trade on or after today minus this many calendar days counts.
inline constexpr int kRecentBlockTradeDays = 30;

// One line of the score list: the ten column texts and, per cell, the colour it was
// given first (a later rule on the same cell changes its text, never its colour).
struct StockScoreRow {
  static constexpr int kColumns = 10;
  std::string code;
  int score = 0;
  std::array<std::string, kColumns> texts;
  std::array<std::optional<COLORREF>, kColumns> colours;
};

// The seat figures one stock's criteria are computed from.
struct SeatTotals {
  double totalBuy = 0;
  double totalSell = 0;
  double net = 0;
};
// The ten BuyAmount and the ten SellAmount values summed, less every selling seat that
// repeats a buying seat's two amounts (once per matching pair).
SeatTotals ComputeSeatTotals(const StockDetailRecord& record);

class CStockScoring {
 public:
  // `clock` gives today for the block-trade window, never the scored day.
  CStockScoring(CADODataBase& db, const IClock& clock);

  // Loads the branch flags and the recent block-trade codes (two statements). False
  // when either read fails; the caches are then empty.
  bool LoadCaches();

  // Scores every StockInfo row of `day` in rowid order, after emptying the suggestion
  // file (on failure "文件打开错误!" is shown and scoring goes on) and reloading the
  // caches. nullopt when the day's rows cannot be read: the file and caches are left
  // alone then. Three statements whatever the stock count.
  std::optional<std::vector<StockScoreRow>> ScoreDay(const std::string& day);

  // One row (`rowIndex` from 0) from the loaded caches.
  StockScoreRow ScoreRecord(const StockDetailRecord& record, int rowIndex) const;

  // From the caches, 0 or 1, taken from the branch's last QLXWMA row: high income when
  // its IncomeLevel is above 0.5, a star seat when its IsSuperStarYYB is at least 1. A
  // branch without a row gives 0; "机构专用" and "" are looked up like any name.
  int IsHighIncomeSeat(const std::string& branch) const;
  int IsStarSeat(const std::string& branch) const;
  // Whether the stock has a block trade on or after today − 30.
  bool HasRecentBlockTrade(const std::string& code) const;

 private:
  struct BranchFlags {
    int highIncome = 0;
    int star = 0;
  };

  CADODataBase& db_;
  const IClock& clock_;
  std::unordered_map<std::string, BranchFlags> branches_;
  std::unordered_set<std::string> recentBlockTrades_;
};
