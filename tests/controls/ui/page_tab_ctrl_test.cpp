#include "controls/ui/page_tab_ctrl.h"

#include <QDialog>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../support/gui_driver.h"
#include "platform/ui/page.h"

namespace {

std::vector<std::string> g_initOrder;

// A page that records its initialisation and counts how often it is shown or hidden.
class ProbePage : public CPage {
 public:
  explicit ProbePage(std::string name) : name_(std::move(name)) {}
  BOOL OnInitDialog() override {
    g_initOrder.push_back(name_);
    ++inits;
    return TRUE;
  }
  void OnTimer(UINT) override { ++ticks; }
  int inits = 0;
  int shows = 0;
  int hides = 0;
  int ticks = 0;

 protected:
  void showEvent(QShowEvent* e) override {
    ++shows;
    CPage::showEvent(e);
  }
  void hideEvent(QHideEvent* e) override {
    ++hides;
    CPage::hideEvent(e);
  }

 private:
  std::string name_;
};

// A page that hosts tabs of its own, built inside its initialisation.
class HostPage : public ProbePage {
 public:
  HostPage() : ProbePage("host"), tabs(this), inner1("host.1"), inner2("host.2") {
    (new QVBoxLayout(this))->addWidget(&tabs);
  }
  BOOL OnInitDialog() override {
    ProbePage::OnInitDialog();
    tabs.AddPage("内一", &inner1, 301);
    tabs.AddPage("内二", &inner2, 302);
    tabs.Show();
    return TRUE;
  }
  CPageTabCtrl tabs;
  ProbePage inner1;
  ProbePage inner2;
};

struct ThreePages {
  ThreePages() : a("a"), b("b"), c("c") {
    tabs.resize(400, 300);
    tabs.AddPage("今日Velkor", &a, 240);
    tabs.AddPage("搜索&&查询", &b, 140);
    tabs.AddPage("系统设置", &c, 177);
  }
  CPageTabCtrl tabs;
  ProbePage a, b, c;
};

}  // namespace

TEST(PageTabCtrl, HoldsSixteenPagesAndNoneAfterShow) {
  CPageTabCtrl tabs;
  std::vector<std::unique_ptr<ProbePage>> pages;
  for (int i = 0; i < 17; ++i) pages.push_back(std::make_unique<ProbePage>(std::to_string(i)));
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(tabs.AddPage("p", pages[i].get(), 100 + i));
  EXPECT_FALSE(tabs.AddPage("p", pages[16].get(), 116));
  EXPECT_EQ(tabs.m_nCount, 16);

  ThreePages three;
  three.tabs.Show();
  ProbePage late("late");
  EXPECT_FALSE(three.tabs.AddPage("late", &late, 999));
  EXPECT_EQ(three.tabs.TabBar()->count(), 3);
  EXPECT_EQ(late.inits, 0);
}

TEST(PageTabCtrl, SelectionRulesBeforeAndAfterShow) {
  ThreePages t;
  EXPECT_EQ(t.tabs.SetCurSel(0), 0);  // equal to the current one: returned as it is
  EXPECT_EQ(t.tabs.SetCurSel(3), -1);
  EXPECT_EQ(t.tabs.SetCurSel(-1), -1);
  t.tabs.Show();
  t.tabs.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&t.tabs));
  EXPECT_TRUE(t.a.isVisible());
  EXPECT_FALSE(t.b.isVisible());
  EXPECT_EQ(t.tabs.SetCurSel(2), 0);
  EXPECT_TRUE(t.c.isVisible());
  EXPECT_FALSE(t.a.isVisible());
  EXPECT_EQ(t.tabs.GetCurSel(), 2);
  EXPECT_EQ(t.tabs.SetCurSel(7), -1);  // out of range: nothing changes
  EXPECT_TRUE(t.c.isVisible());
  EXPECT_EQ(t.tabs.GetCurSel(), 2);
  EXPECT_EQ(t.tabs.SetCurSel(1), 2);
  EXPECT_TRUE(t.b.isVisible());
}

TEST(PageTabCtrl, TitlesAreKeptAsGivenAndShowOneAmpersand) {
  ThreePages t;
  t.tabs.Show();
  EXPECT_STREQ(t.tabs.Title(1), "搜索&&查询");
  EXPECT_EQ(t.tabs.TabBar()->tabText(1), QStringLiteral("搜索&&查询"));  // "&&" is drawn as one "&"
  EXPECT_EQ(t.tabs.TemplateId(2), 177u);
  EXPECT_EQ(t.tabs.Page(0), &t.a);
  EXPECT_EQ(t.tabs.Page(3), nullptr);
}

TEST(PageTabCtrl, MouseAndKeyboardSwitchPagesButTheCurrentTabDoesNothing) {
  ThreePages t;
  t.tabs.Show();
  t.tabs.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&t.tabs));
  const int shows = t.a.shows, hides = t.a.hides;
  ASSERT_TRUE(GuiDriver::SelectTab(t.tabs.TabBar(), 0));  // the current tab
  QApplication::processEvents();
  EXPECT_EQ(t.a.shows, shows);
  EXPECT_EQ(t.a.hides, hides);

  ASSERT_TRUE(GuiDriver::SelectTab(t.tabs.TabBar(), 1));
  EXPECT_TRUE(t.b.isVisible());
  EXPECT_FALSE(t.a.isVisible());

  t.tabs.TabBar()->setFocus();
  GuiDriver::PressKey(t.tabs.TabBar(), Qt::Key_Right);
  EXPECT_EQ(t.tabs.GetCurSel(), 2);
  EXPECT_TRUE(t.c.isVisible());  // the strip and the page agree
  EXPECT_FALSE(t.b.isVisible());
  EXPECT_EQ(t.tabs.m_nCurrent, 2);
}

TEST(PageTabCtrl, PagesInitialiseOnceDepthFirstInTabOrder) {
  g_initOrder.clear();
  CPageTabCtrl tabs;
  ProbePage first("first");
  HostPage host;
  ProbePage last("last");
  tabs.AddPage("一", &first, 1);
  tabs.AddPage("二", &host, 2);
  tabs.AddPage("三", &last, 3);
  tabs.Show();
  tabs.Show();  // a second call does nothing
  EXPECT_EQ(g_initOrder, (std::vector<std::string>{"first", "host", "host.1", "host.2", "last"}));
  EXPECT_EQ(host.inner1.inits, 1);
}

TEST(PageTabCtrl, AHiddenPageKeepsItsTimerAndPagesFollowTheSize) {
  ThreePages t;
  t.tabs.Show();
  t.tabs.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&t.tabs));
  t.b.SetTimer(7, 10);
  ASSERT_FALSE(t.b.isVisible());
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return t.b.ticks >= 3; }, 3000));
  t.tabs.resize(640, 480);
  QApplication::processEvents();
  EXPECT_GT(t.a.width(), 600);
  EXPECT_GT(t.b.height(), 400);  // hidden pages follow too
}

TEST(PageTabCtrl, EnterAndEscapeOnAHostPageLeaveTheDialogOpen) {
  QDialog dialog;
  auto* tabs = new CPageTabCtrl(&dialog);
  ProbePage page("p");
  (new QVBoxLayout(&dialog))->addWidget(tabs);
  tabs->AddPage("一", &page, 1);
  tabs->Show();
  dialog.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&dialog));
  page.setFocus();
  GuiDriver::PressKey(&page, Qt::Key_Escape);
  GuiDriver::PressKey(&page, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
}
