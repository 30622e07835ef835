#include "controls/tip_geometry.h"

#include <gtest/gtest.h>

namespace {

const std::vector<CString> kThreeLines{"12345678901234567890", "short", "1234567890"};

TEST(TipGeometrySize, ThreeLinesOfTwentyBytesMeasureFiftyOneByOneHundredSixty) {
  TipGeometry tip;
  EXPECT_EQ(tip.CalcSize(kThreeLines), 160);
  EXPECT_EQ(tip.Width(), 160);
  EXPECT_EQ(tip.Height(), 3 * 13 + 12);
  EXPECT_EQ(tip.Lines(), 3);
  EXPECT_EQ(tip.MaxLen(), 20);
  EXPECT_TRUE(tip.HasSize());
}

TEST(TipGeometrySize, ChineseCharactersCountTwoBytes) {
  TipGeometry tip;
  EXPECT_EQ(tip.CalcSize({"中", "a"}), 2 * 15 / 2 + 10);
  EXPECT_EQ(tip.MaxLen(), 2);
  tip.CalcSize({"买入金额:中"});  // four characters (8 bytes), ':' and one more character (2)
  EXPECT_EQ(tip.MaxLen(), 11);
  EXPECT_EQ(tip.Width(), 11 * 15 / 2 + 10);  // 82.5 -> 82, plus 10
}

TEST(TipGeometrySize, NoLinesLeavesOnlyTheMargins) {
  TipGeometry tip;
  tip.CalcSize({});
  EXPECT_EQ(tip.Lines(), 0);
  EXPECT_EQ(tip.Height(), 12);
  EXPECT_EQ(tip.Width(), 10);
}

TEST(TipGeometrySize, ClearMeansNothingShown) {
  TipGeometry tip;
  tip.CalcSize(kThreeLines);
  tip.Clear();
  EXPECT_FALSE(tip.HasSize());
  EXPECT_EQ(tip.Width(), 0);
  EXPECT_EQ(tip.Height(), 0);
}

TEST(TipGeometryPosition, StartsAtTheControlsMiddleWhenItFits) {
  TipGeometry tip;
  tip.CalcSize(kThreeLines);
  const CRect rect = tip.CalcPosition(CRect(0, 0, 600, 400), CRect(100, 50, 180, 70));
  EXPECT_EQ(rect, CRect(140, 60, 300, 111));
  EXPECT_EQ(tip.RowHeight(), 14);
}

TEST(TipGeometryPosition, ControlAtTheRightEdgeOpensToTheLeft) {
  TipGeometry tip;
  tip.CalcSize(kThreeLines);
  const CRect rect = tip.CalcPosition(CRect(0, 0, 600, 400), CRect(540, 50, 600, 70));
  EXPECT_EQ(rect.right, 570);
  EXPECT_EQ(rect.left, 570 - 160);
}

TEST(TipGeometryPosition, HorizontalEdgesAreExact) {
  TipGeometry tip;
  tip.CalcSize(kThreeLines);
  // x + width == right still fits.
  EXPECT_EQ(tip.CalcPosition(CRect(0, 0, 300, 400), CRect(130, 0, 150, 20)).left, 140);
  // One pixel less room, and no room on the left either: one pixel right of the left edge.
  EXPECT_EQ(tip.CalcPosition(CRect(0, 0, 299, 400), CRect(130, 0, 150, 20)).left, 1);
  // Room on the left: the tip ends at the control's middle.
  const CRect left = tip.CalcPosition(CRect(0, 0, 250, 400), CRect(160, 0, 180, 20));
  EXPECT_EQ(left.left, 10);
  EXPECT_EQ(left.right, 170);
  // x - width exactly on the left edge does not count as right of it.
  const CRect squeezed = tip.CalcPosition(CRect(0, 0, 250, 400), CRect(150, 0, 170, 20));
  EXPECT_EQ(squeezed.left, 1);
  EXPECT_EQ(squeezed.Width(), 160);
}

TEST(TipGeometryPosition, NearTheBottomTheTipEndsOnePixelAboveIt) {
  TipGeometry tip;
  tip.CalcSize(kThreeLines);
  const CRect rect = tip.CalcPosition(CRect(0, 0, 600, 200), CRect(10, 170, 50, 190));
  EXPECT_EQ(rect.bottom, 199);
  EXPECT_EQ(rect.top, 199 - 51);
  EXPECT_EQ(tip.RowHeight(), 14);  // the page is higher than the tip

  // y + height one pixel above the bottom still fits; reaching it does not.
  EXPECT_EQ(tip.CalcPosition(CRect(0, 0, 600, 200), CRect(10, 138, 50, 158)).top, 148);
  EXPECT_EQ(tip.CalcPosition(CRect(0, 0, 600, 200), CRect(10, 139, 50, 159)).bottom, 199);
}

TEST(TipGeometryPosition, PageLowerThanTheTipSwitchesToTwelvePixelRows) {
  TipGeometry tip;
  tip.CalcSize(kThreeLines);
  const CRect rect = tip.CalcPosition(CRect(0, 0, 600, 40), CRect(10, 10, 50, 30));
  EXPECT_EQ(tip.RowHeight(), 12);
  EXPECT_EQ(tip.Height(), 3 * 11 + 12);
  EXPECT_EQ(tip.Width(), 20 * 7 + 10);
  EXPECT_EQ(rect.bottom, 39);
  EXPECT_EQ(rect.top, 39 - 45);
  EXPECT_EQ(rect.Width(), 150);
}

TEST(TipGeometryPosition, TheNextPlacementStartsAgainFromFourteenPixelRows) {
  TipGeometry tip;
  tip.CalcSize(kThreeLines);
  tip.CalcPosition(CRect(0, 0, 600, 40), CRect(10, 10, 50, 30));
  ASSERT_EQ(tip.RowHeight(), 12);
  // Measured again while the rows were 12 pixels high, then placed on a big page.
  tip.CalcSize(kThreeLines);
  const CRect rect = tip.CalcPosition(CRect(0, 0, 600, 400), CRect(100, 50, 180, 70));
  EXPECT_EQ(tip.RowHeight(), 14);
  EXPECT_EQ(rect, CRect(140, 60, 300, 111));
}

}  // namespace
