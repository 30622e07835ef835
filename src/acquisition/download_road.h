#pragma once
// The download road's shared types: the fetcher every job reads through, the sink
// every job reports to, the line colours and the job interfaces the engine starts.

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
