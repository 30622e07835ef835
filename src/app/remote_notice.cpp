#include "app/remote_notice.h"

#include <climits>
#include <memory>
#include <stop_token>

#include "platform/debug_log.h"
#include "platform/hyper_link_rules.h"
#include "platform/internet_session.h"
#include "platform/page_registry.h"
#include "platform/worker_registry.h"
#include "storage/charset.h"
#include "storage/ini_file.h"

std::string g_strNoticeText;
std::vector<std::string> g_strWebSiteList;
std::string g_strNewVersionUrl;
std::string g_strUpgradeUrl;

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Leading decimal digits; a number too large for the type saturates.
long long LeadingNumber(std::string_view text) {
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    if (value > (LLONG_MAX - digit) / 10) return LLONG_MAX;
    value = value * 10 + digit;
  }
  return value;
}

std::string RemoveLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

}  // namespace

NoticeAddresses ReadNoticeAddresses(const std::string& iniPath) {
  const CIniFile ini(iniPath);
  NoticeAddresses addresses;
  addresses.notice1 = ini.GetString(kNoticeSection, "NoticeUrl1", std::string());
  addresses.notice2 = ini.GetString(kNoticeSection, "NoticeUrl2", std::string());
  addresses.upgrade = ini.GetString(kNoticeSection, "UpgradeUrl", std::string());
  return addresses;
}

NoticeFetchOptions& RemoteNoticeOptions() {
  static NoticeFetchOptions options;
  return options;
}

std::string ToValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t used = 0;
    const char32_t cp = Utf8CharToUnicode(bytes.data() + at, bytes.size() - at, &used);
    if (used == 0) break;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else {
      out += UnicodeCharToUtf8(cp);
    }
    at += used;
  }
  return out;
}

std::string NoticeLogText(std::string_view text) {
  std::string out = ToValidUtf8(text);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  if (out.size() > kNoticeLogTextCap) {
    std::size_t end = kNoticeLogTextCap;
    while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0u) == 0x80u) --end;
    out.resize(end);
  }
  return out;
}

int FetchUrlText(const std::string& address, std::string& noticeText, const NoticeFetchOptions& options) {
  if (!IsWebAddress(address)) {
    AppendDebugLog("notice: not a web address, not requested: %s", NoticeLogText(address).c_str());
    return -1;
  }
  HttpOptions http;
  http.connectTimeout = options.connectTimeout;
  http.totalTimeout = options.totalTimeout;
  http.bodyCap = options.bodyCap;
  http.noCache = true;
  http.abort = options.abort;
  const HttpResult result = get(address, http);
  if (!result.opened || result.status < 200 || result.status > 299) {
    AppendDebugLog("notice: cannot open %s (status %ld%s%s)", NoticeLogText(address).c_str(), result.status,
                   result.error.empty() ? "" : ", ", NoticeLogText(result.error).c_str());
    return -1;
  }
  const std::string text = ToValidUtf8(RemoveLineBreaks(result.body));
  const std::size_t found = text.find("Program");
  if (found == std::string::npos) {
    AppendDebugLog("notice: no notice at %s", NoticeLogText(address).c_str());
    return -2;
  }
  // One character into the word: a "[Program]" header that is itself the first
  // occurrence can no longer be found.
  noticeText = text.substr(found + 1);
  return 0;
}

void ConvertUtf8ToAnsi(std::string& text) { text = ToGbk(text); }

NoticeFetchResult FetchNotice(const NoticeAddresses& addresses, const NoticeFetchOptions& options) {
  NoticeFetchResult result;
  const std::string* const candidates[2] = {&addresses.notice1, &addresses.notice2};
  for (int i = 0; i < 2; ++i) {
    if (candidates[i]->empty()) continue;
    if (options.abort != nullptr && options.abort->load()) break;
    ++result.requests;
    std::string text;
    result.code = FetchUrlText(*candidates[i], text, options);
    if (result.code == 0) {
      result.text = std::move(text);
      result.addressIndex = i + 1;
      break;
    }
  }
  return result;
}

bool StartNoticeCheck(const NoticeAddresses& addresses, const NoticeFetchOptions& options,
                      std::function<void(const NoticeFetchResult&)> onUi) {
  if (addresses.notice1.empty() && addresses.notice2.empty()) return false;
  auto job = [addresses, options, onUi = std::move(onUi)](std::stop_token stop) {
    auto abort = std::make_shared<std::atomic<bool>>(false);
    std::stop_callback onStop(stop, [abort] { abort->store(true); });
    NoticeFetchOptions own = options;
    own.abort = abort.get();
    NoticeFetchResult result = FetchNotice(addresses, own);
    if (abort->load()) return;
    IUiDispatcher* dispatcher = PageRegistry::Instance().Dispatcher();
    if (dispatcher == nullptr || PageRegistry::Instance().IsClosing()) return;
    if (!dispatcher->RunOnUi([onUi, result = std::move(result)] { onUi(result); }, false)) {
      AppendDebugLog("notice: the UI thread no longer takes calls");
    }
  };
  const WorkerRegistry::StartResult started = WorkerRegistry::Instance().Start(kNoticeWorkerName, std::move(job));
  if (started != WorkerRegistry::StartResult::Started) {
    AppendDebugLog("notice: cannot start the check (%d)", static_cast<int>(started));
    return false;
  }
  return true;
}

RemoteConfig ParseRemoteConfig(std::string_view t) {
  RemoteConfig config;
  std::size_t at = t.find("[Program]");
  if (at == npos) return config;
  t = t.substr(at);
  at = t.find("version=");
  if (at == npos) return config;
  config.programFound = true;
  config.version = LeadingNumber(t.substr(at + 8));
  config.newer = config.version > kNoticeVersion;
  if (config.newer) {
    at = t.find("website=");
    if (at == npos) return config;
    t = t.substr(at + 8);
  }
  at = t.find("[Advertisement]");
  if (at == npos) return config;
  t = t.substr(at + 15);
  const std::size_t number = t.find("number=");
  if (number == npos) return config;
  const std::size_t end = t.find(';', number + 7);
  if (end == npos) return config;
  const long long announced = LeadingNumber(t.substr(number + 7, end - number - 7));
  const int count = static_cast<int>(std::min<long long>(announced, kMaxNoticePages));
  for (int i = 1; i <= count; ++i) {
    const std::string key = "website" + std::to_string(i) + "=";
    at = t.find(key);
    if (at == npos) break;
    t = t.substr(at + key.size());
    const std::size_t stop = t.find(';');
    if (stop == npos) break;
    const std::string address(t.substr(0, stop));
    if (IsWebAddress(address)) {
      config.logLines.push_back("website" + std::to_string(i) + "=" + NoticeLogText(address));
      config.pages.push_back(address);
    } else {
      config.logLines.push_back("website" + std::to_string(i) + " refused: " + NoticeLogText(address));
      config.refused.push_back(address);
    }
  }
  return config;
}

void AppendNoticePages(const RemoteConfig& config) {
  for (const std::string& line : config.logLines) AppendDebugLog("%s", line.c_str());
  g_strWebSiteList.insert(g_strWebSiteList.end(), config.pages.begin(), config.pages.end());
}
