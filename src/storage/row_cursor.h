#pragma once
// A forward-only read of one bound statement, stepped straight from SQLite: for the
// large reads (rankings over many days) where keeping every row in a recordset would
// cost more than the fold itself. Text cells are views into the current row and are
// valid until the next step. The cursor holds the calling thread's handle of the
// database while it lives, so keep it no longer than the read.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/ado_database.h"
#include "storage/db_value.h"

class RowCursor {
 public:
  explicit RowCursor(CADODataBase& db);
  RowCursor(CADODataBase& db, std::string_view sql, const std::vector<DbValue>& params = {});
  ~RowCursor();
  RowCursor(const RowCursor&) = delete;
  RowCursor& operator=(const RowCursor&) = delete;

  // Prepares `sql` with `params` (replacing any statement held). False, with the
  // error record of the database filled, when it cannot be prepared.
  bool Open(std::string_view sql, const std::vector<DbValue>& params = {});
  // Runs the statement of the last Open again with `params`, without preparing it
  // anew: for one query repeated with other values. False, with the error record
  // filled, when no statement is held or the values cannot be bound.
  bool Rerun(const std::vector<DbValue>& params);
  // Runs `sql` with `params`: prepared on the first call, and rerun on later calls
  // with the same text. For one query repeated in a loop with other values.
  bool Run(std::string_view sql, const std::vector<DbValue>& params);
  // Steps to the next row: true on a row; false at the end and on an error, told
  // apart by Failed().
  bool Next();
  // The statement could not be prepared or a step broke off.
  bool Failed() const { return failed_; }
  const std::string& ErrorText() const { return error_; }
  // The failure as a recordset reports it ("Query = <sql>", then the report headed
  // "CADORecordset Error"): for messages that have always shown that report.
  std::string RecordsetErrorText() const;

  // Cells of the current row by zero-based column. NULL reads as "" and 0.
  std::string_view Text(int column) const;
  double Double(int column) const;
  // A figure as the recordset reads it: a text cell is parsed in the C locale
  // (ParseNumberC), any other cell read as a double.
  double Number(int column) const;
  std::int64_t Int(int column) const;
  bool IsNull(int column) const;
  // How a cell is stored: NULL (also without a row), a number (integer or real), a
  // text or a blob.
  enum class CellClass { Null, Number, Text, Blob };
  CellClass ClassOf(int column) const;

 private:
  void Fail(int code, std::string message);

  CADODataBase& db_;
  CADODataBase::ThreadHandle handle_;
  StatementPtr statement_;
  std::string sql_;     // the text of statement_
  bool onRow_ = false;  // the last step gave a row
  bool atEnd_ = false;  // the rows are all read (until Rerun)
  bool failed_ = false;
  std::string error_;
  int errorCode_ = 0;
};
