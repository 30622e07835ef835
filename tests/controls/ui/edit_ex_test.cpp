#include "controls/ui/edit_ex.h"

#include <QApplication>
#include <QEvent>
#include <QFontInfo>
#include <QImage>
#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "platform/ui/qt_convert.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);

const QPalette::ColorGroup kGroups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};

int CountColour(const QImage& image, COLORREF colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += FromQColor(image.pixelColor(x, y)) == colour ? 1 : 0;
  }
  return n;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace

TEST(CEditEx, StartsInTheWindowColours) {
  CEditEx edit;
  EXPECT_EQ(edit.GetTextColor(), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(edit.GetBkColor(), GetSysColor(COLOR_WINDOW));
  for (QPalette::ColorGroup group : kGroups) {
    EXPECT_EQ(FromQColor(edit.palette().color(group, QPalette::Text)), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(FromQColor(edit.palette().color(group, QPalette::Base)), GetSysColor(COLOR_WINDOW));
  }
}

TEST(CEditEx, TextColourSetAfterTheTextShowsAtOnce) {
  CEditEx edit;
  edit.setText("-1234.56 万");
  edit.resize(160, 24);
  edit.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&edit));
  QCoreApplication::processEvents();
  EXPECT_EQ(CountColour(GuiDriver::Grab(&edit), kRed), 0);

  PaintCounter counter;
  edit.installEventFilter(&counter);
  edit.SetTextColor(kRed);
  for (QPalette::ColorGroup group : kGroups) {
    EXPECT_EQ(FromQColor(edit.palette().color(group, QPalette::Text)), kRed) << "group " << group;
  }
  EXPECT_EQ(FromQColor(edit.palette().color(QPalette::Base)), GetSysColor(COLOR_WINDOW));
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return counter.paints > 0; }, 2000)) << "a repaint was scheduled";
  edit.removeEventFilter(&counter);
  EXPECT_GT(CountColour(GuiDriver::Grab(&edit), kRed), 0) << "the existing text is red";
}

TEST(CEditEx, BackgroundColourInEveryState) {
  CEditEx edit;
  edit.setText("1");
  edit.resize(160, 24);
  edit.SetBkColor(kYellow);
  EXPECT_EQ(edit.GetBkColor(), kYellow);
  for (QPalette::ColorGroup group : kGroups) {
    EXPECT_EQ(FromQColor(edit.palette().color(group, QPalette::Base)), kYellow);
  }
  edit.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&edit));
  const QPoint inside(edit.width() - 10, edit.height() / 2);
  EXPECT_EQ(GuiDriver::PixelAt(&edit, inside.x(), inside.y()), kYellow);
  edit.setReadOnly(true);
  EXPECT_EQ(GuiDriver::PixelAt(&edit, inside.x(), inside.y()), kYellow) << "read-only";
  edit.setEnabled(false);
  EXPECT_EQ(GuiDriver::PixelAt(&edit, inside.x(), inside.y()), kYellow) << "disabled";
  // The text colour holds when disabled too.
  edit.SetTextColor(kRed);
  EXPECT_GT(CountColour(GuiDriver::Grab(&edit), kRed), 0);
}

TEST(CEditEx, TheOwnFontIsAppliedOnlyBySetFont) {
  QWidget parent;
  QFont inherited("DejaVu Sans");
  inherited.setPixelSize(17);
  parent.setFont(inherited);
  CEditEx edit(&parent);
  EXPECT_EQ(edit.font().pixelSize(), 17) << "construction keeps the inherited font";

  LOGFONT made;
  ASSERT_TRUE(edit.GetFont(made));
  EXPECT_EQ(made.lfHeight, -12) << "9 points";
  EXPECT_EQ(made.lfWeight, FW_NORMAL);
  EXPECT_EQ(made.lfFaceName, "宋体");
  EXPECT_EQ(made.lfItalic, 0);

  LOGFONT wanted;
  wanted.lfHeight = -20;
  wanted.lfWeight = FW_BOLD;
  wanted.lfItalic = 1;
  wanted.lfFaceName = "宋体";
  edit.SetFont(wanted);
  EXPECT_EQ(edit.font().pixelSize(), 20);
  EXPECT_TRUE(edit.font().bold());
  EXPECT_TRUE(edit.font().italic());
  EXPECT_EQ(edit.font().family(), QString::fromUtf8(kMonoCjkFace));

  LOGFONT back;
  ASSERT_TRUE(edit.GetFont(back));
  EXPECT_EQ(back.lfHeight, -20);
  EXPECT_EQ(back.lfWeight, FW_BOLD);
  EXPECT_EQ(back.lfItalic, 1);
  EXPECT_EQ(back.lfFaceName, "宋体");

  // A positive height is the same size.
  wanted.lfHeight = 14;
  wanted.lfWeight = 0;
  wanted.lfItalic = 0;
  wanted.lfFaceName = "DejaVu Sans";
  edit.SetFont(wanted);
  EXPECT_EQ(edit.font().pixelSize(), 14);
  EXPECT_FALSE(edit.font().bold());
  ASSERT_TRUE(edit.GetFont(back));
  EXPECT_EQ(back.lfHeight, -14);
  EXPECT_EQ(back.lfFaceName, "DejaVu Sans");
}
