#include "storage/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

std::string ResolveLink(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (real) return real.get();
  }
  return path;
}

// Distinctive, so that the start-up cleanup never takes a user's own "x.tmp1.2".
constexpr std::string_view kTempMark = ".velkor-tmp";

std::string TempPathFor(const std::string& path, unsigned n) {
  return path + std::string(kTempMark) + std::to_string(::getpid()) + "." + std::to_string(n);
}

// The writer's process id of a "<name>.velkor-tmp<pid>.<n>" file name; 0 for any other name.
pid_t TempFileWriter(std::string_view name) {
  const std::size_t mark = name.rfind(kTempMark);
  if (mark == std::string_view::npos || mark == 0) return 0;
  const std::string_view rest = name.substr(mark + kTempMark.size());
  const std::size_t dot = rest.find('.');
  const auto allDigits = [](std::string_view text) {
    return !text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (dot == std::string_view::npos || !allDigits(rest.substr(0, dot)) || !allDigits(rest.substr(dot + 1))) return 0;
  const long long pid = std::stoll(std::string(rest.substr(0, dot)));
  return pid > 0 && pid <= 0x3fffffff ? static_cast<pid_t>(pid) : 0;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

FileReadResult ReadFileBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return FileReadResult::Missing;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Failed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return FileReadResult::Failed;
  }
  std::string chunk(64 * 1024, '\0');
  for (;;) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      bytes.clear();
      return FileReadResult::Failed;
    }
    if (n == 0) break;
    bytes.append(chunk.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return FileReadResult::Ok;
}

FileReplacement::FileReplacement(const std::string& givenPath) {
  if (givenPath.empty()) return;
  path_ = ResolveLink(givenPath);
  struct stat existing {};
  exists_ = ::stat(path_.c_str(), &existing) == 0;
  if (!exists_ && errno != ENOENT) return;
  if (exists_ && (!S_ISREG(existing.st_mode) || (existing.st_mode & kAnyWriteBit) == 0)) return;
  mode_ = existing.st_mode & 07777;

  const std::string folder = FolderOf(path_);
  struct stat folderStat {};
  if (::stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode) ||
      (folderStat.st_mode & kAnyWriteBit) == 0)
    return;

  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    tempPath_ = TempPathFor(path_, counter++);
    fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) return;
  }
  ok_ = fd_ >= 0;
}

FileReplacement::~FileReplacement() { Abandon(); }

void FileReplacement::Abandon() {
  ok_ = false;
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(tempPath_.c_str());
}

bool FileReplacement::Write(std::string_view bytes) {
  if (ok_ && !WriteAll(fd_, bytes)) Abandon();
  return ok_;
}

bool FileReplacement::Commit(FileSync sync) {
  if (!ok_) return false;
  bool ok = !exists_ || ::fchmod(fd_, mode_) == 0;
  if (ok && sync == FileSync::Durable) ok = ::fsync(fd_) == 0;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(tempPath_.c_str(), path_.c_str()) == 0;
  ok_ = false;
  if (!ok) {
    ::unlink(tempPath_.c_str());
    return false;
  }
  if (sync == FileSync::Deferred) return true;
  // Make the rename itself durable; failing here does not undo the write.
  const int dirFd = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes, FileSync sync) {
  FileReplacement replacement(path);
  return replacement.Write(bytes) && replacement.Commit(sync);
}

bool AppendFileContents(const std::string& path, std::string_view bytes, FileSync sync) {
  std::string old;
  if (ReadFileBytes(path, old) == FileReadResult::Failed) return false;
  old.append(bytes);
  return ReplaceFileContents(path, old, sync);
}

bool AppendToFile(const std::string& givenPath, std::string_view bytes) {
  if (givenPath.empty()) return false;
  const std::string path = ResolveLink(givenPath);
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) {
    if (!S_ISREG(existing.st_mode) || (existing.st_mode & kAnyWriteBit) == 0) return false;
  } else {
    struct stat folderStat {};
    const std::string folder = FolderOf(path);
    if (errno != ENOENT || ::stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode) ||
        (folderStat.st_mode & kAnyWriteBit) == 0)
      return false;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, bytes);
  return ::close(fd) == 0 && ok;
}

bool SyncFileSystem(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int removed = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const pid_t writer = TempFileWriter(it->path().filename().native());
    std::error_code typeError;
    if (writer == 0 || !it->is_regular_file(typeError)) continue;
    // A process that lives (or one we may not signal) may still be writing it.
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;
    if (::unlink(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}
