#pragma once
// The month's block trades: fetches the data centre's month page "/dzjy/<yyyymm>.html"
// on a worker, parses its day groups and stores each trade in DZJY. The download page
// starts it with its button 1048 (the month of its date picker) and the download
// engine at the end of a run (the current month).
//
// One month runs at a time. A start while one runs starts nothing: a start that waits
// for the end (the engine's) has its `ended` run when the running month ends; a start
// without one (the button) gets the red "please wait" line. Every line goes through
// the sink; `ended` runs on the UI thread after the month's last line, whatever the
// outcome. The worker has its own page text and parser state, and the database
// object gives it a handle of its own.

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "acquisition/block_trade_parser.h"
#include "acquisition/download_road.h"

// Results of FetchBlockTradePage.
inline constexpr int kBlockTradePageKept = 0;
inline constexpr int kBlockTradePageNotOpened = 1;
inline constexpr int kBlockTradePageNoTable = 2;
inline constexpr int kBlockTradePageNotSent = 3;  // held back: the source's address is not set

// Results of InsertBlockTrade.
inline constexpr int kBlockTradeStored = 0;
inline constexpr int kBlockTradeDbClosed = -1;
inline constexpr int kBlockTradeInsertFailed = -2;
inline constexpr int kBlockTradeAlreadyStored = -3;  // the DZJY_ID is taken: the trade was stored before

inline constexpr const char* kBlockTradeBusyLine = "大宗交易数据正在下载，请稍候!!!";
inline constexpr const char* kBlockTradeDoneLine = "大宗交易数据下载完毕!";
inline constexpr const char* kBlockTradeNoTableLine = "没有大宗交易数据或网页数据有变";
inline constexpr const char* kBlockTradeBadDateLine = "大宗交易数据：日期无法识别，跳过该日!!!";
inline constexpr const char* kBlockTradeNotStartedLine = "大宗交易数据下载无法启动!!!";

struct BlockTradeJobDeps {
  ISleeper& sleeper;
  HttpFetcher& fetcher;
  CADODataBase& db;
  MessageSink& sink;
  IUiDispatcher& ui;
  WorkerRegistry& workers;
  SourceHosts hosts;
};

class BlockTradeJob final : public BlockTradeJobs {
 public:
  explicit BlockTradeJob(BlockTradeJobDeps deps);
  ~BlockTradeJob() override;
  BlockTradeJob(const BlockTradeJob&) = delete;
  BlockTradeJob& operator=(const BlockTradeJob&) = delete;

  // UI thread. The same as StartBlockTradeDownload.
  bool StartMonth(const std::string& yyyymm, std::function<void()> ended) override;
  // Starts the month (six digits, "%d%0.2d"). True when a worker took it, or when one
  // already running will call `ended`; false otherwise (then `ended` is not called).
  bool StartBlockTradeDownload(const std::string& yyyymm, std::function<void()> ended = {});

  // UI thread: a month is being downloaded (its end not yet seen on the UI thread).
  bool IsRunning() const { return running_; }
  // Waits up to `boundMs` for the worker to end (tests, closing).
  bool WaitForJob(int boundMs);

  std::string MonthUrl(const std::string& yyyymm) const;

  // Stores one trade. Every value is bound; DZJY_Date as "YYYY-MM-DD".
  static int InsertBlockTrade(CADODataBase& db, const CBlockTradeRow& trade);

 private:
  void BlockTradeThread(const std::string& url, std::stop_token stop);
  // 0: the table body is in `kept`; 1: the page did not open; 2: the page has no table.
  int FetchBlockTradePage(const std::string& url, std::string& kept);
  void Post(std::function<void()> fn);

  BlockTradeJobDeps deps_;
  std::string namePrefix_;
  std::string jobName_;  // the running (or last) worker
  int sequence_ = 0;
  bool running_ = false;                        // UI thread
  std::vector<std::function<void()>> waiting_;  // UI thread: the `ended` of the running month
  std::shared_ptr<int> alive_;  // reset first by the destructor
  // What workers take their liveness from: a copy made here, never written again, so
  // a worker reads it while the destructor resets alive_.
  const std::weak_ptr<int> aliveToken_;
};
