#include "views/ui/watch_branch_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "settings/settings.h"

namespace {

class WatchBranchDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    g_Settings = CSettings{};
    for (int i = 0; i < kWatchedBranchCount; ++i) g_Settings.YYB_Name[i] = "营业部" + std::to_string(i + 1);
  }

  QLabel* LabelOf(CWatchBranchDlg& dlg, const QString& text) {
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
      if (label->text() == text) return label;
    }
    return nullptr;
  }

  TempProgramFolder folder_;
};

}  // namespace

TEST_F(WatchBranchDlgTest, CaptionLabelsEditsAndButtons) {
  CWatchBranchDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("设置关注营业部  (请输入营业部名称的全称)"));
  for (int n = 1; n <= kWatchedBranchCount; ++n) {
    QLabel* label = LabelOf(dlg, QStringLiteral("关注营业部%1：").arg(n));
    ASSERT_NE(label, nullptr) << n;
    EXPECT_EQ(label->buddy(), GuiDriver::Find(&dlg, 1000 + n - 1)) << n;
  }
  auto* save = GuiDriver::FindAs<QPushButton>(&dlg, 1148);
  auto* close = GuiDriver::FindAs<QPushButton>(&dlg, 1);
  ASSERT_NE(save, nullptr);
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(save->text(), QStringLiteral("保存设置"));
  EXPECT_EQ(close->text(), QStringLiteral("关闭"));
}

TEST_F(WatchBranchDlgTest, TheFourthAndFifthNamesSitInEachOthersEdit) {
  CWatchBranchDlg dlg;
  // The edit under "关注营业部5：" shows YYB4_Name and the one under "关注营业部4：" YYB5_Name.
  EXPECT_EQ(qobject_cast<QLineEdit*>(LabelOf(dlg, QStringLiteral("关注营业部5："))->buddy())->text(),
            QStringLiteral("营业部4"));
  EXPECT_EQ(qobject_cast<QLineEdit*>(LabelOf(dlg, QStringLiteral("关注营业部4："))->buddy())->text(),
            QStringLiteral("营业部5"));
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(&dlg, 1004)->text(), QStringLiteral("营业部4"));
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(&dlg, 1003)->text(), QStringLiteral("营业部5"));
  for (int key : {0, 1, 2, 5, 11}) {
    EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(&dlg, 1000 + key)->text(), QStringLiteral("营业部%1").arg(key + 1));
  }
}

TEST_F(WatchBranchDlgTest, SavingWritesEachEditUnderItsKeyAndStaysOpen) {
  CWatchBranchDlg dlg;
  dlg.show();
  auto* fifthLabelled = GuiDriver::FindAs<QLineEdit>(&dlg, 1004);
  fifthLabelled->clear();
  ASSERT_TRUE(GuiDriver::TypeText(fifthLabelled, "华泰证券"));
  GuiDriver::FindAs<QLineEdit>(&dlg, 1011)->clear();
  ASSERT_TRUE(GuiDriver::Click(&dlg, 1148));
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(g_Settings.YYB_Name[3], "华泰证券");
  EXPECT_EQ(g_Settings.YYB_Name[4], "营业部5");
  EXPECT_EQ(g_Settings.YYB_Name[11], "");
  const std::string text = folder_.ReadFile("sysinfo.ini");
  EXPECT_NE(text.find("YYB4_Name=华泰证券\r\nYYB5_Name=营业部5\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("YYB12_Name=\r\n"), std::string::npos) << text;
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

TEST_F(WatchBranchDlgTest, ClosingWithoutSavingChangesNothing) {
  const std::string before = "[YYBInfo]\r\nYYB1_Name=营业部1\r\n";
  folder_.WriteFile("sysinfo.ini", before);
  CWatchBranchDlg dlg;
  dlg.show();
  GuiDriver::FindAs<QLineEdit>(&dlg, 1000)->setText(QStringLiteral("别的营业部"));
  ASSERT_TRUE(GuiDriver::Click(&dlg, 1));
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), before);
  EXPECT_EQ(g_Settings.YYB_Name[0], "营业部1");
}

TEST_F(WatchBranchDlgTest, AnUnwritableFileShowsTheMessageAndMemoryStillChanges) {
  folder_.WriteFile("sysinfo.ini", "[YYBInfo]\r\n");
  ASSERT_EQ(chmod(folder_.File("sysinfo.ini").c_str(), 0444), 0);
  CWatchBranchDlg dlg;
  GuiDriver::FindAs<QLineEdit>(&dlg, 1000)->setText(QStringLiteral("新营业部"));
  dlg.SaveSettings();
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "sysinfo.ini 写入错误!");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), "[YYBInfo]\r\n");
  EXPECT_EQ(g_Settings.YYB_Name[0], "新营业部");
}
