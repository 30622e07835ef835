// The rankings on the tracker's generated 750-day market, today the last generated
// day. Each ranking is timed three ways in one run, on a warm cache:
//  (f) the ranking as the pages compute it, files, trace and Buy2Times included;
//  (a) the plain day-by-day computation the pages once spread over timer ticks;
//  (b) one raw statement over the rows the ranking needs, every row stepped and every
//      column read, nothing folded.
// f and b are medians of at least five runs taken in turn; the slow plain forms run once. Each ranking prints f,
// a, b, f/b and a/f. `--full` runs the repeat-buy statistics' full-scan form for
// every branch instead of scaling a sample.

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../tests/support/db_builder.h"
#include "../tests/support/reference_walk_branch.h"
#include "../tests/support/reference_walk_repeat_buy.h"
#include "../tests/support/reference_walk_stock_activity.h"
#include "../tests/support/reference_walk_sustained_buy.h"
#include "../tests/support/temp_program_folder.h"
#include "analysis/branch_fold.h"
#include "analysis/branch_ranking.h"
#include "analysis/repeat_buy_stats.h"
#include "analysis/stock_activity.h"
#include "analysis/sustained_buy.h"
#include "analysis/trading_day_walk.h"
#include "bench.h"
#include "bench_markets.h"
#include "records/branch_marks.h"
#include "storage/ado_database.h"

bool g_benchFull = false;

namespace {

constexpr int kRuns = 5;
constexpr int kRepeatBuySample = 50;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// The medians of timed runs of each of `runs`, taken in turn after one warm run each,
// so that a slower spell of the machine falls on all of them alike: at least kRuns of
// each, and for quick rankings a quarter of a second of runs at least.
std::vector<double> MediansOf(const std::vector<std::function<void()>>& runs) {
  for (const auto& run : runs) run();  // warm
  std::vector<std::vector<double>> seconds(runs.size());
  double spent = 0;
  for (int round = 0; round < kRuns || (spent < 0.25 && round < 101); ++round) {
    for (std::size_t i = 0; i < runs.size(); ++i) {
      const auto start = std::chrono::steady_clock::now();
      runs[i]();
      seconds[i].push_back(SecondsSince(start));
      spent += seconds[i].back();
    }
  }
  std::vector<double> medians;
  for (auto& s : seconds) medians.push_back(Median(std::move(s)));
  return medians;
}

// Keeps the raw reads from being optimised away.
double g_rawChecksum = 0;

// Steps `sql` to its end reading every column; the rows read.
long StepAll(sqlite3* db, const std::string& sql, const std::vector<std::string>& binds) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "ranking bench: %s: %s\n", sql.c_str(), sqlite3_errmsg(db));
    std::exit(1);
  }
  for (std::size_t i = 0; i < binds.size(); ++i) {
    sqlite3_bind_text(stmt, static_cast<int>(i) + 1, binds[i].c_str(), static_cast<int>(binds[i].size()),
                      SQLITE_TRANSIENT);
  }
  const int columns = sqlite3_column_count(stmt);
  long rows = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    ++rows;
    for (int c = 0; c < columns; ++c) {
      if (sqlite3_column_type(stmt, c) == SQLITE_TEXT) {
        g_rawChecksum += sqlite3_column_bytes(stmt, c);
      } else {
        g_rawChecksum += sqlite3_column_double(stmt, c);
      }
    }
  }
  sqlite3_finalize(stmt);
  return rows;
}

const char* const kSeats[] = {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"};

// Column lists of the raw reads.
std::string Columns(bool names, bool buyAmounts, bool sellAmounts) {
  std::string list = "StockName, StockCode";
  for (int k = 0; k < 10; ++k) {
    if (names) list += std::string(", ") + kSeats[k] + "_YYB_Name";
    if ((k < 5 && buyAmounts) || (k >= 5 && sellAmounts)) {
      list += std::string(", ") + kSeats[k] + "_YYB_BuyAmount, " + kSeats[k] + "_YYB_SellAmount";
    }
  }
  return list;
}

void PrintRanking(const std::string& name, double f, double a, double b) {
  PrintFigure(name + "_f", f * 1e3, "ms");
  PrintFigure(name + "_a", a * 1e3, "ms");
  PrintFigure(name + "_b", b * 1e3, "ms");
  PrintFigure(name + "_ratio", f / b, "x");
  PrintFigure(name + "_speedup", a / f, "x");
}

}  // namespace

void RunRankingBench() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  TempProgramFolder folder(options);
  DbBuilder builder(folder.Path());
  const GeneratedMarket market = GenerateMarket(builder, TrackerMarket());
  PrintFigure("ranking_listings", market.listings, "rows");
  PrintFigure("ranking_trading_days", static_cast<double>(market.days.size()), "days");
  builder.OpenGlobals();
  const std::string today = market.days.back();

  sqlite3* raw = nullptr;
  sqlite3_open_v2(builder.MarketPath().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  // The same page cache and file mapping as the program's own connections.
  sqlite3_exec(raw, "PRAGMA cache_size=-16384; PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);

  const auto window = [&](int days) {
    const TradingDayWalk walk = WalkTradingDays(g_ADODatabase, today, days, DayDataTest::Buy1);
    return std::vector<std::string>{walk.days.back(), walk.days.front()};
  };

  // ---- Branch ranking: N trading days merged, sorted, shown and written ----
  for (const int days : {60, 90}) {
    const std::vector<std::string> range = window(days);
    BranchFold totals;
    std::size_t rows = 0;
    const std::vector<double> fb = MediansOf({[&] {
                                                const BranchRankingResult result = MergeDays(
                                                    g_ADODatabase, today, days, kBranchSortByTotalBuy, totals);
                                                if (result.status != RankingStatus::Ranked) std::exit(1);
                                                BranchMarks marks;
                                                marks.Load(g_ADODatabase_Custom);
                                                const BranchRankingView view = BuildRankingView(totals.Rows(), marks);
                                                WriteRankingFile(view.fileBytes);
                                                rows = view.rows.size();
                                              },
                                              [&] {
                                                StepAll(raw,
                                                        "SELECT " + Columns(true, true, true) +
                                                            " FROM StockInfo WHERE SB_Date >= ? AND SB_Date <= ?",
                                                        range);
                                              }});
    const double f = fb[0], b = fb[1];
    const auto start = std::chrono::steady_clock::now();
    const ReferenceBranchRanking plain = ReferenceMergeDays(g_ADODatabase, today, days, kBranchSortByTotalBuy);
    const double a = SecondsSince(start);
    const std::string name = "rank" + std::to_string(days);
    PrintFigure(name + "_branches", static_cast<double>(plain.totals.size()), "branches");
    PrintFigure(name + "_shown", static_cast<double>(rows), "rows");
    PrintRanking(name, f, a, b);
  }

  // ---- Stock activity over 360 trading days ----
  {
    const std::vector<std::string> range = window(360);
    const std::vector<double> fb = MediansOf(
        {[&] {
           const StockRankingResult result = RankStockActivity(g_ADODatabase, today, 360);
           if (result.status != StockRankingStatus::Ranked) std::exit(1);
           WriteStockRankingFile(BuildStockRankingView(result.rows).fileBytes);
         },
         [&] {
           StepAll(raw, "SELECT " + Columns(false, true, true) + " FROM StockInfo WHERE SB_Date >= ? AND SB_Date <= ?",
                   range);
         }});
    const double f = fb[0], b = fb[1];
    const auto start = std::chrono::steady_clock::now();
    ReferenceRankStockActivity(g_ADODatabase, today, 360);
    const double a = SecondsSince(start);
    PrintRanking("activity360", f, a, b);
  }

  // ---- Continuous buying over 20 days: the scan that fills 1119 and button 1007 ----
  {
    const StockRankingResult count = RankStockActivity(g_ADODatabase, today, 20);
    const std::vector<CStockDayRow> counted = count.rows;
    const std::string windowStart = CountedWindowStart(today, count.walk.dayOffset);
    std::size_t stocks = 0, listings = 0;
    // The counted stocks' listings from the window's oldest day on, once for each list.
    const std::vector<double> times = MediansOf(
        {[&] {
           std::vector<CStockDayRow> rows = counted;
           stocks = ScanSustainedStocks(g_ADODatabase, rows, windowStart).rows.size();
         },
         [&] {
           std::vector<CStockDayRow> rows = counted;
           listings = FillSustainedBranchList(g_ADODatabase, g_ADODatabase_Custom, rows, windowStart, std::nullopt,
                                              today)
                          .rows.size();
         },
         [&] {
           StepAll(raw, "SELECT SB_Date, " + Columns(true, true, true) + " FROM StockInfo WHERE SB_Date >= ?",
                   {windowStart});
         }});
    const double scan = times[0], fill = times[1], b = times[2];
    auto start = std::chrono::steady_clock::now();
    std::vector<CStockDayRow> plainRows = counted;
    ReferenceScanSustainedStocks(g_ADODatabase, plainRows);
    const double scanPlain = SecondsSince(start);
    start = std::chrono::steady_clock::now();
    ReferenceFillSustainedBranchList(g_ADODatabase, g_ADODatabase_Custom, plainRows, std::nullopt, today);
    const double fillPlain = SecondsSince(start);
    PrintFigure("continuous20_counted", static_cast<double>(counted.size()), "stocks");
    PrintFigure("continuous20_qualified", static_cast<double>(stocks), "stocks");
    PrintFigure("continuous20_1007_rows", static_cast<double>(listings), "rows");
    PrintRanking("continuous20_scan", scan, scanPlain, b);
    PrintRanking("continuous20_1007", fill, fillPlain, b);
    PrintRanking("continuous20", scan + fill, scanPlain + fillPlain, 2 * b);
  }

  // ---- Repeat-buy statistics: 60 days of buyers, then every row of every day ----
  {
    const std::vector<std::string> days = window(kRepeatBuyDays);
    BranchFold totals;
    RepeatBuyStatsResult fast;
    const std::vector<double> fb = MediansOf(
        {[&] { fast = RunRepeatBuyStats(g_ADODatabase, today, kRepeatBuyDays, totals); },
         [&] {
           StepAll(raw, "SELECT " + Columns(true, true, false) + " FROM StockInfo WHERE SB_Date >= ? AND SB_Date <= ?",
                   days);
           StepAll(raw, "SELECT " + Columns(true, false, false) + " FROM StockInfo", {});
         }});
    const double f = fb[0], b = fb[1];
    ReferenceRepeatBuyOptions scan;
    scan.indexed = false;
    scan.sampleBranches = g_benchFull ? 0 : kRepeatBuySample;
    scan.write = false;
    const ReferenceRepeatBuyRun plain = ReferenceRepeatBuyStats(g_ADODatabase, today, kRepeatBuyDays, scan);
    ReferenceRepeatBuyOptions indexed;
    indexed.sampleBranches = scan.sampleBranches;
    indexed.write = false;
    const ReferenceRepeatBuyRun viaIndex = ReferenceRepeatBuyStats(g_ADODatabase, today, kRepeatBuyDays, indexed);
    PrintFigure("repeatbuy_branches", plain.qualifyingBranches, "branches");
    PrintFigure("repeatbuy_sample", plain.examinedBranches, "branches");
    PrintFigure("repeatbuy_saved_rows", static_cast<double>(fast.saved.size()), "rows");
    PrintFigure("repeatbuy_list_rows", static_cast<double>(fast.rows.size()), "rows");
    PrintRanking("repeatbuy", f, plain.EstimatedSeconds(), b);
    PrintFigure("repeatbuy_indexed_a", viaIndex.EstimatedSeconds() * 1e3, "ms");
    PrintFigure("repeatbuy_indexed_speedup", viaIndex.EstimatedSeconds() / f, "x");
  }

  sqlite3_close(raw);
  g_ADODatabase.Close();
  g_ADODatabase_Custom.Close();
}
