#include "storage/ado_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "storage/ado_recordset.h"
#include "storage/schema.h"

namespace {

class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/velkor-adodb-XXXXXX";
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ConnectionString(const std::string& path) {
  return "Provider=SQLite;Data Source=" + path + ";Jet OLEDB:Database Password=secret";
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long CountRows(CADODataBase& db, const std::string& table) {
  CADORecordset rs(&db);
  if (!rs.Open("SELECT count(*) FROM " + table)) return -1;
  long n = -1;
  rs.GetFieldValue(0, n);
  return n;
}

class AdoDatabaseTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("CJHB.mdb");
    ASSERT_TRUE(CreateDatabaseFile(path_));
    ASSERT_TRUE(db_.Open(ConnectionString(path_)));
    ASSERT_TRUE(db_.Execute("CREATE TABLE T (k TEXT NOT NULL UNIQUE, v INTEGER)"));
  }

  TempDir dir_;
  std::string path_;
  CADODataBase db_;
};

}  // namespace

TEST(DataSourceOfTest, FindsThePathAmongOtherKeys) {
  EXPECT_EQ(DataSourceOf("Provider=X;Data Source=/a/b.mdb;Password=p"), "/a/b.mdb");
  EXPECT_EQ(DataSourceOf("data source = /a/b c.mdb ;Provider=X"), "/a/b c.mdb");
  EXPECT_EQ(DataSourceOf("Provider=X;Data Source=\"/a;b.mdb\";Password=p"), "/a;b.mdb");
  EXPECT_EQ(DataSourceOf("Provider=X;Password=p"), "");
  EXPECT_EQ(DataSourceOf(""), "");
}

TEST_F(AdoDatabaseTest, EmptyStringReopensTheStoredOne) {
  ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES ('a', 1)"));
  db_.Close();
  EXPECT_FALSE(db_.IsOpen());
  ASSERT_TRUE(db_.Open(""));
  EXPECT_TRUE(db_.IsOpen());
  EXPECT_EQ(db_.GetConnectionString(), ConnectionString(path_));
  EXPECT_EQ(CountRows(db_, "T"), 1);
}

TEST(AdoDatabaseOpenTest, EmptyStringWithNoneStoredFails) {
  CADODataBase db;
  EXPECT_FALSE(db.Open(""));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.GetLastErrorText().rfind("Connection String = \nCADODataBase Error\n\tCode = ", 0), 0u)
      << db.GetLastErrorText();
}

TEST_F(AdoDatabaseTest, OpenOnAnOpenObjectClosesFirst) {
  const std::string other = dir_.File("Other.mdb");
  ASSERT_TRUE(CreateDatabaseFile(other));
  // A write lock on the first file shows whether its handle is really closed.
  ASSERT_TRUE(db_.BeginTrans());
  ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES ('pending', 1)"));

  ASSERT_TRUE(db_.Open(ConnectionString(other)));
  EXPECT_EQ(db_.GetConnectionString(), ConnectionString(other));
  EXPECT_EQ(db_.OpenHandleCount(), 1u);
  EXPECT_EQ(CountRows(db_, "T"), -1);  // the other file has no table T

  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(raw, "INSERT INTO T (k, v) VALUES ('free', 2)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(raw, "SELECT count(*) FROM T WHERE k = 'pending'", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 0);  // the open transaction was rolled back
  sqlite3_finalize(st);
  sqlite3_close(raw);
}

TEST(AdoDatabaseOpenTest, FailingOpenLeavesTheFullRecordAndCreatesNothing) {
  TempDir dir;
  const std::string missing = dir.File("missing.mdb");
  const std::string cs = ConnectionString(missing);
  CADODataBase db;
  EXPECT_FALSE(db.Open(cs));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.GetLastErrorText(), "Connection String = " + cs +
                                       "\nCADODataBase Error\n\tCode = 0000000e\n\tCode meaning = unable to open "
                                       "database file\n\tSource = SQLite\n\tDescription = unable to open database "
                                       "file\n");
  EXPECT_EQ(db.GetLastError(), static_cast<DWORD>(SQLITE_CANTOPEN));
  EXPECT_EQ(db.GetLastErrorDescription(), "unable to open database file");
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(AdoDatabaseOpenTest, RandomBytesFailAndKeepTheirBytes) {
  TempDir dir;
  const std::string path = dir.File("CJHB.mdb");
  std::string bytes(8192, '\0');
  std::mt19937 random(42);
  for (char& c : bytes) c = static_cast<char>(random());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  CADODataBase db;
  EXPECT_FALSE(db.Open(ConnectionString(path)));
  EXPECT_EQ(db.GetLastError(), static_cast<DWORD>(SQLITE_NOTADB));
  EXPECT_NE(db.GetLastErrorText().find("\tDescription = file is not a database\n"), std::string::npos);
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
  EXPECT_EQ(DatabaseErrorForUser(db.GetLastErrorText()), "数据库文件已损坏");
  EXPECT_FALSE(db.Execute("SELECT 1"));  // later statements fail with their record
  EXPECT_EQ(db.GetLastError(), static_cast<DWORD>(SQLITE_MISUSE));
}

TEST_F(AdoDatabaseTest, FailingExecuteReturnsFalseWithItsRecord) {
  ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES ('a', 1)"));
  EXPECT_FALSE(db_.Execute("INSERT INTO T (k, v) VALUES ('a', 2)"));
  EXPECT_EQ(db_.GetLastError(), static_cast<DWORD>(SQLITE_CONSTRAINT_UNIQUE));
  EXPECT_EQ(db_.GetLastErrorText(), "Connection String = " + ConnectionString(path_) +
                                        "\nCADODataBase Error\n\tCode = 00000813\n\tCode meaning = constraint "
                                        "failed\n\tSource = SQLite\n\tDescription = UNIQUE constraint failed: T.k\n");
  EXPECT_EQ(db_.GetRecordsAffected(), 0);

  EXPECT_FALSE(db_.Execute("INSERT INTO Nowhere VALUES (1)"));
  EXPECT_EQ(db_.GetLastErrorDescription(), "no such table: Nowhere");
}

TEST_F(AdoDatabaseTest, ExecuteRefusesWrongValueCountsAndSecondStatements) {
  EXPECT_FALSE(db_.Execute("INSERT INTO T (k, v) VALUES (?, ?)", {"only one"}));
  EXPECT_EQ(db_.GetLastError(), static_cast<DWORD>(SQLITE_RANGE));
  EXPECT_FALSE(db_.Execute("INSERT INTO T (k) VALUES ('x'); DELETE FROM T"));
  EXPECT_FALSE(db_.Execute("   "));
  EXPECT_EQ(CountRows(db_, "T"), 0);
  EXPECT_TRUE(db_.Execute("INSERT INTO T (k) VALUES ('x');  \n"));
}

TEST_F(AdoDatabaseTest, RecordsAffectedAndLastInsertRowId) {
  ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES (?, ?)", {"a", 1}));
  EXPECT_EQ(db_.LastInsertRowId(), 1);
  ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES (?, ?)", {"b", 1}));
  ASSERT_TRUE(db_.Execute("UPDATE T SET v = ? WHERE v = ?", {5, 1}));
  EXPECT_EQ(db_.GetRecordsAffected(), 2);
  ASSERT_TRUE(db_.Execute("SELECT k FROM T"));
  EXPECT_EQ(db_.GetRecordsAffected(), -1) << "a query changes nothing, whatever ran before it";
}

TEST_F(AdoDatabaseTest, BoundTextIsStoredUnchangedAndNeverSpliced) {
  std::vector<std::string> statements;
  db_.SetStatementTrace([&](const std::string& sql) { statements.push_back(sql); });
  const std::vector<std::string> texts = {"O'Brien", "100%", "a_b", "say \"hi\"", "line1\nline2", "中国'; DROP TABLE T; --"};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES (?, ?)", {texts[i], static_cast<int>(i)}));
  }
  db_.SetStatementTrace(nullptr);

  ASSERT_EQ(statements.size(), texts.size());
  for (const auto& sql : statements) EXPECT_EQ(sql, "INSERT INTO T (k, v) VALUES (?, ?)");

  CADORecordset rs(&db_);
  ASSERT_TRUE(rs.Open("SELECT k FROM T ORDER BY v"));
  for (const auto& expected : texts) {
    ASSERT_FALSE(rs.IsEof());
    std::string k;
    ASSERT_TRUE(rs.GetFieldValue("k", k));
    EXPECT_EQ(k, expected);
    rs.MoveNext();
  }
  EXPECT_TRUE(rs.IsEof());
  // A LIKE pattern character in a bound value is a plain character for '='.
  CADORecordset exact(&db_);
  ASSERT_TRUE(exact.Open("SELECT count(*) FROM T WHERE k = ?", {"a_b"}));
  long n = 0;
  exact.GetFieldValue(0, n);
  EXPECT_EQ(n, 1);
}

namespace {

// The guard of a writer that gives up half way.
bool WriteTwoThenGiveUp(CADODataBase& db) {
  CADOTransaction transaction(db);
  if (!transaction.IsActive()) return false;
  if (!db.Execute("INSERT INTO T (k, v) VALUES ('first', 1)")) return false;
  if (!db.Execute("INSERT INTO T (k, v) VALUES ('first', 2)")) return false;  // duplicate: fails
  return transaction.Commit();
}

}  // namespace

TEST_F(AdoDatabaseTest, TransactionGuardRollsBackOnEarlyReturn) {
  EXPECT_FALSE(WriteTwoThenGiveUp(db_));
  EXPECT_FALSE(db_.InTransaction());
  EXPECT_EQ(CountRows(db_, "T"), 0);
  EXPECT_EQ(db_.GetLastError(), static_cast<DWORD>(SQLITE_CONSTRAINT_UNIQUE));  // the rollback kept the record

  {
    CADOTransaction transaction(db_);
    ASSERT_TRUE(transaction.IsActive());
    ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES ('kept', 1)"));
    EXPECT_TRUE(transaction.Commit());
    EXPECT_FALSE(transaction.IsActive());
  }
  EXPECT_EQ(CountRows(db_, "T"), 1);
}

TEST_F(AdoDatabaseTest, SecondBeginOnTheSameThreadFailsWithoutEndingTheFirst) {
  CADOTransaction outer(db_);
  ASSERT_TRUE(outer.IsActive());
  {
    CADOTransaction inner(db_);
    EXPECT_FALSE(inner.IsActive());
  }
  EXPECT_TRUE(db_.InTransaction());
  EXPECT_TRUE(outer.Commit());
  EXPECT_FALSE(db_.RollbackTrans());  // nothing open
}

TEST_F(AdoDatabaseTest, BusyBeyondTheTimeoutFailsAndWritesNothing) {
  db_.SetConnectionTimeout(1);
  ASSERT_TRUE(db_.Open(""));  // the new timeout applies to handles opened from now on
  EXPECT_EQ(db_.BusyTimeoutMs(), 1000);

  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO T (k, v) VALUES ('other', 1)", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(db_.Execute("INSERT INTO T (k, v) VALUES ('mine', 1)"));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_EQ(db_.GetLastError() & 0xFF, static_cast<DWORD>(SQLITE_BUSY));
  EXPECT_NE(db_.GetLastErrorText().find("Description = database is locked"), std::string::npos);
  EXPECT_EQ(DatabaseErrorForUser(db_.GetLastErrorDescription()), "数据库正忙");
  EXPECT_EQ(ExceptionTextForUser(CADOException(SQLITE_FULL, "database or disk is full")), "磁盘已满");

  {
    CADOTransaction transaction(db_);
    EXPECT_FALSE(transaction.IsActive());
    EXPECT_FALSE(db_.Execute("INSERT INTO T (k, v) VALUES ('mine', 2)"));
  }
  EXPECT_FALSE(db_.InTransaction());

  ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  CADORecordset rs(&db_);
  ASSERT_TRUE(rs.Open("SELECT k FROM T"));
  ASSERT_EQ(rs.GetRecordCount(), 1);
  std::string k;
  rs.GetFieldValue("k", k);
  EXPECT_EQ(k, "other");
  EXPECT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES ('mine', 3)"));  // free again
}

TEST(AdoDatabaseTimeoutTest, ZeroMeansFiveSeconds) {
  CADODataBase db;
  EXPECT_EQ(db.GetConnectionTimeout(), 0);
  EXPECT_EQ(db.BusyTimeoutMs(), 5000);
  db.SetConnectionTimeout(3);
  EXPECT_EQ(db.BusyTimeoutMs(), 3000);
}

TEST_F(AdoDatabaseTest, OpensInWalMode) {
  CADORecordset rs(&db_);
  ASSERT_TRUE(rs.Open("PRAGMA journal_mode"));
  std::string mode;
  rs.GetFieldValue(0, mode);
  EXPECT_EQ(mode, "wal");
}

TEST_F(AdoDatabaseTest, MapsALargeFileWholeAndSizesItsCacheFromIt) {
  db_.Close();
  // Zero bytes past the pages the header counts are never read: a sparse 1.5 GB file.
  constexpr std::int64_t kBytes = 1536LL * 1024 * 1024;
  std::filesystem::resize_file(path_, kBytes);
  ASSERT_TRUE(db_.Open(ConnectionString(path_)));
  CADORecordset rs(&db_);
  long long mapped = 0, cache = 0;
  ASSERT_TRUE(rs.Open("PRAGMA mmap_size"));
  rs.GetFieldValue(0, mapped);
  ASSERT_TRUE(rs.Open("PRAGMA cache_size"));
  rs.GetFieldValue(0, cache);
  if (sizeof(void*) >= 8) {
    EXPECT_GE(mapped, kBytes);
  }
  EXPECT_EQ(cache, -kBytes / 64 / 1024);
  EXPECT_EQ(CountRows(db_, "T"), 0);
}

TEST_F(AdoDatabaseTest, ClosedObjectFailsEveryCallWithARecord) {
  db_.Close();
  EXPECT_EQ(db_.OpenHandleCount(), 0u);
  EXPECT_FALSE(db_.Execute("INSERT INTO T (k) VALUES ('x')"));
  EXPECT_EQ(db_.GetLastErrorDescription(), "the connection is not open");
  EXPECT_FALSE(db_.BeginTrans());
  CADORecordset rs(&db_);
  EXPECT_FALSE(rs.Open("SELECT * FROM T"));
  EXPECT_TRUE(rs.IsEof());
  EXPECT_EQ(DatabaseErrorForUser(rs.GetLastErrorText()), "数据库未打开");
}

// The file's bytes, and which of its side files exist.
struct FileState {
  std::string bytes;
  bool wal = false;
  bool shm = false;
  bool journal = false;
  bool operator==(const FileState&) const = default;
};
FileState StateOf(const std::string& path) {
  return {ReadBytes(path), std::filesystem::exists(path + "-wal"), std::filesystem::exists(path + "-shm"),
          std::filesystem::exists(path + "-journal")};
}

TEST_F(AdoDatabaseTest, ReadOnlyReadsAndRefusesEveryWriteWithoutTouchingTheFile) {
  ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES (?, ?)", {"a'b", 7}));
  db_.Close();  // the last WAL connection folds its log into the file and removes it
  const FileState before = StateOf(path_);
  ASSERT_FALSE(before.wal);

  CADODataBase ro;
  EXPECT_FALSE(ro.IsReadOnly());
  ro.SetReadOnly(true);
  EXPECT_TRUE(ro.IsReadOnly());
  ASSERT_TRUE(ro.Open(ConnectionString(path_))) << ro.GetLastErrorText();
  {
    CADORecordset rs(&ro);
    ASSERT_TRUE(rs.Open("SELECT v FROM T WHERE k = ?", {"a'b"}));
    int v = 0;
    rs.GetFieldValue(0, v);
    EXPECT_EQ(v, 7);
  }
  EXPECT_FALSE(ro.Execute("INSERT INTO T (k, v) VALUES ('x', 1)"));
  EXPECT_FALSE(ro.Execute("DELETE FROM T"));
  ro.Execute("PRAGMA journal_mode=DELETE");  // the engine may answer; the file must not change
  EXPECT_FALSE(ro.Execute("PRAGMA user_version=5"));
  EXPECT_FALSE(ro.BeginTrans() && ro.Execute("CREATE TABLE U (x)") && ro.CommitTrans());
  ro.RollbackTrans();
  // Another thread's handle is read-only as well.
  bool otherThreadWrote = true;
  std::thread([&] { otherThreadWrote = ro.Execute("INSERT INTO T (k, v) VALUES ('y', 2)"); }).join();
  EXPECT_FALSE(otherThreadWrote);
  ro.Close();
  // Not a byte changed, and no log or shared-memory file was left beside it.
  EXPECT_EQ(StateOf(path_), before);

  ASSERT_TRUE(db_.Open(ConnectionString(path_)));
  EXPECT_EQ(CountRows(db_, "T"), 1);
}

TEST_F(AdoDatabaseTest, ReadOnlySeesTheLogOfAFileThatIsStillOpen) {
  // A connection holds the file open in WAL mode with a change still in its log.
  ASSERT_TRUE(db_.Execute("INSERT INTO T (k, v) VALUES ('logged', 3)"));
  ASSERT_TRUE(std::filesystem::exists(path_ + "-wal"));
  const std::string fileBytes = ReadBytes(path_);

  CADODataBase ro;
  ro.SetReadOnly(true);
  ASSERT_TRUE(ro.Open(ConnectionString(path_))) << ro.GetLastErrorText();
  EXPECT_EQ(CountRows(ro, "T"), 1);
  EXPECT_FALSE(ro.Execute("DELETE FROM T"));
  ro.Close();
  EXPECT_EQ(ReadBytes(path_), fileBytes);
  EXPECT_EQ(CountRows(db_, "T"), 1);
}

TEST(AdoDatabaseReadOnlyTest, RollbackJournalFileAndOddPathsStayUntouched) {
  TempDir dir;
  // '%', '?' and '#' in the folder name must not be read as parts of a URI.
  const std::string folder = dir.File("a%20b?c#d");
  std::filesystem::create_directory(folder);
  const std::string path = folder + "/Custom.mdb";
  for (const bool wal : {false, true}) {
    std::filesystem::remove(path);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE T (x); INSERT INTO T VALUES (1), (2);", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    const FileState before = StateOf(path);

    CADODataBase ro;
    ro.SetReadOnly(true);
    ASSERT_TRUE(ro.Open("Data Source=" + path)) << ro.GetLastErrorText();
    EXPECT_EQ(CountRows(ro, "T"), 2) << "wal " << wal;
    EXPECT_FALSE(ro.Execute("INSERT INTO T VALUES (3)"));
    ro.Close();
    EXPECT_EQ(StateOf(path), before) << "wal " << wal;
  }
}

TEST(AdoDatabaseReadOnlyTest, MissingAndForeignFilesFailWithoutBeingMade) {
  TempDir dir;
  CADODataBase ro;
  ro.SetReadOnly(true);
  const std::string missing = dir.File("missing.mdb");
  EXPECT_FALSE(ro.Open("Data Source=" + missing));
  EXPECT_FALSE(std::filesystem::exists(missing));
  const std::string garbage = dir.File("garbage.mdb");
  const std::string bytes = std::string("\x00\x01\x00\x00Standard Jet DB", 19) + std::string(2048, '\x5a');
  std::ofstream(garbage, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_FALSE(ro.Open("Data Source=" + garbage));
  EXPECT_EQ(ro.GetLastError(), static_cast<DWORD>(SQLITE_NOTADB));
  EXPECT_EQ(ReadBytes(garbage), bytes);
  EXPECT_FALSE(std::filesystem::exists(garbage + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(garbage + "-journal"));
}

TEST(AdoExceptionTest, CarriesCodeAndText) {
  try {
    ThrowADOException(7, "text");
    FAIL();
  } catch (const CADOException& e) {
    EXPECT_EQ(e.GetErrorCode(), 7);
    EXPECT_STREQ(e.what(), "text");
  }
}

TEST(AdoDatabaseGlobalsTest, MayStayOpenUntilTheProcessEnds) {
  // The globals are destroyed after the main thread's own handle list: their Close at
  // exit must not touch that list any more (the sanitizer build watches this).
  static TempDir dir;
  const std::string path = dir.File("Custom.mdb");
  ASSERT_TRUE(CreateDatabaseFile(path));
  ASSERT_TRUE(g_ADODatabase_Custom.Open("Data Source=" + path));
  EXPECT_TRUE(g_ADODatabase_Custom.Execute("CREATE TABLE Kept (x INTEGER)"));
}
