#include "storage/ado_recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "platform/ascii.h"
#include "storage/ado_command.h"
#include "storage/ado_database.h"
#include "storage/charset.h"
#include "storage/file_io.h"
#include "storage/recordset_xml.h"

namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A hash that ignores ASCII case: eight bytes at a time with bit 5 set in every
// byte, so 'A' and 'a' hash alike (a few punctuation pairs collide as well, which the
// comparison sorts out). Column names are short; this is called on every read.
std::uint32_t HashNoCase(std::string_view name) {
  constexpr std::uint64_t kCaseBits = 0x2020202020202020ull;
  std::uint64_t hash = name.size() * 0x9E3779B97F4A7C15ull;
  std::size_t i = 0;
  for (;; i += 8) {
    std::uint64_t word = 0;
    const std::size_t take = std::min<std::size_t>(8, name.size() - i);
    std::memcpy(&word, name.data() + i, take);
    hash = (hash ^ (word | kCaseBits)) * 0x100000001B3ull;
    hash ^= hash >> 29;
    if (i + 8 >= name.size()) break;
  }
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

// Callers nearly always spell a name as the column does: try the cheap comparison first.
bool SameName(std::string_view column, std::string_view name) {
  return column == name || EqualsNoCase(column, name);
}

std::string FirstWordUpper(const char* text) {
  std::string word;
  if (text == nullptr) return word;
  while (IsCSpace(*text)) ++text;
  for (; (*text >= 'A' && *text <= 'Z') || (*text >= 'a' && *text <= 'z'); ++text) {
    word += (*text >= 'a') ? static_cast<char>(*text - 'a' + 'A') : *text;
  }
  return word;
}

bool FitsInt32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

bool FitsInt16(std::int64_t v) {
  return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
}

template <class T>
T ClampTo(std::int64_t v) {
  if (v > static_cast<std::int64_t>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  if (v < static_cast<std::int64_t>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  return static_cast<T>(v);
}

// A numeric reader's view of the cell: a text cell gets its text for parsing.
CADOVariant& WithText(CADOVariant& v, std::string_view text) {
  if (v.type == VarType::Text) v.strVal.assign(text);
  return v;
}

}  // namespace

CADORecordset::CADORecordset(CADODataBase* db) : db_(db) {}

CADORecordset::~CADORecordset() noexcept { Close(); }

CADORecordset::DeclKind CADORecordset::KindOfDeclaredType(const char* declared) {
  const std::string word = FirstWordUpper(declared);
  if (word.empty()) return DeclKind::None;
  if (word == "SMALLINT" || word == "TINYINT") return DeclKind::I2;
  if (word == "INTEGER" || word == "INT" || word == "LONG" || word == "BIGINT" || word == "MEDIUMINT") {
    return DeclKind::I4;
  }
  if (word == "SINGLE") return DeclKind::R4;
  if (word == "REAL" || word == "DOUBLE" || word == "FLOAT") return DeclKind::R8;
  if (word == "DATETIME" || word == "DATE" || word == "TIMESTAMP") return DeclKind::Date;
  if (word == "BIT" || word == "BOOLEAN" || word == "BOOL") return DeclKind::Bool;
  if (word == "CURRENCY" || word == "MONEY") return DeclKind::Currency;
  if (word == "DECIMAL" || word == "NUMERIC") return DeclKind::Decimal;
  if (word == "TEXT" || word == "CHAR" || word == "VARCHAR" || word == "NVARCHAR" || word == "CLOB") {
    return DeclKind::Text;
  }
  return DeclKind::None;
}

bool CADORecordset::Open(const std::string& sql, OpenOption option) { return Open(sql, {}, option); }

bool CADORecordset::Open(CADODataBase* db, const std::string& sql, OpenOption option) {
  if (db_ == nullptr) db_ = db;
  return Open(sql, {}, option);
}

bool CADORecordset::Open(const std::string& sql, const std::vector<DbValue>& params, OpenOption option) {
  Close();
  if (!sql.empty()) query_ = sql;
  std::size_t start = 0;
  while (start < query_.size() && IsCSpace(query_[start])) ++start;
  query_.erase(0, start);
  return Run(params, option);
}

bool CADORecordset::Run(const std::vector<DbValue>& params, OpenOption option) {
  std::string statementText;
  switch (option.GetKind()) {
    case OpenOption::Kind::Unknown:
    case OpenOption::Kind::Query:
      statementText = IsBareTableName(query_) ? "SELECT * FROM \"" + query_ + "\"" : query_;
      break;
    case OpenOption::Kind::Table:
      if (!IsBareTableName(query_)) {
        RecordError(SQLITE_ERROR, "not a table name: " + query_);
        return false;
      }
      statementText = "SELECT * FROM \"" + query_ + "\"";
      break;
    case OpenOption::Kind::StoredProc:
      RecordError(SQLITE_ERROR, "stored procedures are not supported");
      return false;
    default:
      return false;
  }
  CADODataBase::ThreadHandle th;
  if (!AcquireHandle(db_, th)) return false;
  int code = 0;
  std::string message;
  StatementPtr statement = PrepareBound(th.handle, statementText, params, code, message);
  if (!statement) {
    RecordError(code, message);
    return false;
  }

  return Materialize(th.handle, statement.get());
}

bool CADORecordset::Materialize(sqlite3* handle, sqlite3_stmt* st) {
  auto store = std::make_shared<RowStore>();
  std::vector<Column>& columns = store->columns;
  const int count = sqlite3_column_count(st);
  columns.resize(static_cast<std::size_t>(count));
  for (int c = 0; c < count; ++c) {
    const char* name = sqlite3_column_name(st, c);
    const char* declared = sqlite3_column_decltype(st, c);
    columns[static_cast<std::size_t>(c)].name = name != nullptr ? name : "";
    columns[static_cast<std::size_t>(c)].declared = declared != nullptr ? declared : "";
    columns[static_cast<std::size_t>(c)].kind = KindOfDeclaredType(declared);
  }
  DescribeOrigin(st, *store);

  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < count; ++c) {
      Column& column = columns[static_cast<std::size_t>(c)];
      // One call per cell for the value; the value functions below do not lock.
      sqlite3_value* value = sqlite3_column_value(st, c);
      const int type = sqlite3_value_type(value);
      std::int64_t cell = 0;
      switch (type) {
        case SQLITE_INTEGER: cell = sqlite3_value_int64(value); break;
        case SQLITE_FLOAT: cell = std::bit_cast<std::int64_t>(sqlite3_value_double(value)); break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
          const void* bytes = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(value))
                                                  : sqlite3_value_blob(value);
          cell = store->arena.Append(bytes, static_cast<std::uint32_t>(sqlite3_value_bytes(value)));
          break;
        }
        default: break;
      }
      column.storage.push_back(static_cast<std::uint8_t>(type));
      column.cells.push_back(cell);
    }
    ++store->rowCount;
  }
  if (rc != SQLITE_DONE) {
    RecordError(sqlite3_extended_errcode(handle), sqlite3_errmsg(handle));
    Close();
    return false;
  }
  BuildNameIndex(*store);
  store_ = std::move(store);
  open_ = true;
  SetPosition(0);
  return true;
}

void CADORecordset::BuildNameIndex(RowStore& store) {
  const std::vector<Column>& columns = store.columns;
  std::size_t size = 8;
  while (size < columns.size() * 2) size *= 2;
  store.nameSlots.assign(size, 0);
  const std::size_t mask = size - 1;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    std::size_t slot = HashNoCase(columns[c].name) & mask;
    bool duplicate = false;
    // The first column of a name wins, as a lookup of a repeated name expects.
    while (store.nameSlots[slot] != 0) {
      if (EqualsNoCase(columns[store.nameSlots[slot] - 1].name, columns[c].name)) {
        duplicate = true;
        break;
      }
      slot = (slot + 1) & mask;
    }
    if (!duplicate) store.nameSlots[slot] = static_cast<std::uint32_t>(c + 1);
  }
}

bool CADORecordset::IsConnectionOpen() const noexcept { return db_ != nullptr && db_->IsOpen(); }

bool CADORecordset::IsOpen() const noexcept { return open_ && (store_->detached || IsConnectionOpen()); }

void CADORecordset::Close() noexcept {
  open_ = false;
  store_.reset();
  row_ = 0;
  pos_ = 0;
  explicitView_ = false;
  std::vector<std::uint32_t>().swap(view_);
  filter_.reset();
  sort_.clear();
  editState_ = 0;
  pending_.clear();
  searchBookmark_ = 0;
  currentBookmark_ = 0;
  binding_ = nullptr;
}

long CADORecordset::ViewSize() const noexcept {
  if (!open_) return 0;
  return static_cast<long>(explicitView_ ? view_.size() : store_->rowCount);
}

void CADORecordset::SetPosition(long position) noexcept {
  if (editState_ != 0) CancelUpdate();
  const long size = ViewSize();
  pos_ = position < -1 ? -1 : (position > size ? size : position);
  if (pos_ >= 0 && pos_ < size) {
    row_ = RowAt(pos_);
    if (binding_ != nullptr) FillBinding();
  }
}

bool CADORecordset::IsEof() const noexcept { return !open_ || pos_ >= ViewSize(); }

bool CADORecordset::IsBof() const noexcept { return !open_ || ViewSize() == 0 || pos_ < 0; }

void CADORecordset::MoveNext() noexcept {
  if (open_ && pos_ < ViewSize()) SetPosition(pos_ + 1);
}

void CADORecordset::MovePrevious() noexcept {
  if (open_ && pos_ >= 0) SetPosition(pos_ - 1);
}

void CADORecordset::MoveFirst() noexcept {
  if (open_) SetPosition(0);
}

void CADORecordset::MoveLast() noexcept {
  if (open_) SetPosition(ViewSize() - 1 < 0 ? 0 : ViewSize() - 1);
}

long CADORecordset::GetRecordCount() const noexcept { return ViewSize(); }

long CADORecordset::GetAbsolutePosition() const noexcept { return OnRow() ? pos_ : -1; }

int CADORecordset::GetFieldCount() const noexcept {
  return store_ ? static_cast<int>(store_->columns.size()) : 0;
}

std::string CADORecordset::GetFieldName(int index) const {
  if (!store_ || index < 0 || static_cast<std::size_t>(index) >= store_->columns.size()) return {};
  return store_->columns[static_cast<std::size_t>(index)].name;
}

void CADORecordset::RecordError(int code, const std::string& description) {
  lastError_ = static_cast<DWORD>(code);
  lastErrorDescription_ = description;
  lastErrorText_ = "Query = " + query_ + "\n" + FormatErrorReport("CADORecordset Error", lastError_, description);
}

bool CADORecordset::Locate(const FieldKey& field, std::size_t& column) {
  if (!FindColumn(field, column)) return false;
  if (!OnRow()) {
    RecordError(SQLITE_MISUSE, "no current row: the recordset is at its end");
    return false;
  }
  if (store_->IsDeleted(row_)) {
    RecordError(SQLITE_MISUSE, "the current row was deleted");
    return false;
  }
  return true;
}

bool CADORecordset::FindColumn(const FieldKey& field, std::size_t& column) {
  if (!RequireOpen()) return false;
  const std::vector<Column>& columns_ = store_->columns;
  if (field.ByName()) {
    const std::string_view name = field.Name();
    const std::vector<std::uint32_t>& nameSlots = store_->nameSlots;
    const std::size_t mask = nameSlots.size() - 1;
    std::size_t slot = HashNoCase(name) & mask;
    bool found = false;
    while (nameSlots[slot] != 0) {
      const std::size_t c = nameSlots[slot] - 1;
      if (SameName(columns_[c].name, name)) {
        column = c;
        found = true;
        break;
      }
      slot = (slot + 1) & mask;
    }
    if (!found) {
      RecordError(SQLITE_ERROR, "no such column: " + std::string(name));
      return false;
    }
  } else {
    if (field.Index() < 0 || static_cast<std::size_t>(field.Index()) >= columns_.size()) {
      RecordError(SQLITE_RANGE, "no column at position " + std::to_string(field.Index()));
      return false;
    }
    column = static_cast<std::size_t>(field.Index());
  }
  return true;
}

std::int64_t CADORecordset::TextArena::Append(const void* bytes, std::uint32_t length) {
  const std::size_t need = sizeof length + length;
  if (blocks_.empty() || (!blocks_.back().empty() && blocks_.back().size() + need > kBlockBytes)) {
    blocks_.emplace_back();
    if (blocks_.size() > 1) blocks_.back().reserve(std::max(kBlockBytes, need));
  }
  std::string& block = blocks_.back();
  const auto handle = static_cast<std::int64_t>(((blocks_.size() - 1) << 32) | block.size());
  block.append(reinterpret_cast<const char*>(&length), sizeof length);
  if (length != 0) block.append(static_cast<const char*>(bytes), length);
  return handle;
}

std::string_view CADORecordset::TextArena::View(std::int64_t handle) const {
  const auto bits = static_cast<std::uint64_t>(handle);
  const std::string& block = blocks_[bits >> 32];
  const std::size_t offset = bits & 0xFFFFFFFFu;
  std::uint32_t length = 0;
  std::memcpy(&length, block.data() + offset, sizeof length);
  return std::string_view(block.data() + offset + sizeof length, length);
}

CADOVariant CADORecordset::CellVariantAt(std::size_t columnIndex, std::size_t row_, bool withText) const {
  const Column& column = store_->columns[columnIndex];
  const int storage = column.storage[row_];
  const std::int64_t raw = column.cells[row_];
  if (storage == SQLITE_NULL) return CADOVariant::MakeNull();

  const bool numeric = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
  const double number = storage == SQLITE_INTEGER ? static_cast<double>(raw) : std::bit_cast<double>(raw);
  switch (column.kind) {
    case DeclKind::I2:
      if (storage == SQLITE_INTEGER && FitsInt16(raw)) return CADOVariant::MakeI2(static_cast<std::int16_t>(raw));
      break;
    case DeclKind::R4:
      if (numeric) return CADOVariant::MakeR4(static_cast<float>(number));
      break;
    case DeclKind::R8:
      if (numeric) return CADOVariant::MakeR8(number);
      break;
    case DeclKind::Date:
      if (numeric) return CADOVariant::MakeDate(number);
      if (storage == SQLITE_TEXT) {
        if (auto date = COleDateTime::ParseDateText(CellText(column, row_))) return CADOVariant::MakeDate(*date);
      }
      break;
    case DeclKind::Bool:
      if (numeric) return CADOVariant::MakeBool(number != 0.0);
      break;
    case DeclKind::Currency:
      if (numeric) {
        const COleCurrency amount = COleCurrency::FromDouble(number);
        if (amount.GetStatus() == COleCurrency::valid) return CADOVariant::MakeCurrency(amount.m_cur);
      }
      break;
    case DeclKind::Decimal:
      if (storage == SQLITE_INTEGER) {
        CDecimal value;
        value.sign = raw < 0 ? CDecimal::kNegative : 0;
        value.mantissa = raw < 0 ? ~static_cast<std::uint64_t>(raw) + 1 : static_cast<std::uint64_t>(raw);
        return CADOVariant::MakeDecimal(value);
      }
      break;
    case DeclKind::I4:
    case DeclKind::Text:
    case DeclKind::None: break;
  }
  // By storage class.
  if (storage == SQLITE_INTEGER) {
    return FitsInt32(raw) ? CADOVariant::MakeI4(static_cast<std::int32_t>(raw)) : CADOVariant::MakeI8(raw);
  }
  if (storage == SQLITE_FLOAT) return CADOVariant::MakeR8(number);
  CADOVariant text = CADOVariant::MakeText({});
  if (withText) text.strVal.assign(CellText(column, row_));
  return text;
}

template <class Convert>
bool CADORecordset::ReadField(const FieldKey& field, Convert&& convert) {
  std::size_t column = 0;
  if (!Locate(field, column)) return false;
  CADOVariant value = CellVariant(column, false);
  std::string_view text;
  if (value.type == VarType::Text) text = CellText(store_->columns[column], row_);
  return convert(value, text);
}

bool CADORecordset::GetFieldValue(FieldKey field, CString& value, const std::string& dateFormat) {
  std::size_t column = 0;
  if (!Locate(field, column)) return false;
  const Column& c = store_->columns[column];
  if (c.storage[row_] == SQLITE_TEXT && c.kind != DeclKind::Date) {  // the common case, without a variant
    value.assign(CellText(c, row_));
    return true;
  }
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    if (v.type == VarType::Text) {
      value.assign(text);
      return true;
    }
    return VariantToText(v, value, dateFormat);
  });
}

bool CADORecordset::GetFieldValue(FieldKey field, double& value) {
  std::size_t column = 0;
  if (!Locate(field, column)) return false;
  const Column& c = store_->columns[column];
  const int storage = c.storage[row_];
  const bool plainNumber = c.kind == DeclKind::R8 || c.kind == DeclKind::I4 || c.kind == DeclKind::None ||
                           c.kind == DeclKind::Text;
  if (plainNumber && storage == SQLITE_FLOAT) {  // the common cases, without a variant
    value = std::bit_cast<double>(c.cells[row_]);
    return true;
  }
  if (plainNumber && storage == SQLITE_INTEGER) {
    value = static_cast<double>(c.cells[row_]);
    return true;
  }
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    value = v.type == VarType::Text ? ParseNumberC(text) : VariantToDouble(v);
    return true;
  });
}

bool CADORecordset::GetFieldValue(FieldKey field, float& value) {
  double wide = 0.0;
  if (!GetFieldValue(field, wide)) return false;
  value = static_cast<float>(wide);
  return true;
}

bool CADORecordset::GetFieldValue(FieldKey field, int& value) {
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    value = VariantToInt32(WithText(v, text));
    return true;
  });
}

bool CADORecordset::GetFieldValue(FieldKey field, long& value) {
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    value = static_cast<long>(VariantToInt64(WithText(v, text)));
    return true;
  });
}

bool CADORecordset::GetFieldValue(FieldKey field, long long& value) {
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    value = VariantToInt64(WithText(v, text));
    return true;
  });
}

bool CADORecordset::GetFieldValue(FieldKey field, unsigned int& value) {
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    // Negative values keep their bits, as an unsigned read of a 32-bit field does.
    value = static_cast<unsigned int>(ClampTo<std::int32_t>(VariantToInt64(WithText(v, text))));
    return true;
  });
}

bool CADORecordset::GetFieldValue(FieldKey field, unsigned long& value) {
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    value = static_cast<unsigned long>(VariantToInt64(WithText(v, text)));
    return true;
  });
}

bool CADORecordset::GetFieldValue(FieldKey field, bool& value) {
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    value = VariantToBool(WithText(v, text));
    return true;
  });
}

bool CADORecordset::GetFieldValue(FieldKey field, COleDateTime& value) {
  return ReadField(field, [&](CADOVariant& v, std::string_view text) { return VariantToDate(WithText(v, text), value); });
}

bool CADORecordset::GetFieldValue(FieldKey field, COleCurrency& value) {
  return ReadField(field,
                   [&](CADOVariant& v, std::string_view text) { return VariantToCurrency(WithText(v, text), value); });
}

bool CADORecordset::GetFieldValue(FieldKey field, CADOVariant& value) {
  return ReadField(field, [&](CADOVariant& v, std::string_view text) {
    value = std::move(WithText(v, text));
    return true;
  });
}

bool CADORecordset::IsFieldNull(FieldKey field) {
  std::size_t column = 0;
  if (!Locate(field, column)) return false;
  return store_->columns[column].storage[row_] == SQLITE_NULL;
}

bool CADORecordset::IsFieldEmpty(FieldKey field) {
  // SQLite has no "empty" apart from null.
  return IsFieldNull(field);
}

// ---------------------------------------------------------------------------------
// The row store

StoredCell CADORecordset::RowStore::Cell(std::size_t column, std::size_t row) const {
  const Column& c = columns[column];
  const std::int64_t raw = c.cells[row];
  switch (c.storage[row]) {
    case SQLITE_INTEGER: return StoredCell::Int(raw);
    case SQLITE_FLOAT: return StoredCell::Real(std::bit_cast<double>(raw));
    case SQLITE_TEXT: return StoredCell::Text(std::string(arena.View(raw)));
    case SQLITE_BLOB: return StoredCell::Blob(std::string(arena.View(raw)));
    default: return StoredCell::Null();
  }
}

namespace {
int StorageOf(const StoredCell& cell, std::int64_t& raw) {
  switch (cell.kind) {
    case StoredCell::Kind::Integer: raw = cell.integer; return SQLITE_INTEGER;
    case StoredCell::Kind::Real: raw = std::bit_cast<std::int64_t>(cell.real); return SQLITE_FLOAT;
    case StoredCell::Kind::Text: return SQLITE_TEXT;
    case StoredCell::Kind::Blob: return SQLITE_BLOB;
    case StoredCell::Kind::Null: break;
  }
  raw = 0;
  return SQLITE_NULL;
}

std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (const char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}
}  // namespace

void CADORecordset::RowStore::SetCell(std::size_t column, std::size_t row, const StoredCell& cell) {
  std::int64_t raw = 0;
  const int storage = StorageOf(cell, raw);
  if (storage == SQLITE_TEXT || storage == SQLITE_BLOB) {
    raw = arena.Append(cell.bytes.data(), static_cast<std::uint32_t>(cell.bytes.size()));
  }
  columns[column].storage.set(row, static_cast<std::uint8_t>(storage));
  columns[column].cells.set(row, raw);
}

void CADORecordset::RowStore::AppendRow(const std::vector<StoredCell>& cells) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    columns[c].storage.push_back(SQLITE_NULL);
    columns[c].cells.push_back(0);
  }
  ++rowCount;
  for (std::size_t c = 0; c < columns.size() && c < cells.size(); ++c) SetCell(c, rowCount - 1, cells[c]);
}

// Where the columns come from: updatable when every one is a column of the same table;
// the key is the primary key, else the first unique index, whose columns the result holds.
void CADORecordset::DescribeOrigin(sqlite3_stmt* st, RowStore& store) {
  std::string schema, table;
  bool updatable = !store.columns.empty();
  for (std::size_t c = 0; c < store.columns.size() && updatable; ++c) {
    const int i = static_cast<int>(c);
    const char* db = sqlite3_column_database_name(st, i);
    const char* tab = sqlite3_column_table_name(st, i);
    const char* origin = sqlite3_column_origin_name(st, i);
    if (db == nullptr || tab == nullptr || origin == nullptr) {
      updatable = false;
      break;
    }
    if (c == 0) {
      schema = db;
      table = tab;
    } else if (schema != db || table != tab) {
      updatable = false;
      break;
    }
    store.columns[c].origin = origin;
  }
  if (!updatable) {
    for (Column& column : store.columns) column.origin.clear();
    return;
  }
  store.updatable = true;
  store.schema = schema;
  store.table = table;
}

// The key and the NOT NULL flags are looked up on the first write or description,
// so that the many plain reads never pay for them.
bool CADORecordset::EnsureKeys() {
  RowStore& store = *store_;
  if (store.keysKnown || store.detached || !store.updatable) return true;
  CADODataBase::ThreadHandle th;
  if (!AcquireHandle(db_, th)) return false;
  sqlite3* handle = th.handle;
  const std::string& schema = store.schema;
  const std::string& table = store.table;
  for (Column& column : store.columns) {
    int notNull = 0, primary = 0, autoinc = 0;
    if (sqlite3_table_column_metadata(handle, schema.c_str(), table.c_str(), column.origin.c_str(), nullptr, nullptr,
                                      &notNull, &primary, &autoinc) == SQLITE_OK) {
      column.notNull = notNull != 0;
    }
  }
  store.keysKnown = true;

  // Candidate keys in order of preference, each as its column names.
  std::vector<std::vector<std::string>> keys;
  const auto query = [&](const char* sql, const std::vector<DbValue>& params, auto&& onRow) {
    int code = 0;
    std::string message;
    StatementPtr s = PrepareBound(handle, sql, params, code, message);
    if (!s) return;
    while (sqlite3_step(s.get()) == SQLITE_ROW) onRow(s.get());
  };
  std::vector<std::string> primary;
  query("SELECT name FROM pragma_table_info(?1, ?2) WHERE pk > 0 ORDER BY pk", {table, schema},
        [&](sqlite3_stmt* s) { primary.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))); });
  if (!primary.empty()) keys.push_back(primary);
  std::vector<std::string> uniqueIndexes;
  query("SELECT name FROM pragma_index_list(?1, ?2) WHERE \"unique\" = 1 AND partial = 0 ORDER BY seq DESC",
        {table, schema},
        [&](sqlite3_stmt* s) { uniqueIndexes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))); });
  for (const std::string& index : uniqueIndexes) {
    std::vector<std::string> names;
    bool plain = true;
    query("SELECT name FROM pragma_index_info(?1, ?2) ORDER BY seqno", {index, schema}, [&](sqlite3_stmt* s) {
      const unsigned char* name = sqlite3_column_text(s, 0);
      if (name == nullptr) {
        plain = false;  // an expression
      } else {
        names.emplace_back(reinterpret_cast<const char*>(name));
      }
    });
    if (plain && !names.empty()) keys.push_back(std::move(names));
  }
  for (const std::vector<std::string>& key : keys) {
    std::vector<std::size_t> positions;
    for (const std::string& name : key) {
      for (std::size_t c = 0; c < store.columns.size(); ++c) {
        if (EqualsNoCase(store.columns[c].origin, name)) {
          positions.push_back(c);
          break;
        }
      }
    }
    if (positions.size() == key.size()) {
      for (const std::size_t p : positions) store.columns[p].key = true;
      return true;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Editing

bool CADORecordset::AcquireHandle(CADODataBase* db, CADODataBase::ThreadHandle& th) {
  if (db == nullptr) {
    RecordError(SQLITE_MISUSE, "the recordset has no connection");
    return false;
  }
  th = db->AcquireHandle();
  if (th.handle != nullptr) return true;
  RecordError(th.code, th.message);
  return false;
}

bool CADORecordset::RequireOpen() {
  if (open_) return true;
  RecordError(SQLITE_MISUSE, "the recordset is not open");
  return false;
}

bool CADORecordset::IsUpdatable() const noexcept { return open_ && store_->updatable; }

bool CADORecordset::BeginEdit(int state) {
  editState_ = 0;
  pending_.clear();
  if (!RequireOpen()) return false;
  if (!store_->updatable) {
    RecordError(SQLITE_READONLY, "the recordset is not updatable: its columns do not all come from one table");
    return false;
  }
  if (state == 2 && (!OnRow() || store_->IsDeleted(row_))) {
    RecordError(SQLITE_MISUSE, "no current row to edit");
    return false;
  }
  if (!EnsureKeys()) return false;
  editState_ = state;
  pending_.assign(store_->columns.size(), std::nullopt);
  return true;
}

bool CADORecordset::AddNew() { return BeginEdit(1); }

bool CADORecordset::Edit() { return BeginEdit(2); }

void CADORecordset::CancelUpdate() noexcept {
  editState_ = 0;
  pending_.clear();
}

bool CADORecordset::SetPending(const FieldKey& field, StoredCell cell) {
  if (editState_ == 0) return false;
  std::size_t column = 0;
  if (!FindColumn(field, column)) return false;
  pending_[column] = std::move(cell);
  return true;
}

bool CADORecordset::SetFieldValue(FieldKey field, const CString& value) {
  return SetPending(field, value.empty() ? StoredCell::Null() : StoredCell::Text(value));
}
bool CADORecordset::SetFieldValue(FieldKey field, const char* value) {
  return SetFieldValue(field, CString(value == nullptr ? "" : value));
}
bool CADORecordset::SetFieldValue(FieldKey field, int value) { return SetPending(field, StoredCell::Int(value)); }
bool CADORecordset::SetFieldValue(FieldKey field, long value) { return SetPending(field, StoredCell::Int(value)); }
bool CADORecordset::SetFieldValue(FieldKey field, unsigned long value) {
  return SetPending(field, StoredCell::Int(static_cast<std::int64_t>(value)));
}
bool CADORecordset::SetFieldValue(FieldKey field, double value) { return SetPending(field, StoredCell::Real(value)); }
bool CADORecordset::SetFieldValue(FieldKey field, const COleDateTime& value) {
  if (value.GetStatus() == COleDateTime::null) return SetPending(field, StoredCell::Null());
  if (value.GetStatus() != COleDateTime::valid) {
    if (editState_ != 0) RecordError(SQLITE_MISMATCH, "the date is not valid");
    return false;
  }
  return SetPending(field, StoredCellOfVariant(CADOVariant::MakeDate(value.m_dt)));
}
bool CADORecordset::SetFieldValue(FieldKey field, bool value) { return SetPending(field, StoredCell::Int(value ? 1 : 0)); }
bool CADORecordset::SetFieldValue(FieldKey field, const COleCurrency& value) {
  if (value.GetStatus() == COleCurrency::null) return SetPending(field, StoredCell::Null());
  return SetPending(field, StoredCell::Real(value.ToDouble()));
}
bool CADORecordset::SetFieldValue(FieldKey field, const CADOVariant& value) {
  if (value.type == VarType::Text && value.strVal.empty()) return SetPending(field, StoredCell::Null());
  return SetPending(field, StoredCellOfVariant(value));
}
bool CADORecordset::EmptyField(FieldKey field) { return SetPending(field, StoredCell::Null()); }

std::string CADORecordset::QuotedTable() const { return QuoteName(store_->schema) + "." + QuoteName(store_->table); }

std::string CADORecordset::ReturningList() const {
  std::string list;
  for (const Column& column : store_->columns) {
    if (!list.empty()) list += ", ";
    list += QuoteName(column.origin);
  }
  return list;
}

std::string CADORecordset::RowMatch(std::vector<StoredCell>& binds) const {
  bool anyKey = false;
  for (const Column& column : store_->columns) anyKey = anyKey || column.key;
  std::string where;
  for (std::size_t c = 0; c < store_->columns.size(); ++c) {
    const Column& column = store_->columns[c];
    if (anyKey && !column.key) continue;
    if (!where.empty()) where += " AND ";
    where += QuoteName(column.origin) + " IS ?";
    binds.push_back(store_->Cell(c, row_));
  }
  return where;
}

bool CADORecordset::WriteOneRow(const std::string& sql, const std::vector<StoredCell>& binds,
                                std::vector<StoredCell>* returned) {
  CADODataBase::ThreadHandle th;
  if (!AcquireHandle(db_, th)) return false;
  sqlite3* h = th.handle;
  if (sqlite3_exec(h, "SAVEPOINT velkor_row_write", nullptr, nullptr, nullptr) != SQLITE_OK) {
    RecordError(sqlite3_extended_errcode(h), sqlite3_errmsg(h));
    return false;
  }
  int code = 0;
  std::string message;
  bool ok = false;
  {
    StatementPtr statement = PrepareOne(h, sql, code, message);
    for (std::size_t i = 0; statement && i < binds.size(); ++i) {
      const int rc = BindStoredCell(statement.get(), static_cast<int>(i) + 1, binds[i]);
      if (rc != SQLITE_OK) {
        code = rc;
        message = sqlite3_errmsg(h);
        statement.reset();
      }
    }
    if (statement) {
      int rows = 0;
      int rc;
      while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        if (rows++ == 0 && returned != nullptr) {
          returned->clear();
          for (int c = 0; c < sqlite3_column_count(statement.get()); ++c) {
            sqlite3_value* v = sqlite3_column_value(statement.get(), c);
            switch (sqlite3_value_type(v)) {
              case SQLITE_INTEGER: returned->push_back(StoredCell::Int(sqlite3_value_int64(v))); break;
              case SQLITE_FLOAT: returned->push_back(StoredCell::Real(sqlite3_value_double(v))); break;
              case SQLITE_TEXT:
                returned->push_back(StoredCell::Text(
                    std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                static_cast<std::size_t>(sqlite3_value_bytes(v)))));
                break;
              case SQLITE_BLOB: {
                const auto* bytes = static_cast<const char*>(sqlite3_value_blob(v));
                returned->push_back(StoredCell::Blob(
                    std::string(bytes == nullptr ? "" : bytes, static_cast<std::size_t>(sqlite3_value_bytes(v)))));
                break;
              }
              default: returned->push_back(StoredCell::Null());
            }
          }
        }
      }
      if (rc != SQLITE_DONE) {
        code = sqlite3_extended_errcode(h);
        message = sqlite3_errmsg(h);
      } else if (sqlite3_changes(h) != 1) {
        code = SQLITE_ABORT;
        message = std::to_string(sqlite3_changes(h)) +
                  " rows matched the row being written (it was changed or deleted underneath)";
      } else {
        ok = true;
      }
    }
  }
  if (ok && sqlite3_exec(h, "RELEASE velkor_row_write", nullptr, nullptr, nullptr) != SQLITE_OK) {
    code = sqlite3_extended_errcode(h);
    message = sqlite3_errmsg(h);
    ok = false;
  }
  if (!ok) {
    RecordError(code, message);
    sqlite3_exec(h, "ROLLBACK TO velkor_row_write", nullptr, nullptr, nullptr);
    sqlite3_exec(h, "RELEASE velkor_row_write", nullptr, nullptr, nullptr);
  }
  return ok;
}

bool CADORecordset::Update() {
  if (editState_ == 0) return true;
  const int state = editState_;
  std::vector<std::optional<StoredCell>> pending = std::move(pending_);
  CancelUpdate();
  if (!open_) return false;
  RowStore& store = *store_;
  if (store.detached) {
    if (state == 1) {
      std::vector<StoredCell> cells(store.columns.size());
      for (std::size_t c = 0; c < cells.size(); ++c) {
        if (pending[c]) cells[c] = *pending[c];
      }
      store.AppendRow(cells);
    } else {
      for (std::size_t c = 0; c < pending.size(); ++c) {
        if (pending[c]) store.SetCell(c, row_, *pending[c]);
      }
      return true;
    }
  } else {
    std::vector<StoredCell> binds;
    std::vector<StoredCell> returned;
    std::string names, marks;
    // A column the result holds twice is written once.
    std::vector<std::string> written;
    for (std::size_t c = 0; c < pending.size(); ++c) {
      if (!pending[c]) continue;
      const std::string& origin = store.columns[c].origin;
      if (std::any_of(written.begin(), written.end(), [&](const std::string& w) { return EqualsNoCase(w, origin); })) {
        continue;
      }
      written.push_back(origin);
      binds.push_back(*pending[c]);
      if (!names.empty()) {
        names += ", ";
        marks += ", ";
      }
      names += QuoteName(origin) + (state == 2 ? " = ?" : "");
      marks += "?";
    }
    std::string sql;
    if (state == 1) {
      sql = "INSERT INTO " + QuotedTable() + (names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
    } else {
      if (binds.empty()) return true;  // nothing changed
      sql = "UPDATE " + QuotedTable() + " SET " + names + " WHERE " + RowMatch(binds);
    }
    sql += " RETURNING " + ReturningList();
    if (!WriteOneRow(sql, binds, &returned)) return false;
    if (state == 2) {
      for (std::size_t c = 0; c < returned.size() && c < store.columns.size(); ++c) store.SetCell(c, row_, returned[c]);
      return true;
    }
    store.AppendRow(returned);
  }
  // The new row joins this view at its end and becomes current.
  const std::size_t added = store.rowCount - 1;
  if (explicitView_) view_.push_back(static_cast<std::uint32_t>(added));
  SetPosition(ViewSize() - 1);
  return true;
}

bool CADORecordset::Delete() {
  CancelUpdate();
  if (!open_ || !store_->updatable) {
    RecordError(SQLITE_READONLY, "the recordset is not updatable: its columns do not all come from one table");
    return false;
  }
  if (!OnRow() || store_->IsDeleted(row_)) {
    RecordError(SQLITE_MISUSE, "no current row to delete");
    return false;
  }
  if (!store_->detached) {
    if (!EnsureKeys()) return false;
    std::vector<StoredCell> binds;
    const std::string sql = "DELETE FROM " + QuotedTable() + " WHERE " + RowMatch(binds);
    if (!WriteOneRow(sql, binds, nullptr)) return false;
  }
  if (store_->deleted.size() < store_->rowCount) store_->deleted.resize(store_->rowCount, 0);
  store_->deleted[row_] = 1;
  const long keep = pos_;
  RebuildView();
  SetPosition(keep);
  return true;
}

// ---------------------------------------------------------------------------------
// Search, filter, sort, bookmarks

bool CADORecordset::ResolveColumn(const std::string& name, int& index) {
  std::size_t column = 0;
  if (!FindColumn(FieldKey(name), column)) return false;
  index = static_cast<int>(column);
  return true;
}

bool CADORecordset::RebuildView() {
  const RowStore& store = *store_;
  const bool anyDeleted = !store.deleted.empty();
  if (!filter_ && sort_.empty() && !anyDeleted) {
    explicitView_ = false;
    std::vector<std::uint32_t>().swap(view_);
    return true;
  }
  std::vector<std::uint32_t> rows;
  for (std::size_t r = 0; r < store.rowCount; ++r) {
    if (store.IsDeleted(r)) continue;
    if (filter_ && !ExprMatches(*filter_, [&](int column) {
          return CellVariantAt(static_cast<std::size_t>(column), r, true);
        })) {
      continue;
    }
    rows.push_back(static_cast<std::uint32_t>(r));
  }
  if (!sort_.empty()) {
    std::vector<std::vector<CADOVariant>> keys(store.rowCount);
    for (const std::uint32_t r : rows) {
      for (const CriteriaSortKey& key : sort_) keys[r].push_back(CellVariantAt(static_cast<std::size_t>(key.columnIndex), r, true));
    }
    std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
      for (std::size_t k = 0; k < sort_.size(); ++k) {
        const int order = CompareCellsForSort(keys[a][k], keys[b][k]);
        if (order != 0) return sort_[k].descending ? order > 0 : order < 0;
      }
      return false;
    });
  }
  view_ = std::move(rows);
  explicitView_ = true;
  return true;
}

bool CADORecordset::SetFilter(const std::string& filter) {
  if (!RequireOpen()) return false;
  std::string error;
  auto parsed = ParseFilterText(filter, error);
  if (!parsed) {
    RecordError(SQLITE_ERROR, "malformed filter: " + error);
    return false;
  }
  std::optional<CriteriaExpr> expr = std::move(*parsed);
  bool resolved = true;
  if (expr) {
    ForEachClause(*expr, [&](CriteriaClause& clause) {
      if (resolved) resolved = ResolveColumn(clause.column, clause.columnIndex);
    });
  }
  if (!resolved) return false;
  filter_ = std::move(expr);
  RebuildView();
  SetPosition(0);
  return true;
}

bool CADORecordset::SetSort(const std::string& sort) {
  if (!RequireOpen()) return false;
  std::string error;
  auto keys = ParseSortText(sort, error);
  if (!keys) {
    RecordError(SQLITE_ERROR, "malformed sort: " + error);
    return false;
  }
  for (CriteriaSortKey& key : *keys) {
    if (!ResolveColumn(key.column, key.columnIndex)) return false;
  }
  sort_ = std::move(*keys);
  RebuildView();
  SetPosition(0);
  return true;
}

bool CADORecordset::Search(const CriteriaClause& clause, long from, int direction) {
  const long size = ViewSize();
  for (long p = from; p >= 0 && p < size; p += direction) {
    const std::size_t r = RowAt(p);
    if (store_->IsDeleted(r)) continue;
    if (ClauseMatches(CellVariantAt(static_cast<std::size_t>(clause.columnIndex), r, true), clause)) {
      SetPosition(p);
      searchBookmark_ = static_cast<std::uint32_t>(r + 1);
      return true;
    }
  }
  SetPosition(direction > 0 ? size : -1);
  return false;
}

bool CADORecordset::Find(const std::string& criteria, int direction) {
  if (direction != 1 && direction != -1) {
    searchDirection_ = 1;
    return false;
  }
  if (!RequireOpen()) return false;
  std::string error;
  std::optional<CriteriaClause> clause = ParseFindText(criteria, error);
  if (!clause) {
    RecordError(SQLITE_ERROR, "malformed search criteria: " + error);
    return false;
  }
  if (!ResolveColumn(clause->column, clause->columnIndex)) return false;
  searchText_ = criteria;
  searchDirection_ = direction;
  const long size = ViewSize();
  long from = pos_;
  if (direction > 0 && from < 0) from = 0;
  if (direction < 0 && from >= size) from = size - 1;
  return Search(*clause, from, direction);
}

bool CADORecordset::FindFirst(const std::string& criteria) {
  MoveFirst();
  return Find(criteria, 1);
}

bool CADORecordset::FindNext() {
  if (!open_ || searchText_.empty()) return false;
  std::string error;
  std::optional<CriteriaClause> clause = ParseFindText(searchText_, error);
  if (!clause || !ResolveColumn(clause->column, clause->columnIndex)) return false;
  const int direction = searchDirection_ == 1 ? 1 : -1;
  long from = pos_;
  if (searchBookmark_ != 0) {
    const long size = ViewSize();
    for (long p = 0; p < size; ++p) {
      if (RowAt(p) + 1 == searchBookmark_) {
        from = p;
        break;
      }
    }
  }
  return Search(*clause, from + direction, direction);
}

bool CADORecordset::GetBookmark() {
  if (!OnRow()) return false;
  currentBookmark_ = static_cast<std::uint32_t>(row_ + 1);
  return true;
}

bool CADORecordset::SetBookmark() {
  if (currentBookmark_ == 0 || !open_) return false;
  const long size = ViewSize();
  for (long p = 0; p < size; ++p) {
    if (RowAt(p) + 1 == currentBookmark_ && !store_->IsDeleted(RowAt(p))) {
      SetPosition(p);
      return true;
    }
  }
  RecordError(SQLITE_NOTFOUND, "the bookmarked row is not in view");
  return false;
}

bool CADORecordset::Clone(CADORecordset& other) {
  if (&other == this) return false;
  if (!RequireOpen()) return false;
  other.Close();
  other.db_ = db_;
  other.query_ = query_;
  other.store_ = store_;
  other.open_ = true;
  other.RebuildView();
  other.SetPosition(0);
  return true;
}

// ---------------------------------------------------------------------------------
// Long values, descriptions, text

bool CADORecordset::DescribeField(FieldKey field, CADOFieldInfo& info) {
  std::memset(&info, 0, sizeof info);
  std::size_t column = 0;
  if (!FindColumn(field, column) || !EnsureKeys()) return false;
  const Column& c = store_->columns[column];
  // Whole UTF-8 characters within 29 bytes.
  std::size_t cut = std::min<std::size_t>(c.name.size(), sizeof info.m_strName - 1);
  while (cut > 0 && cut < c.name.size() && (static_cast<unsigned char>(c.name[cut]) & 0xC0) == 0x80) --cut;
  std::memcpy(info.m_strName, c.name.data(), cut);
  const std::string declared = FirstWordUpper(c.declared.c_str());
  std::int16_t type = 202;  // adVarWChar
  std::int32_t size = 0;
  switch (c.kind) {
    case DeclKind::I2: type = 2; size = 2; break;
    case DeclKind::I4: type = 3; size = 4; break;
    case DeclKind::R4: type = 4; size = 4; break;
    case DeclKind::R8: type = 5; size = 8; break;
    case DeclKind::Currency: type = 6; size = 8; break;
    case DeclKind::Date: type = 7; size = 8; break;
    case DeclKind::Bool: type = 11; size = 2; break;
    case DeclKind::Decimal: type = 14; size = 16; break;
    case DeclKind::Text:
    case DeclKind::None: type = declared == "BLOB" ? 205 : 202; break;
  }
  if (type == 202 || type == 205) {
    const std::size_t open = c.declared.find('(');
    if (open != std::string::npos) size = static_cast<std::int32_t>(std::atol(c.declared.c_str() + open + 1));
  }
  info.m_nType = type;
  info.m_lDefinedSize = size;
  std::int32_t attributes = 0;
  if (store_->updatable) attributes |= 0x4;
  if (!c.notNull) attributes |= 0x20 | 0x40;
  if ((type == 202 || type == 205) && size == 0) attributes |= 0x80;
  if (c.key) attributes |= 0x8000;
  info.m_lAttributes = attributes;
  if (OnRow() && !store_->IsDeleted(row_)) {
    switch (c.storage[row_]) {
      case SQLITE_TEXT:
      case SQLITE_BLOB: info.m_lSize = static_cast<std::int32_t>(CellText(c, row_).size()); break;
      case SQLITE_NULL: info.m_lSize = 0; break;
      default: info.m_lSize = size != 0 ? size : 8;
    }
  }
  return true;
}

bool CADORecordset::GetChunk(FieldKey field, CString& value) {
  std::size_t column = 0;
  if (!Locate(field, column)) return false;
  const Column& c = store_->columns[column];
  const int storage = c.storage[row_];
  if (storage == SQLITE_TEXT || storage == SQLITE_BLOB) {
    value.assign(CellText(c, row_));
    return true;
  }
  if (storage == SQLITE_NULL) {
    value.clear();
    return true;
  }
  return GetFieldValue(field, value);
}

bool CADORecordset::GetChunk(FieldKey field, void* block, std::size_t blockSize) {
  std::size_t column = 0;
  if (!Locate(field, column)) return false;
  const Column& c = store_->columns[column];
  const int storage = c.storage[row_];
  if (storage == SQLITE_NULL) return true;
  if (storage != SQLITE_TEXT && storage != SQLITE_BLOB) {
    RecordError(SQLITE_MISMATCH, "the field holds no long value");
    return false;
  }
  const std::string_view bytes = CellText(c, row_);
  if (block == nullptr || blockSize < bytes.size()) {
    RecordError(SQLITE_TOOBIG, "the block holds " + std::to_string(blockSize) + " bytes, the value " +
                                   std::to_string(bytes.size()));
    return false;
  }
  if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return true;
}

bool CADORecordset::AppendChunk(FieldKey field, const void* data, std::size_t size) {
  if (editState_ == 0) return false;
  std::size_t column = 0;
  if (!FindColumn(field, column)) return false;
  if (data == nullptr && size != 0) return false;
  std::optional<StoredCell>& cell = pending_[column];
  if (!cell || cell->kind != StoredCell::Kind::Blob) cell = StoredCell::Blob({});
  if (size != 0) cell->bytes.append(static_cast<const char*>(data), size);
  return true;
}

std::string CADORecordset::GetString(const std::string& columnDelimiter, const std::string& rowDelimiter,
                                     const std::string& nullText, long rowCount) {
  const std::string& cd = columnDelimiter.empty() ? std::string("\t") : columnDelimiter;
  const std::string& rd = rowDelimiter.empty() ? std::string("\r") : rowDelimiter;
  std::string out;
  if (!open_) return out;
  if (pos_ < 0) SetPosition(0);
  for (long taken = 0; OnRow() && (rowCount <= 0 || taken < rowCount); ++taken) {
    if (!store_->IsDeleted(row_)) {
      for (std::size_t c = 0; c < store_->columns.size(); ++c) {
        if (c > 0) out += cd;
        const CADOVariant v = CellVariant(c, true);
        out += v.IsNullOrEmpty() ? nullText : CellCriteriaText(v);
      }
      out += rd;
    }
    SetPosition(pos_ + 1);
  }
  return out;
}

// ---------------------------------------------------------------------------------
// Commands, binding, persistence, schema

bool CADORecordset::Execute(CADOCommand& command) {
  Close();
  if (db_ == nullptr) db_ = command.GetDatabase();
  query_ = command.GetText();
  if (command.GetDatabase() == nullptr) {
    RecordError(SQLITE_MISUSE, "the command has no connection");
    return false;
  }
  CADODataBase::ThreadHandle th;
  if (!AcquireHandle(command.GetDatabase(), th)) return false;
  int code = 0;
  std::string message;
  StatementPtr statement = command.Prepare(th.handle, code, message);
  if (!statement) {
    RecordError(code, message);
    return false;
  }
  return Materialize(th.handle, statement.get());
}

void CADORecordset::FillBinding() noexcept {
  if (binding_ == nullptr || !OnRow() || store_->IsDeleted(row_)) return;
  for (const CADORecordBinding::Entry& entry : binding_->Entries()) {
    std::visit([&](auto* member) { GetFieldValue(FieldKey(entry.column), *member); }, entry.member);
  }
}

bool CADORecordset::BindRecord(CADORecordBinding& binding) {
  if (!RequireOpen()) return false;
  for (const CADORecordBinding::Entry& entry : binding.Entries()) {
    std::size_t column = 0;
    if (!FindColumn(FieldKey(entry.column), column)) return false;
  }
  binding_ = &binding;
  FillBinding();
  return true;
}

bool CADORecordset::AddNew(CADORecordBinding& binding) {
  if (!AddNew()) return false;
  for (const CADORecordBinding::Entry& entry : binding.Entries()) {
    const bool set = std::visit([&](auto* member) { return SetFieldValue(FieldKey(entry.column), *member); },
                                entry.member);
    if (!set) {
      CancelUpdate();
      return false;
    }
  }
  return Update();
}

bool CADORecordset::SaveXml(const std::string& fileName) {
  if (!RequireOpen()) return false;
  RecordsetImage image;
  for (const Column& column : store_->columns) image.columns.push_back({column.name, column.declared});
  const long size = ViewSize();
  for (long p = 0; p < size; ++p) {
    const std::size_t r = RowAt(p);
    if (store_->IsDeleted(r)) continue;
    std::vector<StoredCell> row;
    for (std::size_t c = 0; c < store_->columns.size(); ++c) row.push_back(store_->Cell(c, r));
    image.rows.push_back(std::move(row));
  }
  if (fileName.empty() || !ReplaceFileContents(fileName, WriteRecordsetXml(image))) {
    RecordError(SQLITE_CANTOPEN, "cannot write " + fileName);
    return false;
  }
  return true;
}

bool CADORecordset::LoadXml(const std::string& fileName) {
  Close();
  query_ = fileName;
  std::string bytes;
  if (ReadFileBytes(fileName, bytes) != FileReadResult::Ok) {
    RecordError(SQLITE_CANTOPEN, "cannot read " + fileName);
    return false;
  }
  std::string error;
  std::optional<RecordsetImage> image = ParseRecordsetXml(bytes, error);
  if (!image) {
    RecordError(SQLITE_CORRUPT, "not a saved recordset: " + error);
    return false;
  }
  auto store = std::make_shared<RowStore>();
  for (const RecordsetImage::Column& saved : image->columns) {
    Column column;
    column.name = saved.name;
    column.declared = saved.declaredType;
    column.kind = KindOfDeclaredType(saved.declaredType.c_str());
    column.origin = saved.name;
    store->columns.push_back(std::move(column));
  }
  for (const std::vector<StoredCell>& row : image->rows) store->AppendRow(row);
  store->detached = true;
  store->updatable = true;
  BuildNameIndex(*store);
  store_ = std::move(store);
  open_ = true;
  SetPosition(0);
  return true;
}

bool CADORecordset::OpenSchema(int schema, const std::string&) {
  static constexpr const char* kObjects =
      "sqlite_master m WHERE m.type IN ('table', 'view') AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
  std::string sql;
  switch (schema) {
    case schemaTables:
      sql = std::string("SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, m.name AS TABLE_NAME, "
                        "CASE m.type WHEN 'view' THEN 'VIEW' ELSE 'TABLE' END AS TABLE_TYPE FROM ") +
            kObjects + " ORDER BY m.name";
      break;
    case schemaColumns:
      sql = std::string("SELECT m.name AS TABLE_NAME, p.name AS COLUMN_NAME, p.cid + 1 AS ORDINAL_POSITION, "
                        "p.type AS DATA_TYPE, p.\"notnull\" = 0 AS IS_NULLABLE, p.dflt_value AS COLUMN_DEFAULT "
                        "FROM ") +
            "sqlite_master m, pragma_table_info(m.name) p WHERE m.type IN ('table', 'view') AND m.name NOT LIKE "
            "'sqlite\\_%' ESCAPE '\\' ORDER BY m.name, p.cid";
      break;
    case schemaIndexes:
      sql = "SELECT m.name AS TABLE_NAME, il.name AS INDEX_NAME, il.\"unique\" AS \"UNIQUE\", "
            "il.origin = 'pk' AS PRIMARY_KEY, ii.seqno + 1 AS ORDINAL_POSITION, ii.name AS COLUMN_NAME "
            "FROM sqlite_master m, pragma_index_list(m.name) il, pragma_index_info(il.name) ii "
            "WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
            "ORDER BY m.name, il.name, ii.seqno";
      break;
    case schemaPrimaryKeys:
      sql = "SELECT m.name AS TABLE_NAME, p.name AS COLUMN_NAME, p.pk AS ORDINAL "
            "FROM sqlite_master m, pragma_table_info(m.name) p "
            "WHERE m.type = 'table' AND p.pk > 0 AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
            "ORDER BY m.name, p.pk";
      break;
    default:
      Close();
      RecordError(SQLITE_ERROR, "schema rowset " + std::to_string(schema) + " is not served");
      return false;
  }
  return Open(sql, openQuery);
}
