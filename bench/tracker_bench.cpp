// The tracker's exact branch search on a generated 750-day market: the whole search
// as the page waits for it (the bound ten-seat query, the lines, the file text)
// against a raw scan of the same rows (the same statement over "StockInfo NOT
// INDEXED", every column read, nothing formatted), for 20 branches of 50 to 500
// listings and for "机构专用". The seat-name indexes have to make the search a small
// fraction of the scan; the run fails when the plan scans StockInfo.

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/support/db_builder.h"
#include "../tests/support/fake_clock.h"
#include "../tests/support/market_generator.h"
#include "../tests/support/temp_program_folder.h"
#include "analysis/tracker_searches.h"
#include "bench.h"
#include "bench_markets.h"
#include "storage/ado_database.h"
#include "storage/row_records.h"

namespace {

constexpr int kRuns = 5;
constexpr int kBranches = 20;
constexpr int kMinListings = 50;
constexpr int kMaxListings = 500;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Keeps the scan's reads from being optimised away.
double g_scanChecksum = 0;

// Rows of the scan: the statement stepped to its end, every column fetched.
double RawScan(sqlite3_stmt* stmt, const std::string& branch, int& rows) {
  const auto start = std::chrono::steady_clock::now();
  sqlite3_reset(stmt);
  sqlite3_bind_text(stmt, 1, branch.c_str(), static_cast<int>(branch.size()), SQLITE_TRANSIENT);
  const int columns = sqlite3_column_count(stmt);
  rows = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    ++rows;
    for (int c = 0; c < columns; ++c) {
      if (sqlite3_column_type(stmt, c) == SQLITE_TEXT) {
        g_scanChecksum += sqlite3_column_bytes(stmt, c);
      } else {
        g_scanChecksum += sqlite3_column_double(stmt, c);
      }
    }
  }
  return SecondsSince(start);
}

double Search(const IClock& clock, const std::string& branch, std::size_t& lines, std::size_t& bytes) {
  const auto start = std::chrono::steady_clock::now();
  const TrackerSearchResult result = BuildBranchSearch(g_ADODatabase, clock, branch);
  const double seconds = SecondsSince(start);
  lines = result.lines ? result.lines->size() : 0;
  bytes = result.fileBytes.size();
  return seconds;
}

int CountListings(sqlite3_stmt* count, const std::string& branch) {
  sqlite3_reset(count);
  sqlite3_bind_text(count, 1, branch.c_str(), static_cast<int>(branch.size()), SQLITE_TRANSIENT);
  return sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int(count, 0) : -1;
}

struct Measured {
  std::string name;
  int listings = 0;
  double search = 0;  // median seconds of (a)
  double scan = 0;    // median seconds of (b)
};

Measured Measure(const IClock& clock, sqlite3_stmt* scan, const std::string& branch) {
  Measured m;
  m.name = branch;
  std::size_t lines = 0, bytes = 0;
  int rows = 0;
  Search(clock, branch, lines, bytes);  // warm both
  RawScan(scan, branch, rows);
  std::vector<double> a, b;
  for (int i = 0; i < kRuns; ++i) {
    a.push_back(Search(clock, branch, lines, bytes));
    b.push_back(RawScan(scan, branch, rows));
  }
  if (static_cast<int>(lines) != rows) {
    std::fprintf(stderr, "tracker bench: %s gave %zu lines but %d scanned rows\n", branch.c_str(), lines, rows);
  }
  m.listings = rows;
  m.search = Median(a);
  m.scan = Median(b);
  return m;
}

// The plan of the search's statement, one detail text per step.
std::vector<std::string> QueryPlan(sqlite3* db, const std::string& sql) {
  std::vector<std::string> steps;
  sqlite3_stmt* stmt = nullptr;
  const std::string explain = "EXPLAIN QUERY PLAN " + sql;
  if (sqlite3_prepare_v2(db, explain.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return steps;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* detail = sqlite3_column_text(stmt, 3);
    steps.emplace_back(detail ? reinterpret_cast<const char*>(detail) : "");
  }
  sqlite3_finalize(stmt);
  return steps;
}

bool ScansStockInfo(const std::vector<std::string>& plan) {
  for (const std::string& step : plan) {
    if (step.rfind("SCAN StockInfo", 0) == 0 || step.rfind("SCAN TABLE StockInfo", 0) == 0) return true;
  }
  return plan.empty();  // no plan proves nothing
}

}  // namespace

void RunTrackerBench() {
  bool planScans = false;
  {
    TempProgramFolder::Options options;
    options.withExportFolder = true;
    TempProgramFolder folder(options);
    DbBuilder builder(folder.Path());
    const auto generateStart = std::chrono::steady_clock::now();
    const GeneratedMarket market = GenerateMarket(builder, TrackerMarket());
    PrintFigure("branch_search_generate", SecondsSince(generateStart), "s");
    PrintFigure("branch_search_listings", market.listings, "rows");
    PrintFigure("branch_search_days", static_cast<double>(market.days.size()), "days");
    PrintFigure("branch_search_holidays", market.holidays, "days");
    PrintFigure("branch_search_institution_listing_share",
                100.0 * market.institutionListings / std::max(1, market.listings), "%");
    PrintFigure("branch_search_both_halves_share", 100.0 * market.bothHalvesListings / std::max(1, market.listings),
                "%");
    builder.OpenGlobals();

    const std::string newest = market.days.back();
    FakeClock clock(std::stoi(newest.substr(0, 4)), std::stoi(newest.substr(5, 2)), std::stoi(newest.substr(8, 2)));

    sqlite3* raw = nullptr;
    sqlite3_open_v2(builder.MarketPath().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    // The same page cache and file mapping as the program's own connections.
    sqlite3_exec(raw, "PRAGMA cache_size=-16384; PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);

    const std::string indexed = BranchSearchStatement(true);
    const std::vector<std::string> plan = QueryPlan(raw, indexed);
    for (const std::string& step : plan) std::printf("branch_search_plan: %s\n", step.c_str());
    planScans = ScansStockInfo(plan);
    PrintFigure("branch_search_plan_scans_stockinfo", planScans ? 1 : 0, "flag");

    sqlite3_stmt* scan = nullptr;
    sqlite3_prepare_v2(raw, BranchSearchStatement(false).c_str(), -1, &scan, nullptr);
    sqlite3_stmt* count = nullptr;
    const std::string from = indexed.substr(indexed.find(" FROM "));
    const std::string countSql = "SELECT COUNT(*)" + from.substr(0, from.find(" ORDER BY"));
    sqlite3_prepare_v2(raw, countSql.c_str(), -1, &count, nullptr);

    // Twenty branches spread over the pool, each with 50 to 500 listings.
    std::vector<std::string> names;
    const int pool = static_cast<int>(market.branches.size());
    const int step = std::max(1, pool / (kBranches + 2));
    for (int start = step; start < pool && static_cast<int>(names.size()) < kBranches; start += step) {
      for (int k = start; k < std::min(pool, start + step); ++k) {
        const std::string& name = market.branches[static_cast<std::size_t>(k)];
        if (std::find(names.begin(), names.end(), name) != names.end()) continue;
        const int listings = CountListings(count, name);
        if (listings >= kMinListings && listings <= kMaxListings) {
          names.push_back(name);
          break;
        }
      }
    }

    std::vector<double> searches, scans, ratios;
    for (std::size_t i = 0; i < names.size(); ++i) {
      const Measured m = Measure(clock, scan, names[i]);
      char prefix[64];
      std::snprintf(prefix, sizeof prefix, "branch_search_%02zu_", i + 1);
      PrintFigure(std::string(prefix) + "listings", m.listings, "rows");
      PrintFigure(std::string(prefix) + "search", m.search * 1e3, "ms");
      PrintFigure(std::string(prefix) + "scan", m.scan * 1e3, "ms");
      PrintFigure(std::string(prefix) + "ratio", m.search / m.scan, "x");
      searches.push_back(m.search);
      scans.push_back(m.scan);
      ratios.push_back(m.search / m.scan);
    }
    PrintFigure("branch_search_names", static_cast<double>(names.size()), "branches");
    PrintFigure("branch_search_median_search", Median(searches) * 1e3, "ms");
    PrintFigure("branch_search_median_scan", Median(scans) * 1e3, "ms");
    PrintFigure("branch_search_ratio", Median(ratios), "x");

    // For information: the busiest seat name of all.
    const Measured institution = Measure(clock, scan, kInstitutionSeatName);
    PrintFigure("branch_search_institution_listings", institution.listings, "rows");
    PrintFigure("branch_search_institution_search", institution.search * 1e3, "ms");
    PrintFigure("branch_search_institution_scan", institution.scan * 1e3, "ms");
    PrintFigure("branch_search_institution_ratio", institution.search / institution.scan, "x");

    sqlite3_finalize(count);
    sqlite3_finalize(scan);
    sqlite3_close(raw);
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }
  if (planScans) {
    std::fprintf(stderr, "tracker bench: the branch search scans StockInfo\n");
    std::exit(1);
  }
}
