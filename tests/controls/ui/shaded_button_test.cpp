#include "controls/ui/shaded_button.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr COLORREF kIn = RGB(40, 160, 60);

COLORREF At(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

void SendEnter(QWidget* widget) {
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
  QApplication::sendEvent(widget, &enter);
}

void ShowAndWait(QWidget& widget) {
  widget.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&widget));
  // The offscreen cursor may rest over a new window: start without the mouse.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&widget, &leave);
}

}  // namespace

TEST(DibToQImage, DepthsAndRowOrder) {
  CDibImage dib;
  ASSERT_TRUE(dib.Create(3, 2, 8));
  dib.SetPaletteEntry(1, 10, 20, 30);
  dib.SetPaletteEntry(2, 200, 100, 50);
  dib.SetPixelIndex(0, 0, 1);
  dib.SetPixelIndex(2, 1, 2);
  QImage image = DibToQImage(dib);
  EXPECT_EQ(At(image, 0, 0), RGB(10, 20, 30)) << "top row first";
  EXPECT_EQ(At(image, 2, 1), RGB(200, 100, 50));
  EXPECT_EQ(At(image, 1, 0), RGB(0, 0, 0));

  ASSERT_TRUE(dib.Create(3, 2, 4));
  dib.SetPaletteEntry(15, 1, 2, 3);
  dib.SetPixelIndex(1, 1, 15);
  EXPECT_EQ(At(DibToQImage(dib), 1, 1), RGB(1, 2, 3));

  ASSERT_TRUE(dib.Create(9, 1, 1));
  dib.SetPaletteEntry(1, 255, 255, 255);
  dib.SetPixelIndex(8, 0, 1);
  image = DibToQImage(dib);
  EXPECT_EQ(At(image, 8, 0), RGB(255, 255, 255));
  EXPECT_EQ(At(image, 7, 0), RGB(0, 0, 0));

  ASSERT_TRUE(dib.Create(2, 2, 24));
  dib.Row(0)[3] = 9;   // blue of (1, 0)
  dib.Row(0)[5] = 99;  // red of (1, 0)
  EXPECT_EQ(At(DibToQImage(dib), 1, 0), RGB(99, 0, 9));
  EXPECT_TRUE(DibToQImage(CDibImage()).isNull());
}

TEST(ShadedButton, FaceIsDrawnAndHoveredFaceWhileHovered) {
  CShadedButton button;
  button.resize(40, 20);
  button.SetShadeRandom([] { return 0; });
  button.SetShade(kShadeVertical, 0, 50, 0);
  ASSERT_EQ(button.Images().face.Width(), 40);
  ASSERT_EQ(button.Images().face.Height(), 20);
  ShowAndWait(button);
  const CDibImage& face = button.Images().face;
  EXPECT_EQ(GuiDriver::PixelAt(&button, 20, 10), face.PaletteEntry(face.PixelIndex(20, 10)));
  EXPECT_EQ(GuiDriver::PixelAt(&button, 20, 2), face.PaletteEntry(255 * 2 / 20));

  SendEnter(&button);
  ASSERT_TRUE(button.IsHovered());
  const CDibImage& hovered = button.Images().hovered;
  // The raised border of the base owns the edges; inside, the hovered face.
  EXPECT_EQ(GuiDriver::PixelAt(&button, 20, 10), hovered.PaletteEntry(hovered.PixelIndex(20, 10)));
  EXPECT_NE(hovered.PaletteEntry(100), face.PaletteEntry(100)) << "brighter";
  EXPECT_EQ(GuiDriver::PixelAt(&button, 0, 10), GetSysColor(COLOR_BTNHIGHLIGHT)) << "the base's border step";
}

TEST(ShadedButton, SameSeedSameFaceAndDegenerateSizes) {
  CShadedButton a, b;
  a.resize(50, 30);
  b.resize(50, 30);
  a.SetShadeSeed(9);
  b.SetShadeSeed(9);
  a.SetShade(kShadeMetal, 8, 10, 20, RGB(0, 0, 255));
  b.SetShade(kShadeMetal, 8, 10, 20, RGB(0, 0, 255));
  EXPECT_EQ(a.Images().face.Block(), b.Images().face.Block());
  a.SetShade(kShadeMetal, 8, 10, 20, RGB(0, 0, 255));
  EXPECT_EQ(a.Images().face.Block(), b.Images().face.Block()) << "seeded per call";

  CShadedButton narrow;
  narrow.resize(4, 30);
  narrow.SetShade(kShadeHardBump, 20000, 300, -5);
  EXPECT_EQ(narrow.Images().face.Width(), 4);
  CShadedButton zero;
  zero.resize(0, 0);
  zero.SetShade(kShadeSoftBump, 8);
  EXPECT_EQ(zero.Images().face.Width(), 1);
  EXPECT_EQ(zero.Images().face.Height(), 1);
}

TEST(BitmapButtonSub2, HoveredFillInABlackOutlineWithoutBorder) {
  CBitmapButtonSub2 button;
  button.resize(40, 20);
  button.SetColor(kButtonBackgroundIn, kIn);
  ShowAndWait(button);
  const COLORREF out = GuiDriver::PixelAt(&button, 20, 10);
  EXPECT_EQ(out, GetSysColor(COLOR_BTNFACE)) << "not hovered: the base's background";
  SendEnter(&button);
  ASSERT_TRUE(button.IsHovered());
  const QImage image = GuiDriver::Grab(&button);
  EXPECT_EQ(At(image, 20, 10), kIn);
  EXPECT_EQ(At(image, 0, 10), RGB(0, 0, 0)) << "outline, not the raised border";
  EXPECT_EQ(At(image, 20, 0), RGB(0, 0, 0));
  EXPECT_EQ(At(image, 20, 19), RGB(0, 0, 0));
  EXPECT_EQ(At(image, 1, 10), kIn);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_NE(At(image, x, y), GetSysColor(COLOR_BTNHIGHLIGHT)) << x << "," << y;

  button.SetRounded(true);
  EXPECT_TRUE(button.IsRounded());
  const QImage rounded = GuiDriver::Grab(&button);
  EXPECT_NE(At(rounded, 0, 0), RGB(0, 0, 0)) << "the corner is rounded off";
  EXPECT_EQ(At(rounded, 20, 0), RGB(0, 0, 0));
  EXPECT_EQ(At(rounded, 20, 10), kIn);
}
