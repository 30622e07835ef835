#pragma once
// One value bound to a `?` of a statement: null, a 64-bit integer, a double or UTF-8
// text. Every value that comes from a page, a file or the network travels this way;
// nothing is ever spliced into SQL text.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

class DbValue {
 public:
  enum class Kind { Null, Integer, Real, Text };

  DbValue() noexcept : value_(nullptr) {}
  DbValue(std::nullptr_t) noexcept : value_(nullptr) {}
  DbValue(int v) noexcept : value_(static_cast<std::int64_t>(v)) {}
  DbValue(long v) noexcept : value_(static_cast<std::int64_t>(v)) {}
  DbValue(long long v) noexcept : value_(static_cast<std::int64_t>(v)) {}
  DbValue(unsigned v) noexcept : value_(static_cast<std::int64_t>(v)) {}
  DbValue(unsigned long v) noexcept : DbValue(static_cast<unsigned long long>(v)) {}
  // Values above the int64 range cannot be stored as integers; they become reals.
  DbValue(unsigned long long v) noexcept {
    if (v <= static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max())) {
      value_ = static_cast<std::int64_t>(v);
    } else {
      value_ = static_cast<double>(v);
    }
  }
  DbValue(double v) noexcept : value_(v) {}
  DbValue(const char* text) : value_(nullptr) {
    if (text != nullptr) value_ = std::string(text);
  }
  DbValue(std::string text) : value_(std::move(text)) {}
  DbValue(std::string_view text) : value_(std::string(text)) {}

  Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }
  bool IsNull() const noexcept { return kind() == Kind::Null; }
  bool IsInteger() const noexcept { return kind() == Kind::Integer; }
  bool IsReal() const noexcept { return kind() == Kind::Real; }
  bool IsText() const noexcept { return kind() == Kind::Text; }

  // Accessors for the kind the value holds (the others are undefined to call).
  std::int64_t AsInteger() const { return std::get<std::int64_t>(value_); }
  double AsReal() const { return std::get<double>(value_); }
  const std::string& AsText() const { return std::get<std::string>(value_); }

  bool operator==(const DbValue& other) const = default;

 private:
  // The alternatives are in the order of Kind.
  std::variant<std::nullptr_t, std::int64_t, double, std::string> value_;
};
