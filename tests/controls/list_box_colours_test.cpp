#include "controls/list_box_colours.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

}  // namespace

TEST(InverseColour, ReplacesEachByteAndDropsTheTopByte) {
  EXPECT_EQ(InverseColour(kRed), RGB(0, 255, 255));
  EXPECT_EQ(InverseColour(RGB(1, 2, 3)), RGB(254, 253, 252));
  EXPECT_EQ(InverseColour(0), kWhite);
  EXPECT_EQ(InverseColour(0xFF0000FFu), RGB(0, 255, 255));
}

TEST(ListBoxLineColours, SelectedLinesShowTheirColourAsTheField) {
  const ListBoxLineLook red = ListBoxLineColours(kRed, true, false, kWhite);
  EXPECT_EQ(red.fill, kRed);
  EXPECT_EQ(red.text, RGB(0, 255, 255));

  const ListBoxLineLook plain = ListBoxLineColours(0, true, false, kWhite);
  EXPECT_EQ(plain.fill, RGB(0, 0, 0)) << "an uncoloured selected line sits on black";
  EXPECT_EQ(plain.text, GetSysColor(COLOR_HIGHLIGHTTEXT));

  // A selected white line is inverted too: black on white, not hidden.
  const ListBoxLineLook white = ListBoxLineColours(kWhite, true, false, kWhite);
  EXPECT_EQ(white.fill, kWhite);
  EXPECT_EQ(white.text, RGB(0, 0, 0));
}

TEST(ListBoxLineColours, UnselectedLinesSitOnTheBackground) {
  const ListBoxLineLook blue = ListBoxLineColours(kBlue, false, false, kWhite);
  EXPECT_EQ(blue.fill, kWhite);
  EXPECT_EQ(blue.text, kBlue);

  const ListBoxLineLook plain = ListBoxLineColours(0, false, false, RGB(10, 20, 30));
  EXPECT_EQ(plain.fill, RGB(10, 20, 30));
  EXPECT_EQ(plain.text, GetSysColor(COLOR_WINDOWTEXT));
}

TEST(ListBoxLineColours, DisabledListsGreyUnselectedLinesOnly) {
  EXPECT_EQ(ListBoxLineColours(kRed, false, true, kWhite).text, GetSysColor(COLOR_GRAYTEXT));
  EXPECT_EQ(ListBoxLineColours(0, false, true, kWhite).text, GetSysColor(COLOR_GRAYTEXT));
  EXPECT_EQ(ListBoxLineColours(kRed, true, true, kWhite).text, RGB(0, 255, 255)) << "selected keeps the inverse";
  EXPECT_EQ(ListBoxLineColours(kRed, true, true, kWhite).fill, kRed);
  EXPECT_EQ(ListBoxLineColours(0, true, true, kWhite).text, GetSysColor(COLOR_HIGHLIGHTTEXT));
}

TEST(ListBoxLineColours, ALineInTheBackgroundColourUsesWindowText) {
  EXPECT_EQ(ListBoxLineColours(kWhite, false, false, kWhite).text, GetSysColor(COLOR_WINDOWTEXT));
  // Only the colour bytes are compared.
  EXPECT_EQ(ListBoxLineColours(0x01FFFFFFu, false, false, kWhite).text, GetSysColor(COLOR_WINDOWTEXT));
  // On another background white stays white, and a disabled list still greys it.
  EXPECT_EQ(ListBoxLineColours(kWhite, false, false, RGB(0, 0, 128)).text, kWhite);
  EXPECT_EQ(ListBoxLineColours(kWhite, false, true, kWhite).text, GetSysColor(COLOR_GRAYTEXT));
  // A near-white line is the page's choice and stays.
  EXPECT_EQ(ListBoxLineColours(RGB(254, 255, 255), false, false, kWhite).text, RGB(254, 255, 255));
}

TEST(DarkenForContrast, APaleColourIsDarkenedJustEnoughWithItsHue) {
  EXPECT_NEAR(ContrastRatio(kWhite, 0), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(RGB(0x76, 0x76, 0x76), kWhite), 4.54, 0.01);
  const COLORREF pale = RGB(255, 230, 120);
  const COLORREF dark = DarkenForContrast(pale, kWhite);
  EXPECT_GE(ContrastRatio(dark, kWhite), 4.5);
  // One shade lighter would not read.
  EXPECT_LT(ContrastRatio(RGB(GetRValue(dark) + 1, GetGValue(dark) + 1, GetBValue(dark)), kWhite), 4.5);
  EXPECT_NEAR(GetGValue(dark) / static_cast<double>(GetRValue(dark)), 230.0 / 255, 0.02);
  EXPECT_NEAR(GetBValue(dark) / static_cast<double>(GetRValue(dark)), 120.0 / 255, 0.02);
  // Kept: a readable colour, no colour, the background's own colour, a dark background.
  EXPECT_EQ(DarkenForContrast(kBlue, kWhite), kBlue);
  EXPECT_EQ(DarkenForContrast(0, kWhite), 0u);
  EXPECT_EQ(DarkenForContrast(kWhite, kWhite), kWhite);
  EXPECT_EQ(DarkenForContrast(RGB(0, 0, 90), RGB(0, 0, 0)), RGB(0, 0, 90));
}
