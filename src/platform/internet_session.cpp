#include "platform/internet_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/ascii.h"
#include "platform/worker_registry.h"

namespace {

constexpr const char* kLoopbackNames = "127.0.0.1,localhost,::1";

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// What the callbacks of one transfer share.
struct Transfer {
  std::string body;
  std::size_t cap = 0;
  bool overCap = false;
  const std::atomic<bool>* abort = nullptr;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (bytes > transfer->cap - std::min(transfer->cap, transfer->body.size())) {
    transfer->overCap = true;
    return 0;  // curl ends the transfer with a write error
  }
  transfer->body.append(data, bytes);
  return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* transfer = static_cast<const Transfer*>(user);
  if (g_bClosing.load()) return 1;
  if (transfer->abort != nullptr && transfer->abort->load()) return 1;
  return 0;
}

long Milliseconds(std::chrono::milliseconds value) {
  return static_cast<long>(std::max<std::chrono::milliseconds::rep>(1, value.count()));
}

}  // namespace

void InternetGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string LoopbackNoProxyList() {
  const char* environment = std::getenv("no_proxy");
  if (environment == nullptr || *environment == '\0') environment = std::getenv("NO_PROXY");
  std::string list = environment != nullptr ? environment : "";
  if (list == "*") return list;
  while (!list.empty() && (list.back() == ',' || list.back() == ' ')) list.pop_back();
  return list.empty() ? std::string(kLoopbackNames) : list + "," + kLoopbackNames;
}

InternetSession::InternetSession(ISleeper& sleeper, const IClock& clock) : sleeper_(sleeper), clock_(clock) {}

std::string InternetSession::HostOf(const std::string& url) {
  InternetGlobalInit();
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return {};
  char* host = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || host == nullptr) return {};
  std::string result = AsciiLower(host);
  curl_free(host);
  return result;
}

// Waits until `pacingMs` have passed since the last request to the same host. The
// send time is reserved under the lock, so two threads bound for one host space out
// while threads bound for other hosts do not wait at all.
void InternetSession::Pace(const std::string& host, int pacingMs) {
  std::int64_t wait = 0;
  {
    std::lock_guard lock(pacingMutex_);
    const std::int64_t now = clock_.SteadyMs();
    auto it = nextAllowedMs_.find(host);
    if (pacingMs > 0 && it != nextAllowedMs_.end() && it->second + pacingMs > now) {
      wait = it->second + pacingMs - now;
    }
    nextAllowedMs_[host] = now + wait;
  }
  if (wait > 0) sleeper_.Sleep(static_cast<int>(wait));
}

HttpResult InternetSession::get(const std::string& url, const Options& options) {
  InternetGlobalInit();
  HttpResult result;
  if (g_bClosing.load()) {
    result.error = "closing";
    return result;
  }
  Pace(HostOf(url), options.pacingMs);

  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) {
    result.error = "curl_easy_init failed";
    return result;
  }
  CURL* h = curl.get();
  Transfer transfer;
  transfer.cap = options.bodyCap;
  transfer.abort = options.abort;

  std::unique_ptr<curl_slist, SlistDeleter> headers;
  auto addHeader = [&headers](const std::string& line) {
    if (curl_slist* grown = curl_slist_append(headers.get(), line.c_str())) {
      headers.release();
      headers.reset(grown);
    }
  };
  if (options.noCache) {
    addHeader("Cache-Control: no-cache");
    addHeader("Pragma: no-cache");
  }
  for (const std::string& line : options.headers) addHeader(line);

  const std::string noProxy = LoopbackNoProxyList();
  std::string errorText(CURL_ERROR_SIZE, '\0');  // curl writes its message here

  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);  // threads: no signals for DNS time-outs
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, options.maxRedirects > 0 ? 1L : 0L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(std::max(0, options.maxRedirects)));
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, Milliseconds(options.connectTimeout));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, Milliseconds(options.totalTimeout));
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.bodyCap));
  curl_easy_setopt(h, CURLOPT_NOPROXY, noProxy.c_str());
  if (options.acceptEncoding) curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, options.encodings.c_str());
  if (headers) curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText.data());

  const CURLcode code = curl_easy_perform(h);

  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
  const char* contentType = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType != nullptr) {
    result.contentType = contentType;
  }

  if (code == CURLE_OK) {
    result.opened = true;
    result.body = std::move(transfer.body);
  } else if (code == CURLE_TOO_MANY_REDIRECTS && result.status >= 300 && result.status < 400) {
    // The chain is longer than allowed: the last redirect answer stands as it came.
    result.opened = true;
    result.body = std::move(transfer.body);
    result.error = "too many redirects";
  } else if (transfer.overCap || code == CURLE_FILESIZE_EXCEEDED) {
    result.error = "body over the cap";
  } else {
    errorText.resize(std::min(errorText.find('\0'), errorText.size()));
    result.error = errorText.empty() ? curl_easy_strerror(code) : errorText;
  }
  return result;
}

HttpResult get(const std::string& url, const HttpOptions& options) {
  static InternetSession session;
  return session.get(url, options);
}
