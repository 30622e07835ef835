// Block trades and stock scoring on the generated 750-day market with 500 QLXWMA
// branches: scoring one day, ranking 60 days by buyer and listing every trade of the
// busiest buyer with merging, each against a raw prepared read of the rows it reads.
// The statements of one scored day are counted.

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "../tests/support/db_builder.h"
#include "../tests/support/fake_clock.h"
#include "../tests/support/market_generator.h"
#include "../tests/support/temp_program_folder.h"
#include "bench.h"
#include "records/branch_marks.h"
#include "records/stock_detail.h"
#include "storage/day_range.h"
#include "views/block_trade_listing.h"
#include "views/block_trade_ranking.h"
#include "views/stock_scoring.h"

namespace {

constexpr int kWarmRuns = 40;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Every column of every row of `sql`, through a prepared statement with text values.
void RawRead(sqlite3* db, const std::string& sql, const std::vector<std::string>& params, double& checksum) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  for (std::size_t i = 0; i < params.size(); ++i) {
    sqlite3_bind_text(stmt, static_cast<int>(i + 1), params[i].c_str(), static_cast<int>(params[i].size()),
                      SQLITE_TRANSIENT);
  }
  const int columns = sqlite3_column_count(stmt);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      if (sqlite3_column_type(stmt, c) == SQLITE_TEXT) {
        const std::string text(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
        checksum += static_cast<double>(text.size());
      } else {
        checksum += sqlite3_column_double(stmt, c);
      }
    }
  }
  sqlite3_finalize(stmt);
}

// The logic and the raw read timed in turn, kWarmRuns times after one warm-up each, so
// a change in the machine's load hits both alike: the medians of both and the median of
// the per-run ratios.
struct PairedTimes {
  double logic = 0;
  double raw = 0;
  double ratio = 0;
};
PairedTimes TimePair(const std::function<void()>& logic, const std::function<void()>& raw) {
  logic();
  raw();
  std::vector<double> logicTimes, rawTimes, ratios;
  for (int i = 0; i < kWarmRuns; ++i) {
    auto start = std::chrono::steady_clock::now();
    logic();
    logicTimes.push_back(SecondsSince(start));
    start = std::chrono::steady_clock::now();
    raw();
    rawTimes.push_back(SecondsSince(start));
    ratios.push_back(rawTimes.back() > 0 ? logicTimes.back() / rawTimes.back() : 0);
  }
  return {Median(logicTimes), Median(rawTimes), Median(ratios)};
}

void Report(const std::string& name, const PairedTimes& times) {
  PrintFigure(name + "_raw_read", times.raw * 1e3, "ms");
  PrintFigure(name + "_logic", times.logic * 1e3, "ms");
  PrintFigure(name + "_ratio", times.ratio, "x");
}

}  // namespace

void RunBlockTradeBench() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  TempProgramFolder folder(options);
  DbBuilder builder(folder.Path());
  MarketShape shape;  // the daily-list bench's market: 750 days, 100 stocks and 20 trades a day
  shape.qlxwmaBranches = 500;
  const auto generateStart = std::chrono::steady_clock::now();
  const GeneratedMarket market = GenerateMarket(builder, shape);
  PrintFigure("dzjy_generate", SecondsSince(generateStart), "s");
  PrintFigure("dzjy_trades", market.trades, "rows");
  builder.OpenGlobals();

  const std::string newest = market.days.back();
  FakeClock clock;
  clock.Set(std::stoi(newest.substr(0, 4)), std::stoi(newest.substr(5, 2)), std::stoi(newest.substr(8, 2)));

  sqlite3* raw = nullptr;
  sqlite3_open_v2(builder.MarketPath().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_exec(raw, "PRAGMA cache_size=-16384; PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
  double checksum = 0;

  // Scoring one day: the day's StockInfo rows, the whole of QLXWMA and the DZJY rows of
  // the 30-day window.
  {
    const std::string scored = market.days[market.days.size() / 2];
    const std::string cutoff = CutoffDay(clock, kRecentBlockTradeDays);
    CStockScoring scoring(g_ADODatabase, clock);
    std::size_t stocks = 0;
    const PairedTimes times = TimePair([&] { stocks = scoring.ScoreDay(scored)->size(); }, [&] {
      RawRead(raw, "SELECT " + StockDetailColumns() + " FROM StockInfo WHERE SB_Date = ? ORDER BY rowid", {scored},
              checksum);
      RawRead(raw, "SELECT YYBName, IncomeLevel, IsSuperStarYYB FROM QLXWMA ORDER BY rowid", {}, checksum);
      RawRead(raw, "SELECT StockCode FROM DZJY WHERE DZJY_Date >= ?", {cutoff}, checksum);
    });
    Report("score_day", times);
    std::atomic<int> statements{0};
    g_ADODatabase.SetStatementTrace([&](const std::string&) { ++statements; });
    scoring.ScoreDay(scored);
    g_ADODatabase.SetStatementTrace(nullptr);
    PrintFigure("score_day_stocks", static_cast<double>(stocks), "stocks");
    PrintFigure("score_day_statements", statements.load(), "statements");
  }

  BranchMarks marks;
  marks.Load(g_ADODatabase_Custom);

  // Ranking 60 days by buyer.
  {
    std::vector<RankGroup> groups;
    const PairedTimes times =
        TimePair([&] { RankTrades(g_ADODatabase, clock, 60, RankGrouping::ByBuyer, groups); }, [&] {
          RawRead(raw, "SELECT * FROM DZJY WHERE DZJY_Date >= ? ORDER BY DZJY_Date, rowid", {CutoffDay(clock, 60)},
                  checksum);
        });
    Report("dzjy_rank60", times);
    PrintFigure("dzjy_rank60_groups", static_cast<double>(groups.size()), "groups");
  }

  // Every trade of the busiest buyer, merged per trade: the logic's fill of rows read
  // once, against a raw read of the same rows.
  {
    std::string busiest;
    {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(raw, "SELECT BuyName FROM DZJY GROUP BY BuyName ORDER BY COUNT(*) DESC, BuyName LIMIT 1", -1,
                         &stmt, nullptr);
      if (sqlite3_step(stmt) == SQLITE_ROW) busiest = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      sqlite3_finalize(stmt);
    }
    const std::string sql =
        "SELECT DZJY_Date, StockCode, StockName, BuyName, SellName, SPJ, CJJ, CJSL, CJJE FROM DZJY WHERE BuyName = ?"
        " ORDER BY DZJY_Date DESC, StockCode, RowNumber, rowid";
    std::vector<BlockTradeRecord> rows;
    ReadBlockTrades(g_ADODatabase, BlockTradeQuery{sql, {busiest}}, rows);
    BlockTradeListing listing;
    const PairedTimes times = TimePair([&] { listing.Fill(rows, PremiumColours::Search, marks); },
                                       [&] { RawRead(raw, sql, {busiest}, checksum); });
    Report("dzjy_merge", times);
    PrintFigure("dzjy_merge_rows", static_cast<double>(rows.size()), "rows");
    PrintFigure("dzjy_merge_lines", static_cast<double>(listing.Lines().size()), "lines");
  }

  sqlite3_close(raw);
  (void)checksum;
  g_ADODatabase.Close();
  g_ADODatabase_Custom.Close();
}
