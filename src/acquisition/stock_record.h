#pragma once
// One listed stock on one day as the download roads collect it before the StockInfo
// writer stores it. Fields are named after the StockInfo columns. Text is UTF-8 and
// already within the column caps (GBK bytes): name 29, code 19, date 19, reason 99,
// seat name 199.

#include <array>
#include <cstddef>
#include <string>

// The StockInfo columns' caps, in GBK bytes.
inline constexpr std::size_t kStockNameCap = 29;
inline constexpr std::size_t kStockCodeCap = 19;
inline constexpr std::size_t kStockDayCap = 19;
inline constexpr std::size_t kStockReasonCap = 99;
inline constexpr std::size_t kSeatNameCap = 199;

// One of the five buying or five selling seats: the branch and what it bought and
// sold of the stock that day, in 10,000 yuan.
struct SeatEntry {
  std::string name;
  double buy = 0;
  double sell = 0;

  bool operator==(const SeatEntry&) const = default;
};

using SeatList = std::array<SeatEntry, 5>;

struct StockRecord {
  int IsDownloadOK = 0;  // 1 = seats fetched, 2 = still to fetch, 0 = not decided yet
  std::string StockName;
  std::string StockCode;
  std::string SB_Date;    // "2017-02-06"
  std::string SB_Reason;
  double ZuoShou = 0;     // previous close
  double JinKai = 0;      // open
  double JinShou = 0;     // close
  double ZhangFu = 0;     // change in percent
  double HuanShou = 0;    // turnover in percent
  double ZhenFu = 0;      // amplitude in percent
  double DRCJL = 0;       // volume
  double Amount = 0;      // turnover amount in 10,000 yuan
  SeatList BuySeats;      // largest buyer first
  SeatList SellSeats;     // largest seller first

  bool operator==(const StockRecord&) const = default;
};
