#include "charting/soft_list.h"

#include <algorithm>

#include "app/settings.h"
#include "platform/app_paths.h"
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
