#include "storage/ole_types.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/clock.h"

namespace {

const std::int64_t kOleEpochDays = DaysFromCivil(1899, 12, 30);
constexpr int kSecondsPerDay = 86400;
// Years 100..9999 are the range of the OLE date type.
constexpr double kMinOleDate = -657435.0;  // exclusive: 0100-01-01 23:59:59 is -657434.99...
constexpr double kMaxOleDate = 2958466.0;  // exclusive: 9999-12-31 23:59:59 is 2958465.99...

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[month - 1];
}

// Reads between minDigits and maxDigits decimal digits at text[pos].
bool ReadNumber(std::string_view text, std::size_t& pos, int minDigits, int maxDigits, int& out) {
  int value = 0;
  int count = 0;
  while (pos < text.size() && IsDigit(text[pos]) && count < maxDigits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++count;
  }
  if (count < minDigits) return false;
  out = value;
  return true;
}

void AppendTwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + (value / 10) % 10);
  out += static_cast<char>('0' + value % 10);
}

std::int64_t ClampToInt64(double value) {
  if (std::isnan(value)) return 0;
  // 2^63 is exactly representable; anything at or beyond it saturates.
  constexpr double kLimit = 9223372036854775808.0;
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value < -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);  // truncates toward zero
}

std::int32_t ClampToInt32(std::int64_t value) {
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

bool IsIntegerType(VarType type) {
  return type == VarType::I2 || type == VarType::I4 || type == VarType::I8 || type == VarType::Bool;
}

}  // namespace

// ---------------------------------------------------------------------------------
// COleDateTime

COleDateTime::COleDateTime(double oleDate) : m_dt(oleDate) {
  m_status = (std::isfinite(oleDate) && oleDate > kMinOleDate && oleDate < kMaxOleDate) ? valid : invalid;
}

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second) {
  SetDateTime(year, month, day, hour, minute, second);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
  const bool ok = year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                  day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
                  minute <= 59 && second >= 0 && second <= 59;
  if (!ok) {
    m_dt = 0.0;
    m_status = invalid;
    return 1;
  }
  const double days = static_cast<double>(DaysFromCivil(year, month, day) - kOleEpochDays);
  const double fraction = (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay;
  m_dt = days >= 0 ? days + fraction : days - fraction;
  m_status = valid;
  return 0;
}

std::optional<double> COleDateTime::ParseDateText(std::string_view text) {
  while (!text.empty() && IsCSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsCSpace(text.back())) text.remove_suffix(1);

  std::size_t pos = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!ReadNumber(text, pos, 4, 4, year)) return std::nullopt;
  if (pos >= text.size() || (text[pos] != '-' && text[pos] != '/')) return std::nullopt;
  const char separator = text[pos++];
  if (!ReadNumber(text, pos, 1, 2, month)) return std::nullopt;
  if (pos >= text.size() || text[pos++] != separator) return std::nullopt;
  if (!ReadNumber(text, pos, 1, 2, day)) return std::nullopt;

  double fractionOfSecond = 0.0;
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    ++pos;
    if (!ReadNumber(text, pos, 1, 2, hour)) return std::nullopt;
    if (pos >= text.size() || text[pos++] != ':') return std::nullopt;
    if (!ReadNumber(text, pos, 2, 2, minute)) return std::nullopt;
    if (pos < text.size() && text[pos] == ':') {
      ++pos;
      if (!ReadNumber(text, pos, 2, 2, second)) return std::nullopt;
      if (pos < text.size() && text[pos] == '.') {
        ++pos;
        double scale = 0.1;
        const std::size_t start = pos;
        while (pos < text.size() && IsDigit(text[pos])) {
          fractionOfSecond += (text[pos] - '0') * scale;
          scale /= 10.0;
          ++pos;
        }
        if (pos == start) return std::nullopt;
      }
    }
    if (pos != text.size()) return std::nullopt;
  }

  COleDateTime parsed;
  if (parsed.SetDateTime(year, month, day, hour, minute, second) != 0) return std::nullopt;
  const double extra = fractionOfSecond / kSecondsPerDay;
  return parsed.m_dt >= 0 ? parsed.m_dt + extra : parsed.m_dt - extra;
}

COleDateTime COleDateTime::FromText(std::string_view text) {
  COleDateTime result;
  if (auto value = ParseDateText(text)) {
    result = COleDateTime(*value);
  } else {
    result.m_status = invalid;
  }
  return result;
}

std::optional<COleDateTime::Parts> COleDateTime::Split() const {
  if (m_status != valid || !std::isfinite(m_dt)) return std::nullopt;
  // The whole part names the calendar day in both directions; the fraction (always
  // taken as positive) is the time of day, rounded to the second.
  std::int64_t days = static_cast<std::int64_t>(std::trunc(m_dt));
  std::int64_t seconds = std::llround(std::fabs(m_dt - static_cast<double>(days)) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    days += 1;
  }
  const LocalTime civil = CivilFromDays(kOleEpochDays + days);
  Parts parts{};
  parts.year = civil.year;
  parts.month = civil.month;
  parts.day = civil.day;
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  parts.dayOfWeek = civil.dayOfWeek + 1;
  parts.dayOfYear = static_cast<int>(DaysFromCivil(civil.year, civil.month, civil.day) -
                                     DaysFromCivil(civil.year, 1, 1)) + 1;
  return parts;
}

int COleDateTime::GetYear() const { auto p = Split(); return p ? p->year : -1; }
int COleDateTime::GetMonth() const { auto p = Split(); return p ? p->month : -1; }
int COleDateTime::GetDay() const { auto p = Split(); return p ? p->day : -1; }
int COleDateTime::GetHour() const { auto p = Split(); return p ? p->hour : -1; }
int COleDateTime::GetMinute() const { auto p = Split(); return p ? p->minute : -1; }
int COleDateTime::GetSecond() const { auto p = Split(); return p ? p->second : -1; }
int COleDateTime::GetDayOfWeek() const { auto p = Split(); return p ? p->dayOfWeek : -1; }

std::string COleDateTime::Format(std::string_view format) const {
  static constexpr const char* kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};
  static constexpr const char* kMonthNames[12] = {"January", "February", "March", "April",
                                                  "May", "June", "July", "August",
                                                  "September", "October", "November", "December"};
  const auto parts = Split();
  if (!parts) return {};
  const Parts& p = *parts;
  std::string out;
  out.reserve(format.size() + 16);
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      out += format[i];
      continue;
    }
    const char spec = format[++i];
    switch (spec) {
      case 'Y': out += std::to_string(p.year); break;
      case 'y': AppendTwoDigits(out, p.year % 100); break;
      case 'm': AppendTwoDigits(out, p.month); break;
      case 'd': AppendTwoDigits(out, p.day); break;
      case 'H': AppendTwoDigits(out, p.hour); break;
      case 'I': AppendTwoDigits(out, p.hour % 12 == 0 ? 12 : p.hour % 12); break;
      case 'M': AppendTwoDigits(out, p.minute); break;
      case 'S': AppendTwoDigits(out, p.second); break;
      case 'p': out += p.hour < 12 ? "AM" : "PM"; break;
      case 'j':
        out += static_cast<char>('0' + p.dayOfYear / 100);
        AppendTwoDigits(out, p.dayOfYear % 100);
        break;
      case 'a': out.append(kDayNames[p.dayOfWeek - 1], 3); break;
      case 'A': out += kDayNames[p.dayOfWeek - 1]; break;
      case 'b': out.append(kMonthNames[p.month - 1], 3); break;
      case 'B': out += kMonthNames[p.month - 1]; break;
      case '%': out += '%'; break;
      default:
        out += '%';
        out += spec;
        break;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------
// COleCurrency

COleCurrency COleCurrency::FromRaw(std::int64_t tenThousandths) {
  COleCurrency c;
  c.m_cur = tenThousandths;
  return c;
}

COleCurrency COleCurrency::FromDouble(double value) {
  COleCurrency c;
  const double scaled = std::round(value * 10000.0);
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18) {
    c.m_status = invalid;
    return c;
  }
  c.m_cur = static_cast<std::int64_t>(scaled);
  return c;
}

std::string COleCurrency::Format() const {
  if (m_status != valid) return {};
  // Work on the magnitude as unsigned so that the most negative amount is safe.
  const bool negative = m_cur < 0;
  const std::uint64_t magnitude =
      negative ? ~static_cast<std::uint64_t>(m_cur) + 1 : static_cast<std::uint64_t>(m_cur);
  std::string out = negative ? "-" : "";
  out += std::to_string(magnitude / 10000);
  std::uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 4 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    out += '.';
    out += digits;
  }
  return out;
}

// ---------------------------------------------------------------------------------
// Numbers

double DecimalToDouble(const CDecimal& value) {
  double result = static_cast<double>(value.mantissa);
  if (value.sign == CDecimal::kNegative) result = -result;
  return result / std::pow(10.0, value.scale);
}

std::string FormatGeneral(double value, int digits) {
  if (digits < 1) digits = 1;
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0.0) return "0.";

  // d.ddd...e±XX with exactly `digits` significant digits, correctly rounded.
  std::string sci(static_cast<std::size_t>(digits) + 32, '\0');
  const auto res = std::to_chars(sci.data(), sci.data() + sci.size(), value,
                                 std::chars_format::scientific, digits - 1);
  sci.resize(static_cast<std::size_t>(res.ptr - sci.data()));

  const bool negative = sci.front() == '-';
  const std::size_t ePos = sci.find('e');
  std::string mantissa;
  for (std::size_t i = negative ? 1 : 0; i < ePos; ++i) {
    if (sci[i] != '.') mantissa += sci[i];
  }
  int exponent = 0;
  std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();

  const int pointPos = exponent + 1;  // digits before the decimal point
  std::string out = negative ? "-" : "";
  if (pointPos < 0 || pointPos > digits) {
    out += mantissa.front();
    out += '.';
    out.append(mantissa, 1);
    out += 'e';
    out += exponent < 0 ? '-' : '+';
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  } else if (pointPos == 0) {
    out += "0.";
    out += mantissa;
  } else if (mantissa.size() <= static_cast<std::size_t>(pointPos)) {
    out += mantissa;
    out.append(static_cast<std::size_t>(pointPos) - mantissa.size(), '0');
    out += '.';
  } else {
    out.append(mantissa, 0, static_cast<std::size_t>(pointPos));
    out += '.';
    out.append(mantissa, static_cast<std::size_t>(pointPos));
  }
  return out;
}

double ParseNumberC(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsCSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Only plain decimal numbers count: "nan", "inf" or a hex prefix are not numbers.
  if (pos >= text.size() || !(IsDigit(text[pos]) || text[pos] == '.')) return 0.0;
  double value = 0.0;
  const auto res = std::from_chars(text.data() + pos, text.data() + text.size(), value,
                                   std::chars_format::general);
  if (res.ec != std::errc()) return 0.0;
  return negative ? -value : value;
}

// ---------------------------------------------------------------------------------
// Variant conversions

double VariantToDouble(const CADOVariant& value) {
  switch (value.type) {
    case VarType::Empty:
    case VarType::Null: return 0.0;
    case VarType::I2:
    case VarType::I4:
    case VarType::I8:
    case VarType::Bool: return static_cast<double>(value.intVal);
    case VarType::Currency: return static_cast<double>(value.intVal) / 10000.0;
    case VarType::R4:
    case VarType::R8:
    case VarType::Date: return value.dblVal;
    case VarType::Decimal: return DecimalToDouble(value.decVal);
    case VarType::Text: return ParseNumberC(value.strVal);
  }
  return 0.0;
}

std::int64_t VariantToInt64(const CADOVariant& value) {
  if (IsIntegerType(value.type)) return value.intVal;
  if (value.type == VarType::Currency) return value.intVal / 10000;  // truncates toward zero
  return ClampToInt64(VariantToDouble(value));
}

std::int32_t VariantToInt32(const CADOVariant& value) { return ClampToInt32(VariantToInt64(value)); }

bool VariantToBool(const CADOVariant& value) {
  if (IsIntegerType(value.type) || value.type == VarType::Currency) return value.intVal != 0;
  return VariantToDouble(value) != 0.0;
}

bool VariantToText(const CADOVariant& value, std::string& out, std::string_view dateFormat) {
  switch (value.type) {
    case VarType::Empty:
    case VarType::Null: out.clear(); return true;
    case VarType::I2:
    case VarType::I4:
    case VarType::I8: out = std::to_string(value.intVal); return true;
    case VarType::R4: out = FormatGeneral(value.dblVal, 10); return true;
    case VarType::R8: out = FormatGeneral(value.dblVal, 20); return true;
    case VarType::Decimal: out = FormatGeneral(DecimalToDouble(value.decVal), 20); return true;
    case VarType::Date:
      out = COleDateTime(value.dblVal).Format(dateFormat.empty() ? "%Y-%m-%d %H:%M:%S" : dateFormat);
      return true;
    case VarType::Bool: out.assign(1, value.intVal != 0 ? 'T' : 'F'); return true;
    case VarType::Text: out = value.strVal; return true;
    case VarType::Currency: return false;
  }
  return false;
}

bool VariantToDate(const CADOVariant& value, COleDateTime& out) {
  switch (value.type) {
    case VarType::Empty:
    case VarType::Null:
      out = COleDateTime();
      out.SetStatus(COleDateTime::null);
      return true;
    case VarType::Text:
      if (auto parsed = COleDateTime::ParseDateText(value.strVal)) {
        out = COleDateTime(*parsed);
        return true;
      }
      return false;
    default:
      out = COleDateTime(VariantToDouble(value));
      return true;
  }
}

bool VariantToCurrency(const CADOVariant& value, COleCurrency& out) {
  if (value.IsNullOrEmpty()) {
    out = COleCurrency();
    out.SetStatus(COleCurrency::null);
  } else if (value.type == VarType::Currency) {
    out = COleCurrency::FromRaw(value.intVal);
  } else {
    out = COleCurrency::FromDouble(VariantToDouble(value));
  }
  return true;
}

double ParseFiniteNumberC(std::string_view text) {
  const double value = ParseNumberC(text);
  return std::isfinite(value) ? value : 0.0;
}
