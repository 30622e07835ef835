// The tracker inside the real main window, offscreen, on a built database: a seat
// double-clicked on the daily list page opens the tracker on that branch's listings
// with the first stock-day in detail, and "合并数据" turns them into branch totals.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "analysis/branch_totals_merge.h"
#include "app/ui/main_dlg.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "fake_tray.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "storage/charset.h"

namespace {

const std::string kToday = "2024-05-15";
const std::string kBranch = "招商证券股份有限公司深圳蛇口工业七路证券营业部";
const std::string kOther = "东方财富证券股份有限公司拉萨团结路第二证券营业部";
const std::string kSeller = "中国银河证券股份有限公司北京中关村大街证券营业部";

SeatFixture None() { return {"", 0, 0}; }

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

class TrackerEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    // kBranch buys 比亚迪 today, sells 五粮液 on 05-14 and buys 贵州茅台 on 05-13.
    builder_.AddListing(kToday, "002594", "比亚迪", "日涨幅偏离值达7%的证券", 9.99, 220, 80000,
                        {{{kOther, 1000, 0}, {kBranch, 800, 0}, {"机构专用", 600, 0}, None(), None()}},
                        {{{kSeller, 0, 600}, None(), None(), None(), None()}});
    builder_.AddListing(kToday, "601318", "中国平安", "日换手率达20%的证券", 2.5, 50, 60000,
                        {{{kOther, 300, 0}, None(), None(), None(), None()}},
                        {{{kSeller, 0, 200}, None(), None(), None(), None()}});
    builder_.AddListing("2024-05-14", "000858", "五粮液", "日跌幅偏离值达7%的证券", -7.1, 150, 50000,
                        {{{kSeller, 500, 0}, None(), None(), None(), None()}},
                        {{{kBranch, 0, 1500}, {kOther, 0, 400}, None(), None(), None()}});
    builder_.AddListing("2024-05-13", "600519", "贵州茅台", "日涨幅偏离值达7%的证券", 10.0, 1700, 100000,
                        {{{kBranch, 5000, 0}, {"机构专用", 3000, 0}, None(), None(), None()}},
                        {{{kOther, 0, 1000}, None(), None(), None(), None()}});
    builder_.OpenGlobals();
    g_TrackerBranchTotals.Clear();
  }

  void TearDown() override {
    window_.reset();
    // The pages' search workers end with them; nothing of them outlives the test.
    EXPECT_TRUE(WorkerRegistry::Instance().JoinAll(std::chrono::seconds(10)));
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    g_TrackerBranchTotals.Clear();
    PageRegistry::Instance().ResetForTests();
  }

  void OpenWindow() {
    window_ = std::make_unique<CMainDlg>(std::make_unique<FakeTray>(true));
    window_->resize(1280, 800);
    ASSERT_TRUE(Daily().SetServices(DataDisplayServices{&clock_, &sleeper_, nullptr, nullptr}));
    ASSERT_TRUE(window_->m_dlgTracker.SetServices(TrackerServices{.clock = &clock_}));
    window_->InitDialog();
    window_->m_dlgDownloadData.KillTimer(1);  // no start-up download here
    window_->m_ctrlTab.SetCurSel(0);
    window_->m_dlgTrackTabs.m_ctrlTab.SetCurSel(1);  // "上榜明细"
    window_->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(window_.get()));
    QApplication::processEvents();
  }

  CDataDisplayDlg& Daily() { return window_->m_dlgTrackTabs.m_dlgDataDisplay; }
  CTrackerPage& Tracker() { return window_->m_dlgTracker; }
  template <class W>
  W* TrackerControl(int id) {
    return GuiDriver::FindAs<W>(&Tracker(), id);
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15, 18, 30};
  ZeroSleeper sleeper_;
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  std::unique_ptr<CMainDlg> window_;
};

}  // namespace

TEST_F(TrackerEndToEnd, ASeatOfTheDailyListOpensTheTrackerAndTheMergeShowsTotals) {
  OpenWindow();
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(PageRegistry::Instance().Get<ITrackerPage>(PageSlot::Tracker), &Tracker());

  // 1. Today's first stock on the daily list is 比亚迪; its "买2" is kBranch.
  ASSERT_EQ(Daily().Record().StockCode, "002594");
  auto* dailySeats = GuiDriver::FindAs<CColorListCtrl>(&Daily(), 1113);
  ASSERT_EQ(dailySeats->GetItemText(1, 1), kBranch);
  GuiDriver::UserDoubleClick(dailySeats->viewport(), dailySeats->visualRect(dailySeats->model()->index(1, 1)).center());
  ASSERT_TRUE(GuiDriver::WaitForSearch(Tracker()));

  // 2. The tracker is in front with the branch's three listings, newest first, and the
  // first one's seats.
  EXPECT_EQ(window_->GetCurSel(), 2);
  EXPECT_TRUE(Tracker().isVisible());
  EXPECT_EQ(FromQString(TrackerControl<QLineEdit>(1017)->text()), kBranch);
  auto* results = TrackerControl<CColorListBox>(1112);
  ASSERT_EQ(results->GetCount(), 3);
  const QStringList expected = {
      "01 比亚迪   002594  2024-05-15 净买入:800  , 收:220.00",
      "02 五粮液   000858  2024-05-14 净买入:-1500, 收:150.00",
      "03 贵州茅台 600519  2024-05-13 净买入:5000 , 收:1700.00",
  };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ToQString(results->GetText(i)), expected[i]);
  EXPECT_EQ(results->GetItemData(0), RGB(255, 0, 0));  // today's
  EXPECT_EQ(results->GetItemData(1), RGB(0, 0, 255));
  EXPECT_EQ(TrackerControl<QLineEdit>(1000)->text(), QStringLiteral("3"));
  EXPECT_EQ(TrackerControl<QLineEdit>(1001)->text(), QStringLiteral("3"));
  EXPECT_EQ(TrackerControl<QLineEdit>(1002)->text(), QStringLiteral("2433.3"));
  EXPECT_EQ(TrackerControl<QLineEdit>(1006)->text(), QStringLiteral("比亚迪"));
  EXPECT_EQ(TrackerControl<QLineEdit>(1013)->text(), QStringLiteral("9.99"));
  auto* seats = TrackerControl<CColorListCtrl>(1113);
  ASSERT_EQ(seats->GetItemCount(), 14);
  EXPECT_EQ(seats->GetItemText(1, 0), "买2");
  EXPECT_EQ(seats->GetItemText(1, 1), kBranch);
  EXPECT_EQ(seats->GetItemText(12, 2), "2400");
  std::string file = FromGbk(folder_.ReadFile("临时文件/追踪游资.txt"));
  EXPECT_EQ(file, " 追踪敢死队：" + kBranch + " \n " + FromQString(expected[0]) + " \n " + FromQString(expected[1]) +
                      " \n " + FromQString(expected[2]) + " \n");

  // 3. All three stock-days merged: kBranch and kOther three times each.
  TrackerControl<QLineEdit>(1028)->setText(QStringLiteral("10"));
  GuiDriver::Click(&Tracker(), 1048);
  ASSERT_TRUE(GuiDriver::WaitForSearch(Tracker()));
  ASSERT_EQ(seats->GetItemCount(), 4 + 2);
  EXPECT_EQ(seats->GetItemText(0, 1), kOther);
  EXPECT_EQ(seats->GetItemText(0, 5), "3(1/2)");
  EXPECT_EQ(seats->GetItemText(1, 1), kBranch);
  EXPECT_EQ(seats->GetItemText(1, 5), "3(2/1)");
  EXPECT_EQ(seats->GetItemText(1, 2), "5800.00");
  EXPECT_EQ(seats->GetItemText(1, 3), "1500.00");
  EXPECT_EQ(seats->GetItemText(5, 1), "总买入  总卖出  总净买入 (单位: 万元)");
  EXPECT_EQ(seats->GetItemText(5, 2), "10900.00");
  file = FromGbk(folder_.ReadFile("临时文件/追踪游资.txt"));
  EXPECT_NE(file.find(" \n合并数据：\n"), std::string::npos) << file;

  // 4. What the user sees.
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(window_.get());
  EXPECT_EQ(shot.size(), QSize(1280, 800));
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("tracker_e2e.png")));
}
