#pragma once
// A deterministic multi-year market for benchmarks and large tests, written through
// the database builder (and so through the program's own schema): trading days of
// listings whose seats come from a skewed pool of branch names of realistic length,
// block trades, branch marks and teams.

#include <cstdint>
#include <string>
#include <vector>

class DbBuilder;

struct MarketShape {
  int tradingDays = 750;       // weekdays from firstDay on
  int listingsPerDay = 100;
  int stockCount = 3000;       // distinct codes; a stock is listed at most once a day
  int branchCount = 3000;      // the pool the seats are drawn from, a few branches often
  double institutionShare = 0.15;  // seats named "机构专用"
  int tradesPerDay = 20;       // DZJY rows
  int markedBranches = 300;    // YYBMark rows without a team (Number1 301 on)
  int teams = 10;              // teams numbered 200 on, `teamMembers` marks each
  int teamMembers = 3;
  std::uint32_t seed = 20240515;
  int firstYear = 2021, firstMonth = 1, firstDay = 4;
};

struct GeneratedMarket {
  std::vector<std::string> days;      // the trading days, oldest first
  std::vector<std::string> branches;  // the pool, most frequent first
  int listings = 0;
  int trades = 0;
};

GeneratedMarket GenerateMarket(DbBuilder& db, const MarketShape& shape);
