#include "controls/list_box_colours.h"

#include <gtest/gtest.h>

#include <vector>

#include "controls/palette.h"

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
  const ListBoxLineLook blue = ListBoxLineColours(kBlue, true, false, kWhite);
  EXPECT_EQ(blue.fill, kBlue);
  EXPECT_EQ(blue.text, RGB(255, 255, 0));
  // Cyan on red would not read (3.2:1): the text turns black.
  EXPECT_EQ(ListBoxLineColours(kRed, true, false, kWhite).text, RGB(0, 0, 0));

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
  EXPECT_EQ(ListBoxLineColours(kBlue, true, true, kWhite).text, RGB(255, 255, 0)) << "selected keeps the inverse";
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
  const COLORREF dark = DarkenForContrast(RGB(250, 230, 120), kWhite);
  EXPECT_GE(ContrastRatio(dark, kWhite), 4.5);
  EXPECT_LT(ContrastRatio(RGB(GetRValue(dark) + 1, GetGValue(dark) + 1, GetBValue(dark)), kWhite), 4.5);
  EXPECT_NEAR(GetBValue(dark) * 250.0 / GetRValue(dark), 120, 3);
}

TEST(ReadableTextColour, EverySelectedLineAndMarkedCellReads) {
  // The lists' falling green (its inverse, magenta, read 1.02:1) and every colour the
  // picker offers for bands and marks.
  std::vector<COLORREF> colours = {RGB(0, 180, 0), RGB(0, 233, 0), RGB(128, 128, 128)};
  for (int cell = 0; cell < kPaletteCellCount; ++cell) colours.push_back(PaletteCellColour(cell));
  for (const COLORREF colour : colours) {
    const ListBoxLineLook look = ListBoxLineColours(colour, true, false, kWhite);
    EXPECT_GE(ContrastRatio(look.text, look.fill), 4.5) << std::hex << colour;
    EXPECT_GE(ContrastRatio(ReadableTextColour(RGB(0, 0, 0), colour), colour), 4.5) << std::hex << colour;
  }
  EXPECT_EQ(ReadableTextColour(kBlue, kWhite), kBlue) << "a text that reads keeps its colour";
}
