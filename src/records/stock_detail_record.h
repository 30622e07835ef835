#pragma once
// One stock's full StockInfo row of one day, as the daily list page shows it. Texts are
// kept whole (UTF-8); the figures are in 10,000 yuan as stored.

#include <array>
#include <string>

struct SeatFigures {
  double BuyAmount = 0;
  double SellAmount = 0;
};

struct StockDetailRecord {
  std::string StockName;
  std::string StockCode;
  std::string SB_Reason;
  std::array<std::string, 5> BuyNames;   // Buy1_YYB_Name .. Buy5_YYB_Name
  std::array<std::string, 5> SellNames;  // Sell1_YYB_Name .. Sell5_YYB_Name
  std::array<SeatFigures, 5> Buy;        // the buying seats' figures
  std::array<SeatFigures, 5> Sell;       // the selling seats' figures
  float JinShou = 0;                     // close
  float ZhangFu = 0;                     // change in percent
  double Amount = 0;                     // the day's turnover

  void Clear() { *this = StockDetailRecord{}; }
};
