#pragma once
// Expected file bytes spelled as hex in tests: Bytes("0d0a 3136") == "\r\n16", and
// Hex() for readable failure output.

#include <stdexcept>
#include <string>
#include <string_view>

// Pairs of hex digits; spaces between them are ignored.
inline std::string Bytes(std::string_view hex) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::invalid_argument("not a hex digit");
  };
  std::string bytes;
  int high = -1;
  for (const char c : hex) {
    if (c == ' ') continue;
    if (high < 0) {
      high = value(c);
    } else {
      bytes.push_back(static_cast<char>(high * 16 + value(c)));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hex digits");
  return bytes;
}

inline std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    hex.push_back(digits[b >> 4]);
    hex.push_back(digits[b & 15]);
  }
  return hex;
}
