#include "platform/proc_process_finder.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "platform/ascii.h"

namespace {

constexpr std::size_t kCommBytes = 15;  // the kernel keeps at most this much of the name

std::string ReadSmallFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string bytes;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > 64 * 1024) break;  // argv[0] is at the front; the rest is not needed
  }
  return bytes;
}

std::string LastPart(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// "123" -> 123; anything that is not a plain positive 32-bit number -> 0.
std::uint32_t ParsePid(const char* name) {
  std::uint64_t value = 0;
  if (*name == '\0') return 0;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) return 0;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

ProcProcessFinder::ProcProcessFinder(std::string procRoot) : procRoot_(std::move(procRoot)) {}

std::string ProcProcessFinder::ProcessName(const std::string& processFolder, std::size_t wantedBytes) {
  const std::string cmdline = ReadSmallFile(processFolder + "/cmdline");
  const std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
  if (!argv0.empty()) return LastPart(argv0);
  if (wantedBytes <= kCommBytes) {
    std::string comm = ReadSmallFile(processFolder + "/comm");
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0')) comm.pop_back();
    if (!comm.empty()) return comm;
  }
  std::vector<char> target(4096);
  const ssize_t length = ::readlink((processFolder + "/exe").c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return {};
  std::string exe(target.data(), static_cast<std::size_t>(length));
  // A replaced executable reads "/path/name (deleted)".
  const std::string deleted = " (deleted)";
  if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
    exe.resize(exe.size() - deleted.size());
  }
  return LastPart(exe);
}

std::uint32_t ProcProcessFinder::FindProcessByExeName(const std::string& name) {
  if (name.empty()) return 0;
  DIR* dir = ::opendir(procRoot_.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::uint32_t> pids;
  while (const dirent* entry = ::readdir(dir)) {
    if (const std::uint32_t pid = ParsePid(entry->d_name)) pids.push_back(pid);
  }
  ::closedir(dir);
  std::sort(pids.begin(), pids.end());
  for (const std::uint32_t pid : pids) {
    const std::string processName = ProcessName(procRoot_ + "/" + std::to_string(pid), name.size());
    if (!processName.empty() && EqualsNoCase(processName, name)) return pid;
  }
  return 0;
}
