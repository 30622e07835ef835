#include "controls/ui/hover_button.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "controls/hover_face.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr COLORREF kHoverLeft = RGB(250, 196, 88);
constexpr COLORREF kFocusLeft = RGB(153, 198, 252);

// Paints a chosen state into an image, as a paint of the button would.
class ProbeButton : public CHoverButton {
 public:
  using CHoverButton::CHoverButton;
  QImage Render(const ButtonDrawState& state) {
    QImage image(width(), height(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    {
      CDC dc(painter);
      DrawItem(dc, CRect(0, 0, width(), height()), state);
    }
    return image;
  }
};

COLORREF At(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

int CountColour(const QImage& image, COLORREF colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += At(image, x, y) == colour;
  return n;
}

// The inverse of a colour, as a focus rectangle leaves it.
COLORREF Inverse(COLORREF c) { return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)); }

void SendEnter(QWidget* widget) {
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
  QApplication::sendEvent(widget, &enter);
}

void SendLeave(QWidget* widget) {
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(widget, &leave);
}

}  // namespace

TEST(HoverButton, FaceGradientRows) {
  ProbeButton button;
  button.resize(80, 70);  // face: rows 2..67, height 66
  const QImage normal = button.Render({});
  const int x = 40;
  EXPECT_EQ(At(normal, x, 2), HoverFaceRowColour(2, 66, false, false));
  EXPECT_EQ(At(normal, x, 33), HoverFaceRowColour(33, 66, false, false));
  EXPECT_EQ(At(normal, x, 67), RGB(234, 234, 243)) << "rows at or past the height use the last shade";
  EXPECT_EQ(At(normal, x, 66), RGB(234, 234, 243));

  ButtonDrawState both;
  both.hovered = true;
  both.pressed = true;
  const QImage hoveredPressed = button.Render(both);
  // The last rows lie under the lit bottom edge; the shade there is the pure rule's.
  EXPECT_EQ(At(hoveredPressed, x, 63), HoverFaceRowColour(63, 66, true, true));
  EXPECT_EQ(HoverFaceRowColour(67, 66, true, true), RGB(240, 240, 234));
  EXPECT_EQ(At(hoveredPressed, x, 20), HoverFaceRowColour(20, 66, true, true));

  // A tall face starts white: row 0 of the face function.
  ProbeButton tall;
  tall.resize(40, 300);
  EXPECT_EQ(At(tall.Render({}), 20, 2), HoverFaceRowColour(2, 296, false, false));
  EXPECT_EQ(HoverFaceRowColour(2, 296, false, false), RGB(255, 255, 255));
}

TEST(HoverButton, OrangeFrameWhileHovered) {
  ProbeButton button;
  button.resize(80, 30);
  EXPECT_EQ(CountColour(button.Render({}), kHoverLeft), 0) << "no frame when neither hovered nor focused";
  ButtonDrawState hovered;
  hovered.hovered = true;
  const QImage image = button.Render(hovered);
  EXPECT_EQ(At(image, 2, 15), kHoverLeft) << "left edge along the face";
  EXPECT_EQ(At(image, 40, 27), RGB(229, 151, 0)) << "bottom edge";
  EXPECT_EQ(At(image, 77, 15), RGB(251, 202, 106)) << "right edge";
  EXPECT_EQ(CountColour(image, kFocusLeft), 0);

  // Focused too: still orange, no focus rectangle.
  ButtonDrawState both = hovered;
  both.focused = true;
  const QImage bothImage = button.Render(both);
  EXPECT_EQ(At(bothImage, 2, 15), kHoverLeft);
  EXPECT_EQ(CountColour(bothImage, Inverse(kHoverLeft)), 0);
}

TEST(HoverButton, BlueFrameAndFocusRectangleWhenFocusedOnly) {
  ProbeButton button;
  button.resize(80, 30);
  ButtonDrawState focused;
  focused.focused = true;
  const QImage image = button.Render(focused);
  EXPECT_GT(CountColour(image, kFocusLeft), 0);
  EXPECT_EQ(CountColour(image, kHoverLeft), 0);
  // The focus rectangle inverts every other pixel of the face's border: on the left
  // edge that is the blue pen.
  int inverted = 0;
  for (int y = 2; y < 28; ++y) inverted += At(image, 2, y) == Inverse(kFocusLeft);
  EXPECT_GE(inverted, 10);
}

TEST(HoverButton, AnyHeightDrawsWithoutAFault) {
  for (int h : {1, 2, 3, 4, 5, 1000}) {
    ProbeButton button;
    button.resize(30, h);
    for (bool hovered : {false, true}) {
      ButtonDrawState state;
      state.hovered = hovered;
      state.focused = !hovered;
      const QImage image = button.Render(state);
      EXPECT_EQ(image.height(), h);
    }
  }
  ProbeButton tall;
  tall.resize(30, 1000);
  EXPECT_EQ(At(tall.Render({}), 15, 997), RGB(234, 234, 243));
}

TEST(HoverButton, HoverFollowsEnterAndLeave) {
  CHoverButton button("确定", nullptr);
  button.resize(80, 30);
  button.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&button));
  SendLeave(&button);  // the offscreen cursor may rest over a new window
  EXPECT_FALSE(button.IsHovered());
  EXPECT_NE(GuiDriver::PixelAt(&button, 2, 15), kHoverLeft);
  SendEnter(&button);
  EXPECT_TRUE(button.IsHovered());
  EXPECT_TRUE(button.IsTracking());
  EXPECT_EQ(GuiDriver::PixelAt(&button, 2, 15), kHoverLeft);
  SendLeave(&button);
  EXPECT_FALSE(button.IsHovered());
  EXPECT_FALSE(button.IsTracking());
  EXPECT_NE(GuiDriver::PixelAt(&button, 2, 15), kHoverLeft);
}

TEST(HoverButton, RoundedRegionAndCaption) {
  CHoverButton button("OK", nullptr);
  button.resize(60, 24);
  EXPECT_FALSE(button.mask().isEmpty());
  EXPECT_FALSE(button.mask().contains(QPoint(0, 0))) << "the corner is cut";
  EXPECT_TRUE(button.mask().contains(QPoint(30, 12)));
  EXPECT_TRUE(button.mask().contains(QPoint(30, 0)));
  ProbeButton probe("OK", nullptr);
  probe.resize(60, 24);
  EXPECT_GT(CountColour(probe.Render({}), RGB(0, 0, 0)), 20) << "border and caption";
  ButtonDrawState disabled;
  disabled.disabled = true;
  EXPECT_GT(CountColour(probe.Render(disabled), GetSysColor(COLOR_BTNSHADOW)), 0) << "embossed caption";
}
