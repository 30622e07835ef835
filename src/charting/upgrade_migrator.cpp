#include "charting/upgrade_migrator.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "settings/settings.h"
#include "storage/ini_document.h"
#include "storage/ini_file.h"
#include "storage/row_cursor.h"

namespace {

// The columns read from the older table, in this order; a column the table lacks
// (other than YYBName) is read as NULL.
constexpr const char* kOldColumns[] = {"YYBName", "Abbreviation", "TeamName", "YYBMark",
                                       "Number1", "Color",        "IsLike",   "TeamNumber"};

// The keys taken over from the older "sysinfo.ini".
std::vector<std::pair<std::string, std::string>> MigratedKeys() {
  std::vector<std::pair<std::string, std::string>> keys{{"system", "TDX_DIR"}};
  for (int i = 1; i <= 10; ++i) keys.emplace_back("YYBInfo", "YYB" + std::to_string(i) + "_Name");
  return keys;
}

// How the first bytes of a file look: the SQLite header, something else, or nothing
// to look at (missing, unreadable or empty).
enum class FileKind { Missing, Empty, Sqlite, Foreign };
FileKind KindOfFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return FileKind::Missing;
  char header[16] = {};
  const std::size_t got = std::fread(header, 1, sizeof header, file);
  std::fclose(file);
  if (got == 0) return FileKind::Empty;
  static constexpr char kMagic[] = "SQLite format 3";  // 16 bytes with its zero
  return got == sizeof header && std::memcmp(header, kMagic, sizeof kMagic) == 0 ? FileKind::Sqlite
                                                                                 : FileKind::Foreign;
}

struct OldRow {
  BranchMark mark;
  std::string number1Text;
  std::string teamNumberText;
};

// The row as the marks editor would hold it, typed into its fields.
BranchMarkInput EditorInputOf(const OldRow& row) {
  BranchMarkInput input;
  input.name = row.mark.YYBName;
  input.abbreviation = row.mark.Abbreviation;
  input.number1Text = row.number1Text;
  input.teamName = row.mark.TeamName;
  input.teamNumberText = row.teamNumberText;
  input.remark = row.mark.YYBMark;
  input.color = row.mark.Color;
  input.isLike = row.mark.IsLike;
  return input;
}

// Virtual machine steps between two looks at the clock.
constexpr int kProgressSteps = 1000;

}  // namespace

std::string OldFolderOf(const std::string& oldProgramPath) {
  const std::size_t cut = oldProgramPath.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : oldProgramPath.substr(0, cut);
}

std::string MarkFailuresText(int failed) {
  return "（" + std::to_string(failed) + " 条营业部标记未能写入）";
}

std::string MarkRefusalsText(const std::vector<MarkRefusal>& refused) {
  std::string text = kMarksRefusedHeading;
  for (const MarkRefusal& mark : refused) text += "\n" + mark.name + "：" + mark.reason;
  return text;
}

UpgradeMigrator::UpgradeMigrator(std::string oldFolder, CADODataBase& currentCustom, std::string currentIniPath)
    : oldFolder_(std::move(oldFolder)), current_(currentCustom), currentIniPath_(std::move(currentIniPath)) {
  old_.SetReadOnly(true);
}

UpgradeMigrator::~UpgradeMigrator() { CloseOldCustomDb(); }

std::string UpgradeMigrator::OldFile(const char* name) const {
  // No folder means no file: never the root folder's.
  return oldFolder_.empty() ? std::string() : oldFolder_ + "/" + name;
}

void UpgradeMigrator::StartOldDbWork() {
  tooSlow_ = false;
  workDeadline_ = std::chrono::steady_clock::now() + kOldDbWorkBound;
}

int UpgradeMigrator::OldDbProgress(void* self) {
  auto* migrator = static_cast<UpgradeMigrator*>(self);
  if (std::chrono::steady_clock::now() < migrator->workDeadline_) return 0;
  migrator->tooSlow_ = true;
  return 1;  // breaks the statement off
}

void UpgradeMigrator::CloseOldCustomDb() {
  old_.Close();
  oldHasTeamName_ = false;
  oldSelect_.clear();
}

int UpgradeMigrator::OpenOldCustomDb(std::string* message) {
  CloseOldCustomDb();
  StartOldDbWork();
  const auto fail = [&](const char* reason) {
    const bool slow = tooSlow_;
    CloseOldCustomDb();
    if (message != nullptr) *message = slow ? std::string(kOldDbTooSlowText) : std::string(kOldDbOpenFailedText) + reason;
    return -1;
  };
  const std::string path = OldFile("Custom.mdb");
  if (path.empty()) return fail("");
  const FileKind kind = KindOfFile(path);
  if (kind == FileKind::Missing) return fail("");
  // A Jet file (or any other) is told by its first bytes, before SQLite looks at it.
  if (kind == FileKind::Foreign) return fail(kOldDbFormatReason);
  if (!old_.Open(ConnectionStringFor(path))) {
    return fail(old_.GetLastError() == static_cast<DWORD>(SQLITE_NOTADB) ? kOldDbFormatReason : "");
  }
  {
    // Every statement of this thread on the older file is watched from here on.
    const CADODataBase::ThreadHandle th = old_.AcquireHandle();
    if (th.handle == nullptr) return fail("");
    sqlite3_progress_handler(th.handle, kProgressSteps, &UpgradeMigrator::OldDbProgress, this);
  }

  // The columns the older table has; it needs at least the branch name.
  std::vector<std::string> present;
  {
    RowCursor info(old_);
    if (!info.Open("SELECT name FROM pragma_table_info(?)", {"YYBMark"})) return fail(kOldDbNoMarksTableReason);
    while (info.Next()) present.emplace_back(info.Text(0));
    if (info.Failed()) return fail(kOldDbNoMarksTableReason);
  }
  const auto has = [&](const char* column) {
    for (const std::string& name : present) {
      if (EqualsNoCase(name, column)) return true;
    }
    return false;
  };
  if (!has("YYBName")) return fail(kOldDbNoMarksTableReason);
  for (const char* column : kOldColumns) {
    if (!oldSelect_.empty()) oldSelect_ += ", ";
    // A missing column reads as NULL under its own name, so that the WHERE and ORDER BY
    // of the copy still find it.
    oldSelect_ += has(column) ? std::string(column) : "NULL AS " + std::string(column);
  }
  oldHasTeamName_ = has("TeamName");
  if (message != nullptr) message->clear();
  return 0;
}

MarkCopyResult UpgradeMigrator::MigrateYybMark() {
  MarkCopyResult result;
  if (!old_.IsOpen()) return result;
  StartOldDbWork();
  const auto tooSlow = [this] {
    MarkCopyResult slow;
    slow.tooSlow = tooSlow_;
    return slow;
  };

  // Read everything first: numbered rows by number, then the others by colour.
  std::vector<OldRow> rows;
  std::optional<std::int64_t> total;
  {
    RowCursor count(old_, "SELECT count(*) FROM YYBMark");
    if (count.Next()) total = count.Int(0);
  }
  if (tooSlow_) return tooSlow();
  for (const char* part : {"WHERE Number1 >= 1 ORDER BY Number1, rowid",
                           "WHERE IFNULL(Number1, 0) < 1 ORDER BY Color, rowid"}) {
    RowCursor cursor(old_, "SELECT " + oldSelect_ + " FROM YYBMark " + part);
    while (cursor.Next()) {
      OldRow row;
      row.mark.YYBName = std::string(cursor.Text(0));
      row.mark.Abbreviation = std::string(cursor.Text(1));
      row.mark.TeamName = std::string(cursor.Text(2));
      row.mark.YYBMark = std::string(cursor.Text(3));
      row.number1Text = std::string(cursor.Text(4));
      row.mark.Number1 = ParseLeadingInt(row.number1Text);
      row.mark.Color = static_cast<COLORREF>(static_cast<std::uint64_t>(cursor.Int(5)) & 0xFFFFFFFFu);
      row.mark.IsLike = static_cast<int>(cursor.Int(6));
      row.teamNumberText = std::string(cursor.Text(7));
      row.mark.TeamNumber = ParseLeadingInt(row.teamNumberText);
      rows.push_back(std::move(row));
    }
    if (tooSlow_) return tooSlow();
  }
  // Rows of the table that could not be read are failures, not silence.
  const int unread = total && *total > static_cast<std::int64_t>(rows.size())
                         ? static_cast<int>(*total - static_cast<std::int64_t>(rows.size()))
                         : (!total && rows.empty() ? 1 : 0);
  const int all = static_cast<int>(rows.size()) + unread;

  const auto allFailed = [all] {
    MarkCopyResult failed;
    failed.failed = all;
    return failed;
  };
  BranchMarkStore editor(current_);
  CADOTransaction transaction(current_);
  if (!transaction.IsActive()) return allFailed();
  for (OldRow& row : rows) {
    // The editor's checks, against the rows as they stand with the ones copied so far.
    const BranchMarkInput input = EditorInputOf(row);
    std::string reason = editor.Validate(input, false);
    if (reason == kMarkNameTakenText) reason = editor.Validate(input, true);
    if (reason == kMarksReadFailedText) {
      if (!current_.InTransaction()) return allFailed();
      ++result.failed;
      continue;
    }
    if (!reason.empty()) {
      result.refused.push_back({row.mark.YYBName, std::move(reason)});
      continue;
    }
    row.mark.YYBName = TrimMarkText(row.mark.YYBName);
    row.mark.Abbreviation = TrimMarkText(row.mark.Abbreviation);
    row.mark.TeamName = TrimMarkText(row.mark.TeamName);
    // Each row in a savepoint of its own: a row that fails takes back only its own part.
    if (!current_.Execute("SAVEPOINT migrate_mark")) return allFailed();
    if (UpsertYybMark(row.mark, row.number1Text, row.teamNumberText)) {
      if (!current_.Execute("RELEASE migrate_mark")) return allFailed();
      ++result.copied;
    } else {
      if (!current_.InTransaction()) return allFailed();  // the engine gave up the whole transaction
      current_.Execute("ROLLBACK TO migrate_mark");
      current_.Execute("RELEASE migrate_mark");
      ++result.failed;
    }
  }
  if (!transaction.Commit()) return allFailed();
  result.failed += unread;
  return result;
}

bool UpgradeMigrator::UpsertYybMark(const BranchMark& row, const std::string& number1Text,
                                    const std::string& teamNumberText) {
  if (TrimMarkText(row.YYBName).empty()) return false;
  std::optional<std::int64_t> existing;
  {
    RowCursor count(current_, "SELECT count(*) FROM YYBMark WHERE YYBName = ? COLLATE NOCASE", {row.YYBName});
    if (count.Next()) existing = count.Int(0);
  }
  if (!existing) return false;
  const bool withTeamName = !old_.IsOpen() || oldHasTeamName_;
  const int number1 = ParseLeadingInt(number1Text);
  const int teamNumber = ParseLeadingInt(teamNumberText);
  std::vector<DbValue> values{number1, static_cast<std::int64_t>(row.Color), row.IsLike, teamNumber,
                              row.Abbreviation, row.YYBMark};
  if (withTeamName) values.emplace_back(row.TeamName);
  values.emplace_back(row.YYBName);
  if (*existing > 0) {
    return current_.Execute(withTeamName ? "UPDATE YYBMark SET Number1 = ?, Color = ?, IsLike = ?, TeamNumber = ?, "
                                           "Abbreviation = ?, YYBMark = ?, TeamName = ? WHERE YYBName = ? COLLATE NOCASE"
                                         : "UPDATE YYBMark SET Number1 = ?, Color = ?, IsLike = ?, TeamNumber = ?, "
                                           "Abbreviation = ?, YYBMark = ? WHERE YYBName = ? COLLATE NOCASE",
                            values);
  }
  return current_.Execute(withTeamName ? "INSERT INTO YYBMark (Number1, Color, IsLike, TeamNumber, Abbreviation, "
                                         "YYBMark, TeamName, YYBName) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"
                                       : "INSERT INTO YYBMark (Number1, Color, IsLike, TeamNumber, Abbreviation, "
                                         "YYBMark, YYBName) VALUES (?, ?, ?, ?, ?, ?, ?)",
                          values);
}

bool UpgradeMigrator::MigrateSysInfoIni(int* copiedKeys) {
  if (copiedKeys != nullptr) *copiedKeys = 0;
  const std::string oldPath = OldFile("sysinfo.ini");
  if (oldPath.empty()) return true;
  const std::optional<std::string> oldText = ReadIniFileText(oldPath);
  if (!oldText) return true;  // no older settings: nothing to take over
  const CIniDocument old = CIniDocument::Parse(*oldText);
  std::vector<std::pair<std::pair<std::string, std::string>, std::string>> found;
  for (auto& key : MigratedKeys()) {
    if (std::optional<std::string> value = old.Find(key.first, key.second)) {
      found.emplace_back(std::move(key), CutToBuffer(*value, 256));
    }
  }
  if (found.empty()) return true;
  const bool written = EditIniFile(currentIniPath_, [&found](CIniDocument& doc, bool& changed) {
    for (const auto& [key, value] : found) {
      if (!doc.SetValue(key.first, key.second, value)) return false;
    }
    changed = true;
    return true;
  });
  if (written && copiedKeys != nullptr) *copiedKeys = static_cast<int>(found.size());
  return written;
}
