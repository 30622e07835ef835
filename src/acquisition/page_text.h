#pragma once
// Web pages as the parsers read them: one UTF-8 text, decoded at the fetch, with the
// line ends taken out.

#include <string>
#include <string_view>

// The first source's pages are GBK; they are read as GB18030, its superset.
inline constexpr const char* kDefaultPageCharset = "gbk";

// The text with every LF and every CR LF removed, the lines joined as they stand (a CR
// that does not end a line stays).
std::string joinLines(std::string_view text);

// The charset parameter of a Content-Type value, lower case and unquoted
// ("text/html; charset=\"GBK\"" -> "gbk"); "" when there is none.
std::string CharsetOf(std::string_view contentType);

// The page body as UTF-8. The charset of the Content-Type wins when it is one this
// program reads (utf-8, gbk, gb2312, gb18030 and their aliases, iso-8859-1, us-ascii);
// otherwise `defaultCharset` applies, and when that is unknown too, GBK. Bytes that do
// not decode become U+FFFD; the text after them decodes normally.
std::string decodePage(std::string_view body, std::string_view contentType,
                       std::string_view defaultCharset = kDefaultPageCharset);
