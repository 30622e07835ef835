#pragma once
// Shared bits of the benchmarks: a timer and the one-line figure format.

#include <chrono>
#include <cstdio>
#include <string>

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every figure is printed as "name: value unit".
inline void PrintFigure(const std::string& name, double value, const std::string& unit) {
  std::printf("%s: %.3f %s\n", name.c_str(), value, unit.c_str());
  std::fflush(stdout);
}

// Each benchmark generates its own data in a temporary folder and prints its figures.
void RunRecordsetBench();
void RunControlsBench();
void RunDownloadBench();
void RunDailyListBench();
void RunSeriesBench();
// Exits with status 1 when the branch search's plan scans StockInfo.
void RunTrackerBench();
// Stock scoring, the 60-day ranking and the merged listing of the busiest buyer.
void RunBlockTradeBench();
// The rankings over N trading days and the repeat-buy statistics.
void RunRankingBench();
// Twenty years of days against the newest 750: the actions that grew with history.
void RunHistoryBench();
// Set by --full: the slow reference forms run on every branch instead of a sample.
extern bool g_benchFull;
