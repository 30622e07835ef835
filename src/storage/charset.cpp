#include <algorithm>
#include "storage/charset.h"

#include <iconv.h>

#include <cerrno>

namespace {

// The two iconv descriptors of one thread, closed when the thread ends. iconv
// descriptors keep conversion state, so threads must not share them.
class IconvPair {
 public:
  IconvPair() : toGbk_(iconv_open("CP936", "UTF-8")), fromGbk_(iconv_open("UTF-8", "CP936")) {}
  ~IconvPair() {
    if (Valid(toGbk_)) iconv_close(toGbk_);
    if (Valid(fromGbk_)) iconv_close(fromGbk_);
  }
  IconvPair(const IconvPair&) = delete;
  IconvPair& operator=(const IconvPair&) = delete;

  iconv_t ToGbk() const { return toGbk_; }
  iconv_t FromGbk() const { return fromGbk_; }
  static bool Valid(iconv_t cd) { return cd != reinterpret_cast<iconv_t>(-1); }

 private:
  iconv_t toGbk_;
  iconv_t fromGbk_;
};

IconvPair& ThreadConverters() {
  thread_local IconvPair pair;
  return pair;
}

// The GB18030 descriptors of one thread: to GB18030 first, from it second.
class Gb18030Pair {
 public:
  Gb18030Pair() : to_(iconv_open("GB18030", "UTF-8")), from_(iconv_open("UTF-8", "GB18030")) {}
  ~Gb18030Pair() {
    if (IconvPair::Valid(to_)) iconv_close(to_);
    if (IconvPair::Valid(from_)) iconv_close(from_);
  }
  Gb18030Pair(const Gb18030Pair&) = delete;
  Gb18030Pair& operator=(const Gb18030Pair&) = delete;

  iconv_t To() const { return to_; }
  iconv_t From() const { return from_; }

 private:
  iconv_t to_;
  iconv_t from_;
};

Gb18030Pair& ThreadGb18030() {
  thread_local Gb18030Pair pair;
  return pair;
}

// Converts as much of `in` as iconv accepts, appending to `out`. Returns the number of
// input bytes consumed; it stops early at the first character iconv rejects (invalid,
// unmapped or cut), which the caller then handles itself.
std::size_t ConvertRun(iconv_t cd, std::string_view in, std::string& out) {
  if (!IconvPair::Valid(cd) || in.empty()) return 0;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char* src = const_cast<char*>(in.data());       // iconv does not write through it
  std::size_t srcLeft = in.size();
  while (srcLeft > 0) {
    const std::size_t old = out.size();
    const std::size_t room = srcLeft * 3 + 8;  // one GBK byte (0x80) can become three
    out.resize(old + room);
    char* dst = out.data() + old;
    std::size_t dstLeft = room;
    const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const int err = errno;
    out.resize(old + room - dstLeft);
    if (rc == static_cast<std::size_t>(-1) && err != E2BIG) break;
  }
  return in.size() - srcLeft;
}

// Decodes one UTF-8 character. Returns false for bad input; `used` is then the length
// of the longest start of a valid sequence (at least 1), so a cut or broken sequence
// is replaced once and the walk resumes at the next byte that could start a character.
bool DecodeUtf8(const unsigned char* p, std::size_t len, char32_t& cp, std::size_t& used) {
  const unsigned char b0 = p[0];
  used = 1;
  if (b0 < 0x80) {
    cp = b0;
    return true;
  }
  std::size_t trail = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the first trail byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    trail = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    trail = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;  // overlong
    if (b0 == 0xED) hi = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    trail = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;  // overlong
    if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    cp = kReplacementChar;
    return false;
  }
  for (std::size_t i = 1; i <= trail; ++i) {
    if (i >= len || p[i] < lo || p[i] > hi) {
      used = i;
      cp = kReplacementChar;
      return false;
    }
    cp = (cp << 6) | (p[i] & 0x3F);
    lo = 0x80;
    hi = 0xBF;
  }
  used = trail + 1;
  return true;
}

bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool IsGbkTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }

// How many bytes a GBK character that iconv rejected takes: a lead byte with a proper
// trail byte is one (unmapped) character of two bytes, anything else a single byte.
std::size_t BadGbkLength(const unsigned char* p, std::size_t len) {
  return (len >= 2 && IsGbkLead(p[0]) && IsGbkTrail(p[1])) ? 2 : 1;
}

const char kUtf8Replacement[] = "\xEF\xBF\xBD";

// GBK bytes of one UTF-8 character, bad sequences counting as their '?'.
std::size_t GbkWidthOfChar(bool valid, char32_t cp) {
  if (!valid || cp < 0x80) return 1;
  return UnicodeCharToGb2312(cp).size();
}

}  // namespace

char32_t Utf8CharToUnicode(const char* utf8, std::size_t len, std::size_t* used) {
  std::size_t n = 0;
  char32_t cp = 0;
  if (utf8 != nullptr && len > 0) DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8), len, cp, n);
  if (used != nullptr) *used = n;
  return cp;
}

std::string UnicodeCharToUtf8(char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return kUtf8Replacement;
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

std::string UnicodeCharToGb2312(char32_t cp) {
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return "?";
  const std::string utf8 = UnicodeCharToUtf8(cp);
  std::string out;
  if (ConvertRun(ThreadConverters().ToGbk(), utf8, out) != utf8.size() || out.empty()) return "?";
  return out;
}

char32_t Gb2312CharToUnicode(const char* gbk, std::size_t len, std::size_t* used) {
  if (gbk == nullptr || len == 0) {
    if (used != nullptr) *used = 0;
    return 0;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(gbk);
  std::size_t n = 1;
  char32_t cp = kReplacementChar;
  if (p[0] < 0x80) {
    cp = p[0];
  } else {
    n = BadGbkLength(p, len);
    if (n == 2 || p[0] == 0x80) {
      std::string utf8;
      if (ConvertRun(ThreadConverters().FromGbk(), std::string_view(gbk, n), utf8) == n && !utf8.empty()) {
        char32_t decoded = 0;
        std::size_t decodedLen = 0;
        if (DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), decoded, decodedLen))
          cp = decoded;
      }
    }
  }
  if (used != nullptr) *used = n;
  return cp;
}

// ASCII is the same in UTF-8 and GBK, and most texts (codes, figures) are nothing else.
bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  const iconv_t cd = ThreadConverters().ToGbk();
  std::size_t i = 0;
  while (i < utf8.size()) {
    // The valid run [i, end): iconv converts it, stopping at characters GBK lacks.
    std::size_t end = i;
    char32_t cp = 0;
    std::size_t used = 0;
    while (end < utf8.size() && DecodeUtf8(bytes + end, utf8.size() - end, cp, used)) end += used;
    while (i < end) {
      i += ConvertRun(cd, utf8.substr(i, end - i), out);
      if (i < end) {
        std::size_t charLen = 0;
        char32_t rejected = 0;
        DecodeUtf8(bytes + i, end - i, rejected, charLen);
        out += UnicodeCharToGb2312(rejected);
        i += charLen;
      }
    }
    if (end < utf8.size()) {  // a bad sequence: one '?', then go on after it
      out += '?';
      i = end + used;
    }
  }
  return out;
}

std::string FromGbk(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  std::string out;
  out.reserve(gbk.size() * 3 / 2 + 1);
  const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
  const iconv_t cd = ThreadConverters().FromGbk();
  std::size_t i = 0;
  while (i < gbk.size()) {
    i += ConvertRun(cd, gbk.substr(i), out);
    if (i < gbk.size()) {
      // iconv stopped here; ASCII is handled by hand in case no descriptor exists.
      if (bytes[i] < 0x80) {
        out += static_cast<char>(bytes[i]);
        ++i;
        continue;
      }
      std::size_t n = 0;
      const char32_t cp = Gb2312CharToUnicode(gbk.data() + i, gbk.size() - i, &n);
      out += UnicodeCharToUtf8(cp);
      i += n;
    }
  }
  return out;
}

void Utf8ToGb2312(std::string& out, const char* utf8, std::size_t len) {
  out = (utf8 == nullptr) ? std::string() : ToGbk(std::string_view(utf8, len));
}

void Gb2312ToUtf8(std::string& out, const char* gbk, std::size_t len) {
  out = (gbk == nullptr) ? std::string() : FromGbk(std::string_view(gbk, len));
}

std::string FromGb18030(std::string_view gb18030) {
  if (IsAscii(gb18030)) return std::string(gb18030);
  std::string out;
  out.reserve(gb18030.size() * 3 / 2 + 1);
  const iconv_t cd = ThreadGb18030().From();
  std::size_t i = 0;
  while (i < gb18030.size()) {
    i += ConvertRun(cd, gb18030.substr(i), out);
    if (i < gb18030.size()) {
      std::size_t n = 0;
      const char32_t cp = Gb2312CharToUnicode(gb18030.data() + i, gb18030.size() - i, &n);
      out += UnicodeCharToUtf8(cp);
      i += n;
    }
  }
  return out;
}

std::string ToGb18030(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  const iconv_t cd = ThreadGb18030().To();
  std::size_t i = 0;
  while (i < utf8.size()) {
    i += ConvertRun(cd, utf8.substr(i), out);
    if (i < utf8.size()) {  // a bad sequence (or no descriptor): GBK's own handling of it
      char32_t cp = 0;
      std::size_t used = 0;
      const bool valid = DecodeUtf8(bytes + i, utf8.size() - i, cp, used);
      out += valid ? UnicodeCharToGb2312(cp) : std::string("?");
      i += used;
    }
  }
  return out;
}

std::string FromUtf16(std::string_view utf16, bool bigEndian) {
  const auto unitAt = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(utf16[i]);
    const auto b = static_cast<unsigned char>(utf16[i + 1]);
    return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  };
  std::string out;
  out.reserve(utf16.size());
  std::size_t i = 0;
  for (; i + 1 < utf16.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < utf16.size()) {
      const char32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out += UnicodeCharToUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    out += UnicodeCharToUtf8(unit);  // a lone surrogate becomes U+FFFD
  }
  if (i < utf16.size()) out += kUtf8Replacement;
  return out;
}

std::string ToUtf16(std::string_view utf8, bool bigEndian) {
  std::string out;
  out.reserve(utf8.size() * 2);
  const auto put = [&](char32_t unit) {
    const char hi = static_cast<char>(unit >> 8);
    const char lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    std::size_t used = 0;
    DecodeUtf8(bytes + i, utf8.size() - i, cp, used);  // bad input gives U+FFFD
    i += used;
    if (cp >= 0x10000) {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp = 0;
    std::size_t used = 0;
    if (!DecodeUtf8(bytes + i, text.size() - i, cp, used)) return false;
    i += used;
  }
  return true;
}

std::size_t GbkByteLength(std::string_view utf8) { return ToGbk(utf8).size(); }

std::string PadGbkLeft(std::string_view utf8, std::size_t width) {
  const std::size_t len = GbkByteLength(utf8);
  std::string out;
  if (len < width) out.assign(width - len, ' ');
  out += utf8;
  return out;
}

std::string PadGbkRight(std::string_view utf8, std::size_t width) {
  const std::size_t len = GbkByteLength(utf8);
  std::string out(utf8);
  if (len < width) out.append(width - len, ' ');
  return out;
}

std::string CutGbk(std::string_view utf8, std::size_t maxBytes) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t i = 0;
  std::size_t width = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    std::size_t used = 0;
    const bool valid = DecodeUtf8(bytes + i, utf8.size() - i, cp, used);
    const std::size_t w = GbkWidthOfChar(valid, cp);
    if (width + w > maxBytes) break;
    width += w;
    i += used;
  }
  return std::string(utf8.substr(0, i));
}
