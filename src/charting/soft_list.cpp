#include "charting/soft_list.h"

#include <algorithm>

#include "platform/app_paths.h"
#include "settings/settings.h"
#include "storage/ini_document.h"
#include "storage/ini_file.h"

std::vector<SoftListEntry> g_vecSoftList;

namespace {
constexpr const char* kSection = "SoftList";
// A damaged count must not make start-up read the file a billion times.
constexpr int kMaxSoftCount = 256;
}  // namespace

std::vector<SoftListEntry> ReadSoftList(const std::string& iniPath) {
  const CIniFile ini(iniPath);
  const int count = std::min(ini.GetInt(kSection, "SoftCount", 0), kMaxSoftCount);
  std::vector<SoftListEntry> list;
  for (int i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    list.push_back({ini.GetString(kSection, "SoftName" + n, ""), ini.GetString(kSection, "SoftProcessName" + n, "")});
  }
  return list;
}

void LoadSoftList() { g_vecSoftList = ReadSoftList(AppPath(kSettingsFileName)); }

namespace {

bool IsAsciiBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";  // U+3000 in UTF-8

// The number n when `key` is `prefix` followed by n written the way "%d" writes it
// (ASCII case of the prefix ignored, as the INI lookups ignore it); 0 otherwise.
long NumberAfter(std::string_view key, std::string_view prefix) {
  if (key.size() <= prefix.size() || key.size() > prefix.size() + 9) return 0;
  if (!EqualsNoCase(key.substr(0, prefix.size()), prefix)) return 0;
  const std::string_view digits = key.substr(prefix.size());
  if (digits.front() == '0') return 0;
  long value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string TrimSoftText(const std::string& text) {
  std::string_view view = text;
  for (bool trimmed = true; trimmed;) {
    trimmed = false;
    while (!view.empty() && IsAsciiBlank(view.front())) view.remove_prefix(1), trimmed = true;
    while (!view.empty() && IsAsciiBlank(view.back())) view.remove_suffix(1), trimmed = true;
    if (view.starts_with(kIdeographicSpace)) view.remove_prefix(kIdeographicSpace.size()), trimmed = true;
    if (view.ends_with(kIdeographicSpace)) view.remove_suffix(kIdeographicSpace.size()), trimmed = true;
  }
  return std::string(view);
}

std::string CheckNewSoft(const std::vector<SoftListEntry>& list, const std::string& name,
                         const std::string& processName) {
  const std::string trimmedName = TrimSoftText(name);
  if (trimmedName.empty()) return kSoftNameEmptyText;
  if (TrimSoftText(processName).empty()) return kSoftProcessEmptyText;
  for (const SoftListEntry& entry : list) {
    if (entry.name == trimmedName) return kSoftNameTakenText;
  }
  return {};
}

bool SaveSoftList(const std::string& iniPath, const std::vector<SoftListEntry>& list) {
  return EditIniFile(iniPath, [&list](CIniDocument& doc, bool& changed) {
    // The keys of the old count go first, found by name so that a damaged huge count
    // costs no more than the keys the file really has.
    const long oldCount = doc.GetInt(kSection, "SoftCount", 0);
    for (const std::string& key : doc.KeyNames(kSection)) {
      const long number = std::max(NumberAfter(key, "SoftName"), NumberAfter(key, "SoftProcessName"));
      if (number >= 1 && number <= oldCount) doc.DeleteKey(kSection, key);
    }
    if (!doc.SetValue(kSection, "SoftCount", std::to_string(list.size()))) return false;
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string n = std::to_string(i + 1);
      if (!doc.SetValue(kSection, "SoftName" + n, list[i].name)) return false;
      if (!doc.SetValue(kSection, "SoftProcessName" + n, list[i].processName)) return false;
    }
    changed = true;
    return true;
  });
}
