#include "acquisition/source_hosts.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "platform/ascii.h"
#include "platform/debug_log.h"
#include "storage/ini_file.h"

namespace {

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

std::string PacingKey(std::string_view key) { return std::string(key) + "PacingMs"; }

}  // namespace

SourceHosts::SourceHosts() {
  sources_[kDataCenter] = Source{kDataCenterDefault, 0};
  sources_[kSzseFiles] = Source{"http://szse-files.example.invalid", 0};
  sources_[kSseQuery] = Source{"http://sse-query.example.invalid", 0};
  sources_[kSseWeb] = Source{"http://sse-web.example.invalid", 0};
  sources_[kQuoteHistory] = Source{"http://quote-history.example.invalid", 0};
  sources_[kQuotePage] = Source{"http://quote-page.example.invalid", 0};
}

SourceHosts SourceHosts::FromIni(const std::string& iniPath) {
  SourceHosts hosts;
  hosts.LoadIni(iniPath);
  hosts.ApplyEnvironment();
  return hosts;
}

std::vector<std::string> SourceHosts::Keys() {
  return {kDataCenter, kSzseFiles, kSseQuery, kSseWeb, kQuoteHistory, kQuotePage};
}

void SourceHosts::LoadIni(const std::string& iniPath) {
  for (auto& [key, source] : sources_) {
    const std::string base = GetPrivateProfileString(kSection, key, "", iniPath);
    if (!TrimSpace(base).empty()) {
      if (auto normalised = NormaliseBase(base)) {
        source.base = *normalised;
      } else {
        AppendDebugLog("[SourceHosts] %s ignored, not an http(s) address: %s", key.c_str(), base.c_str());
      }
    }
    const std::string pacing = GetPrivateProfileString(kSection, PacingKey(key), "", iniPath);
    if (!TrimSpace(pacing).empty()) source.pacingMs = ParsePacing(pacing);
  }
}

void SourceHosts::ApplyEnvironment() {
  const char* value = std::getenv(kOverrideVariable);
  if (value == nullptr || TrimSpace(value).empty()) return;
  const auto normalised = NormaliseBase(value);
  if (!normalised) {
    AppendDebugLog("%s ignored, not an http(s) address: %s", kOverrideVariable, value);
    return;
  }
  for (auto& [key, source] : sources_) source.base = *normalised;
}

std::string SourceHosts::Base(std::string_view key) const {
  auto it = sources_.find(key);
  return it == sources_.end() ? std::string() : it->second.base;
}

bool SourceHosts::SetBase(std::string_view key, std::string_view base) {
  auto it = sources_.find(key);
  const auto normalised = NormaliseBase(base);
  if (it == sources_.end() || !normalised) return false;
  it->second.base = *normalised;
  return true;
}

bool SourceHosts::IsUnset(std::string_view key) const {
  static const SourceHosts compiled;
  const auto it = sources_.find(key);
  return it != sources_.end() && it->second.base == compiled.Base(key);
}

bool SourceHosts::IsUnsetUrl(std::string_view url) const {
  for (const auto& [key, source] : sources_) {
    const std::string& base = source.base;
    if (!url.starts_with(base) || !IsUnset(key)) continue;
    // The host must end where the base ends: "http://a.invalid" is not under "http://a.in".
    if (url.size() == base.size() || url[base.size()] == '/' || url[base.size()] == '?') return true;
  }
  return false;
}

bool SourceHosts::IsRunSourceUnset(int dataSource) const {
  if (IsUnset(kDataCenter)) return true;
  return dataSource == 2 &&
         (IsUnset(kSzseFiles) || IsUnset(kSseQuery) || IsUnset(kQuoteHistory) || IsUnset(kQuotePage));
}

int SourceHosts::PacingMs(std::string_view key) const {
  auto it = sources_.find(key);
  return it == sources_.end() ? 0 : it->second.pacingMs;
}

bool SourceHosts::SetPacingMs(std::string_view key, int milliseconds) {
  auto it = sources_.find(key);
  if (it == sources_.end()) return false;
  it->second.pacingMs = std::clamp(milliseconds, 0, kMaxPacingMs);
  return true;
}

std::string SourceHosts::Url(std::string_view key, std::string_view pathAndQuery) const {
  std::string url = Base(key);
  if (url.empty()) return url;
  if (pathAndQuery.empty() || pathAndQuery.front() != '/') url += '/';
  url += pathAndQuery;
  return url;
}

std::optional<std::string> SourceHosts::NormaliseBase(std::string_view text) {
  text = TrimSpace(text);
  std::size_t schemeLength = 0;
  if (StartsWithNoCase(text, "http://")) {
    schemeLength = 7;
  } else if (StartsWithNoCase(text, "https://")) {
    schemeLength = 8;
  } else {
    return std::nullopt;
  }
  while (text.size() > schemeLength && text.back() == '/') text.remove_suffix(1);
  const std::string_view rest = text.substr(schemeLength);
  if (rest.empty() || rest.front() == '/' || rest.front() == ':' ||
      std::any_of(rest.begin(), rest.end(), [](unsigned char c) { return std::isspace(c) || c < 0x20; })) {
    return std::nullopt;
  }
  return std::string(text);
}

int SourceHosts::ParsePacing(std::string_view text) {
  text = TrimSpace(text);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) return text.front() == '-' ? 0 : kMaxPacingMs;
  if (error != std::errc() || end == text.data() || value < 0) return 0;
  return static_cast<int>(std::min<long long>(value, kMaxPacingMs));
}
