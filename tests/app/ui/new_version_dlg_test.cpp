#include "app/ui/new_version_dlg.h"

#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "app/remote_notice.h"
#include "platform/hyper_link_rules.h"
#include "platform/message_box.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/ui_seams.h"

namespace {

class NewVersionDlgTest : public testing::Test {
 protected:
  void TearDown() override {
    g_strNewVersionUrl.clear();
    UiSeams::Instance().Reset();
    CHyperLink::SetDefaultOpener(nullptr);
  }
};

TEST_F(NewVersionDlgTest, AnnouncementLinkAndExit) {
  g_strNewVersionUrl = "http://127.0.0.1:9/upgrade";
  std::vector<std::string> opened;
  CHyperLink::SetDefaultOpener([&](const QUrl& url) {
    opened.push_back(FromQString(url.toString()));
    return true;
  });
  CNewVersionDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("新版本更新提示"));
  auto* edit = GuiDriver::FindAs<QPlainTextEdit>(&dlg, CNewVersionDlg::kEditId);
  ASSERT_NE(edit, nullptr);
  const QStringList lines = edit->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0], QStringLiteral("新版本已经发布：请点击下面地址升级软件，"));
  EXPECT_EQ(lines[1], QStringLiteral("http://127.0.0.1:9/upgrade"));
  EXPECT_TRUE(edit->isReadOnly());

  auto* link = qobject_cast<CHyperLink*>(GuiDriver::Find(&dlg, CNewVersionDlg::kLinkId));
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->text(), QStringLiteral("升级程序，请点击这里！"));
  EXPECT_EQ(link->GetURL(), g_strNewVersionUrl);
  EXPECT_EQ(link->GetUnderline(), CHyperLink::kUnderlineAlways);
  EXPECT_TRUE(link->font().underline());
  EXPECT_TRUE(link->isEnabled());

  int result = -1;
  UiSeams::Instance().SetModalHandler([&](QDialog& shown) {
    shown.show();
    EXPECT_TRUE(GuiDriver::WaitForExposed(&shown));
    GuiDriver::Click(link);
    auto* exit = qobject_cast<QPushButton*>(GuiDriver::Find(&shown, CNewVersionDlg::kExitId));
    EXPECT_EQ(exit->text(), QStringLiteral("退出"));
    GuiDriver::Click(exit);
    return shown.result();
  });
  result = RunModal(dlg);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(opened, (std::vector<std::string>{"http://127.0.0.1:9/upgrade"}));
  EXPECT_TRUE(link->GetVisited());
}

TEST_F(NewVersionDlgTest, WithoutUpgradeAddressTheLinkIsDisabled) {
  g_strNewVersionUrl.clear();
  CNewVersionDlg dlg;
  auto* link = qobject_cast<CHyperLink*>(GuiDriver::Find(&dlg, CNewVersionDlg::kLinkId));
  ASSERT_NE(link, nullptr);
  EXPECT_FALSE(link->isEnabled());
  // The template text is not an address, and nothing else is opened.
  EXPECT_EQ(link->GotoURL(link->GetURL()), kLinkAccessDenied);
  dlg.show();
  GuiDriver::Click(link);  // a disabled label takes no click
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

TEST_F(NewVersionDlgTest, ScreenshotShowsTheAnnouncement) {
  g_strNewVersionUrl = "http://127.0.0.1:9/upgrade";
  CNewVersionDlg dlg;
  dlg.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&dlg));
  const QImage shot = GuiDriver::Grab(&dlg);
  shot.save(QString::fromStdString(std::string(::testing::TempDir()) + "new_version_dlg.png"));
  auto* link = GuiDriver::Find(&dlg, CNewVersionDlg::kLinkId);
  const QImage linkShot = shot.copy(QRect(link->mapTo(&dlg, QPoint(0, 0)), link->size()));
  int ink = 0;
  for (int y = 0; y < linkShot.height(); ++y) {
    for (int x = 0; x < linkShot.width(); ++x) ink += FromQColor(linkShot.pixelColor(x, y)) == RGB(0, 0, 238);
  }
  EXPECT_GT(ink, 50);
}

}  // namespace
