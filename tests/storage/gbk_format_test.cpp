#include "storage/gbk_format.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(GbkFormatTest, WidthsCountGbkBytesNotCharacters) {
  // "浦发银行" is 8 GBK bytes: %-8s adds nothing; "万科A" is 5: three blanks.
  EXPECT_EQ(FormatGbk("%-8s|", std::string("浦发银行")), "浦发银行|");
  EXPECT_EQ(FormatGbk("%-8s|", std::string("万科A")), "万科A   |");
  EXPECT_EQ(FormatGbk("%8s|", "平安"), "    平安|");
  // A text wider than its field is never cut.
  EXPECT_EQ(FormatGbk("%-3s|", std::string("中国平安")), "中国平安|");
}

TEST(GbkFormatTest, TheFormatItselfIsConvertedAndNumbersPass) {
  EXPECT_EQ(FormatGbk("%-7s|", FormatGbk("%0.2f亿", 1.234)), "1.23亿 |");
  EXPECT_EQ(FormatGbk("%02d %-6d|%3.2f%%", 7, -12, 3.14159), "07 -12   |3.14%");
  const std::string bytes = FormatGbkBytes("买%d", 1);
  EXPECT_EQ(bytes, "\xc2\xf2" "1");
}

TEST(GbkFormatTest, NumbersIgnoreTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale here";
  EXPECT_EQ(FormatGbk("%0.2f", 1.5), "1.50");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(GbkFormatTest, LongAndEmptyResults) {
  const std::string name(5000, 'x');
  EXPECT_EQ(FormatGbk("%s!", name).size(), 5001u);
  EXPECT_EQ(FormatGbk("%s", std::string()), "");
  // A character GBK cannot hold becomes one '?', and takes one byte of the width.
  EXPECT_EQ(FormatGbk("%-3s|", std::string("\xF0\x9F\x98\x80")), "?  |");
}

}  // namespace
