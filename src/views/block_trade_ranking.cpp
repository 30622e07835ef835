#include "views/block_trade_ranking.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "platform/gcc_restrict.h"
#include "records/branch_marks.h"
#include "storage/day_range.h"

namespace {

std::string Fixed0(double value) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
  if (result.ec != std::errc()) return "0";
  return std::string(buffer, result.ptr);
}

}  // namespace

int RankingDays(bool sixtyChecked, bool twentyChecked) {
  if (sixtyChecked) return 60;
  if (twentyChecked) return 20;
  return 10;
}

bool ReadRankingTrades(CADODataBase& db, const IClock& clock, int days, std::vector<BlockTradeRecord>& rows) {
  BlockTradeQuery query{
      "SELECT DZJY_Date, StockCode, StockName, BuyName, "
      "SellName, SPJ, CJJ, CJSL, CJJE FROM DZJY"
      " WHERE DZJY_Date >= ? ORDER BY DZJY_Date, rowid",
      {CutoffDay(clock, days)}};
  if (days < 0) query.sql.insert(query.sql.find(" ORDER BY"),
                                 " AND 0");  // no stored day is that recent
  return ReadBlockTrades(db, query, rows);
}

std::vector<RankGroup> GroupTrades(const std::vector<BlockTradeRecord>& rows, RankGrouping grouping) {
  std::vector<RankGroup> groups;
  std::unordered_map<std::string, std::size_t> index;
  for (const BlockTradeRecord& row : rows) {
    const std::string& key = grouping == RankGrouping::ByBuyer    ? row.buyer
                             : grouping == RankGrouping::BySeller ? row.seller
                                                                  : row.code;
    const auto [found, added] = index.try_emplace(key, groups.size());
    if (added) {
      RankGroup group;
      group.day = row.day;
      if (grouping == RankGrouping::ByStock) {
        group.code = row.code;
        group.name = row.name;
      }
      group.buyer = row.buyer;
      group.seller = row.seller;
      groups.push_back(std::move(group));
    }
    RankGroup& group = groups[found->second];
    ++group.count;
    group.volume += row.volume;
    group.amount += row.amount;
  }
  return groups;
}

void SortGroups(std::vector<RankGroup>& groups) {
  std::stable_sort(groups.begin(), groups.end(),
                   [](const RankGroup& a, const RankGroup& b) { return a.amount > b.amount; });
}

bool RankTrades(CADODataBase& db, const IClock& clock, int days, RankGrouping grouping,
                std::vector<RankGroup>& groups) {
  groups.clear();
  std::vector<BlockTradeRecord> rows;
  if (!ReadRankingTrades(db, clock, days, rows)) return false;
  groups = GroupTrades(rows, grouping);
  SortGroups(groups);
  return true;
}

std::vector<BlockTradeLine> RankingLines(const std::vector<RankGroup>& groups, const BranchMarks& marks) {
  std::vector<BlockTradeLine> lines;
  const std::size_t count = std::min<std::size_t>(groups.size(), kRankingMaxLines);
  lines.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const RankGroup& group = groups[i];
    BlockTradeLine line;
    line.texts[0] = std::to_string(i + 1);
    line.texts[1] = group.day.substr(0, 10);
    line.texts[2] = group.name;
    line.texts[3] = group.code;
    VELKOR_STRING_RESTRICT_BEGIN
    line.texts[4] = "0";
    line.texts[5] = "0.00";
    line.texts[6] = std::to_string(group.count);
    line.texts[7] = "0";
    VELKOR_STRING_RESTRICT_END
    line.texts[8] = Fixed0(group.amount);
    line.texts[9] = group.buyer;
    line.texts[10] = group.seller;
    for (int column : {1, 2, 3, 4, 5, 7}) line.colours[column] = kBlockTradeWhite;
    line.colours[8] = BlockTradeAmountColour(group.amount);
    line.colours[9] = marks.Colour(group.buyer);
    line.colours[10] = marks.Colour(group.seller);
    line.code = group.code;
    lines.push_back(std::move(line));
  }
  return lines;
}
