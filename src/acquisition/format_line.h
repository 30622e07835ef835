#pragma once
// printf into a std::string, for the message lines of the download road (byte widths
// here are UTF-8 bytes: use FormatGbk of storage/gbk_format.h where a width is shown).

#include <cstdio>
#include <string>

template <class... Args>
std::string FormatC(const char* fmt, Args... args) {
  const int n = std::snprintf(nullptr, 0, fmt, args...);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::snprintf(out.data(), out.size() + 1, fmt, args...);
  return out;
}
