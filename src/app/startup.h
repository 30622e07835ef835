#pragma once
// The start-up and exit steps that need no display: the data folder, the settings,
// the two database files with their schema, and the clean-exit marker.

#include <string>

class CADODataBase;

inline constexpr const char* kMarketDatabaseFile = "CJHB.mdb";
inline constexpr const char* kUserDatabaseFile = "Custom.mdb";
inline constexpr const char* kExportFolder = "临时文件";
inline constexpr const char* kFolderLockFile = "velkordesk.lock";

// Exit statuses besides 0 (an orderly end) and 1 (the close box).
inline constexpr int kExitNoDisplay = 2;
inline constexpr int kExitFolderInUse = 3;
inline constexpr int kExitFolderUnusable = 4;
inline constexpr int kExitUsage = 64;

// What the command line asks before anything starts: --help, or a mistake (an
// "--data-dir" without a folder) described in `error`.
struct CommandLineCheck {
  bool help = false;
  std::string error;
};
CommandLineCheck CheckCommandLine(int argc, char** argv);
extern const char* const kUsageText;

// One program per data folder: an exclusive flock on "velkordesk.lock" in the folder,
// held while the object lives (the system lets it go on any exit). The descriptor is
// not inherited by programs started from here.
class DataFolderLock {
 public:
  enum class Result { Held, Busy, Failed };
  DataFolderLock() = default;
  ~DataFolderLock();
  DataFolderLock(const DataFolderLock&) = delete;
  DataFolderLock& operator=(const DataFolderLock&) = delete;
  // Busy when another open lock file holds it; Failed when the lock file cannot be
  // opened (a missing or read-only folder) or locked, with the cause in Error().
  Result Acquire(const std::string& folder);
  // The errno of the last failed Acquire; 0 after a success.
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// Why a folder cannot be used, named from the errno of the step that failed:
// "权限不够", "不是目录", "磁盘已满", ..., never the system's English ("系统错误5").
std::string FolderErrorReason(int error);

// Fixes the program folder globals, removes the temporary files of killed writes from
// the folder and "临时文件", loads "sysinfo.ini", creates "临时文件" when it is
// missing. Returns false only when the folder itself cannot be used: it is no folder,
// or a file written into it does not reach the disk (a folder the user may only read
// is refused even when it holds the program's files). `reason` then names the cause.
bool PrepareDataFolder(const std::string& folder, std::string* reason = nullptr);

// Open "CJHB.mdb" / "Custom.mdb" of the program folder on the global connections,
// creating a missing file with the schema. 0 = open; -1 after the error box. A file
// that is not a database, has a newer schema or cannot be opened is never touched.
// A file that cannot be made or written (no permission, a read-only file system, a
// full disk) gets no box when `unusable` is given: -1, and the reason ("权限不够", ...)
// in `unusable`.
int OpenCjhbDatabase(std::string* unusable = nullptr);
int OpenCustomDatabase(std::string* unusable = nullptr);

// Opens `path` on `db` and brings its schema up to date (creating a missing file).
// Leaves `db` closed on failure; `writeError` (when given) then gets the errno when the
// file could not be made or written, else 0. Used by the two functions above.
bool OpenDatabaseWithSchema(CADODataBase& db, const std::string& path, bool (*ensureSchema)(CADODataBase&),
                            int* writeError = nullptr);

// Moves every change of the write-ahead log into the database file and empties the
// log, so that the file alone holds every stored row. A failure goes to the debug log.
void CheckpointDatabase(CADODataBase& db);

// Writes IsExit under [system] of "sysinfo.ini" and into g_Settings. A failed write
// goes to the debug log; no box.
bool WriteIsExit(int value);

// Ignores SIGPIPE, so a peer that hangs up never ends the program, and starts the
// internet layer once, before any thread. SIGTERM and SIGINT are caught: each writes
// a byte to a pipe, so the window can take the same road out as its close box.
void InstallProcessSignalHandling();

// The pipe's read end, readable after SIGTERM or SIGINT; -1 when there is none.
int CloseSignalFd();
