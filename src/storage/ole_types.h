#pragma once
// The small value types that field readers hand out: a date as an OLE day number,
// a currency amount in ten-thousandths, and the typed variant a cell of a recordset
// is read as, with the conversions between them. Numbers are formatted and parsed
// in the C locale whatever the process locale is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A point in time as a day number counted from 1899-12-30 00:00:00; the fraction is
// the time of day. Before that day the whole part counts days backwards and the
// fraction still runs forwards (-1.25 is 1899-12-29 06:00:00).
class COleDateTime {
 public:
  enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

  COleDateTime() = default;  // valid, 1899-12-30 00:00:00
  explicit COleDateTime(double oleDate);
  COleDateTime(int year, int month, int day, int hour, int minute, int second);

  // "YYYY-MM-DD" with an optional " HH:MM[:SS[.fff]]" (or 'T' before the time);
  // '/' is accepted in place of '-'. Anything else gives an invalid date.
  static COleDateTime FromText(std::string_view text);
  static std::optional<double> ParseDateText(std::string_view text);

  // 0 when the parts form a valid date (years 100..9999), 1 otherwise (status invalid).
  int SetDateTime(int year, int month, int day, int hour, int minute, int second);
  int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }

  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }

  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;  // 1 = Sunday .. 7 = Saturday

  // strftime-style: %Y %y %m %d %H %I %M %S %p %j %a %A %b %B %%, names in English;
  // other characters are copied. A null or invalid date formats as "".
  std::string Format(std::string_view format = "%Y-%m-%d %H:%M:%S") const;

  bool operator==(const COleDateTime& other) const {
    return m_status == other.m_status && m_dt == other.m_dt;
  }

  double m_dt = 0.0;
  DateTimeStatus m_status = valid;

 private:
  struct Parts {
    int year, month, day, hour, minute, second, dayOfWeek, dayOfYear;
  };
  std::optional<Parts> Split() const;
};

// A money amount as a count of ten-thousandths.
class COleCurrency {
 public:
  enum CurrencyStatus { valid = 0, invalid = 1, null = 2 };

  COleCurrency() = default;
  // units and a fraction in ten-thousandths (both carry the sign of the amount).
  COleCurrency(std::int64_t units, std::int64_t fraction) : m_cur(units * 10000 + fraction) {}
  static COleCurrency FromRaw(std::int64_t tenThousandths);
  // Rounded to the nearest ten-thousandth; out of range or NaN → invalid.
  static COleCurrency FromDouble(double value);

  CurrencyStatus GetStatus() const { return m_status; }
  void SetStatus(CurrencyStatus status) { m_status = status; }
  double ToDouble() const { return static_cast<double>(m_cur) / 10000.0; }
  // "-123.45": up to four decimals, trailing zeros dropped; null/invalid → "".
  std::string Format() const;

  bool operator==(const COleCurrency& other) const {
    return m_status == other.m_status && m_cur == other.m_cur;
  }

  std::int64_t m_cur = 0;
  CurrencyStatus m_status = valid;
};

// A decimal as the database drivers hand it: a 96-bit unsigned mantissa (64 bits are
// enough for every value this program meets), a power-of-ten scale and a sign byte.
struct CDecimal {
  static constexpr std::uint8_t kNegative = 0x80;
  std::uint64_t mantissa = 0;
  std::uint8_t scale = 0;
  std::uint8_t sign = 0;  // kNegative for a negative value
};

// The mantissa as a double, negated when the sign byte is 0x80, divided by 10^scale.
double DecimalToDouble(const CDecimal& value);

enum class VarType {
  Empty,
  Null,
  I2,        // 16-bit integer
  I4,        // 32-bit integer
  I8,        // 64-bit integer (a whole number that does not fit 32 bits)
  R4,        // single float
  R8,        // double
  Currency,  // COleCurrency ten-thousandths
  Date,      // OLE day number
  Bool,
  Decimal,
  Text,
};

// A cell's value with its type. Only the member that belongs to the type is used:
// integer types, Bool (-1 true, 0 false) and Currency (ten-thousandths) use intVal,
// R4/R8/Date use dblVal, Decimal uses decVal and Text uses strVal.
struct CADOVariant {
  VarType type = VarType::Empty;
  std::int64_t intVal = 0;
  double dblVal = 0.0;
  CDecimal decVal;
  std::string strVal;

  static CADOVariant MakeNull() { return WithType(VarType::Null); }
  static CADOVariant MakeI2(std::int16_t v) { return WithInt(VarType::I2, v); }
  static CADOVariant MakeI4(std::int32_t v) { return WithInt(VarType::I4, v); }
  static CADOVariant MakeI8(std::int64_t v) { return WithInt(VarType::I8, v); }
  static CADOVariant MakeBool(bool v) { return WithInt(VarType::Bool, v ? -1 : 0); }
  static CADOVariant MakeCurrency(std::int64_t tenThousandths) { return WithInt(VarType::Currency, tenThousandths); }
  static CADOVariant MakeR4(float v) { return WithDouble(VarType::R4, v); }
  static CADOVariant MakeR8(double v) { return WithDouble(VarType::R8, v); }
  static CADOVariant MakeDate(double oleDate) { return WithDouble(VarType::Date, oleDate); }
  static CADOVariant MakeDecimal(const CDecimal& v) {
    CADOVariant r = WithType(VarType::Decimal);
    r.decVal = v;
    return r;
  }
  static CADOVariant MakeText(std::string v) {
    CADOVariant r = WithType(VarType::Text);
    r.strVal = std::move(v);
    return r;
  }

  bool IsNullOrEmpty() const { return type == VarType::Null || type == VarType::Empty; }

 private:
  static CADOVariant WithType(VarType t) {
    CADOVariant r;
    r.type = t;
    return r;
  }
  static CADOVariant WithInt(VarType t, std::int64_t v) {
    CADOVariant r = WithType(t);
    r.intVal = v;
    return r;
  }
  static CADOVariant WithDouble(VarType t, double v) {
    CADOVariant r = WithType(t);
    r.dblVal = v;
    return r;
  }
};

// The platform runtime's general format of a double with `digits` significant
// digits. Fixed notation while the decimal exponent (the number of digits before the
// point, 0 for 0.1..0.99) lies in 0..digits; exponent notation otherwise, that is
// for magnitudes below 0.1 or of more than `digits` integer digits. Trailing zeros
// after the point are dropped but the point stays; the exponent is written with a
// sign and at least two digits:
//   10.0 → "10."   12.5 → "12.5"   0.5 → "0.5"   0.0 → "0."
//   0.05 (10 digits) → "5.e-02"   1.5e25 (20 digits) → "1.5e+25"
std::string FormatGeneral(double value, int digits);

// Text as a number in the C locale, strtod style: leading white space skipped, the
// longest numeric prefix taken, no number at all → 0.
double ParseNumberC(std::string_view text);
// The same, with an infinite or NaN result read as 0: figures of outside pages.
double ParseFiniteNumberC(std::string_view text);

// The readers' conversions. Mismatched types convert numerically: text is parsed as
// above (a non-number is 0), a date gives its OLE day number, a boolean is -1 or 0,
// a currency its amount; empty and null give 0.
double VariantToDouble(const CADOVariant& value);
// Doubles are truncated toward zero and clamped to the range (NaN → 0).
std::int64_t VariantToInt64(const CADOVariant& value);
std::int32_t VariantToInt32(const CADOVariant& value);
// Non-zero → true; empty and null → false.
bool VariantToBool(const CADOVariant& value);
// Text reader: empty/null → ""; integers in decimal; R4 in general format with 10
// digits; R8 and Decimal (through a double) with 20; a date through `dateFormat`
// ("%Y-%m-%d %H:%M:%S" when empty); Bool "T"/"F"; Text as it is. Currency has no
// text form: false, `out` unchanged.
bool VariantToText(const CADOVariant& value, std::string& out, std::string_view dateFormat = {});
// Date reader: empty/null → a null date; a date as it is; numbers as an OLE day
// number; date text parsed. Other text: false, `out` unchanged.
bool VariantToDate(const CADOVariant& value, COleDateTime& out);
// Currency reader: empty/null → zero with the null status; currency as it is; other
// types through VariantToDouble.
bool VariantToCurrency(const CADOVariant& value, COleCurrency& out);
