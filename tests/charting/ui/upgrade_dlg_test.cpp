// The migration dialog offscreen, its handlers called as its buttons call them, against
// an older installation built in a folder of its own (its "Custom.mdb" through the
// schema code, its "sysinfo.ini" in GBK).
#include "charting/ui/upgrade_dlg.h"

#include <QLineEdit>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "charting/ui/setting_dlg.h"
#include "charting/upgrade_migrator.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"

namespace {

class UpgradeDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    PageRegistry::Instance().Restart(&dispatcher_);
    WorkerRegistry::Instance().Restart();
    folder_.WriteFile("sysinfo.ini", "[system]\r\nTDX_DIR=0\r\n[YYBInfo]\r\nYYB1_Name=当前一\r\nYYB11_Name=当前十一\r\n");
    LoadSettings(folder_.Path());
    oldDb_ = std::make_unique<DbBuilder>(old_.Path());
    old_.WriteFile("velkordesk.exe", "old program");
    old_.WriteFile("sysinfo.ini", ToGbk("[system]\r\nTDX_DIR=D:\\new_tdx\\TdxW.exe\r\n[YYBInfo]\r\nYYB1_Name=老营业部一\r\n"
                                        "YYB11_Name=老十一\r\n"));
  }
  void TearDown() override {
    PageRegistry::Instance().ResetForTests();
    TDX_DIR = "0";
  }

  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const RecordedMessageBox& box : MessageBoxHook::Instance().TakeRecorded()) texts.push_back(box.text);
    return texts;
  }

  int CountMarks(const std::string& name) {
    CADORecordset rs(&db_.User());
    if (!rs.Open("SELECT COUNT(*) AS n FROM YYBMark WHERE YYBName=?", {name})) return -1;
    int n = -1;
    rs.GetFieldValue("n", n);
    return n;
  }

  QtUiDispatcher dispatcher_;
  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  TempProgramFolder old_{TempProgramFolder::Options{.setGlobals = false}};
  std::unique_ptr<DbBuilder> oldDb_;
};

}  // namespace

TEST_F(UpgradeDlgTest, WithoutAnOldPathNothingIsCopied) {
  CUpgradeDlg dialog(db_.User());
  dialog.OnUpgrade();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kChooseOldFolderText});
  dialog.OnMigrateCustomData();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"只有添加个人关注的营业部，才需要此功能！", kChooseOldFolderText}));
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini").find("老营业部一"), std::string::npos);
}

TEST_F(UpgradeDlgTest, TheChosenPathIsShownOnlyWhileItExists) {
  CUpgradeDlg dialog(db_.User());
  MessageBoxHook::Instance().SetNextFileName(old_.File("velkordesk.exe"));
  dialog.OnBrowseOldExe();
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(&dialog, 1000)->text().toStdString(), old_.File("velkordesk.exe"));
  CUpgradeDlg second(db_.User());
  MessageBoxHook::Instance().SetNextFileName(old_.File("gone.exe"));
  second.OnBrowseOldExe();
  EXPECT_EQ(second.m_strOldPath, old_.File("gone.exe"));
  EXPECT_TRUE(GuiDriver::FindAs<QLineEdit>(&second, 1000)->text().isEmpty());
}

TEST_F(UpgradeDlgTest, AnsweringNoCopiesNothingAtAll) {
  oldDb_->AddMark("老营业部", 4, 255, 1, 0, "老", "", "");
  CUpgradeDlg dialog(db_.User());
  dialog.m_strOldPath = old_.File("velkordesk.exe");
  MessageBoxHook::Instance().SetNextAnswer(IDNO);
  dialog.OnMigrateCustomData();
  EXPECT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(CountMarks("老营业部"), 0);
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini").find("老营业部一"), std::string::npos);
}

TEST_F(UpgradeDlgTest, MarksAndSettingsAreTakenOverAndThePageShowsThem) {
  oldDb_->AddMark("老营业部", 4, 255, 1, 0, "老", "备注'引号", "老团队");
  db_.AddMark("两边都有的营业部", 2, 100, 0, 0, "两边", "", "");
  oldDb_->AddMark("两边都有的营业部", 6, 200, 1, 0, "两边", "老备注", "");
  const std::string oldIni = old_.ReadFile("sysinfo.ini");

  SettingServices services;
  services.pages.market = &db_.Market();
  services.pages.custom = &db_.User();
  CSettingDlg page(services);
  page.InitDialog();

  CUpgradeDlg dialog(db_.User());
  dialog.m_strOldPath = old_.File("velkordesk.exe");
  dialog.OnMigrateCustomData();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"只有添加个人关注的营业部，才需要此功能！", kMigrationDoneText}));
  EXPECT_EQ(CountMarks("老营业部"), 1);
  EXPECT_EQ(CountMarks("两边都有的营业部"), 1);
  const std::string ini = folder_.ReadFile("sysinfo.ini");
  EXPECT_NE(ini.find("TDX_DIR=D:\\new_tdx\\TdxW.exe"), std::string::npos) << ini;
  EXPECT_NE(ini.find("YYB1_Name=老营业部一"), std::string::npos) << ini;
  EXPECT_NE(ini.find("YYB11_Name=当前十一"), std::string::npos) << ini;  // keys 11 and 12 are not taken over
  EXPECT_EQ(old_.ReadFile("sysinfo.ini"), oldIni);

  // What the page does once the dialog is closed.
  page.ReloadAfterMigration();
  EXPECT_EQ(TDX_DIR, "D:\\new_tdx\\TdxW.exe");
  EXPECT_EQ(page.ChartPath(), "D:\\new_tdx\\TdxW.exe");
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(&page, 1034)->text(), QStringLiteral("D:\\new_tdx\\TdxW.exe"));
  auto* marks = GuiDriver::FindAs<CColorListCtrl>(&page, 1119);
  bool listed = false;
  for (int r = 0; r < marks->GetItemCount(); ++r) listed = listed || marks->GetItemText(r, 1) == "老营业部";
  EXPECT_TRUE(listed);
}

TEST_F(UpgradeDlgTest, AnOldDatabaseThatCannotBeOpenedIsSaidSoAndTheSettingsStillCome) {
  oldDb_.reset();
  std::remove(old_.File("Custom.mdb").c_str());
  old_.WriteFile("Custom.mdb", std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20) + std::string(200, '\0'));
  CUpgradeDlg dialog(db_.User());
  dialog.m_strOldPath = old_.File("velkordesk.exe");
  dialog.OnMigrateCustomData();
  const std::vector<std::string> texts = BoxTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_TRUE(texts[1].starts_with(kOldDbOpenFailedText)) << texts[1];
  EXPECT_NE(texts[1].find(kOldDbFormatReason), std::string::npos) << texts[1];
  EXPECT_EQ(texts[2], kMarksNotMigratedText);
  EXPECT_NE(folder_.ReadFile("sysinfo.ini").find("YYB1_Name=老营业部一"), std::string::npos);
}

TEST_F(UpgradeDlgTest, TheSettingsButtonCopiesOnlyTheSettings) {
  oldDb_->AddMark("老营业部", 4, 255, 1, 0, "老", "", "");
  CUpgradeDlg dialog(db_.User());
  dialog.m_strOldPath = old_.File("velkordesk.exe");
  dialog.OnUpgrade();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kMigrationDoneText});
  EXPECT_EQ(CountMarks("老营业部"), 0);
  EXPECT_NE(folder_.ReadFile("sysinfo.ini").find("YYB1_Name=老营业部一"), std::string::npos);
}

TEST_F(UpgradeDlgTest, AMarksViewWithoutEndIsStoppedAndACopyOfNothingSaysSo) {
  ASSERT_TRUE(oldDb_->User().Execute("DROP TABLE YYBMark"));
  ASSERT_TRUE(oldDb_->User().Execute(
      "CREATE VIEW YYBMark AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
      "SELECT 'b' || x AS YYBName, x AS Number1, x AS Color, 0 AS IsLike, 0 AS TeamNumber, '' AS Abbreviation, "
      "'' AS YYBMark, '' AS TeamName FROM n"));
  oldDb_.reset();
  CUpgradeDlg dialog(db_.User());
  dialog.m_strOldPath = old_.File("velkordesk.exe");
  dialog.OnMigrateCustomData();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"只有添加个人关注的营业部，才需要此功能！", kOldDbTooSlowText,
                                                  kMarksNotMigratedText}));
  EXPECT_EQ(CountMarks("b1"), 0);
  std::remove(old_.File("sysinfo.ini").c_str());
  dialog.OnUpgrade();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kNothingMigratedText});
}
