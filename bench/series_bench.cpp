// The charting program's custom series over a 750-trading-day market: (a) a raw SQLite
// read of every StockInfo, DZJY and YYBMark row and column the generation uses, (b) the
// whole generation with N = 751 into an empty charting folder, (c) the same generation
// again over (b)'s files. The figures b/a and c/a are the ones to watch.
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../tests/support/db_builder.h"
#include "../tests/support/market_generator.h"
#include "../tests/support/temp_program_folder.h"
#include "bench.h"
#include "charting/custom_series_generator.h"
#include "charting/formula_text.h"
#include "platform/gdi_types.h"
#include "storage/ado_database.h"
#include "storage/file_io.h"

namespace {

// Set VELKOR_BENCH_STEPS to see how long each step of a generation takes.
class CountingSink final : public CustomDataSink {
 public:
  void Status(const std::string& text) override {
    if (!verbose || text.find('\n') != std::string::npos) return;
    std::fprintf(stderr, "  %.3f s  %s\n", SecondsSince(start), text.c_str());
  }
  void Line(const std::string&, COLORREF colour) override { redLines += colour == kCustomLineRed ? 1 : 0; }
  void ProgressRange(int, int) override {}
  void Progress(int) override {}
  void Message(const std::string& text) override {
    ++messages;
    std::fprintf(stderr, "series bench message: %s\n", text.c_str());
  }
  void Finished(bool, int) override {}
  int redLines = 0;
  int messages = 0;
  const bool verbose = std::getenv("VELKOR_BENCH_STEPS") != nullptr;
  const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

struct RawRead {
  double seconds = 0;
  std::size_t rows = 0;
  double checksum = 0;
};

// Steps one query and touches every column the way the generation reads it.
void Step(sqlite3* db, const char* sql, RawRead& r) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return;
  const int columns = sqlite3_column_count(stmt);
  std::string text;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      if (sqlite3_column_type(stmt, c) == SQLITE_TEXT) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        text.assign(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
        r.checksum += static_cast<double>(text.size());
      } else {
        r.checksum += sqlite3_column_double(stmt, c);
      }
    }
    ++r.rows;
  }
  sqlite3_finalize(stmt);
}

RawRead RawReadAll(const std::string& market, const std::string& user) {
  const auto start = std::chrono::steady_clock::now();
  RawRead r;
  std::string stockColumns = "StockCode, SB_Date";
  for (const char* seat : {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"}) {
    const std::string s = seat;
    stockColumns += ", " + s + "_YYB_Name, " + s + "_YYB_BuyAmount, " + s + "_YYB_SellAmount";
  }
  const std::string stockSql = "SELECT " + stockColumns + " FROM StockInfo";
  sqlite3* db = nullptr;
  sqlite3_open_v2(market.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  Step(db, stockSql.c_str(), r);
  Step(db, "SELECT DZJY_Date, StockCode, StockName, SPJ, CJJ, CJSL, CJJE, BuyName, SellName FROM DZJY", r);
  sqlite3_close(db);
  sqlite3_open_v2(user.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  Step(db, "SELECT YYBName, Number1, Color, IsLike, TeamNumber, Abbreviation, TeamName FROM YYBMark", r);
  sqlite3_close(db);
  r.seconds = SecondsSince(start);
  return r;
}

struct Generation {
  double seconds = 0;
  GenerationResult result;
};

Generation Generate(const std::string& marketPath, const std::string& userPath, const std::string& signals,
                    const std::string& formula) {
  const auto start = std::chrono::steady_clock::now();
  CADODataBase market, user;
  market.Open("Data Source=" + marketPath + ";");
  user.Open("Data Source=" + userPath + ";");
  CountingSink sink;
  CCustomSeriesGenerator generator(market, user, sink);
  GenerationParams params;
  params.signalsFolder = signals;
  params.days = 751;
  params.formulaPath = formula;
  Generation g;
  g.result = generator.Run(params);
  g.seconds = SecondsSince(start);
  if (sink.messages > 0 || sink.redLines > 0) {
    std::printf("series_bench_problems: %d messages, %d red lines\n", sink.messages, sink.redLines);
  }
  return g;
}

// What one new small file costs on this file system through the program's atomic
// replace as the generation does it (temporary file and rename, no per-file sync):
// the floor under a generation's time.
double ReplaceMicroseconds(const std::string& folder) {
  std::filesystem::create_directories(folder);
  const std::string bytes(80, 'x');
  const int count = 500;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    ReplaceFileContents(folder + "/" + std::to_string(i) + ".dat", bytes, FileSync::Deferred);
  }
  const double seconds = SecondsSince(start);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return seconds / count * 1e6;
}

std::size_t CountFiles(const std::string& root) {
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  return files;
}

}  // namespace

void RunSeriesBench() {
  const std::string folder = MakeTempFolder("velkor-series-bench");
  {
    DbBuilder builder(folder);
    MarketShape shape;
    shape.tradingDays = 750;
    shape.listingsPerDay = 80;
    shape.stockCount = 3000;
    shape.branchCount = 2000;
    shape.tradesPerDay = 20;
    shape.markedBranches = 0;  // the 40 marks below get the numbers of branch series
    shape.teams = 5;           // 200..204, three members each (the pool's first 15 branches)
    shape.teamMembers = 3;
    const auto generateStart = std::chrono::steady_clock::now();
    const GeneratedMarket market = GenerateMarket(builder, shape);
    {
      CADOTransaction tx(builder.User());
      // Spread over the pool: a few busy branches and many quiet ones.
      for (int m = 0; m < 40; ++m) {
        builder.AddMark(market.branches[15 + m * 49], m + 1, RGB(255, m * 6, 0), 1, 0, "游资" + std::to_string(m + 1),
                        "", "");
      }
      tx.Commit();
    }
    PrintFigure("series_generate_seconds", SecondsSince(generateStart), "s");
    PrintFigure("series_listing_rows", market.listings, "rows");
    PrintFigure("series_trade_rows", market.trades, "rows");

    const std::string chart = folder + "/chart";
    const std::string signals = chart + "/T0002/signals";
    std::filesystem::create_directories(signals);
    const std::string formula = folder + "/" + kFormulaFileName;

    RawReadAll(builder.MarketPath(), builder.UserPath());  // warms the page cache
    RawRead raw;
    raw.seconds = 1e9;
    for (int round = 0; round < 3; ++round) {
      const RawRead r = RawReadAll(builder.MarketPath(), builder.UserPath());
      if (r.seconds < raw.seconds) raw = r;
    }
    const Generation all = Generate(builder.MarketPath(), builder.UserPath(), signals, formula);
    const std::size_t files = CountFiles(signals);
    const Generation again = Generate(builder.MarketPath(), builder.UserPath(), signals, formula);

    PrintFigure("series_raw_rows", static_cast<double>(raw.rows), "rows");
    PrintFigure("series_values", static_cast<double>(all.result.values), "values");
    PrintFigure("series_files", static_cast<double>(files), "files");
    PrintFigure("series_file_writes", static_cast<double>(all.result.fileWrites), "files");
    PrintFigure("series_rewrite_file_writes", static_cast<double>(again.result.fileWrites), "files");
    PrintFigure("series_failures", all.result.failures + again.result.failures, "files");
    PrintFigure("series_raw_read_seconds", raw.seconds, "s");
    PrintFigure("series_all_seconds", all.seconds, "s");
    PrintFigure("series_rewrite_seconds", again.seconds, "s");
    const double replaceUs = ReplaceMicroseconds(folder + "/replace-probe");
    PrintFigure("series_file_replace_us", replaceUs, "us");
    PrintFigure("series_file_floor_seconds", replaceUs * 1e-6 * static_cast<double>(files), "s");
    PrintFigure("series_all_ratio", all.seconds / raw.seconds, "x");
    PrintFigure("series_rewrite_ratio", again.seconds / raw.seconds, "x");
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}
