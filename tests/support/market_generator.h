#pragma once
// A deterministic multi-year market for benchmarks and large tests, written through
// the database builder (and so through the program's own schema): trading days of
// listings whose seats come from a skewed pool of branch names of realistic length,
// block trades, branch marks and teams. The defaults give the long-standing market;
// the optional parts (holidays, institutions per listing, a branch on both halves,
// day totals, wider amounts) draw no random number while they are off, so turning one
// on never changes what the defaults produce.

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
  int markedBranches = 300;    // YYBMark rows without a team, numbered from firstMarkNumber
  int firstMarkNumber = 301;   // 1 to 199 give the marks' own branch series (300 + Number1)
  int teams = 10;              // teams numbered 200 on, `teamMembers` marks each
  int teamMembers = 3;
  std::uint32_t seed = 20240515;
  int firstYear = 2021, firstMonth = 1, firstDay = 4;
  // Codes: stock s is 600000+s, s+1 or 300000+s by s % 3, so `stockCount` of 1,500
  // gives three pools of 500 (600…, 000…, 300…).

  // About this share of weekdays is dropped as a holiday (no listing, no trade).
  double holidayShare = 0;
  // This share of listings carries "机构专用" on one side, in one seat, or in two or
  // three seats of that side for about a third of them. Adds to `institutionShare`,
  // which draws the name seat by seat; set that to 0 to use this alone.
  double institutionListingShare = 0;
  // This share of listings has one branch on both halves with equal amounts (one of
  // the selling seats repeats a buying seat, name and figures).
  double bothHalvesShare = 0;
  // Seat amounts: `maxAmount` × u² rounded to 0.01 (u uniform), but at least
  // `minAmount`, in 10,000 yuan.
  double minAmount = 0;
  double maxAmount = 12000;
  // One TotalBuySell row per trading day with the day's sums.
  bool dayTotals = false;
  // QLXWMA rows for the first this many branches of the pool (the most frequent), with
  // their own random stream: IncomeLevel in [0, 1) in steps of 0.01, about one in five a
  // star seat.
  int qlxwmaBranches = 0;
  // Trading days written per transaction: a large market is written far faster in
  // transactions of many days. The rows are the same for every value.
  int daysPerTransaction = 1;
};

struct GeneratedMarket {
  std::vector<std::string> days;      // the trading days, oldest first
  std::vector<std::string> branches;  // the pool, most frequent first
  int listings = 0;
  int trades = 0;
  int holidays = 0;            // weekdays dropped
  int institutionListings = 0; // listings with "机构专用" in at least one seat
  int bothHalvesListings = 0;  // listings made with a branch on both halves
};

GeneratedMarket GenerateMarket(DbBuilder& db, const MarketShape& shape);

// A small crowded market for comparing rankings with their plain computations: 60
// weekdays (a tenth of them holidays) of 20 stocks and 40 branch names, so that ties
// and collisions abound, institutions on a fifth of the listings and a branch on both
// halves of another fifth; no block trades, marks or teams.
MarketShape CrowdedMarketShape(std::uint32_t seed, int listingsPerDay);

// Stores `days` (oldest first, at least 13) out of rowid order, as later fill-ins
// would: two days moved behind every other row, one to negative rowids in reverse
// order; one day made missing (NULL) and one empty (''). False on a failed write.
bool ShuffleStoredDays(DbBuilder& db, const std::vector<std::string>& days);

// Makes StockInfo a file another tool wrote: SB_Date without a type (rowids kept), and
// some days stored as blobs of the same bytes, as integers (20170206), as reals of an
// integer's value (20170206.0) and as reals with a fraction. False on a failed write.
bool StoreDaysOfEveryClass(DbBuilder& db);
