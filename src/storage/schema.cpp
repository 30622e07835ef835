#include "storage/schema.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "storage/ado_database.h"
#include "storage/ado_recordset.h"

namespace {

// The stock rows a day needed before DayStatus came for it not to be fetched again.
constexpr int kStoredDayRowsBeforeDayStatus = 16;

struct ColumnDef {
  std::string name;
  std::string type;
  std::string constraints;  // after the type, e.g. "NOT NULL UNIQUE"
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
  std::vector<std::vector<std::string>> indexes;  // the columns of each index
  // Indexes over the rows a condition picks: name, column, condition.
  std::vector<std::array<std::string, 3>> partialIndexes = {};
};

const char* const kSeats[] = {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"};

TableDef StockInfoTable() {
  TableDef t{"StockInfo",
             {{"StockInfo_ID", "TEXT", "NOT NULL UNIQUE"},
              {"IsDownloadOK", "INTEGER", ""},
              {"StockName", "TEXT", ""},
              {"StockCode", "TEXT", ""},
              {"SB_Date", "TEXT", ""},
              {"SB_Reason", "TEXT", ""}},
             {{"SB_Date"}, {"StockCode", "SB_Date"}, {"StockName"}}};
  for (const char* figure : {"ZuoShou", "JinKai", "JinShou", "ZhangFu", "HuanShou", "ZhenFu", "DRCJL", "Amount"}) {
    t.columns.push_back({figure, "REAL", ""});
  }
  for (const char* seat : kSeats) {
    const std::string prefix = seat;
    t.columns.push_back({prefix + "_YYB_Name", "TEXT", ""});
    t.columns.push_back({prefix + "_YYB_BuyAmount", "REAL", ""});
    t.columns.push_back({prefix + "_YYB_SellAmount", "REAL", ""});
    t.indexes.push_back({prefix + "_YYB_Name"});
  }
  // The fill-in looks for the rows still to fetch at every start: there are few, if any.
  t.partialIndexes.push_back({"IX_StockInfo_Unfetched", "IsDownloadOK", "IsDownloadOK = 2"});
  return t;
}

TableDef TotalBuySellTable() {
  TableDef t{"TotalBuySell", {{"SB_Date", "TEXT", "NOT NULL UNIQUE"}}, {}};
  for (const std::string group : {"Today", "YouZi", "JiGou"}) {
    t.columns.push_back({group + "_ShangBang", "INTEGER", ""});
    for (const char* amount : {"_TotalBuy", "_TotalSell", "_TotalNet", "_Total"}) {
      t.columns.push_back({group + amount, "REAL", ""});
    }
  }
  return t;
}

TableDef DzjyTable() {
  return {"DZJY",
          {{"DZJY_ID", "TEXT", "NOT NULL UNIQUE"},
           {"StockName", "TEXT", ""},
           {"StockCode", "TEXT", ""},
           {"DZJY_Date", "DATETIME", ""},  // stored as "YYYY-MM-DD" text
           {"RowNumber", "INTEGER", ""},
           {"SPJ", "REAL", ""},
           {"CJJ", "REAL", ""},
           {"CJSL", "INTEGER", ""},
           {"CJJE", "REAL", ""},
           {"BuyName", "TEXT", ""},
           {"SellName", "TEXT", ""}},
          {{"DZJY_Date"}, {"StockCode", "DZJY_Date"}, {"BuyName"}, {"SellName"}}};
}

TableDef QlxwmaTable() {
  return {"QLXWMA",
          {{"YYBName", "TEXT", ""}, {"IncomeLevel", "REAL", ""}, {"IsSuperStarYYB", "INTEGER", ""}},
          {{"YYBName"}}};
}

TableDef Buy2TimesTable() {
  return {"Buy2Times",
          {{"YYBName", "TEXT", "NOT NULL UNIQUE"},
           {"ShangBangCiShu_Buy", "INTEGER", ""},
           {"Above2_Buy", "INTEGER", ""},
           {"Percentage", "TEXT", ""}},
          {}};
}

TableDef YybMarkTable() {
  // Branch names and abbreviations are typed by the user: one mark per name whatever
  // its ASCII case.
  return {"YYBMark",
          {{"YYBName", "TEXT", "NOT NULL UNIQUE COLLATE NOCASE"},
           {"Number1", "INTEGER", "NOT NULL DEFAULT 0"},
           {"Color", "INTEGER", "NOT NULL DEFAULT 0"},
           {"IsLike", "INTEGER", "NOT NULL DEFAULT 0"},
           {"TeamNumber", "INTEGER", "NOT NULL DEFAULT 0"},
           {"Abbreviation", "TEXT", "COLLATE NOCASE"},
           {"YYBMark", "TEXT", ""},
           {"TeamName", "TEXT", ""}},
          {{"Abbreviation"}, {"Number1"}, {"TeamNumber"}}};
}

// One row per stored day: how many stocks its list has, and whether its job reached
// its end (1) or not (0). A day with StockInfo rows and no row here is not complete.
TableDef DayStatusTable() {
  return {"DayStatus",
          {{"SB_Date", "TEXT", "PRIMARY KEY"}, {"Listed", "INTEGER", ""}, {"Complete", "INTEGER", ""}},
          {}};
}

const std::vector<TableDef>& MarketTables() {
  static const std::vector<TableDef> tables = {StockInfoTable(), TotalBuySellTable(), DzjyTable(), QlxwmaTable(),
                                               Buy2TimesTable(),  DayStatusTable()};
  return tables;
}

const std::vector<TableDef>& UserTables() {
  static const std::vector<TableDef> tables = {YybMarkTable()};
  return tables;
}

std::vector<std::string> CreateStatements(const TableDef& table) {
  std::string create = "CREATE TABLE IF NOT EXISTS " + table.name + " (";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnDef& c = table.columns[i];
    if (i > 0) create += ", ";
    create += c.name + " " + c.type;
    if (!c.constraints.empty()) create += " " + c.constraints;
  }
  create += ")";
  std::vector<std::string> statements{create};
  for (const auto& columns : table.indexes) {
    std::string name = "IX_" + table.name;
    std::string list;
    for (const auto& column : columns) {
      name += "_" + column;
      if (!list.empty()) list += ", ";
      list += column;
    }
    statements.push_back("CREATE INDEX IF NOT EXISTS " + name + " ON " + table.name + " (" + list + ")");
  }
  for (const auto& [name, column, condition] : table.partialIndexes) {
    statements.push_back("CREATE INDEX IF NOT EXISTS " + name + " ON " + table.name + " (" + column + ") WHERE " +
                         condition);
  }
  return statements;
}

bool TableExists(CADODataBase& db, const std::string& name) {
  CADORecordset rs(&db);
  long n = 0;
  return rs.Open("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?", {name}) &&
         rs.GetFieldValue(0, n) && n > 0;
}

bool HasTable(const std::vector<TableDef>& tables, std::string_view name) {
  return std::any_of(tables.begin(), tables.end(), [&](const TableDef& t) { return t.name == name; });
}

bool EnsureSchema(CADODataBase& db, const std::vector<TableDef>& tables) {
  CADOTransaction transaction(db);
  if (!transaction.IsActive()) return false;
  const int version = ReadSchemaVersion(db);
  if (version < 0) return false;
  const bool hadDayStatus = HasTable(tables, "DayStatus") && TableExists(db, "DayStatus");
  if (version > kSchemaVersion) {
    db.RecordError(SQLITE_ERROR, "the file's schema version " + std::to_string(version) +
                                     " is newer than this program's " + std::to_string(kSchemaVersion));
    return false;
  }
  for (const TableDef& table : tables) {
    for (const std::string& statement : CreateStatements(table)) {
      if (!db.Execute(statement)) return false;
    }
  }
  if (!db.Execute("CREATE TABLE IF NOT EXISTS SchemaVersion (Version INTEGER NOT NULL)")) return false;
  // Which days are complete is stored since DayStatus came. Before it, a day was
  // fetched again while it held fewer than 16 stock rows, and deleting a day kept its
  // totals row: a day stored then counts as complete when it has its totals row and
  // at least 16 stock rows, so a day that would have been fetched again still is.
  if (HasTable(tables, "DayStatus") && !hadDayStatus &&
      !db.Execute("INSERT OR IGNORE INTO DayStatus (SB_Date, Listed, Complete) "
                  "SELECT d, n, n >= ? FROM (SELECT t.SB_Date AS d, "
                  "(SELECT COUNT(*) FROM StockInfo s WHERE s.SB_Date = t.SB_Date) AS n FROM TotalBuySell t)",
                  {kStoredDayRowsBeforeDayStatus})) {
    return false;
  }
  if (version == 0) {
    if (!db.Execute("INSERT INTO SchemaVersion (Version) VALUES (?)", {kSchemaVersion})) return false;
  } else if (version < kSchemaVersion) {
    if (!db.Execute("UPDATE SchemaVersion SET Version = ?", {kSchemaVersion})) return false;
  }
  return transaction.Commit();
}

}  // namespace

int ReadSchemaVersion(CADODataBase& db) {
  CADORecordset tables(&db);
  if (!tables.Open("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?", {"SchemaVersion"})) {
    db.RecordError(static_cast<int>(tables.GetLastError()), tables.GetLastErrorDescription());
    return -1;
  }
  long present = 0;
  tables.GetFieldValue(0, present);
  if (present == 0) return 0;
  CADORecordset version(&db);
  if (!version.Open("SELECT MAX(Version) FROM SchemaVersion")) {
    db.RecordError(static_cast<int>(version.GetLastError()), version.GetLastErrorDescription());
    return -1;
  }
  int value = 0;
  version.GetFieldValue(0, value);  // no row: null → 0
  return value < 0 ? 0 : value;
}

bool EnsureMarketSchema(CADODataBase& db) { return EnsureSchema(db, MarketTables()); }

bool EnsureUserSchema(CADODataBase& db) { return EnsureSchema(db, UserTables()); }

bool CreateDatabaseFile(const std::string& path, int* error) {
  const auto failed = [error](int cause) {
    if (error != nullptr) *error = cause;
    return false;
  };
  if (error != nullptr) *error = 0;
  struct stat existing {};
  if (path.empty()) return failed(ENOENT);
  if (lstat(path.c_str(), &existing) == 0) return failed(EEXIST);

  // Build the file under a temporary name beside it, then move it into place only if
  // the name is still free: no half-made file, and never a replaced one.
  std::string temporary = path + ".new-XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return failed(errno);
  fchmod(fd, 0644);
  close(fd);

  sqlite3* handle = nullptr;
  bool made = sqlite3_open_v2(temporary.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  // Writing the version cookie writes the header, so the file is a database from now on.
  made = made && sqlite3_exec(handle, "PRAGMA user_version = 0", nullptr, nullptr, nullptr) == SQLITE_OK;
  made = made && sqlite3_exec(handle, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr) == SQLITE_OK;
  // A short write is a full disk to the engine, with no errno of its own.
  int cause = 0;
  if (!made && handle != nullptr) {
    cause = (sqlite3_errcode(handle) & 0xFF) == SQLITE_FULL ? ENOSPC : sqlite3_system_errno(handle);
    if (cause == 0) cause = EIO;
  }
  made = sqlite3_close(handle) == SQLITE_OK && made;

  if (made && renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (made && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without no-replace renames: a hard link refuses an existing name too.
    made = link(temporary.c_str(), path.c_str()) == 0;
  } else {
    made = false;
  }
  if (!made && cause == 0) cause = errno != 0 ? errno : EIO;
  unlink(temporary.c_str());
  return made || failed(cause);
}

std::vector<std::pair<std::string, std::string>> SchemaColumns(std::string_view table) {
  for (const auto* list : {&MarketTables(), &UserTables()}) {
    for (const TableDef& def : *list) {
      if (def.name != table) continue;
      std::vector<std::pair<std::string, std::string>> columns;
      for (const ColumnDef& c : def.columns) columns.emplace_back(c.name, c.type);
      return columns;
    }
  }
  if (table == "SchemaVersion") return {{"Version", "INTEGER"}};
  return {};
}

std::string InsertAllColumnsStatement(std::string_view table) {
  const auto columns = SchemaColumns(table);
  if (columns.empty()) return {};
  std::string names;
  std::string marks;
  for (const auto& [name, type] : columns) {
    names += (names.empty() ? "" : ", ") + name;
    marks += marks.empty() ? "?" : ", ?";
  }
  return "INSERT INTO " + std::string(table) + " (" + names + ") VALUES (" + marks + ")";
}
