#include "controls/menu_rules.h"

#include <gtest/gtest.h>

TEST(MenuRules, IconBandMenuSizes) {
  EXPECT_EQ(MenuExMeasuredSize(MenuExRecordSize(40, false, false, 10), false, std::nullopt), CSize(70, 22));
  EXPECT_EQ(MenuExMeasuredSize(MenuExRecordSize(40, false, true, 10), false, std::nullopt), CSize(85, 22));
  EXPECT_EQ(MenuExMeasuredSize(MenuExRecordSize(40, true, false, 10), true, std::nullopt), CSize(0, 10));
  EXPECT_EQ(MenuExMeasuredSize(MenuExRecordSize(40, false, false, 10), false, CSize(16, 15)), CSize(66, 17));
}

TEST(MenuRules, BitmapMenuSizes) {
  EXPECT_EQ(BCMenuSeparatorSize(19, 15, true, true), CSize(0, 11));
  EXPECT_EQ(BCMenuSeparatorSize(19, 15, false, true), CSize(0, 9));
  EXPECT_EQ(BCMenuSeparatorSize(30, 15, true, true), CSize(0, 15));
  EXPECT_EQ(BCMenuItemSize(50, 16, 15, 19, true, true), CSize(16 + 7 + 50 + 8, 22));
  EXPECT_EQ(BCMenuItemSize(50, 16, 15, 19, false, true), CSize(50 + 32 + 1, 19));
  EXPECT_EQ(BCMenuItemSize(50, 16, 15, 19, true, false), CSize(16 + 4 + 50 + 8, 19));
  EXPECT_TRUE(BCMenuUsesXpStyle(false, 1));
  EXPECT_FALSE(BCMenuUsesXpStyle(true, 1));
  EXPECT_FALSE(BCMenuUsesXpStyle(false, 0));
  EXPECT_EQ(HalfRoundedUp(5), 3);
  EXPECT_EQ(HalfRoundedUp(-3), 0);
  EXPECT_EQ(StandardBitmapOffset(10, 15), 0);
  EXPECT_EQ(StandardBitmapOffset(25, 15), 3);
}

TEST(MenuRules, MenuCharSearch) {
  const std::vector<std::string> texts = {"Open", "E&xit", "&x again"};
  EXPECT_EQ(FindMenuCharPosition('X', texts), 1);
  EXPECT_EQ(FindMenuCharPosition('x', texts), 1);
  EXPECT_EQ(FindMenuCharPosition('o', texts), -1);  // no ampersand before it
  EXPECT_EQ(FindMenuCharPosition('q', {}), -1);
  EXPECT_EQ(FindMenuCharPosition(0x6587, {"\xE6\x96\x87", "&\xE6\x96\x87"}), 1);
}

TEST(MenuRules, LightenAndDarken) {
  EXPECT_EQ(LightenColor(RGB(0, 0, 0), 0.25), RGB(63, 63, 63));
  EXPECT_EQ(LightenColor(RGB(10, 20, 30), 0.0), RGB(10, 20, 30));
  EXPECT_EQ(LightenColor(RGB(10, 20, 30), 1.5), RGB(10, 20, 30));
  EXPECT_EQ(LightenColor(RGB(10, 20, 30), 1.0), RGB(255, 255, 255));
  EXPECT_EQ(LightenColor(RGB(49, 106, 197), 0.85), RGB(224, 232, 246));
  EXPECT_EQ(DarkenColor(RGB(200, 100, 51), 0.5), RGB(100, 50, 25));
  EXPECT_EQ(DarkenColor(RGB(200, 100, 51), -0.1), RGB(200, 100, 51));
}

TEST(MenuRules, TabSplit) {
  MenuTextParts parts = SplitMenuText("a\tb\tc");
  EXPECT_EQ(parts.label, "a");
  EXPECT_EQ(parts.accelerator, "c");
  EXPECT_TRUE(parts.hasTab);
  parts = SplitMenuText("plain");
  EXPECT_EQ(parts.label, "plain");
  EXPECT_FALSE(parts.hasTab);
  parts = SplitMenuText("x\t");
  EXPECT_EQ(parts.accelerator, "");
  EXPECT_TRUE(parts.hasTab);
}

TEST(MenuRules, TickCoversSevenStrokes) {
  const std::vector<TickStroke> strokes = TickStrokes(10, 20);
  ASSERT_EQ(strokes.size(), 7u);
  const int tops[7] = {22, 23, 24, 23, 22, 21, 20};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(strokes[i].x, 10 + i);
    EXPECT_EQ(strokes[i].top, tops[i]);
  }
}

TEST(MenuRules, EmbossHighlightOffsetShadowInPlace) {
  const COLORREF face = RGB(236, 233, 216);
  const COLORREF hi = RGB(255, 255, 255);
  const COLORREF sh = RGB(172, 168, 153);
  const COLORREF bg = RGB(1, 1, 1);
  std::vector<COLORREF> src(9, face);
  src[0] = RGB(255, 0, 0);  // (0,0)
  src[4] = hi;              // (1,1): highlight is not in the mask
  const auto out = EmbossPixels(src, 3, 3, face, hi, sh, bg);
  EXPECT_EQ(out[0], sh);
  EXPECT_EQ(out[4], hi);   // the highlight one right and down
  EXPECT_EQ(out[8], bg);
  for (COLORREF c : out) EXPECT_NE(c, RGB(255, 0, 0));
  // A short pixel buffer gives the plain background.
  EXPECT_EQ(EmbossPixels({}, 2, 2, face, hi, sh, bg), std::vector<COLORREF>(4, bg));
}

TEST(MenuRules, AcceleratorsLineUpBehindPaddedLabels) {
  const auto bytes = [](const std::string& text) { return static_cast<int>(text.size()); };
  EXPECT_EQ(AlignAccelerators({"Open\tCtrl+O", "Save As\tCtrl+S", "Exit", ""}, bytes),
            (std::vector<std::string>{"Open   \tCtrl+O", "Save As\tCtrl+S", "Exit", ""}));
  // The widest label is measured among texts with a tab only.
  EXPECT_EQ(AlignAccelerators({"A very long item", "B\tF1"}, bytes),
            (std::vector<std::string>{"A very long item", "B\tF1"}));
  // A width that never grows stops after 256 blanks.
  const auto stuck = [](const std::string& text) { return text.starts_with("x") ? 0 : 5; };
  const std::vector<std::string> capped = AlignAccelerators({"x\t1", "yy\t2"}, stuck);
  EXPECT_EQ(capped[0].size(), std::string("x\t1").size() + 256);
}

TEST(MenuRules, SwatchesOutlineFillAndHatch) {
  const COLORREF menu = RGB(240, 240, 240), pen = RGB(0, 0, 0), brush = RGB(255, 0, 0);
  const PixelImage plain = SwatchImage(16, 15, menu, pen, brush, -1);
  ASSERT_EQ(plain.width, 16);
  ASSERT_EQ(plain.height, 15);
  EXPECT_EQ(PixelColour(plain.At(0, 0)), menu);
  EXPECT_EQ(PixelColour(plain.At(1, 7)), menu);
  EXPECT_EQ(PixelColour(plain.At(2, 2)), pen);
  EXPECT_EQ(PixelColour(plain.At(13, 12)), pen);
  EXPECT_EQ(PixelColour(plain.At(14, 12)), menu);
  EXPECT_EQ(PixelColour(plain.At(3, 3)), brush);
  const PixelImage rows = SwatchImage(16, 15, menu, pen, brush, HS_HORIZONTAL);
  EXPECT_EQ(PixelColour(rows.At(5, 2 + 4)), brush);
  EXPECT_EQ(PixelColour(rows.At(5, 2 + 5)), menu);
  // Tiny and empty sizes still give a whole image.
  const PixelImage tiny = SwatchImage(0, -3, menu, pen, brush, -1);
  EXPECT_EQ(tiny.width, 1);
  EXPECT_EQ(tiny.height, 1);
  // At 3 x 3 the rectangle takes the whole image: outline round one hatched pixel.
  const PixelImage three = SwatchImage(3, 3, menu, pen, brush, HS_DIAGCROSS);
  EXPECT_EQ(PixelColour(three.At(0, 0)), pen);
  EXPECT_EQ(PixelColour(three.At(2, 1)), pen);
  EXPECT_EQ(PixelColour(three.At(1, 1)), brush);
}
