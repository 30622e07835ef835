#include "controls/sort_compare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Sorted(const std::vector<std::string>& keys, bool ascending = true) {
  std::vector<std::string> out;
  for (int i : SortedRowOrder(keys, ascending)) out.push_back(keys[static_cast<size_t>(i)]);
  return out;
}

}  // namespace

TEST(SortCompare, NumbersCompareAsIntegers) {
  EXPECT_EQ(CompareSortTexts("9", "12"), -1);
  EXPECT_EQ(CompareSortTexts("12", "9"), 1);
  EXPECT_EQ(CompareSortTexts("007", "7"), 0) << "leading zeros do not count";
  EXPECT_EQ(CompareSortTexts("", "0"), 0) << "the empty text counts as a number";
  EXPECT_EQ(CompareSortTexts("", "1"), -1);
  EXPECT_EQ(Sorted({"12", "9", "100", "0"}), (std::vector<std::string>{"0", "9", "12", "100"}));
}

TEST(SortCompare, ThirtyDigitNumbersDoNotOverflow) {
  const std::string big = "123456789012345678901234567890";
  const std::string bigger = "123456789012345678901234567891";
  EXPECT_EQ(CompareSortTexts(big, bigger), -1);
  EXPECT_EQ(CompareSortTexts(bigger, big), 1);
  EXPECT_EQ(CompareSortTexts(big, "99999999999999999999"), 1) << "longer is larger";
  EXPECT_EQ(CompareSortTexts("000" + big, big), 0);
}

TEST(SortCompare, SignsAndDecimalsAreText) {
  EXPECT_EQ(SortKeyKindOf("1.5"), SortKeyKind::Text);
  EXPECT_EQ(SortKeyKindOf("-3"), SortKeyKind::Text);
  // As numbers -10 < -3; as text "-10" comes first only because "1" < "3".
  EXPECT_EQ(CompareSortTexts("1.5", "-3"), 1);
  EXPECT_EQ(CompareSortTexts("-3", "-10"), 1) << "compared as text, not as numbers";
}

TEST(SortCompare, DatesByYearMonthDay) {
  EXPECT_EQ(SortKeyKindOf("01/02/2008"), SortKeyKind::Date);
  EXPECT_EQ(CompareSortTexts("01/02/2008", "31/01/2009"), -1);
  EXPECT_EQ(CompareSortTexts("01/02/2008", "31/01/2008"), 1);
  EXPECT_EQ(CompareSortTexts("15/06/2010", "15/06/2010"), 0);
  EXPECT_EQ(Sorted({"31/01/2009", "01/02/2008", "31/01/2008"}),
            (std::vector<std::string>{"31/01/2008", "01/02/2008", "31/01/2009"}));
  // Not quite dates: text.
  EXPECT_EQ(SortKeyKindOf("1/02/2008"), SortKeyKind::Text);
  EXPECT_EQ(SortKeyKindOf("01-02-2008"), SortKeyKind::Text);
  EXPECT_EQ(SortKeyKindOf("01/02/20a8"), SortKeyKind::Text);
}

TEST(SortCompare, MixedKindsOrderTheSameBothWays) {
  const std::vector<std::string> texts = {"9", "12", "5x", "abc", "01/02/2008", "", "-3", "31/01/2008"};
  for (const auto& a : texts) {
    for (const auto& b : texts) {
      EXPECT_EQ(CompareSortTexts(a, b), -CompareSortTexts(b, a)) << a << " vs " << b;
      for (const auto& c : texts) {
        // Transitive: a sort never sees a cycle such as 9 < 12 < "5x" < 9.
        if (CompareSortTexts(a, b) < 0 && CompareSortTexts(b, c) < 0) {
          EXPECT_LT(CompareSortTexts(a, c), 0) << a << " < " << b << " < " << c;
        }
      }
    }
  }
  // The kind of the first text does not decide the pair.
  EXPECT_EQ(CompareSortTexts("9", "abc"), -1);
  EXPECT_EQ(CompareSortTexts("abc", "9"), 1);
}

TEST(SortCompare, EqualKeysKeepTheirOrderBothDirections) {
  const std::vector<std::string> keys = {"5", "1", "005", "1", "5"};
  EXPECT_EQ(SortedRowOrder(keys, true), (std::vector<int>{1, 3, 0, 2, 4}));
  EXPECT_EQ(SortedRowOrder(keys, false), (std::vector<int>{0, 2, 4, 1, 3}));
  EXPECT_TRUE(SortedRowOrder({}, true).empty());
}

TEST(SortCompare, TextComparisonIsInjected) {
  // A collation that ignores case puts "b" between "A" and "C".
  const SortTextCompare caseless = [](const std::string& a, const std::string& b) {
    std::string x = a, y = b;
    for (char& c : x) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : y) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return x.compare(y);
  };
  const std::vector<std::string> keys = {"C", "b", "A"};
  std::vector<std::string> out;
  for (int i : SortedRowOrder(keys, true, caseless)) out.push_back(keys[static_cast<size_t>(i)]);
  EXPECT_EQ(out, (std::vector<std::string>{"A", "b", "C"}));
  EXPECT_EQ(Sorted(keys), (std::vector<std::string>{"A", "C", "b"})) << "bytes: upper case first";
}

TEST(SortHeadings, GoodText) {
  std::vector<SortHeading> h;
  EXPECT_TRUE(ParseSortHeadings("名称,80;代码,60;金额,100;", h));
  ASSERT_EQ(h.size(), 3u);
  EXPECT_EQ(h[0].text, "名称");
  EXPECT_EQ(h[0].width, 80);
  EXPECT_EQ(h[2].width, 100);
  EXPECT_TRUE(ParseSortHeadings("A,10;B,20", h)) << "the last ; may be left out";
  EXPECT_EQ(h.size(), 2u);
  EXPECT_TRUE(ParseSortHeadings("", h));
  EXPECT_TRUE(h.empty());
  EXPECT_TRUE(ParseSortHeadings(",30;", h)) << "an empty heading is a heading";
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0].text, "");
}

TEST(SortHeadings, MalformedStopsAtTheFirstBadPair) {
  std::vector<SortHeading> h;
  EXPECT_FALSE(ParseSortHeadings("A,10;B;C,30;", h)) << "no comma";
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0].text, "A");
  EXPECT_FALSE(ParseSortHeadings("A,x;", h)) << "width not a number";
  EXPECT_TRUE(h.empty());
  EXPECT_FALSE(ParseSortHeadings("A,-5;", h));
  EXPECT_FALSE(ParseSortHeadings("A,;", h));
  EXPECT_FALSE(ParseSortHeadings("A,10;;", h)) << "an empty pair";
  EXPECT_FALSE(ParseSortHeadings("A,99999999999;", h)) << "no overflow";
}

TEST(ColumnWidths, EncodeIsLittleEndianHex) {
  EXPECT_EQ(EncodeColumnWidths({80, 300}), "02000000" "50000000" "2c010000");
  EXPECT_EQ(EncodeColumnWidths({}), "00000000");
}

TEST(ColumnWidths, DecodeRoundTripsAndRefusesCorruptValues) {
  EXPECT_EQ(DecodeColumnWidths(EncodeColumnWidths({80, 300, 0})), (std::vector<int>{80, 300, 0}));
  EXPECT_EQ(DecodeColumnWidths("020000005000000064000000"), (std::vector<int>{80, 100}));
  EXPECT_EQ(DecodeColumnWidths("0200000050000000640000"), std::nullopt) << "not whole integers";
  EXPECT_EQ(DecodeColumnWidths("03000000500000006400000"), std::nullopt);
  EXPECT_EQ(DecodeColumnWidths("030000005000000064000000"), std::nullopt) << "count says 3, 2 follow";
  EXPECT_EQ(DecodeColumnWidths("01000000zz000000"), std::nullopt);
  EXPECT_EQ(DecodeColumnWidths("01000000ffffffff"), std::nullopt) << "negative width";
  EXPECT_EQ(DecodeColumnWidths("ffffffff"), std::nullopt);
  EXPECT_EQ(DecodeColumnWidths(""), std::nullopt);
  EXPECT_EQ(DecodeColumnWidths("80,100"), std::nullopt);
}
