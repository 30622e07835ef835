#pragma once
// The generated markets the benchmarks share.

#include "../tests/support/market_generator.h"

// The tracker's market: weekdays from 2014-01-06 with about one in twenty a holiday, 100
// listings a day from 1,500 codes, 3,000 branches, "机构专用" on about 40 % of the
// listings, one branch on both halves of about 5 %, amounts of 1 to 20,000 万元 and a
// TotalBuySell row a day.
inline MarketShape TrackerMarket() {
  MarketShape shape;
  shape.tradingDays = 750;
  shape.listingsPerDay = 100;
  shape.stockCount = 1500;
  shape.branchCount = 3000;
  shape.institutionShare = 0;
  shape.institutionListingShare = 0.4;
  shape.bothHalvesShare = 0.05;
  shape.holidayShare = 0.05;
  shape.minAmount = 1;
  shape.maxAmount = 20000;
  shape.dayTotals = true;
  shape.firstYear = 2014;
  shape.firstMonth = 1;
  shape.firstDay = 6;
  shape.seed = 20140106;
  return shape;
}
