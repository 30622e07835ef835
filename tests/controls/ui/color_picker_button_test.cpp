#include "controls/ui/color_picker_button.h"

#include <QApplication>
#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "controls/ui/color_palette.h"
#include "controls/ui/screen_pixel_reader.h"
#include "../../support/gui_driver.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr int kButtonId = 1200;
constexpr COLORREF kStart = RGB(10, 20, 30);
constexpr QPoint kCell7(74, 4);  // RGB(51, 0, 0)
constexpr COLORREF kCell7Colour = RGB(51, 0, 0);

class FakeScreen final : public IScreenPixelReader {
 public:
  std::optional<COLORREF> pixel;
  int reads = 0;
  std::optional<COLORREF> ReadPixel(CPoint) override {
    ++reads;
    return pixel;
  }
};

void SendMouse(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

class ColorPickerButtonTest : public testing::Test {
 protected:
  void SetUp() override {
    ColorDialogHook::Instance().Clear();
    ColorDialogHook::Instance().StartRecording();
    page = std::make_unique<CPage>();
    page->resize(300, 200);
    button = new CColorPickerButton(page.get());
    CPage::SetDlgCtrlID(button, kButtonId);
    button->setGeometry(20, 20, 50, 22);
    auto fake = std::make_unique<FakeScreen>();
    screen = fake.get();
    button->SetScreenPixelReader(std::move(fake));
    text = new QLineEdit(page.get());
    text->setGeometry(100, 20, 80, 22);
    button->SetTextWindow(text);
    page->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(page.get()));
    button->SetColor(kStart);
    QApplication::processEvents();
    spy = std::make_unique<QSignalSpy>(button, &CColorPickerButton::colorChanged);
  }

  void TearDown() override {
    ColorDialogHook::Instance().StopRecording();
    ColorDialogHook::Instance().Clear();
  }

  ColorPalette* Press() {
    QTest::mousePress(button, Qt::LeftButton);
    return button->GetPalette();
  }
  static void Move(ColorPalette* palette, QPoint local) {
    SendMouse(palette, QEvent::MouseMove, local, Qt::NoButton, Qt::LeftButton);
  }
  static void Release(ColorPalette* palette, QPoint local) {
    SendMouse(palette, QEvent::MouseButtonRelease, local, Qt::LeftButton, Qt::NoButton);
  }
  int Notifications() {
    QApplication::processEvents();
    return static_cast<int>(spy->count());
  }

  std::unique_ptr<CPage> page;
  CColorPickerButton* button = nullptr;
  QLineEdit* text = nullptr;
  FakeScreen* screen = nullptr;
  std::unique_ptr<QSignalSpy> spy;
};

TEST_F(ColorPickerButtonTest, SetColorWritesTheTextWindowAndNotifiesLater) {
  button->SetColor(RGB(255, 0, 0));
  EXPECT_EQ(text->text(), QStringLiteral("#FF0000"));
  CString colourText;
  button->GetColorText(colourText);
  EXPECT_EQ(colourText, "#FF0000");
  EXPECT_EQ(button->GetColor(), RGB(255, 0, 0));
  EXPECT_EQ(spy->count(), 0);  // posted, not sent
  ASSERT_EQ(Notifications(), 1);
  EXPECT_EQ(spy->at(0).at(0).toInt(), kButtonId);

  auto* label = new QLabel(page.get());
  button->SetTextWindow(label);
  button->SetColor(RGB(1, 171, 205));
  EXPECT_EQ(label->text(), QStringLiteral("#01ABCD"));
}

TEST_F(ColorPickerButtonTest, StartsWithTheButtonFace) {
  CColorPickerButton fresh;
  EXPECT_EQ(fresh.GetColor(), GetSysColor(COLOR_BTNFACE));
  EXPECT_FALSE(fresh.IsPaletteOpen());
}

TEST_F(ColorPickerButtonTest, TheFaceShowsTheColourAndTheTriangle) {
  button->SetColor(RGB(0, 128, 255));
  const QImage image = GuiDriver::Grab(button);
  const int w = image.width();
  const int h = image.height();
  EXPECT_EQ(FromQColor(image.pixelColor(w / 2, h / 2)), RGB(0, 128, 255));
  EXPECT_EQ(FromQColor(image.pixelColor(0, 0)), RGB(255, 255, 255));
  EXPECT_EQ(FromQColor(image.pixelColor(w - 1, h - 1)), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(FromQColor(image.pixelColor(2, 2)), GetSysColor(COLOR_3DDKSHADOW));  // dark line outside the colour

  // The black pixels of the bottom-right corner form rows of 5, 3 and 1, centred.
  std::vector<std::pair<int, int>> rows;  // (first x, width) per row with black
  for (int y = h - 8; y < h; ++y) {
    int first = -1;
    int count = 0;
    for (int x = w - 10; x < w; ++x) {
      if (FromQColor(image.pixelColor(x, y)) == RGB(0, 0, 0)) {
        if (first < 0) first = x;
        ++count;
      }
    }
    if (count > 0) rows.emplace_back(first, count);
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].second, 5);
  EXPECT_EQ(rows[1].second, 3);
  EXPECT_EQ(rows[2].second, 1);
  EXPECT_EQ(rows[1].first, rows[0].first + 1);
  EXPECT_EQ(rows[2].first, rows[0].first + 2);
}

TEST_F(ColorPickerButtonTest, APressOpensThePaletteUnderTheButtonWithTheMouse) {
  ColorPalette* palette = Press();
  ASSERT_NE(palette, nullptr);
  EXPECT_TRUE(button->IsPaletteOpen());
  EXPECT_TRUE(palette->isVisible());
  EXPECT_TRUE(palette->isWindow());
  EXPECT_EQ(palette->size(), QSize(191, 150));
  EXPECT_EQ(palette->windowTitle(), QStringLiteral("Palatte"));
  EXPECT_EQ(QWidget::mouseGrabber(), palette);
  EXPECT_EQ(ColorPalette::Current(), palette);
  EXPECT_EQ(palette->Tracker().Preview(), kStart);
  const QRect global(button->mapToGlobal(QPoint(0, 0)), button->size());
  const CPoint expected = PalettePosition(FromQRect(global), FromQRect(button->screen()->availableGeometry()));
  EXPECT_EQ(palette->pos(), QPoint(expected.x, expected.y));
  EXPECT_EQ(palette->pos(), QPoint(global.left(), global.bottom()));  // bottom-left, one pixel up
  QAbstractButton* more = palette->MoreColorsButton();
  EXPECT_EQ(CPage::GetDlgCtrlID(more), 100);
  EXPECT_EQ(more->geometry(), QRect(167, 126, 16, 16));
  // The face lies flat while the palette is open.
  EXPECT_EQ(GuiDriver::PixelAt(button, 0, 0), GetSysColor(COLOR_BTNFACE));
}

TEST_F(ColorPickerButtonTest, NearTheScreensEdgesThePaletteMovesInward) {
  const QRect area = button->screen()->availableGeometry();
  page->move(area.right() + 1 - page->width(), area.bottom() + 1 - page->height());
  button->move(page->width() - button->width(), page->height() - button->height());
  QApplication::processEvents();
  ColorPalette* palette = Press();
  ASSERT_NE(palette, nullptr);
  const QRect global(button->mapToGlobal(QPoint(0, 0)), button->size());
  EXPECT_EQ(palette->x(), area.right() + 1 - 191);
  EXPECT_EQ(palette->y(), global.bottom() - 150);
}

TEST_F(ColorPickerButtonTest, DraggingToACellPicksIt) {
  ColorPalette* palette = Press();
  Move(palette, kCell7);
  Release(palette, kCell7);
  EXPECT_FALSE(button->IsPaletteOpen());
  EXPECT_EQ(ColorPalette::Current(), nullptr);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  EXPECT_EQ(button->GetColor(), kCell7Colour);
  EXPECT_EQ(text->text(), QStringLiteral("#330000"));
  EXPECT_EQ(Notifications(), 1);
  EXPECT_EQ(screen->reads, 0);
}

TEST_F(ColorPickerButtonTest, ReleasingOnAGridLinePicksTheLastCell) {
  ColorPalette* palette = Press();
  Move(palette, kCell7);
  Move(palette, QPoint(79, 4));
  Release(palette, QPoint(79, 4));
  EXPECT_EQ(button->GetColor(), kCell7Colour);
}

TEST_F(ColorPickerButtonTest, ReleasingInTheLowerStripChangesNothing) {
  ColorPalette* palette = Press();
  Move(palette, kCell7);
  Move(palette, QPoint(60, 140));
  EXPECT_EQ(palette->cursor().shape(), Qt::ArrowCursor);
  Release(palette, QPoint(60, 140));
  EXPECT_FALSE(button->IsPaletteOpen());
  EXPECT_EQ(button->GetColor(), kStart);
  EXPECT_EQ(Notifications(), 0);
}

TEST_F(ColorPickerButtonTest, ReleasingOutsideTakesTheScreenPixel) {
  screen->pixel = RGB(1, 2, 3);
  ColorPalette* palette = Press();
  Move(palette, QPoint(-40, 60));
  EXPECT_EQ(palette->cursor().shape(), Qt::BitmapCursor);
  Release(palette, QPoint(-40, 60));
  EXPECT_EQ(button->GetColor(), RGB(1, 2, 3));
  EXPECT_GE(screen->reads, 1);
  EXPECT_EQ(Notifications(), 1);
}

TEST_F(ColorPickerButtonTest, WithoutScreenPixelsReleasingOutsideChangesNothing) {
  button->SetScreenPixelReader(std::make_unique<UnavailableScreenPixelReader>());
  ColorPalette* palette = Press();
  Move(palette, QPoint(-40, 60));
  Release(palette, QPoint(-40, 60));
  EXPECT_FALSE(button->IsPaletteOpen());
  EXPECT_EQ(button->GetColor(), kStart);
  EXPECT_EQ(Notifications(), 0);
}

TEST_F(ColorPickerButtonTest, PickingTheSameColourOnlyRepaints) {
  button->SetColor(kCell7Colour);
  QApplication::processEvents();
  spy->clear();
  ColorPalette* palette = Press();
  Move(palette, kCell7);
  Release(palette, kCell7);
  EXPECT_FALSE(button->IsPaletteOpen());
  EXPECT_EQ(button->GetColor(), kCell7Colour);
  EXPECT_EQ(Notifications(), 0);
}

TEST_F(ColorPickerButtonTest, AClickLeavesThePaletteOpenForAClickOnACell) {
  GuiDriver::Click(button);  // the release reaches the button and is handed on
  ColorPalette* palette = button->GetPalette();
  ASSERT_NE(palette, nullptr);
  EXPECT_TRUE(button->IsPaletteOpen());
  SendMouse(palette, QEvent::MouseMove, kCell7, Qt::NoButton, Qt::NoButton);
  EXPECT_TRUE(button->IsPaletteOpen());
  SendMouse(palette, QEvent::MouseButtonPress, kCell7, Qt::LeftButton, Qt::LeftButton);
  Release(palette, kCell7);
  EXPECT_FALSE(button->IsPaletteOpen());
  EXPECT_EQ(button->GetColor(), kCell7Colour);
}

TEST_F(ColorPickerButtonTest, MoreColoursTakesTheDialogsAnswer) {
  ColorDialogHook::Instance().SetNextColor(RGB(0, 0, 255));
  ColorPalette* palette = Press();
  Move(palette, QPoint(170, 130));
  EXPECT_FALSE(palette->HasCapture());
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  // The release over the button (reaching the colour button, which still holds the
  // press) leaves the palette open for the click.
  SendMouse(button, QEvent::MouseButtonRelease, button->mapFromGlobal(palette->mapToGlobal(QPoint(170, 130))),
            Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(button->IsPaletteOpen());
  GuiDriver::Click(palette->MoreColorsButton());
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return !button->IsPaletteOpen(); }, 2000));
  EXPECT_EQ(button->GetColor(), RGB(0, 0, 255));
  EXPECT_EQ(ColorDialogHook::Instance().Calls(), 1);
  EXPECT_EQ(ColorDialogHook::Instance().LastInitialColor(), kStart);
  EXPECT_EQ(Notifications(), 1);
}

TEST_F(ColorPickerButtonTest, ACancelledDialogChangesNothing) {
  ColorPalette* palette = Press();
  Move(palette, QPoint(170, 130));
  GuiDriver::Click(palette->MoreColorsButton());
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return ColorDialogHook::Instance().Calls() == 1; }, 2000));
  EXPECT_FALSE(button->IsPaletteOpen());
  EXPECT_EQ(button->GetColor(), kStart);
  EXPECT_EQ(Notifications(), 0);
}

TEST_F(ColorPickerButtonTest, APaletteWithoutTheMouseClosesOnAClickOutside) {
  ColorPalette* palette = Press();
  Move(palette, QPoint(170, 130));
  ASSERT_FALSE(palette->HasCapture());
  GuiDriver::Click(text);
  EXPECT_FALSE(button->IsPaletteOpen());
  EXPECT_EQ(ColorPalette::Current(), nullptr);
  EXPECT_EQ(button->GetColor(), kStart);
  EXPECT_EQ(Notifications(), 0);
}

TEST_F(ColorPickerButtonTest, OnlyOnePaletteAtATime) {
  auto* second = new CColorPickerButton(page.get());
  second->setGeometry(20, 100, 50, 22);
  second->show();
  ColorPalette* first = Press();
  ASSERT_NE(first, nullptr);
  QTest::mousePress(second, Qt::LeftButton);
  EXPECT_FALSE(button->IsPaletteOpen());
  EXPECT_TRUE(second->IsPaletteOpen());
  EXPECT_EQ(ColorPalette::Current(), second->GetPalette());
  EXPECT_EQ(QWidget::mouseGrabber(), second->GetPalette());
  second->ClosePalette();
}

TEST_F(ColorPickerButtonTest, ThePalettePaintsItsGridStripAndPreview) {
  ColorPalette* palette = Press();
  Move(palette, kCell7);
  const QImage image = GuiDriver::Grab(palette);
  auto at = [&](int x, int y) { return FromQColor(image.pixelColor(x, y)); };
  EXPECT_EQ(at(74, 4), kCell7Colour);
  EXPECT_NE(at(70, 0), kCell7Colour);  // the highlighted cell's focus rectangle
  EXPECT_EQ(at(4, 4), RGB(255, 255, 255));
  EXPECT_EQ(at(9, 4), RGB(0, 0, 0));
  EXPECT_EQ(at(4, 119), RGB(0, 0, 0));
  EXPECT_EQ(at(185, 115), PaletteCell(18, 11));
  EXPECT_EQ(at(190, 50), RGB(255, 255, 255));
  EXPECT_EQ(at(100, 146), kPaletteStripColour);
  EXPECT_EQ(at(4, 124), RGB(0, 0, 0));
  EXPECT_EQ(at(20, 134), kCell7Colour);  // the preview
  bool textInk = false;
  for (int y = 127; y < 140 && !textInk; ++y) {
    for (int x = 80; x < 140 && !textInk; ++x) textInk = at(x, y) != kPaletteStripColour;
  }
  EXPECT_TRUE(textInk);
  // The more-colours button: red, green and yellow squares.
  EXPECT_EQ(at(167 + 4, 126 + 4), RGB(255, 0, 0));
  EXPECT_EQ(at(167 + 9, 126 + 9), RGB(255, 255, 0));
  EXPECT_EQ(at(167 + 11, 126 + 11), GetSysColor(COLOR_3DDKSHADOW));  // its outline
}

TEST_F(ColorPickerButtonTest, ClosingTheButtonWithItsPaletteOpenIsClean) {
  Press();
  ASSERT_NE(ColorPalette::Current(), nullptr);
  delete button;
  button = nullptr;
  EXPECT_EQ(ColorPalette::Current(), nullptr);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(PickerCursor, SixteenPixelEyedropperWithItsTipAtTheBottomLeft) {
  const QCursor cursor = MakePickerCursor();
  EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
  EXPECT_EQ(cursor.hotSpot(), QPoint(0, 15));
  const QImage mask = cursor.mask().toImage();
  ASSERT_EQ(mask.size(), QSize(16, 16));
  EXPECT_EQ(QColor(mask.pixel(0, 15)), QColor(Qt::black));  // opaque
  EXPECT_EQ(QColor(mask.pixel(15, 15)), QColor(Qt::white));  // transparent
  EXPECT_EQ(QColor(cursor.bitmap().toImage().pixel(0, 15)), QColor(Qt::black));
}

TEST(ScreenPixels, OffscreenThereAreNone) {
  if (QGuiApplication::platformName() != QStringLiteral("offscreen")) GTEST_SKIP() << "not offscreen";
  EXPECT_EQ(MakeScreenPixelReader()->ReadPixel(CPoint(1, 1)), std::nullopt);
  EXPECT_EQ(UnavailableScreenPixelReader().ReadPixel(CPoint(1, 1)), std::nullopt);
}

// Runs where there is an X server (QT_QPA_PLATFORM=xcb under Xvfb).
TEST(ScreenPixels, OnX11TheReaderSeesAShownWindow) {
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "needs an X server";
  QWidget window;
  window.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, QColor(12, 200, 99));
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  window.setGeometry(40, 40, 60, 60);
  window.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&window));
  const QPoint centre = window.mapToGlobal(QPoint(30, 30));
  std::unique_ptr<IScreenPixelReader> reader = MakeScreenPixelReader();
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return reader->ReadPixel(CPoint(centre.x(), centre.y())) == RGB(12, 200, 99); }));
}

TEST(ColorDialogHookTest, AnswersInOrderAndCancelsWhenEmpty) {
  ColorDialogHook& hook = ColorDialogHook::Instance();
  hook.Clear();
  hook.SetNextColor(RGB(1, 1, 1));
  hook.SetNextColor(std::nullopt);
  EXPECT_EQ(PickColorFromDialog(RGB(5, 5, 5), nullptr), RGB(1, 1, 1));
  EXPECT_EQ(PickColorFromDialog(RGB(5, 5, 5), nullptr), std::nullopt);
  EXPECT_EQ(PickColorFromDialog(RGB(6, 6, 6), nullptr), std::nullopt);  // nothing queued
  EXPECT_EQ(hook.Calls(), 3);
  EXPECT_EQ(hook.LastInitialColor(), RGB(6, 6, 6));
  hook.Clear();
}

}  // namespace
