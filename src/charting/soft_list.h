#pragma once
// The linked programs: the charting programs the window link looks for, in the order
// of the section SoftList of "sysinfo.ini" (SoftCount, then SoftName%d and
// SoftProcessName%d from 1).

#include <string>
#include <vector>

struct SoftListEntry {
  std::string name;         // shown on the settings page
  std::string processName;  // the executable's file name, such as "TdxW.exe"
};

// Read by the window link on the UI thread; rebuilt by LoadSoftList.
extern std::vector<SoftListEntry> g_vecSoftList;

// The list in the file at iniPath (empty for a missing file or section; a count
// below 1 gives none; at most 256 are read).
std::vector<SoftListEntry> ReadSoftList(const std::string& iniPath);
// Rebuilds g_vecSoftList from "sysinfo.ini" in the program folder.
void LoadSoftList();
