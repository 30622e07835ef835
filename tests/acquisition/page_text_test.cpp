// Page text: line joining and decoding to UTF-8 by charset.
#include "acquisition/page_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "storage/charset.h"

namespace {

const std::string kFffd = "\xEF\xBF\xBD";
const std::string kZhongWenGbk = "\xD6\xD0\xCE\xC4";  // 中文

TEST(JoinLines, DropsLfAndCrLf) {
  EXPECT_EQ(joinLines("a\r\nb\nc"), "abc");
  EXPECT_EQ(joinLines("line\n"), "line");
  EXPECT_EQ(joinLines("\r\n\n\r\n"), "");
  EXPECT_EQ(joinLines(""), "");
  EXPECT_EQ(joinLines("no break"), "no break");
}

TEST(JoinLines, KeepsACarriageReturnThatEndsNoLine) {
  EXPECT_EQ(joinLines("a\rb\r\nc\r"), "a\rbc\r");
  EXPECT_EQ(joinLines("\r\r\n"), "\r");
}

TEST(CharsetOf, ReadsTheParameterInAnySpelling) {
  EXPECT_EQ(CharsetOf("text/html; charset=GBK"), "gbk");
  EXPECT_EQ(CharsetOf("text/html;charset=\"utf-8\""), "utf-8");
  EXPECT_EQ(CharsetOf("text/html; Charset = 'gb2312' ; q=1"), "gb2312");
  EXPECT_EQ(CharsetOf("text/html; charset=gb18030; other=1"), "gb18030");
  EXPECT_EQ(CharsetOf("text/html"), "");
  EXPECT_EQ(CharsetOf(""), "");
  // A parameter merely ending in "charset" is not it.
  EXPECT_EQ(CharsetOf("text/html; xcharset=utf-8"), "");
  EXPECT_EQ(CharsetOf("text/html; charset="), "");
}

TEST(DecodePage, ContentTypeCharsetWinsOverTheDefault) {
  const std::string utf8 = "中文";
  EXPECT_EQ(decodePage(utf8, "text/html; charset=utf-8", "gbk"), utf8);
  EXPECT_EQ(decodePage(kZhongWenGbk, "text/html; charset=GBK", "utf-8"), utf8);
  EXPECT_EQ(decodePage(kZhongWenGbk, "text/html; charset=gb2312", "utf-8"), utf8);
}

TEST(DecodePage, WithoutOrWithAnUnknownCharsetTheDefaultApplies) {
  EXPECT_EQ(decodePage(kZhongWenGbk, "text/html"), "中文");
  EXPECT_EQ(decodePage(kZhongWenGbk, "text/html; charset=klingon", "gbk"), "中文");
  EXPECT_EQ(decodePage("中文", "text/html; charset=klingon", "utf-8"), "中文");
  EXPECT_EQ(decodePage("中文", "", "UTF-8"), "中文");
  // An unknown default falls back to GBK, the first source's encoding.
  EXPECT_EQ(decodePage(kZhongWenGbk, "", "klingon"), "中文");
}

TEST(DecodePage, GbkIsReadAsGb18030) {
  // Four-byte GB18030 forms: U+00A5 and U+1F600.
  EXPECT_EQ(decodePage("\x81\x30\x84\x36", "text/html; charset=gbk"), "\xC2\xA5");
  EXPECT_EQ(decodePage("a\x94\x39\xFC\x36z", ""), "a\xF0\x9F\x98\x80z");
}

TEST(DecodePage, BracesInsideGbkCharactersStayInsideThem) {
  // 0x7B and 0x7D are trail bytes here, not "{" and "}".
  const std::string page = std::string("{\"SName\":\"") + "\x81\x7B" + "\x81\x7D" + "\"}";
  const std::string text = decodePage(page, "");
  EXPECT_EQ(std::count(text.begin(), text.end(), '{'), 1);
  EXPECT_EQ(std::count(text.begin(), text.end(), '}'), 1);
  EXPECT_TRUE(IsValidUtf8(text));
}

TEST(DecodePage, InvalidGbkBecomesReplacementAndTheRestSurvives) {
  EXPECT_EQ(decodePage("ab\x81", ""), "ab" + kFffd);                     // cut lead byte
  EXPECT_EQ(decodePage("\x81\"x\"", ""), kFffd + "\"x\"");               // lone lead before ASCII
  EXPECT_EQ(decodePage("\xFF" + kZhongWenGbk, ""), kFffd + "中文");       // never a lead byte
  EXPECT_EQ(decodePage("\x80{", ""), kFffd + "{");                        // 0x80 is no GB18030 character
  EXPECT_EQ(decodePage("\x81\x30\x81\"", ""), kFffd + "0" + kFffd + "\"");  // broken four-byte form
}

TEST(DecodePage, InvalidUtf8BecomesReplacement) {
  EXPECT_EQ(decodePage("a\xC3(b", "text/html; charset=utf-8"), "a" + kFffd + "(b");
  EXPECT_EQ(decodePage("\xE4\xB8", "text/html; charset=utf-8"), kFffd);
  EXPECT_EQ(decodePage("\xED\xA0\x80", "text/html; charset=utf-8").find('\xED'), std::string::npos);
}

TEST(DecodePage, SingleByteCharsets) {
  EXPECT_EQ(decodePage("caf\xE9", "text/html; charset=ISO-8859-1"), "caf\xC3\xA9");
  EXPECT_EQ(decodePage("caf\xE9", "text/html; charset=us-ascii"), "caf" + kFffd);
}

TEST(DecodePage, ArbitraryBytesAlwaysGiveValidUtf8) {
  std::mt19937 random(20170206);
  std::uniform_int_distribution<int> byte(0, 255);
  const char* types[] = {"", "text/html; charset=utf-8", "text/html; charset=gbk", "text/html; charset=latin1"};
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(static_cast<std::size_t>(byte(random) % 40), '\0');
    for (char& c : bytes) c = static_cast<char>(byte(random));
    for (const char* type : types) {
      const std::string text = decodePage(bytes, type);
      ASSERT_TRUE(IsValidUtf8(text)) << "type " << type << " round " << round;
      if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        ASSERT_EQ(text, bytes);  // ASCII passes every decoder unchanged
      }
    }
  }
}

TEST(DecodePage, LargePageDecodesInLinearTime) {
  const std::string page(16 * 1024 * 1024, '{');
  const auto start = std::chrono::steady_clock::now();
  const std::string text = decodePage(page, "");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(text.size(), page.size());
  EXPECT_LT(took, std::chrono::seconds(2));
}

}  // namespace
