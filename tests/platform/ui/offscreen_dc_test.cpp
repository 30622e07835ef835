#include "platform/ui/offscreen_dc.h"

#include <gtest/gtest.h>

#include "platform/ui/qt_convert.h"

namespace {

class PrintingDC : public CDC {
 public:
  using CDC::CDC;
  BOOL IsPrinting() const override { return TRUE; }
};

COLORREF At(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

}  // namespace

TEST(OffscreenDC, DrawingLandsAtTheSamePlaceAndNothingOutsideChanges) {
  QImage target(100, 100, QImage::Format_ARGB32);
  target.fill(QColor(10, 20, 30));
  {
    QPainter painter(&target);
    CDC dc(painter);
    {
      COffscreenDC off(&dc, CRect(30, 40, 80, 60));
      EXPECT_TRUE(off.IsMemDC());
      off.FillSolidRect(CRect(30, 40, 80, 60), RGB(200, 0, 0));
      off.FillSolidRect(CRect(0, 0, 100, 100), RGB(0, 200, 0));  // clipped to the block
      off.FillSolidRect(CRect(50, 45, 52, 47), RGB(0, 0, 255));
      // Nothing reaches the target before the block is laid down.
      EXPECT_EQ(At(target, 50, 45), RGB(10, 20, 30));
    }
  }
  EXPECT_EQ(At(target, 30, 40), RGB(0, 200, 0));
  EXPECT_EQ(At(target, 79, 59), RGB(0, 200, 0));
  EXPECT_EQ(At(target, 50, 45), RGB(0, 0, 255));
  EXPECT_EQ(At(target, 51, 46), RGB(0, 0, 255));
  EXPECT_EQ(At(target, 29, 40), RGB(10, 20, 30));
  EXPECT_EQ(At(target, 80, 59), RGB(10, 20, 30));
  EXPECT_EQ(At(target, 30, 39), RGB(10, 20, 30));
  EXPECT_EQ(At(target, 30, 60), RGB(10, 20, 30));
}

TEST(OffscreenDC, UndrawnPixelsOfTheBlockKeepTheTarget) {
  QImage target(20, 20, QImage::Format_ARGB32);
  target.fill(QColor(1, 2, 3));
  {
    QPainter painter(&target);
    CDC dc(painter);
    COffscreenDC off(dc, CRect(5, 5, 15, 15));
    off.FillSolidRect(CRect(5, 5, 6, 6), RGB(9, 9, 9));
  }
  EXPECT_EQ(At(target, 5, 5), RGB(9, 9, 9));
  EXPECT_EQ(At(target, 10, 10), RGB(1, 2, 3));
}

TEST(OffscreenDC, PrintingContextIsDrawnOnDirectly) {
  QImage target(100, 100, QImage::Format_ARGB32);
  target.fill(Qt::white);
  QPainter painter(&target);
  PrintingDC dc(painter);
  {
    COffscreenDC off(&dc, CRect(30, 40, 80, 60));
    EXPECT_FALSE(off.IsMemDC());
    EXPECT_TRUE(off.IsPrinting());
    off.FillSolidRect(CRect(0, 0, 10, 10), RGB(0, 0, 0));
    // Straight through: outside the block too, and at once.
    EXPECT_EQ(At(target, 5, 5), RGB(0, 0, 0));
  }
  EXPECT_EQ(At(target, 50, 50), RGB(255, 255, 255));
}

TEST(OffscreenDC, ImageListDrawHonoursTransparency) {
  CImageList list;
  list.Create(2, 1, ILC_MASK, 1, 0);
  PixelImage strip(2, 1, OpaquePixel(RGB(192, 192, 192)));
  strip.At(1, 0) = OpaquePixel(RGB(5, 6, 7));
  list.Add(strip, RGB(192, 192, 192));
  QImage target(4, 1, QImage::Format_ARGB32);
  target.fill(QColor(100, 100, 100));
  {
    QPainter painter(&target);
    CDC dc(painter);
    EXPECT_TRUE(DrawImageListImage(dc, &list, 0, CPoint(1, 0)));
    EXPECT_FALSE(DrawImageListImage(dc, &list, 1, CPoint(0, 0)));
    EXPECT_FALSE(DrawImageListImage(dc, nullptr, 0, CPoint(0, 0)));
  }
  EXPECT_EQ(At(target, 1, 0), RGB(100, 100, 100));
  EXPECT_EQ(At(target, 2, 0), RGB(5, 6, 7));
}
