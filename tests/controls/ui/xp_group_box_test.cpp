#include "controls/ui/xp_group_box.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "platform/ui/dc.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr COLORREF kPageColour = RGB(200, 220, 240);

class XPGroupBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    page = std::make_unique<CPage>();
    page->resize(320, 200);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, ToQColor(kPageColour));
    page->setPalette(palette);
    page->setAutoFillBackground(true);
    box = new CXPGroupBox(page.get());
    box->setGeometry(10, 10, 240, 120);
  }

  void ShowPage() {
    page->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(page.get()));
  }

  // The page as painted now, read in the box's coordinates.
  COLORREF BoxPixel(const QImage& image, int x, int y) const {
    return FromQColor(image.pixelColor(box->x() + x, box->y() + y));
  }

  std::unique_ptr<CPage> page;
  CXPGroupBox* box = nullptr;
};

bool IsRed(COLORREF c) { return GetRValue(c) >= 200 && GetGValue(c) <= 60 && GetBValue(c) <= 60; }

int RedPixelsIn(const QImage& image, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) count += IsRed(FromQColor(image.pixelColor(x, y))) ? 1 : 0;
  }
  return count;
}

TEST_F(XPGroupBoxTest, CaptionIsSetIntoTheFrameLine) {
  box->SetWindowText("Word");
  ShowPage();
  const QImage image = GuiDriver::Grab(page.get());
  const GroupBoxLayout& layout = box->LastLayout();
  EXPECT_EQ(box->GetCaption(), " Word ");
  const int h = layout.caption.Height();
  ASSERT_GT(h, 0);
  const int y = 1 + h / 2;
  ASSERT_EQ(layout.frame.top, y);

  const COLORREF border = GetSysColor(COLOR_BTNSHADOW);
  EXPECT_EQ(BoxPixel(image, layout.caption.left - 3, y), border);
  EXPECT_EQ(BoxPixel(image, layout.caption.left - 1, y), border);
  EXPECT_EQ(BoxPixel(image, layout.caption.right, y), border);
  // Behind the leading blank: the caption background; nowhere behind the caption the line.
  EXPECT_EQ(BoxPixel(image, layout.caption.left + 1, y), GetSysColor(COLOR_BTNFACE));
  for (int x = layout.caption.left; x < layout.caption.right; ++x) {
    EXPECT_NE(BoxPixel(image, x, y), border) << "frame line behind the caption at x " << x;
  }
  // The frame's inside shows the page.
  EXPECT_EQ(BoxPixel(image, 120, 60), kPageColour);
}

TEST_F(XPGroupBoxTest, OwnColoursAreUsed) {
  box->SetWindowText("Word");
  box->SetBorderColor(RGB(0, 0, 255)).SetBackgroundColors(RGB(0, 200, 0), RGB(250, 250, 0));
  ShowPage();
  const QImage image = GuiDriver::Grab(page.get());
  const GroupBoxLayout& layout = box->LastLayout();
  EXPECT_EQ(BoxPixel(image, layout.caption.left - 3, layout.frame.top), RGB(0, 0, 255));
  EXPECT_EQ(BoxPixel(image, layout.caption.left + 1, layout.frame.top), RGB(0, 200, 0));
  EXPECT_EQ(BoxPixel(image, 120, 60), kPageColour);  // the client colour is the window style's
}

TEST_F(XPGroupBoxTest, EmptyCaptionGivesAnUnbrokenLineOnTheTop) {
  ShowPage();
  const QImage image = GuiDriver::Grab(page.get());
  EXPECT_EQ(box->GetCaption(), "");
  ASSERT_EQ(box->LastLayout().frame.top, 1);
  for (int x = 8; x < box->width() - 8; ++x) {
    EXPECT_EQ(BoxPixel(image, x, 1), GetSysColor(COLOR_BTNSHADOW)) << "x " << x;
  }
  EXPECT_EQ(BoxPixel(image, 8, 0), kPageColour);
}

TEST_F(XPGroupBoxTest, WindowStyleFillsTheBodyAndTheBar) {
  box->SetWindowText("Word");
  box->SetStyle(1).SetBackgroundColors(RGB(0, 200, 0), RGB(250, 250, 0));
  ShowPage();
  const QImage image = GuiDriver::Grab(page.get());
  const GroupBoxLayout& layout = box->LastLayout();
  EXPECT_EQ(BoxPixel(image, 120, 80), RGB(250, 250, 0));
  EXPECT_EQ(BoxPixel(image, box->width() - 30, layout.captionBar.top + layout.captionBar.Height() / 2), RGB(0, 200, 0));
  // The body's outline in the border colour, under the bar.
  EXPECT_EQ(BoxPixel(image, 120, layout.body.top), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(BoxPixel(image, 1, 60), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(BoxPixel(image, 0, 60), kPageColour);
}

TEST_F(XPGroupBoxTest, RedBoldCaption) {
  box->SetWindowText("Download");
  ShowPage();
  QImage image = GuiDriver::Grab(page.get());
  QRect caption = ToQRect(box->LastLayout().caption).translated(box->pos());
  EXPECT_EQ(RedPixelsIn(image, caption), 0);

  box->SetCaptionTextColor(RGB(255, 0, 0)).SetFontBold(true);
  EXPECT_TRUE(box->GetFontDescription().bold());
  image = GuiDriver::Grab(page.get());
  caption = ToQRect(box->LastLayout().caption).translated(box->pos());
  EXPECT_GT(RedPixelsIn(image, caption), 10);
}

TEST_F(XPGroupBoxTest, SetTextNeedsTheWindow) {
  CXPGroupBox loose;
  EXPECT_FALSE(loose.HasWindow());
  loose.SetText("Early");
  EXPECT_EQ(loose.GetCaption(), "");

  ShowPage();
  ASSERT_TRUE(box->HasWindow());
  box->SetText("Later");
  EXPECT_EQ(box->GetCaption(), " Later ");
}

TEST_F(XPGroupBoxTest, SettersChainAndNormalise) {
  CXPGroupBox& same = box->SetStyle(1).SetAlignment(2).SetBorderColor(RGB(1, 2, 3)).SetFontItalic(true);
  EXPECT_EQ(&same, box);
  EXPECT_EQ(box->GetStyle(), 1);
  EXPECT_EQ(box->GetAlignment(), kGroupBoxAlignRight);
  EXPECT_TRUE(box->GetFontDescription().italic());
  box->SetAlignment(5);
  EXPECT_EQ(box->GetAlignment(), kGroupBoxAlignLeft);
  box->SetBackgroundColor(RGB(9, 9, 9));
  EXPECT_EQ(box->GetCaptionBackground(), RGB(9, 9, 9));
  EXPECT_EQ(box->GetClientBackground(), RGB(9, 9, 9));
  box->SetFontUnderline(true).SetFontName("宋体");
  EXPECT_TRUE(box->GetFontDescription().underline());
  EXPECT_EQ(FromQString(box->GetFontDescription().family()), kMonoCjkFace);
}

TEST_F(XPGroupBoxTest, FontSizeInPoints) {
  box->SetWindowText("Word");
  ShowPage();
  GuiDriver::Grab(page.get());
  const int small = box->LastLayout().caption.Height();
  box->SetFontSize(20);
  EXPECT_EQ(box->GetFontDescription().pointSize(), 20);
  GuiDriver::Grab(page.get());
  EXPECT_GT(box->LastLayout().caption.Height(), small);
  box->SetFontSize(0);  // no such font: nothing changes
  EXPECT_EQ(box->GetFontDescription().pointSize(), 20);
}

TEST_F(XPGroupBoxTest, LiesBelowItsSiblings) {
  auto* button = new QPushButton("OK", page.get());
  button->setGeometry(40, 40, 80, 24);
  auto* late = new CXPGroupBox(page.get());  // created after the button, still below it
  late->setGeometry(30, 30, 200, 100);
  ShowPage();
  EXPECT_EQ(page->childAt(60, 50), button);
}

TEST_F(XPGroupBoxTest, CreatePlacesTheBox) {
  CXPGroupBox* made = new CXPGroupBox();
  ASSERT_TRUE(made->Create("Data", CRect(5, 100, 205, 180), page.get(), 1050));
  EXPECT_EQ(page->GetDlgItem(1050), made);
  EXPECT_EQ(made->geometry(), QRect(5, 100, 200, 80));
  EXPECT_EQ(made->GetWindowText(), "Data");
  EXPECT_FALSE(CXPGroupBox().Create("x", CRect(0, 0, 10, 10), nullptr, 1));
}

}  // namespace
