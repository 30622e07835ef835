#include "controls/button_rules.h"

#include <gtest/gtest.h>

namespace {

constexpr CRect kItem(0, 0, 100, 40);
constexpr CSize kIcon(16, 16);
constexpr CSize kMargin(3, 3);

ButtonDrawState State(bool pressed, bool hovered, bool focused) {
  ButtonDrawState s;
  s.pressed = pressed;
  s.hovered = hovered;
  s.focused = focused;
  return s;
}

}  // namespace

TEST(ButtonColourShift, CutToTheSmallestHeadroom) {
  EXPECT_EQ(OffsetColour(RGB(236, 233, 216), 50), RGB(255, 252, 235)) << "the shift is cut to 19";
  EXPECT_EQ(OffsetColour(RGB(10, 20, 30), -50), RGB(0, 10, 20)) << "cut to -10";
  EXPECT_EQ(OffsetColour(RGB(10, 20, 30), 0), RGB(10, 20, 30));
  EXPECT_EQ(OffsetColour(RGB(0, 0, 0), 255), RGB(255, 255, 255));
  EXPECT_EQ(OffsetColour(RGB(255, 255, 255), -255), RGB(0, 0, 0));
  EXPECT_EQ(OffsetColour(RGB(255, 0, 0), 10), RGB(255, 0, 0)) << "a channel already at 255 stops every channel";
  EXPECT_EQ(OffsetColour(RGB(255, 0, 0), -10), RGB(255, 0, 0)) << "a channel at 0 stops every channel";
  EXPECT_EQ(OffsetColour(RGB(100, 100, 100), 7), RGB(107, 107, 107));
}

TEST(ButtonColourShift, OffsetRange) {
  EXPECT_TRUE(IsValidColourOffset(-255));
  EXPECT_TRUE(IsValidColourOffset(255));
  EXPECT_FALSE(IsValidColourOffset(-256));
  EXPECT_FALSE(IsValidColourOffset(256));
  EXPECT_FALSE(IsValidColourOffset(-300));
}

TEST(ButtonColourTable, DefaultsAreButtonFaceAndText) {
  ButtonColours colours;
  for (int i = 0; i < kButtonColourCount; ++i) {
    const COLORREF expected = GetSysColor(i % 2 == 0 ? COLOR_BTNFACE : COLOR_BTNTEXT);
    EXPECT_EQ(colours.At(i), expected) << "index " << i;
  }
}

TEST(ButtonImageCopies, GreyLevelTruncates) {
  EXPECT_EQ(GreyOf(RGB(100, 150, 200)), 140) << "140.75 truncated";
  EXPECT_EQ(GreyOf(RGB(255, 255, 255)), 255) << "white stays white";
  EXPECT_EQ(GreyOf(RGB(0, 0, 0)), 0);
  EXPECT_EQ(GreyOf(RGB(255, 0, 0)), 76);
  EXPECT_EQ(GreyOf(RGB(0, 255, 0)), 149);
  EXPECT_EQ(GreyOf(RGB(0, 0, 255)), 29);
  EXPECT_EQ(GreyColour(RGB(100, 150, 200)), RGB(140, 140, 140));
}

TEST(ButtonImageCopies, DarkerByAQuarterTruncated) {
  EXPECT_EQ(DarkerOf(200), 150);
  EXPECT_EQ(DarkerOf(201), 150) << "201 - 50.25 = 150.75";
  EXPECT_EQ(DarkerOf(255), 191);
  EXPECT_EQ(DarkerOf(3), 2);
  EXPECT_EQ(DarkerOf(1), 0);
  EXPECT_EQ(DarkerOf(0), 0);
  EXPECT_EQ(DarkerColour(RGB(200, 100, 4)), RGB(150, 75, 3));
}

TEST(ButtonStateRules, PressedDrawing) {
  EXPECT_FALSE(IsDrawnPressed(false, false, false, false));
  EXPECT_TRUE(IsDrawnPressed(true, false, false, false));
  EXPECT_FALSE(IsDrawnPressed(false, false, true, false)) << "checked counts only in check-box mode";
  EXPECT_TRUE(IsDrawnPressed(false, true, true, false));
  EXPECT_FALSE(IsDrawnPressed(false, true, false, false));
  EXPECT_TRUE(IsDrawnPressed(false, false, false, true)) << "an open menu";
}

TEST(ButtonStateRules, ColourPairs) {
  EXPECT_EQ(StateBackgroundIndex(State(false, false, false)), kButtonBackgroundOut);
  EXPECT_EQ(StateBackgroundIndex(State(false, true, false)), kButtonBackgroundIn);
  EXPECT_EQ(StateBackgroundIndex(State(true, false, false)), kButtonBackgroundIn);
  EXPECT_EQ(StateBackgroundIndex(State(false, false, true)), kButtonBackgroundFocus);
  EXPECT_EQ(StateBackgroundIndex(State(false, true, true)), kButtonBackgroundIn) << "hover wins over focus";
  EXPECT_EQ(StateTextIndex(State(false, false, true)), kButtonTextFocus);
  EXPECT_EQ(StateTextIndex(State(false, false, false)), kButtonTextOut);
  EXPECT_EQ(StateTextIndex(State(true, false, false)), kButtonTextIn);
}

TEST(ButtonStateRules, BlackFrameAndFocusRectangle) {
  ButtonDrawState s;
  EXPECT_FALSE(HasBlackFrame(s, false));
  s.isDefault = true;
  EXPECT_TRUE(HasBlackFrame(s, false));
  EXPECT_FALSE(HasBlackFrame(s, true)) << "never on a flat button";
  s = State(false, false, true);
  EXPECT_TRUE(HasBlackFrame(s, false));
  EXPECT_TRUE(ShowsFocusRect(s, false, false));
  EXPECT_FALSE(ShowsFocusRect(s, true, false));
  EXPECT_TRUE(ShowsFocusRect(s, true, true));
  EXPECT_FALSE(ShowsFocusRect(State(false, false, false), false, true));
}

TEST(ButtonStateRules, Borders) {
  EXPECT_EQ(BorderOf(State(false, false, false), true, true), ButtonBorder::None) << "flat, not hovered";
  EXPECT_EQ(BorderOf(State(false, true, false), true, true), ButtonBorder::Raised);
  EXPECT_EQ(BorderOf(State(false, true, false), true, false), ButtonBorder::None) << "borders off";
  EXPECT_EQ(BorderOf(State(true, true, false), true, true), ButtonBorder::Sunken);
  EXPECT_EQ(BorderOf(State(true, true, false), true, false), ButtonBorder::None);
  EXPECT_EQ(BorderOf(State(true, false, false), false, true), ButtonBorder::PressedFrame);
  EXPECT_EQ(BorderOf(State(true, false, false), false, false), ButtonBorder::PressedFrame)
      << "a raised button always has its border";
  EXPECT_EQ(BorderOf(State(false, false, false), false, false), ButtonBorder::RaisedDouble);
  EXPECT_EQ(BorderOf(State(false, true, false), false, true), ButtonBorder::RaisedDouble);
}

TEST(ButtonStateRules, InOrOutImage) {
  ButtonDrawState s = State(false, true, false);
  EXPECT_TRUE(UsesInImage(s));
  s.checkBoxMode = true;
  EXPECT_FALSE(UsesInImage(s)) << "in check-box mode hovering is not enough";
  s.pressed = true;
  EXPECT_TRUE(UsesInImage(s));
  EXPECT_FALSE(UsesInImage(State(false, false, true)));
  EXPECT_TRUE(UsesInImage(State(true, false, false)));
}

TEST(ButtonStateRules, PressedStyles) {
  EXPECT_EQ(PressedOffsetOf(kButtonPressedStyleDiagonal), CPoint(1, 1));
  EXPECT_EQ(PressedOffsetOf(kButtonPressedStyleDown), CPoint(0, 2));
  EXPECT_FALSE(PressedOffsetOf(2).has_value());
  EXPECT_FALSE(PressedOffsetOf(-1).has_value());
}

TEST(ButtonLayout, ImageLeftOfTheCaption) {
  const auto withCaption = PlaceButtonContent(kItem, kIcon, true, kButtonAlignImageLeft, kMargin, false, {});
  EXPECT_EQ(withCaption.image, CRect(3, 12, 19, 28));
  EXPECT_EQ(withCaption.caption, CRect(19, 0, 100, 40)) << "starts after image width + margin";
  const auto alone = PlaceButtonContent(kItem, kIcon, false, kButtonAlignImageLeft, kMargin, false, {});
  EXPECT_EQ(alone.image, CRect(42, 12, 58, 28));
  EXPECT_EQ(alone.caption, kItem);
}

TEST(ButtonLayout, ImageAboveTheCaption) {
  const auto withCaption = PlaceButtonContent(kItem, kIcon, true, kButtonAlignImageAbove, kMargin, false, {});
  EXPECT_EQ(withCaption.image, CRect(42, 3, 58, 19));
  EXPECT_EQ(withCaption.caption, CRect(0, 19, 100, 40)) << "starts below the image";
  const auto alone = PlaceButtonContent(kItem, kIcon, false, kButtonAlignImageAbove, kMargin, false, {});
  EXPECT_EQ(alone.image, CRect(42, 12, 58, 28));
}

TEST(ButtonLayout, ImageRightOfTheCaption) {
  const auto withCaption = PlaceButtonContent(kItem, kIcon, true, kButtonAlignImageRight, kMargin, false, {});
  EXPECT_EQ(withCaption.image, CRect(81, 12, 97, 28));
  EXPECT_EQ(withCaption.caption, CRect(0, 0, 81, 40)) << "ends before the image";
  const auto alone = PlaceButtonContent(kItem, kIcon, false, kButtonAlignImageRight, kMargin, false, {});
  EXPECT_EQ(alone.image, CRect(42, 12, 58, 28));
}

TEST(ButtonLayout, OverlapAndPressedOffset) {
  const auto overlap = PlaceButtonContent(kItem, kIcon, true, kButtonAlignOverlap, kMargin, false, {});
  EXPECT_EQ(overlap.image, CRect(0, 0, 16, 16));
  EXPECT_EQ(overlap.caption, kItem);
  const auto pressed = PlaceButtonContent(kItem, kIcon, true, kButtonAlignImageAbove, kMargin, true, CPoint(0, 2));
  EXPECT_EQ(pressed.image, CRect(42, 5, 58, 21));
  EXPECT_EQ(pressed.caption, CRect(0, 19, 100, 40)) << "the caption area is moved by the caption step";
}

TEST(ButtonLayout, OffsetItemsOddSizesAndLargeImages) {
  const CRect item(10, 20, 111, 61);  // 101 x 41
  const auto alone = PlaceButtonContent(item, kIcon, false, kButtonAlignImageLeft, kMargin, false, {});
  EXPECT_EQ(alone.image, CRect(52, 32, 68, 48));
  const auto left = PlaceButtonContent(item, kIcon, true, kButtonAlignImageLeft, CSize(0, 0), false, {});
  EXPECT_EQ(left.image.left, 10) << "margin 0 after SizeToContent";
  const auto big = PlaceButtonContent(CRect(0, 0, 10, 10), CSize(20, 20), false, kButtonAlignImageLeft, kMargin,
                                      false, {});
  EXPECT_EQ(big.image, CRect(-5, -5, 15, 15)) << "an image larger than the button is centred over it";
}

TEST(ButtonLayout, CentreRect) {
  EXPECT_EQ(CentreRectIn(CSize(10, 4), CRect(0, 0, 20, 10)), CRect(5, 3, 15, 7));
  EXPECT_EQ(CentreRectIn(CSize(10, 4), CRect(0, 0, 21, 11)), CRect(5, 3, 15, 7)) << "odd leftover right and down";
  EXPECT_EQ(CentreRectIn(CSize(0, 0), CRect(2, 2, 4, 4)), CRect(3, 3, 3, 3));
}

TEST(ButtonWebAddress, OnlyHttpAndHttps) {
  EXPECT_TRUE(IsOpenableUrl("http://example.com"));
  EXPECT_TRUE(IsOpenableUrl("https://example.com/a?b=c"));
  EXPECT_TRUE(IsOpenableUrl("HTTPS://Example.com"));
  EXPECT_TRUE(IsOpenableUrl("http://127.0.0.1:8080/"));
  EXPECT_FALSE(IsOpenableUrl("file:/etc/passwd"));
  EXPECT_FALSE(IsOpenableUrl("file:///etc/passwd"));
  EXPECT_FALSE(IsOpenableUrl("ftp://example.com"));
  EXPECT_FALSE(IsOpenableUrl("javascript:alert(1)"));
  EXPECT_FALSE(IsOpenableUrl("mailto:a@b.c"));
  EXPECT_FALSE(IsOpenableUrl("example.com"));
  EXPECT_FALSE(IsOpenableUrl(""));
  EXPECT_FALSE(IsOpenableUrl("http:example.com"));
  EXPECT_FALSE(IsOpenableUrl("http://"));
  EXPECT_FALSE(IsOpenableUrl("http:///etc/passwd"));
  EXPECT_FALSE(IsOpenableUrl(" http://example.com"));
  EXPECT_FALSE(IsOpenableUrl("http://exa mple.com"));
  EXPECT_FALSE(IsOpenableUrl("http://example.com/\n; rm -rf /"));
}

TEST(ButtonHover, WhenTheMouseMayStartHovering) {
  EXPECT_TRUE(MayStartHover(true, false, true, false));
  EXPECT_FALSE(MayStartHover(false, false, true, true)) << "raised buttons are not tracked";
  EXPECT_FALSE(MayStartHover(true, true, true, true)) << "not while dragging in with the left button";
  EXPECT_FALSE(MayStartHover(true, false, false, false)) << "always-track off and no active window";
  EXPECT_TRUE(MayStartHover(true, false, false, true));
}

TEST(ButtonSounds, PlayFlags) {
  EXPECT_EQ(SoundFlags(false, false), kSoundFromFile | kSoundNoDefault | kSoundNoWait);
  EXPECT_EQ(SoundFlags(true, true), kSoundFromResource | kSoundNoDefault | kSoundNoWait | kSoundAsync);
  EXPECT_EQ(SoundFlags(true, false) & kSoundFromFile, 0u);
}
