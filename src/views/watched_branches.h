#pragma once
// The watched branches ("关注游资"): the twelve names the daily list compares every seat
// with, kept under [YYBInfo] YYB1_Name..YYB12_Name of "sysinfo.ini".

#include <array>
#include <string>

inline constexpr int kWatchedBranchCount = 12;

// The settings key of watched branch `index` (0-based): "YYB1_Name" .. "YYB12_Name".
std::string WatchedBranchKey(int index);

// Writes the twelve names to `iniPath` (section YYBInfo, in key order) and makes
// g_Settings.YYB_Name[0..11] equal to them, each cut at kBranchNameBytes GBK bytes the
// way the start-up loader cuts them, so a name saved whole reloads equal. The values in
// memory change even when a write fails, so the next day load uses the new names.
// False when any write failed (every key is still tried).
bool SaveWatchedBranches(const std::array<std::string, kWatchedBranchCount>& names, const std::string& iniPath);
