// The daily list inside the real main window, offscreen, on a three-day database: the
// user's road from a pick to the tracker and the charting block, and today's download
// arriving from a worker thread.
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "../../support/chart_folder_builder.h"
#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "app/ui/main_dlg.h"
#include "charting/chart_block_file.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "fake_tray.h"
#include "platform/clipboard.h"
#include "platform/page_registry.h"
#include "platform/pages/daily_list_page_iface.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/charset.h"

namespace {

const std::string kDay1 = "2024-05-13";
const std::string kDay2 = "2024-05-14";
const std::string kToday = "2024-05-15";
const std::string kSecondBuyer = "招商证券股份有限公司深圳蛇口工业七路证券营业部";

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

SeatFixture None() { return {"", 0, 0}; }

class DailyListEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);

    // Day 1: three stocks; the third by net buy is 002594, listed on all three days.
    builder_.AddListing(kDay1, "600519", "贵州茅台", "日涨幅偏离值达7%的证券", 10.0, 1700, 100000,
                        {{{"机构专用", 5000, 0}, {"中信证券股份有限公司上海溧阳路证券营业部", 3000, 0}, None(), None(),
                          None()}},
                        {{{"光大证券股份有限公司宁波解放南路证券营业部", 0, 1000}, None(), None(), None(), None()}});
    builder_.AddListing(kDay1, "000858", "五粮液", "日换手率达20%的证券", 5.5, 150, 50000,
                        {{{"国泰君安证券股份有限公司上海江苏路证券营业部", 2000, 0}, None(), None(), None(), None()}},
                        {{{"华泰证券股份有限公司南京中山北路证券营业部", 0, 500}, None(), None(), None(), None()}});
    const FiveSeats bydBuy{{{"东方财富证券股份有限公司拉萨团结路第二证券营业部", 1000, 0},
                            {kSecondBuyer, 800, 0}, None(), None(), None()}};
    const FiveSeats bydSell{{{"中国银河证券股份有限公司北京中关村大街证券营业部", 0, 600}, None(), None(), None(),
                             None()}};
    const std::string margin = "当日融资买入数量占当日总成交量比例达50%的证券";
    builder_.AddListing(kDay1, "002594", "比亚迪", margin, -3.25, 220, 80000, bydBuy, bydSell);
    builder_.AddListing(kDay2, "000858", "五粮液", "日换手率达20%的证券", 4, 150, 50000, bydBuy, bydSell);
    builder_.AddListing(kDay2, "002594", "比亚迪", margin, 2, 220, 80000, bydBuy, bydSell);
    builder_.AddListing(kToday, "002594", "比亚迪", margin, 1, 220, 80000, bydBuy, bydSell);
    builder_.AddListing(kToday, "601318", "中国平安", "日涨幅偏离值达7%的证券", 9.9, 50, 60000, bydBuy, bydSell);
    builder_.AddTrade("2024-05-10", "000858", "五粮液", 1, 150, 140, 20000, 280, "机构专用", "机构专用");
    builder_.OpenGlobals();
  }

  void TearDown() override {
    window_.reset();
    g_ADODatabase.SetStatementTrace(nullptr);
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    ClipboardHook::Instance().StopRecording();
    TDX_DIR = "0";
    PageRegistry::Instance().ResetForTests();
  }

  // The real main window; the daily page gets the fake clock before the window's
  // initialisation runs the page's.
  void OpenWindow() {
    window_ = std::make_unique<CMainDlg>(std::make_unique<FakeTray>(true));
    window_->resize(1280, 800);
    ASSERT_TRUE(Page().SetServices(DataDisplayServices{&clock_, &sleeper_, nullptr, nullptr}));
    window_->InitDialog();
    window_->m_dlgDownloadData.KillTimer(1);  // no start-up download here
    window_->m_ctrlTab.SetCurSel(0);
    window_->m_dlgTrackTabs.m_ctrlTab.SetCurSel(1);  // "上榜明细"
    window_->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(window_.get()));
    QApplication::processEvents();
    PageRegistry& registry = PageRegistry::Instance();
    registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker_);
    // The real block roads, on a charting folder of the test's own.
    TDX_DIR = chart_.LinuxTdxDir();
    registry.Publish<ChartBlock>(PageSlot::ChartBlock, &block_);
  }

  CDataDisplayDlg& Page() { return window_->m_dlgTrackTabs.m_dlgDataDisplay; }
  template <class W>
  W* Control(int id) {
    return GuiDriver::FindAs<W>(&Page(), id);
  }

  // Press and release, then the double-click and its release, as a user does.
  // Sends today's download from a worker thread, as the download engine does, while
  // this thread runs the event loop. The call's result.
  bool SendTodayDownloaded() {
    std::atomic<bool> done{false};
    bool sent = false;
    std::thread worker([&] {
      sent = PageRegistry::Instance().Send<IDailyListPage>(PageSlot::DataDisplay,
                                                           [](IDailyListPage& p) { p.OnTodayDataDownloaded(); });
      done = true;
    });
    const bool finished = GuiDriver::WaitUntil([&] { return done.load(); }, 10000);
    worker.join();
    EXPECT_TRUE(finished);
    return sent;
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15, 18, 30};
  ZeroSleeper sleeper_;
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  RecordingTracker tracker_;
  ChartFolderBuilder chart_;
  CChartBlockRoads block_;
  std::unique_ptr<CMainDlg> window_;
};

}  // namespace

TEST_F(DailyListEndToEnd, PickShowSearchTheSeatAndAddTheDayToTheBlock) {
  OpenWindow();
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(Page().LoadedDate(), kToday);

  // 1. Pick day 1.
  Control<QDateEdit>(1111)->setDate(QDate(2024, 5, 13));
  ASSERT_EQ(Page().LoadedDate(), kDay1);
  auto* day = Control<CColorListBox>(1112);
  const QStringList expected = {
      "01 贵州茅台  600519  10.00%  0.70亿  0.90亿   1       机 ",
      "02 五粮液    000858  5.50%   0.15亿  0.25亿   2       大 ",
      "03 比亚迪    002594  -3.25%  0.12亿  0.24亿   3       融 ",
  };
  QStringList shown;
  for (int i = 0; i < day->GetCount(); ++i) shown << ToQString(day->GetText(i));
  EXPECT_EQ(shown, expected);

  // 2. The third line, then seat "买2".
  GuiDriver::UserDoubleClick(day->viewport(), day->visualItemRect(day->item(2)).center());
  EXPECT_EQ(Page().Record().StockCode, "002594");
  EXPECT_EQ(FromQString(Control<QLineEdit>(1006)->text()), "比亚迪");
  auto* seats = Control<CColorListCtrl>(1113);
  ASSERT_EQ(seats->GetItemText(1, 0), "买2");
  const QPoint seat2 = seats->visualRect(seats->model()->index(1, 1)).center();
  GuiDriver::UserDoubleClick(seats->viewport(), seat2);
  EXPECT_EQ(tracker_.branches, std::vector<std::string>{kSecondBuyer});
  EXPECT_EQ(ClipboardHook::Instance().Last(), kSecondBuyer);  // the click before it

  // 3. The whole day into the block and onto the clipboard.
  ClipboardHook::Instance().Clear();
  GuiDriver::Click(&Page(), 1007);
  EXPECT_EQ(ClipboardHook::Instance().Texts(), std::vector<std::string>{", 600519, 000858, 002594"});
  EXPECT_EQ(chart_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n1600519\r\n0000858\r\n0002594");
  EXPECT_EQ(chart_.Read("T0002/blocknew/blocknew.cfg"), BlockListRecord());
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("数据已加入“Velkor自选股”和“剪贴板”", 0), 0u) << boxes[0].text;
  std::string netBuy;
  for (const QString& line : expected) netBuy += ToGbk(FromQString(line)) + " \r\n";
  netBuy += "\r\n\r\n";
  EXPECT_EQ(folder_.ReadFile("临时文件/每日净买入排序.txt"), netBuy);

  // 4. What the user sees.
  QApplication::processEvents();
  const QImage shot = GuiDriver::Grab(window_.get());
  EXPECT_EQ(shot.size(), QSize(1280, 800));
  EXPECT_TRUE(shot.save(QDir::current().absoluteFilePath("daily_list_e2e.png")));
}

TEST_F(DailyListEndToEnd, OneStockTwiceThenTheDayLeavesItOnceInTheRealBlockFile) {
  OpenWindow();
  ASSERT_FALSE(HasFailure());
  Control<QDateEdit>(1111)->setDate(QDate(2024, 5, 13));
  ASSERT_EQ(Page().Record().StockCode, "600519");  // the first line is shown
  GuiDriver::Click(&Page(), 1048);
  GuiDriver::Click(&Page(), 1048);
  EXPECT_EQ(chart_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n1600519\r\n1600519");
  EXPECT_EQ(ClipboardHook::Instance().Last(), "600519");
  GuiDriver::Click(&Page(), 1007);
  EXPECT_EQ(chart_.Read("T0002/blocknew/ZUVZXG.blk"), "\r\n1600519\r\n0000858\r\n0002594");
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);  // only 1007 tells the user
  EXPECT_EQ(boxes[0].text.rfind("数据已加入“Velkor自选股”和“剪贴板”", 0), 0u) << boxes[0].text;
}

TEST_F(DailyListEndToEnd, ABlockFolderThatIsNotThereWritesNothingAndSaysNoSuccess) {
  OpenWindow();
  ASSERT_FALSE(HasFailure());
  TDX_DIR = chart_.Path("missing/TdxW.exe");
  Control<QDateEdit>(1111)->setDate(QDate(2024, 5, 13));
  GuiDriver::Click(&Page(), 1007);
  const auto boxes = GuiDriver::TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.find("数据已加入"), std::string::npos) << boxes[0].text;
  EXPECT_FALSE(chart_.Exists("T0002/blocknew/ZUVZXG.blk"));
  EXPECT_TRUE(Control<QPushButton>(1007)->isEnabled());
}

TEST_F(DailyListEndToEnd, TodaysDownloadFromAWorkerReloadsTodayOnTheUiThread) {
  OpenWindow();
  ASSERT_FALSE(HasFailure());
  const int loads = Page().LoadCount();
  std::mutex mutex;
  std::set<std::thread::id> statementThreads;
  g_ADODatabase.SetStatementTrace([&](const std::string&) {
    std::lock_guard lock(mutex);
    statementThreads.insert(std::this_thread::get_id());
  });
  const std::thread::id uiThread = std::this_thread::get_id();

  ASSERT_TRUE(SendTodayDownloaded());
  EXPECT_EQ(Page().LoadCount(), loads + 1);
  EXPECT_EQ(window_->PaneText(0), QStringLiteral("  今日数据已经自动下载!! "));
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(statementThreads, std::set<std::thread::id>{uiThread});
  }
  EXPECT_EQ(Control<CColorListBox>(1112)->GetCount(), 2);

  // With another day picked, nothing reloads and the pane keeps its text.
  Control<QDateEdit>(1111)->setDate(QDate(2024, 5, 14));
  ASSERT_EQ(Page().LoadedDate(), kDay2);
  window_->SetPaneText(0, "专注Velkor数据统计、分析！");
  const int before = Page().LoadCount();
  ASSERT_TRUE(SendTodayDownloaded());
  EXPECT_EQ(Page().LoadCount(), before);
  EXPECT_EQ(Page().LoadedDate(), kDay2);
  EXPECT_EQ(window_->PaneText(0), QStringLiteral("专注Velkor数据统计、分析！"));
}
