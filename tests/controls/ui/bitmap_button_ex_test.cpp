#include "controls/ui/bitmap_button_ex.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../../support/gui_driver.h"
#include "platform/ui/qt_convert.h"
#include "../../support/temp_program_folder.h"

namespace {

constexpr COLORREF kIconColour = RGB(200, 0, 200);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kOut = RGB(10, 20, 30);
constexpr COLORREF kIn = RGB(40, 50, 60);
constexpr COLORREF kRed = RGB(255, 0, 0);

const COLORREF kHighlight = GetSysColor(COLOR_BTNHIGHLIGHT);
const COLORREF kShadow = GetSysColor(COLOR_BTNSHADOW);

QImage Solid(int w, int h, COLORREF colour) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(ToQColor(colour));
  return image;
}

COLORREF At(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

// The bounding box of the pixels of one colour; empty when there are none.
CRect BoxOf(const QImage& image, COLORREF colour) {
  CRect box(image.width(), image.height(), 0, 0);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (At(image, x, y) != colour) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return box.IsRectEmpty() ? CRect() : box;
}

void SendEnter(QWidget* widget) {
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
  QApplication::sendEvent(widget, &enter);
}

void SendLeave(QWidget* widget) {
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(widget, &leave);
}

class FakeUrlOpener : public IUrlOpener {
 public:
  bool OpenUrl(const std::string& url) override {
    opened.push_back(url);
    return answer;
  }
  std::vector<std::string> opened;
  bool answer = true;
};

// Records the commands posted to it and the menu notices sent to it.
class CommandSink : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == CommandEvent::EventType()) {
      ids.push_back(static_cast<CommandEvent*>(e)->Id());
      return true;
    }
    if (e->type() == MenuCallbackEvent::EventType()) {
      const auto* notice = static_cast<MenuCallbackEvent*>(e);
      notices.push_back({notice->Message(), notice->Menu(), notice->Value()});
      return true;
    }
    return QObject::event(e);
  }
  struct Notice {
    UINT message;
    QMenu* menu;
    qintptr value;
  };
  std::vector<int> ids;
  std::vector<Notice> notices;
};

// Records the drawing steps in the order they run.
class StepButton : public CBitmapButtonEx {
 public:
  using CBitmapButtonEx::CBitmapButtonEx;
  std::vector<std::string> steps;

 protected:
  void OnDrawBackground(CDC& dc, CRect& rect, const ButtonDrawState& state) override {
    steps.push_back("background");
    CBitmapButtonEx::OnDrawBackground(dc, rect, state);
  }
  void OnDrawBorder(CDC& dc, const CRect& rect, const ButtonDrawState& state) override {
    steps.push_back("border");
    CBitmapButtonEx::OnDrawBorder(dc, rect, state);
  }
  void DrawTheIcon(CDC& dc, bool hasCaption, const CRect& item, CRect& caption, const ButtonDrawState& state) override {
    steps.push_back("icon");
    CBitmapButtonEx::DrawTheIcon(dc, hasCaption, item, caption, state);
  }
  void DrawTheBitmap(CDC& dc, bool hasCaption, const CRect& item, CRect& caption,
                     const ButtonDrawState& state) override {
    steps.push_back("bitmap");
    CBitmapButtonEx::DrawTheBitmap(dc, hasCaption, item, caption, state);
  }
  void DrawTheText(CDC& dc, const CString& caption, const CRect& rect, const ButtonDrawState& state) override {
    steps.push_back("text");
    CBitmapButtonEx::DrawTheText(dc, caption, rect, state);
  }
};

class NoMaskButton : public CBitmapButtonEx {
 public:
  using CBitmapButtonEx::CBitmapButtonEx;

 protected:
  QImage CreateMask(const QImage&, COLORREF) const override { return {}; }
};

class BitmapButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->resize(200, 120);
    button_ = new CBitmapButtonEx(window_.get());
    button_->setGeometry(10, 10, 80, 40);
    button_->SetColor(kButtonBackgroundOut, kOut);
    button_->SetColor(kButtonBackgroundIn, kIn);
  }
  void TearDown() override { ClearButtonResources(); }

  void Show() {
    window_->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(window_.get()));
    button_->clearFocus();  // showing may hand it the focus, which has its own colours
  }
  QImage Grab() { return GuiDriver::Grab(button_); }

  std::unique_ptr<QWidget> window_;
  CBitmapButtonEx* button_ = nullptr;
};

}  // namespace

// ---- colours and setters ----

TEST_F(BitmapButtonTest, OffsetColorResults) {
  button_->SetDefaultColors();
  COLORREF c = 0;
  ASSERT_EQ(button_->GetColor(0, c), kButtonOk);
  ASSERT_EQ(c, RGB(236, 233, 216));
  EXPECT_EQ(button_->OffsetColor(0, 50), kButtonOk);
  button_->GetColor(0, c);
  EXPECT_EQ(c, RGB(255, 252, 235));
  EXPECT_EQ(button_->OffsetColor(0, -300), kButtonBadOffset);
  button_->GetColor(0, c);
  EXPECT_EQ(c, RGB(255, 252, 235)) << "nothing changes";
  EXPECT_EQ(button_->OffsetColor(6, 10), kButtonBadColourIndex);
  EXPECT_EQ(button_->SetColor(6, kRed), kButtonBadColourIndex);
  EXPECT_EQ(button_->GetColor(6, c), kButtonBadColourIndex);
  EXPECT_EQ(button_->SetDefaultColors(), kButtonOk);
  button_->GetColor(0, c);
  EXPECT_EQ(c, RGB(236, 233, 216));
}

TEST_F(BitmapButtonTest, AlignAndPressedStyleRefuseBadValues) {
  EXPECT_EQ(button_->GetAlign(), kButtonAlignImageLeft);
  EXPECT_EQ(button_->SetAlign(1), kButtonOk);
  EXPECT_EQ(button_->SetAlign(4), kButtonBadAlign);
  EXPECT_EQ(button_->GetAlign(), 1) << "the alignment is kept";
  EXPECT_EQ(button_->SetAlign(-1), kButtonBadAlign);
  EXPECT_EQ(button_->PressedOffset(), CPoint(1, 1));
  EXPECT_EQ(button_->SetPressedStyle(1), kButtonOk);
  EXPECT_EQ(button_->PressedOffset(), CPoint(0, 2));
  EXPECT_EQ(button_->SetPressedStyle(2), kButtonBadPressedStyle);
  EXPECT_EQ(button_->PressedOffset(), CPoint(0, 2));
  EXPECT_EQ(button_->Margins(), CSize(3, 3));
  EXPECT_TRUE(button_->IsFlat());
}

TEST_F(BitmapButtonTest, GreyAndDarkerOutIcons) {
  QImage icon = Solid(4, 4, RGB(100, 150, 200));
  icon.setPixelColor(0, 0, QColor(0, 0, 0));          // black stays black
  icon.setPixelColor(1, 0, QColor(90, 90, 90, 0));   // see-through stays as it is
  ASSERT_EQ(button_->SetIcon(icon, kButtonOutImageGrey), kButtonOk);
  EXPECT_EQ(At(button_->OutImage(), 2, 2), RGB(140, 140, 140));
  EXPECT_EQ(At(button_->OutImage(), 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(button_->OutImage().pixelColor(1, 0), QColor(90, 90, 90, 0));
  EXPECT_EQ(At(button_->InImage(), 2, 2), RGB(100, 150, 200)) << "the in-icon is untouched";

  ASSERT_EQ(button_->SetIcon(Solid(2, 2, RGB(200, 200, 200)), kButtonOutImageDarker), kButtonOk);
  EXPECT_EQ(At(button_->OutImage(), 1, 1), RGB(150, 150, 150));
  ASSERT_EQ(button_->SetIcon(Solid(2, 2, kRed), 0), kButtonOk);
  EXPECT_TRUE(button_->OutImage().isNull()) << "0 means no out-icon";
}

TEST_F(BitmapButtonTest, IconsFromResourceIds) {
  TempProgramFolder folder;
  const std::string png = folder.File("icon.png");
  ASSERT_TRUE(Solid(16, 16, kIconColour).save(ToQString(png), "PNG"));
  RegisterButtonImage(300, ToQString(png));
  RegisterButtonImage(301, QStringLiteral(":/velkor/icons/velkor.png"));
  RegisterButtonImage(302, ToQString(folder.File("missing.png")));

  EXPECT_EQ(button_->SetIcon(300), kButtonOk);
  EXPECT_TRUE(button_->HasIcon());
  EXPECT_EQ(button_->InImage().size(), QSize(16, 16));
  EXPECT_EQ(button_->SetIcon(301, kButtonOutImageGrey), kButtonOk) << "our own resource file is linked in";
  EXPECT_FALSE(button_->OutImage().isNull());

  EXPECT_EQ(button_->SetIcon(999), kButtonImageNotLoaded);
  EXPECT_FALSE(button_->HasIcon()) << "an unknown id leaves no image";
  EXPECT_EQ(button_->SetIcon(302), kButtonImageNotLoaded);
  EXPECT_EQ(button_->SetIcon(300, 999), kButtonImageNotLoaded);
  EXPECT_FALSE(button_->HasIcon());
  EXPECT_EQ(button_->SetIcon(300), kButtonOk);
  EXPECT_EQ(button_->SetIcon(0), kButtonOk);
  EXPECT_FALSE(button_->HasIcon()) << "id 0 drops the images";
}

TEST_F(BitmapButtonTest, BitmapsGetMasksAndBlackTransparentPixels) {
  QImage bitmap = Solid(6, 6, kMagenta);
  for (int y = 2; y < 4; ++y) {
    for (int x = 2; x < 4; ++x) bitmap.setPixelColor(x, y, QColor(0, 0, 255));
  }
  ASSERT_EQ(button_->SetBitmaps(bitmap, kMagenta, kButtonOutImageDarker), kButtonOk);
  EXPECT_TRUE(button_->HasBitmap());
  EXPECT_EQ(At(button_->InMask(), 0, 0), RGB(255, 255, 255)) << "transparent is white in the mask";
  EXPECT_EQ(At(button_->InMask(), 2, 2), RGB(0, 0, 0));
  EXPECT_EQ(At(button_->InImage(), 0, 0), RGB(0, 0, 0)) << "transparent pixels turned black";
  EXPECT_EQ(At(button_->InImage(), 2, 2), RGB(0, 0, 255));
  EXPECT_EQ(At(button_->OutImage(), 2, 2), RGB(0, 0, 191)) << "the darker copy";
  EXPECT_EQ(At(button_->OutMask(), 0, 0), RGB(255, 255, 255)) << "with the same transparent colour";

  NoMaskButton noMask;
  EXPECT_EQ(noMask.SetBitmaps(bitmap, kMagenta), kButtonMaskNotMade);
  EXPECT_FALSE(noMask.HasBitmap());
  EXPECT_EQ(button_->SetBitmaps(12345, kMagenta), kButtonImageNotLoaded);
  EXPECT_FALSE(button_->HasBitmap());
}

TEST_F(BitmapButtonTest, SizeToContentKeepsThePlace) {
  button_->SetIcon(Solid(16, 16, kIconColour));
  button_->SizeToContent();
  EXPECT_EQ(button_->geometry(), QRect(10, 10, 16, 16));
  EXPECT_EQ(button_->Margins(), CSize(0, 0));
}

// ---- painting ----

TEST_F(BitmapButtonTest, StepsRunInOrder) {
  auto* steps = new StepButton(QStringLiteral("Go"), window_.get());
  steps->setGeometry(0, 60, 80, 40);
  steps->SetIcon(Solid(8, 8, kIconColour));
  GuiDriver::Grab(steps);
  EXPECT_EQ(steps->steps, (std::vector<std::string>{"background", "border", "icon", "text"}));
  steps->steps.clear();
  steps->SetBitmaps(Solid(8, 8, kIconColour), kMagenta);
  steps->setText(QString());
  steps->DrawTransparent();
  GuiDriver::Grab(steps);
  EXPECT_EQ(steps->steps, (std::vector<std::string>{"border", "bitmap"}))
      << "transparent drawing replaces the background step; no caption, no text step";
}

TEST_F(BitmapButtonTest, FlatButtonBorderFollowsHoverAndPress) {
  Show();
  QImage img = Grab();
  EXPECT_EQ(At(img, 0, 0), kOut) << "flat, not hovered: no border, background-out";
  EXPECT_EQ(At(img, 79, 39), kOut);

  SendEnter(button_);
  ASSERT_TRUE(button_->IsHovered());
  img = Grab();
  EXPECT_EQ(At(img, 0, 0), kHighlight) << "hovered: raised";
  EXPECT_EQ(At(img, 79, 39), kShadow);
  EXPECT_EQ(At(img, 1, 1), kIn) << "background-in";

  button_->setDown(true);
  img = Grab();
  EXPECT_EQ(At(img, 0, 0), kShadow) << "pressed: sunken";
  EXPECT_EQ(At(img, 79, 39), kHighlight);
  button_->setDown(false);

  button_->DrawBorder(false);
  img = Grab();
  EXPECT_EQ(At(img, 0, 0), kIn) << "borders switched off";

  SendLeave(button_);
  EXPECT_FALSE(button_->IsHovered());
  EXPECT_EQ(At(Grab(), 0, 0), kOut);
}

TEST_F(BitmapButtonTest, RaisedButtonBorders) {
  button_->SetFlat(false);
  QImage img = Grab();
  EXPECT_EQ(At(img, 0, 0), kHighlight) << "outer top-left";
  EXPECT_EQ(At(img, 1, 1), GetSysColor(COLOR_3DLIGHT)) << "inner top-left";
  EXPECT_EQ(At(img, 79, 39), GetSysColor(COLOR_3DDKSHADOW)) << "outer bottom-right";
  EXPECT_EQ(At(img, 78, 38), kShadow) << "inner bottom-right";
  EXPECT_EQ(At(img, 79, 0), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(At(img, 40, 0), kHighlight);
  EXPECT_EQ(At(img, 40, 1), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(At(img, 0, 20), kHighlight);
  EXPECT_EQ(At(img, 40, 39), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(At(img, 78, 20), kShadow);
  EXPECT_EQ(At(img, 2, 2), kOut);

  SendEnter(button_);
  EXPECT_FALSE(button_->IsHovered()) << "a raised button does not track the mouse";

  button_->setDown(true);
  img = Grab();
  EXPECT_EQ(At(img, 0, 0), kShadow) << "pressed: a one-pixel shadow frame";
  EXPECT_EQ(At(img, 79, 39), kShadow);
  EXPECT_EQ(At(img, 1, 1), kIn);
}

TEST_F(BitmapButtonTest, DefaultButtonGetsABlackFrame) {
  auto* def = new CBitmapButtonEx(window_.get(), ButtonType::DefaultPush);
  def->setGeometry(0, 60, 40, 20);
  def->SetFlat(false);
  EXPECT_TRUE(def->GetDefault());
  QImage img = GuiDriver::Grab(def);
  EXPECT_EQ(At(img, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(At(img, 39, 19), RGB(0, 0, 0));
  EXPECT_EQ(At(img, 1, 1), kHighlight) << "the border moves in by the frame";
  def->SetButtonStyle(ButtonType::Push);
  EXPECT_FALSE(def->GetDefault());
  EXPECT_EQ(At(GuiDriver::Grab(def), 0, 0), kHighlight);
}

TEST_F(BitmapButtonTest, FocusedRaisedButtonShowsTheFocusRectangle) {
  Show();
  window_->activateWindow();
  button_->SetFlat(false);
  button_->setFocus();
  if (!GuiDriver::WaitUntil([&] { return button_->hasFocus(); }, 2000)) GTEST_SKIP() << "no focus offscreen";
  const QImage img = Grab();
  EXPECT_EQ(At(img, 0, 0), RGB(0, 0, 0)) << "focused: black frame";
  EXPECT_EQ(At(img, 1, 1), kHighlight);
  int dots = 0;
  for (int x = 3; x < 77; ++x) dots += At(img, x, 3) != At(img, 40, 20) ? 1 : 0;
  EXPECT_GT(dots, 20) << "the dotted focus rectangle 3 pixels inside";
  EXPECT_EQ(At(img, 4, 4), At(img, 40, 20)) << "only its border";
  // A flat button draws it only when asked.
  button_->SetFlat(true);
  const QImage flat = Grab();
  EXPECT_EQ(At(flat, 3, 3), At(flat, 40, 20));
  button_->DrawFlatFocus(true);
  int flatDots = 0;
  const QImage withFocus = Grab();
  for (int x = 3; x < 77; ++x) flatDots += At(withFocus, x, 3) != At(withFocus, 40, 20) ? 1 : 0;
  EXPECT_GT(flatDots, 20);
}

TEST_F(BitmapButtonTest, IconAboveTheCaptionAndPressedOffset) {
  button_->setText(QStringLiteral("Go"));
  button_->SetColor(kButtonTextOut, kRed);
  button_->SetColor(kButtonTextIn, kRed);
  button_->SetIcon(Solid(16, 16, kIconColour));
  ASSERT_EQ(button_->SetAlign(1), kButtonOk);
  QImage img = Grab();
  EXPECT_EQ(At(img, 40, 3 + 8), kIconColour) << "icon centred, at the top margin";
  EXPECT_EQ(BoxOf(img, kIconColour), CRect(32, 3, 48, 19));
  const CRect caption = BoxOf(img, kRed);
  ASSERT_FALSE(caption.IsRectEmpty()) << "the caption is drawn in the text colour";
  EXPECT_GE(caption.top, 19) << "below the icon";
  EXPECT_LE(std::abs((caption.left + caption.right) - 80), 2) << "centred";

  button_->setDown(true);
  img = Grab();
  EXPECT_EQ(BoxOf(img, kIconColour), CRect(33, 4, 49, 20)) << "moved by (1, 1)";
  const CRect pressedCaption = BoxOf(img, kRed);
  EXPECT_EQ(pressedCaption.left, caption.left + 1);
  EXPECT_EQ(pressedCaption.top, caption.top + 1);
}

TEST_F(BitmapButtonTest, ImageLeftAndRightOfTheCaption) {
  button_->setText(QStringLiteral("Go"));
  button_->SetIcon(Solid(16, 16, kIconColour));
  EXPECT_EQ(BoxOf(Grab(), kIconColour), CRect(3, 12, 19, 28));
  button_->SetAlign(2);
  EXPECT_EQ(BoxOf(Grab(), kIconColour), CRect(61, 12, 77, 28));
  button_->setText(QString());
  EXPECT_EQ(BoxOf(Grab(), kIconColour), CRect(32, 12, 48, 28)) << "without a caption: centred";
}

TEST_F(BitmapButtonTest, InAndOutImages) {
  Show();
  button_->SetIcon(Solid(16, 16, kIconColour), Solid(16, 16, kRed));
  EXPECT_EQ(At(Grab(), 40, 20), kRed) << "not hovered: the out-icon";
  SendEnter(button_);
  EXPECT_EQ(At(Grab(), 40, 20), kIconColour) << "hovered: the in-icon";
}

TEST_F(BitmapButtonTest, DisabledButtonIsEmbossed) {
  button_->setText(QStringLiteral("Go"));
  button_->SetColor(kButtonTextOut, kRed);
  button_->SetIcon(Solid(16, 16, kIconColour));
  button_->SetAlign(1);
  button_->setEnabled(false);
  const QImage img = Grab();
  EXPECT_EQ(BoxOf(img, kIconColour), CRect()) << "no icon colour";
  EXPECT_EQ(At(img, 32, 3), kShadow);
  EXPECT_EQ(At(img, 48, 10), kHighlight) << "highlight one pixel right";
  EXPECT_EQ(BoxOf(img, kRed), CRect()) << "the caption is not in the text colour";
  CRect captionArea(0, 20, 80, 40);
  bool shadowText = false;
  bool highlightText = false;
  for (int y = captionArea.top; y < captionArea.bottom; ++y) {
    for (int x = captionArea.left; x < captionArea.right; ++x) {
      shadowText |= At(img, x, y) == kShadow;
      highlightText |= At(img, x, y) == kHighlight;
    }
  }
  EXPECT_TRUE(shadowText);
  EXPECT_TRUE(highlightText);
}

TEST_F(BitmapButtonTest, MaskedBitmapOverTheFace) {
  QImage bitmap = Solid(10, 10, kMagenta);
  for (int y = 3; y < 7; ++y) {
    for (int x = 3; x < 7; ++x) bitmap.setPixelColor(x, y, QColor(0, 0, 255));
  }
  button_->SetBitmaps(bitmap, kMagenta);
  const QImage img = Grab();
  EXPECT_EQ(BoxOf(img, RGB(0, 0, 255)), CRect(38, 18, 42, 22));
  EXPECT_EQ(BoxOf(img, kMagenta), CRect()) << "the transparent colour never shows";
  EXPECT_EQ(At(img, 36, 16), kOut) << "the face shows through";
  button_->setEnabled(false);
  const QImage disabled = Grab();
  EXPECT_EQ(At(disabled, 38, 18), kShadow);
  EXPECT_EQ(At(disabled, 36, 16), kOut) << "transparent pixels are no ink when disabled either";
}

TEST_F(BitmapButtonTest, TransparentDrawingUsesTheParentsBackground) {
  EXPECT_EQ(button_->SetBk(nullptr), kButtonNotTransparent);
  QImage parentImage(200, 120, QImage::Format_RGB32);
  parentImage.fill(QColor(0, 200, 0));
  {
    QPainter painter(&parentImage);
    CDC dc(painter);
    EXPECT_EQ(button_->SetBk(&dc), kButtonNotTransparent) << "transparent drawing is off";
    button_->DrawTransparent();
    EXPECT_EQ(button_->SetBk(nullptr), kButtonNotTransparent);
    dc.FillSolidRect(CRect(10, 10, 90, 30), RGB(0, 0, 200));  // the top half under the button
    EXPECT_EQ(button_->SetBk(&dc), kButtonOk);
  }
  QImage img = Grab();
  EXPECT_EQ(At(img, 40, 5), RGB(0, 0, 200));
  EXPECT_EQ(At(img, 40, 35), RGB(0, 200, 0));

  // Without SetBk the parent's own background is taken, once, and dropped on a
  // palette change.
  button_->DrawTransparent();
  EXPECT_FALSE(button_->HasCachedBackground());
  QPalette palette = window_->palette();
  palette.setColor(QPalette::Window, QColor(200, 100, 0));
  window_->setPalette(palette);
  window_->setAutoFillBackground(true);
  img = Grab();
  EXPECT_TRUE(button_->HasCachedBackground());
  EXPECT_EQ(At(img, 40, 20), RGB(200, 100, 0));
  palette.setColor(QPalette::Window, QColor(0, 100, 200));
  window_->setPalette(palette);
  EXPECT_FALSE(button_->HasCachedBackground());
  EXPECT_EQ(At(Grab(), 40, 20), RGB(0, 100, 200));
}

namespace {
std::vector<std::string> g_qtWarnings;
void RecordQtWarning(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtDebugMsg && type != QtInfoMsg) g_qtWarnings.push_back(message.toStdString());
}
}  // namespace

TEST_F(BitmapButtonTest, TransparentDrawingOnScreenTakesTheBackgroundOnce) {
  QPalette palette = window_->palette();
  palette.setColor(QPalette::Window, QColor(200, 100, 0));
  window_->setPalette(palette);
  window_->setAutoFillBackground(true);
  button_->DrawTransparent();
  g_qtWarnings.clear();
  const QtMessageHandler previous = qInstallMessageHandler(RecordQtWarning);
  Show();
  button_->repaint();
  QCoreApplication::processEvents();
  qInstallMessageHandler(previous);
  EXPECT_TRUE(g_qtWarnings.empty()) << g_qtWarnings.front();
  EXPECT_TRUE(button_->HasCachedBackground()) << "painted on screen, the parent's background was copied";
  EXPECT_EQ(At(Grab(), 40, 20), RGB(200, 100, 0));
}

// ---- hover ----

TEST_F(BitmapButtonTest, HoverNeedsAnActiveWindowWithoutAlwaysTrack) {
  // The window is never shown, so the program has no active window.
  ASSERT_EQ(QApplication::activeWindow(), nullptr);
  button_->SetAlwaysTrack(false);
  SendEnter(button_);
  EXPECT_FALSE(button_->IsHovered());
  button_->SetAlwaysTrack(true);
  SendEnter(button_);
  EXPECT_TRUE(button_->IsHovered());
  button_->setEnabled(false);
  EXPECT_FALSE(button_->IsHovered()) << "disabling leaves the hovered state";
}

TEST_F(BitmapButtonTest, MovingOutWhilePressedLeavesHover) {
  Show();
  SendEnter(button_);
  ASSERT_TRUE(button_->IsHovered());
  QTest::mousePress(button_, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
  QMouseEvent move(QEvent::MouseMove, QPointF(120, 20), button_->mapToGlobal(QPointF(120, 20)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(button_, &move);
  EXPECT_FALSE(button_->IsHovered()) << "the cursor left the button";
  QTest::mouseRelease(button_, Qt::LeftButton, Qt::NoModifier, QPoint(120, 20));
}

// ---- clicks ----

TEST_F(BitmapButtonTest, CheckBoxModeTogglesOnClick) {
  Show();
  auto* box = new CBitmapButtonEx(window_.get(), ButtonType::CheckBox);
  box->setGeometry(100, 10, 60, 30);
  box->show();
  EXPECT_TRUE(box->IsCheckBoxMode());
  EXPECT_EQ(box->GetCheck(), 0);
  GuiDriver::Click(box);
  EXPECT_EQ(box->GetCheck(), 1);
  EXPECT_TRUE(box->CurrentState().pressed) << "a checked box is drawn pressed";
  GuiDriver::Click(box);
  EXPECT_EQ(box->GetCheck(), 0);
  box->SetCheck(2);
  EXPECT_EQ(box->GetCheck(), 1);

  button_->SetCheck(1);
  EXPECT_EQ(button_->GetCheck(), 0) << "a push button has no check";
  GuiDriver::Click(button_);
  EXPECT_EQ(button_->GetCheck(), 0);
}

TEST_F(BitmapButtonTest, DoubleClickIsTwoClicks) {
  Show();
  QSignalSpy clicks(button_, &QAbstractButton::clicked);
  // What the window system delivers: press, release, double click, release.
  QTest::mouseClick(button_, Qt::LeftButton);
  QTest::mouseDClick(button_, Qt::LeftButton);
  QTest::mouseRelease(button_, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 2);
}

TEST_F(BitmapButtonTest, MenuChoiceReachesTheOwner) {
  Show();
  RegisterButtonMenu(500, {{101, "一"}, {0, ""}, {102, "二"}});
  CommandSink owner;
  CommandSink callback;
  EXPECT_EQ(button_->SetMenu(999, &owner), kButtonImageNotLoaded);
  EXPECT_EQ(button_->Menu(), nullptr);
  ASSERT_EQ(button_->SetMenu(500, &owner), kButtonOk);
  ASSERT_NE(button_->Menu(), nullptr);
  EXPECT_EQ(button_->Menu()->actions().size(), 3);
  button_->SetMenuCallback(&callback, 0x0400 + 7, 42);
  QSignalSpy commands(button_, &CBitmapButtonEx::command);

  bool openWhileShown = false;
  bool pressedWhileShown = false;
  int tries = 0;
  std::function<void()> choose = [&] {
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (popup == nullptr && ++tries < 200) {
      QTimer::singleShot(10, choose);
      return;
    }
    ASSERT_NE(popup, nullptr);
    openWhileShown = button_->IsMenuOpen();
    pressedWhileShown = button_->CurrentState().pressed;
    for (QAction* action : popup->actions()) {
      if (action->data().toInt() == 102) {
        QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, popup->actionGeometry(action).center());
      }
    }
  };
  QTimer::singleShot(0, choose);
  GuiDriver::Click(button_);

  EXPECT_TRUE(openWhileShown);
  EXPECT_TRUE(pressedWhileShown) << "drawn pressed while the menu is open";
  EXPECT_FALSE(button_->IsMenuOpen());
  ASSERT_EQ(callback.notices.size(), 1u);
  EXPECT_EQ(callback.notices[0].message, 0x0400u + 7);
  EXPECT_EQ(callback.notices[0].menu, button_->Menu());
  EXPECT_EQ(callback.notices[0].value, 42);
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toInt(), 102);
  EXPECT_TRUE(owner.ids.empty()) << "posted, not sent";
  QCoreApplication::processEvents();
  EXPECT_EQ(owner.ids, std::vector<int>{102});
}

TEST_F(BitmapButtonTest, MenuDismissedSendsNoCommand) {
  Show();
  RegisterButtonMenu(501, {{7, "x"}});
  CommandSink owner;
  ASSERT_EQ(button_->SetMenu(501, &owner), kButtonOk);
  QSignalSpy commands(button_, &CBitmapButtonEx::command);
  int tries = 0;
  std::function<void()> dismiss = [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (popup == nullptr && ++tries < 200) {
      QTimer::singleShot(10, dismiss);
      return;
    }
    if (popup != nullptr) popup->close();
  };
  QTimer::singleShot(0, dismiss);
  GuiDriver::Click(button_);
  QCoreApplication::processEvents();
  EXPECT_EQ(commands.count(), 0);
  EXPECT_TRUE(owner.ids.empty());
  EXPECT_FALSE(button_->IsMenuOpen());
  EXPECT_EQ(button_->SetMenu(0, nullptr), kButtonOk);
  EXPECT_EQ(button_->Menu(), nullptr);
}

TEST_F(BitmapButtonTest, WebAddressThroughTheOpener) {
  TempProgramFolder folder;
  Show();
  FakeUrlOpener opener;
  button_->SetUrlOpener(&opener);
  EXPECT_TRUE(button_->SetURL("http://example.com/velkor"));
  GuiDriver::Click(button_);
  EXPECT_EQ(opener.opened, std::vector<std::string>{"http://example.com/velkor"});

  opener.answer = false;
  GuiDriver::Click(button_);
  EXPECT_EQ(button_->GetURL(), "http://example.com/velkor") << "an opener failure changes nothing";
  EXPECT_NE(folder.ReadFile("DebugLog.txt").find("could not open"), std::string::npos);

  EXPECT_TRUE(button_->SetURL(nullptr));
  EXPECT_EQ(button_->GetURL(), "");
}

TEST_F(BitmapButtonTest, OtherSchemesAreRefused) {
  TempProgramFolder folder;
  Show();
  FakeUrlOpener opener;
  button_->SetUrlOpener(&opener);
  EXPECT_FALSE(button_->SetURL("file:/etc/passwd"));
  EXPECT_EQ(button_->GetURL(), "");
  GuiDriver::Click(button_);
  EXPECT_TRUE(opener.opened.empty());
  const std::string log = folder.ReadFile("DebugLog.txt");
  EXPECT_NE(log.find("refused"), std::string::npos);
  EXPECT_NE(log.find("file:/etc/passwd"), std::string::npos);

  ASSERT_TRUE(button_->SetURL("https://example.com"));
  EXPECT_FALSE(button_->SetURL("javascript:alert(1)"));
  EXPECT_EQ(button_->GetURL(), "https://example.com") << "a refused address keeps the one before";
}

// ---- tooltip, cursor, sounds ----

TEST_F(BitmapButtonTest, BalloonOnlyWhenEnabledBeforeTheTooltipExists) {
  button_->SetTooltipText(static_cast<const char*>(nullptr));
  EXPECT_FALSE(button_->HasTooltip()) << "a null text does nothing";
  button_->EnableBalloonTooltip();
  button_->SetTooltipText("前一天");
  EXPECT_TRUE(button_->IsBalloonTooltip());
  EXPECT_TRUE(button_->IsTooltipActive());
  EXPECT_EQ(button_->TooltipText(), "前一天");

  CBitmapButtonEx late(window_.get());
  late.SetTooltipText("后一天");
  late.EnableBalloonTooltip();
  EXPECT_FALSE(late.IsBalloonTooltip()) << "an existing tooltip keeps its style";

  CBitmapButtonEx touched(window_.get());
  SendEnter(&touched);  // any input creates the tooltip
  touched.EnableBalloonTooltip();
  touched.SetTooltipText("x");
  EXPECT_FALSE(touched.IsBalloonTooltip());
}

TEST_F(BitmapButtonTest, TooltipTextShowsAndDeactivates) {
  Show();
  RegisterButtonString(61000, "下一天");
  button_->SetTooltipText(61001);  // no such string
  EXPECT_FALSE(button_->HasTooltip());
  button_->SetTooltipText(61000, false);
  EXPECT_TRUE(button_->HasTooltip());
  EXPECT_FALSE(button_->IsTooltipActive());
  EXPECT_EQ(button_->TooltipText(), "下一天");

  auto help = [&] {
    QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), button_->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(button_, &event);
  };
  help();
  EXPECT_FALSE(QToolTip::isVisible());
  button_->ActivateTooltip(true);
  help();
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QStringLiteral("下一天"));
  button_->ActivateTooltip(false);
  help();
  EXPECT_TRUE(GuiDriver::WaitUntil([] { return !QToolTip::isVisible(); }, 2000));
}

TEST_F(BitmapButtonTest, CursorFromResources) {
  TempProgramFolder folder;
  const std::string png = folder.File("hand.png");
  ASSERT_TRUE(Solid(16, 16, kRed).save(ToQString(png), "PNG"));
  RegisterButtonImage(700, ToQString(png));
  EXPECT_EQ(button_->SetBtnCursor(701), kButtonImageNotLoaded);
  EXPECT_FALSE(button_->HasBtnCursor());
  EXPECT_EQ(button_->SetBtnCursor(700), kButtonOk);
  EXPECT_TRUE(button_->HasBtnCursor());
  EXPECT_EQ(button_->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(button_->SetBtnCursor(0), kButtonOk);
  EXPECT_FALSE(button_->HasBtnCursor());
  EXPECT_FALSE(button_->testAttribute(Qt::WA_SetCursor));
}

TEST_F(BitmapButtonTest, SoundsAreStoredWithTheirFlags) {
  button_->SetSound("hover.wav", true, false);
  ASSERT_TRUE(button_->Sound(true).has_value());
  EXPECT_EQ(button_->Sound(true)->fileName, "hover.wav");
  EXPECT_EQ(button_->Sound(true)->flags, kSoundFromFile | kSoundNoDefault | kSoundNoWait);
  EXPECT_FALSE(button_->Sound(false).has_value());
  button_->SetSoundResource(12, false, true);
  ASSERT_TRUE(button_->Sound(false).has_value());
  EXPECT_EQ(button_->Sound(false)->resourceId, 12u);
  EXPECT_NE(button_->Sound(false)->flags & kSoundAsync, 0u);
  button_->SetSound(nullptr, true);
  EXPECT_FALSE(button_->Sound(true).has_value());
}
