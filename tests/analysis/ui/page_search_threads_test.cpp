#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/market_generator.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "analysis/tracker_searches.h"
#include "analysis/ui/stock_active_dlg.h"
#include "analysis/ui/top_branch_dlg.h"
#include "analysis/ui/tracker_page.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "storage/ini_file.h"

namespace {

using namespace std::chrono_literals;

// Holds every statement run off the test's thread until Open (bounded, so that a
// failing test cannot hang).
struct WorkerLatch {
  WorkerLatch() {
    g_ADODatabase.SetStatementTrace([this, ui = std::this_thread::get_id()](const std::string&) {
      if (std::this_thread::get_id() == ui) return;
      std::call_once(entering, [this] { entered.set_value(); });
      opened.wait_for(10s);
    });
  }
  ~WorkerLatch() {
    Open();
    g_ADODatabase.SetStatementTrace(nullptr);
  }
  bool WaitEntered() { return entered.get_future().wait_for(10s) == std::future_status::ready; }
  void Open() { std::call_once(opening, [this] { open.set_value(); }); }

  std::promise<void> entered, open;
  std::shared_future<void> opened = open.get_future().share();
  std::once_flag entering, opening;
};

class PageSearchThreadsTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    g_BranchTotals.Clear();
    for (const std::string day : {"2024-05-15", "2024-05-14"}) {
      builder_.AddListing(day, "600000", "浦发银行", "日涨幅偏离值达7%的证券", 9.98, 10.5, 50000,
                          {{{"国泰君安证券股份有限公司上海江苏路证券营业部", 9000, 100}, {"机构专用", 2000, 0}}},
                          {{{"华泰证券股份有限公司深圳益田路证券营业部", 0, 1200}}});
    }
    builder_.OpenGlobals();
    services_.clock = &clock_;
  }
  void TearDown() override {
    EXPECT_TRUE(WorkerRegistry::Instance().JoinAll(10s));
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    PageRegistry::Instance().ResetForTests();
  }
  template <class Page>
  std::unique_ptr<Page> Make() {
    auto page = std::make_unique<Page>(services_);
    page->InitDialog();
    return page;
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15};
  TempProgramFolder folder_{TempProgramFolder::Options{.withExportFolder = true}};  // the tracker's file
  DbBuilder builder_{folder_.Path()};
  PageServices services_;
};

TEST_F(PageSearchThreadsTest, AKeywordSearchRunsOnAWorkerRefusesASecondPressAndListsTheSynchronousLines) {
  RecordingStatusBar bar;
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, &bar);
  auto page = Make<CTrackerPage>();
  auto* team1 = GuiDriver::FindAs<QLineEdit>(page.get(), 1017);
  team1->setText(QStringLiteral("营业部"));
  GuiDriver::FindAs<QLineEdit>(page.get(), 1019)->setText(QStringLiteral("600000"));
  {
    WorkerLatch latch;
    GuiDriver::Click(page.get(), 1150);
    ASSERT_TRUE(latch.WaitEntered());
    EXPECT_TRUE(page->IsSearchRunning());
    team1->setText(QStringLiteral("机构专用"));
    for (int id : {1150, 1140, 1048, 1004}) GuiDriver::Click(page.get(), id);
    GuiDriver::DoubleClick(team1);
    EXPECT_TRUE(page->ResultLines().empty());  // the multi-stock search was refused too
    page->OnTrackBranch("机构专用");
    EXPECT_EQ(bar.texts.back(), (std::pair<int, std::string>{1, "正在查询，请在本次查询结束后再跟踪"}));
    latch.Open();
    ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
  }
  // The lines of the first search: the later presses were ignored.
  EXPECT_EQ(page->ResultLines(), SearchBranchKeyword(g_ADODatabase, clock_, "营业部").lines.value());
}

// The exact and the keyword search stream their lines into the list: the list ends with
// every line of the whole result in its order, and the file is the whole result's.
TEST_F(PageSearchThreadsTest, StreamedSearchesListEveryLineInOrderAndWriteTheWholeFile) {
  const std::string busiest = GenerateMarket(builder_, CrowdedMarketShape(9, 20)).branches.front();
  auto page = Make<CTrackerPage>();
  auto* team1 = GuiDriver::FindAs<QLineEdit>(page.get(), 1017);
  for (const bool keyword : {false, true}) {
    const std::string text = keyword ? "证券" : busiest;
    page->SearchBranch("营业部");  // the list holds other lines before
    ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
    team1->setText(QString::fromStdString(text));
    if (keyword) {
      GuiDriver::Click(page.get(), 1150);
    } else {
      GuiDriver::DoubleClick(team1);
    }
    ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
    const std::string file = folder_.ReadFile("临时文件/追踪游资.txt");
    const TrackerSearchResult whole = keyword ? SearchBranchKeyword(g_ADODatabase, clock_, text)
                                              : BuildBranchSearch(g_ADODatabase, clock_, text);
    ASSERT_GT(whole.lines->size(), 2 * kTrackerFirstChunkLines) << keyword;
    EXPECT_EQ(page->ResultLines(), *whole.lines) << keyword;
    EXPECT_EQ(file, keyword ? folder_.ReadFile("临时文件/追踪游资.txt") : whole.fileBytes) << keyword;
  }
}

TEST_F(PageSearchThreadsTest, ADayOrDatePickedWhileTheBigBuyersAreSoughtIsRefused) {
  auto page = Make<CTopBranchDlg>();
  for (QTimer* timer : page->findChildren<QTimer*>()) timer->stop();  // no first showing
  auto* picker = GuiDriver::FindAs<QDateEdit>(page.get(), CTopBranchDlg::kPickerId);
  WorkerLatch latch;
  GuiDriver::Click(page.get(), 1048);
  ASSERT_TRUE(latch.WaitEntered());
  for (int id : {1004, 1021}) GuiDriver::FindAs<QRadioButton>(page.get(), id)->click();
  picker->setDate(QDate(2024, 5, 14));
  // Nothing listed or written, and the controls show what they showed at the query.
  EXPECT_EQ(GuiDriver::FindAs<CColorListCtrl>(page.get(), CTopBranchDlg::kListId)->GetItemCount(), 0);
  EXPECT_FALSE(folder_.Exists(kRankingFileName));
  EXPECT_TRUE(GuiDriver::FindAs<QRadioButton>(page.get(), 1004)->isChecked());
  EXPECT_EQ(picker->date(), QDate(2024, 5, 15));
  latch.Open();
  ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
}

TEST_F(PageSearchThreadsTest, TheActivityRankingRunsOnAWorkerAndRefusesAnotherChoiceMeanwhile) {
  g_Settings.TimeSel = 0;
  auto page = Make<CStockActiveDlg>();
  auto* combo = GuiDriver::FindAs<QComboBox>(page.get(), CStockActiveDlg::kDaysComboId);
  auto* stocks = GuiDriver::FindAs<CColorListCtrl>(page.get(), CStockActiveDlg::kStockListId);
  {
    WorkerLatch latch;
    page->OnRankRequest(2);
    ASSERT_TRUE(latch.WaitEntered());
    EXPECT_TRUE(page->IsSearchRunning());
    combo->setCurrentIndex(3);
    emit combo->activated(3);
    page->OnRankRequest(5);
    EXPECT_EQ(page->WalkCount(), 1);
    EXPECT_EQ(page->RankedDays(), 2);
    EXPECT_EQ(combo->currentText(), QStringLiteral(" 2日"));
    EXPECT_EQ(g_Settings.TimeSel, 0);
    EXPECT_EQ(GetPrivateProfileString("system", "TimeSel", "none", folder_.File("sysinfo.ini")), "none");
    latch.Open();
    ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
  }
  EXPECT_EQ(stocks->GetItemCount(), 1);
  EXPECT_EQ(stocks->GetItemText(0, 3), "2");
}

// A close while the merge reads its lines ends its worker within a second, however many
// lines are left: each line's read is short, so the merge itself must give up.
TEST_F(PageSearchThreadsTest, ACloseDuringTheMergeEndsItsWorkerWithinASecond) {
  auto page = Make<CTrackerPage>();
  constexpr int kLines = 40000;
  ColorListBoxBatch batch;
  for (int i = 0; i < kLines; ++i) {
    batch.Add("01 浦发银行 600000 2024-05-15", 0,
              {{CTrackerPage::kLineCodeRole, "600000"}, {CTrackerPage::kLineDateRole, "2024-05-15"}});
  }
  GuiDriver::FindAs<CColorListBox>(page.get(), 1112)->AddLines(std::move(batch));
  GuiDriver::FindAs<QLineEdit>(page.get(), 1028)->setText(QString::number(kLines));
  // Every read off this thread is slowed: the lines would take many seconds.
  std::atomic<int> reads{0};
  g_ADODatabase.SetStatementTrace([&reads, ui = std::this_thread::get_id()](const std::string&) {
    if (std::this_thread::get_id() == ui) return;
    ++reads;
    std::this_thread::sleep_for(200us);
  });
  GuiDriver::Click(page.get(), 1048);
  ASSERT_TRUE(GuiDriver::WaitUntil([&reads] { return reads.load() > 100; }, 10000));
  // What the close box does.
  g_bClosing = true;
  WorkerRegistry::Instance().RequestStopAll();
  PageRegistry::Instance().BeginShutdown();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(WorkerRegistry::Instance().JoinAll(1s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_TRUE(WorkerRegistry::Instance().JoinAll(30s));
  g_ADODatabase.SetStatementTrace(nullptr);
}

TEST_F(PageSearchThreadsTest, APageDestroyedWhileItsSearchRunsNeverGetsTheResult) {
  auto page = Make<CTopBranchDlg>();
  for (QTimer* timer : page->findChildren<QTimer*>()) timer->stop();  // no first showing
  WorkerLatch latch;
  page->OnQueryBigBuyers();
  ASSERT_TRUE(latch.WaitEntered());
  page.reset();
  latch.Open();
  ASSERT_TRUE(WorkerRegistry::Instance().JoinAll(10s));
  GuiDriver::WaitUntil([] { return false; }, 100);  // what the worker queued runs now
  EXPECT_TRUE(g_BranchTotals.empty());
}

}  // namespace
