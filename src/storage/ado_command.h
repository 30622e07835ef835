#pragma once
// A statement with typed parameters, run on an open CADODataBase, in the shape of
// the database layer's other wrappers: every failure is a false result with an error
// record ("CADOCommand Error" / "CADOParameter Error" report) kept on the object;
// nothing throws or is shown.
//
// Parameters bind to the statement's placeholders: a plain `?` takes the parameter
// added in its place (the first `?` the first parameter, and so on); a named one
// (":code", "@code" or "$code") takes the parameter of that name, ASCII case ignored.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "storage/ado_database.h"
#include "storage/ole_types.h"
#include "storage/stored_cell.h"

// The command types and parameter types and directions callers pass, by their
// usual numbers.
enum : int {
  adCmdUnknown = 8,
  adCmdText = 1,
  adCmdTable = 2,
  adCmdStoredProc = 4,
  adCmdTableDirect = 512,
};
enum : int {
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBSTR = 8,
  adBoolean = 11,
  adVariant = 12,
  adDecimal = 14,
  adBigInt = 20,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adDBDate = 133,
  adDBTimeStamp = 135,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
};
enum : int {
  adParamUnknown = 0,
  adParamInput = 1,
  adParamOutput = 2,
  adParamInputOutput = 3,
  adParamReturnValue = 4,
};

class CADOParameter {
 public:
  // The value a command binds; shared with every command the parameter was added to,
  // so a SetValue after AddParameter is what the next Execute binds.
  struct State {
    int dataType = adVariant;
    long size = 0;
    int direction = adParamInput;
    std::string name;
    CADOVariant value;  // Empty until a value is set
  };

  CADOParameter(int dataType, long size = 0, int direction = adParamInput, const std::string& name = "");
  virtual ~CADOParameter() noexcept;
  CADOParameter(const CADOParameter&) = delete;
  CADOParameter& operator=(const CADOParameter&) = delete;

  // The value is converted to the parameter's data type: a text must read wholly as
  // a number for a numeric type and as a date for a date type, and a number must fit
  // the type; otherwise false with the error record. An empty text is NULL whatever
  // the type. A Size of 0 is set first: 4 for short and long, 8 for double and date,
  // the text's length, 16 for a decimal.
  bool SetValue(short value);
  bool SetValue(int value);
  bool SetValue(long value);
  bool SetValue(double value);
  bool SetValue(const std::string& value);
  bool SetValue(const char* value) { return SetValue(std::string(value == nullptr ? "" : value)); }
  bool SetValue(const COleDateTime& value);
  bool SetValue(const CADOVariant& value);

  // The reader conversions of the recordset; a date reads as text through
  // `dateFormat`, "%Y-%m-%d %H:%M:%S" when it is empty.
  bool GetValue(int& value);
  bool GetValue(long& value);
  bool GetValue(double& value);
  bool GetValue(std::string& value, const std::string& dateFormat = "");
  bool GetValue(COleDateTime& value);

  int GetDataType() const { return state_->dataType; }
  long GetSize() const { return state_->size; }
  int GetDirection() const { return state_->direction; }
  std::string GetName() const { return state_->name; }
  const CADOVariant& GetRawValue() const { return state_->value; }
  std::shared_ptr<State> GetParameter() const { return state_; }

  std::string GetLastErrorText() const { return lastErrorText_; }
  DWORD GetLastError() const { return lastError_; }

 private:
  bool Store(const CADOVariant& value, long naturalSize);
  void RecordError(int code, const std::string& description);

  std::shared_ptr<State> state_;
  std::string lastErrorText_;
  DWORD lastError_ = 0;
};

// Converts `value` to what a parameter of `dataType` holds; false with `code` and
// `message` when it cannot.
bool ConvertParameterValue(int dataType, const CADOVariant& value, CADOVariant& out, int& code,
                           std::string& message);

class CADOCommand {
 public:
  CADOCommand(CADODataBase* db, const std::string& commandText = "", int commandType = adCmdText);
  virtual ~CADOCommand() noexcept;
  CADOCommand(const CADOCommand&) = delete;
  CADOCommand& operator=(const CADOCommand&) = delete;

  bool AddParameter(const CADOParameter& parameter);
  bool AddParameter(const std::string& name, int dataType, int direction, long size, short value);
  bool AddParameter(const std::string& name, int dataType, int direction, long size, long value);
  bool AddParameter(const std::string& name, int dataType, int direction, long size, double value);
  bool AddParameter(const std::string& name, int dataType, int direction, long size, const std::string& value);
  bool AddParameter(const std::string& name, int dataType, int direction, long size, const COleDateTime& value);
  bool AddParameter(const std::string& name, int dataType, int direction, long size, const CADOVariant& value);

  void SetText(const std::string& text) { text_ = text; }
  void SetType(int type) { type_ = type; }
  std::string GetText() const { return text_; }
  int GetType() const { return type_; }
  CADODataBase* GetDatabase() const { return db_; }
  std::size_t GetParameterCount() const { return parameters_.size(); }

  // Runs the command by its type: text (and unknown) runs the statement (a bare table
  // name opens the table), table runs SELECT * of the named table, stored procedure
  // fails (SQLite has none). Output, input-output and return-value parameters fail
  // too: SQLite gives nothing back through a parameter. Rows a statement returns are
  // read and dropped.
  bool Execute();
  // Rows changed by the last successful Execute; -1 for a statement that cannot change
  // any (a SELECT).
  long GetRecordsAffected() const { return recordsAffected_; }

  // The command prepared and bound on `handle`, for a recordset that keeps its rows;
  // null with code/message on failure (the error record is not touched).
  StatementPtr Prepare(sqlite3* handle, int& code, std::string& message) const;

  std::string GetLastErrorText() const { return lastErrorText_; }
  DWORD GetLastError() const { return lastError_; }

 private:
  bool Add(const std::string& name, int dataType, int direction, long size, const CADOVariant& value,
           long naturalSize);
  void RecordError(int code, const std::string& description);

  CADODataBase* db_;
  std::string text_;
  int type_;
  long recordsAffected_ = 0;
  std::vector<std::shared_ptr<CADOParameter::State>> parameters_;
  std::string lastErrorText_;
  DWORD lastError_ = 0;
};
