#include "controls/ui/tip_wnd.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr COLORREF kPageColour = RGB(255, 255, 255);
constexpr COLORREF kTipBack = RGB(255, 255, 225);
constexpr COLORREF kTipText = RGB(255, 0, 192);
const std::vector<CString> kThreeLines{"12345678901234567890", "第二行", "third"};

// Counts the measurements: one per tip drawn.
class CountingTip : public CTipWnd {
 public:
  using CTipWnd::CTipWnd;
  int measured = 0;
  int CalcSize(const std::vector<CString>& lines) override {
    ++measured;
    return CTipWnd::CalcSize(lines);
  }
};

class TipWndTest : public testing::Test {
 protected:
  void SetUp() override {
    page = std::make_unique<CPage>();
    page->resize(400, 300);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, ToQColor(kPageColour));
    page->setPalette(palette);
    page->setAutoFillBackground(true);
    label = AddControl(new QLabel("代码", page.get()), 1001, QRect(20, 20, 80, 20));
    right = AddControl(new QPushButton("R", page.get()), 1002, QRect(330, 100, 70, 20));
    bare = AddControl(new QPushButton("N", page.get()), 1003, QRect(20, 200, 80, 20));
    tip = new CountingTip(page.get());
  }

  QWidget* AddControl(QWidget* control, int id, QRect geometry) {
    CPage::SetDlgCtrlID(control, id);
    control->setGeometry(geometry);
    return control;
  }

  void ShowPage() {
    page->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(page.get()));
  }

  static QPoint Inside(QWidget* control, int dx = 5, int dy = 5) { return control->geometry().topLeft() + QPoint(dx, dy); }

  std::unique_ptr<CPage> page;
  QWidget* label = nullptr;
  QWidget* right = nullptr;
  QWidget* bare = nullptr;
  CountingTip* tip = nullptr;
};

TEST_F(TipWndTest, ThreeLinesOfTwentyBytesMeasureFiftyOneByOneHundredSixty) {
  ShowPage();
  EXPECT_TRUE(tip->AddTool(1001, kThreeLines, kTipBack, kTipText));
  tip->Show(1001);
  EXPECT_TRUE(tip->IsTipShown());
  EXPECT_EQ(tip->GetCurrentKey(), 1001);
  EXPECT_EQ(tip->GetTipRect().Width(), 160);
  EXPECT_EQ(tip->GetTipRect().Height(), 51);
  EXPECT_EQ(tip->GetTipRect().TopLeft(), CPoint(60, 30));  // the label's middle
}

TEST_F(TipWndTest, TheFirstTipOfAnIdWins) {
  ShowPage();
  tip->AddTool(1001, {"a"}, kTipBack, kTipText);
  tip->AddTool(1001, {"bbbbbbbbbb"}, kTipBack, kTipText);
  tip->Show(1001);
  EXPECT_EQ(tip->GetTipRect().Width(), 17);
}

TEST_F(TipWndTest, AControlAtTheRightEdgeOpensLeft) {
  ShowPage();
  tip->AddTool(1002, kThreeLines, kTipBack, kTipText);
  tip->Show(1002);
  EXPECT_EQ(tip->GetTipRect().right, 365);
  EXPECT_EQ(tip->GetTipRect().left, 365 - 160);
}

TEST_F(TipWndTest, APageLowerThanTheTipUsesTwelvePixelRowsPinnedToTheBottom) {
  page->resize(400, 40);
  ShowPage();
  tip->AddTool(1001, kThreeLines, kTipBack, kTipText);
  tip->Show(1001);
  EXPECT_EQ(tip->GetRowHeight(), 12);
  EXPECT_EQ(tip->GetTipRect().bottom, 39);
  EXPECT_EQ(tip->GetTipRect().Height(), 3 * 11 + 12);
}

TEST_F(TipWndTest, MovingWithinOneControlShowsTheTipOnce) {
  ShowPage();
  tip->AddTool(1001, kThreeLines, kTipBack, kTipText);
  tip->AddTool(1002, {"right"}, kTipBack, kTipText);
  tip->RelayMouseMove(Inside(label, 2, 2));
  tip->RelayMouseMove(Inside(label, 30, 10));
  tip->RelayMouseMove(Inside(label, 70, 15));
  EXPECT_EQ(tip->measured, 1);
  tip->RelayMouseMove(Inside(right));
  EXPECT_EQ(tip->measured, 2);
  EXPECT_EQ(tip->GetCurrentKey(), 1002);
  tip->RelayMouseMove(Inside(label));
  EXPECT_EQ(tip->measured, 3);
  EXPECT_EQ(tip->GetCurrentKey(), 1001);
}

TEST_F(TipWndTest, EnteringAControlShowsItsTip) {
  ShowPage();
  tip->AddTool(1002, {"right"}, kTipBack, kTipText);
  QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), right->mapToGlobal(QPointF(4, 4)));
  QApplication::sendEvent(right, &enter);
  EXPECT_EQ(tip->GetCurrentKey(), 1002);
  EXPECT_TRUE(tip->IsTipShown());
}

TEST_F(TipWndTest, ControlsAddedAfterTheParentAreWatchedThroughTheirTool) {
  ShowPage();
  QWidget* late = AddControl(new QPushButton("L", page.get()), 1004, QRect(150, 150, 60, 20));
  late->show();
  tip->AddTool(1004, {"late"}, kTipBack, kTipText);
  QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), late->mapToGlobal(QPointF(3, 3)));
  QApplication::sendEvent(late, &enter);
  EXPECT_EQ(tip->GetCurrentKey(), 1004);
}

TEST_F(TipWndTest, APointOverNoControlLeavesTheTip) {
  ShowPage();
  tip->AddTool(1001, kThreeLines, kTipBack, kTipText);
  tip->RelayMouseMove(Inside(label));
  tip->RelayMouseMove(QPoint(250, 280));
  EXPECT_EQ(tip->GetCurrentKey(), 1001);
  EXPECT_TRUE(tip->IsTipShown());
  EXPECT_EQ(tip->measured, 1);
}

TEST_F(TipWndTest, AControlWithoutATipHidesTheCurrentOne) {
  ShowPage();
  tip->AddTool(1001, kThreeLines, kTipBack, kTipText);
  tip->RelayMouseMove(Inside(label));
  tip->RelayMouseMove(Inside(bare));
  EXPECT_FALSE(tip->IsTipShown());
  EXPECT_EQ(tip->GetCurrentKey(), 0);
  tip->Show(999);
  EXPECT_FALSE(tip->IsTipShown());
  EXPECT_EQ(tip->measured, 1);
}

TEST_F(TipWndTest, RemovingTheShownToolHidesIt) {
  ShowPage();
  tip->AddTool(1001, kThreeLines, kTipBack, kTipText);
  tip->AddTool(1002, {"right"}, kTipBack, kTipText);
  tip->Show(1001);
  EXPECT_TRUE(tip->RemoveTool(1002));
  EXPECT_TRUE(tip->IsTipShown());
  EXPECT_TRUE(tip->RemoveTool(1001));
  EXPECT_FALSE(tip->IsTipShown());
  EXPECT_TRUE(tip->Tools().empty());
  tip->Show(1001);
  EXPECT_FALSE(tip->IsTipShown());
}

TEST_F(TipWndTest, HidingResizingOrLeavingThePageOrAKeyHidesTheTip) {
  ShowPage();
  tip->AddTool(1001, kThreeLines, kTipBack, kTipText);
  tip->RelayMouseMove(Inside(label));
  ASSERT_TRUE(tip->IsTipShown());
  page->hide();
  EXPECT_FALSE(tip->IsTipShown());
  ShowPage();
  tip->RelayMouseMove(Inside(label));  // the same control shows it again
  EXPECT_TRUE(tip->IsTipShown());
  page->resize(500, 350);
  EXPECT_FALSE(tip->IsTipShown());
  tip->RelayMouseMove(Inside(label));
  GuiDriver::PressKey(label, Qt::Key_A);
  EXPECT_FALSE(tip->IsTipShown());
  tip->RelayMouseMove(Inside(label));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(page.get(), &leave);
  EXPECT_FALSE(tip->IsTipShown());
}

TEST_F(TipWndTest, TheTipIsPaintedWithAnEtchedFrame) {
  ShowPage();
  tip->AddTool(1001, kThreeLines, kTipBack, kTipText);
  tip->Show(1001);
  const QImage image = GuiDriver::Grab(page.get());
  const CRect r = tip->GetTipRect();
  auto at = [&](int x, int y) { return FromQColor(image.pixelColor(x, y)); };
  EXPECT_EQ(at(r.left + 3, r.top + 3), kTipBack);
  EXPECT_EQ(at(r.left, r.top), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(at(r.left + 1, r.top + 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(at(r.right - 1, r.bottom - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(at(r.right - 2, r.bottom - 2), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(at(r.right, r.bottom), kPageColour);

  // Pink ink on each of the three rows.
  for (int row = 0; row < 3; ++row) {
    int ink = 0;
    const int top = r.top + 5 + row * 13;
    for (int y = top; y < top + 13; ++y) {
      for (int x = r.left + 8; x < r.right - 2; ++x) {
        const COLORREF c = at(x, y);
        ink += (GetRValue(c) > 200 && GetGValue(c) < 100) ? 1 : 0;
      }
    }
    EXPECT_GT(ink, 3) << "row " << row;
  }
}

TEST_F(TipWndTest, HideRestoresEverythingTheTipCovered) {
  page->resize(400, 40);  // 12-pixel rows: the shown tip differs from a fresh measure
  ShowPage();
  const QImage before = GuiDriver::Grab(page.get());
  tip->AddTool(1001, kThreeLines, kTipBack, kTipText);
  tip->Show(1001);
  ASSERT_NE(GuiDriver::Grab(page.get()), before);
  tip->Hide(1001);
  QApplication::processEvents();
  EXPECT_EQ(GuiDriver::Grab(page.get()), before);
}

TEST_F(TipWndTest, TheOverlayFollowsThePageAndLetsTheMouseThrough) {
  ShowPage();
  EXPECT_EQ(tip->geometry(), page->rect());
  page->resize(500, 350);
  QApplication::processEvents();
  EXPECT_EQ(tip->geometry(), page->rect());
  EXPECT_EQ(page->childAt(Inside(label)), label);
  EXPECT_TRUE(tip->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(TipWndTest, WithoutAParentNothingShows) {
  CTipWnd orphan;
  orphan.AddTool(1001, kThreeLines, kTipBack, kTipText);
  orphan.Show(1001);
  EXPECT_FALSE(orphan.IsTipShown());
  orphan.RelayMouseMove(QPoint(10, 10));
  EXPECT_EQ(orphan.GetCurrentKey(), 1001);  // registered, but there is no control to place it by
}

}  // namespace

TEST_F(TipWndTest, APagesFilterRelaysMovesInPageCoordinatesAndSwallowsEnterAndEscape) {
  ShowPage();
  tip->SetParentWnd(page.get());
  tip->AddTool(1002, {"right"}, kTipBack, kTipText);
  // A move inside the button, in the button's own coordinates.
  QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), right->mapToGlobal(QPointF(3, 3)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  EXPECT_FALSE(FilterPageControlEvent(tip, page.get(), right, &move));
  EXPECT_EQ(tip->GetCurrentKey(), 1002);
  EXPECT_FALSE(FilterPageControlEvent(nullptr, page.get(), right, &move));  // a page without tips

  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  EXPECT_TRUE(FilterPageControlEvent(tip, page.get(), right, &escape));
  EXPECT_TRUE(FilterPageControlEvent(tip, page.get(), right, &enter));
  EXPECT_FALSE(FilterPageControlEvent(tip, page.get(), right, &letter));
}
