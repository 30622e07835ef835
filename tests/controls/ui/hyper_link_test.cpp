#include "controls/ui/hyper_link.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "platform/hyper_link_rules.h"
#include "platform/message_box.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/ui_seams.h"

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

void Enter(QWidget* w) {
  QEnterEvent event(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
  QApplication::sendEvent(w, &event);
}

void Leave(QWidget* w) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(w, &event);
}

class HyperLinkTest : public testing::Test {
 protected:
  void SetUp() override {
    UiSeams::Instance().Reset();
    UiSeams::Instance().StartRecordingBeeps();
    host_.resize(400, 100);
    host_.show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(&host_));
  }
  void TearDown() override {
    CHyperLink::SetDefaultOpener(nullptr);
    UiSeams::Instance().Reset();
  }
  CHyperLink* Make(const QString& text, const std::string& url = {}) {
    auto* link = new CHyperLink(&host_, text, url);
    link->move(10, 10);
    link->show();
    opened_.clear();
    link->SetOpener([this](const QUrl& u) {
      opened_.push_back(u.toString().toStdString());
      return openerAnswer_;
    });
    return link;
  }

  QWidget host_;
  std::vector<std::string> opened_;
  bool openerAnswer_ = true;
};

TEST_F(HyperLinkTest, UnderlineModes) {
  CHyperLink* link = Make("http://example.com/");
  EXPECT_EQ(link->GetUnderline(), CHyperLink::kUnderlineHover);
  EXPECT_FALSE(link->font().underline());
  Enter(link);
  EXPECT_TRUE(link->IsHovering());
  EXPECT_TRUE(link->font().underline());
  Leave(link);
  EXPECT_FALSE(link->font().underline());

  link->SetUnderline(CHyperLink::kUnderlineAlways);
  EXPECT_TRUE(link->font().underline());
  Enter(link);
  Leave(link);
  EXPECT_TRUE(link->font().underline());

  link->SetUnderline(CHyperLink::kUnderlineNever);
  Enter(link);
  EXPECT_FALSE(link->font().underline());
  Leave(link);
  EXPECT_FALSE(link->font().underline());
}

TEST_F(HyperLinkTest, SameModeTwiceDoesNotRepaint) {
  CHyperLink* link = Make("http://example.com/");
  GuiDriver::WaitUntil([] { return false; }, 50);
  PaintCounter counter(link);
  link->SetUnderline(CHyperLink::kUnderlineAlways);
  GuiDriver::WaitUntil([&] { return counter.paints > 0; }, 1000);
  const int after = counter.paints;
  EXPECT_GT(after, 0);
  link->SetUnderline(CHyperLink::kUnderlineAlways);
  GuiDriver::WaitUntil([] { return false; }, 100);
  EXPECT_EQ(counter.paints, after);
}

TEST_F(HyperLinkTest, TextAndUrlFillEachOther) {
  CHyperLink* fromText = Make("http://template.example.com/");
  EXPECT_EQ(fromText->GetURL(), "http://template.example.com/");
  EXPECT_EQ(fromText->toolTip(), "http://template.example.com/");
  CHyperLink* fromUrl = Make("", "http://url.example.com/");
  EXPECT_EQ(fromUrl->text(), "http://url.example.com/");
  CHyperLink* both = Make("点这里", "http://both.example.com/");
  EXPECT_EQ(both->text(), "点这里");
  EXPECT_EQ(both->GetURL(), "http://both.example.com/");
  both->SetURL("http://other.example.com/");
  EXPECT_EQ(both->toolTip(), "http://other.example.com/");
  EXPECT_EQ(both->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(HyperLinkTest, AutoSizeFollowsAlignment) {
  auto* link = new CHyperLink(&host_, QString(), "http://x.example.com/");
  link->SetAutoSize(false);
  link->setText(QStringLiteral("abc"));
  link->setGeometry(50, 20, 200, 40);
  link->setAlignment(Qt::AlignRight | Qt::AlignTop);
  link->SetAutoSize(true);
  const int textWidth = QFontMetrics(link->font()).size(Qt::TextSingleLine, "abc").width();
  EXPECT_EQ(link->geometry().right(), 249);  // the right edge stays
  EXPECT_EQ(link->width(), textWidth);
  EXPECT_EQ(link->y(), 20);

  link->setGeometry(50, 20, 200, 40);
  link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  link->PositionWindow();
  EXPECT_EQ(link->x(), 50);
  EXPECT_EQ(link->width(), textWidth);

  link->setGeometry(50, 20, 200, 40);
  link->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  link->PositionWindow();
  EXPECT_EQ(link->x(), 50 + (200 - textWidth) / 2);
  const int textHeight = QFontMetrics(link->font()).height();
  EXPECT_EQ(link->y(), 20 + (40 - textHeight) / 2);

  link->SetAutoSize(false);
  link->setGeometry(50, 20, 200, 40);
  link->PositionWindow();
  EXPECT_EQ(link->width(), 200);
}

TEST_F(HyperLinkTest, ColoursLinkHoverVisited) {
  CHyperLink* link = Make("http://example.com/");
  EXPECT_EQ(link->CurrentTextColour(), RGB(0, 0, 238));
  EXPECT_EQ(FromQColor(link->palette().color(QPalette::WindowText)), RGB(0, 0, 238));
  EXPECT_EQ(FromQColor(link->palette().color(QPalette::Window)), GetSysColor(COLOR_BTNFACE));
  Enter(link);
  EXPECT_EQ(FromQColor(link->palette().color(QPalette::WindowText)), RGB(255, 0, 0));
  ASSERT_TRUE(GuiDriver::Click(link));
  EXPECT_EQ(opened_, (std::vector<std::string>{"http://example.com/"}));
  EXPECT_TRUE(link->GetVisited());
  EXPECT_FALSE(link->IsHovering());
  EXPECT_EQ(FromQColor(link->palette().color(QPalette::WindowText)), RGB(85, 26, 139));
  EXPECT_EQ(UiSeams::Instance().BeepCount(), 0);
  // Pixels: some text ink in the visited colour, the background in button face.
  const QImage image = GuiDriver::Grab(link);
  int ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ink += FromQColor(image.pixelColor(x, y)) == RGB(85, 26, 139);
  }
  EXPECT_GT(ink, 0);
  EXPECT_EQ(GuiDriver::PixelAt(link, 0, 0), GetSysColor(COLOR_BTNFACE));

  link->SetColours(RGB(1, 2, 3), RGB(4, 5, 6));
  EXPECT_EQ(link->GetHoverColour(), GetSysColor(COLOR_HIGHLIGHT));
  link->SetVisited(false);
  EXPECT_EQ(link->CurrentTextColour(), RGB(1, 2, 3));
}

TEST_F(HyperLinkTest, OpenerFailureBeepsAndReports) {
  CHyperLink* link = Make("http://example.com/");
  openerAnswer_ = false;
  ASSERT_TRUE(GuiDriver::Click(link));
  EXPECT_FALSE(link->GetVisited());
  EXPECT_EQ(UiSeams::Instance().BeepCount(), 1);
  EXPECT_EQ(UiSeams::Instance().LastBeep(), MB_ICONWARNING);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string(kHyperLinkErrorPrefix) + HyperLinkErrorText(31));
  EXPECT_EQ(boxes[0].icon, MB_ICONWARNING);

  link->ReportError(26);
  const auto sharing = GuiDriver::TakeBoxes();
  ASSERT_EQ(sharing.size(), 1u);
  EXPECT_EQ(sharing[0].text, "Unable to open hyperlink:\n\nA sharing violation occurred. ");
}

TEST_F(HyperLinkTest, NonWebAddressIsRefusedWithoutTheOpener) {
  CHyperLink* link = Make("file:///etc/passwd");
  ASSERT_TRUE(GuiDriver::Click(link));
  EXPECT_TRUE(opened_.empty());
  EXPECT_EQ(UiSeams::Instance().BeepCount(), 1);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Unable to open hyperlink:\n\nThe operating system denied\naccess to the specified file.");
  EXPECT_EQ(link->GotoURL("javascript:alert(1)"), kLinkAccessDenied);
  EXPECT_TRUE(opened_.empty());
}

TEST_F(HyperLinkTest, DefaultOpenerIsUsedWithoutOwnOpener) {
  std::vector<std::string> seen;
  CHyperLink::SetDefaultOpener([&](const QUrl& u) {
    seen.push_back(u.toString().toStdString());
    return true;
  });
  auto* link = new CHyperLink(&host_, QStringLiteral("https://d.example.com/"));
  link->show();
  EXPECT_EQ(link->GotoURL(link->GetURL()), kLinkOpened);
  EXPECT_EQ(seen, (std::vector<std::string>{"https://d.example.com/"}));
  // A click outside the control opens nothing.
  QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(-5, -5));
  EXPECT_EQ(seen.size(), 1u);
}

}  // namespace
