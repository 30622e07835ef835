#pragma once
// The remote notice: a short text read once per run from the addresses in
// "sysinfo.ini" (section Notice), saying which version is current and which pages the
// web tab shows. The read runs on a worker with time-outs; the text is parsed and
// acted on on the UI thread.
//
// Notice format (lines are joined, every value ends at the next ";"):
//   ...Program...                  the word must come before the [Program] header
//   [Program] version=26; website=...;
//   [Advertisement] number=N; website1=...; website2=...; ...

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// This build's notice number: a notice announcing a greater one is newer.
inline constexpr int kNoticeVersion = 25;
inline constexpr std::size_t kNoticeBodyCap = 64 * 1024;
// The web tab rotates at most this many pages.
inline constexpr int kMaxNoticePages = 255;
// Remote text written to the debug log is cut to this many bytes.
inline constexpr std::size_t kNoticeLogTextCap = 500;

inline constexpr const char* kNoticeSection = "Notice";

// UI thread only. The notice text after the fetch's cut; the pages announced (never
// emptied during a run); the page the new-version dialog's link opens.
extern std::string g_strNoticeText;
extern std::vector<std::string> g_strWebSiteList;
extern std::string g_strNewVersionUrl;
// The UpgradeUrl setting as it was when the running check started.
extern std::string g_strUpgradeUrl;

struct NoticeAddresses {
  std::string notice1;  // NoticeUrl1
  std::string notice2;  // NoticeUrl2, the fallback
  std::string upgrade;  // UpgradeUrl
};
// The three keys of section Notice; a missing file or key gives "".
NoticeAddresses ReadNoticeAddresses(const std::string& iniPath);

struct NoticeFetchOptions {
  std::chrono::milliseconds connectTimeout{10000};
  std::chrono::milliseconds totalTimeout{20000};
  std::size_t bodyCap = kNoticeBodyCap;
  const std::atomic<bool>* abort = nullptr;  // ends a transfer in progress
};
// The options the main window's check uses; tests shorten them.
NoticeFetchOptions& RemoteNoticeOptions();

// Reads one address. 0: fetched and holds "Program"; `noticeText` is the text from one
// character into that word's first occurrence. -1: not a web address (no request is
// made), not reached, timed out, aborted, a status other than 2xx, a redirect to
// another scheme, or a body over the cap. -2: the text lacks "Program". The body is
// decoded as UTF-8 (invalid bytes become U+FFFD) and its CR and LF are removed.
// Failures are written to the debug log.
int FetchUrlText(const std::string& address, std::string& noticeText, const NoticeFetchOptions& options = {});

// UTF-8 -> GBK, in place.
void ConvertUtf8ToAnsi(std::string& text);

struct NoticeFetchResult {
  int code = -1;         // FetchUrlText's result for the last address tried
  std::string text;      // the notice text when code is 0
  int addressIndex = 0;  // 1 or 2: the address that gave the text; 0 when none did
  int requests = 0;      // addresses actually tried (an empty one is skipped)
};
// The first address, else the second; an empty address is skipped without a request.
NoticeFetchResult FetchNotice(const NoticeAddresses& addresses, const NoticeFetchOptions& options);

// Starts the worker that fetches the notice; `onUi` receives the result on the UI
// thread as a queued call through the page registry's dispatcher (it is dropped while
// closing). False, with nothing started, when both notice addresses are empty or the
// worker cannot start. The worker ends early when asked to stop.
inline constexpr const char* kNoticeWorkerName = "remote notice";
bool StartNoticeCheck(const NoticeAddresses& addresses, const NoticeFetchOptions& options,
                      std::function<void(const NoticeFetchResult&)> onUi);

// What a notice text says. Parsing stops at the first missing header, key or ending
// ";" and keeps what was read before.
struct RemoteConfig {
  bool programFound = false;  // "[Program]" and "version=" were there
  long long version = 0;      // saturates instead of overflowing
  bool newer = false;         // version > kNoticeVersion
  std::vector<std::string> pages;    // accepted addresses, in order
  std::vector<std::string> refused;  // addresses that are not web addresses
  std::vector<std::string> logLines;  // for the debug log, one per address
};
RemoteConfig ParseRemoteConfig(std::string_view noticeText);

// Valid UTF-8 with every invalid byte replaced by U+FFFD.
std::string ToValidUtf8(std::string_view bytes);
// Remote text as the debug log takes it: control characters become '?', and the
// text is cut to kNoticeLogTextCap bytes at a character boundary.
std::string NoticeLogText(std::string_view text);

// UI thread: writes the parse's log lines and appends its pages to g_strWebSiteList.
void AppendNoticePages(const RemoteConfig& config);
