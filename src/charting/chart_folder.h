#pragma once
// Where the charting program lives. The setting TDX_DIR holds the full path of its
// executable, either as a Linux path or as a Windows path inside a Wine prefix; every
// charting file is found below the folder that holds that executable. The value is
// resolved again on every call, so a path chosen on the settings page works at once.

#include <initializer_list>
#include <string>
#include <string_view>

// What the resolver needs of the process environment, passed in so that tests never
// change the real one.
struct ChartEnvironment {
  std::string winePrefix;  // $WINEPREFIX ("" when unset)
  std::string home;        // $HOME ("" when unset)
};
ChartEnvironment ChartEnvironmentFromProcess();

enum class ChartFolderState {
  NotSet,        // "" or "0"
  Unresolvable,  // relative, UNC, no such drive link, no such folder
  Ok,
};

struct ChartFolder {
  ChartFolderState state = ChartFolderState::NotSet;
  // The existing folder that holds the executable, as a Linux path without a trailing
  // "/" ("/" for the root). Empty unless state is Ok.
  std::string folder;

  bool ok() const { return state == ChartFolderState::Ok; }
};

// Resolves a TDX_DIR value:
//  - blanks around it are ignored; "" and "0" are not set;
//  - "/..." is a Linux path;
//  - "X:\..." or "X:/..." is a Windows path: the drive maps through the Wine prefix's
//    "dosdevices/x:" link (prefix = env.winePrefix when not empty, else
//    env.home + "/.wine"), the rest follows with "\" read as "/", each folder name
//    looked up case-insensitively as Wine does;
//  - anything else (relative, UNC, a drive without its link) is unresolvable;
//  - the folder is the resolved path before its last separator and must exist.
// Keeps no copy of the value.
ChartFolder ResolveChartFolder(const std::string& tdxDir, const ChartEnvironment& env);
// The same for the current TDX_DIR and the process environment (UI thread: it reads
// the settings global).
ChartFolder CurrentChartFolder();

// The messages for a folder that is not Ok.
inline constexpr const char* kChartFolderNotSetText = "请设置 通达信 目录。";
inline constexpr const char* kChartFolderBadText = "您设置的 通达信 目录不正确！！请按文档教程来操作！！！";
inline constexpr const char* kChartMessageCaption = "系统提示";
// The text for a folder's state; "" for Ok.
const char* ChartFolderProblemText(const ChartFolder& folder);
// Shows the message for a folder that is not Ok and returns true; returns false and
// shows nothing for an Ok folder.
bool ReportChartFolderProblem(const ChartFolder& folder);

// parent + "/" + the entry of parent whose name is `name`: an exact-case entry wins;
// otherwise the one entry whose name equals `name` ignoring ASCII case; otherwise (none,
// several, or parent unreadable) `name` itself. So an existing "BlockNew" is reused
// instead of creating "blocknew" beside it, which Wine would see as one name twice.
std::string ChildPath(const std::string& parent, const std::string& name);
// ChildPath applied name by name: ChildPathChain(f, {"T0002", "blocknew"}).
std::string ChildPathChain(const std::string& parent, std::initializer_list<std::string_view> names);

// True when `path` names a directory (a link to one counts).
bool FolderExists(const std::string& path);
// Removes the folder and everything below it. A symbolic link met anywhere, also
// `path` itself, is removed as a link; what it points to is never touched. True when
// nothing is left at `path` (a missing path is true).
bool DeleteFolderTree(const std::string& path);

// True for a stock code of exactly six ASCII digits.
bool IsSixDigitCode(const std::string& code);

// The market digit of a stock code in every charting file: '1' when the code begins
// with '5', '6' or '9' (Shanghai), else '0'.
char MarketDigit(const std::string& code);
