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

//
// Editing: a recordset whose columns all come from one table is updatable. Update and
// Delete find the row by the table's primary key or a unique key when the result holds
// all its columns, else by every original value of the row (NULL matching NULL); each
// write is one transaction that must touch exactly one row, and the row in memory
// follows it. A failed write leaves the table as it was, the error record filled and
// no edit pending. A move drops a pending edit. Reads during a pending edit show the
// row as stored.
//
// Filter, sort and search work on the rows in memory (see recordset_criteria.h). A
// bookmark names a row and survives filters and sorts. A clone shares the rows: each
// write through one is seen by the other. A recordset loaded from a saved file has no
// database behind it: its edits change the rows in memory until it is saved again.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/win_types.h"
#include "storage/ado_database.h"
#include "storage/db_value.h"
#include "storage/ole_types.h"
#include "storage/recordset_criteria.h"
#include "storage/stored_cell.h"

class CADODataBase;
class CADOCommand;
struct sqlite3;
struct sqlite3_stmt;

// The option of CADORecordset::Open, a type of its own: neither "{n}" nor "{}" converts
// to it, so a brace list given to Open is always the list of values to bind, whichever
// overload a compiler would otherwise prefer for a lone integer.
class CADOOpenOption {
 public:
  enum class Kind : int { Unknown = 0, Query = 1, Table = 2, StoredProc = 3 };
  explicit constexpr CADOOpenOption(Kind kind) noexcept : kind_(kind) {}
  constexpr Kind GetKind() const noexcept { return kind_; }

 private:
  Kind kind_;
};

// What DescribeField tells of a column.
struct CADOFieldInfo {
  char m_strName[30];     // at most 29 bytes of the name (whole characters) and a zero
  std::int16_t m_nType;   // the ADO data type number (adInteger 3, adVarWChar 202, ...)
  std::int32_t m_lSize;   // bytes of the current value; 0 at the end
  std::int32_t m_lDefinedSize;  // "VARCHAR(50)" → 50; fixed types their byte size; 0 unknown
  std::int32_t m_lAttributes;   // adFld* flags: updatable 0x4, nullable 0x20, long 0x80, key 0x8000
};

// Members of a caller's object filled from the current row after every move.
class CADORecordBinding {
 public:
  using Member = std::variant<CString*, int*, long*, double*, bool*, COleDateTime*, COleCurrency*>;
  struct Entry {
    std::string column;
    Member member;
  };
  void Bind(const std::string& column, Member member) { entries_.push_back({column, member}); }
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

class CADORecordset {
 public:
  // Open options: unknown and query run the text (a bare identifier opens as a table),
  // table opens a table by name, stored procedure always fails; any other returns false.
  using OpenOption = CADOOpenOption;
  static constexpr OpenOption openUnknown{OpenOption::Kind::Unknown};
  static constexpr OpenOption openQuery{OpenOption::Kind::Query};
  static constexpr OpenOption openTable{OpenOption::Kind::Table};
  static constexpr OpenOption openStoredProc{OpenOption::Kind::StoredProc};

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
  bool Open(const std::string& sql, OpenOption option = openUnknown);
  bool Open(const std::string& sql, const std::vector<DbValue>& params, OpenOption option = openUnknown);
  bool Open(const std::string& sql, std::initializer_list<DbValue> params, OpenOption option = openUnknown) {
    return Open(sql, std::vector<DbValue>(params), option);
  }
  // Binds the recordset to `db` when it has no database yet.
  bool Open(CADODataBase* db, const std::string& sql, OpenOption option = openUnknown);

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

  // ---- Navigation
  void MovePrevious() noexcept;  // before the first row: IsBof
  void MoveLast() noexcept;

  // ---- Editing. Edit state: 0 none, 1 new row pending, 2 edit of the current row.
  bool IsUpdatable() const noexcept;
  int GetEditMode() const noexcept { return editState_; }
  bool AddNew();
  bool Edit();
  bool Update();
  void CancelUpdate() noexcept;
  bool Delete();
  // Need a pending edit. An empty text writes NULL.
  bool SetFieldValue(FieldKey field, const CString& value);
  bool SetFieldValue(FieldKey field, const char* value);
  bool SetFieldValue(FieldKey field, int value);
  bool SetFieldValue(FieldKey field, long value);
  bool SetFieldValue(FieldKey field, unsigned long value);
  bool SetFieldValue(FieldKey field, double value);
  bool SetFieldValue(FieldKey field, const COleDateTime& value);
  bool SetFieldValue(FieldKey field, bool value);
  bool SetFieldValue(FieldKey field, const COleCurrency& value);
  bool SetFieldValue(FieldKey field, const CADOVariant& value);
  bool EmptyField(FieldKey field);

  // ---- Search, filter, sort, bookmarks
  // Direction 1 searches forward from the current row, -1 backward; any other
  // direction returns false and leaves the stored direction at 1. No hit: false, at the
  // end (forward) or before the start (backward). Malformed criteria or an unknown
  // column: false with the error record.
  bool Find(const std::string& criteria, int direction = 1);
  bool FindFirst(const std::string& criteria);
  bool FindNext();
  // An empty text clears. Both move to the first row of the new order.
  bool SetFilter(const std::string& filter);
  bool SetSort(const std::string& sort);
  // GetBookmark keeps the current row; SetBookmark moves back to it (false when none
  // is kept or the row is filtered out or deleted).
  bool GetBookmark();
  bool SetBookmark();
  bool Clone(CADORecordset& other);

  // ---- Long values, descriptions, text
  bool DescribeField(FieldKey field, CADOFieldInfo& info);
  bool GetChunk(FieldKey field, CString& value);
  // The block must hold the value: a smaller one gets nothing and false.
  bool GetChunk(FieldKey field, void* block, std::size_t blockSize);
  // Appends to the pending value of the field (the first append of an edit starts anew).
  bool AppendChunk(FieldKey field, const void* data, std::size_t size);
  // The rows from the current one on (rowCount 0: all), each cell as the text reader
  // gives it; defaults "\t", "\r" and "". Moves past the rows taken.
  std::string GetString(const std::string& columnDelimiter = "", const std::string& rowDelimiter = "",
                        const std::string& nullText = "", long rowCount = 0);

  // ---- Commands, binding, persistence, schema
  bool Execute(CADOCommand& command);
  // Every bound column must exist. The caller's object must outlive the binding (it
  // ends at Close).
  bool BindRecord(CADORecordBinding& binding);
  bool AddNew(CADORecordBinding& binding);
  bool SaveXml(const std::string& fileName);
  bool LoadXml(const std::string& fileName);
  // 20 tables, 4 columns, 12 indexes, 28 primary keys; the id text is accepted and
  // unused (SQLite has no provider-specific schemas). Other numbers fail.
  enum SchemaNumber { schemaIndexes = 12, schemaColumns = 4, schemaTables = 20, schemaPrimaryKeys = 28 };
  bool OpenSchema(int schema, const std::string& schemaId = "");

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
    void set(std::size_t row, T value) { blocks_[row >> kShift][row & (kRows - 1)] = value; }

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
    std::string declared;              // the declared type as written
    std::string origin;                // the table column it comes from ("" for an expression)
    bool notNull = false;
    bool key = false;                  // part of the key writes find the row by
    BlockArray<std::uint8_t> storage;  // SQLite storage class of each cell
    BlockArray<std::int64_t> cells;    // integer, double bits, or text handle
  };

  // The rows of a result, shared by a recordset and its clones.
  struct RowStore {
    std::vector<Column> columns;
    TextArena arena;
    std::size_t rowCount = 0;
    // Open-addressing hash of lower-cased column names → column position + 1.
    std::vector<std::uint32_t> nameSlots;
    std::vector<std::uint8_t> deleted;  // empty until a row is deleted
    bool updatable = false;
    bool detached = false;  // loaded from a file: edits stay in memory
    bool keysKnown = false; // key and NOT NULL flags looked up
    std::string schema;     // where writes go: "schema"."table"
    std::string table;

    bool IsDeleted(std::size_t row) const { return row < deleted.size() && deleted[row] != 0; }
    StoredCell Cell(std::size_t column, std::size_t row) const;
    void SetCell(std::size_t column, std::size_t row, const StoredCell& cell);
    void AppendRow(const std::vector<StoredCell>& cells);
  };

  bool Run(const std::vector<DbValue>& params, OpenOption option);
  bool RequireOpen();
  // The calling thread's handle of `db`; false with the error record filled.
  bool AcquireHandle(CADODataBase* db, CADODataBase::ThreadHandle& th);
  // Reads every row of the statement into a new store and makes it current.
  bool Materialize(sqlite3* handle, sqlite3_stmt* statement);
  void DescribeOrigin(sqlite3_stmt* statement, RowStore& store);
  bool EnsureKeys();
  void RecordError(int code, const std::string& description);
  // Finds the column and checks there is a current row; records the failure.
  bool Locate(const FieldKey& field, std::size_t& column);
  bool FindColumn(const FieldKey& field, std::size_t& column);
  static void BuildNameIndex(RowStore& store);
  std::string_view CellText(const Column& column, std::size_t row) const {
    return store_->arena.View(column.cells[row]);
  }
  // The current cell as a variant; the text is copied only when withText is set.
  CADOVariant CellVariant(std::size_t column, bool withText) const { return CellVariantAt(column, row_, withText); }
  CADOVariant CellVariantAt(std::size_t column, std::size_t row, bool withText) const;
  static DeclKind KindOfDeclaredType(const char* declared);

  template <class Convert>
  bool ReadField(const FieldKey& field, Convert&& convert);

  // The rows in view: the store's rows in order, or the filtered and sorted list.
  long ViewSize() const noexcept;
  std::size_t RowAt(long position) const noexcept {
    return explicitView_ ? view_[static_cast<std::size_t>(position)] : static_cast<std::size_t>(position);
  }
  void SetPosition(long position) noexcept;
  bool OnRow() const noexcept { return open_ && pos_ >= 0 && pos_ < ViewSize(); }
  bool RebuildView();
  bool ResolveColumn(const std::string& name, int& index);
  bool BeginEdit(int state);
  bool SetPending(const FieldKey& field, StoredCell cell);
  // Runs one write in a savepoint; exactly one row must change. `returned` gets the
  // row the statement returns.
  bool WriteOneRow(const std::string& sql, const std::vector<StoredCell>& binds, std::vector<StoredCell>* returned);
  std::string QuotedTable() const;
  std::string ReturningList() const;
  // The WHERE text and values that find the current row.
  std::string RowMatch(std::vector<StoredCell>& binds) const;
  void FillBinding() noexcept;
  bool Search(const CriteriaClause& clause, long from, int direction);

  CADODataBase* db_;
  std::string query_;
  bool open_ = false;
  std::shared_ptr<RowStore> store_;
  std::size_t row_ = 0;  // the store row at pos_, while pos_ is on a row
  long pos_ = 0;         // -1 before the first row, ViewSize() at the end
  bool explicitView_ = false;
  std::vector<std::uint32_t> view_;
  std::optional<CriteriaExpr> filter_;
  std::vector<CriteriaSortKey> sort_;

  int editState_ = 0;
  std::vector<std::optional<StoredCell>> pending_;

  std::string searchText_;
  int searchDirection_ = 1;
  std::uint32_t searchBookmark_ = 0;   // store row + 1; 0 = none
  std::uint32_t currentBookmark_ = 0;  // store row + 1; 0 = none
  CADORecordBinding* binding_ = nullptr;

  std::string lastErrorText_;
  std::string lastErrorDescription_;
  DWORD lastError_ = 0;
};
