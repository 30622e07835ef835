#pragma once
// Taking over the user data of an older installation: its branch marks (YYBMark of its
// "Custom.mdb") and a few keys of its "sysinfo.ini". The older files are only ever read:
// the database is opened read-only and comes out byte for byte as it was. Its reads are
// bounded in time, so that a file that never answers (a view without end) cannot hold
// the user interface, and every mark passes the marks editor's own checks.

#include <chrono>
#include <string>
#include <vector>

#include "charting/branch_mark_store.h"
#include "storage/ado_database.h"

// The older installation's folder: the path cut before its last '/' or '\' ("" when it has neither).
std::string OldFolderOf(const std::string& oldProgramPath);

inline constexpr const char* kOldDbOpenFailedText = "打开 老数据库Custom.mdb 错误";
inline constexpr const char* kOldDbFormatReason = "（不支持的旧数据库格式）";
inline constexpr const char* kOldDbNoMarksTableReason = "（旧数据库中没有营业部标记表YYBMark）";
inline constexpr const char* kChooseOldFolderText = "选择 旧版本软件 所在目录 ";
inline constexpr const char* kMigrationDoneText = "数据搬迁完毕！软件升级完成";
inline constexpr const char* kMarksNotMigratedText = "设置已搬迁，但营业部标记未能搬迁!";
inline constexpr const char* kOldDbTooSlowText = "读取 老数据库Custom.mdb 超时，其中的营业部标记均未搬迁!";
inline constexpr const char* kNothingMigratedText = "没有搬迁任何数据，当前的设置和营业部标记保持不变!";
inline constexpr const char* kMarksRefusedHeading = "以下营业部标记未通过检查，未搬迁：";
// "（%d 条营业部标记未能写入）"
std::string MarkFailuresText(int failed);

// A mark of the older table that the marks editor would refuse, with the editor's reason.
struct MarkRefusal {
  std::string name;
  std::string reason;
  friend bool operator==(const MarkRefusal&, const MarkRefusal&) = default;
};
// kMarksRefusedHeading, then one line "name：reason" per refused mark.
std::string MarkRefusalsText(const std::vector<MarkRefusal>& refused);

struct MarkCopyResult {
  int copied = 0;
  int failed = 0;                   // rows that could not be read or written
  std::vector<MarkRefusal> refused;  // rows the editor's checks refused: not copied
  bool tooSlow = false;             // the older file's reads passed their bound: nothing copied
};

// How long the reads of the older database may take, each of opening and copying.
inline constexpr std::chrono::milliseconds kOldDbWorkBound{5000};

class UpgradeMigrator {
 public:
  // oldFolder: as OldFolderOf gives it; currentCustom: the open current "Custom.mdb"; currentIniPath:
  // the current "sysinfo.ini".
  UpgradeMigrator(std::string oldFolder, CADODataBase& currentCustom, std::string currentIniPath);
  ~UpgradeMigrator();  // closes the old database
  UpgradeMigrator(const UpgradeMigrator&) = delete;
  UpgradeMigrator& operator=(const UpgradeMigrator&) = delete;

  // Opens oldFolder + "/Custom.mdb" READ-ONLY (never modified). 0 on success, -1 on
  // failure; *message (when given) gets the text to show: kOldDbOpenFailedText, plus kOldDbFormatReason
  // for a file that is not SQLite (a Jet file or garbage recognised by its header), or
  // kOldDbNoMarksTableReason when the file has no YYBMark table with a YYBName column,
  // or kOldDbTooSlowText alone when its reads passed the work bound.
  // A missing file gives kOldDbOpenFailedText alone. An open old database is closed first.
  int OpenOldCustomDb(std::string* message = nullptr);
  // Every YYBMark row of the old database (numbered first by Number1, then the others by Color), each
  // through UpsertYybMark, in ONE transaction on the current database; a row that fails is skipped and
  // counted, the rest commit. TeamName copied when the old table has it (PRAGMA table_info).
  // Rows that cannot be read from the old file count as failed too (a table that cannot
  // be read at all as one failure); when the current
  // database refuses the transaction itself, every row counts as failed and none is
  // written. Nothing is copied (0/0) while the old database is not open.
  // Each row first passes the marks editor's checks (BranchMarkStore::Validate, as an
  // update when the name is there, else as an add) against the current rows, those
  // copied before it included; a refused row is listed and skipped. Names, abbreviations
  // and team names are written trimmed, as the editor writes them.
  // When the reads of the older file pass the work bound, nothing is written and tooSlow
  // is set.
  MarkCopyResult MigrateYybMark();
  // One row: update the current row of that name (case-insensitive), else insert. Number1/TeamNumber
  // given as text, converted as atoi (non-number 0). True when written. A row without a
  // name is not written. TeamName is written unless the open old table has no such
  // column (an update then keeps the current team name).
  bool UpsertYybMark(const BranchMark& row, const std::string& number1Text, const std::string& teamNumberText);
  // Copies system/TDX_DIR and YYBInfo/YYB1_Name..YYB10_Name from oldFolder + "/sysinfo.ini" (GBK or
  // UTF-8, read through the INI layer), ONLY keys that exist in the old file; a missing old file changes
  // nothing. Keys 11, 12 and all others untouched. False when the current file could not be written.
  // Values are cut to 255 GBK bytes, as the older program read them; all keys go in one
  // atomic write. *copiedKeys (when given) gets how many keys were written (0 on failure).
  bool MigrateSysInfoIni(int* copiedKeys = nullptr);
  void CloseOldCustomDb();

  bool IsOldCustomDbOpen() const { return old_.IsOpen(); }
  // Whether the open old table has a TeamName column.
  bool OldTableHasTeamName() const { return oldHasTeamName_; }

 private:
  std::string OldFile(const char* name) const;
  // Starts the work bound of the older file's reads anew.
  void StartOldDbWork();
  static int OldDbProgress(void* self);

  std::string oldFolder_;
  CADODataBase& current_;
  std::string currentIniPath_;
  CADODataBase old_;
  bool oldHasTeamName_ = false;
  std::string oldSelect_;  // the SELECT list of the open old table's columns
  std::chrono::steady_clock::time_point workDeadline_{};
  bool tooSlow_ = false;  // the older file's reads passed the bound since StartOldDbWork
};
