#pragma once
// The reading side of the storage layer: a static, client-side result. Open runs the
// statement to its end and keeps every row in memory, one typed array per column,
// so walking and counting never go back to the database.
//
// A cell's variant type follows the column's declared type: SMALLINT/TINYINT → I2;
// INTEGER/INT/LONG/BIGINT → I4 (I8 when the value does not fit 32 bits); SINGLE → R4;
// REAL/DOUBLE/FLOAT → R8; DATETIME/DATE/TIMESTAMP → Date; BIT/BOOLEAN → Bool;
// CURRENCY/MONEY → Currency; DECIMAL/NUMERIC → Decimal with scale 0 for whole
// numbers (a stored double stays R8: it has no exact decimal form). Expression
// columns, TEXT columns and values the declared type cannot hold (text in an INTEGER
// column, say) go by storage class: integer → I4/I8, float → R8, text → Text.
// A date column holds "YYYY-MM-DD[ HH:MM:SS]" text; text that is no date stays Text.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"
#include "storage/db_value.h"
#include "storage/ole_types.h"

class CADODataBase;

class CADORecordset {
 public:
  // Open options: 0 and 1 run the text (a bare identifier opens as a table), 2 opens
  // a table by name, 3 (stored procedure) always fails; any other returns false.
  enum OpenOption { openUnknown = 0, openQuery = 1, openTable = 2, openStoredProc = 3 };

  // A column chosen by name (ASCII case does not matter) or by zero-based position.
  class FieldKey {
   public:
    FieldKey(int index) : index_(index) {}
    FieldKey(const char* name) : name_(name == nullptr ? "" : name), byName_(true) {}
    FieldKey(const std::string& name) : name_(name), byName_(true) {}
    FieldKey(std::string_view name) : name_(name), byName_(true) {}
    bool ByName() const { return byName_; }
    std::string_view Name() const { return name_; }
    int Index() const { return index_; }

   private:
    std::string_view name_;
    int index_ = -1;
    bool byName_ = false;
  };

  explicit CADORecordset(CADODataBase* db = nullptr);
  virtual ~CADORecordset() noexcept;
  CADORecordset(const CADORecordset&) = delete;
  CADORecordset& operator=(const CADORecordset&) = delete;

  // An empty text reopens the stored query. Leading white space is stripped and the
  // stripped text is what is stored and quoted by the error record.
  bool Open(const std::string& sql, int option = openUnknown);
  bool Open(const std::string& sql, const std::vector<DbValue>& params, int option = openUnknown);
  // So that Open(sql, {value}) binds the value instead of taking it as the option.
  bool Open(const std::string& sql, std::initializer_list<DbValue> params, int option = openUnknown) {
    return Open(sql, std::vector<DbValue>(params), option);
  }
  // Binds the recordset to `db` when it has no database yet.
  bool Open(CADODataBase* db, const std::string& sql, int option = openUnknown);

  bool IsConnectionOpen() const noexcept;
  bool IsOpen() const noexcept;
  void Close() noexcept;

  // A closed recordset is at its end. Moves only go forward (or back to the first
  // row), so IsBof holds only for an empty result.
  bool IsEof() const noexcept;
  bool IsBof() const noexcept;
  void MoveNext() noexcept;
  void MoveFirst() noexcept;
  long GetRecordCount() const noexcept;
  long GetAbsolutePosition() const noexcept;  // zero-based current row, -1 when none

  int GetFieldCount() const noexcept;
  std::string GetFieldName(int index) const;
  std::string GetQuery() const { return query_; }

  // Each reader stores the current row's value in `value` and returns true; a column
  // the result does not have (or no current row) returns false with the error record
  // filled and `value` untouched. See ole_types.h for the conversions.
  bool GetFieldValue(FieldKey field, CString& value, const std::string& dateFormat = "");
  bool GetFieldValue(FieldKey field, double& value);
  bool GetFieldValue(FieldKey field, float& value);
  bool GetFieldValue(FieldKey field, int& value);
  bool GetFieldValue(FieldKey field, long& value);
  bool GetFieldValue(FieldKey field, long long& value);
  bool GetFieldValue(FieldKey field, unsigned int& value);
  bool GetFieldValue(FieldKey field, unsigned long& value);
  bool GetFieldValue(FieldKey field, bool& value);
  bool GetFieldValue(FieldKey field, COleDateTime& value);
  bool GetFieldValue(FieldKey field, COleCurrency& value);
  bool GetFieldValue(FieldKey field, CADOVariant& value);

  // False (and the record filled) as well for a missing column.
  bool IsFieldNull(FieldKey field);
  bool IsFieldEmpty(FieldKey field);

  std::string GetLastErrorText() const { return lastErrorText_; }
  std::string GetLastErrorDescription() const { return lastErrorDescription_; }
  DWORD GetLastError() const { return lastError_; }

 private:
  enum class DeclKind : std::uint8_t { None, I2, I4, R4, R8, Date, Bool, Currency, Decimal, Text };

  // Cells in blocks of a fixed row count, so that a large result grows without copying
  // (and without doubling) what it already holds; the first block grows as usual, so
  // a small result stays small.
  template <class T>
  class BlockArray {
   public:
    static constexpr std::size_t kShift = 12;
    static constexpr std::size_t kRows = std::size_t{1} << kShift;
    void push_back(T value) {
      if (blocks_.empty() || blocks_.back().size() == kRows) {
        blocks_.emplace_back();
        if (blocks_.size() > 1) blocks_.back().reserve(kRows);
      }
      blocks_.back().push_back(value);
    }
    T operator[](std::size_t row) const { return blocks_[row >> kShift][row & (kRows - 1)]; }

   private:
    std::vector<std::vector<T>> blocks_;
  };

  // The bytes of every text cell, in blocks of about a megabyte; a cell keeps a handle
  // (block << 32 | offset) to its 4-byte length and the bytes after it.
  class TextArena {
   public:
    std::int64_t Append(const void* bytes, std::uint32_t length);
    std::string_view View(std::int64_t handle) const;

   private:
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
    std::vector<std::string> blocks_;
  };

  struct Column {
    std::string name;
    DeclKind kind = DeclKind::None;
    BlockArray<std::uint8_t> storage;  // SQLite storage class of each cell
    BlockArray<std::int64_t> cells;    // integer, double bits, or text handle
  };

  bool Run(const std::vector<DbValue>& params, int option);
  void RecordError(int code, const std::string& description);
  // Finds the column and checks there is a current row; records the failure.
  bool Locate(const FieldKey& field, std::size_t& column);
  void BuildNameIndex();
  std::string_view CellText(const Column& column, std::size_t row) const { return arena_.View(column.cells[row]); }
  // The current cell as a variant; the text is copied only when withText is set.
  CADOVariant CellVariant(std::size_t column, bool withText) const;
  static DeclKind KindOfDeclaredType(const char* declared);

  template <class Convert>
  bool ReadField(const FieldKey& field, Convert&& convert);

  CADODataBase* db_;
  std::string query_;
  bool open_ = false;
  std::vector<Column> columns_;
  TextArena arena_;
  std::size_t rowCount_ = 0;
  std::size_t row_ = 0;

  // Open-addressing hash of lower-cased column names → column position + 1.
  std::vector<std::uint32_t> nameSlots_;

  std::string lastErrorText_;
  std::string lastErrorDescription_;
  DWORD lastError_ = 0;
};
