#include "storage/ado_recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "storage/ado_database.h"

namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

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

// ^[A-Za-z_][A-Za-z0-9_]*$: a bare table name, safe to put between double quotes.
bool IsIdentifier(std::string_view text) {
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool digit = c >= '0' && c <= '9';
    if (!(letter || (digit && i > 0))) return false;
  }
  return true;
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

bool CADORecordset::Open(const std::string& sql, int option) { return Open(sql, {}, option); }

bool CADORecordset::Open(CADODataBase* db, const std::string& sql, int option) {
  if (db_ == nullptr) db_ = db;
  return Open(sql, {}, option);
}

bool CADORecordset::Open(const std::string& sql, const std::vector<DbValue>& params, int option) {
  Close();
  if (!sql.empty()) query_ = sql;
  std::size_t start = 0;
  while (start < query_.size() && IsCSpace(query_[start])) ++start;
  query_.erase(0, start);
  return Run(params, option);
}

bool CADORecordset::Run(const std::vector<DbValue>& params, int option) {
  std::string statementText;
  switch (option) {
    case openUnknown:
    case openQuery:
      statementText = IsIdentifier(query_) ? "SELECT * FROM \"" + query_ + "\"" : query_;
      break;
    case openTable:
      if (!IsIdentifier(query_)) {
        RecordError(SQLITE_ERROR, "not a table name: " + query_);
        return false;
      }
      statementText = "SELECT * FROM \"" + query_ + "\"";
      break;
    case openStoredProc:
      RecordError(SQLITE_ERROR, "stored procedures are not supported");
      return false;
    default:
      return false;
  }
  if (db_ == nullptr) {
    RecordError(SQLITE_MISUSE, "the recordset has no connection");
    return false;
  }
  const CADODataBase::ThreadHandle th = db_->AcquireHandle();
  if (th.handle == nullptr) {
    RecordError(th.code, th.message);
    return false;
  }
  int code = 0;
  std::string message;
  StatementPtr statement = PrepareBound(th.handle, statementText, params, code, message);
  if (!statement) {
    RecordError(code, message);
    return false;
  }

  sqlite3_stmt* st = statement.get();
  const int count = sqlite3_column_count(st);
  columns_.resize(static_cast<std::size_t>(count));
  for (int c = 0; c < count; ++c) {
    const char* name = sqlite3_column_name(st, c);
    columns_[static_cast<std::size_t>(c)].name = name != nullptr ? name : "";
    columns_[static_cast<std::size_t>(c)].kind = KindOfDeclaredType(sqlite3_column_decltype(st, c));
  }

  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < count; ++c) {
      Column& column = columns_[static_cast<std::size_t>(c)];
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
          cell = arena_.Append(bytes, static_cast<std::uint32_t>(sqlite3_value_bytes(value)));
          break;
        }
        default: break;
      }
      column.storage.push_back(static_cast<std::uint8_t>(type));
      column.cells.push_back(cell);
    }
    ++rowCount_;
  }
  if (rc != SQLITE_DONE) {
    RecordError(sqlite3_extended_errcode(th.handle), sqlite3_errmsg(th.handle));
    Close();
    return false;
  }
  BuildNameIndex();
  open_ = true;
  row_ = 0;
  return true;
}

void CADORecordset::BuildNameIndex() {
  std::size_t size = 8;
  while (size < columns_.size() * 2) size *= 2;
  nameSlots_.assign(size, 0);
  const std::size_t mask = size - 1;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    std::size_t slot = HashNoCase(columns_[c].name) & mask;
    bool duplicate = false;
    // The first column of a name wins, as a lookup of a repeated name expects.
    while (nameSlots_[slot] != 0) {
      if (EqualsNoCase(columns_[nameSlots_[slot] - 1].name, columns_[c].name)) {
        duplicate = true;
        break;
      }
      slot = (slot + 1) & mask;
    }
    if (!duplicate) nameSlots_[slot] = static_cast<std::uint32_t>(c + 1);
  }
}

bool CADORecordset::IsConnectionOpen() const noexcept { return db_ != nullptr && db_->IsOpen(); }

bool CADORecordset::IsOpen() const noexcept { return open_ && IsConnectionOpen(); }

void CADORecordset::Close() noexcept {
  open_ = false;
  std::vector<Column>().swap(columns_);
  arena_ = TextArena();
  std::vector<std::uint32_t>().swap(nameSlots_);
  rowCount_ = 0;
  row_ = 0;
}

bool CADORecordset::IsEof() const noexcept { return !open_ || row_ >= rowCount_; }

bool CADORecordset::IsBof() const noexcept { return !open_ || rowCount_ == 0; }

void CADORecordset::MoveNext() noexcept {
  if (row_ < rowCount_) ++row_;
}

void CADORecordset::MoveFirst() noexcept { row_ = 0; }

long CADORecordset::GetRecordCount() const noexcept { return open_ ? static_cast<long>(rowCount_) : 0; }

long CADORecordset::GetAbsolutePosition() const noexcept {
  return (open_ && row_ < rowCount_) ? static_cast<long>(row_) : -1;
}

int CADORecordset::GetFieldCount() const noexcept { return static_cast<int>(columns_.size()); }

std::string CADORecordset::GetFieldName(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= columns_.size()) return {};
  return columns_[static_cast<std::size_t>(index)].name;
}

void CADORecordset::RecordError(int code, const std::string& description) {
  lastError_ = static_cast<DWORD>(code);
  lastErrorDescription_ = description;
  lastErrorText_ = "Query = " + query_ + "\n" + FormatErrorReport("CADORecordset Error", lastError_, description);
}

bool CADORecordset::Locate(const FieldKey& field, std::size_t& column) {
  if (!open_) {
    RecordError(SQLITE_MISUSE, "the recordset is not open");
    return false;
  }
  if (field.ByName()) {
    const std::string_view name = field.Name();
    const std::size_t mask = nameSlots_.size() - 1;
    std::size_t slot = HashNoCase(name) & mask;
    bool found = false;
    while (nameSlots_[slot] != 0) {
      const std::size_t c = nameSlots_[slot] - 1;
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
  if (row_ >= rowCount_) {
    RecordError(SQLITE_MISUSE, "no current row: the recordset is at its end");
    return false;
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

CADOVariant CADORecordset::CellVariant(std::size_t columnIndex, bool withText) const {
  const Column& column = columns_[columnIndex];
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
  if (value.type == VarType::Text) text = CellText(columns_[column], row_);
  return convert(value, text);
}

bool CADORecordset::GetFieldValue(FieldKey field, CString& value, const std::string& dateFormat) {
  std::size_t column = 0;
  if (!Locate(field, column)) return false;
  const Column& c = columns_[column];
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
  const Column& c = columns_[column];
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
  return columns_[column].storage[row_] == SQLITE_NULL;
}

bool CADORecordset::IsFieldEmpty(FieldKey field) {
  // SQLite has no "empty" apart from null.
  return IsFieldNull(field);
}
