#pragma once
// The connection class of the storage layer, over SQLite.
//
// One CADODataBase stands for one database file. Behind the object every thread has
// its own sqlite3 handle: the handle opened by Open serves the opening thread, any
// other thread gets one opened on first use from the stored path, with the same
// settings. So workers and the user-interface thread never share a statement, and a
// transaction belongs to the thread that began it. Handles of a thread that ends are
// closed with it; Close closes them all.
//
// Failures are results: every operation returns false and leaves an error record on
// the object ("Connection String = ..." then the report); nothing is thrown, shown or
// logged.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"
#include "storage/db_value.h"

struct sqlite3;
struct sqlite3_stmt;
class CADORecordset;

// The exception type of the layer. Nothing in the layer raises it; it exists for
// callers that want to turn an error record into an exception of their own.
class CADOException : public std::exception {
 public:
  CADOException(int code, std::string text) : code_(code), text_(std::move(text)) {}
  int GetErrorCode() const noexcept { return code_; }
  const std::string& GetErrorMessage() const noexcept { return text_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  int code_;
  std::string text_;
};

[[noreturn]] void ThrowADOException(int code, const std::string& text);

// The report block shared by the wrapper classes:
// "<heading>\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = SQLite\n\tDescription = %s\n"
// with the code meaning taken from sqlite3_errstr.
std::string FormatErrorReport(std::string_view heading, std::uint32_t code, std::string_view description);

// What a failed statement's error text (a report as above, or a description alone)
// tells the user, in Chinese: "数据库未打开" for a connection or recordset that is not
// open, a short reason for a busy, damaged, read-only or full database, else a general
// "数据库错误" that points to the debug log. The English text itself is for the log.
std::string DatabaseErrorForUser(std::string_view errorText);
// The same for an exception a job caught: a database error as above, no memory, a file
// that could not be read or written, or a general reason that points to the debug log.
std::string ExceptionTextForUser(const std::exception& e);

// The path given by "Data Source=" in a connection string such as
// "Provider=...;Data Source=/x/CJHB.mdb;Jet OLEDB:Database Password=...". Keys are
// matched without regard to case; a value may be enclosed in single or double quotes,
// and within them the quote character doubled stands for itself.
// "" when the string names no data source.
std::string DataSourceOf(std::string_view connectionString);
// "Data Source=<path>;" with the path in double quotes, so that a ';' in it is no
// separator, and each double quote in it doubled: any path reads back whole.
std::string ConnectionStringFor(const std::string& path);

// A prepared statement that finalizes itself.
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const noexcept;
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Prepares exactly one statement on `handle` and binds `params` to its `?` in order.
// On failure returns null with the SQLite result code and a description: the
// engine's message, or ours for an empty text, a second statement in the text or a
// count of values that does not match the statement's parameters.
StatementPtr PrepareBound(sqlite3* handle, std::string_view sql, const std::vector<DbValue>& params,
                          int& code, std::string& message);
// ^[A-Za-z_][A-Za-z0-9_]*$: a bare table name, safe to put between double quotes.
bool IsBareTableName(std::string_view text);
// Prepares exactly one statement on `handle` without binding anything; the same
// failures as PrepareBound's apart from the count of values.
StatementPtr PrepareOne(sqlite3* handle, std::string_view sql, int& code, std::string& message);
// Binds `params` to the `?` of a prepared (or reset) statement, in order; the same
// failures as PrepareBound's for a wrong count or a value that cannot be bound.
bool BindValues(sqlite3_stmt* statement, const std::vector<DbValue>& params, int& code, std::string& message);
// Runs a prepared statement on `handle` to its end, rows read and dropped. Returns
// the rows it changed: -1 for a statement that changes nothing by its kind (a query,
// BEGIN, COMMIT), never the count left over from an earlier statement. nullopt on
// failure, with the extended result code and the engine's message.
std::optional<long> StepToEnd(sqlite3* handle, sqlite3_stmt* statement, int& code, std::string& message);

class CADODataBase {
 public:
  CADODataBase();
  virtual ~CADODataBase() noexcept;
  CADODataBase(const CADODataBase&) = delete;
  CADODataBase& operator=(const CADODataBase&) = delete;

  // Opens the file named by the string's "Data Source=" (other keys, the user and the
  // password are accepted and ignored). An empty string reopens with the stored one.
  // The file must exist and be a database: it is never created. An open object is
  // closed first.
  bool Open(const std::string& connectionString = "", const std::string& user = "",
            const std::string& password = "");
  bool IsOpen() const noexcept;
  void Close() noexcept;
  // Set once the user was told that the file could not be opened (the start's box);
  // an Open that succeeds clears it. Reads that only colour or complete a page fail
  // quietly then instead of telling the same fault again.
  void SetOpenFailureTold(bool told) noexcept { openFailureTold_ = told; }
  bool OpenFailureTold() const noexcept { return openFailureTold_ && !IsOpen(); }

  // The connection time-out in seconds becomes the busy timeout of every handle
  // opened afterwards; 0 (the default) means 5 seconds.
  void SetConnectionTimeout(int seconds) noexcept;
  int GetConnectionTimeout() const noexcept;
  int BusyTimeoutMs() const noexcept;

  // Read-only handles (set before Open; it applies to every handle opened afterwards):
  // the file is opened with SQLite's read-only flag, as a "mode=ro" URI would open it,
  // and none of the settings statements that write to it run, so its bytes never
  // change. A WAL file that no connection has open (no "-wal" beside it) is read as
  // immutable, so no "-shm" or "-wal" file is created beside it either. Every write
  // then fails with SQLITE_READONLY.
  void SetReadOnly(bool readOnly) noexcept;
  bool IsReadOnly() const noexcept;

  // Runs one statement to its end on the calling thread's handle; values are bound
  // to its `?` in order.
  bool Execute(const std::string& sql);
  bool Execute(const std::string& sql, const std::vector<DbValue>& params);
  // Rows changed by the last successful Execute, -1 when it was a query or a
  // transaction step (0 after a failure).
  long GetRecordsAffected() const noexcept;
  // The rowid of the last insert on the calling thread's handle.
  std::int64_t LastInsertRowId();

  // Transactions of the calling thread's handle. BeginTrans takes the write lock at
  // once (waiting up to the busy timeout); one transaction per thread at a time, so a
  // second BeginTrans on the same thread fails. RollbackTrans without an open
  // transaction returns false and keeps the error record as it was.
  bool BeginTrans();
  bool CommitTrans();
  bool RollbackTrans();
  bool InTransaction();

  std::string GetConnectionString() const;
  long GetRecordCount(CADORecordset& recordset);

  std::string GetLastErrorText() const;
  std::string GetLastErrorDescription() const;
  DWORD GetLastError() const;
  // Fills the error record as a failure of the given SQLite result code would.
  void RecordError(int code, const std::string& description);

  // Test seam: called with the text of every statement as written, before its values
  // are bound (never with the values expanded), on whatever thread runs it. Internal
  // settings statements of a handle being opened are not reported.
  using StatementTrace = std::function<void(const std::string& sql)>;
  void SetStatementTrace(StatementTrace trace);

  // The calling thread's handle, opened on first use, held for as long as this
  // object lives (keep it no longer than the statement that needs it). On failure
  // handle is null and code/message say why (the error record is filled too).
  struct ThreadHandle {
    sqlite3* handle = nullptr;
    int code = 0;
    std::string message;
    std::unique_lock<std::recursive_mutex> lock;
  };
  ThreadHandle AcquireHandle();
  // Handles currently open behind this object, over all threads.
  std::size_t OpenHandleCount() const;
  // For a worker: from now on the calling thread's handle gives up a running statement
  // (it fails as interrupted) once the program is closing (g_bClosing), so that a long
  // query does not outlast the wait for the workers. False when no handle could be opened.
  bool InterruptWhenClosing();

  struct HandleSlot;  // one thread's handle; shared with that thread's exit guard

 private:
  sqlite3* OpenHandle(const std::string& path, int busyMs, int& code, std::string& message);
  // The calling thread's handle of the current session, without opening one.
  ThreadHandle ExistingHandle() const;
  static int TraceThunk(unsigned type, void* context, void* statement, void* text);

  mutable std::mutex stateMutex_;
  std::string connectionString_;
  std::string path_;
  std::uint64_t session_ = 0;  // 0 = closed; a new number for every successful Open
  std::atomic<int> timeoutSeconds_{0};
  std::atomic<bool> readOnly_{false};
  std::atomic<bool> openFailureTold_{false};
  std::vector<std::shared_ptr<HandleSlot>> slots_;

  mutable std::mutex errorMutex_;
  std::string lastErrorText_;
  std::string lastErrorDescription_;
  DWORD lastError_ = 0;

  std::atomic<long> recordsAffected_{0};

  std::atomic<bool> hasTrace_{false};
  mutable std::mutex traceMutex_;
  std::shared_ptr<const StatementTrace> trace_;
};

// Rolls the calling thread's transaction back unless Commit succeeded. It must end on
// the thread that made it.
class CADOTransaction {
 public:
  explicit CADOTransaction(CADODataBase& db);
  ~CADOTransaction() noexcept;
  CADOTransaction(const CADOTransaction&) = delete;
  CADOTransaction& operator=(const CADOTransaction&) = delete;

  bool IsActive() const noexcept { return active_; }
  bool Commit();
  void Rollback() noexcept;

 private:
  CADODataBase& db_;
  bool active_ = false;
};

extern CADODataBase g_ADODatabase;         // "CJHB.mdb"
extern CADODataBase g_ADODatabase_Custom;  // "Custom.mdb"
