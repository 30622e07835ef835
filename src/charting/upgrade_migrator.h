#pragma once
// Taking over the user data of an older installation: its branch marks (YYBMark of its
// "Custom.mdb") and a few keys of its "sysinfo.ini". The older files are only ever read:
// the database is opened read-only and comes out byte for byte as it was.

#include <string>

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
// "（%d 条营业部标记未能写入）"
std::string MarkFailuresText(int failed);

struct MarkCopyResult { int copied = 0; int failed = 0; };

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
  // kOldDbNoMarksTableReason when the file has no YYBMark table with a YYBName column.
  // A missing file gives kOldDbOpenFailedText alone. An open old database is closed first.
  int OpenOldCustomDb(std::string* message = nullptr);
  // Every YYBMark row of the old database (numbered first by Number1, then the others by Color), each
  // through UpsertYybMark, in ONE transaction on the current database; a row that fails is skipped and
  // counted, the rest commit. TeamName copied when the old table has it (PRAGMA table_info).
  // Rows that cannot be read from the old file count as failed too (a table that cannot
  // be read at all as one failure); when the current
  // database refuses the transaction itself, every row counts as failed and none is
  // written. Nothing is copied (0/0) while the old database is not open.
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
  // atomic write.
  bool MigrateSysInfoIni();
  void CloseOldCustomDb();

  bool IsOldCustomDbOpen() const { return old_.IsOpen(); }
  // Whether the open old table has a TeamName column.
  bool OldTableHasTeamName() const { return oldHasTeamName_; }

 private:
  std::string OldFile(const char* name) const;

  std::string oldFolder_;
  CADODataBase& current_;
  std::string currentIniPath_;
  CADODataBase old_;
  bool oldHasTeamName_ = false;
  std::string oldSelect_;  // the SELECT list of the open old table's columns
};
