#include "storage/ado_command.h"

#include <sqlite3.h>

#include <charconv>
#include <optional>
#include <cmath>
#include <limits>

#include "platform/ascii.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsTextType(int t) {
  return t == adBSTR || t == adChar || t == adWChar || t == adVarChar || t == adLongVarChar || t == adVarWChar ||
         t == adLongVarWChar;
}
bool IsIntegerType(int t) { return t == adSmallInt || t == adInteger || t == adBigInt; }
bool IsRealType(int t) { return t == adSingle || t == adDouble || t == adDecimal || t == adNumeric || t == adCurrency; }
bool IsDateType(int t) { return t == adDate || t == adDBDate || t == adDBTimeStamp; }

// A value as a number, or nothing: text must read wholly as one.
std::optional<double> NumberOf(const CADOVariant& v) {
  if (v.type == VarType::Text) {
    const std::string_view t = Trimmed(v.strVal);
    double d = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return d;
  }
  return VariantToDouble(v);
}

}  // namespace

bool ConvertParameterValue(int dataType, const CADOVariant& value, CADOVariant& out, int& code,
                           std::string& message) {
  if (value.IsNullOrEmpty() || (value.type == VarType::Text && value.strVal.empty())) {
    out = CADOVariant::MakeNull();
    return true;
  }
  const auto mismatch = [&](const std::string& what) {
    code = SQLITE_MISMATCH;
    message = what;
    return false;
  };
  if (dataType == adVariant) {
    out = value;
    return true;
  }
  if (IsTextType(dataType)) {
    std::string text;
    if (value.type == VarType::Currency) {
      text = COleCurrency::FromRaw(value.intVal).Format();
    } else if (!VariantToText(value, text)) {
      return mismatch("the value has no text form");
    }
    out = text.empty() ? CADOVariant::MakeNull() : CADOVariant::MakeText(std::move(text));
    return true;
  }
  if (IsDateType(dataType)) {
    COleDateTime date;
    if (value.type == VarType::Text) {
      date = COleDateTime::FromText(Trimmed(value.strVal));
      if (date.GetStatus() != COleDateTime::valid) return mismatch("not a date: " + value.strVal);
    } else if (!VariantToDate(value, date) || date.GetStatus() != COleDateTime::valid) {
      return mismatch("the value is not a date");
    }
    out = CADOVariant::MakeDate(date.m_dt);
    return true;
  }
  if (dataType == adBoolean) {
    if (value.type == VarType::Text) {
      const std::optional<double> n = NumberOf(value);
      if (!n) return mismatch("not a number: " + value.strVal);
      out = CADOVariant::MakeBool(*n != 0.0);
      return true;
    }
    out = CADOVariant::MakeBool(VariantToBool(value));
    return true;
  }
  if (IsIntegerType(dataType) || IsRealType(dataType)) {
    const std::optional<double> n = NumberOf(value);
    if (!n) return mismatch("not a number: " + value.strVal);
    if (!std::isfinite(*n)) return mismatch("not a finite number");
    if (IsRealType(dataType)) {
      if (dataType == adCurrency) {
        const COleCurrency amount = COleCurrency::FromDouble(*n);
        if (amount.GetStatus() != COleCurrency::valid) {
          code = SQLITE_RANGE;
          message = "the amount is out of the currency range";
          return false;
        }
        out = CADOVariant::MakeCurrency(amount.m_cur);
        return true;
      }
      out = dataType == adSingle ? CADOVariant::MakeR4(static_cast<float>(*n)) : CADOVariant::MakeR8(*n);
      return true;
    }
    // Whole numbers keep every digit: an integer variant is taken as it is.
    const bool integral = value.type == VarType::I2 || value.type == VarType::I4 || value.type == VarType::I8 ||
                          value.type == VarType::Bool;
    const std::int64_t whole = integral ? value.intVal : 0;
    double truncated = std::trunc(*n);
    if (!integral && truncated != *n) return mismatch("not a whole number");
    const double lo = dataType == adSmallInt ? -32768.0 : (dataType == adInteger ? -2147483648.0 : -9223372036854775808.0);
    const double hi = dataType == adSmallInt ? 32767.0 : (dataType == adInteger ? 2147483647.0 : 9223372036854775807.0);
    const std::int64_t ilo = dataType == adSmallInt ? -32768 : (dataType == adInteger ? INT32_MIN : INT64_MIN);
    const std::int64_t ihi = dataType == adSmallInt ? 32767 : (dataType == adInteger ? INT32_MAX : INT64_MAX);
    const bool fits = integral ? (whole >= ilo && whole <= ihi) : (truncated >= lo && truncated < hi + 1.0);
    if (!fits) {
      code = SQLITE_RANGE;
      message = "the value does not fit the parameter's type";
      return false;
    }
    const std::int64_t result = integral ? whole : static_cast<std::int64_t>(truncated);
    if (dataType == adSmallInt) {
      out = CADOVariant::MakeI2(static_cast<std::int16_t>(result));
    } else if (dataType == adInteger) {
      out = CADOVariant::MakeI4(static_cast<std::int32_t>(result));
    } else {
      out = CADOVariant::MakeI8(result);
    }
    return true;
  }
  code = SQLITE_MISMATCH;
  message = "unsupported parameter type " + std::to_string(dataType);
  return false;
}

// ---------------------------------------------------------------------------------
// CADOParameter

CADOParameter::CADOParameter(int dataType, long size, int direction, const std::string& name)
    : state_(std::make_shared<State>()) {
  state_->dataType = dataType;
  state_->size = size;
  state_->direction = direction;
  state_->name = name;
}

CADOParameter::~CADOParameter() noexcept = default;

void CADOParameter::RecordError(int code, const std::string& description) {
  lastError_ = static_cast<DWORD>(code);
  lastErrorText_ = FormatErrorReport("CADOParameter Error", lastError_, description);
}

bool CADOParameter::Store(const CADOVariant& value, long naturalSize) {
  int code = 0;
  std::string message;
  CADOVariant converted;
  if (!ConvertParameterValue(state_->dataType, value, converted, code, message)) {
    RecordError(code, message);
    return false;
  }
  if (state_->size == 0) state_->size = naturalSize;
  state_->value = std::move(converted);
  return true;
}

bool CADOParameter::SetValue(short value) { return Store(CADOVariant::MakeI2(value), 4); }
bool CADOParameter::SetValue(int value) { return Store(CADOVariant::MakeI4(value), 4); }
bool CADOParameter::SetValue(long value) {
  return Store(value >= INT32_MIN && value <= INT32_MAX ? CADOVariant::MakeI4(static_cast<std::int32_t>(value))
                                                        : CADOVariant::MakeI8(value),
               4);
}
bool CADOParameter::SetValue(double value) { return Store(CADOVariant::MakeR8(value), 8); }
bool CADOParameter::SetValue(const std::string& value) {
  return Store(CADOVariant::MakeText(value), static_cast<long>(value.size()));
}
bool CADOParameter::SetValue(const COleDateTime& value) {
  if (value.GetStatus() == COleDateTime::null) return Store(CADOVariant::MakeNull(), 8);
  if (value.GetStatus() != COleDateTime::valid) {
    RecordError(SQLITE_MISMATCH, "the date is not valid");
    return false;
  }
  return Store(CADOVariant::MakeDate(value.m_dt), 8);
}
bool CADOParameter::SetValue(const CADOVariant& value) {
  long natural = 8;
  if (value.type == VarType::Text) natural = static_cast<long>(value.strVal.size());
  if (value.type == VarType::Decimal) natural = 16;
  if (value.type == VarType::I2 || value.type == VarType::I4) natural = 4;
  return Store(value, natural);
}

bool CADOParameter::GetValue(int& value) {
  value = VariantToInt32(state_->value);
  return true;
}
bool CADOParameter::GetValue(long& value) {
  value = static_cast<long>(VariantToInt64(state_->value));
  return true;
}
bool CADOParameter::GetValue(double& value) {
  value = VariantToDouble(state_->value);
  return true;
}
bool CADOParameter::GetValue(std::string& value, const std::string& dateFormat) {
  if (state_->value.type == VarType::Currency) {
    value = COleCurrency::FromRaw(state_->value.intVal).Format();
    return true;
  }
  if (!VariantToText(state_->value, value, dateFormat)) {
    RecordError(SQLITE_MISMATCH, "the value has no text form");
    return false;
  }
  return true;
}
bool CADOParameter::GetValue(COleDateTime& value) {
  if (!VariantToDate(state_->value, value)) {
    RecordError(SQLITE_MISMATCH, "the value is not a date");
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------
// CADOCommand

CADOCommand::CADOCommand(CADODataBase* db, const std::string& commandText, int commandType)
    : db_(db), text_(commandText), type_(commandType) {}

CADOCommand::~CADOCommand() noexcept = default;

void CADOCommand::RecordError(int code, const std::string& description) {
  lastError_ = static_cast<DWORD>(code);
  lastErrorText_ = FormatErrorReport("CADOCommand Error", lastError_, description);
}

bool CADOCommand::AddParameter(const CADOParameter& parameter) {
  parameters_.push_back(parameter.GetParameter());
  return true;
}

bool CADOCommand::Add(const std::string& name, int dataType, int direction, long size, const CADOVariant& value,
                      long naturalSize) {
  auto state = std::make_shared<CADOParameter::State>();
  state->dataType = dataType;
  state->direction = direction;
  state->name = name;
  state->size = size == 0 ? naturalSize : size;
  int code = 0;
  std::string message;
  if (!ConvertParameterValue(dataType, value, state->value, code, message)) {
    RecordError(code, "parameter " + name + ": " + message);
    return false;
  }
  parameters_.push_back(std::move(state));
  return true;
}

bool CADOCommand::AddParameter(const std::string& name, int dataType, int direction, long size, short value) {
  return Add(name, dataType, direction, size, CADOVariant::MakeI2(value), 4);
}
bool CADOCommand::AddParameter(const std::string& name, int dataType, int direction, long size, long value) {
  return Add(name, dataType, direction, size, CADOVariant::MakeI8(value), 4);
}
bool CADOCommand::AddParameter(const std::string& name, int dataType, int direction, long size, double value) {
  return Add(name, dataType, direction, size, CADOVariant::MakeR8(value), 8);
}
bool CADOCommand::AddParameter(const std::string& name, int dataType, int direction, long size,
                               const std::string& value) {
  return Add(name, dataType, direction, size, CADOVariant::MakeText(value), static_cast<long>(value.size()));
}
bool CADOCommand::AddParameter(const std::string& name, int dataType, int direction, long size,
                               const COleDateTime& value) {
  if (value.GetStatus() == COleDateTime::invalid) {
    RecordError(SQLITE_MISMATCH, "parameter " + name + ": the date is not valid");
    return false;
  }
  const CADOVariant v = value.GetStatus() == COleDateTime::null ? CADOVariant::MakeNull()
                                                                 : CADOVariant::MakeDate(value.m_dt);
  return Add(name, dataType, direction, size, v, 8);
}
bool CADOCommand::AddParameter(const std::string& name, int dataType, int direction, long size,
                               const CADOVariant& value) {
  return Add(name, dataType, direction, size, value, 8);
}

StatementPtr CADOCommand::Prepare(sqlite3* handle, int& code, std::string& message) const {
  std::string sql;
  const std::string_view text = Trimmed(text_);
  switch (type_) {
    case adCmdText:
    case adCmdUnknown: sql = IsBareTableName(text) ? "SELECT * FROM \"" + std::string(text) + "\"" : std::string(text); break;
    case adCmdTable:
    case adCmdTableDirect:
      if (!IsBareTableName(text)) {
        code = SQLITE_ERROR;
        message = "not a table name: " + std::string(text);
        return nullptr;
      }
      sql = "SELECT * FROM \"" + std::string(text) + "\"";
      break;
    case adCmdStoredProc:
      code = SQLITE_ERROR;
      message = "stored procedures are not supported";
      return nullptr;
    default:
      code = SQLITE_ERROR;
      message = "unknown command type " + std::to_string(type_);
      return nullptr;
  }
  for (const auto& p : parameters_) {
    if (p->direction != adParamInput && p->direction != adParamUnknown) {
      code = SQLITE_ERROR;
      message = "parameter " + p->name + ": output and return values are not supported";
      return nullptr;
    }
  }
  StatementPtr statement = PrepareOne(handle, sql, code, message);
  if (!statement) return nullptr;
  const int slots = sqlite3_bind_parameter_count(statement.get());
  bool named = false;
  for (int slot = 1; slot <= slots; ++slot) {
    const char* slotName = sqlite3_bind_parameter_name(statement.get(), slot);
    const CADOParameter::State* chosen = nullptr;
    if (slotName != nullptr && slotName[0] != '?') {
      named = true;
      const std::string_view wanted(slotName + 1);
      for (const auto& p : parameters_) {
        std::string_view own = p->name;
        if (!own.empty() && (own[0] == ':' || own[0] == '@' || own[0] == '$')) own.remove_prefix(1);
        if (EqualsNoCase(own, wanted)) {
          chosen = p.get();
          break;
        }
      }
      if (chosen == nullptr) {
        code = SQLITE_RANGE;
        message = std::string("no parameter is named ") + slotName;
        return nullptr;
      }
    } else {
      if (static_cast<std::size_t>(slot) > parameters_.size()) {
        code = SQLITE_RANGE;
        message = "the statement takes " + std::to_string(slots) + " values, " + std::to_string(parameters_.size()) +
                  " were given";
        return nullptr;
      }
      chosen = parameters_[static_cast<std::size_t>(slot - 1)].get();
    }
    const int rc = BindStoredCell(statement.get(), slot, StoredCellOfVariant(chosen->value));
    if (rc != SQLITE_OK) {
      code = rc;
      message = sqlite3_errmsg(handle);
      return nullptr;
    }
  }
  if (!named && static_cast<std::size_t>(slots) != parameters_.size()) {
    code = SQLITE_RANGE;
    message = "the statement takes " + std::to_string(slots) + " values, " + std::to_string(parameters_.size()) +
              " were given";
    return nullptr;
  }
  return statement;
}

bool CADOCommand::Execute() {
  recordsAffected_ = 0;
  if (db_ == nullptr) {
    RecordError(SQLITE_MISUSE, "the command has no connection");
    return false;
  }
  const CADODataBase::ThreadHandle th = db_->AcquireHandle();
  if (th.handle == nullptr) {
    RecordError(th.code, th.message);
    return false;
  }
  int code = 0;
  std::string message;
  StatementPtr statement = Prepare(th.handle, code, message);
  if (!statement) {
    RecordError(code, message);
    return false;
  }
  const std::optional<long> affected = StepToEnd(th.handle, statement.get(), code, message);
  if (!affected) {
    RecordError(code, message);
    return false;
  }
  recordsAffected_ = *affected;
  return true;
}
