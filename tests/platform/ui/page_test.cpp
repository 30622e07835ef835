#include "platform/ui/page.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <map>

#include "../../support/gui_driver.h"

namespace {

class CountingPage : public CPage {
 public:
  using CPage::CPage;
  BOOL OnInitDialog() override {
    ++initCalls;
    return TRUE;
  }
  void OnTimer(UINT id) override {
    ++ticks[id];
    if (id == killInOwnTick) KillTimer(id);
  }

  int initCalls = 0;
  std::map<UINT, int> ticks;
  UINT killInOwnTick = 0;
};

}  // namespace

TEST(Page, ControlIdsAndObjectNames) {
  CPage page;
  QLineEdit edit(&page);
  CPage::SetDlgCtrlID(&edit, 1006);
  EXPECT_EQ(edit.objectName(), "ctrl1006");
  EXPECT_EQ(edit.property("ctrlId").toInt(), 1006);
  EXPECT_EQ(CPage::GetDlgCtrlID(&edit), 1006);
  EXPECT_EQ(CPage::GetDlgCtrlID(&page), 0);
  CPage::SetDlgCtrlID(nullptr, 5);  // harmless
}

TEST(Page, GetDlgItemSearchesThisPageOnly) {
  CPage page;
  auto* group = new QGroupBox(&page);  // owned by the page
  auto* nested = new QPushButton(group);
  CPage::SetDlgCtrlID(nested, 1001);
  auto* inner = new CPage(&page);
  CPage::SetDlgCtrlID(inner, 1100);
  auto* innerEdit = new QLineEdit(inner);
  CPage::SetDlgCtrlID(innerEdit, 1002);

  EXPECT_EQ(page.GetDlgItem(1001), nested) << "found inside a container";
  EXPECT_EQ(page.GetDlgItemAs<QPushButton>(1001), nested);
  EXPECT_EQ(page.GetDlgItemAs<QLineEdit>(1001), nullptr);
  EXPECT_EQ(page.GetDlgItem(1100), inner);
  EXPECT_EQ(page.GetDlgItem(1002), nullptr) << "a nested page's controls are its own";
  EXPECT_EQ(inner->GetDlgItem(1002), innerEdit);
  EXPECT_EQ(page.GetDlgItem(4242), nullptr);
  EXPECT_EQ(GuiDriver::Find(&page, 1002), innerEdit) << "the driver searches everything below its root";
}

TEST(Page, InitDialogRunsOnce) {
  CountingPage page;
  EXPECT_FALSE(page.IsInitialised());
  EXPECT_TRUE(page.InitDialog());
  EXPECT_TRUE(page.InitDialog());
  EXPECT_EQ(page.initCalls, 1);
  EXPECT_TRUE(page.IsInitialised());
  page.show();
  EXPECT_EQ(page.initCalls, 1);
}

TEST(Page, KillTimerOfAnUnknownIdIsFalse) {
  CountingPage page;
  EXPECT_FALSE(page.KillTimer(7));
  EXPECT_EQ(page.TimerInterval(7), -1);
  EXPECT_EQ(page.SetTimer(7, 5000), 7u);
  EXPECT_EQ(page.TimerInterval(7), 5000);
  EXPECT_TRUE(page.KillTimer(7));
  EXPECT_FALSE(page.KillTimer(7)) << "already stopped";
  EXPECT_EQ(page.TimerInterval(7), -1);
  page.SetTimer(8, 0);
  EXPECT_EQ(page.TimerInterval(8), 10) << "short periods run at the minimum";
}

TEST(Page, HiddenPageTimersFireWithTheirIds) {
  CountingPage page;  // never shown
  page.SetTimer(1, 10);
  page.SetTimer(2, 15);
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return page.ticks[1] >= 3 && page.ticks[2] >= 2; }));
  EXPECT_EQ(page.ticks.count(3), 0u);
}

TEST(Page, KillTimerFromItsOwnTickStopsIt) {
  CountingPage page;
  page.killInOwnTick = 4;
  page.SetTimer(4, 10);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return page.ticks[4] == 1; }));
  page.SetTimer(5, 60);
  GuiDriver::WaitUntil([&] { return page.ticks[5] >= 1; });
  EXPECT_EQ(page.ticks[4], 1);
  EXPECT_EQ(page.TimerInterval(4), -1);
}

TEST(Page, SetTimerOnARunningIdRestartsIt) {
  CountingPage page;
  page.SetTimer(9, 300);
  QElapsedTimer clock;
  clock.start();
  GuiDriver::WaitUntil([] { return false; }, 200);
  ASSERT_EQ(page.ticks[9], 0);
  page.SetTimer(9, 300);  // restarts: the next tick is 300 ms from now, not 100 ms
  QElapsedTimer sinceRestart;
  sinceRestart.start();
  GuiDriver::WaitUntil([] { return false; }, 150);
  EXPECT_EQ(page.ticks[9], 0) << "the timer kept its old start";
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return page.ticks[9] >= 1; }));
  EXPECT_GE(sinceRestart.elapsed(), 280);
  EXPECT_EQ(page.TimerInterval(9), 300);
  page.SetTimer(9, 40);
  EXPECT_EQ(page.TimerInterval(9), 40) << "the new period";
}

TEST(Page, EnterAndEscapeInsideAPageLeaveItsDialogOpen) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* page = new CPage;
  auto* pageLayout = new QVBoxLayout(page);
  auto* edit = new QLineEdit;
  auto* pageButton = new QPushButton(QStringLiteral("in page"));
  pageLayout->addWidget(edit);
  pageLayout->addWidget(pageButton);
  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setDefault(true);
  auto* outside = new QLineEdit;
  layout->addWidget(page);
  layout->addWidget(ok);
  layout->addWidget(outside);
  int okClicks = 0;
  int pageButtonClicks = 0;
  QObject::connect(ok, &QPushButton::clicked, [&] { ++okClicks; });
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(pageButton, &QPushButton::clicked, [&] { ++pageButtonClicks; });
  dialog.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&dialog));

  edit->setFocus();
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    GuiDriver::PressKey(edit, key);
    GuiDriver::PressKey(page, key);
    GuiDriver::PressKey(pageButton, key);
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(okClicks, 0) << "Enter must not reach the default button";
  EXPECT_EQ(pageButtonClicks, 0);

  // Other keys still reach the controls.
  GuiDriver::TypeText(edit, "中a");
  EXPECT_EQ(edit->text(), QStringLiteral("中a"));

  // Outside the page the dialog behaves as usual: Escape closes it.
  GuiDriver::PressKey(outside, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}
