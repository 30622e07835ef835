// velkordesk-bench: every benchmark when called without arguments, or the ones named.
#include <cstring>
#include <cstdio>

#include "bench.h"

int main(int argc, char** argv) {
  struct Entry {
    const char* name;
    void (*run)();
  };
  const Entry entries[] = {{"recordset", &RunRecordsetBench}, {"controls", &RunControlsBench},
                           {"download", &RunDownloadBench}, {"daily", &RunDailyListBench}, {"series", &RunSeriesBench},
                           {"tracker", &RunTrackerBench}, {"dzjy", &RunBlockTradeBench}, {"ranking", &RunRankingBench},
                           {"history", &RunHistoryBench}};
  int named = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--full") == 0) {
      g_benchFull = true;
    } else {
      ++named;
    }
  }
  bool ranAny = false;
  for (const Entry& e : entries) {
    bool wanted = named == 0;
    for (int i = 1; i < argc; ++i) wanted = wanted || std::strcmp(argv[i], e.name) == 0;
    if (!wanted) continue;
    e.run();
    ranAny = true;
  }
  if (!ranAny) {
    std::fprintf(stderr, "usage: %s [recordset] [controls] [download] [daily] [series] [tracker] [dzjy] [ranking] [history] [--full]\n", argv[0]);
    return 2;
  }
  return 0;
}
