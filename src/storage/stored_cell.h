#pragma once
// One value as SQLite stores it: null, a 64-bit integer, a double, text or a blob.
// The recordset's edit buffer, its saved files and the command parameters travel in
// this form; BindStoredCell hands it to a `?` of a statement.

#include <cstdint>
#include <string>

#include "storage/ole_types.h"

struct sqlite3_stmt;

struct StoredCell {
  enum class Kind : std::uint8_t { Null, Integer, Real, Text, Blob };
  Kind kind = Kind::Null;
  std::int64_t integer = 0;
  double real = 0.0;
  std::string bytes;  // Text and Blob

  static StoredCell Null() { return {}; }
  static StoredCell Int(std::int64_t v) {
    StoredCell c;
    c.kind = Kind::Integer;
    c.integer = v;
    return c;
  }
  static StoredCell Real(double v) {
    StoredCell c;
    c.kind = Kind::Real;
    c.real = v;
    return c;
  }
  static StoredCell Text(std::string v) {
    StoredCell c;
    c.kind = Kind::Text;
    c.bytes = std::move(v);
    return c;
  }
  static StoredCell Blob(std::string v) {
    StoredCell c;
    c.kind = Kind::Blob;
    c.bytes = std::move(v);
    return c;
  }
  bool operator==(const StoredCell& other) const = default;
};

// How a variant is written into a table: empty and null → Null; the integer types and
// Bool (1 or 0) → Integer; R4, R8 and Currency (the amount) → Real; a Decimal → Integer
// when it is a whole number that fits, else Real; a Date → ISO text, "2017-02-06" for
// a whole day and "2017-02-06 09:30:00" otherwise, as the tables keep dates; Text →
// Text (an empty text stays empty text: callers that want NULL say so).
StoredCell StoredCellOfVariant(const CADOVariant& value);

// sqlite3_bind_* of the cell to the one-based `index`; the SQLite result code.
int BindStoredCell(sqlite3_stmt* statement, int index, const StoredCell& cell);
