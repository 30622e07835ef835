#include "charting/chart_folder.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/ascii.h"
#include "platform/message_box.h"
#include "settings/settings.h"

namespace {

std::string EnvValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool EntryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& parent, std::string_view name) {
  if (parent.empty() || parent.back() == '/') return parent + std::string(name);
  return parent + "/" + std::string(name);
}

// "/a/b" -> "/a", "/a" -> "/", "/" -> "/".
std::string FolderOf(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const std::size_t slash = p.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  std::string folder = p.substr(0, slash);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

ChartFolder Unresolvable() { return ChartFolder{ChartFolderState::Unresolvable, ""}; }

ChartFolder FolderOfExecutable(const std::string& exePath) {
  const std::string folder = FolderOf(exePath);
  if (!FolderExists(folder)) return Unresolvable();
  return ChartFolder{ChartFolderState::Ok, folder};
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

ChartFolder ResolveWindowsPath(const std::string& value, const ChartEnvironment& env) {
  std::string prefix = env.winePrefix;
  if (prefix.empty()) {
    if (env.home.empty()) return Unresolvable();
    prefix = Join(env.home, ".wine");
  }
  const std::string link = Join(Join(prefix, "dosdevices"), std::string(1, AsciiLower(value[0])) + ":");
  std::error_code ec;
  const std::filesystem::path drive = std::filesystem::canonical(link, ec);
  if (ec) return Unresolvable();
  std::string resolved = drive.string();

  // The rest, with both separators; empty pieces ("C:\\a\\\\b") are skipped.
  std::vector<std::string> pieces;
  std::string piece;
  for (std::size_t i = 3; i <= value.size(); ++i) {
    const char c = i < value.size() ? value[i] : '\\';
    if (c == '\\' || c == '/') {
      if (!piece.empty()) pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (pieces.empty()) return Unresolvable();  // "C:\" names no executable
  // Wine finds every folder name whatever its case; so do we. The executable's own
  // name is not needed.
  for (std::size_t i = 0; i + 1 < pieces.size(); ++i) resolved = ChildPath(resolved, pieces[i]);
  if (!FolderExists(resolved)) return Unresolvable();
  return ChartFolder{ChartFolderState::Ok, resolved};
}

}  // namespace

ChartEnvironment ChartEnvironmentFromProcess() {
  ChartEnvironment env;
  env.winePrefix = EnvValue("WINEPREFIX");
  env.home = EnvValue("HOME");
  if (env.home.empty()) {
    // Wine itself falls back to the password entry.
    struct passwd pw {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
      env.home = found->pw_dir;
    }
  }
  return env;
}

ChartFolder ResolveChartFolder(const std::string& tdxDir, const ChartEnvironment& env) {
  const std::string value = Trim(tdxDir);
  if (value.empty() || value == "0") return ChartFolder{ChartFolderState::NotSet, ""};
  if (value[0] == '/') return FolderOfExecutable(value);
  if (value.size() >= 3 && IsDriveLetter(value[0]) && value[1] == ':' && (value[2] == '\\' || value[2] == '/')) {
    return ResolveWindowsPath(value, env);
  }
  return Unresolvable();
}

ChartFolder CurrentChartFolder() { return ResolveChartFolder(TDX_DIR, ChartEnvironmentFromProcess()); }

const char* ChartFolderProblemText(const ChartFolder& folder) {
  switch (folder.state) {
    case ChartFolderState::NotSet:
      return kChartFolderNotSetText;
    case ChartFolderState::Unresolvable:
      return kChartFolderBadText;
    case ChartFolderState::Ok:
      break;
  }
  return "";
}

bool ReportChartFolderProblem(const ChartFolder& folder) {
  if (folder.ok()) return false;
  MessageBox(ChartFolderProblemText(folder), kChartMessageCaption, MB_OK | MB_ICONWARNING);
  return true;
}

std::string ChildPath(const std::string& parent, const std::string& name) {
  const std::string exact = Join(parent, name);
  if (EntryExists(exact)) return exact;
  DIR* dir = ::opendir(parent.empty() ? "/" : parent.c_str());
  if (dir == nullptr) return exact;
  std::string match;
  int matches = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view entryName(entry->d_name);
    if (entryName == "." || entryName == "..") continue;
    if (EqualsNoCase(entryName, name)) {
      ++matches;
      match = std::string(entryName);
    }
  }
  ::closedir(dir);
  return matches == 1 ? Join(parent, match) : exact;
}

std::string ChildPathChain(const std::string& parent, std::initializer_list<std::string_view> names) {
  std::string path = parent;
  for (std::string_view name : names) path = ChildPath(path, std::string(name));
  return path;
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFolderTree(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  // remove_all never follows a symbolic link: a link, also at the top, goes as a link.
  std::filesystem::remove_all(path, ec);
  return !EntryExists(path);
}

bool IsSixDigitCode(const std::string& code) {
  return code.size() == 6 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

char MarketDigit(const std::string& code) {
  if (code.empty()) return '0';
  const char first = code[0];
  return (first == '5' || first == '6' || first == '9') ? '1' : '0';
}
