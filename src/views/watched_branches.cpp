#include "views/watched_branches.h"

#include "settings/settings.h"
#include "storage/ini_file.h"

std::string WatchedBranchKey(int index) { return "YYB" + std::to_string(index + 1) + "_Name"; }

bool SaveWatchedBranches(const std::array<std::string, kWatchedBranchCount>& names, const std::string& iniPath) {
  CIniFile ini(iniPath);
  bool allWritten = true;
  for (int i = 0; i < kWatchedBranchCount; ++i) {
    const std::string& name = names[static_cast<std::size_t>(i)];
    if (ini.WriteString("YYBInfo", WatchedBranchKey(i), name) == 0) allWritten = false;
    g_Settings.YYB_Name[static_cast<std::size_t>(i)] = CutToBuffer(name, kBranchNameBytes + 1);
  }
  return allWritten;
}
