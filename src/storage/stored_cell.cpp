#include "storage/stored_cell.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>

StoredCell StoredCellOfVariant(const CADOVariant& value) {
  switch (value.type) {
    case VarType::Empty:
    case VarType::Null: return StoredCell::Null();
    case VarType::I2:
    case VarType::I4:
    case VarType::I8: return StoredCell::Int(value.intVal);
    case VarType::Bool: return StoredCell::Int(value.intVal != 0 ? 1 : 0);
    case VarType::R4:
    case VarType::R8: return StoredCell::Real(value.dblVal);
    case VarType::Currency: return StoredCell::Real(static_cast<double>(value.intVal) / 10000.0);
    case VarType::Decimal: {
      const CDecimal& d = value.decVal;
      if (d.scale == 0 && d.mantissa <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        const auto magnitude = static_cast<std::int64_t>(d.mantissa);
        return StoredCell::Int(d.sign == CDecimal::kNegative ? -magnitude : magnitude);
      }
      return StoredCell::Real(DecimalToDouble(d));
    }
    case VarType::Date: {
      const COleDateTime date(value.dblVal);
      if (date.GetStatus() != COleDateTime::valid) return StoredCell::Real(value.dblVal);
      const bool wholeDay = date.GetHour() == 0 && date.GetMinute() == 0 && date.GetSecond() == 0;
      return StoredCell::Text(date.Format(wholeDay ? "%Y-%m-%d" : "%Y-%m-%d %H:%M:%S"));
    }
    case VarType::Text: return StoredCell::Text(value.strVal);
  }
  return StoredCell::Null();
}

int BindStoredCell(sqlite3_stmt* statement, int index, const StoredCell& cell) {
  switch (cell.kind) {
    case StoredCell::Kind::Null: return sqlite3_bind_null(statement, index);
    case StoredCell::Kind::Integer: return sqlite3_bind_int64(statement, index, cell.integer);
    case StoredCell::Kind::Real: return sqlite3_bind_double(statement, index, cell.real);
    case StoredCell::Kind::Text:
      return sqlite3_bind_text64(statement, index, cell.bytes.data(), cell.bytes.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    case StoredCell::Kind::Blob:
      // A zero-length blob is still a blob, never NULL.
      return cell.bytes.empty() ? sqlite3_bind_zeroblob(statement, index, 0)
                                : sqlite3_bind_blob64(statement, index, cell.bytes.data(), cell.bytes.size(),
                                                      SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}
