#include "storage/charset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kZhongUtf8 = "\xE4\xB8\xAD";  // 中
const std::string kZhongGbk = "\xD6\xD0";
const std::string kEuroUtf8 = "\xE2\x82\xAC";

// A heap copy of exactly `bytes.size()` bytes, so the address sanitizer reports any
// read past the end.
std::unique_ptr<char[]> ExactCopy(const std::string& bytes) {
  auto copy = std::make_unique<char[]>(bytes.size());
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return copy;
}

TEST(CharsetBuffers, AsciiComesOutUnchangedBothWays) {
  const std::string ascii = "SB_Date=2017-02-06 {0,0,640,480} ~!@#";
  std::string out;
  Utf8ToGb2312(out, ascii.data(), ascii.size());
  EXPECT_EQ(out, ascii);
  Gb2312ToUtf8(out, ascii.data(), ascii.size());
  EXPECT_EQ(out, ascii);
}

TEST(CharsetBuffers, ChineseCharacterBothWays) {
  std::string out;
  Utf8ToGb2312(out, kZhongUtf8.data(), kZhongUtf8.size());
  EXPECT_EQ(out, kZhongGbk);
  Gb2312ToUtf8(out, kZhongGbk.data(), kZhongGbk.size());
  EXPECT_EQ(out, kZhongUtf8);
}

TEST(CharsetBuffers, LengthZeroGivesEmptyAndReplacesOut) {
  std::string out = "old";
  Utf8ToGb2312(out, kZhongUtf8.data(), 0);
  EXPECT_EQ(out, "");
  out = "old";
  Gb2312ToUtf8(out, kZhongGbk.data(), 0);
  EXPECT_EQ(out, "");
}

TEST(CharsetBuffers, ConvertsOnlyTheGivenLength) {
  const std::string text = "ab" + kZhongUtf8 + "cd";
  std::string out;
  Utf8ToGb2312(out, text.data(), 2 + 3);
  EXPECT_EQ(out, "ab" + kZhongGbk);
}

TEST(CharsetBuffers, CutThreeByteSequenceReadsNothingPastTheEnd) {
  const std::string cut = "a\xE4\xB8";
  const auto buffer = ExactCopy(cut);
  std::string out;
  Utf8ToGb2312(out, buffer.get(), cut.size());
  EXPECT_EQ(out, "a?");  // the cut character becomes one '?'
}

TEST(CharsetBuffers, LoneLeadBytesReadNothingPastTheEnd) {
  const std::string utf8Lead = "\xE4";
  const auto utf8Buffer = ExactCopy(utf8Lead);
  std::string out;
  Utf8ToGb2312(out, utf8Buffer.get(), utf8Lead.size());
  EXPECT_EQ(out, "?");

  const std::string gbkLead = "x\xD6";
  const auto gbkBuffer = ExactCopy(gbkLead);
  Gb2312ToUtf8(out, gbkBuffer.get(), gbkLead.size());
  EXPECT_EQ(out, "x\xEF\xBF\xBD");
}

TEST(CharsetBuffers, LoneLeadByteInsideTextKeepsTheNextCharacter) {
  const std::string utf8 = "\xE4" "a" + kZhongUtf8;
  EXPECT_EQ(ToGbk(utf8), "?a" + kZhongGbk);
  const std::string gbk = "\xD6" "0" + kZhongGbk;  // '0' is no GBK trail byte
  EXPECT_EQ(FromGbk(gbk), "\xEF\xBF\xBD" "0" + kZhongUtf8);
}

TEST(CharsetText, MiddleDotRoundTrip) {
  const std::string dot = "\xC2\xB7";  // a two-byte UTF-8 character
  const std::string gbk = ToGbk(dot);
  EXPECT_EQ(gbk, "\xA1\xA4");
  EXPECT_EQ(FromGbk(gbk), dot);
}

TEST(CharsetText, EmojiBecomesQuestionMarkWithoutShiftingTheRest) {
  const std::string text = "a\xF0\x9F\x98\x80" + kZhongUtf8 + "b";
  EXPECT_EQ(ToGbk(text), "a?" + kZhongGbk + "b");
  EXPECT_EQ(GbkByteLength(text), 5u);
}

TEST(CharsetText, EuroSignIsByte80) {
  EXPECT_EQ(ToGbk(kEuroUtf8), "\x80");
  EXPECT_EQ(FromGbk("\x80"), kEuroUtf8);
  EXPECT_EQ(UnicodeCharToGb2312(0x20AC), "\x80");
  EXPECT_EQ(Gb2312CharToUnicode("\x80", 1), U'\u20AC');
}

TEST(CharsetText, InvalidGbkBecomesReplacementAndTheRestDecodes) {
  // 0xFF is never valid; A1 40 looks like a character but has no mapping.
  EXPECT_EQ(FromGbk("\xFF" "a"), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(FromGbk("\xA1\x40" + kZhongGbk), "\xEF\xBF\xBD" + kZhongUtf8);
}

TEST(CharsetText, InvalidUtf8BecomesOneQuestionMarkEach) {
  EXPECT_EQ(ToGbk("\xC0\xAF" "x"), "??x");         // overlong: two bad bytes
  EXPECT_EQ(ToGbk("\xED\xA0\x80" "x"), "???x");    // encoded surrogate
  EXPECT_EQ(ToGbk("\x80" "x"), "?x");              // stray trail byte
  EXPECT_EQ(ToGbk("\xE4\xB8" "x"), "?x");          // cut sequence then ASCII
}

TEST(CharsetText, Validity) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("a" + kZhongUtf8 + "\xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8(kZhongGbk));
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
}

TEST(CharsetChars, Utf8DecodingLengths) {
  std::size_t used = 99;
  EXPECT_EQ(Utf8CharToUnicode("A", 1, &used), U'A');
  EXPECT_EQ(used, 1u);
  EXPECT_EQ(Utf8CharToUnicode("\xC2\xB7", 2, &used), U'\u00B7');
  EXPECT_EQ(used, 2u);
  EXPECT_EQ(Utf8CharToUnicode(kZhongUtf8.data(), 3, &used), U'\u4E2D');
  EXPECT_EQ(used, 3u);
  EXPECT_EQ(Utf8CharToUnicode("\xF0\x9F\x98\x80", 4, &used), U'\U0001F600');
  EXPECT_EQ(used, 4u);
  EXPECT_EQ(Utf8CharToUnicode(kZhongUtf8.data(), 2, &used), kReplacementChar);
  EXPECT_EQ(used, 2u);
  EXPECT_EQ(Utf8CharToUnicode("", 0, &used), 0u);
  EXPECT_EQ(used, 0u);
}

TEST(CharsetChars, Utf8EncodingUsesTheCorrectLength) {
  EXPECT_EQ(UnicodeCharToUtf8(U'A'), "A");
  EXPECT_EQ(UnicodeCharToUtf8(0xB7), "\xC2\xB7");  // below U+0800: two bytes
  EXPECT_EQ(UnicodeCharToUtf8(0x7FF), "\xDF\xBF");
  EXPECT_EQ(UnicodeCharToUtf8(0x800), "\xE0\xA0\x80");
  EXPECT_EQ(UnicodeCharToUtf8(0x4E2D), kZhongUtf8);
  EXPECT_EQ(UnicodeCharToUtf8(0x1F600), "\xF0\x9F\x98\x80");
  EXPECT_EQ(UnicodeCharToUtf8(0xD800), "\xEF\xBF\xBD");
  EXPECT_EQ(UnicodeCharToUtf8(0x110000), "\xEF\xBF\xBD");
}

TEST(CharsetChars, GbkCharacters) {
  EXPECT_EQ(UnicodeCharToGb2312(0x4E2D), kZhongGbk);
  EXPECT_EQ(UnicodeCharToGb2312(U'z'), "z");
  EXPECT_EQ(UnicodeCharToGb2312(0x1F600), "?");
  std::size_t used = 0;
  EXPECT_EQ(Gb2312CharToUnicode(kZhongGbk.data(), 2, &used), U'\u4E2D');
  EXPECT_EQ(used, 2u);
  EXPECT_EQ(Gb2312CharToUnicode(kZhongGbk.data(), 1, &used), kReplacementChar);  // cut
  EXPECT_EQ(used, 1u);
  EXPECT_EQ(Gb2312CharToUnicode("\xA1\x40", 2, &used), kReplacementChar);  // unmapped pair
  EXPECT_EQ(used, 2u);
}

TEST(CharsetWidths, GbkByteLength) {
  EXPECT_EQ(GbkByteLength(kZhongUtf8 + "a"), 3u);
  EXPECT_EQ(GbkByteLength(""), 0u);
  EXPECT_EQ(GbkByteLength(kEuroUtf8), 1u);
}

TEST(CharsetWidths, PaddingCountsGbkBytes) {
  const std::string name = kZhongUtf8 + "a";  // 3 GBK bytes
  EXPECT_EQ(PadGbkRight(name, 6), name + "   ");  // like %-6s
  EXPECT_EQ(PadGbkLeft(name, 6), "   " + name);   // like %6s
  EXPECT_EQ(PadGbkRight(name, 3), name);
  EXPECT_EQ(PadGbkLeft(name, 2), name);  // never cut, never split
  EXPECT_EQ(GbkByteLength(PadGbkRight(kZhongUtf8 + kZhongUtf8, 8)), 8u);
}

TEST(CharsetWidths, CutNeverSplitsACharacter) {
  const std::string text = "a" + kZhongUtf8 + kZhongUtf8 + "b";  // 1 + 2 + 2 + 1 GBK bytes
  EXPECT_EQ(CutGbk(text, 0), "");
  EXPECT_EQ(CutGbk(text, 1), "a");
  EXPECT_EQ(CutGbk(text, 2), "a");  // 中 would straddle the limit
  EXPECT_EQ(CutGbk(text, 3), "a" + kZhongUtf8);
  EXPECT_EQ(CutGbk(text, 4), "a" + kZhongUtf8);
  EXPECT_EQ(CutGbk(text, 5), "a" + kZhongUtf8 + kZhongUtf8);
  EXPECT_EQ(CutGbk(text, 6), text);
  EXPECT_EQ(CutGbk(text, 100), text);
  EXPECT_EQ(CutGbk(kEuroUtf8 + "x", 1), kEuroUtf8);  // three UTF-8 bytes, one GBK byte
}

TEST(CharsetThreads, ConvertsInSeveralThreadsAtOnce) {
  std::string utf8;
  for (int i = 0; i < 200; ++i) utf8 += "a" + kZhongUtf8 + kEuroUtf8 + "\xC2\xB7" "\xF0\x9F\x98\x80";
  const std::string expectedGbk = ToGbk(utf8);
  const std::string roundTrip = FromGbk(expectedGbk);
  std::vector<int> failures(8, 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < failures.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        if (ToGbk(utf8) != expectedGbk || FromGbk(expectedGbk) != roundTrip) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
  EXPECT_EQ(expectedGbk.size(), 200u * (1 + 2 + 1 + 2 + 1));
}

}  // namespace
