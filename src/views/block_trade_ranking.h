#pragma once
// The block-trade ranking: the trades of the last 10, 20 or 60 calendar days
// grouped by buying branch, by selling branch or by stock, summed, and ranked
// by amount, largest first. A group keeps the fields of its first (oldest)
// trade.

#include <cstdint>
#include <string>
#include <vector>

#include "views/block_trade_listing.h"

class BranchMarks;
class CADODataBase;
class IClock;

// At most this many groups are listed.
inline constexpr int kRankingMaxLines = 66;

enum class RankGrouping { ByBuyer, BySeller, ByStock };

struct RankGroup {
  std::string day;         // the first trade's day
  std::string code, name;  // "" when grouped by branch
  std::string buyer, seller;
  int count = 0;            // trades in the group
  std::int64_t volume = 0;  // summed in 64 bits
  double amount = 0;        // summed in double
};

// The period of the grouping radios: 60 when "60日" is checked, else 20 when
// "20日" is, else 10.
int RankingDays(bool sixtyChecked, bool twentyChecked);

// The DZJY rows of the last `days` calendar days (DZJY_Date >= today - days,
// today from the clock, inclusive), oldest first (ORDER BY DZJY_Date, rowid).
// False when the query fails (`rows` is then empty).
bool ReadRankingTrades(CADODataBase& db, const IClock& clock, int days, std::vector<BlockTradeRecord>& rows);

// Groups `rows` in their order by the branch or the code (exact text); each
// group keeps its first trade's day, names and other branch, and sums count,
// volume and amount. Grouped by branch, code and name are cleared. Groups come
// in order of first appearance.
std::vector<RankGroup> GroupTrades(const std::vector<BlockTradeRecord>& rows, RankGrouping grouping);

// Sorts by amount, larger first; equal amounts keep their order (stable).
void SortGroups(std::vector<RankGroup>& groups);

// Read, group and sort. False when the query fails: `groups` is then empty, so
// the list is emptied by the fill.
bool RankTrades(CADODataBase& db, const IClock& clock, int days, RankGrouping grouping, std::vector<RankGroup>& groups);

// The lines of the first kRankingMaxLines groups: 0 rank from 1, 1 day, 2 name,
// 3 code, 4 "0", 5 "0.00", 6 count, 7 "0", 8 amount "%0.0f" in its band colour,
// 9 buyer, 10 seller (branch-mark colours), 11 "". Columns 1 to 5 and 7 are
// white. `code` is the group's stock code ("" by branch).
std::vector<BlockTradeLine> RankingLines(const std::vector<RankGroup>& groups, const BranchMarks& marks);
