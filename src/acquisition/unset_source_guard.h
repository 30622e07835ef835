#pragma once
// Holds back every request to a source whose address is still the compiled
// placeholder: nothing is sent, the read fails as an unopened page, and the page is
// told once a run, in red, where to set the address. Requests to the other sources pass.

#include <atomic>
#include <string>

#include "acquisition/download_road.h"
#include "acquisition/source_hosts.h"

inline constexpr const char* kUnsetSourceLine = "未设置数据源地址：请在 sysinfo.ini 的 [SourceHosts] 中设置（见 README）";
// The status pane's short form: the pane is a third of the window wide.
inline constexpr const char* kUnsetSourcePaneText = "未设置数据源地址";
// The error of a read the guard held back: no network fault, and told already.
inline constexpr const char* kHeldBackError = "the source's address is not set";
inline bool IsHeldBack(const HttpResult& result) { return !result.opened && result.error == kHeldBackError; }

// Tells the page, in red, and the status pane that a source's address is not set.
void TellSourceUnset(MessageSink& sink);

class UnsetSourceGuard final : public HttpFetcher {
 public:
  // `inner` and `sink` must outlive the guard; any thread may call it.
  UnsetSourceGuard(HttpFetcher& inner, SourceHosts hosts, MessageSink& sink)
      : inner_(inner), hosts_(std::move(hosts)), sink_(sink) {}

  HttpResult Get(const std::string& url) override;
  HttpResult GetWithLines(const std::string& url, const RequestLines& lines) override;
  // The next held-back read tells the line again: for a run the user starts.
  void Rearm() { told_ = false; }

 private:
  // True (and the line told once) when `url` belongs to an unset source.
  bool HoldBack(const std::string& url);

  HttpFetcher& inner_;
  const SourceHosts hosts_;
  MessageSink& sink_;
  std::atomic<bool> told_{false};
};
