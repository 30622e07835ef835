#pragma once
// The program's one network layer: HTTP GET over libcurl with bounded time-outs and
// redirects, a body cap, per-host pacing, the proxy of the environment (never for
// loopback) and a way to abort a transfer in progress. Transport only: the body comes
// back as the bytes the server sent (after curl has undone any content encoding).
//
// "Opened" means a response came back, whatever its status: a 404 or a 500 is opened.
// Not opened: the host did not resolve, the connection was refused, a time-out, a body
// cut short or over the cap, an abort. Past the redirect bound the last 3xx answer
// comes back opened.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"

struct HttpResult {
  bool opened = false;
  long status = 0;          // the last HTTP status seen; 0 when none came back
  std::string body;         // empty unless opened
  std::string contentType;  // the Content-Type header of the last answer
  std::string error;        // why it was not opened, or why a redirect chain ended
};

struct HttpOptions {
  std::chrono::milliseconds connectTimeout{15000};
  std::chrono::milliseconds totalTimeout{60000};
  int maxRedirects = 5;                      // followed; one more gives the 3xx answer
  std::size_t bodyCap = 16 * 1024 * 1024;    // bytes after decoding
  int pacingMs = 0;                          // least time between two requests to one host
  std::vector<std::string> headers;          // further request lines, "Name: value"
  bool acceptEncoding = true;                // offer encodings curl undoes (the body arrives decoded)
  std::string encodings;                     // the encodings offered; "" offers every one curl can undo
  bool noCache = true;                       // "Cache-Control: no-cache", "Pragma: no-cache"
  const std::atomic<bool>* abort = nullptr;  // set by another thread to end the transfer
};

// curl_global_init, once per process; later calls do nothing. Call it before any
// thread starts; get() calls it too for code that runs without start-up.
void InternetGlobalInit();

// The no_proxy list handed to curl: the environment's (no_proxy, else NO_PROXY) with
// the loopback names added. "*" stays "*".
std::string LoopbackNoProxyList();

class InternetSession {
 public:
  using Options = HttpOptions;

  // Pacing waits go through `sleeper` and measure time by `clock`'s steady count.
  explicit InternetSession(ISleeper& sleeper = DefaultSleeper(), const IClock& clock = DefaultClock());
  InternetSession(const InternetSession&) = delete;
  InternetSession& operator=(const InternetSession&) = delete;

  // Safe to call from several threads at once; each call uses its own curl handle.
  // Also ends early, not opened, when g_bClosing is set.
  HttpResult get(const std::string& url, const Options& options = {});

  // The host part of a URL as curl reads it, lower case; "" when it has none.
  static std::string HostOf(const std::string& url);

 private:
  void Pace(const std::string& host, int pacingMs);

  ISleeper& sleeper_;
  const IClock& clock_;
  std::mutex pacingMutex_;
  std::map<std::string, std::int64_t> nextAllowedMs_;  // per host
};

// One get through a process-wide session with the real clock and sleeper.
HttpResult get(const std::string& url, const HttpOptions& options = {});
