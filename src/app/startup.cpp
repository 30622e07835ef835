#include "app/startup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/app_paths.h"
#include "platform/debug_log.h"
#include "platform/internet_session.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/file_io.h"
#include "storage/ini_file.h"
#include "storage/schema.h"

namespace fs = std::filesystem;

const char* const kUsageText =
    "Usage: velkordesk [--data-dir DIR]\n"
    "  --data-dir DIR  keep the program's files in DIR (default: $VELKORDESK_DATA_DIR,\n"
    "                  else the program's own folder, or ~/.local/share/velkordesk\n"
    "                  when that folder is not writable or the copy is installed)\n"
    "  --help          print this text and exit\n";

CommandLineCheck CheckCommandLine(int argc, char** argv) {
  constexpr std::string_view kOption = "--data-dir";
  CommandLineCheck check;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help") {
      check.help = true;
    } else if (arg == kOption) {
      if (i + 1 >= argc || argv[i + 1] == nullptr || argv[i + 1][0] == '\0') {
        check.error = "--data-dir needs a folder";
      } else {
        ++i;  // the folder, whatever it looks like
      }
    } else if (arg.size() == kOption.size() + 1 && arg.substr(0, kOption.size()) == kOption && arg.back() == '=') {
      check.error = "--data-dir needs a folder";
    }
  }
  return check;
}

DataFolderLock::~DataFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

DataFolderLock::Result DataFolderLock::Acquire(const std::string& folder) {
  if (fd_ >= 0) ::close(fd_);
  error_ = 0;
  fd_ = ::open(JoinPath(folder, kFolderLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = errno;
    return Result::Failed;
  }
  int rc;
  while ((rc = ::flock(fd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc == 0) return Result::Held;
  error_ = errno;
  const Result result = error_ == EWOULDBLOCK ? Result::Busy : Result::Failed;
  ::close(fd_);
  fd_ = -1;
  return result;
}

std::string FolderErrorReason(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "权限不够";
    case ENOTDIR:
      return "不是目录";
    case ENOSPC:
    case EDQUOT:
      return "磁盘已满";
    case EROFS:
      return "只读文件系统";
    case ENOENT:
      return "目录不存在";
    case EIO:
      return "读写出错";
    default:  // the system's own words are English
      return "系统错误" + std::to_string(error);
  }
}

namespace {

// Writes one byte into a file of the folder, flushes it to disk and removes the file:
// 0 when that worked, else the errno of the step that failed. Permission bits alone
// would say nothing true for root, a read-only mount or a full disk.
int ProbeFolderWrite(const std::string& folder) {
  const std::string probe = JoinPath(folder, "velkordesk.probe");
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  const char byte = 0;
  int error = 0;
  if (::write(fd, &byte, 1) != 1 || ::fsync(fd) != 0) error = errno != 0 ? errno : EIO;
  ::close(fd);
  if (::unlink(probe.c_str()) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

bool PrepareDataFolder(const std::string& folder, std::string* reason) {
  SetAppFolder(folder);
  std::error_code ec;
  int error = 0;
  if (!fs::is_directory(g_szAppFolderSlash, ec)) {
    error = fs::exists(g_szAppFolder, ec) ? ENOTDIR : ENOENT;
  } else {
    error = ProbeFolderWrite(g_szAppFolder);
  }
  if (error != 0) {
    if (reason != nullptr) *reason = FolderErrorReason(error);
    return false;
  }
  const fs::path exportFolder = AppPath(kExportFolder);
  for (const std::string& dir : {g_szAppFolderSlash, exportFolder.string()}) {
    if (const int removed = RemoveStaleTemporaryFiles(dir)) {
      AppendDebugLog("removed %d temporary files of killed writes from %s", removed, dir.c_str());
    }
  }
  LoadSettings(g_szAppFolder);
  if (!fs::is_directory(exportFolder, ec)) {
    fs::create_directory(exportFolder, ec);
    if (ec) AppendDebugLog("cannot create %s: %s", exportFolder.c_str(), ec.message().c_str());
  }
  return true;
}

namespace {

// The errno that keeps an existing database file (or the log files beside it) from
// being opened for writing: no permission, a read-only file system; 0 otherwise. The
// engine would open such a file read-only without a word.
int OpenForWritingError(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::string file = path + suffix;
    const int fd = ::open(file.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);  // a FIFO never blocks here
    if (fd >= 0) {
      ::close(fd);
      continue;
    }
    if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY) return errno;
  }
  return 0;
}

// The errno for an engine failure that is the disk's or the file's; 0 for the others.
int WriteErrorOf(DWORD code) {
  switch (code & 0xFF) {
    case SQLITE_FULL:
      return ENOSPC;
    case SQLITE_READONLY:
      return EACCES;
    default:
      return 0;
  }
}

}  // namespace

bool OpenDatabaseWithSchema(CADODataBase& db, const std::string& path, bool (*ensureSchema)(CADODataBase&),
                            int* writeError) {
  const auto failed = [writeError](int error) {
    if (writeError != nullptr) *writeError = error;
    return false;
  };
  if (writeError != nullptr) *writeError = 0;
  std::error_code ec;
  int error = 0;
  if (!fs::exists(path, ec)) {
    if (!CreateDatabaseFile(path, &error)) return failed(error == EEXIST ? 0 : error);
  } else if ((error = OpenForWritingError(path)) != 0) {
    return failed(error);
  }
  if (!db.Open(ConnectionStringFor(path), "", "")) return failed(WriteErrorOf(db.GetLastError()));
  if (!ensureSchema(db)) {
    error = WriteErrorOf(db.GetLastError());
    db.Close();
    return failed(error);
  }
  return true;
}

namespace {

int OpenOne(CADODataBase& db, const char* fileName, bool (*ensureSchema)(CADODataBase&), std::string* unusable) {
  int error = 0;
  if (OpenDatabaseWithSchema(db, AppPath(fileName), ensureSchema, &error)) return 0;
  AppendDebugLog("%s: %s", fileName, error != 0 ? std::strerror(error) : db.GetLastErrorText().c_str());
  if (error != 0 && unusable != nullptr) {
    *unusable = FolderErrorReason(error);
    return -1;
  }
  MessageBox(std::string("打开数据库") + fileName + "错误", g_strWindowTitle, MB_OK | MB_ICONERROR);
  db.SetOpenFailureTold(true);
  return -1;
}

}  // namespace

int OpenCjhbDatabase(std::string* unusable) {
  return OpenOne(g_ADODatabase, kMarketDatabaseFile, &EnsureMarketSchema, unusable);
}

int OpenCustomDatabase(std::string* unusable) {
  return OpenOne(g_ADODatabase_Custom, kUserDatabaseFile, &EnsureUserSchema, unusable);
}

void CheckpointDatabase(CADODataBase& db) {
  if (!db.IsOpen()) return;
  const CADODataBase::ThreadHandle th = db.AcquireHandle();
  // wal_checkpoint(TRUNCATE); busy when a reader or writer of another handle is left
  const int rc = th.handle == nullptr ? th.code
                                      : sqlite3_wal_checkpoint_v2(th.handle, nullptr, SQLITE_CHECKPOINT_TRUNCATE,
                                                                  nullptr, nullptr);
  if (rc != SQLITE_OK) {
    AppendDebugLog("checkpoint of %s failed: %s", DataSourceOf(db.GetConnectionString()).c_str(),
                   sqlite3_errstr(rc));
  }
}

bool WriteIsExit(int value) {
  const std::string path = AppPath(kSettingsFileName);
  const bool ok = WritePrivateProfileString("system", "IsExit", std::to_string(value), path);
  if (!ok) AppendDebugLog("cannot write IsExit=%d to %s", value, path.c_str());
  g_Settings.IsExit = static_cast<std::uint8_t>(value);
  return ok;
}

namespace {

int g_closeSignalPipe[2] = {-1, -1};

// Only what is safe in a handler: one byte into the pipe, errno kept.
void OnCloseSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(g_closeSignalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

void InstallProcessSignalHandling() {
  std::signal(SIGPIPE, SIG_IGN);
  InternetGlobalInit();  // before any worker thread exists
  if (g_closeSignalPipe[0] >= 0) return;
  if (pipe2(g_closeSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    AppendDebugLog("no pipe for SIGTERM and SIGINT: %s", std::strerror(errno));
    g_closeSignalPipe[0] = g_closeSignalPipe[1] = -1;
    return;
  }
  struct sigaction action {};
  action.sa_handler = &OnCloseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

int CloseSignalFd() { return g_closeSignalPipe[0]; }
