// One day of the daily list: the logic library's whole day load (the records, the
// sort, the four lists with their colours and codes, the listing counts and types,
// and the first stock's record, seat rows and block-trade summary) against a raw
// prepared read of the same day's rows, on a generated 750-day market. The statements
// of one load are counted, and the text exports and the widget fill are timed apart.

#include <sqlite3.h>

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "../tests/support/db_builder.h"
#include "../tests/support/fake_clock.h"
#include "../tests/support/market_generator.h"
#include "../tests/support/temp_program_folder.h"
#include "bench.h"
#include "bench_app.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/message_box.h"
#include "platform/ui/qt_convert.h"
#include "records/seat_list_rows.h"
#include "records/stock_detail.h"
#include "storage/day_range.h"
#include "views/daily_list_model.h"

namespace {

constexpr int kWarmRuns = 60;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Every column of every row of the day, through a prepared statement.
double RawDayRead(sqlite3* db, const std::string& day, double& checksum) {
  const auto start = std::chrono::steady_clock::now();
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT * FROM StockInfo WHERE SB_Date = ?", -1, &stmt, nullptr);
  sqlite3_bind_text(stmt, 1, day.c_str(), static_cast<int>(day.size()), SQLITE_TRANSIENT);
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
  return SecondsSince(start);
}

struct LoadResult {
  double seconds = 0;
  std::size_t lines = 0;
  double steps[4] = {};  // the day's rows and side lists, sort, day list, first stock
};

// What the page asks of the logic for one day, without the files.
LoadResult WholeDayLoad(CDailyListModel& model, const std::string& day, const std::string& cutoff) {
  const auto start = std::chrono::steady_clock::now();
  LoadResult r;
  if (model.LoadDayList(day)) {
    r.steps[0] = SecondsSince(start);
    model.SortDayRows(kSortByNetBuy);
    r.steps[1] = SecondsSince(start);
    model.BuildDayList(kSortByNetBuy);
    r.steps[2] = SecondsSince(start);
    StockDetailRecord record;
    if (LoadStockRecord(g_ADODatabase, model.LoadedDate(), model.FirstStockCode(), record)) {
      const SeatListRows rows = BuildSeatListRows(record, model.Marks());
      r.lines += rows.cells.size();
      if (HasRecentBlockTrades(g_ADODatabase, record.StockCode, cutoff)) {
        const BlockTradeSummary summary = LoadBlockTradeSummary(g_ADODatabase, record.StockCode, cutoff);
        r.lines += summary.Count > 0 ? 1 : 0;
      }
    }
    r.lines += model.DayLines().size() + model.SuggestionLines().size() + model.TeamLines().size() +
               model.WatchedLines().size();
  }
  r.seconds = SecondsSince(start);
  return r;
}

void BenchDay(const char* label, CDailyListModel& model, sqlite3* raw, const std::string& day,
              const std::string& cutoff, std::atomic<int>& statements, bool printHeadline) {
  double checksum = 0;
  RawDayRead(raw, day, checksum);
  WholeDayLoad(model, day, cutoff);  // warm both
  std::vector<double> rawTimes, loadTimes, stepTimes[4];
  for (int i = 0; i < kWarmRuns; ++i) {
    rawTimes.push_back(RawDayRead(raw, day, checksum));
    const LoadResult run = WholeDayLoad(model, day, cutoff);
    loadTimes.push_back(run.seconds);
    double previous = 0;
    for (int s = 0; s < 4; ++s) {
      const double end = s < 3 ? run.steps[s] : run.seconds;
      stepTimes[s].push_back(end - previous);
      previous = end;
    }
  }
  statements = 0;
  const LoadResult counted = WholeDayLoad(model, day, cutoff);
  const int perLoad = statements.load();

  const double a = Median(rawTimes), b = Median(loadTimes);
  const std::string prefix = std::string("day_load_") + label + "_";
  PrintFigure(prefix + "raw_read", a * 1e3, "ms");
  PrintFigure(prefix + "whole_load", b * 1e3, "ms");
  PrintFigure(prefix + "ratio", b / a, "x");
  const char* const stepNames[] = {"rows_and_side_lists", "sort", "day_list", "first_stock"};
  for (int s = 0; s < 4; ++s) PrintFigure(prefix + "step_" + stepNames[s], Median(stepTimes[s]) * 1e3, "ms");
  PrintFigure(prefix + "statements", perLoad, "statements");
  PrintFigure(prefix + "lines", static_cast<double>(counted.lines), "lines");
  if (printHeadline) {
    PrintFigure("day_load_ratio", b / a, "x");
    PrintFigure("day_load_statements", perLoad, "statements");
  }
}

}  // namespace

void RunDailyListBench() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  TempProgramFolder folder(options);
  DbBuilder builder(folder.Path());
  MarketShape shape;  // 750 days of 100 stocks, 3,000 branches, 300 marks, 10 teams, 20 trades a day
  const auto generateStart = std::chrono::steady_clock::now();
  const GeneratedMarket market = GenerateMarket(builder, shape);
  PrintFigure("day_load_generate", SecondsSince(generateStart), "s");
  PrintFigure("day_load_listings", market.listings, "rows");
  builder.OpenGlobals();

  const std::string newest = market.days.back();
  const std::string middle = market.days[market.days.size() / 2];
  FakeClock clock;
  clock.Set(std::stoi(newest.substr(0, 4)), std::stoi(newest.substr(5, 2)), std::stoi(newest.substr(8, 2)));
  const std::string cutoff = CutoffDay(clock, 30);

  std::atomic<int> statements{0};
  g_ADODatabase.SetStatementTrace([&](const std::string&) { ++statements; });
  g_ADODatabase_Custom.SetStatementTrace([&](const std::string&) { ++statements; });

  sqlite3* raw = nullptr;
  sqlite3_open_v2(builder.MarketPath().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  // The same page cache and file mapping as the program's own connections.
  sqlite3_exec(raw, "PRAGMA cache_size=-16384; PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);

  CDailyListModel model;
  DailyListSettings settings;
  settings.watchedNames.fill("XXX");
  for (int i = 0; i < 12; ++i) settings.watchedNames[i] = market.branches[static_cast<std::size_t>(i * 7)];
  settings.blockTradeCutoff = cutoff;
  model.SetSettings(settings);

  BenchDay("middle", model, raw, middle, cutoff, statements, false);
  BenchDay("newest", model, raw, newest, cutoff, statements, true);

  // For information: the two files of a rewrite, and one fill of the day list and the
  // seat list as the page does it.
  {
    std::vector<double> times;
    for (int i = 0; i < 10; ++i) {
      const auto start = std::chrono::steady_clock::now();
      model.WriteDayListExports();
      times.push_back(SecondsSince(start));
    }
    PrintFigure("day_load_exports", Median(times) * 1e3, "ms");
  }
  {
    const auto ownApp = MakeBenchApplication();
    CColorListBox list;
    CColorListCtrl seats;
    for (int c = 0; c < 8; ++c) seats.InsertColumn(c, "c");
    StockDetailRecord record;
    LoadStockRecord(g_ADODatabase, model.LoadedDate(), model.FirstStockCode(), record);
    const SeatListRows rows = BuildSeatListRows(record, model.Marks());
    std::vector<double> times;
    for (int i = 0; i < 10; ++i) {
      const auto start = std::chrono::steady_clock::now();
      list.ResetContent();
      for (const ListLine& line : model.DayLines()) list.AddString(line.text, line.colour);
      seats.DeleteAllItems();
      for (int r = 0; r < static_cast<int>(rows.cells.size()); ++r) {
        seats.InsertItem(r, rows.cells[r][0].text);
        for (int c = 1; c < 8; ++c) {
          seats.SetItemText(r, c, rows.cells[r][c].text);
          if (rows.cells[r][c].colour) seats.SetCellColor(*rows.cells[r][c].colour, r, c);
        }
      }
      times.push_back(SecondsSince(start));
    }
    PrintFigure("day_load_widget_fill", Median(times) * 1e3, "ms");
  }

  g_ADODatabase.SetStatementTrace(nullptr);
  g_ADODatabase_Custom.SetStatementTrace(nullptr);
  sqlite3_close(raw);
  g_ADODatabase.Close();
  g_ADODatabase_Custom.Close();
}
