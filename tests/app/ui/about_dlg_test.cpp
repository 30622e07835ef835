#include "app/ui/about_dlg.h"

#include <QFontMetrics>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "../../support/gui_driver.h"
#include "platform/message_box.h"
#include "platform/ui/ui_seams.h"

namespace {

TEST(AboutDlgTest, OurTextsAndOk) {
  CAboutDlg dlg;
  auto text = [&](int id) { return GuiDriver::FindAs<QLabel>(&dlg, id)->text(); };
  EXPECT_EQ(text(CAboutDlg::kNameId), QStringLiteral("Velkor Desk"));
  EXPECT_TRUE(text(CAboutDlg::kVersionId).startsWith(QStringLiteral("版本 ")));
  EXPECT_EQ(text(CAboutDlg::kVersionId), AboutVersionLine());
  EXPECT_TRUE(AboutVersionLine().contains(QRegularExpression(QStringLiteral("^版本 [0-9]+\\.[0-9]+"))));
  EXPECT_EQ(text(CAboutDlg::kMakerId), QString::fromUtf8(kAboutMakerLine));
  EXPECT_FALSE(GuiDriver::FindAs<QLabel>(&dlg, CAboutDlg::kIconId)->pixmap().isNull());
  auto* ok = GuiDriver::FindAs<QPushButton>(&dlg, CAboutDlg::kOkId);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("确定"));
  QFont bold = dlg.font();
  bold.setBold(true);
  const int title = QFontMetrics(bold).horizontalAdvance(QStringLiteral("关于 Velkor Desk"));
  EXPECT_GE(dlg.minimumWidth(), title + 4 * QFontMetrics(bold).height()) << "the whole title and the title bar's buttons";

  UiSeams::Instance().SetModalHandler([&](QDialog& shown) {
    shown.show();
    EXPECT_TRUE(shown.isVisible());
    GuiDriver::Click(ok);
    EXPECT_FALSE(shown.isVisible());
    return shown.result();
  });
  EXPECT_EQ(RunModal(dlg), IDOK);
  UiSeams::Instance().Reset();
}

}  // namespace
