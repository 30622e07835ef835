#pragma once
// Conversion between the program's UTF-8 text and GBK (the Windows code page 936,
// where 0x80 is the euro sign), and the GBK byte widths that the user-visible columns
// are measured in.
//
// Bad input never stops a conversion and never reads past the given length:
//  - UTF-8 -> GBK: a character GBK cannot express becomes one '?', an invalid or cut
//    UTF-8 sequence also becomes one '?', and the text after it converts normally.
//  - GBK -> UTF-8: an invalid or unmapped GBK byte (or byte pair) becomes U+FFFD, and
//    the text after it converts normally.
// Each thread converts with its own pair of iconv descriptors.

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes one character from at most `len` bytes of UTF-8 (1 to 4 bytes per
// character). An invalid, overlong, surrogate or cut sequence gives U+FFFD; `used`
// (when given) receives the bytes consumed: the whole character, or for bad input the
// longest start of a valid sequence (at least 1). `len` 0 gives 0 and uses nothing.
char32_t Utf8CharToUnicode(const char* utf8, std::size_t len, std::size_t* used = nullptr);

// One code point as UTF-8 in its correct length (1 to 4 bytes); a surrogate or a value
// above U+10FFFF gives the encoding of U+FFFD.
std::string UnicodeCharToUtf8(char32_t codePoint);

// One code point as GBK: one byte for ASCII and the euro sign, two bytes for the rest
// that GBK holds, "?" for a character it does not hold.
std::string UnicodeCharToGb2312(char32_t codePoint);

// Decodes one GBK character from at most `len` bytes: ASCII and 0x80 take one byte, a
// lead byte 0x81-0xFE with a trail byte 0x40-0x7E or 0x80-0xFE takes two. Anything
// else (a lone or cut lead byte, an unmapped pair, 0xFF) gives U+FFFD; `used` receives
// the bytes consumed (a valid-looking but unmapped pair uses both bytes, a bad lead
// byte only itself). `len` 0 gives 0 and uses nothing.
char32_t Gb2312CharToUnicode(const char* gbk, std::size_t len, std::size_t* used = nullptr);

// Converts `len` bytes; the result replaces `out`.
void Utf8ToGb2312(std::string& out, const char* utf8, std::size_t len);
void Gb2312ToUtf8(std::string& out, const char* gbk, std::size_t len);

// The same conversions on whole texts.
std::string ToGbk(std::string_view utf8);
std::string FromGbk(std::string_view gbk);

bool IsValidUtf8(std::string_view text);
// No byte above 0x7F: the same text in UTF-8, GBK and GB18030.
bool IsAscii(std::string_view text);

// GB18030, the superset of GBK whose four-byte sequences hold every other character.
// Decoding follows FromGbk for bytes GB18030 rejects (U+FFFD for a bad one); encoding
// writes every valid character, and '?' for an invalid UTF-8 sequence.
std::string FromGb18030(std::string_view gb18030);
std::string ToGb18030(std::string_view utf8);

// UTF-16 without a byte-order mark, in the given byte order. A lone surrogate and a
// last odd byte decode as U+FFFD; invalid UTF-8 encodes as U+FFFD.
std::string FromUtf16(std::string_view utf16, bool bigEndian);
std::string ToUtf16(std::string_view utf8, bool bigEndian);

// The number of bytes the UTF-8 text takes in GBK ("中a" -> 3).
std::size_t GbkByteLength(std::string_view utf8);

// Pad with spaces to a width counted in GBK bytes; a text already as wide or wider is
// returned unchanged (like printf, padding never cuts).
//  PadGbkLeft  puts the spaces on the left:  right-aligned, like "%8s".
//  PadGbkRight puts the spaces on the right: left-aligned,  like "%-8s".
std::string PadGbkLeft(std::string_view utf8, std::size_t width);
std::string PadGbkRight(std::string_view utf8, std::size_t width);

// The longest prefix of whole characters whose GBK form takes at most `maxBytes`
// bytes (a Chinese character that would straddle the limit is left out whole).
std::string CutGbk(std::string_view utf8, std::size_t maxBytes);
