#pragma once
// A day of the second source: the exchanges' own bulletins. The Shenzhen exchange's
// three board files, then the Shanghai exchange's public-trade query, each stock's
// close, change, volume and amount from the quote portals, every stock stored through
// the StockInfo writer, and the day ended as every downloaded day ends.
//
// One day at a time, on a worker with its own job state; `done` runs on the UI thread.

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "acquisition/download_road.h"
#include "acquisition/exchange_bulletins.h"
#include "acquisition/source_hosts.h"
#include "acquisition/stock_info_writer.h"

// The Shenzhen boards in fetching order.
struct SzseBoard {
  int market;              // m_nMarket
  const char* marketFile;  // the label in the "not found" lines
  const char* path;        // before the file name
  const char* failureLine;
};
const std::vector<SzseBoard>& SzseBoards();

// The Shanghai query's target for a day, and the lines sent with it.
std::string SseQueryTarget(const std::string& day);
RequestLines SseQueryLines(const SourceHosts& hosts);

class ExchangeDayJob final : public ExchangeDayJobs {
 public:
  explicit ExchangeDayJob(DownloadRoadDeps deps);
  ~ExchangeDayJob() override;  // stops the running day and waits for it
  ExchangeDayJob(const ExchangeDayJob&) = delete;
  ExchangeDayJob& operator=(const ExchangeDayJob&) = delete;

  bool StartDay(const std::string& day, std::function<void(bool fetched)> done) override;
  bool WaitForJobs(int boundMs);

 private:
  class Day;
  void ExchangeFilesThread(const std::string& day, std::stop_token stop, std::function<void(bool)> done);

  DownloadRoadDeps deps_;
  std::string jobPrefix_;
  int jobSequence_ = 0;
  std::vector<std::string> jobNames_;
  std::shared_ptr<int> alive_;  // reset first by the destructor
  // What workers take their liveness from: a copy made here, never written again, so
  // a worker reads it while the destructor resets alive_.
  const std::weak_ptr<int> aliveToken_;
};
