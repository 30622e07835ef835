#include "controls/palette.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// A screen that answers with one colour and remembers where it was read.
class FakeScreen final : public IScreenPixelReader {
 public:
  std::optional<COLORREF> pixel;
  std::vector<CPoint> reads;

  std::optional<COLORREF> ReadPixel(CPoint screenPoint) override {
    reads.push_back(screenPoint);
    return pixel;
  }
};

TEST(PaletteCells, GreyRampInColumnZero) {
  EXPECT_EQ(PaletteCell(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(PaletteCell(0, 1), RGB(232, 232, 232));
  EXPECT_EQ(PaletteCell(0, 9), RGB(48, 48, 48));
  EXPECT_EQ(PaletteCell(0, 10), RGB(23, 23, 23));
  EXPECT_EQ(PaletteCell(0, 11), RGB(0, 0, 0));
}

TEST(PaletteCells, ColourCubeCorners) {
  EXPECT_EQ(PaletteCell(1, 0), RGB(0, 0, 0));
  EXPECT_EQ(PaletteCell(18, 11), RGB(255, 255, 255));
  EXPECT_EQ(PaletteCell(7, 0), RGB(51, 0, 0));
  EXPECT_EQ(PaletteCell(1, 1), RGB(0, 0, 51));      // blue rises with the row
  EXPECT_EQ(PaletteCell(2, 0), RGB(0, 51, 0));      // green with the column
  EXPECT_EQ(PaletteCell(6, 5), RGB(0, 255, 255));
  EXPECT_EQ(PaletteCell(1, 6), RGB(153, 0, 0));     // the lower block's reds start at 153
  EXPECT_EQ(PaletteCell(13, 11), RGB(255, 0, 255));
}

TEST(PaletteCells, TheCubeHoldsEachOfTheTwoHundredSixteenColoursOnce) {
  std::set<COLORREF> seen;
  const std::set<int> levels{0, 51, 102, 153, 204, 255};
  for (int col = 1; col < kPaletteColumns; ++col) {
    for (int row = 0; row < kPaletteRows; ++row) {
      const COLORREF c = PaletteCell(col, row);
      EXPECT_TRUE(levels.count(GetRValue(c)) && levels.count(GetGValue(c)) && levels.count(GetBValue(c)));
      seen.insert(c);
    }
  }
  EXPECT_EQ(seen.size(), 216u);
}

TEST(PaletteCells, OutsideTheGridThereIsNoColour) {
  EXPECT_EQ(PaletteCell(-1, 0), kNoPaletteColour);
  EXPECT_EQ(PaletteCell(19, 0), kNoPaletteColour);
  EXPECT_EQ(PaletteCell(0, 12), kNoPaletteColour);
  EXPECT_EQ(PaletteCellColour(kPaletteCellCount), kNoPaletteColour);
  EXPECT_EQ(PaletteCellColour(-1), kNoPaletteColour);
  EXPECT_TRUE(PaletteCellRect(-1).IsRectEmpty());
}

TEST(PaletteCells, IndexesAndRectangles) {
  EXPECT_EQ(PaletteCellColour(7), PaletteCell(7, 0));
  EXPECT_EQ(PaletteCellColour(19 * 11 + 18), PaletteCell(18, 11));
  EXPECT_EQ(PaletteCellRect(20), CRect(10, 10, 19, 19));
  EXPECT_EQ(PaletteCellRect(227), CRect(180, 110, 189, 119));
}

TEST(PaletteHitTest, CellsLinesAndEdges) {
  EXPECT_EQ(PaletteCellAt(CPoint(0, 0)), 0);
  EXPECT_EQ(PaletteCellAt(CPoint(8, 8)), 0);
  EXPECT_EQ(PaletteCellAt(CPoint(9, 0)), -1);   // vertical line
  EXPECT_EQ(PaletteCellAt(CPoint(0, 9)), -1);   // horizontal line
  EXPECT_EQ(PaletteCellAt(CPoint(10, 0)), 1);   // the first pixel after a line is a cell
  EXPECT_EQ(PaletteCellAt(CPoint(10, 10)), 20);
  EXPECT_EQ(PaletteCellAt(CPoint(188, 118)), 227);
  EXPECT_EQ(PaletteCellAt(CPoint(189, 50)), -1);
  EXPECT_EQ(PaletteCellAt(CPoint(190, 50)), -1);  // right of the last column
  EXPECT_EQ(PaletteCellAt(CPoint(50, 119)), -1);
  EXPECT_EQ(PaletteCellAt(CPoint(50, 120)), -1);  // the strip
  EXPECT_EQ(PaletteCellAt(CPoint(-1, 5)), -1);
  EXPECT_EQ(PaletteCellAt(CPoint(5, -1)), -1);
}

TEST(PalettePlacement, OpensUnderTheButton) {
  EXPECT_EQ(PalettePosition(CRect(100, 100, 150, 120), CRect(0, 0, 1024, 768)), CPoint(100, 119));
}

TEST(PalettePlacement, MovesInwardAtTheRightAndBottomEdges) {
  const CRect screen(0, 0, 1024, 768);
  const CPoint p = PalettePosition(CRect(1000, 700, 1020, 720), screen);
  EXPECT_EQ(p.x, 1024 - 191);
  EXPECT_EQ(p.y, 719 - 150);
  // Exactly fitting stays.
  EXPECT_EQ(PalettePosition(CRect(833, 100, 900, 120), screen).x, 833);
  EXPECT_EQ(PalettePosition(CRect(0, 100, 50, 619), screen).y, 618);
  EXPECT_EQ(PalettePosition(CRect(0, 100, 50, 620), screen).y, 619 - 150);
}

TEST(PalettePlacement, NeverLeftOfTheScreen) {
  EXPECT_EQ(PalettePosition(CRect(-30, 10, 10, 30), CRect(0, 0, 1024, 768)).x, 0);
  EXPECT_EQ(PalettePosition(CRect(0, 10, 50, 30), CRect(0, 0, 150, 768)).x, 0);  // a screen narrower than the palette
  EXPECT_EQ(PalettePosition(CRect(1100, 10, 1150, 30), CRect(1024, 0, 2048, 768)).x, 1100);
  EXPECT_EQ(PalettePosition(CRect(1000, 10, 1050, 30), CRect(1024, 0, 2048, 768)).x, 1024);
}

TEST(PaletteText, HashAndSixHexDigits) {
  EXPECT_EQ(ColourText(RGB(255, 0, 0)), "#FF0000");
  EXPECT_EQ(ColourText(RGB(1, 171, 205)), "#01ABCD");
  EXPECT_EQ(ColourText(RGB(0, 0, 0)), "#000000");
}

class PaletteTrackerTest : public testing::Test {
 protected:
  void SetUp() override { tracker.Open(kOpening); }

  static constexpr COLORREF kOpening = RGB(10, 20, 30);
  FakeScreen screen;
  PaletteTracker tracker{&screen};
};

TEST_F(PaletteTrackerTest, OpensOnTheButtonsColour) {
  EXPECT_EQ(tracker.Preview(), kOpening);
  EXPECT_EQ(tracker.Opening(), kOpening);
  EXPECT_EQ(tracker.Highlighted(), -1);
  EXPECT_FALSE(tracker.Moved());
}

TEST_F(PaletteTrackerTest, MovingOverACellHighlightsItAndTakesItsColour) {
  const PaletteMove move = tracker.Move(CPoint(74, 4), CPoint(574, 404));
  EXPECT_TRUE(move.cellChanged);
  EXPECT_EQ(move.oldCell, -1);
  EXPECT_EQ(move.newCell, 7);
  EXPECT_TRUE(move.previewChanged);
  EXPECT_EQ(move.hitTest, 0);
  EXPECT_EQ(tracker.Preview(), RGB(51, 0, 0));
  EXPECT_TRUE(screen.reads.empty());  // grid colours come from the table
  EXPECT_EQ(tracker.Release(CPoint(74, 4)), RGB(51, 0, 0));
}

TEST_F(PaletteTrackerTest, ReleaseOnAGridLinePicksTheLastCell) {
  tracker.Move(CPoint(74, 4), CPoint());
  const PaletteMove onLine = tracker.Move(CPoint(79, 4), CPoint());
  EXPECT_TRUE(onLine.cellChanged);
  EXPECT_EQ(onLine.newCell, -1);
  EXPECT_EQ(tracker.Preview(), RGB(51, 0, 0));
  EXPECT_EQ(tracker.Release(CPoint(79, 4)), RGB(51, 0, 0));
}

TEST_F(PaletteTrackerTest, MovingWithinOneCellChangesNothing) {
  tracker.Move(CPoint(71, 1), CPoint());
  const PaletteMove again = tracker.Move(CPoint(75, 6), CPoint());
  EXPECT_FALSE(again.cellChanged);
  EXPECT_FALSE(again.previewChanged);
}

TEST_F(PaletteTrackerTest, TheLowerStripReturnsTheOpeningColour) {
  tracker.Move(CPoint(74, 4), CPoint());
  const PaletteMove strip = tracker.Move(CPoint(60, 135), CPoint());
  EXPECT_TRUE(strip.previewChanged);
  EXPECT_EQ(strip.hitTest, 1);
  EXPECT_FALSE(strip.releaseCapture);
  EXPECT_EQ(tracker.Highlighted(), -1);
  EXPECT_EQ(tracker.Preview(), kOpening);
  EXPECT_EQ(tracker.Release(CPoint(60, 135)), kOpening);
}

TEST_F(PaletteTrackerTest, TheMoreColoursButtonGetsTheMouse) {
  const PaletteMove over = tracker.Move(CPoint(170, 130), CPoint());
  EXPECT_TRUE(over.releaseCapture);
  EXPECT_EQ(over.hitTest, 0);
  EXPECT_FALSE(tracker.Move(CPoint(166, 130), CPoint()).releaseCapture);
  EXPECT_TRUE(tracker.Move(CPoint(182, 141), CPoint()).releaseCapture);
  EXPECT_FALSE(tracker.Move(CPoint(183, 141), CPoint()).releaseCapture);
}

TEST_F(PaletteTrackerTest, OutsideThePaletteTheScreenPixelIsTaken) {
  screen.pixel = RGB(1, 2, 3);
  const PaletteMove outside = tracker.Move(CPoint(-20, 40), CPoint(480, 440));
  EXPECT_TRUE(outside.previewChanged);
  EXPECT_EQ(outside.hitTest, 0);
  ASSERT_EQ(screen.reads.size(), 1u);
  EXPECT_EQ(screen.reads[0], CPoint(480, 440));
  EXPECT_EQ(tracker.Preview(), RGB(1, 2, 3));
  EXPECT_EQ(tracker.Release(CPoint(-20, 40)), RGB(1, 2, 3));
  // Just right of and just below the palette count as outside too.
  screen.pixel = RGB(4, 5, 6);
  tracker.Move(CPoint(191, 40), CPoint());
  EXPECT_EQ(tracker.Preview(), RGB(4, 5, 6));
  screen.pixel = RGB(7, 8, 9);
  tracker.Move(CPoint(40, 150), CPoint());
  EXPECT_EQ(tracker.Preview(), RGB(7, 8, 9));
}

TEST_F(PaletteTrackerTest, WithoutScreenPixelsOutsideChangesNothing) {
  screen.pixel.reset();
  tracker.Move(CPoint(74, 4), CPoint());
  tracker.Move(CPoint(-20, 40), CPoint(480, 440));
  EXPECT_EQ(screen.reads.size(), 1u);  // asked, and it had nothing
  EXPECT_EQ(tracker.Preview(), RGB(51, 0, 0));

  PaletteTracker blind(nullptr);
  blind.Open(kOpening);
  blind.Move(CPoint(-20, 40), CPoint(480, 440));
  EXPECT_EQ(blind.Preview(), kOpening);
  EXPECT_EQ(blind.Release(CPoint(-20, 40)), kOpening);
}

TEST_F(PaletteTrackerTest, AClickThatOpenedThePaletteLeavesItOpen) {
  tracker.PressFromOwner();
  EXPECT_EQ(tracker.Release(CPoint(30, -10)), std::nullopt);
}

TEST_F(PaletteTrackerTest, PressAndReleaseOnOnePointPicks) {
  tracker.Move(CPoint(74, 4), CPoint());
  tracker.Press(CPoint(74, 4));
  EXPECT_FALSE(tracker.Moved());
  EXPECT_EQ(tracker.Release(CPoint(74, 4)), RGB(51, 0, 0));
  // Pressed on one point and released on another without a move in between.
  tracker.Press(CPoint(74, 4));
  EXPECT_EQ(tracker.Release(CPoint(75, 4)), std::nullopt);
}

TEST_F(PaletteTrackerTest, AMoveOntoThePressPointIsNoMove) {
  screen.pixel = RGB(1, 2, 3);
  tracker.Press(CPoint(-5, -5));
  tracker.Move(CPoint(-5, -5), CPoint(100, 100));
  EXPECT_FALSE(tracker.Moved());
  EXPECT_TRUE(screen.reads.empty());
  EXPECT_EQ(tracker.Preview(), kOpening);
  tracker.Move(CPoint(-6, -5), CPoint(99, 100));
  EXPECT_TRUE(tracker.Moved());
  EXPECT_EQ(tracker.Preview(), RGB(1, 2, 3));
}

TEST_F(PaletteTrackerTest, OpeningAgainForgetsTheLastPalette) {
  tracker.Move(CPoint(74, 4), CPoint());
  tracker.Open(RGB(9, 9, 9));
  EXPECT_EQ(tracker.Highlighted(), -1);
  EXPECT_EQ(tracker.Preview(), RGB(9, 9, 9));
  EXPECT_FALSE(tracker.Moved());
}

}  // namespace
