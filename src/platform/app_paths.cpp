#include "platform/app_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

std::string g_szAppFolder;
std::string g_szAppFolderSlash;

namespace {

void StripTrailingSlashes(std::string& path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
}

std::string_view StripLeadingSlashes(std::string_view path) {
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  return path;
}

// A folder for the globals' convention: no trailing "/", the root as "/".
std::string NormaliseFolder(std::string folder) {
  if (folder.empty()) return folder;
  const bool absolute = folder.front() == '/';
  StripTrailingSlashes(folder);
  if (folder.empty() && absolute) return "/";
  return folder;
}

std::string MakeAbsolute(const std::string& folder) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(folder, ec);
  if (ec) return NormaliseFolder(folder);
  return NormaliseFolder(p.lexically_normal().string());
}

std::string FolderOfExecutable(const std::string& exePath) {
  const auto slash = exePath.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return exePath.substr(0, slash);
}

// The home folder of the user running the program, from the password database; ""
// when there is no entry.
std::string HomeFromPasswordDatabase() {
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr || found->pw_dir == nullptr) return "";
  return found->pw_dir;
}

}  // namespace

std::string UserDataFolder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    return JoinPath(NormaliseFolder(xdg), "velkordesk");
  }
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr) home = env;
  if (home.empty()) home = HomeFromPasswordDatabase();
  if (home.empty()) return "";
  return JoinPath(MakeAbsolute(home), ".local/share/velkordesk");
}

std::string ToSlashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

void SetAppFolder(const std::string& folder) {
  // Taken as named: a "\" is a character of the folder's name, as Linux allows.
  std::string f = folder;
  StripTrailingSlashes(f);
  // An empty result is the root folder, as a drive root has "D:" and "D:\".
  g_szAppFolder = f;
  g_szAppFolderSlash = f + "/";
}

void SetAppFolderFromExecutable(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) {
    SetAppFolder(".");
  } else {
    SetAppFolder(path.substr(0, slash));
  }
}

std::string AppPath(const std::string& fragment) {
  const std::string f = ToSlashes(fragment);
  return g_szAppFolderSlash + std::string(StripLeadingSlashes(f));
}

std::string JoinPath(const std::string& a, const std::string& b) {
  std::string head = a;
  StripTrailingSlashes(head);
  const std::string tail = ToSlashes(b);
  return head + "/" + std::string(StripLeadingSlashes(tail));
}

std::string ParentFolder(const std::string& folder) {
  std::string f = folder;
  StripTrailingSlashes(f);
  if (f.empty()) return "/";
  const auto slash = f.rfind('/');
  if (slash == std::string::npos) return ".";
  std::string parent = f.substr(0, slash);
  StripTrailingSlashes(parent);  // "/a//b" -> "/a"
  return parent.empty() ? "/" : parent;
}

std::string ExecutablePath() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "";
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);  // the link may have been cut: try again, larger
  }
}

std::string ResolveDataFolder(int argc, char** argv, int* createError) {
  if (createError != nullptr) *createError = 0;
  constexpr std::string_view kOption = "--data-dir";
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (arg == kOption) {
      if (i + 1 < argc && argv[i + 1] != nullptr && argv[i + 1][0] != '\0') return MakeAbsolute(argv[i + 1]);
    } else if (arg.size() > kOption.size() + 1 && arg.substr(0, kOption.size() + 1) == "--data-dir=") {
      return MakeAbsolute(std::string(arg.substr(kOption.size() + 1)));
    }
  }
  if (const char* env = std::getenv("VELKORDESK_DATA_DIR"); env != nullptr && env[0] != '\0') {
    return MakeAbsolute(env);
  }
  const std::string exe = ExecutablePath();
  if (exe.empty()) return MakeAbsolute(".");
  const std::string folder = FolderOfExecutable(exe);
  // An installed copy keeps each user's files in the user's data folder, whoever starts
  // it and whoever may write to its bin/; the build folder and a portable copy keep
  // theirs beside the program when they may.
  std::error_code ec;
  const bool installed = std::filesystem::exists(JoinPath(ParentFolder(folder), kInstalledMarker), ec);
  if (!installed && ::access(folder.c_str(), W_OK) == 0) return folder;
  const std::string userFolder = UserDataFolder();
  if (userFolder.empty()) return "";
  std::filesystem::create_directories(userFolder, ec);
  // A name taken by a file is told apart later, as no folder.
  std::error_code looked;
  if (ec && createError != nullptr && !std::filesystem::exists(userFolder, looked)) *createError = ec.value();
  return userFolder;
}
