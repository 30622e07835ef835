#pragma once
// Whole-file reads and writes that never leave half a file behind.

#include <string>
#include <string_view>

// The folder part of a file path: "." for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path);

enum class FileReadResult { Ok, Missing, Failed };

// The whole regular file at `path` into `bytes` (emptied first).
FileReadResult ReadFileBytes(const std::string& path, std::string& bytes);

// Replaces the file at `path` with `bytes`: a temporary file beside it is written,
// flushed and renamed over it, keeping the old file's permission bits, so an
// interruption leaves either the old or the new file. A symbolic link is followed, so
// the file it names is the one replaced. False, with the old file untouched, when the
// folder is missing or read-only, the file is read-only or not a regular file, or any
// step fails. A file or folder without any write bit counts as read-only even for root.
//
// `sync` Durable flushes the file and its folder to disk before returning. Deferred
// leaves that to the kernel: the rename still never exposes half a file to a reader,
// but a power cut may lose the newest version. Jobs that write thousands of files of
// data that can be made again use Deferred and call SyncFileSystem once at the end.
enum class FileSync { Durable, Deferred };
bool ReplaceFileContents(const std::string& path, std::string_view bytes, FileSync sync = FileSync::Durable);

// The same replacement written in pieces as they come: the bytes go to the temporary
// file at once (a long result never waits in memory), and Commit renames it over the
// file. Destroyed without a successful Commit, it removes the temporary file and leaves
// the old one. A replacement that could not start (the cases ReplaceFileContents
// refuses) or a write that failed makes every later Write and the Commit return false.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& path);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  bool Write(std::string_view bytes);
  bool Commit(FileSync sync = FileSync::Durable);

 private:
  void Abandon();

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  bool ok_ = false;
  bool exists_ = false;
  unsigned mode_ = 0;
};

// Appends `bytes` to the file at `path` (created when missing): the old bytes plus the
// new ones go through ReplaceFileContents, so a failed append leaves the old file.
bool AppendFileContents(const std::string& path, std::string_view bytes, FileSync sync = FileSync::Durable);

// Appends `bytes` at the end of the file (created when missing) in one write, for
// logs that only ever grow: the old bytes are never rewritten, so the cost does not
// grow with the file. An interruption may leave part of the new bytes at the end.
// False when the file cannot be opened or written; a read-only file or folder (no
// write bit) is refused, as by ReplaceFileContents.
bool AppendToFile(const std::string& path, std::string_view bytes);

// Flushes the file system holding `path` (a file or folder) to disk: the one sync after
// a run of Deferred writes. False when it cannot be done.
bool SyncFileSystem(const std::string& path);

// Removes from `folder` (not its subfolders) the temporary files a killed
// ReplaceFileContents leaves ("<name>.velkor-tmp<pid>.<n>") whose writing process no
// longer lives; other files, such as a user's "x.tmp<pid>.<n>", stay. Returns how many
// were removed.
int RemoveStaleTemporaryFiles(const std::string& folder);

// The message shown when a text file the program writes for the user cannot be opened.
inline constexpr const char* kFileOpenErrorText = "文件打开错误!";
