#include "controls/ui/draw_disabled_image.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/ui/qt_convert.h"

namespace {

constexpr COLORREF kFace = RGB(0, 128, 0);
constexpr COLORREF kSource = RGB(255, 0, 0);

const COLORREF kHighlight = GetSysColor(COLOR_BTNHIGHLIGHT);
const COLORREF kShadow = GetSysColor(COLOR_BTNSHADOW);

QImage Solid(int w, int h, COLORREF colour) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(ToQColor(colour));
  return image;
}

QImage DrawAt(const QImage& source, CPoint at, int w = 30, int h = 30) {
  QImage target(w, h, QImage::Format_RGB32);
  target.fill(ToQColor(kFace));
  QPainter painter(&target);
  {
    CDC dc(painter);
    DrawDisabledImage(dc, source, at);
  }
  painter.end();
  return target;
}

COLORREF At(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

int Count(const QImage& image, COLORREF colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += At(image, x, y) == colour ? 1 : 0;
  }
  return n;
}

}  // namespace

TEST(DisabledImage, HighlightOnePixelDownRightShadowInPlace) {
  const QImage img = DrawAt(Solid(16, 16, kSource), CPoint(4, 4));
  EXPECT_EQ(At(img, 4, 4), kShadow);
  EXPECT_EQ(At(img, 19, 19), kShadow);
  EXPECT_EQ(At(img, 20, 20), kHighlight) << "the highlight's lower-right corner shows";
  EXPECT_EQ(At(img, 20, 5), kHighlight) << "right rim";
  EXPECT_EQ(At(img, 5, 20), kHighlight) << "bottom rim";
  EXPECT_EQ(At(img, 20, 4), kFace) << "the highlight starts one row down";
  EXPECT_EQ(At(img, 4, 20), kFace) << "and one column right";
  EXPECT_EQ(At(img, 3, 3), kFace);
  EXPECT_EQ(Count(img, kShadow), 16 * 16);
  EXPECT_EQ(Count(img, kHighlight), 16 + 16 - 1);
  EXPECT_EQ(Count(img, kSource), 0) << "no source colour survives";
}

TEST(DisabledImage, TransparentPixelsAreNoInk) {
  // A 7 x 7 plus sign: column 3 and row 3 opaque, the rest see-through.
  QImage plus(7, 7, QImage::Format_ARGB32);
  plus.fill(Qt::transparent);
  for (int i = 0; i < 7; ++i) {
    plus.setPixelColor(3, i, ToQColor(kSource));
    plus.setPixelColor(i, 3, ToQColor(kSource));
  }
  const QImage img = DrawAt(plus, CPoint(10, 10));
  EXPECT_EQ(At(img, 13, 10), kShadow) << "top of the bar";
  EXPECT_EQ(At(img, 14, 11), kHighlight) << "beside the bar, one down and right";
  EXPECT_EQ(At(img, 10, 10), kFace) << "a see-through corner stays the face";
  EXPECT_EQ(At(img, 16, 16), kFace);
  EXPECT_EQ(At(img, 11, 14), kHighlight) << "under the bar's left arm";
  EXPECT_EQ(Count(img, kSource), 0);
}

TEST(DisabledImage, HalfOpaqueIsTheThreshold) {
  QImage image(2, 1, QImage::Format_ARGB32);
  image.setPixelColor(0, 0, QColor(255, 0, 0, kDisabledImageInkAlpha - 1));
  image.setPixelColor(1, 0, QColor(255, 0, 0, kDisabledImageInkAlpha));
  const QImage shape = ImageShapeIn(image, RGB(1, 2, 3));
  EXPECT_EQ(shape.pixelColor(0, 0).alpha(), 0);
  EXPECT_EQ(shape.pixelColor(1, 0), QColor(1, 2, 3, 255));
  const QImage img = DrawAt(image, CPoint(0, 0), 4, 3);
  EXPECT_EQ(At(img, 0, 0), kFace);
  EXPECT_EQ(At(img, 1, 0), kShadow);
  EXPECT_EQ(At(img, 2, 1), kHighlight);
}

TEST(DisabledImage, NullImageAndOpaqueFormats) {
  const QImage nothing = DrawAt(QImage(), CPoint(2, 2));
  EXPECT_EQ(Count(nothing, kFace), 30 * 30);
  EXPECT_TRUE(ImageShapeIn(QImage(), kShadow).isNull());
  QImage rgb(4, 4, QImage::Format_RGB32);  // no alpha: every pixel is ink
  rgb.fill(Qt::blue);
  const QImage img = DrawAt(rgb, CPoint(0, 0), 6, 6);
  EXPECT_EQ(Count(img, kShadow), 16);
  EXPECT_EQ(Count(img, RGB(0, 0, 255)), 0);
}
