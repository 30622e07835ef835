#include "storage/ado_database.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <limits>

#include "platform/ascii.h"
#include "platform/worker_registry.h"
#include "storage/ado_recordset.h"

CADODataBase g_ADODatabase;
CADODataBase g_ADODatabase_Custom;

// One thread's handle on one session of one database. The database object and the
// thread's exit guard both hold it; whichever is done first closes the handle. The
// owning thread holds the mutex while it uses the handle, so a Close from another
// thread waits for the statement in progress instead of pulling the handle away.
struct CADODataBase::HandleSlot {
  HandleSlot(sqlite3* h, std::uint64_t s) : handle(h), session(s) {}

  void CloseHandle() noexcept {
    std::lock_guard lock(mutex);
    if (handle != nullptr) {
      // The _v2 form never fails: a handle with live statements is closed when they end.
      sqlite3_close_v2(handle);
      handle = nullptr;
      open = false;
    }
  }

  std::recursive_mutex mutex;  // the owning thread may nest calls on its own handle
  sqlite3* handle;             // guarded by mutex
  std::atomic<bool> open{true};  // readable without the mutex, for bookkeeping only
  const std::uint64_t session;
};

namespace {

constexpr int kDefaultBusyMs = 5000;

// Every successful Open starts a session with a number never used before, so a
// thread's handle of an earlier session (or of a destroyed object) is never reused.
std::atomic<std::uint64_t> g_nextSession{1};

struct ThreadEntry {
  std::uint64_t session;
  std::shared_ptr<CADODataBase::HandleSlot> slot;
};

// Set when the thread's handle list is gone; trivially destructible, so it can still
// be read by the destructors of static objects that run after it (the globals).
thread_local bool t_handlesGone = false;

// The calling thread's handles; closed when the thread ends.
struct ThreadHandles {
  std::vector<ThreadEntry> entries;

  ~ThreadHandles() {
    for (auto& entry : entries) entry.slot->CloseHandle();
    t_handlesGone = true;
  }
  ThreadEntry* Find(std::uint64_t session) {
    for (auto& entry : entries) {
      if (entry.session == session) return &entry;
    }
    return nullptr;
  }
  // Adds a handle and forgets the entries whose handles were closed by their owners.
  void Add(std::uint64_t session, std::shared_ptr<CADODataBase::HandleSlot> slot) {
    std::erase_if(entries, [](const ThreadEntry& e) { return !e.slot->open; });
    entries.push_back({session, std::move(slot)});
  }
};

thread_local ThreadHandles t_handles;

// Null once the calling thread has begun to end.
ThreadHandles* ThisThread() { return t_handlesGone ? nullptr : &t_handles; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Hex8(std::uint32_t code) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = kDigits[code & 0xF];
    code >>= 4;
  }
  return out;
}

// A database file in WAL mode (write version 2 at header offset 18) with no "-wal"
// file beside it.
bool IsQuietWalFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  unsigned char header[20] = {};
  const std::size_t got = std::fread(header, 1, sizeof header, file);
  std::fclose(file);
  static constexpr char kMagic[] = "SQLite format 3";  // with its terminating zero: 16 bytes
  if (got < sizeof header || std::memcmp(header, kMagic, sizeof kMagic) != 0) return false;
  if (header[18] != 2 || header[19] != 2) return false;
  struct stat st {};
  return ::stat((path + "-wal").c_str(), &st) != 0 && errno == ENOENT;
}

// "file:" URI of a path, read-only and immutable; '%', '?' and '#' escaped.
std::string ImmutableUri(const std::string& path) {
  std::string uri = path.starts_with('/') ? "file://" : "file:";
  for (const char c : path) {
    if (c == '%') {
      uri += "%25";
    } else if (c == '?') {
      uri += "%3F";
    } else if (c == '#') {
      uri += "%23";
    } else {
      uri += c;
    }
  }
  return uri + "?mode=ro&immutable=1";
}

// SQLite counts every allocation of every connection under one process-wide lock, so
// that searches side by side, each on its own connection, wait on each other. Nothing
// here reads those counts: they are switched off before SQLite starts.
const bool kAllocationCountsOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;

// Runs one settings statement (any rows it returns are ignored).
int RunSetup(sqlite3* handle, const char* sql) { return sqlite3_exec(handle, sql, nullptr, nullptr, nullptr); }

// Pages read by one view are read again by the next. Where the address space allows,
// the whole file is mapped, with room for what this session adds, rather than each
// page copied; the page cache grows with the file, from 16 MB up to 64 MB.
struct CacheSetup {
  std::string cacheSize;
  std::string mmapSize;
};

CacheSetup CacheSetupFor(const std::string& path) {
  constexpr std::int64_t kMiB = 1024 * 1024;
  struct stat file {};
  const std::int64_t bytes = stat(path.c_str(), &file) == 0 ? static_cast<std::int64_t>(file.st_size) : 0;
  const std::int64_t cacheKiB = std::clamp<std::int64_t>(bytes / 64, 16 * kMiB, 64 * kMiB) / 1024;
  std::int64_t mapped = 256 * kMiB;
  if constexpr (sizeof(void*) >= 8) mapped = std::max(mapped, bytes + 256 * kMiB);
  return {"PRAGMA cache_size=-" + std::to_string(cacheKiB), "PRAGMA mmap_size=" + std::to_string(mapped)};
}

}  // namespace

// ---------------------------------------------------------------------------------

void ThrowADOException(int code, const std::string& text) { throw CADOException(code, text); }

std::string FormatErrorReport(std::string_view heading, std::uint32_t code, std::string_view description) {
  std::string report(heading);
  report += "\n\tCode = ";
  report += Hex8(code);
  report += "\n\tCode meaning = ";
  report += sqlite3_errstr(static_cast<int>(code));
  report += "\n\tSource = SQLite\n\tDescription = ";
  report += description;
  report += '\n';
  return report;
}

std::string DatabaseErrorForUser(std::string_view errorText) {
  if (errorText.find("is not open") != std::string_view::npos ||
      errorText.find("has no connection") != std::string_view::npos) {
    return "数据库未打开";
  }
  struct Reason {
    int code;
    const char* text;
  };
  static constexpr Reason kReasons[] = {
      {SQLITE_BUSY, "数据库正忙"},          {SQLITE_LOCKED, "数据库正忙"},
      {SQLITE_NOMEM, "内存不足"},           {SQLITE_READONLY, "数据库文件只读"},
      {SQLITE_INTERRUPT, "查询被中断"},     {SQLITE_IOERR, "读写数据库文件出错"},
      {SQLITE_CORRUPT, "数据库文件已损坏"}, {SQLITE_NOTADB, "数据库文件已损坏"},
      {SQLITE_FULL, "磁盘已满"},            {SQLITE_CANTOPEN, "无法打开数据库文件"},
      {SQLITE_PERM, "没有访问数据库文件的权限"}};
  int code = -1;
  const std::size_t at = errorText.find("Code = ");
  if (at != std::string_view::npos && at + 15 <= errorText.size()) {
    const std::string_view hex = errorText.substr(at + 7, 8);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
    if (ec == std::errc() && end == hex.data() + hex.size()) code = static_cast<int>(value & 0xFFu);
  } else {
    // A description alone: the library's own wording of its codes.
    for (const Reason& reason : kReasons) {
      if (errorText.find(sqlite3_errstr(reason.code)) != std::string_view::npos) code = reason.code;
    }
  }
  for (const Reason& reason : kReasons) {
    if (reason.code == code) return reason.text;
  }
  return "数据库错误（详见DebugLog.txt）";
}

std::string ExceptionTextForUser(const std::exception& e) {
  if (const auto* db = dynamic_cast<const CADOException*>(&e)) {
    return DatabaseErrorForUser(FormatErrorReport("", static_cast<std::uint32_t>(db->GetErrorCode()), db->what()));
  }
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return "内存不足";
  if (const auto* file = dynamic_cast<const std::filesystem::filesystem_error*>(&e)) {
    const int error = file->code().value();
    if (error == ENOSPC || error == EDQUOT) return "磁盘已满";
    if (error == EACCES || error == EPERM || error == EROFS) return "权限不够";
    return "读写文件出错";
  }
  return "程序内部错误（详见DebugLog.txt）";
}

std::string DataSourceOf(std::string_view cs) {
  std::size_t pos = 0;
  while (pos < cs.size()) {
    const std::size_t eq = cs.find('=', pos);
    if (eq == std::string_view::npos) break;
    const std::string_view key = Trim(cs.substr(pos, eq - pos));
    std::size_t valueStart = eq + 1;
    while (valueStart < cs.size() && IsBlank(cs[valueStart])) ++valueStart;
    std::string_view value;
    std::size_t next;
    std::string unquoted;
    if (valueStart < cs.size() && (cs[valueStart] == '"' || cs[valueStart] == '\'')) {
      // Within the quotes, the quote character doubled stands for itself.
      const char quote = cs[valueStart];
      std::size_t end = valueStart + 1;
      for (; end < cs.size(); ++end) {
        if (cs[end] != quote) {
          unquoted += cs[end];
        } else if (end + 1 < cs.size() && cs[end + 1] == quote) {
          unquoted += quote;
          ++end;
        } else {
          break;
        }
      }
      value = unquoted;
      next = cs.find(';', end);
    } else {
      next = cs.find(';', valueStart);
      value = Trim(cs.substr(valueStart, next == std::string_view::npos ? cs.size() - valueStart : next - valueStart));
    }
    if (EqualsNoCase(key, "Data Source")) return std::string(value);
    if (next == std::string_view::npos) break;
    pos = next + 1;
  }
  return {};
}

std::string ConnectionStringFor(const std::string& path) {
  std::string cs = "Data Source=\"";
  for (const char c : path) {
    if (c == '"') cs += '"';
    cs += c;
  }
  return cs + "\";";
}

bool IsBareTableName(std::string_view text) {
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool digit = c >= '0' && c <= '9';
    if (!(letter || (digit && i > 0))) return false;
  }
  return true;
}

void StatementFinalizer::operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }

bool BindValues(sqlite3_stmt* statement, const std::vector<DbValue>& params, int& code, std::string& message) {
  sqlite3* handle = sqlite3_db_handle(statement);
  const int expected = sqlite3_bind_parameter_count(statement);
  if (static_cast<std::size_t>(expected) != params.size()) {
    code = SQLITE_RANGE;
    message = "the statement takes " + std::to_string(expected) + " values, " + std::to_string(params.size()) +
              " were given";
    return false;
  }
  for (std::size_t i = 0; i < params.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    const DbValue& value = params[i];
    int bound = SQLITE_OK;
    switch (value.kind()) {
      case DbValue::Kind::Null: bound = sqlite3_bind_null(statement, index); break;
      case DbValue::Kind::Integer: bound = sqlite3_bind_int64(statement, index, value.AsInteger()); break;
      case DbValue::Kind::Real: bound = sqlite3_bind_double(statement, index, value.AsReal()); break;
      case DbValue::Kind::Text:
        bound = sqlite3_bind_text64(statement, index, value.AsText().data(), value.AsText().size(),
                                    SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    if (bound != SQLITE_OK) {
      code = bound;
      message = sqlite3_errmsg(handle);
      return false;
    }
  }
  return true;
}

StatementPtr PrepareBound(sqlite3* handle, std::string_view sql, const std::vector<DbValue>& params, int& code,
                          std::string& message) {
  StatementPtr statement = PrepareOne(handle, sql, code, message);
  if (!statement) return nullptr;
  if (!BindValues(statement.get(), params, code, message)) return nullptr;
  return statement;
}

StatementPtr PrepareOne(sqlite3* handle, std::string_view sql, int& code, std::string& message) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    code = SQLITE_TOOBIG;
    message = "the statement is too long";
    return nullptr;
  }
  const int rc = sqlite3_prepare_v2(handle, sql.data(), static_cast<int>(sql.size()), &raw, &tail);
  StatementPtr statement(raw);
  if (rc != SQLITE_OK) {
    code = sqlite3_extended_errcode(handle);
    message = sqlite3_errmsg(handle);
    return nullptr;
  }
  if (!statement) {
    code = SQLITE_MISUSE;
    message = "no statement to run";
    return nullptr;
  }
  for (const char* p = tail; p != nullptr && p < sql.data() + sql.size(); ++p) {
    if (!IsBlank(*p) && *p != ';') {
      code = SQLITE_MISUSE;
      message = "only one statement can run per call";
      return nullptr;
    }
  }
  return statement;
}

// ---------------------------------------------------------------------------------
// CADODataBase

CADODataBase::CADODataBase() = default;

CADODataBase::~CADODataBase() noexcept { Close(); }

bool CADODataBase::Open(const std::string& connectionString, const std::string&, const std::string&) {
  Close();
  std::string stored;
  {
    std::lock_guard lock(stateMutex_);
    if (!connectionString.empty()) connectionString_ = connectionString;
    stored = connectionString_;
  }
  const std::string path = DataSourceOf(stored);
  if (path.empty()) {
    RecordError(SQLITE_CANTOPEN, stored.empty() ? "no connection string was given"
                                                : "the connection string names no Data Source");
    return false;
  }
  int code = 0;
  std::string message;
  sqlite3* handle = OpenHandle(path, BusyTimeoutMs(), code, message);
  if (handle == nullptr) {
    RecordError(code, message);
    return false;
  }
  const std::uint64_t session = g_nextSession.fetch_add(1);
  auto slot = std::make_shared<HandleSlot>(handle, session);
  {
    std::lock_guard lock(stateMutex_);
    path_ = path;
    session_ = session;
    slots_.push_back(slot);
  }
  if (ThreadHandles* mine = ThisThread()) {
    mine->Add(session, std::move(slot));
  }
  openFailureTold_ = false;
  return true;
}

sqlite3* CADODataBase::OpenHandle(const std::string& path, int busyMs, int& code, std::string& message) {
  sqlite3* handle = nullptr;
  // Never a create: a missing file is an error, never a new empty database. The
  // engine's own per-call locking is left out (no-mutex mode): a handle serves one
  // thread, and the slot mutex covers the rare close from another thread.
  const bool readOnly = readOnly_;
  int rc;
  if (readOnly && IsQuietWalFile(path)) {
    // A read-only handle on a WAL file would leave "-shm" and "-wal" files beside it.
    // With no "-wal" there, no connection has the file open and every change is in
    // the file itself, so it is read as immutable: nothing is created beside it.
    rc = sqlite3_open_v2(ImmutableUri(path).c_str(), &handle,
                         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
  } else {
    const int access = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    rc = sqlite3_open_v2(path.c_str(), &handle, access | SQLITE_OPEN_NOMUTEX, nullptr);
  }
  if (rc == SQLITE_OK) {
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, busyMs);
    // The first statement reads the header and the schema, so a file that is not a
    // database fails here, before the journal mode could write anything into it.
    // Checkpoints (the only syncs under synchronous=NORMAL) come every 4,000 pages
    // rather than every 1,000: a day's one-transaction-per-stock writes stay cheap.
    // A read-only handle keeps the file's journal mode and settings as they are.
    const CacheSetup cache = CacheSetupFor(path);
    const char* const kWritableSetup[] = {"SELECT count(*) FROM sqlite_master", "PRAGMA journal_mode=WAL",
                                          "PRAGMA synchronous=NORMAL",           "PRAGMA wal_autocheckpoint=4000",
                                          cache.cacheSize.c_str(),               cache.mmapSize.c_str()};
    const char* const kReadOnlySetup[] = {"SELECT count(*) FROM sqlite_master", "PRAGMA query_only=1",
                                          cache.cacheSize.c_str()};
    const auto run = [&](const auto& statements) {
      for (const char* setup : statements) {
        rc = RunSetup(handle, setup);
        if (rc != SQLITE_OK) break;
      }
    };
    if (readOnly) {
      run(kReadOnlySetup);
    } else {
      run(kWritableSetup);
    }
  }
  if (rc != SQLITE_OK) {
    code = handle != nullptr ? sqlite3_extended_errcode(handle) : rc;
    message = handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
    sqlite3_close_v2(handle);
    return nullptr;
  }
  sqlite3_trace_v2(handle, SQLITE_TRACE_STMT, &CADODataBase::TraceThunk, this);
  return handle;
}

bool CADODataBase::IsOpen() const noexcept {
  std::lock_guard lock(stateMutex_);
  return session_ != 0;
}

void CADODataBase::Close() noexcept {
  std::vector<std::shared_ptr<HandleSlot>> slots;
  {
    std::lock_guard lock(stateMutex_);
    session_ = 0;
    slots.swap(slots_);
  }
  // This thread's own handles first: one of them may hold a lock another thread's
  // statement is waiting for, and that statement keeps its handle until it ends.
  if (const ThreadHandles* mine = ThisThread()) {
    std::stable_partition(slots.begin(), slots.end(), [mine](const std::shared_ptr<HandleSlot>& slot) {
      return std::any_of(mine->entries.begin(), mine->entries.end(),
                         [&](const ThreadEntry& entry) { return entry.slot == slot; });
    });
  }
  for (auto& slot : slots) slot->CloseHandle();
}

void CADODataBase::SetConnectionTimeout(int seconds) noexcept { timeoutSeconds_ = seconds; }

void CADODataBase::SetReadOnly(bool readOnly) noexcept { readOnly_ = readOnly; }

bool CADODataBase::IsReadOnly() const noexcept { return readOnly_; }

int CADODataBase::GetConnectionTimeout() const noexcept { return timeoutSeconds_; }

int CADODataBase::BusyTimeoutMs() const noexcept {
  const int seconds = timeoutSeconds_;
  if (seconds <= 0) return kDefaultBusyMs;
  return seconds > std::numeric_limits<int>::max() / 1000 ? std::numeric_limits<int>::max() : seconds * 1000;
}

CADODataBase::ThreadHandle CADODataBase::AcquireHandle() {
  std::uint64_t session;
  std::string path;
  {
    std::lock_guard lock(stateMutex_);
    session = session_;
    path = path_;
  }
  ThreadHandle result;
  const auto notOpen = [&] {
    result.handle = nullptr;
    result.lock = {};
    result.code = SQLITE_MISUSE;
    result.message = "the connection is not open";
    RecordError(result.code, result.message);
    return std::move(result);
  };
  ThreadHandles* mine = ThisThread();
  if (session == 0 || mine == nullptr) return notOpen();
  if (ThreadEntry* entry = mine->Find(session)) {
    std::unique_lock lock(entry->slot->mutex);
    if (entry->slot->handle != nullptr) {
      result.handle = entry->slot->handle;
      result.lock = std::move(lock);
      return result;
    }
  }

  // This thread's first call on this session: its own handle, same settings.
  sqlite3* handle = OpenHandle(path, BusyTimeoutMs(), result.code, result.message);
  if (handle == nullptr) {
    RecordError(result.code, result.message);
    return result;
  }
  auto slot = std::make_shared<HandleSlot>(handle, session);
  bool registered = false;
  {
    std::lock_guard lock(stateMutex_);
    if (session_ == session) {
      std::erase_if(slots_, [](const std::shared_ptr<HandleSlot>& s) { return !s->open; });
      slots_.push_back(slot);
      registered = true;
    }
  }
  if (!registered) {  // closed while we were opening
    slot->CloseHandle();
    return notOpen();
  }
  mine->Add(session, slot);
  std::unique_lock lock(slot->mutex);
  if (slot->handle == nullptr) return notOpen();
  result.handle = slot->handle;
  result.lock = std::move(lock);
  return result;
}

CADODataBase::ThreadHandle CADODataBase::ExistingHandle() const {
  std::uint64_t session;
  {
    std::lock_guard lock(stateMutex_);
    session = session_;
  }
  ThreadHandle result;
  ThreadHandles* mine = ThisThread();
  ThreadEntry* entry = (session != 0 && mine != nullptr) ? mine->Find(session) : nullptr;
  if (entry != nullptr) {
    std::unique_lock lock(entry->slot->mutex);
    if (entry->slot->handle != nullptr) {
      result.handle = entry->slot->handle;
      result.lock = std::move(lock);
    }
  }
  return result;
}

bool CADODataBase::InterruptWhenClosing() {
  // The handler is looked at every few thousand steps of a statement.
  constexpr int kSteps = 4096;
  ThreadHandle th = AcquireHandle();
  if (th.handle == nullptr) return false;
  sqlite3_progress_handler(th.handle, kSteps, [](void*) { return g_bClosing.load() ? 1 : 0; }, nullptr);
  return true;
}

std::size_t CADODataBase::OpenHandleCount() const {
  std::lock_guard lock(stateMutex_);
  return static_cast<std::size_t>(
      std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return s->open.load(); }));
}

std::optional<long> StepToEnd(sqlite3* handle, sqlite3_stmt* statement, int& code, std::string& message) {
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) {
    code = sqlite3_extended_errcode(handle);
    message = sqlite3_errmsg(handle);
    return std::nullopt;
  }
  return sqlite3_stmt_readonly(statement) ? -1L : static_cast<long>(sqlite3_changes(handle));
}

bool CADODataBase::Execute(const std::string& sql) { return Execute(sql, {}); }

bool CADODataBase::Execute(const std::string& sql, const std::vector<DbValue>& params) {
  recordsAffected_ = 0;
  const ThreadHandle th = AcquireHandle();
  if (th.handle == nullptr) return false;
  int code = 0;
  std::string message;
  StatementPtr statement = PrepareBound(th.handle, sql, params, code, message);
  if (!statement) {
    RecordError(code, message);
    return false;
  }
  const std::optional<long> affected = StepToEnd(th.handle, statement.get(), code, message);
  if (!affected) {
    RecordError(code, message);
    return false;
  }
  recordsAffected_ = *affected;
  return true;
}

long CADODataBase::GetRecordsAffected() const noexcept { return recordsAffected_; }

std::int64_t CADODataBase::LastInsertRowId() {
  const ThreadHandle th = ExistingHandle();
  return th.handle != nullptr ? sqlite3_last_insert_rowid(th.handle) : 0;
}

bool CADODataBase::BeginTrans() { return Execute("BEGIN IMMEDIATE"); }

bool CADODataBase::CommitTrans() { return Execute("COMMIT"); }

bool CADODataBase::RollbackTrans() {
  // The engine may already have rolled back after the failure that brought us here;
  // then the record of that failure is worth more than "no transaction is active".
  if (!InTransaction()) return false;
  return Execute("ROLLBACK");
}

bool CADODataBase::InTransaction() {
  const ThreadHandle th = ExistingHandle();
  return th.handle != nullptr && sqlite3_get_autocommit(th.handle) == 0;
}

std::string CADODataBase::GetConnectionString() const {
  std::lock_guard lock(stateMutex_);
  return connectionString_;
}

long CADODataBase::GetRecordCount(CADORecordset& recordset) { return recordset.GetRecordCount(); }

std::string CADODataBase::GetLastErrorText() const {
  std::lock_guard lock(errorMutex_);
  return lastErrorText_;
}

std::string CADODataBase::GetLastErrorDescription() const {
  std::lock_guard lock(errorMutex_);
  return lastErrorDescription_;
}

DWORD CADODataBase::GetLastError() const {
  std::lock_guard lock(errorMutex_);
  return lastError_;
}

void CADODataBase::RecordError(int code, const std::string& description) {
  const DWORD dword = static_cast<DWORD>(code);
  std::string text = "Connection String = " + GetConnectionString() + "\n" +
                     FormatErrorReport("CADODataBase Error", dword, description);
  std::lock_guard lock(errorMutex_);
  lastErrorText_ = std::move(text);
  lastErrorDescription_ = description;
  lastError_ = dword;
}

void CADODataBase::SetStatementTrace(StatementTrace trace) {
  std::lock_guard lock(traceMutex_);
  if (trace) {
    trace_ = std::make_shared<const StatementTrace>(std::move(trace));
  } else {
    trace_.reset();
  }
  hasTrace_ = trace_ != nullptr;
}

int CADODataBase::TraceThunk(unsigned type, void* context, void*, void* text) {
  auto* self = static_cast<CADODataBase*>(context);
  if (type != SQLITE_TRACE_STMT || !self->hasTrace_) return 0;
  std::shared_ptr<const StatementTrace> trace;
  {
    std::lock_guard lock(self->traceMutex_);
    trace = self->trace_;
  }
  const char* sql = static_cast<const char*>(text);
  if (!trace || sql == nullptr) return 0;
  // Statements run by triggers are reported as "-- ..." comments; they are not ours.
  if (sql[0] == '-' && sql[1] == '-') return 0;
  try {
    (*trace)(sql);
  } catch (...) {
    // A test hook must not unwind through the engine.
  }
  return 0;
}

// ---------------------------------------------------------------------------------
// CADOTransaction

CADOTransaction::CADOTransaction(CADODataBase& db) : db_(db), active_(db.BeginTrans()) {}

CADOTransaction::~CADOTransaction() noexcept { Rollback(); }

bool CADOTransaction::Commit() {
  if (!active_) return false;
  if (!db_.CommitTrans()) return false;  // still open: the destructor rolls it back
  active_ = false;
  return true;
}

void CADOTransaction::Rollback() noexcept {
  if (!active_) return;
  active_ = false;
  try {
    db_.RollbackTrans();
  } catch (...) {
    // Only allocation can throw here; the handle's transaction then ends with the handle.
  }
}
