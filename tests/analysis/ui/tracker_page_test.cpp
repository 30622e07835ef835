#include "analysis/ui/tracker_page.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <chrono>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/page_fixture.h"
#include "../../support/paint_probe.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "analysis/branch_totals_merge.h"
#include "platform/pages/main_window_iface.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "controls/ui/edit_ex.h"
#include "controls/ui/tip_wnd.h"
#include "platform/clipboard.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "storage/charset.h"
#include "storage/day_range.h"

namespace {

const std::string kToday = "2024-05-15";  // Wednesday
const std::string kGuotai = "国泰君安证券股份有限公司上海江苏路证券营业部";
const std::string kHuatai = "华泰证券股份有限公司深圳益田路荣超商务中心证券营业部";
const std::string kZhongxin = "中信证券股份有限公司上海溧阳路证券营业部";
const std::string kWenzhou1 = "财通证券股份有限公司温州车站大道证券营业部";
const std::string kWenzhou2 = "东方财富证券股份有限公司拉萨团结路第二证券营业部";
const std::string kDefaultTeam2 = "中信证券股份有限公司杭州四季路证券营业部";
const std::string kTrackerFile = "临时文件/追踪游资.txt";

SeatFixture None() { return {"", 0, 0}; }

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

class RecordingMainTabs final : public IMainTabs {
 public:
  int SetCurSel(int index) override {
    calls.push_back(index);
    const int previous = current;
    current = index;
    return previous;
  }
  int GetCurSel() const override { return current; }
  std::vector<int> calls;
  int current = 0;
};

QStringList Lines(CColorListBox* list) {
  QStringList lines;
  for (int i = 0; i < list->GetCount(); ++i) lines << ToQString(list->GetText(i));
  return lines;
}

QString Role(CColorListBox* list, int line, int role) { return list->item(line)->data(role).toString(); }

// As a user double-clicks: press and release, then the double-click and its release.
QPoint LineCentre(CColorListBox* list, int line) { return list->visualItemRect(list->item(line)).center(); }

class TrackerPageTest : public PageFixture<CTrackerPage> {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    BuildMarket();
    builder_.OpenGlobals();
    PageRegistry::Instance().Publish<IMainTabs>(PageSlot::MainTabCtrl, &tabs_);
  }
  void TearDown() override {
    page_.reset();
    // The page's search worker ends with it; nothing of it outlives the test.
    EXPECT_TRUE(WorkerRegistry::Instance().JoinAll(std::chrono::seconds(10)));
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    g_TrackerBranchTotals.Clear();
    PageRegistry::Instance().ResetForTests();
  }

  // kGuotai on four listings: today's 600000 (buyer), 05-14's 000001 (seller), 05-13's
  // 300750 (buyer, with both members of the team "温州系") and 05-10's 600000 (seller).
  void BuildMarket() {
    builder_.AddListing(kToday, "600000", "浦发银行", "日涨幅偏离值达7%的证券", 9.98, 10.5, 50000,
                        {{{kGuotai, 3000, 100}, {kHuatai, 2500, 0}, {"机构专用", 2000, 0}, None(), None()}},
                        {{{kZhongxin, 0, 1200}, {kWenzhou1, 0, 900}, None(), None(), None()}});
    builder_.AddListing("2024-05-14", "000001", "平安银行", "日跌幅偏离值达7%的证券", -7.5, 9.1, 30000,
                        {{{kZhongxin, 300, 0}, None(), None(), None(), None()}},
                        {{{kGuotai, 0, 5000}, None(), None(), None(), None()}});
    builder_.AddListing("2024-05-13", "300750", "宁德时代", "日换手率达20%的证券", 3.2, 180, 90000,
                        {{{kGuotai, 800, 0}, {kWenzhou1, 500, 0}, {kWenzhou2, 400, 0}, None(), None()}},
                        {{{"机构专用", 0, 500}, None(), None(), None(), None()}});
    builder_.AddListing("2024-05-10", "600000", "浦发银行", "日涨幅偏离值达7%的证券", 5.0, 9.5, 20000,
                        {{{kHuatai, 100, 0}, None(), None(), None(), None()}},
                        {{{kGuotai, 0, 200}, None(), None(), None(), None()}});
    builder_.AddMark(kWenzhou1, 0, 0, 1, 205, "", "", "温州系");
    builder_.AddMark(kWenzhou2, 0, 0, 1, 205, "", "", "温州系");
  }

  CTrackerPage& MakePage(bool show = true) {
    TrackerServices services;
    services.clock = &clock_;
    return OpenPage(services, 1280, 760, show);
  }

  CColorListBox* Results() { return Get<CColorListBox>(1112); }
  // The searches run off the interface thread: waits until the page has shown the result.
  void Settle() { EXPECT_TRUE(GuiDriver::WaitForSearch(*page_)); }
  CColorListCtrl* Seats() { return Get<CColorListCtrl>(1113); }
  QString Text(int id) { return Get<QLineEdit>(id)->text(); }
  void SetText(int id, const std::string& text) { Get<QLineEdit>(id)->setText(ToQString(text)); }
  std::string TrackerFile() { return FromGbk(folder_.ReadFile(kTrackerFile)); }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15};
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  RecordingMainTabs tabs_;
  RecordingChartLink link_;
};

}  // namespace

// ---- the page as it starts ----

TEST_F(TrackerPageTest, StartsWithItsControlsTextsTipsAndRegistrySlot) {
  CTrackerPage& page = MakePage();
  for (int id : {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1009, 1012, 1013, 1014, 1016, 1017, 1019, 1028, 1029,
                 1048, 1049, 1112, 1113, 1131, 1138, 1140, 1149, 1150}) {
    EXPECT_NE(GuiDriver::Find(&page, id), nullptr) << id;
  }
  EXPECT_EQ(PageRegistry::Instance().Get<ITrackerPage>(PageSlot::Tracker), &page);
  EXPECT_EQ(FromQString(Text(1016)), kDefaultTeam2);
  EXPECT_EQ(Text(1019), QStringLiteral("股票代码之间用“,”分割,比如:002476,002490"));
  EXPECT_EQ(Get<CEditEx>(1019)->GetTextColor(), RGB(255, 0, 0));
  EXPECT_EQ(Text(1029), QStringLiteral("40"));
  auto* combo = Get<QComboBox>(1005);
  ASSERT_EQ(combo->count(), 1);
  EXPECT_EQ(combo->currentText(), QStringLiteral("点左面按钮"));
  EXPECT_FALSE(Get<QLineEdit>(1000)->isEnabled());
  EXPECT_TRUE(Get<QLineEdit>(1000)->isReadOnly());
  EXPECT_FALSE(Get<QLineEdit>(1001)->isEnabled());
  EXPECT_EQ(QFontInfo(Results()->font()).family(), QStringLiteral("Noto Sans Mono CJK SC"));

  ASSERT_EQ(Seats()->GetColumnCount(), 8);
  EXPECT_EQ(Seats()->horizontalHeaderItem(1)->text(), QStringLiteral("营业部"));
  EXPECT_EQ(Seats()->columnWidth(1), 265);
  EXPECT_EQ(Seats()->columnWidth(7), 600);
  EXPECT_FALSE(Seats()->isSortingEnabled());

  auto* tips = page.findChild<CTipWnd*>();
  ASSERT_NE(tips, nullptr);
  ASSERT_EQ(tips->Tools().size(), 5u);
  std::vector<int> keys;
  for (const auto& tool : tips->Tools()) {
    keys.push_back(tool.key);
    EXPECT_EQ(tool.textColor, RGB(255, 255, 225));
    EXPECT_EQ(tool.backColor, RGB(255, 0, 192));
  }
  EXPECT_EQ(keys, (std::vector<int>{1048, 1149, 1150, 1009, 1006}));
  EXPECT_EQ(tips->Tools()[1].lines, std::vector<CString>{" 请在 左侧 输入股票代码 股票名称的全称！   "});
}

// ---- the entries other pages call ----

TEST_F(TrackerPageTest, TheThreeEntriesSelectTabTwoAndFillTheList) {
  MakePage();
  ITrackerPage* tracker = PageRegistry::Instance().Get<ITrackerPage>(PageSlot::Tracker);
  ASSERT_NE(tracker, nullptr);

  tracker->OnTrackBranch(kGuotai);
  Settle();
  EXPECT_EQ(tabs_.calls, std::vector<int>{2});
  EXPECT_EQ(FromQString(Text(1017)), kGuotai);
  ASSERT_EQ(Results()->GetCount(), 4);
  EXPECT_EQ(Role(Results(), 0, CTrackerPage::kLineCodeRole), QStringLiteral("600000"));
  EXPECT_EQ(Role(Results(), 1, CTrackerPage::kLineDateRole), QStringLiteral("2024-05-14"));
  EXPECT_EQ(Text(1000), QStringLiteral("4"));
  EXPECT_EQ(Text(1001), QStringLiteral("4"));  // 3100, 5000, 800 and 05-10's 200 itself
  // The first line's stock-day is shown.
  EXPECT_EQ(Text(1006), QStringLiteral("浦发银行"));
  EXPECT_EQ(Text(1013), QStringLiteral("9.98"));
  EXPECT_EQ(Seats()->GetItemCount(), 14);
  EXPECT_EQ(Seats()->GetItemText(0, 1), kGuotai);
  EXPECT_EQ(Results()->GetCurSel(), 0);
  const std::string branchFile = TrackerFile();
  EXPECT_EQ(branchFile.rfind(" 追踪敢死队：" + kGuotai + " \n", 0), 0u) << branchFile;

  SetText(1017, "留在这里");
  tracker->OnTrackByStockCode("000001");
  EXPECT_EQ(tabs_.calls, (std::vector<int>{2, 2}));
  ASSERT_EQ(Results()->GetCount(), 1);
  EXPECT_EQ(Role(Results(), 0, CTrackerPage::kLineNameRole), QStringLiteral("平安银行"));
  EXPECT_EQ(Text(1017), QStringLiteral("留在这里"));
  EXPECT_TRUE(Text(1001).isEmpty());
  EXPECT_TRUE(Text(1002).isEmpty());
  EXPECT_EQ(Text(1009), QStringLiteral("000001"));
  EXPECT_EQ(TrackerFile(), branchFile);  // the entries write no file

  tracker->OnTrackByStockName("浦发银行");
  EXPECT_EQ(tabs_.calls, (std::vector<int>{2, 2, 2}));
  ASSERT_EQ(Results()->GetCount(), 2);
  EXPECT_EQ(Role(Results(), 1, CTrackerPage::kLineDateRole), QStringLiteral("2024-05-10"));
  EXPECT_EQ(Text(1000), QStringLiteral("2"));
  EXPECT_EQ(Text(1017), QStringLiteral("留在这里"));
  EXPECT_EQ(TrackerFile(), branchFile);
}

TEST_F(TrackerPageTest, TodaysLineStaysRedUntilTheUserSelectsALine) {
  MakePage();
  page_->OnTrackBranch(kGuotai);
  Settle();
  auto* list = Results();
  EXPECT_EQ(list->GetItemData(0), RGB(255, 0, 0));  // selected in code: no recolouring
  EXPECT_EQ(list->GetItemData(1), RGB(0, 0, 255));
  // The user selects 05-10's 600000: both lines of 600000 magenta, the others blue.
  GuiDriver::Click(list->viewport(), Qt::LeftButton, LineCentre(list, 3));
  EXPECT_EQ(list->GetCurSel(), 3);
  EXPECT_EQ(list->GetItemData(0), RGB(255, 0, 255));
  EXPECT_EQ(list->GetItemData(1), RGB(0, 0, 255));
  EXPECT_EQ(list->GetItemData(2), RGB(0, 0, 255));
  EXPECT_EQ(list->GetItemData(3), RGB(255, 0, 255));
  // A new search shows today in red again.
  page_->SearchBranch(kGuotai);
  Settle();
  EXPECT_EQ(list->GetItemData(0), RGB(255, 0, 0));
}

// Selecting a line reads that line only: an arrow key in 300,000 lines costs what it
// costs in 30, and still colours the far lines of the selected stock.
TEST_F(TrackerPageTest, SelectingALineCostsTheSameInAnyNumberOfLines) {
  MakePage();
  auto* list = Results();
  const auto fastestSelection = [list](int lines) {
    ColorListBoxBatch batch;
    for (int i = 0; i < lines; ++i) {
      const std::string code = std::to_string(600000 + i % 7);
      batch.Add("01 浦发银行 " + code + " 2024-05-15", RGB(0, 0, 255),
                {{CTrackerPage::kLineCodeRole, code}, {CTrackerPage::kLineDateRole, "2024-05-15"}});
    }
    list->ResetContent();
    list->AddLines(std::move(batch));
    list->setCurrentItem(list->item(0));
    double fastest = 1e9;
    for (int row = 1; row <= 5; ++row) {
      const auto start = std::chrono::steady_clock::now();
      QTest::keyClick(list, Qt::Key_Down);
      fastest = std::min(fastest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      EXPECT_EQ(list->GetCurSel(), row);
    }
    const int lastOfTheStock = lines - 1 - (lines - 1 - 5) % 7;  // the stock of line 5
    EXPECT_EQ(list->GetItemData(lastOfTheStock), RGB(255, 0, 255));
    EXPECT_EQ(list->GetItemData(lines - 1), RGB(0, 0, 255));
    return fastest;
  };
  const double few = fastestSelection(30);
  const double many = fastestSelection(300000);
  EXPECT_LT(many, 10 * few + 0.03) << few << " s in 30 lines, " << many << " s in 300,000";
}

// ---- keys and double clicks ----

TEST_F(TrackerPageTest, EnterSearchesFromTheNameAndCodeEditsAndFromACodeInTeam1) {
  MakePage();
  auto* name = Get<QLineEdit>(1006);
  name->setText(QStringLiteral("宁德时代"));
  GuiDriver::PressKey(name, Qt::Key_Return);
  EXPECT_EQ(Text(1017), QStringLiteral("宁德时代"));
  ASSERT_EQ(Results()->GetCount(), 1);
  EXPECT_EQ(Role(Results(), 0, CTrackerPage::kLineCodeRole), QStringLiteral("300750"));
  EXPECT_EQ(TrackerFile().rfind(" 追踪个股：宁德时代    ,  \n", 0), 0u) << TrackerFile();

  auto* code = Get<QLineEdit>(1009);
  code->setText(QStringLiteral("600000"));
  GuiDriver::PressKey(code, Qt::Key_Enter);
  EXPECT_EQ(Text(1017), QStringLiteral("600000"));
  EXPECT_EQ(Results()->GetCount(), 2);
  EXPECT_EQ(TrackerFile().rfind(" 追踪个股：600000    ,  \n", 0), 0u);

  // A branch name in team 1: Enter does nothing there.
  SetText(1017, kGuotai);
  GuiDriver::PressKey(Get<QLineEdit>(1017), Qt::Key_Return);
  EXPECT_EQ(Results()->GetCount(), 2);
  SetText(1017, "000001");
  GuiDriver::PressKey(Get<QLineEdit>(1017), Qt::Key_Return);
  ASSERT_EQ(Results()->GetCount(), 1);
  EXPECT_EQ(Role(Results(), 0, CTrackerPage::kLineNameRole), QStringLiteral("平安银行"));

  // An empty name searches for nothing and empties the list.
  name->clear();
  GuiDriver::PressKey(name, Qt::Key_Return);
  EXPECT_TRUE(Text(1017).isEmpty());
  EXPECT_EQ(Results()->GetCount(), 0);
  EXPECT_EQ(Text(1000), QStringLiteral("0"));
}

TEST_F(TrackerPageTest, EscapeAndEnterNeverReachTheDialogAround) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* page = new CTrackerPage(TrackerServices{.clock = &clock_}, &dialog);
  layout->addWidget(page);
  page->InitDialog();
  dialog.show();
  ASSERT_TRUE(GuiDriver::WaitForExposed(&dialog));
  for (int id : {1017, 1016, 1112, 1113, 1005, 1048, 1028}) {
    GuiDriver::PressKey(GuiDriver::Find(page, id), Qt::Key_Escape);
    GuiDriver::PressKey(GuiDriver::Find(page, id), Qt::Key_Return);
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(GuiDriver::FindAs<CColorListBox>(page, 1112)->GetCount(), 0);  // Enter in 1017 with a name: nothing
}

TEST_F(TrackerPageTest, DoubleClicksInTheEditsRunTheirSearches) {
  MakePage();
  Get<QLineEdit>(1006)->setText(QStringLiteral("平安银行"));
  GuiDriver::UserDoubleClick(Get<QLineEdit>(1006));
  EXPECT_EQ(Text(1017), QStringLiteral("平安银行"));
  EXPECT_EQ(Results()->GetCount(), 1);

  Get<QLineEdit>(1009)->setText(QStringLiteral("300750"));
  GuiDriver::UserDoubleClick(Get<QLineEdit>(1009));
  EXPECT_EQ(Text(1017), QStringLiteral("300750"));
  EXPECT_EQ(Role(Results(), 0, CTrackerPage::kLineCodeRole), QStringLiteral("300750"));

  // Team 1 and team 2: the exact branch search, then the first line's stock-day.
  SetText(1017, kGuotai);
  GuiDriver::UserDoubleClick(Get<QLineEdit>(1017));
  Settle();
  EXPECT_EQ(Results()->GetCount(), 4);
  EXPECT_EQ(Text(1006), QStringLiteral("浦发银行"));
  SetText(1016, kZhongxin);
  GuiDriver::UserDoubleClick(Get<QLineEdit>(1016));
  Settle();
  ASSERT_EQ(Results()->GetCount(), 2);
  EXPECT_EQ(Role(Results(), 1, CTrackerPage::kLineNameRole), QStringLiteral("平安银行"));
  EXPECT_EQ(TrackerFile().rfind(" 追踪敢死队：" + kZhongxin + " \n", 0), 0u);
  EXPECT_EQ(FromQString(Text(1017)), kGuotai);  // team 1 is left as it was

  // A double click on the close searches nothing.
  GuiDriver::UserDoubleClick(Get<QLineEdit>(1012));
  EXPECT_EQ(Results()->GetCount(), 2);
}

// ---- the right button on the result list ----

TEST_F(TrackerPageTest, ARightClickOnALineShowsItsStockInTheChart) {
  PageRegistry::Instance().Publish<ChartLink>(PageSlot::ChartLink, &link_);
  MakePage();
  page_->OnTrackBranch(kGuotai);
  Settle();
  auto* list = Results();
  GuiDriver::Click(list->viewport(), Qt::RightButton, LineCentre(list, 1));
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_EQ(list->GetItemData(0), RGB(255, 0, 0));  // a selection in code recolours nothing
  EXPECT_EQ(link_.codes, std::vector<std::string>{"000001"});
  // Below the last line: no line, no call.
  const QRect last = list->visualItemRect(list->item(3));
  GuiDriver::Click(list->viewport(), Qt::RightButton, QPoint(last.center().x(), last.bottom() + 30));
  EXPECT_EQ(link_.codes.size(), 1u);
  EXPECT_EQ(list->GetCurSel(), 1);
}

TEST_F(TrackerPageTest, WithoutTheChartLinkARightClickSelectsAndTellsSo) {
  MakePage();
  page_->OnTrackBranch(kGuotai);
  Settle();
  auto* list = Results();
  GuiDriver::Click(list->viewport(), Qt::RightButton, LineCentre(list, 2));
  EXPECT_EQ(list->GetCurSel(), 2);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "“通达信联动”功能尚未完成，本次操作未执行。");
  EXPECT_EQ(Text(1006), QStringLiteral("浦发银行"));  // nothing else changed
}

// ---- the seat list ----

TEST_F(TrackerPageTest, AClickThenADoubleClickOnTheSeatsRunTheClickOncePerGesture) {
  MakePage();
  page_->OnTrackBranch(kGuotai);
  Settle();
  auto* seats = Seats();
  GuiDriver::Click(seats->viewport(), Qt::LeftButton, GuiDriver::CellCentre(seats, 1, 2));
  EXPECT_EQ(FromQString(Text(1016)), kGuotai);
  EXPECT_EQ(FromQString(Text(1017)), kHuatai);
  // The double click on 卖1: one click (team 1 → team 2, the seat → team 1), then the
  // exact search of the seat's branch.
  GuiDriver::UserDoubleClick(seats->viewport(), GuiDriver::CellCentre(seats, 6, 1));
  Settle();
  EXPECT_EQ(FromQString(Text(1016)), kHuatai);
  EXPECT_EQ(FromQString(Text(1017)), kZhongxin);
  ASSERT_EQ(Results()->GetCount(), 2);
  EXPECT_EQ(Text(1000), QStringLiteral("2"));
  EXPECT_EQ(TrackerFile().rfind(" 追踪敢死队：" + kZhongxin + " \n", 0), 0u);
  // The seat list keeps the stock-day it showed.
  EXPECT_EQ(seats->GetItemText(0, 1), kGuotai);
  // A click on the totals row puts its label into team 1.
  GuiDriver::Click(seats->viewport(), Qt::LeftButton, GuiDriver::CellCentre(seats, 12, 3));
  EXPECT_EQ(Text(1017), QStringLiteral("总买入  总卖出  总净买入  总买卖比(单位: 万元)"));
}

TEST_F(TrackerPageTest, TheSeatOfTeam1IsMarkedWhenTheStockDayShows) {
  MakePage();
  page_->OnTrackBranch(kGuotai);  // team 1 is the branch, 买1 of today's 600000
  Settle();
  const COLORREF white = Seats()->GetBkColor();
  EXPECT_EQ(Seats()->Colours().Lookup(0, 0, white).background, RGB(223, 0, 0));
  EXPECT_EQ(Seats()->Colours().Lookup(1, 0, white).background, white);
  EXPECT_EQ(Seats()->Colours().Lookup(6, 0, white).background, white);
}

TEST_F(TrackerPageTest, MergeShowsTotalsAndAHeaderClickResortsAndAppends) {
  MakePage();
  page_->OnTrackBranch(kGuotai);
  Settle();
  SetText(1028, "2");
  GuiDriver::Click(page_.get(), 1048);
  Settle();
  auto* seats = Seats();
  // Today's 600000 and 05-14's 000001: kGuotai and kZhongxin twice, three branches once.
  ASSERT_EQ(seats->GetItemCount(), 5 + 2);
  EXPECT_EQ(seats->GetItemText(0, 1), kGuotai);
  EXPECT_EQ(seats->GetItemText(0, 5), "2(1/1)");
  EXPECT_EQ(seats->GetItemText(1, 1), kZhongxin);
  EXPECT_EQ(seats->GetItemText(1, 5), "2(1/1)");
  EXPECT_EQ(seats->GetItemText(6, 1), "总买入  总卖出  总净买入 (单位: 万元)");
  EXPECT_EQ(seats->GetItemText(6, 2), "7800.00");
  std::string file = TrackerFile();
  EXPECT_NE(file.find(" \n合并数据：\n"), std::string::npos);

  // A click on "总买入" re-sorts by total buy and appends a second block.
  QHeaderView* header = seats->horizontalHeader();
  const int x = header->sectionViewportPosition(2) + header->sectionSize(2) / 2;
  GuiDriver::Click(header->viewport(), Qt::LeftButton, QPoint(x, header->height() / 2));
  EXPECT_EQ(seats->GetItemText(0, 1), kGuotai);  // 3000 + 0
  EXPECT_EQ(seats->GetItemText(1, 1), kHuatai);  // 2500
  EXPECT_EQ(seats->GetItemText(2, 1), "机构专用");
  file = TrackerFile();
  const auto first = file.find("合并数据：");
  EXPECT_NE(file.find("合并数据：", first + 1), std::string::npos);
  // The first column re-sorts nothing.
  const int x0 = header->sectionViewportPosition(0) + 5;
  GuiDriver::Click(header->viewport(), Qt::LeftButton, QPoint(x0, header->height() / 2));
  EXPECT_EQ(TrackerFile(), file);
  EXPECT_EQ(seats->GetItemText(1, 1), kHuatai);
}

TEST_F(TrackerPageTest, HotStocksListTheStocksABranchStoodOnTwice) {
  MakePage();
  SetText(1017, kGuotai);
  GuiDriver::Click(page_.get(), 1140);
  Settle();
  auto* seats = Seats();
  ASSERT_EQ(seats->GetItemCount(), 1);
  EXPECT_EQ(seats->GetItemText(0, 0), "1");
  EXPECT_EQ(seats->GetItemText(0, 1), kGuotai);
  EXPECT_EQ(seats->GetItemText(0, 2), "浦发银行");
  EXPECT_EQ(seats->GetItemText(0, 3), "600000");
  EXPECT_EQ(seats->GetItemText(0, 5), "2");
  EXPECT_EQ(seats->horizontalHeaderItem(2)->text() + seats->horizontalHeaderItem(3)->text(), QStringLiteral("名称代码"));
  page_->OnTrackBranch(kGuotai);  // a stock-day brings the seats' titles back
  Settle();
  EXPECT_EQ(seats->horizontalHeaderItem(3)->text(), QStringLiteral("总卖出"));
  SetText(1017, "国");  // 2 bytes
  GuiDriver::Click(page_.get(), 1140);
  Settle();
  EXPECT_EQ(seats->GetItemCount(), 0);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "关键字长度小于 4 ！！！");
}

// ---- commands ----

TEST_F(TrackerPageTest, TheButtonsRouteTeam1AndTheCodesToTheirSearches) {
  MakePage();
  SetText(1017, "浦发银行");
  GuiDriver::Click(page_.get(), 1149);
  EXPECT_EQ(Results()->GetCount(), 2);
  SetText(1017, "上海");  // a keyword of 4 bytes
  GuiDriver::Click(page_.get(), 1150);
  Settle();
  EXPECT_EQ(Results()->GetCount(), 4);  // kGuotai's four and kZhongxin's 05-14 are one listing
  EXPECT_EQ(Text(1006), QStringLiteral("浦发银行"));
  GuiDriver::Click(page_.get(), 1049);
  EXPECT_EQ(ClipboardHook::Instance().Texts(), std::vector<std::string>{", 600000, 000001, 300750, 600000"});

  SetText(1019, "300750,000001");
  GuiDriver::Click(page_.get(), 1004);
  ASSERT_EQ(Results()->GetCount(), 2);
  EXPECT_EQ(Role(Results(), 0, CTrackerPage::kLineCodeRole), QStringLiteral("000001"));
  EXPECT_EQ(Text(1009), QStringLiteral("000001"));

  SetText(1017, kGuotai);
  SetText(1009, "600000");
  GuiDriver::Click(page_.get(), 1138);
  ASSERT_EQ(Results()->GetCount(), 2);
  EXPECT_EQ(TrackerFile().rfind(" 追踪个股：600000    , " + kGuotai + " \n", 0), 0u) << TrackerFile();

  SetText(1016, kZhongxin);
  GuiDriver::Click(page_.get(), 1003);
  ASSERT_EQ(Results()->GetCount(), 2);  // today's 600000 and 05-14's 000001, both blue
  EXPECT_EQ(Results()->GetItemData(0), RGB(0, 0, 255));
  EXPECT_EQ(Results()->GetItemData(1), RGB(0, 0, 255));
  SetText(1016, "中信证");  // 6 bytes
  GuiDriver::Click(page_.get(), 1003);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "敢死队名称太短，要输入全部名称 !!!");
  EXPECT_EQ(Results()->GetCount(), 2);
}

TEST_F(TrackerPageTest, AFailedQueryTellsOnceAndKeepsTheLines) {
  MakePage();
  page_->OnTrackBranch(kGuotai);
  Settle();
  ASSERT_TRUE(g_ADODatabase.Execute("DROP TABLE StockInfo"));
  page_->OnTrackBranch(kZhongxin);
  Settle();
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("数据库查询失败!", 0), 0u) << boxes[0].text;
  EXPECT_EQ(Results()->GetCount(), 4);
  EXPECT_EQ(Text(1000), QStringLiteral("4"));
  EXPECT_EQ(tabs_.calls, (std::vector<int>{2, 2}));
}

// ---- the team search ----

TEST_F(TrackerPageTest, TheTeamSearchFillsTheListAndItsEndEnablesTheControls) {
  MakePage();
  SetText(1029, "5");
  GuiDriver::Click(page_.get(), 1131);
  EXPECT_FALSE(Get<QPushButton>(1131)->isEnabled());
  EXPECT_FALSE(Get<QComboBox>(1005)->isEnabled());
  auto* combo = Get<QComboBox>(1005);
  ASSERT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->itemText(0), QStringLiteral("请选择派系"));
  EXPECT_EQ(combo->itemText(1), QStringLiteral("温州系"));
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !page_->IsTeamSearchRunning(); }, 10000));
  EXPECT_TRUE(Get<QPushButton>(1131)->isEnabled());
  EXPECT_TRUE(combo->isEnabled());
  // Today's 600000 (one member selling) and 05-13's 300750 (two buying).
  auto* list = Results();
  ASSERT_EQ(list->GetCount(), 2);
  EXPECT_TRUE(Lines(list)[0].startsWith(QStringLiteral("01 浦发银行 600000   2024-05-15 温州系   净买:-0.09亿")))
      << Lines(list)[0].toStdString();
  EXPECT_EQ(list->GetItemData(0), RGB(0, 200, 0));
  EXPECT_TRUE(Lines(list)[1].startsWith(QStringLiteral("02 宁德时代 300750   2024-05-13 温州系   净买:0.09 亿")))
      << Lines(list)[1].toStdString();
  EXPECT_EQ(list->GetItemData(1), RGB(255, 0, 0));
  EXPECT_EQ(Role(list, 1, CTrackerPage::kLineTeamRole), QStringLiteral("温州系"));

  // A double click on a team line: "温州系" becomes team 1, the line's stock-day shows.
  GuiDriver::UserDoubleClick(list->viewport(), LineCentre(list, 1));
  EXPECT_EQ(Text(1017), QStringLiteral("温州系"));
  EXPECT_EQ(Text(1006), QStringLiteral("宁德时代"));
  EXPECT_TRUE(Text(1000).isEmpty());  // no search has counted lines yet
}

TEST_F(TrackerPageTest, ATeamSearchWithoutLinesEmptiesTheFiguresOfTheSearchBefore) {
  MakePage();
  page_->OnTrackBranch(kGuotai);
  Settle();
  SetText(1029, "0");
  GuiDriver::Click(page_.get(), 1131);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !page_->IsTeamSearchRunning(); }, 10000));
  for (int id : {1000, 1001, 1002}) EXPECT_TRUE(Text(id).isEmpty()) << id;
}

TEST_F(TrackerPageTest, ASearchThatReplacesTheListDropsTheTeamSearchsLines) {
  MakePage();
  SetText(1029, "5");
  GuiDriver::Click(page_.get(), 1131);
  const std::uint64_t job = page_->CurrentTeamJob();
  ASSERT_NE(job, 0u);
  // Before the worker's calls can arrive (they run on this thread), a search replaces
  // the list.
  page_->SearchBranch(kZhongxin);
  EXPECT_EQ(page_->CurrentTeamJob(), 0u);
  EXPECT_FALSE(Get<QPushButton>(1131)->isEnabled());  // until the worker has ended
  Settle();
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !page_->IsTeamSearchRunning(); }, 10000));
  EXPECT_TRUE(Get<QPushButton>(1131)->isEnabled());
  EXPECT_TRUE(Get<QComboBox>(1005)->isEnabled());
  ASSERT_EQ(Results()->GetCount(), 2);
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(Role(Results(), i, CTrackerPage::kLineTeamRole).isEmpty());
  // A line of an earlier job is dropped too.
  TrackerLine stale;
  stale.text = "01 stale";
  page_->OnTeamSearchLine(job, stale);
  EXPECT_EQ(Results()->GetCount(), 2);
}

TEST_F(TrackerPageTest, ClosingThePageStopsAndJoinsTheTeamSearch) {
  // Many days of listings, so that the worker is still walking when the page goes.
  for (int d = 1; d <= 250; ++d) {
    const std::string day = DayMinus(kToday, d);
    builder_.AddListing(day, "600519", "贵州茅台", "x", 1, 1, 1,
                        {{{kWenzhou1, 1, 0}, {kWenzhou2, 1, 0}, None(), None(), None()}},
                        {{None(), None(), None(), None(), None()}});
  }
  MakePage();
  SetText(1029, "300");
  GuiDriver::Click(page_.get(), 1131);
  ASSERT_TRUE(page_->IsTeamSearchRunning());
  const auto start = std::chrono::steady_clock::now();
  page_.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(WorkerRegistry::Instance().RunningCount(), 0);
  QApplication::processEvents();  // calls still queued find no page
}

// ---- the look ----

TEST_F(TrackerPageTest, ScreenshotShowsRealGlyphsAndAlignedColumns) {
  MakePage();
  page_->OnTrackBranch(kGuotai);
  Settle();
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(page_.get());
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("tracker_page.png")));
  auto* list = Results();
  const QFontMetrics metrics(list->font());
  const int column = metrics.horizontalAdvance(QLatin1Char('0'));
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("浦")), 2 * column);
  for (int i = 0; i < list->GetCount(); ++i) {
    const QString line = Lines(list)[i];
    EXPECT_TRUE(paint_probe::HasEveryGlyph(line, list->font())) << line.toStdString();
    // "%02d %-8s " puts every code at column 12 and every day at column 20.
    const int code = line.indexOf(Role(list, i, CTrackerPage::kLineCodeRole));
    const int date = line.indexOf(Role(list, i, CTrackerPage::kLineDateRole));
    EXPECT_EQ(metrics.horizontalAdvance(line.left(code)), 12 * column) << line.toStdString();
    EXPECT_EQ(metrics.horizontalAdvance(line.left(date)), 20 * column) << line.toStdString();
  }
}
