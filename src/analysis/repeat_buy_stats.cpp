#include "analysis/repeat_buy_stats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "analysis/branch_fold.h"
#include "analysis/stock_day_detail.h"
#include "platform/debug_log.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/gbk_format.h"
#include "storage/row_cursor.h"
#include "storage/text_hash.h"

namespace {

// The buy seats of one day, in rowid order: name, code, then name/buy/sell per seat.
constexpr const char* kDayBuyersQuery =
    "SELECT StockName, StockCode, "
    "Buy1_YYB_Name, Buy1_YYB_BuyAmount, Buy1_YYB_SellAmount, "
    "Buy2_YYB_Name, Buy2_YYB_BuyAmount, Buy2_YYB_SellAmount, "
    "Buy3_YYB_Name, Buy3_YYB_BuyAmount, Buy3_YYB_SellAmount, "
    "Buy4_YYB_Name, Buy4_YYB_BuyAmount, Buy4_YYB_SellAmount, "
    "Buy5_YYB_Name, Buy5_YYB_BuyAmount, Buy5_YYB_SellAmount "
    "FROM StockInfo WHERE SB_Date = ? ORDER BY rowid";

// Every listing of the database with its ten seat names.
constexpr const char* kAllSeatsQuery =
    "SELECT rowid, SB_Date, StockCode, StockName, "
    "Buy1_YYB_Name, Buy2_YYB_Name, Buy3_YYB_Name, Buy4_YYB_Name, Buy5_YYB_Name, "
    "Sell1_YYB_Name, Sell2_YYB_Name, Sell3_YYB_Name, Sell4_YYB_Name, Sell5_YYB_Name "
    "FROM StockInfo ORDER BY rowid";
constexpr int kFirstSeatColumn = 4;

constexpr const char* kDeleteRowStatement = "DELETE FROM Buy2Times WHERE YYBName = ?";
constexpr const char* kInsertRowStatement =
    "INSERT INTO Buy2Times (YYBName, ShangBangCiShu_Buy, Above2_Buy, Percentage) VALUES (?, ?, ?, ?)";

constexpr const char* kCaption = "系统提示";

// The stored days, ranked in text order (a missing day ranks below every day).
constexpr const char* kStoredDaysQuery =
    "SELECT DISTINCT SB_Date FROM StockInfo WHERE SB_Date IS NOT NULL ORDER BY SB_Date";
constexpr int kNoDayRank = -1;

// Where a listing comes in the branch search's order: SB_Date descending, rowid
// ascending, a missing day after every day.
struct ListingPlace {
  int dayRank = kNoDayRank;
  std::int64_t rowid = 0;
};

bool ComesBefore(const ListingPlace& a, const ListingPlace& b) {
  if (a.dayRank != b.dayRank) return a.dayRank > b.dayRank;
  return a.rowid < b.rowid;
}

// One stock of one branch as the search would have counted it.
struct StockTally {
  int branch = 0;
  int code = 0;        // into the codes met
  int count = 0;
  int name = 0;        // into the names met: its first listing's in the search's order
  ListingPlace first;  // its first listing in that order
  ListingPlace last;   // its last listing: where the count left the stock
};

struct StockTallies {
  std::vector<std::string> codes;
  std::vector<std::string> names;
  std::vector<StockTally> tallies;  // in no particular order
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
  for (std::size_t d = 0; d < days.size(); ++d) {
    if (!(d == 0 ? cursor.Open(kDayBuyersQuery, {days[d]}) : cursor.Rerun({days[d]}))) {
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

// Counts, in one pass over every listing, the stocks of each of `branches`.
bool TallyStocks(CADODataBase& market, const std::vector<std::string>& branches, StockTallies& out,
                 std::string& error) {
  TextIndex dayRanks;
  {
    RowCursor days(market, kStoredDaysQuery);
    while (days.Next()) dayRanks.Emplace(days.Text(0), static_cast<std::uint32_t>(dayRanks.size()));
    if (days.Failed()) {
      error = days.ErrorText();
      return false;
    }
  }
  TextIndex branchIndex;
  for (std::size_t i = 0; i < branches.size(); ++i) branchIndex.Emplace(branches[i], static_cast<std::uint32_t>(i));
  TextIndex codeIndex;
  TextIndex nameIndex;
  // Per code met, the tally of each branch (-1: none yet). A table rather than a hash
  // of (branch, code): there are hundreds of thousands of pairs.
  std::vector<std::vector<int>> tallyOf;

  RowCursor cursor(market);
  if (!cursor.Open(kAllSeatsQuery)) {
    error = cursor.ErrorText();
    return false;
  }
  std::array<int, 10> met{};
  std::string lastDay;
  int lastDayRank = kNoDayRank;
  bool lastDayKnown = false;
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

    ListingPlace place;
    place.rowid = cursor.Int(0);
    if (!cursor.IsNull(1)) {
      const std::string_view day = cursor.Text(1);
      if (!lastDayKnown || day != lastDay) {
        const std::uint32_t* rank = dayRanks.Find(day);
        lastDay.assign(day);
        lastDayRank = rank == nullptr ? kNoDayRank : static_cast<int>(*rank);
        lastDayKnown = true;
      }
      place.dayRank = lastDayRank;
    }
    const auto [code, newCode] = codeIndex.Emplace(cursor.Text(2), static_cast<std::uint32_t>(out.codes.size()));
    if (newCode) {
      out.codes.emplace_back(cursor.Text(2));
      tallyOf.emplace_back(branches.size(), -1);
    }
    std::vector<int>& tallyOfCode = tallyOf[*code];
    // The row's name, looked up only when a tally takes it.
    int rowName = -1;
    const auto nameOfRow = [&] {
      if (rowName < 0) {
        const auto [id, added] = nameIndex.Emplace(cursor.Text(3), static_cast<std::uint32_t>(out.names.size()));
        if (added) out.names.emplace_back(cursor.Text(3));
        rowName = static_cast<int>(*id);
      }
      return rowName;
    };
    for (int i = 0; i < metCount; ++i) {
      int& slot = tallyOfCode[static_cast<std::size_t>(met[i])];
      if (slot < 0) {
        slot = static_cast<int>(out.tallies.size());
        StockTally& fresh = out.tallies.emplace_back();
        fresh.branch = met[i];
        fresh.code = static_cast<int>(*code);
        fresh.count = 1;
        fresh.name = nameOfRow();
        fresh.first = fresh.last = place;
        continue;
      }
      StockTally& stock = out.tallies[static_cast<std::size_t>(slot)];
      ++stock.count;
      if (ComesBefore(place, stock.first)) {
        stock.first = place;
        stock.name = nameOfRow();
      } else if (ComesBefore(stock.last, place)) {
        stock.last = place;
      }
    }
  }
  if (cursor.Failed()) {
    error = cursor.ErrorText();
    return false;
  }
  return true;
}

// The tallies grouped by branch, each branch's stocks in the order the count list has
// after the search and the sort: descending by count, equal counts in the order their
// last listings were counted. `starts[b]` .. `starts[b + 1]` are branch b's.
std::vector<const StockTally*> SortedStocks(const StockTallies& tallies, std::size_t branchCount,
                                            std::vector<std::size_t>& starts) {
  starts.assign(branchCount + 1, 0);
  for (const StockTally& t : tallies.tallies) ++starts[t.branch + 1];
  for (std::size_t b = 0; b < branchCount; ++b) starts[b + 1] += starts[b];
  std::vector<const StockTally*> sorted(tallies.tallies.size());
  std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
  for (const StockTally& t : tallies.tallies) sorted[next[t.branch]++] = &t;
  for (std::size_t b = 0; b < branchCount; ++b) {
    std::sort(sorted.begin() + starts[b], sorted.begin() + starts[b + 1], [](const StockTally* x, const StockTally* y) {
      if (x->count != y->count) return x->count > y->count;
      return ComesBefore(x->last, y->last);
    });
  }
  return sorted;
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
      for (const RepeatBuySavedRow& row : saved) {
        if (!db.Execute(kDeleteRowStatement, {row.branch}) ||
            !db.Execute(kInsertRowStatement, {row.branch, row.stocks, row.repeats, row.percentage})) {
          ok = false;
          break;
        }
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

RepeatBuyStatsResult RunRepeatBuyStats(CADODataBase& market, const std::string& today, int days, BranchFold& totals) {
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

  StockTallies tallies;
  if (!TallyStocks(market, branches, tallies, error)) {
    FailQuery(result, totals, std::move(error));
    return result;
  }
  std::vector<std::size_t> starts;
  const std::vector<const StockTally*> sorted = SortedStocks(tallies, branches.size(), starts);

  int number = 0;
  result.saved.reserve(branches.size());
  for (std::size_t b = 0; b < branches.size(); ++b) {
    int repeats = 0;
    for (std::size_t i = starts[b]; i < starts[b + 1]; ++i) {
      const StockTally& tally = *sorted[i];
      if (tally.count < 2) break;
      ++repeats;
      if (tally.count >= kRepeatBuyListCount) {
        RepeatBuyListRow row{++number, branches[b], tallies.names[static_cast<std::size_t>(tally.name)],
                             tallies.codes[static_cast<std::size_t>(tally.code)], tally.count};
        result.trace += FormatRepeatBuyTraceLine(row);
        result.rows.push_back(std::move(row));
      }
    }
    const int stocks = static_cast<int>(starts[b + 1] - starts[b]);
    result.saved.push_back({branches[b], stocks, repeats, FormatRepeatBuyPercentage(repeats, stocks)});
  }

  if (!result.trace.empty()) AppendTraceFile(result.trace.data(), result.trace.size());
  if (!WriteRepeatBuyRows(market, result.saved, &error)) {
    result.writeFailed = true;
    result.error = std::move(error);
    result.trace += kRepeatBuyWriteFailedTrace;
  }
  return result;
}
