#include "analysis/repeat_buy_stats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <functional>
#include <memory_resource>
#include <numeric>
#include <span>
#include <string_view>
#include <unordered_map>

#include "analysis/branch_fold.h"
#include "analysis/stock_day_detail.h"
#include "platform/debug_log.h"
#include "platform/message_box.h"
#include "platform/side_by_side.h"
#include "storage/ado_database.h"
#include "storage/gbk_format.h"
#include "storage/row_cursor.h"
#include "storage/rowid_stretches.h"
#include "storage/text_hash.h"

namespace {

// The buy seats of one day, in rowid order: name, code, then name/buy/sell per seat.
const std::string kDayBuyersQuery =
    "SELECT " + std::string(kBuySeatColumns) + " "
    "FROM StockInfo WHERE SB_Date = ? ORDER BY rowid";

// The listings of a stretch of rowids with their ten seat names.
constexpr const char* kAllSeatsQuery =
    "SELECT SB_Date, StockCode, StockName, "
    "Buy1_YYB_Name, Buy2_YYB_Name, Buy3_YYB_Name, Buy4_YYB_Name, Buy5_YYB_Name, "
    "Sell1_YYB_Name, Sell2_YYB_Name, Sell3_YYB_Name, Sell4_YYB_Name, Sell5_YYB_Name "
    "FROM StockInfo WHERE rowid BETWEEN ? AND ? ORDER BY rowid";
constexpr int kFirstSeatColumn = 3;

constexpr const char* kDeleteRowStatement = "DELETE FROM Buy2Times WHERE YYBName = ?";
constexpr const char* kInsertRowStatement =
    "INSERT INTO Buy2Times (YYBName, ShangBangCiShu_Buy, Above2_Buy, Percentage) VALUES (?, ?, ?, ?)";

constexpr const char* kCaption = "系统提示";

// The days met are ranked in text order, compared bytewise as the database compares
// them; a missing day ranks below every day.
constexpr int kNoDayRank = DayNumbers::kNoDay;

// One stock of one branch as the search would have counted it. Listings are known by
// their place in the search's order.
struct StockTally {
  int code = 0;             // into the codes met
  int count = 0;
  int name = 0;             // into the names met: its first listing's in the search's order
  std::uint32_t first = 0;  // its first listing in that order
  std::uint32_t last = 0;   // its last listing: where the count left the stock
};

// The listings of the branches examined, from the stretches of the pass over every
// listing: per stretch and branch, the rows it holds as (code << 32 | row), both
// numbered within the stretch.
using RowsOfBranches = std::pmr::vector<std::pmr::vector<std::uint64_t>>;
struct SeatsMet {
  PartMemory memory;  // the large buffers, given back to the system when freed
  std::vector<std::string> codes;
  std::vector<std::string> names;
  std::pmr::vector<int> nameAt{memory.Resource()};  // by place in the search's order
  struct Stretch {
    const RowsOfBranches* rowsOf = nullptr;  // the stretch's own
    std::vector<std::uint32_t> codeOf;       // to the codes
    const std::uint32_t* placeOf = nullptr;  // of its rows in the search's order
  };
  std::vector<Stretch> stretches;
  std::pmr::vector<std::uint32_t> placeOfRow{memory.Resource()};  // every stretch's rows, one after the other
};

// A run of branches counted: per branch its stocks and repeats, the stocks listed
// (numbered later) and, once numbered, their trace lines. Built on a thread of its
// own, in memory of its own.
struct BranchesCounted {
  struct Listed {
    int branch, name, code, count;
  };
  PartMemory memory;
  std::pmr::vector<std::array<int, 2>> stocksAndRepeats{memory.Resource()};
  std::pmr::vector<Listed> listed{memory.Resource()};
  std::pmr::string trace{memory.Resource()};
};

void FailQuery(RepeatBuyStatsResult& result, BranchFold& totals, std::string error) {
  totals.Clear();
  result.rows.clear();
  result.trace.clear();
  result.saved.clear();
  result.queryFailed = true;
  result.error = std::move(error);
  ShowQueryFailed(result.error);
}

// Folds the buy seats of the walk's days, newest day first. False on a failed read.
bool FoldBuyers(CADODataBase& market, const std::vector<std::string>& days, BranchFold& totals,
                std::string& error) {
  RowCursor cursor(market);
  for (const std::string& day : days) {
    if (!cursor.Run(kDayBuyersQuery, {day})) {
      error = cursor.ErrorText();
      return false;
    }
    while (cursor.Next()) {
      const std::string_view name = cursor.Text(0), code = cursor.Text(1);
      for (int seat = 0; seat < 5; ++seat) {
        const int column = 2 + seat * 3;
        totals.AddSeat(cursor.Text(column), name, code, cursor.Double(column + 1), cursor.Double(column + 2));
      }
    }
    if (cursor.Failed()) {
      error = cursor.ErrorText();
      return false;
    }
  }
  return true;
}

// A row that holds a branch examined: its day's rank (within its stretch: the day's
// number there) and its name. The branch search's order is SB_Date descending, rowid
// ascending, a missing day after every day.
struct RowMet {
  int dayRank = kNoDayRank;
  int name = 0;
};

// One stretch of the pass over every listing: the rows that hold a branch examined,
// in pass order, and per branch the rows it holds as (code << 32 | row), codes and
// names numbered within the stretch. Appending to a few thousand lists keeps the pass
// in cache; the pairs are put together per branch afterwards.
struct SeatPass {
  PartMemory memory;  // the large buffers: the stretch is read on a thread of its own
  std::vector<std::string> codes, names;
  DayNumbers days;
  std::pmr::vector<RowMet> rowsMet{memory.Resource()};
  RowsOfBranches rowsOf{memory.Resource()};
  bool failed = false;
  std::string error;

  void Read(CADODataBase& market, std::int64_t first, std::int64_t last, const TextIndex& branchIndex,
            std::size_t branches) {
    rowsOf.resize(branches);
    TextIndex codeIndex, nameIndex;
    RowCursor cursor(market);
    if (!cursor.Open(kAllSeatsQuery, {first, last})) {
      failed = true;
      error = cursor.ErrorText();
      return;
    }
    std::array<int, 10> met{};
    while (cursor.Next()) {
      int metCount = 0;
      for (int seat = 0; seat < 10; ++seat) {
        const std::string_view seatName = cursor.Text(kFirstSeatColumn + seat);
        if (seatName.empty()) continue;
        const std::uint32_t* found = branchIndex.Find(seatName);
        if (found == nullptr) continue;
        const int branch = static_cast<int>(*found);
        // A listing counts once for a branch however many of its seats the branch holds.
        if (std::find(met.begin(), met.begin() + metCount, branch) != met.begin() + metCount) continue;
        met[metCount++] = branch;
      }
      if (metCount == 0) continue;

      RowMet& row = rowsMet.emplace_back();
      row.dayRank = days.Of(cursor, 0);
      const auto [code, newCode] = codeIndex.Emplace(cursor.Text(1), static_cast<std::uint32_t>(codes.size()));
      if (newCode) codes.emplace_back(cursor.Text(1));
      const auto [name, newName] = nameIndex.Emplace(cursor.Text(2), static_cast<std::uint32_t>(names.size()));
      if (newName) names.emplace_back(cursor.Text(2));
      row.name = static_cast<int>(*name);
      const std::uint64_t pair = (static_cast<std::uint64_t>(*code) << 32) | (rowsMet.size() - 1);
      for (int i = 0; i < metCount; ++i) rowsOf[static_cast<std::size_t>(met[i])].push_back(pair);
    }
    failed = cursor.Failed();
    if (failed) error = cursor.ErrorText();
  }
};

// Gathers, in one pass over every listing, the listings of each of `branches`.
// `passes` (one per part, kept while `out` is used) hold the stretches.
bool GatherSeats(CADODataBase& market, const std::vector<std::string>& branches, std::vector<SeatPass>& passes,
                 SeatsMet& out, std::string& error) {
  TextIndex branchIndex;
  for (std::size_t i = 0; i < branches.size(); ++i) branchIndex.Emplace(branches[i], static_cast<std::uint32_t>(i));
  // The stretches of the table are read side by side, then put together in rowid order.
  const int stretches = ReadRowidStretches(
      market, "StockInfo", static_cast<unsigned>(passes.size()),
      [&](unsigned k, std::int64_t first, std::int64_t last) {
        passes[k].Read(market, first, last, branchIndex, branches.size());
      },
      error);
  if (stretches < 0) return false;
  const std::span<SeatPass> read(passes.data(), static_cast<std::size_t>(stretches));
  for (const SeatPass& pass : read) {
    if (pass.failed) {
      error = pass.error;
      return false;
    }
  }
  // The rows met of every stretch, in rowid order; the stretches' numbers to the whole's.
  std::pmr::vector<RowMet> rowsMet(out.memory.Resource());
  std::vector<std::vector<std::uint32_t>> codeOf(read.size());
  std::size_t dayCount = 0;
  {
    // The days met by any stretch, ranked; each stretch's day numbers to the ranks.
    TextIndex dayIndex;
    std::vector<std::string> days;
    std::vector<std::vector<std::uint32_t>> dayOf(read.size());
    for (std::size_t p = 0; p < read.size(); ++p) {
      for (const std::string& day : read[p].days.Days()) {
        dayOf[p].push_back(*dayIndex.Emplace(day, static_cast<std::uint32_t>(days.size())).first);
        if (dayOf[p].back() == days.size()) days.push_back(day);
      }
    }
    std::vector<std::uint32_t> order(days.size()), rankOf(days.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&days](std::uint32_t a, std::uint32_t b) { return days[a] < days[b]; });
    for (std::size_t i = 0; i < order.size(); ++i) rankOf[order[i]] = static_cast<std::uint32_t>(i);
    for (std::size_t p = 0; p < read.size(); ++p) {
      for (RowMet& row : read[p].rowsMet) {
        if (row.dayRank == kNoDayRank) continue;
        row.dayRank = static_cast<int>(rankOf[dayOf[p][static_cast<std::size_t>(row.dayRank)]]);
      }
    }
    dayCount = days.size();
  }
  {
    TextIndex codeIndex, nameIndex;
    for (std::size_t p = 0; p < read.size(); ++p) {
      for (const std::string& code : read[p].codes) {
        const auto [id, added] = codeIndex.Emplace(code, static_cast<std::uint32_t>(out.codes.size()));
        if (added) out.codes.push_back(code);
        codeOf[p].push_back(*id);
      }
      std::vector<std::uint32_t> nameOf;
      for (const std::string& name : read[p].names) {
        const auto [id, added] = nameIndex.Emplace(name, static_cast<std::uint32_t>(out.names.size()));
        if (added) out.names.push_back(name);
        nameOf.push_back(*id);
      }
      for (RowMet row : read[p].rowsMet) {
        row.name = static_cast<int>(nameOf[static_cast<std::size_t>(row.name)]);
        rowsMet.push_back(row);
      }
    }
  }
  // Each row's place in the search's order: by day rank descending (a missing day
  // last), rowid order within a day, which the rows already have.
  auto bucket = [dayCount](const RowMet& row) {
    return row.dayRank == kNoDayRank ? dayCount : dayCount - 1 - static_cast<std::size_t>(row.dayRank);
  };
  std::pmr::vector<std::uint32_t>& placeOfRow = out.placeOfRow;
  std::pmr::vector<int>& nameAt = out.nameAt;
  placeOfRow.resize(rowsMet.size());
  nameAt.resize(rowsMet.size());
  {
    std::vector<std::uint32_t> starts(dayCount + 2, 0);
    for (const RowMet& row : rowsMet) ++starts[bucket(row) + 1];
    for (std::size_t i = 1; i < starts.size(); ++i) starts[i] += starts[i - 1];
    for (std::size_t i = 0; i < rowsMet.size(); ++i) {
      placeOfRow[i] = starts[bucket(rowsMet[i])]++;
      nameAt[placeOfRow[i]] = rowsMet[i].name;
    }
    std::pmr::vector<RowMet>(out.memory.Resource()).swap(rowsMet);
  }
  out.stretches.resize(read.size());
  for (std::size_t p = 0, offset = 0; p < read.size(); ++p) {
    SeatsMet::Stretch& stretch = out.stretches[p];
    stretch.rowsOf = &read[p].rowsOf;
    stretch.codeOf = std::move(codeOf[p]);
    stretch.placeOf = out.placeOfRow.data() + offset;
    offset += read[p].rowsMet.size();
  }
  return true;
}

// Counts the stocks of the branches from..to-1: per branch, one tally per code it was
// met on. The table from code to tally is reused from branch to branch and stays in
// cache.
void CountStocks(const SeatsMet& met, std::size_t from, std::size_t to, BranchesCounted& out) {
  std::vector<int> tallyOfCode(met.codes.size(), -1);
  std::vector<StockTally> tallies;
  for (std::size_t b = from; b < to; ++b) {
    tallies.clear();
    for (const SeatsMet::Stretch& stretch : met.stretches) {
      for (const std::uint64_t pair : (*stretch.rowsOf)[b]) {
        const std::uint32_t code = stretch.codeOf[pair >> 32];
        const std::uint32_t place = stretch.placeOf[static_cast<std::uint32_t>(pair)];
        int& slot = tallyOfCode[code];
        if (slot < 0) {
          slot = static_cast<int>(tallies.size());
          tallies.push_back({static_cast<int>(code), 1, 0, place, place});
          continue;
        }
        StockTally& tally = tallies[static_cast<std::size_t>(slot)];
        ++tally.count;
        tally.first = std::min(tally.first, place);
        tally.last = std::max(tally.last, place);
      }
    }
    for (StockTally& tally : tallies) {
      tally.name = met.nameAt[tally.first];
      tallyOfCode[static_cast<std::size_t>(tally.code)] = -1;
    }
    // The stocks met more than once in the order the count list has after the search
    // and the sort: descending by count, equal counts in the order their last
    // listings were counted. The stocks met once are only counted.
    const auto repeated =
        std::partition(tallies.begin(), tallies.end(), [](const StockTally& t) { return t.count >= 2; });
    std::sort(tallies.begin(), repeated, [](const StockTally& x, const StockTally& y) {
      if (x.count != y.count) return x.count > y.count;
      return x.last < y.last;
    });
    for (auto tally = tallies.begin(); tally != repeated; ++tally) {
      if (tally->count < kRepeatBuyListCount) continue;
      out.listed.push_back({static_cast<int>(b), tally->name, tally->code, tally->count});
    }
    out.stocksAndRepeats.push_back({static_cast<int>(tallies.size()), static_cast<int>(repeated - tallies.begin())});
  }
}

// The branches cut into runs of about as many listings each, a few per part (one for
// one part): the branches listed most come first, and the readers take the runs as
// they are free. The first branch of each run, then the number of branches.
std::vector<std::size_t> CountingRuns(const SeatsMet& met, std::size_t branches, unsigned parts) {
  std::vector<std::size_t> weight(branches, 0);
  std::size_t total = 0;
  for (std::size_t b = 0; b < branches; ++b) {
    for (const SeatsMet::Stretch& stretch : met.stretches) weight[b] += (*stretch.rowsOf)[b].size();
    total += weight[b];
  }
  constexpr std::size_t kRunsPerPart = 4;
  const std::size_t runs =
      parts <= 1 ? 1 : std::min<std::size_t>(std::size_t{parts} * kRunsPerPart, std::max<std::size_t>(branches, 1));
  std::vector<std::size_t> starts{0};
  std::size_t sum = 0;
  for (std::size_t b = 0; b < branches; ++b) {
    sum += weight[b];
    // A run ends where the listings counted so far reach its share of the whole.
    if (b + 1 < branches && starts.size() < runs && sum * runs >= total * starts.size()) starts.push_back(b + 1);
  }
  starts.push_back(branches);
  return starts;
}

// The list row of a stock listed.
RepeatBuyListRow ListRow(const SeatsMet& met, const std::vector<std::string>& branches, int number,
                         const BranchesCounted::Listed& listed) {
  return {number, branches[static_cast<std::size_t>(listed.branch)], met.names[static_cast<std::size_t>(listed.name)],
          met.codes[static_cast<std::size_t>(listed.code)], listed.count};
}

}  // namespace

std::string FormatRepeatBuyTraceLine(const RepeatBuyListRow& row) {
  return FormatGbkBytes("序号=%-04d,  %-50s,  %-10s,  %-10s,  %4d  \n", row.number, row.branch, row.stockName,
                        row.stockCode, row.count);
}

std::string FormatRepeatBuyPercentage(int repeats, int stocks) {
  if (stocks == 0) return "0.00";
  char buffer[64];
  const double ratio = static_cast<double>(repeats) / static_cast<double>(stocks);
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, ratio, std::chars_format::fixed, 2);
  return std::string(buffer, written.ptr);
}

bool WriteRepeatBuyRows(CADODataBase& db, const std::vector<RepeatBuySavedRow>& saved, std::string* error) {
  if (saved.empty()) return true;
  bool ok = false;
  {
    CADOTransaction transaction(db);
    if (transaction.IsActive()) {
      ok = true;
      // Each statement is prepared once and run again per branch, stepped to its end.
      RowCursor remove(db), insert(db);
      for (std::size_t i = 0; ok && i < saved.size(); ++i) {
        const RepeatBuySavedRow& row = saved[i];
        ok = remove.Run(kDeleteRowStatement, {row.branch});
        if (ok) remove.Next();
        ok = ok && !remove.Failed();
        if (ok) ok = insert.Run(kInsertRowStatement, {row.branch, row.stocks, row.repeats, row.percentage});
        if (ok) insert.Next();
        ok = ok && !insert.Failed();
      }
      if (ok) ok = transaction.Commit();
    }
    if (!ok && error != nullptr) *error = db.GetLastErrorText();
  }  // a transaction not committed is rolled back here
  if (ok) return true;
  const std::string_view line = kRepeatBuyWriteFailedTrace;
  AppendTraceFile(line.data(), line.size());
  MessageBox(kRepeatBuyWriteFailedText, kCaption, MB_OK | MB_ICONWARNING);
  return false;
}

RepeatBuyStatsResult RunRepeatBuyStats(CADODataBase& market, const std::string& today, int days, BranchFold& totals,
                                       unsigned parts) {
  if (parts == 0) parts = SideBySideParts();
  RepeatBuyStatsResult result;
  totals.Clear();
  result.walk = WalkTradingDays(market, today, days, DayDataTest::Buy1);
  if (result.walk.queryFailed) {
    FailQuery(result, totals, result.walk.error);
    return result;
  }
  if (!result.walk.complete) return result;

  std::string error;
  if (!FoldBuyers(market, result.walk.days, totals, error)) {
    FailQuery(result, totals, std::move(error));
    return result;
  }
  totals.SortBranches(kBranchSortByTimes);

  // The branches examined: by times listed, up to the first listed fewer than twice.
  std::vector<std::string> branches;
  for (const CBranchTotalsRow& row : totals.Rows()) {
    if (row.YYBName == kInstitutionSeatName) continue;
    if (row.nCount < 2) break;
    branches.push_back(row.YYBName);
  }
  if (branches.empty()) return result;

  std::vector<SeatPass> passes(parts);
  SeatsMet met;
  if (!GatherSeats(market, branches, passes, met, error)) {
    FailQuery(result, totals, std::move(error));
    return result;
  }
  // The branches are counted in runs side by side; the list rows are numbered over
  // all runs, in branch order, before their trace lines are written.
  const std::vector<std::size_t> runs = CountingRuns(met, branches.size(), parts);
  parts = static_cast<unsigned>(runs.size() - 1);
  std::vector<BranchesCounted> counted(parts);
  RunSideBySide(parts, [&](unsigned k) { CountStocks(met, runs[k], runs[k + 1], counted[k]); });
  std::vector<int> numbered(parts, 0);
  for (unsigned k = 1; k < parts; ++k) numbered[k] = numbered[k - 1] + static_cast<int>(counted[k - 1].listed.size());
  RunSideBySide(parts, [&](unsigned k) {
    int number = numbered[k];
    for (const BranchesCounted::Listed& listed : counted[k].listed) {
      counted[k].trace += FormatRepeatBuyTraceLine(ListRow(met, branches, ++number, listed));
    }
  });
  result.rows.reserve(static_cast<std::size_t>(numbered.back()) + counted.back().listed.size());
  result.saved.reserve(branches.size());
  for (unsigned k = 0; k < parts; ++k) {
    for (const BranchesCounted::Listed& listed : counted[k].listed) {
      result.rows.push_back(ListRow(met, branches, static_cast<int>(result.rows.size()) + 1, listed));
    }
    result.trace += counted[k].trace;
    for (const auto& [stocks, repeats] : counted[k].stocksAndRepeats) {
      const std::string& branch = branches[result.saved.size()];
      result.saved.push_back({branch, stocks, repeats, FormatRepeatBuyPercentage(repeats, stocks)});
    }
  }

  if (!result.trace.empty()) AppendTraceFile(result.trace.data(), result.trace.size());
  if (!WriteRepeatBuyRows(market, result.saved, &error)) {
    result.writeFailed = true;
    result.error = std::move(error);
    result.trace += kRepeatBuyWriteFailedTrace;
  }
  return result;
}
