#include "acquisition/page_text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/ascii.h"
#include "storage/charset.h"

namespace {

enum class PageCharset { Utf8, Gb18030, Latin1, Ascii };

std::optional<PageCharset> Known(std::string_view name) {
  const std::string lower = AsciiLower(name);
  if (lower == "utf-8" || lower == "utf8") return PageCharset::Utf8;
  if (lower == "gbk" || lower == "gb2312" || lower == "gb18030" || lower == "cp936" || lower == "x-gbk" ||
      lower == "euc-cn" || lower == "windows-936" || lower == "csgb2312" || lower == "gb_2312-80") {
    return PageCharset::Gb18030;
  }
  if (lower == "iso-8859-1" || lower == "iso8859-1" || lower == "latin1" || lower == "l1") return PageCharset::Latin1;
  if (lower == "us-ascii" || lower == "ascii") return PageCharset::Ascii;
  return std::nullopt;
}

const std::string& Replacement() {
  static const std::string text = UnicodeCharToUtf8(kReplacementChar);
  return text;
}

std::string DecodeUtf8(std::string_view body) {
  if (IsValidUtf8(body)) return std::string(body);
  std::string out;
  out.reserve(body.size() + 16);
  std::size_t pos = 0;
  while (pos < body.size()) {
    std::size_t used = 0;
    const char32_t cp = Utf8CharToUnicode(body.data() + pos, body.size() - pos, &used);
    used = std::max<std::size_t>(used, 1);
    if (cp == kReplacementChar) {
      out += Replacement();  // also a U+FFFD that was there already
    } else {
      out.append(body.data() + pos, used);
    }
    pos += used;
  }
  return out;
}

std::string DecodeSingleByte(std::string_view body, bool latin1) {
  std::string out;
  out.reserve(body.size());
  for (unsigned char c : body) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += latin1 ? UnicodeCharToUtf8(c) : Replacement();
    }
  }
  return out;
}

// One GB18030 decoder per thread: iconv descriptors keep state and are not shared.
class Gb18030Decoder {
 public:
  Gb18030Decoder() : cd_(iconv_open("UTF-8", "GB18030")) {}
  ~Gb18030Decoder() {
    if (Valid()) iconv_close(cd_);
  }
  Gb18030Decoder(const Gb18030Decoder&) = delete;
  Gb18030Decoder& operator=(const Gb18030Decoder&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::string Decode(std::string_view body) {
    std::string out;
    out.reserve(body.size() * 3 / 2 + 16);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(body.data());  // iconv does not write through it
    std::size_t srcLeft = body.size();
    while (srcLeft > 0) {
      const std::size_t old = out.size();
      const std::size_t room = srcLeft * 2 + 16;  // UTF-8 never takes twice the GB18030 bytes
      out.resize(old + room);
      char* dst = out.data() + old;
      std::size_t dstLeft = room;
      const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      const int err = errno;
      out.resize(old + room - dstLeft);
      if (rc != static_cast<std::size_t>(-1) || err == E2BIG) continue;
      // A byte sequence that does not decode gives one U+FFFD: for a lead byte with a
      // trail byte above 0x7F both go, else the one byte only, so that an ASCII byte
      // after a lone lead byte survives.
      const auto* p = reinterpret_cast<const unsigned char*>(src);
      std::size_t skip = 1;
      if (srcLeft >= 2 && p[0] >= 0x81 && p[0] <= 0xFE && p[1] >= 0x80 && p[1] <= 0xFE) skip = 2;
      out += Replacement();
      src += skip;
      srcLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

std::string DecodeGb18030(std::string_view body) {
  thread_local Gb18030Decoder decoder;
  if (!decoder.Valid()) return FromGbk(body);  // no GB18030 table: GBK is the nearest
  return decoder.Decode(body);
}

}  // namespace

std::string joinLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t lf = text.find('\n', pos);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::size_t lineEnd = end;
    if (lf != std::string_view::npos && lineEnd > pos && text[lineEnd - 1] == '\r') --lineEnd;
    out.append(text.data() + pos, lineEnd - pos);
    pos = end + 1;
  }
  return out;
}

std::string CharsetOf(std::string_view contentType) {
  const std::string lower = AsciiLower(contentType);
  std::size_t pos = 0;
  while ((pos = lower.find("charset", pos)) != std::string::npos) {
    // Only a parameter name: at the start or after ';' or white space.
    std::size_t before = pos;
    while (before > 0 && (lower[before - 1] == ' ' || lower[before - 1] == '\t')) --before;
    const bool atParameter = before == 0 || lower[before - 1] == ';';
    std::size_t at = pos + 7;
    pos = at;
    while (at < lower.size() && (lower[at] == ' ' || lower[at] == '\t')) ++at;
    if (!atParameter || at >= lower.size() || lower[at] != '=') continue;
    ++at;
    while (at < lower.size() && (lower[at] == ' ' || lower[at] == '\t')) ++at;
    std::string value;
    if (at < lower.size() && (lower[at] == '"' || lower[at] == '\'')) {
      const char quote = lower[at++];
      const std::size_t close = lower.find(quote, at);
      value = lower.substr(at, close == std::string::npos ? std::string::npos : close - at);
    } else {
      const std::size_t stop = lower.find_first_of("; \t", at);
      value = lower.substr(at, stop == std::string::npos ? std::string::npos : stop - at);
    }
    return value;
  }
  return {};
}

std::string decodePage(std::string_view body, std::string_view contentType, std::string_view defaultCharset) {
  std::optional<PageCharset> charset = Known(CharsetOf(contentType));
  if (!charset) charset = Known(defaultCharset);
  switch (charset.value_or(PageCharset::Gb18030)) {
    case PageCharset::Utf8: return DecodeUtf8(body);
    case PageCharset::Latin1: return DecodeSingleByte(body, true);
    case PageCharset::Ascii: return DecodeSingleByte(body, false);
    case PageCharset::Gb18030: break;
  }
  return DecodeGb18030(body);
}
