#include "storage/row_cursor.h"

#include <sqlite3.h>

#include "storage/ole_types.h"

RowCursor::RowCursor(CADODataBase& db) : db_(db) {}

RowCursor::RowCursor(CADODataBase& db, std::string_view sql, const std::vector<DbValue>& params) : db_(db) {
  Open(sql, params);
}

RowCursor::~RowCursor() = default;

void RowCursor::Fail(int code, std::string message) {
  failed_ = true;
  errorCode_ = code;
  error_ = std::move(message);
  db_.RecordError(code, error_);
}

bool RowCursor::Open(std::string_view sql, const std::vector<DbValue>& params) {
  statement_.reset();
  onRow_ = false;
  atEnd_ = false;
  failed_ = false;
  error_.clear();
  if (handle_.handle == nullptr) {
    handle_ = db_.AcquireHandle();
    if (handle_.handle == nullptr) {
      failed_ = true;
      errorCode_ = 0;
      error_ = handle_.message;
      return false;  // AcquireHandle filled the error record
    }
  }
  int code = 0;
  std::string message;
  sql_.assign(sql);
  statement_ = PrepareBound(handle_.handle, sql, params, code, message);
  if (!statement_) {
    Fail(code, std::move(message));
    return false;
  }
  return true;
}

bool RowCursor::Run(std::string_view sql, const std::vector<DbValue>& params) {
  return statement_ && sql == sql_ ? Rerun(params) : Open(sql, params);
}

bool RowCursor::Rerun(const std::vector<DbValue>& params) {
  onRow_ = false;
  atEnd_ = false;
  failed_ = false;
  error_.clear();
  if (!statement_) {
    Fail(SQLITE_MISUSE, "no statement to run again");
    return false;
  }
  sqlite3_reset(statement_.get());
  sqlite3_clear_bindings(statement_.get());
  int code = 0;
  std::string message;
  if (!BindValues(statement_.get(), params, code, message)) {
    Fail(code, std::move(message));
    return false;
  }
  return true;
}

bool RowCursor::Next() {
  if (!statement_ || atEnd_) return false;
  const int rc = sqlite3_step(statement_.get());
  onRow_ = rc == SQLITE_ROW;
  if (onRow_) return true;
  if (rc != SQLITE_DONE) {
    Fail(sqlite3_extended_errcode(handle_.handle), sqlite3_errmsg(handle_.handle));
    statement_.reset();
    return false;
  }
  // Kept for Rerun; the reset ends the read.
  sqlite3_reset(statement_.get());
  atEnd_ = true;
  return false;
}

std::string_view RowCursor::Text(int column) const {
  sqlite3_stmt* st = statement_.get();
  if (st == nullptr || !onRow_) return {};
  // The bytes as stored (the files are UTF-8): sqlite3_column_text would copy each
  // text to end it with a NUL, which a view does not need.
  const auto* p = static_cast<const char*>(sqlite3_column_blob(st, column));
  if (p == nullptr) return {};
  return {p, static_cast<std::size_t>(sqlite3_column_bytes(st, column))};
}

double RowCursor::Double(int column) const {
  return statement_ && onRow_ ? sqlite3_column_double(statement_.get(), column) : 0.0;
}

std::string RowCursor::RecordsetErrorText() const {
  return "Query = " + sql_ + "\n" +
         FormatErrorReport("CADORecordset Error", static_cast<std::uint32_t>(errorCode_), error_);
}

double RowCursor::Number(int column) const {
  if (!statement_ || !onRow_) return 0.0;
  if (sqlite3_column_type(statement_.get(), column) == SQLITE_TEXT) return ParseNumberC(Text(column));
  return sqlite3_column_double(statement_.get(), column);
}

std::int64_t RowCursor::Int(int column) const {
  return statement_ && onRow_ ? sqlite3_column_int64(statement_.get(), column) : 0;
}

bool RowCursor::IsNull(int column) const {
  return !statement_ || !onRow_ || sqlite3_column_type(statement_.get(), column) == SQLITE_NULL;
}

RowCursor::CellClass RowCursor::ClassOf(int column) const {
  if (!statement_ || !onRow_) return CellClass::Null;
  switch (sqlite3_column_type(statement_.get(), column)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return CellClass::Number;
    case SQLITE_TEXT:
      return CellClass::Text;
    case SQLITE_BLOB:
      return CellClass::Blob;
    default:
      return CellClass::Null;
  }
}
