// The settings page offscreen: colours, linked programs, the charting path and type,
// the branch marks editor and the custom-data jobs, driven by control id, with a
// temporary program folder, the schema-built databases and the message-box hook.
#include "charting/ui/setting_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "../../support/chart_folder_builder.h"
#include "../../support/db_builder.h"
#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "charting/chart_block_file.h"
#include "charting/custom_data_job.h"
#include "charting/soft_list.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/color_picker_button.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"

namespace {

constexpr const char* kIni =
    "[system]\r\nTDX_DIR=0\r\nSystemType=2\r\nIsTDX=0\r\n"
    "[BuySellColor]\r\nBuyMoney1_Color=255\r\nBuyMoney5_Color=65280\r\nSellMoney5_Color=16711680\r\n"
    "[SoftList]\r\nSoftCount=2\r\nSoftName1=通达信\r\nSoftProcessName1=TdxW.exe\r\nSoftName2=样例看盘\r\n"
    "SoftProcessName2=sample.exe\r\n";

class FakeTracker : public ITrackerPage {
 public:
  void OnTrackBranch(const std::string& name) override { branches.push_back(name); }
  void OnTrackByStockCode(const std::string&) override {}
  void OnTrackByStockName(const std::string&) override {}
  std::vector<std::string> branches;
};

class SettingDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    PageRegistry::Instance().Restart(&dispatcher_);
    WorkerRegistry::Instance().Restart();
    folder_.WriteFile("sysinfo.ini", kIni);
    LoadSettings(folder_.Path());
    g_vecSoftList.clear();
  }
  void TearDown() override {
    page_.reset();
    PageRegistry::Instance().ResetForTests();
    TDX_DIR = "0";
  }

  CSettingDlg& MakePage(CADODataBase* custom = nullptr) {
    SettingServices services;
    services.pages.market = &db_.Market();
    services.pages.custom = custom ? custom : &db_.User();
    page_ = std::make_unique<CSettingDlg>(services);
    page_->resize(1200, 900);
    page_->InitDialog();
    return *page_;
  }

  template <class W>
  W* Ctrl(int id) {
    return GuiDriver::FindAs<W>(page_.get(), id);
  }
  QLineEdit* EditOf(int id) { return Ctrl<QLineEdit>(id); }
  CColorListCtrl* Marks() { return Ctrl<CColorListCtrl>(1119); }

  std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }
  std::string OnlyBoxText() {
    const std::vector<RecordedMessageBox> boxes = Boxes();
    return boxes.size() == 1 ? boxes[0].text : "(" + std::to_string(boxes.size()) + " boxes)";
  }

  void AddThreeMarks() {
    db_.AddMark("中信证券股份有限公司上海溧阳路证券营业部", 3, 255, 1, 0, "溧阳路", "游资", "");
    db_.AddMark("国泰君安证券股份有限公司上海江苏路证券营业部", 1, 100, 0, 201, "江苏路", "", "上海帮");
    db_.AddMark("华泰证券股份有限公司南京中山东路证券营业部", 0, 0, 2, 0, "", "", "");
  }

  QtUiDispatcher dispatcher_;
  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  std::unique_ptr<CSettingDlg> page_;
};

}  // namespace

TEST_F(SettingDlgTest, InitialisationShowsTheSettings) {
  CSettingDlg& page = MakePage();
  EXPECT_EQ(EditOf(1034)->text(), QString());  // "0" is not set
  EXPECT_EQ(EditOf(1034)->placeholderText(), QStringLiteral("请设置 通达信 目录。"));
  EXPECT_TRUE(EditOf(1034)->isEnabled());
  EXPECT_EQ(Ctrl<CColorPickerButton>(1079)->GetColor(), 255u);
  EXPECT_EQ(Ctrl<CColorPickerButton>(1091)->GetColor(), 65280u);
  EXPECT_EQ(Ctrl<CColorPickerButton>(1097)->GetColor(), 16711680u);
  EXPECT_EQ(Ctrl<CColorPickerButton>(1098)->GetColor(), 16711680u);  // the mark colour starts at sell band 5
  EXPECT_EQ(EditOf(1001)->text(), QStringLiteral("30"));
  EXPECT_EQ(Ctrl<QComboBox>(1005)->currentIndex(), 2);
  EXPECT_EQ(Ctrl<QComboBox>(1005)->count(), 4);
  auto* soft = Ctrl<QTableWidget>(1047);
  ASSERT_EQ(soft->rowCount(), 2);
  EXPECT_EQ(soft->item(1, 0)->text(), QStringLiteral("2"));
  EXPECT_EQ(soft->item(1, 1)->text(), QStringLiteral("样例看盘"));
  ASSERT_EQ(g_vecSoftList.size(), 2u);
  EXPECT_EQ(g_vecSoftList[0].processName, "TdxW.exe");
  EXPECT_EQ(EditOf(1006)->text(), QStringLiteral("营业部备注信息，来自网络收集，有可能不准确!"));
  EXPECT_EQ(PageRegistry::Instance().Get<ISettingsPage>(PageSlot::Setting), &page);
  for (int id : {1003, 1134, 1127, 1128, 1129, 1092, 1099, 1139, 1157, 1158, 1007, 1144, 1142, 1143, 1154, 1015, 1141,
                 1000, 1145, 1002, 1004, 1031, 1032}) {
    EXPECT_NE(GuiDriver::Find(&page, id), nullptr) << id;
  }
}

TEST_F(SettingDlgTest, TheChartPathEditIsOffWhenTheProgramSitsInTheChartFolder) {
  folder_.WriteFile("sysinfo.ini", "[system]\r\nIsTDX=1\r\n");
  LoadSettings(folder_.Path());
  MakePage();
  EXPECT_FALSE(EditOf(1034)->isEnabled());
  EXPECT_FALSE(EditOf(1034)->text().isEmpty());
}

TEST_F(SettingDlgTest, SavingTheColoursWritesTheTenKeysAndAppliesThemAtOnce) {
  MakePage();
  Ctrl<CColorPickerButton>(1088)->SetColor(RGB(1, 2, 3));  // buy band 3
  ASSERT_TRUE(GuiDriver::Click(page_.get(), 1003));
  const std::string ini = folder_.ReadFile("sysinfo.ini");
  EXPECT_NE(ini.find("BuyMoney3_Color=197121"), std::string::npos) << ini;
  for (int band = 1; band <= 5; ++band) {
    EXPECT_NE(ini.find("BuyMoney" + std::to_string(band) + "_Color="), std::string::npos) << band;
    EXPECT_NE(ini.find("SellMoney" + std::to_string(band) + "_Color="), std::string::npos) << band;
  }
  EXPECT_EQ(g_Settings.BuyMoney_Color[2], RGB(1, 2, 3));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingDlgTest, ARefusedColourSaveKeepsPageRunAndFileAlike) {
  MakePage();
  ASSERT_EQ(::chmod(folder_.File("sysinfo.ini").c_str(), 0444), 0);
  const std::string before = folder_.ReadFile("sysinfo.ini");
  Ctrl<QComboBox>(1005)->setCurrentIndex(0);  // refused too, and said so
  Boxes();
  Ctrl<CColorPickerButton>(1088)->SetColor(RGB(1, 2, 3));
  ASSERT_TRUE(GuiDriver::Click(page_.get(), 1003));
  EXPECT_EQ(OnlyBoxText(), std::string(kIniWriteFailedText) + "\n" + kBandColoursWriteText);
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), before);
  EXPECT_EQ(g_Settings.BuyMoney_Color[2], 200u);  // what the file holds
  EXPECT_EQ(Ctrl<CColorPickerButton>(1088)->GetColor(), g_Settings.BuyMoney_Color[2]);
  EXPECT_EQ(Ctrl<QComboBox>(1005)->currentIndex(), g_Settings.SystemType);
}

TEST_F(SettingDlgTest, AnIniThatIsAFolderCannotBeWrittenEvenByRoot) {
  ChartFolderBuilder chart;
  MakePage();
  // A folder where the file should be: no write can replace it.
  ASSERT_EQ(std::remove(folder_.File("sysinfo.ini").c_str()), 0);
  ASSERT_EQ(mkdir(folder_.File("sysinfo.ini").c_str(), 0755), 0);
  Ctrl<QComboBox>(1005)->setCurrentIndex(0);
  EXPECT_EQ(OnlyBoxText(), kIniWriteFailedText);
  EXPECT_EQ(g_Settings.SystemType, 2);  // what the file held
  EXPECT_EQ(Ctrl<QComboBox>(1005)->currentIndex(), 2);
  EditOf(1031)->setText(QStringLiteral("示例行情"));
  EditOf(1032)->setText(QStringLiteral("demo.exe"));
  GuiDriver::Click(page_.get(), 1127);
  EXPECT_EQ(OnlyBoxText(), kIniWriteFailedText);
  // The run and the page keep what is stored.
  EXPECT_EQ(g_vecSoftList.size(), 2u);
  EXPECT_EQ(Ctrl<QTableWidget>(1047)->rowCount(), 2);
  MessageBoxHook::Instance().SetNextFileName(chart.LinuxTdxDir());
  GuiDriver::Click(page_.get(), 1134);
  EXPECT_EQ(OnlyBoxText(), kIniWriteFailedText);
  EXPECT_EQ(TDX_DIR, "0");
  EXPECT_EQ(page_->ChartPath(), "0");
  EXPECT_TRUE(EditOf(1034)->text().isEmpty());
  rmdir(folder_.File("sysinfo.ini").c_str());
}

TEST_F(SettingDlgTest, LinkedProgramsAreCheckedAddedAndDeleted) {
  MakePage();
  const std::string before = folder_.ReadFile("sysinfo.ini");
  EditOf(1031)->setText(QStringLiteral("   "));
  EditOf(1032)->setText(QStringLiteral("x.exe"));
  GuiDriver::Click(page_.get(), 1127);
  EXPECT_EQ(OnlyBoxText(), "股票分析软件名称不能为空！");
  EditOf(1031)->setText(QStringLiteral("示例行情"));
  EditOf(1032)->clear();
  GuiDriver::Click(page_.get(), 1127);
  EXPECT_EQ(OnlyBoxText(), "股票分析软件进程名称不能为空！");
  EditOf(1031)->setText(QStringLiteral("样例看盘"));
  EditOf(1032)->setText(QStringLiteral("other.exe"));
  GuiDriver::Click(page_.get(), 1127);
  EXPECT_EQ(OnlyBoxText(), "列表中已有该股票分析软件名称!");
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), before);

  EditOf(1031)->setText(QStringLiteral(" 示例行情 "));
  EditOf(1032)->setText(QStringLiteral("demo.exe"));
  GuiDriver::Click(page_.get(), 1127);
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(g_vecSoftList.size(), 3u);
  EXPECT_EQ(g_vecSoftList[2].name, "示例行情");

  auto* soft = Ctrl<QTableWidget>(1047);
  soft->clearSelection();
  soft->setCurrentCell(-1, -1);
  GuiDriver::Click(page_.get(), 1128);
  EXPECT_EQ(OnlyBoxText(), "请选中列表要删除的关联软件名称!");
  soft->selectRow(1);
  GuiDriver::Click(page_.get(), 1128);
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(soft->rowCount(), 2);
  EXPECT_EQ(soft->item(1, 0)->text(), QStringLiteral("2"));
  EXPECT_EQ(soft->item(1, 1)->text(), QStringLiteral("示例行情"));
  const std::string ini = folder_.ReadFile("sysinfo.ini");
  EXPECT_NE(ini.find("SoftCount=2"), std::string::npos) << ini;
  EXPECT_NE(ini.find("SoftName2=示例行情"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("SoftName3"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("样例看盘"), std::string::npos) << ini;
  ASSERT_EQ(g_vecSoftList.size(), 2u);
}

TEST_F(SettingDlgTest, ThePickedExecutableIsShownWrittenAndUsedAtOnce) {
  ChartFolderBuilder chart;
  MakePage();
  MessageBoxHook::Instance().SetNextFileName(chart.LinuxTdxDir());
  GuiDriver::Click(page_.get(), 1134);
  EXPECT_EQ(EditOf(1034)->text(), ToQString(chart.LinuxTdxDir()));
  EXPECT_EQ(TDX_DIR, chart.LinuxTdxDir());
  EXPECT_EQ(page_->ChartPath(), chart.LinuxTdxDir());
  EXPECT_NE(folder_.ReadFile("sysinfo.ini").find("TDX_DIR=" + chart.LinuxTdxDir()), std::string::npos);
  // The block road finds the new folder without a restart.
  CChartBlockRoads roads;
  EXPECT_TRUE(roads.RegisterChartBlock());
  EXPECT_TRUE(QFileInfo::exists(ToQString(CChartBlockRoads::BlockListPath(chart.ChartFolder()))));

  // Cancelled: the path stays. A file that is gone is not taken.
  MessageBoxHook::Instance().SetNextFileName(std::nullopt);
  GuiDriver::Click(page_.get(), 1134);
  EXPECT_EQ(TDX_DIR, chart.LinuxTdxDir());
  MessageBoxHook::Instance().SetNextFileName(chart.Path("gone.exe"));
  GuiDriver::Click(page_.get(), 1134);
  EXPECT_EQ(TDX_DIR, chart.LinuxTdxDir());
  EXPECT_EQ(EditOf(1034)->text(), ToQString(chart.LinuxTdxDir()));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingDlgTest, TheSystemTypeIsItsIndex) {
  MakePage();
  Ctrl<QComboBox>(1005)->setCurrentIndex(0);
  EXPECT_NE(folder_.ReadFile("sysinfo.ini").find("SystemType=0"), std::string::npos);
  EXPECT_EQ(g_Settings.SystemType, 0);
  Ctrl<QComboBox>(1005)->setCurrentIndex(3);
  EXPECT_NE(folder_.ReadFile("sysinfo.ini").find("SystemType=3"), std::string::npos);
  EXPECT_EQ(g_Settings.SystemType, 3);
}

TEST_F(SettingDlgTest, TheMarksListOrderColoursAndTexts) {
  AddThreeMarks();
  db_.AddMark("招商证券股份有限公司深圳蛇口工业七路证券营业部", 0, 255, 0, 0, "蛇口", "", "");
  MakePage();
  CColorListCtrl* marks = Marks();
  ASSERT_EQ(marks->GetItemCount(), 4);
  // Numbered first by number, then the others by colour, numbered on.
  EXPECT_EQ(marks->GetItemText(0, 3), "1");
  EXPECT_EQ(marks->GetItemText(1, 3), "3");
  EXPECT_EQ(marks->GetItemText(2, 1), "华泰证券股份有限公司南京中山东路证券营业部");  // colour 0
  EXPECT_EQ(marks->GetItemText(3, 2), "蛇口");                                        // colour 255
  for (int r = 0; r < 4; ++r) EXPECT_EQ(marks->GetItemText(r, 0), std::to_string(r + 1));
  EXPECT_EQ(marks->GetItemText(2, 7), "2");
  EXPECT_EQ(marks->GetItemText(0, 7), "否");
  EXPECT_EQ(marks->GetItemText(1, 7), "是");
  EXPECT_EQ(marks->GetItemText(0, 4), "上海帮");
  EXPECT_EQ(marks->GetItemText(1, 8), "游资");

  // Colours: a team name and number add their cells; colour 0 colours nothing.
  auto coloured = [&](int row) {
    std::vector<int> columns;
    for (const ColourEntry& entry : marks->Colours().CellEntries()) {
      if (entry.key == row) columns.push_back(entry.column);
    }
    std::sort(columns.begin(), columns.end());
    return columns;
  };
  EXPECT_EQ(coloured(0), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(coloured(1), (std::vector<int>{1, 2, 3, 6}));
  EXPECT_TRUE(coloured(2).empty());
}

TEST_F(SettingDlgTest, ClickFindAndDoubleClickOnMarks) {
  AddThreeMarks();
  FakeTracker tracker;
  PageRegistry::Instance().Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  MakePage();
  CColorListCtrl* marks = Marks();
  page_->OnMarkClick(0);
  EXPECT_EQ(EditOf(1015)->text(), QStringLiteral("国泰君安证券股份有限公司上海江苏路证券营业部"));
  EXPECT_EQ(EditOf(1141)->text(), QStringLiteral("江苏路"));
  EXPECT_EQ(EditOf(1145)->text(), QStringLiteral("上海帮"));
  EXPECT_EQ(EditOf(1002)->text(), QStringLiteral("201"));
  EXPECT_EQ(Ctrl<CColorPickerButton>(1098)->GetColor(), 100u);
  page_->OnMarkClick(2);  // colour 0 shows white
  EXPECT_EQ(Ctrl<CColorPickerButton>(1098)->GetColor(), 0xFFFFFFu);

  EditOf(1015)->setText(QStringLiteral("  "));
  GuiDriver::Click(page_.get(), 1158);
  EXPECT_EQ(EditOf(1015)->text(), QStringLiteral("营业部名称不能为空!"));
  EditOf(1015)->setText(QStringLiteral(" 中信证券股份有限公司上海溧阳路证券营业部 "));
  GuiDriver::Click(page_.get(), 1158);
  EXPECT_EQ(marks->currentRow(), 1);
  EXPECT_EQ(EditOf(1141)->text(), QStringLiteral("溧阳路"));
  EditOf(1015)->setText(QStringLiteral("没有这个营业部"));
  GuiDriver::Click(page_.get(), 1158);
  EXPECT_EQ(marks->currentRow(), 1);

  page_->OnMarkDblClk(1);
  QApplication::processEvents();
  EXPECT_EQ(tracker.branches, std::vector<std::string>{"中信证券股份有限公司上海溧阳路证券营业部"});
  PageRegistry::Instance().Unpublish(PageSlot::Tracker);
  page_->OnMarkDblClk(1);  // no tracker page: nothing happens
  QApplication::processEvents();
  EXPECT_EQ(tracker.branches.size(), 1u);
}

TEST_F(SettingDlgTest, DeletingAMarkAsksAndDeletesOnlyWhatTheDatabaseDeleted) {
  db_.AddMark("A'B营业部", 5, 255, 0, 0, "AB", "", "");
  AddThreeMarks();
  MakePage();
  CColorListCtrl* marks = Marks();
  marks->clearSelection();
  marks->setCurrentCell(-1, -1);
  GuiDriver::Click(page_.get(), 1139);
  std::vector<RecordedMessageBox> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "您确定要 删除 数据 吗？");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(boxes[1].text, "请选中列表要删除的行!");

  const int row = 2;  // Number1 5, after 1 and 3
  ASSERT_EQ(marks->GetItemText(row, 1), "A'B营业部");
  marks->selectRow(row);
  MessageBoxHook::Instance().SetNextAnswer(IDNO);
  GuiDriver::Click(page_.get(), 1139);
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(marks->GetItemCount(), 4);
  marks->selectRow(row);
  GuiDriver::Click(page_.get(), 1139);
  EXPECT_EQ(Boxes().size(), 1u);
  ASSERT_EQ(marks->GetItemCount(), 3);
  EXPECT_EQ(marks->GetItemText(2, 0), "3");
  CADORecordset rs(&db_.User());
  ASSERT_TRUE(rs.Open("SELECT COUNT(*) AS n FROM YYBMark WHERE YYBName=?", {std::string("A'B营业部")}));
  int n = -1;
  rs.GetFieldValue("n", n);
  EXPECT_EQ(n, 0);
}

TEST_F(SettingDlgTest, ADatabaseThatRefusesTheDeleteKeepsTheLine) {
  AddThreeMarks();
  CADODataBase readOnly;
  readOnly.SetReadOnly(true);
  ASSERT_TRUE(readOnly.Open("Data Source=" + db_.UserPath()));
  MakePage(&readOnly);
  CColorListCtrl* marks = Marks();
  ASSERT_EQ(marks->GetItemCount(), 3);
  marks->selectRow(0);
  GuiDriver::Click(page_.get(), 1139);
  const std::vector<RecordedMessageBox> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "删除营业部标记失败!");
  EXPECT_EQ(marks->GetItemCount(), 3);
}

TEST_F(SettingDlgTest, AddingAndUpdatingMarksThroughTheEditor) {
  AddThreeMarks();
  MakePage();
  auto fill = [&](const char* name, const char* abbreviation, const char* number, const char* team,
                  const char* teamNumber) {
    EditOf(1015)->setText(QString::fromUtf8(name));
    EditOf(1141)->setText(QString::fromUtf8(abbreviation));
    EditOf(1000)->setText(QString::fromUtf8(number));
    EditOf(1145)->setText(QString::fromUtf8(team));
    EditOf(1002)->setText(QString::fromUtf8(teamNumber));
  };
  fill("国泰君安证券股份有限公司上海江苏路证券营业部", "新", "7", "", "0");
  GuiDriver::Click(page_.get(), 1092);
  EXPECT_EQ(OnlyBoxText(), "列表中已有该营业部!");
  fill("某证券营业部", "新", "3", "", "0");
  GuiDriver::Click(page_.get(), 1092);
  EXPECT_EQ(OnlyBoxText(), "营业部编号已被使用!");
  fill("某证券营业部", "江苏路", "7", "", "0");
  GuiDriver::Click(page_.get(), 1092);
  EXPECT_EQ(OnlyBoxText(), "营业部缩写已被使用!");
  fill("某证券营业部", "新", "200", "", "0");
  GuiDriver::Click(page_.get(), 1092);
  EXPECT_EQ(OnlyBoxText(), "营业部编号只能是1到199!");
  EXPECT_EQ(Marks()->GetItemCount(), 3);

  fill("某证券营业部", "新营", "7", "深圳帮", "210");
  Ctrl<CColorPickerButton>(1098)->SetColor(RGB(10, 20, 30));
  Ctrl<QComboBox>(1004)->setCurrentIndex(1);
  GuiDriver::Click(page_.get(), 1092);
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(Marks()->GetItemCount(), 4);
  const int row = Marks()->currentRow();
  ASSERT_GE(row, 0);
  EXPECT_EQ(Marks()->GetItemText(row, 1), "某证券营业部");
  EXPECT_EQ(Marks()->GetItemText(row, 4), "深圳帮");
  EXPECT_EQ(Marks()->GetItemText(row, 7), "是");

  fill("没有的营业部", "x", "8", "", "0");
  GuiDriver::Click(page_.get(), 1099);
  EXPECT_EQ(OnlyBoxText(), "列表中没有该营业部，请先添加!");
  fill("某证券营业部", "改名", "9", "北京帮", "220");
  GuiDriver::Click(page_.get(), 1099);
  EXPECT_TRUE(Boxes().empty());
  CADORecordset rs(&db_.User());
  ASSERT_TRUE(rs.Open("SELECT Abbreviation, Number1, TeamName, TeamNumber FROM YYBMark WHERE YYBName=?",
                      {std::string("某证券营业部")}));
  ASSERT_FALSE(rs.IsEof());
  std::string abbreviation, team;
  int number = 0, teamNumber = 0;
  rs.GetFieldValue("Abbreviation", abbreviation);
  rs.GetFieldValue("Number1", number);
  rs.GetFieldValue("TeamName", team);
  rs.GetFieldValue("TeamNumber", teamNumber);
  EXPECT_EQ(abbreviation, "改名");
  EXPECT_EQ(number, 9);
  EXPECT_EQ(team, "北京帮");
  EXPECT_EQ(teamNumber, 220);
}

TEST_F(SettingDlgTest, GenerationDisablesBothButtonsUntilItEnds) {
  ChartFolderBuilder chart;
  TDX_DIR = chart.LinuxTdxDir();
  db_.AddListing("2017-02-06", "600000", "浦发银行", "涨幅偏离值达7%", 9.98, 10.5, 1000, {}, {});
  MakePage();
  EditOf(1015)->setText(QStringLiteral("用户正在输入"));
  GuiDriver::Click(page_.get(), 1007);
  // Both off at once, before anything of the job can report.
  EXPECT_FALSE(Ctrl<QPushButton>(1007)->isEnabled());
  EXPECT_FALSE(Ctrl<QPushButton>(1144)->isEnabled());
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return Ctrl<QPushButton>(1007)->isEnabled(); }, 20000));
  EXPECT_TRUE(Ctrl<QPushButton>(1144)->isEnabled());
  EXPECT_EQ(EditOf(1154)->text(), QStringLiteral("生成自定义数据OK！！！！"));
  EXPECT_EQ(EditOf(1015)->text(), QStringLiteral("用户正在输入"));
  Boxes();
}

TEST_F(SettingDlgTest, WithoutAChartPathTheHintGoesToTheStatusEdit) {
  MakePage();
  GuiDriver::Click(page_.get(), 1007);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return Ctrl<QPushButton>(1007)->isEnabled(); }, 10000));
  EXPECT_EQ(EditOf(1154)->text(), QString::fromUtf8(kFirstGenerationNoPathText));
  EXPECT_EQ(EditOf(1034)->text(), QString());
  Boxes();
}

TEST_F(SettingDlgTest, TwoRequestsFromAWorkerGiveOneGeneration) {
  ChartFolderBuilder chart;
  TDX_DIR = chart.LinuxTdxDir();
  db_.AddListing("2017-02-06", "600000", "浦发银行", "涨幅偏离值达7%", 9.98, 10.5, 1000, {}, {});
  MakePage();
  // Every generation clears the status and ends on its OK text: count the endings.
  int generations = 0;
  QObject::connect(EditOf(1154), &QLineEdit::textChanged, [&generations](const QString& text) {
    if (text == QStringLiteral("生成自定义数据OK！！！！")) ++generations;
  });
  // Each request waits for the page to take it on the UI thread, as a sent message does.
  std::atomic<int> sent{0};
  std::thread download([&sent] {
    for (int i = 0; i < 2; ++i) {
      if (PageRegistry::Instance().Send<ISettingsPage>(PageSlot::Setting,
                                                       [](ISettingsPage& p) { p.OnDownloadRunFinished(); })) {
        ++sent;
      }
    }
  });
  GuiDriver::WaitUntil([&] { return sent.load() == 2; }, 10000);
  download.join();
  EXPECT_EQ(sent.load(), 2);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !page_->Job().IsRunning() && Ctrl<QPushButton>(1007)->isEnabled(); },
                                   20000));
  GuiDriver::WaitUntil([] { return false; }, 200);  // a second generation would show by now
  EXPECT_EQ(generations, 1);
  EXPECT_TRUE(chart.Exists("T0002/signals/datacfg.dat"));
  EXPECT_EQ(EditOf(1154)->text(), QStringLiteral("生成自定义数据OK！！！！"));
  Boxes();
}

TEST_F(SettingDlgTest, DeletingTheGeneratedDataAsksFirst) {
  ChartFolderBuilder chart;
  TDX_DIR = chart.LinuxTdxDir();
  MakePage();
  MessageBoxHook::Instance().SetNextAnswer(IDNO);
  GuiDriver::Click(page_.get(), 1144);
  std::vector<RecordedMessageBox> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "您确定要 删除 生成的通达信 Velkor数据 吗？");
  EXPECT_TRUE(Ctrl<QPushButton>(1144)->isEnabled());
  EXPECT_FALSE(page_->Job().IsRunning());

  GuiDriver::Click(page_.get(), 1144);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !page_->Job().IsRunning() && Ctrl<QPushButton>(1144)->isEnabled(); },
                                   10000));
  QApplication::processEvents();
  EXPECT_EQ(EditOf(1154)->text(), QString::fromUtf8(kDeletedStatusText));
  boxes = Boxes();
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes.back().text, kDeletedMessageText);
}

TEST_F(SettingDlgTest, ThePageWithMarksAndProgramsRendersTheirColours) {
  AddThreeMarks();
  MakePage();
  page_->show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(page_.get()));
  CColorListCtrl* marks = Marks();
  const QPoint cell = GuiDriver::CellCentre(marks, 1, 6);  // 中信…, colour 255
  EXPECT_EQ(GuiDriver::PixelAt(marks->viewport(), cell.x(), cell.y()), 255u);
  EXPECT_FALSE(marks->GetItemText(1, 1).empty());
  GuiDriver::Grab(page_.get()).save("setting_page.png");
}

TEST_F(SettingDlgTest, TheDaysEditReadsAsAtLeastOneDay) {
  EXPECT_EQ(CSettingDlg::DaysToGenerate("30"), 30);
  EXPECT_EQ(CSettingDlg::DaysToGenerate(" 7天"), 7);
  EXPECT_EQ(CSettingDlg::DaysToGenerate("0"), 1);
  EXPECT_EQ(CSettingDlg::DaysToGenerate("-5"), 1);
  EXPECT_EQ(CSettingDlg::DaysToGenerate("abc"), 1);
  EXPECT_EQ(CSettingDlg::DaysToGenerate(""), 1);
}

TEST_F(SettingDlgTest, AJobThatCannotStartGivesTheButtonsBack) {
  WorkerRegistry closing;
  closing.RequestStopAll();  // refuses every new worker, as while the program closes
  SettingServices services;
  services.pages.market = &db_.Market();
  services.pages.custom = &db_.User();
  services.workers = &closing;
  page_ = std::make_unique<CSettingDlg>(services);
  page_->InitDialog();
  GuiDriver::Click(page_.get(), 1007);
  QApplication::processEvents();
  EXPECT_FALSE(page_->Job().IsRunning());
  EXPECT_TRUE(Ctrl<QPushButton>(1007)->isEnabled());
  EXPECT_TRUE(Ctrl<QPushButton>(1144)->isEnabled());
  page_.reset();
}

TEST_F(SettingDlgTest, AMissingUserDatabaseLeavesTheListEmptyAndEveryActionSaysItFailed) {
  CADODataBase closed;  // never opened
  MakePage(&closed);
  EXPECT_EQ(Marks()->GetItemCount(), 0);
  EXPECT_TRUE(Boxes().empty());  // opening the page is no action of the user's
  GuiDriver::Click(page_.get(), 1157);
  EXPECT_EQ(OnlyBoxText(), "读取营业部标记失败!");
  EditOf(1015)->setText(QStringLiteral("某证券营业部"));
  EditOf(1000)->setText(QStringLiteral("5"));
  GuiDriver::Click(page_.get(), 1092);
  const std::string added = OnlyBoxText();
  EXPECT_TRUE(added == "添加营业部标记失败!" || added == "读取营业部标记失败!") << added;
  EXPECT_EQ(Marks()->GetItemCount(), 0);
}
