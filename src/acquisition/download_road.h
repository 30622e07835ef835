#pragma once
// The download road's shared types: the fetcher every job reads through, the sink
// every job reports to, the line colours, the job interfaces the engine starts, and
// what the engine and the exchange-day job are handed.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/source_hosts.h"
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
  virtual void setStatusPane(const std::string& text) = 0;                       // the main window's pane 0
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

// What the engine and the exchange-day job are handed. The job reads the shared part
// (up to `hosts`, and `onDbWrite`); the rest is the engine's schedule.
struct DownloadRoadDeps {
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
