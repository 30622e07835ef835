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

// The message for a program the user wants to add (name and process trimmed first), or "" when it
// may be added: "股票分析软件名称不能为空！", "股票分析软件进程名称不能为空！", "列表中已有该股票分析软件名称!"
// (exact comparison of the name only).
std::string CheckNewSoft(const std::vector<SoftListEntry>& list, const std::string& name, const std::string& processName);
// Writes `list` into section SoftList of the file: the keys SoftName%d/SoftProcessName%d of 1..old
// SoftCount deleted, SoftCount written, then keys 1..n; one load-edit-save with an atomic write
// (temporary file + rename). False when the file could not be written (nothing changed then).
bool SaveSoftList(const std::string& iniPath, const std::vector<SoftListEntry>& list);

// The text without blanks at both ends: ASCII white space and the ideographic space
// U+3000, which Chinese input methods type. What CheckNewSoft compares and what is stored.
std::string TrimSoftText(const std::string& text);

inline constexpr const char* kSoftNameEmptyText = "股票分析软件名称不能为空！";
inline constexpr const char* kSoftProcessEmptyText = "股票分析软件进程名称不能为空！";
inline constexpr const char* kSoftNameTakenText = "列表中已有该股票分析软件名称!";
