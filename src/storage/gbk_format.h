#pragma once
// printf-style formatting in which every width counts GBK bytes, the way the user's
// columns are measured: the format and every text argument are converted to GBK, the
// line is formatted on the bytes, and the result is either kept as GBK (for files) or
// converted back to UTF-8 (for widgets). Numbers are formatted in the "C" locale.

#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "storage/charset.h"

namespace gbk_format_detail {

std::string FormatBytes(const char* gbkFormat, ...);
// The format in GBK; the thread keeps the last few it converted.
const std::string& EncodedFormat(std::string_view utf8Format);

inline const char* Pass(const std::string& gbk) { return gbk.c_str(); }
template <class T>
  requires std::is_arithmetic_v<T>
T Pass(T value) {
  return value;
}

template <class T>
auto Encode(const T& value) {
  if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    return ToGbk(std::string_view(value));
  } else {
    static_assert(std::is_arithmetic_v<T>, "texts and numbers only");
    return value;
  }
}

}  // namespace gbk_format_detail

// The formatted line as GBK bytes.
template <class... Args>
std::string FormatGbkBytes(std::string_view utf8Format, const Args&... args) {
  const std::string& format = gbk_format_detail::EncodedFormat(utf8Format);
  auto encoded = std::make_tuple(gbk_format_detail::Encode(args)...);
  return std::apply(
      [&](const auto&... e) { return gbk_format_detail::FormatBytes(format.c_str(), gbk_format_detail::Pass(e)...); },
      encoded);
}

// The same line as UTF-8.
template <class... Args>
std::string FormatGbk(std::string_view utf8Format, const Args&... args) {
  return FromGbk(FormatGbkBytes(utf8Format, args...));
}
