#pragma once
// The download road of the first source, without a display: the schedule that walks
// back over trading days on the page's timer, the day dispatcher, the per-stock seat
// loader, the fill-in of incomplete rows, the stored-days scan, the delete and clear
// statements, and the end of each day (summary, totals, the pages told).
//
// Everything the engine needs is handed to it. Its schedule state lives on the UI
// thread: the page calls it there (timer, buttons), and every worker reports back by
// posting to the UI thread. Workers have their own job state and their own database
// handle (the connection object keeps one per thread) and never touch a widget.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "acquisition/source_hosts.h"
#include "acquisition/stock_record.h"
#include "platform/clock.h"
#include "platform/internet_session.h"
#include "platform/win_types.h"

class CADODataBase;
class IUiDispatcher;
class PageRegistry;
class WorkerRegistry;

// Line colours of the message list (0x00BBGGRR); 0 is a line without colour.
inline constexpr COLORREF kLineRed = 0x0000FF;
inline constexpr COLORREF kLineBlue = 0xFF0000;
inline constexpr COLORREF kLineDarkBlue = 0x780000;
inline constexpr COLORREF kLinePlain = 0;

// The line both downloads add when a page could not be read.
inline constexpr const char* kNetworkLine = "请保证网络连接正常!!!";

// Further lines of one request: header lines ("Name: value") and the encodings to
// offer (curl undoes them, so the body arrives decoded).
struct RequestLines {
  std::vector<std::string> headers;
  std::string encodings;
};

// Reads one URL; the internet session in the program, a fake in tests.
class HttpFetcher {
 public:
  virtual ~HttpFetcher() = default;
  virtual HttpResult Get(const std::string& url) = 0;
  // The same read with further request lines. A fetcher that cannot send them fails
  // the read rather than sending a request other than the one asked for.
  virtual HttpResult GetWithLines(const std::string& url, const RequestLines& lines) {
    (void)url;
    (void)lines;
    HttpResult result;
    result.error = "this fetcher sends no further request lines";
    return result;
  }
};

// The internet session with the options the download road uses.
class SessionFetcher final : public HttpFetcher {
 public:
  SessionFetcher(InternetSession& session, HttpOptions options) : session_(session), options_(std::move(options)) {}
  HttpResult Get(const std::string& url) override { return session_.get(url, options_); }
  HttpResult GetWithLines(const std::string& url, const RequestLines& lines) override {
    HttpOptions options = options_;
    options.noCache = false;
    options.headers.insert(options.headers.end(), lines.headers.begin(), lines.headers.end());
    options.acceptEncoding = true;
    options.encodings = lines.encodings;
    return session_.get(url, options);
  }

 private:
  InternetSession& session_;
  HttpOptions options_;
};

// One row of the stored-days list.
struct StoredDay {
  int number = 0;  // 序号, from 1
  std::string day;
  int rows = 0;
  bool complete = true;  // false: its job never reached its end
  bool operator==(const StoredDay&) const = default;
};

// What the page shows. Called from any thread; the page queues each call to its UI
// thread and runs them in calling order. startTimer/stopTimer come on the UI thread.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void addLine(const std::string& text, COLORREF colour) = 0;
  virtual void setProgress(const std::string& text) = 0;                         // edit 1012
  virtual void setStoredDays(const std::vector<StoredDay>& rows, int count) = 0;  // list 1119, edit 1001
  virtual void setElapsed(const std::string& text) = 0;                          // edit 1011
  virtual void setStartEnabled(bool enabled) = 0;                                // button 1006
  virtual void startTimer(int periodMs) = 0;
  virtual void stopTimer() = 0;
};

// The month's block trades, downloaded by their own job (BlockTradeJob). `ended` runs on the
// UI thread once that download has ended.
class BlockTradeJobs {
 public:
  virtual ~BlockTradeJobs() = default;
  virtual bool StartMonth(const std::string& yyyymm, std::function<void()> ended) = 0;
};

// The exchanges' bulletins as a day's source (ExchangeDayJob). It runs
// the day and calls `done(fetched)` on the UI thread when the day has ended.
class ExchangeDayJobs {
 public:
  virtual ~ExchangeDayJobs() = default;
  virtual bool StartDay(const std::string& day, std::function<void(bool fetched)> done) = 0;
};

struct DownloadEngineDeps {
  IClock& clock;
  ISleeper& sleeper;
  HttpFetcher& fetcher;
  CADODataBase& db;
  MessageSink& sink;
  IUiDispatcher& ui;
  PageRegistry& pages;
  WorkerRegistry& workers;
  SourceHosts hosts;
  BlockTradeJobs* blockTrades = nullptr;  // none: the end of a run skips that step
  ExchangeDayJobs* exchangeDays = nullptr; // none: source 2 takes no day
  // The data source chosen now (1 = the data centre, 2 = the exchanges' bulletins).
  std::function<int()> dataSource = [] { return 1; };
  int startupPeriodMs = 100;
  int runPeriodMs = 60;
  int fillInTick = 90;     // the tick that starts the fill-in and the scan
  int scheduleTick = 100;  // the first tick that takes a step
  // Optional measuring hook: called on the worker after each call into the StockInfo
  // writer or the day totals, with the seconds that call took (the writer's short
  // pause before its transaction included).
  std::function<void(double seconds)> onDbWrite;
};

// How the start button was pressed.
struct DownloadRequest {
  enum class Kind { Today, Range, ChosenDate } kind = Kind::Today;
  int days = 1;        // Range: 3, 5, 10, 20, 30, 90, 180 or 365
  LocalTime date;      // ChosenDate
};

class DownloadEngine {
 public:
  explicit DownloadEngine(DownloadEngineDeps deps);
  ~DownloadEngine();
  DownloadEngine(const DownloadEngine&) = delete;
  DownloadEngine& operator=(const DownloadEngine&) = delete;

  // UI thread only.
  void StartStartupRun();
  void OnStartDownload(const DownloadRequest& request);
  void OnTimer(UINT id);
  void OnFillMissing();
  void StartDayScan();
  void SetShowAll(bool showAll);
  // Deletes one stored day (its StockInfo and DZJY rows, in one transaction). True
  // when deleted; the lines are added either way.
  bool DeleteDay(const std::string& day);
  // Deletes every StockInfo row. True when done.
  bool ClearData();

  // Reads (any thread). A day is stored once it is complete (see MarkDayComplete).
  bool IsDayStored(const std::string& day) const;
  bool HasBlockTrades(const std::string& day) const;
  std::vector<std::string> LoadStoredNames(const std::string& day) const;

  // Waits up to `boundMs` for this engine's workers to end (tests, closing).
  bool WaitForJobs(int boundMs);

  // The schedule's state, for the page and for tests (UI thread).
  int m_bNextDay = 0;
  int m_bBusy = 0;
  int m_bScanning = 0;
  int m_bShowAll = 0;
  int m_nDaysWanted = 0;
  int m_nDayCounter = 0;
  int m_nDayOffset = 0;
  int m_nDaysFetched = 0;
  int m_nTimerTicks = 0;
  std::int64_t m_dwStartTick = 0;
  std::int64_t m_dwEndTick = 0;
  std::string m_strDownloadDate;
  bool IsDayJobRunning() const { return dayJobRunning_; }
  bool IsTimerRunning() const { return timerRunning_; }

 private:
  struct DayJobResult;
  void Step();
  void EndRun();
  // Asks the block trades of months[next], then of the later ones, one after another.
  void StartBlockTradeMonths(std::vector<std::string> months, std::size_t next);
  void NoteDayStored(const std::string& day);
  void DownloadDay(const std::string& day);
  int CheckNonTradingDay(const LocalTime& day);
  void RunDayJob(const std::string& day, std::int64_t startTick, std::stop_token stop);
  void RunFillMissing(std::stop_token stop);
  void RunScan(bool showAll);
  // StockCode → 1 (stored complete) or 2 (stored incomplete) for the day's rows.
  std::map<std::string, int> LoadStoredRows(const std::string& day) const;
  int FetchSeatPage(const std::string& url, StockRecord& record, int& pageOpenCount);
  std::string SeatPageUrl(const std::string& day, const std::string& code) const;
  std::string DayListUrl(const std::string& day) const;
  bool IsToday(const std::string& day) const;
  // Runs fn on the UI thread later, unless the engine is gone by then.
  void Post(std::function<void()> fn);
  bool StartJob(const std::string& what, std::function<void(std::stop_token)> fn);
  void StartTimer(int periodMs);
  void StopTimer();

  DownloadEngineDeps deps_;
  std::string jobPrefix_;
  std::vector<std::string> jobNames_;  // the jobs started and perhaps still running (UI thread)
  int jobSequence_ = 0;
  std::shared_ptr<int> alive_;  // reset first by the destructor
  // What workers take their liveness from: a copy made here, never written again, so
  // a worker reads it while the destructor resets alive_.
  const std::weak_ptr<int> aliveToken_;
  std::set<std::string> monthsStored_;  // "yyyymm" of the days stored since the last run ended
  bool dayJobRunning_ = false;
  bool timerRunning_ = false;
  bool dbClosedReported_ = false;
};
