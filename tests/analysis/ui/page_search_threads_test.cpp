#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTimer>
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/market_generator.h"
#include "../../support/queued_dispatcher.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "analysis/tracker_searches.h"
#include "analysis/ui/page_search.h"
#include "analysis/ui/stock_active_dlg.h"
#include "analysis/ui/sustained_buy_dlg.h"
#include "analysis/ui/top_branch_dlg.h"
#include "analysis/ui/tracker_page.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/side_by_side.h"
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

// While it lives (and `refuse` holds), the system refuses every new thread: each asks
// for more stack than there is.
struct ThreadsRefused {
  explicit ThreadsRefused(bool refuse) : refuse(refuse) {
    pthread_getattr_default_np(&saved);
    pthread_attr_t huge = saved;
    if (refuse) pthread_attr_setstacksize(&huge, std::size_t{1} << 45);
    if (refuse) pthread_setattr_default_np(&huge);
  }
  ~ThreadsRefused() {
    if (refuse) pthread_setattr_default_np(&saved);
  }
  bool refuse;
  pthread_attr_t saved;
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

// A keyword press refused while the exact search streams leaves the stream alone: its
// later batches are appended, and the list and 总上榜次数 end with every line.
TEST_F(PageSearchThreadsTest, AKeywordPressRefusedWhileASearchStreamsKeepsEveryLine) {
  GenerateMarket(builder_, MarketShape{.tradingDays = 180, .institutionShare = 0.5, .daysPerTransaction = 60});
  const std::vector<TrackerLine> whole = *BuildBranchSearch(g_ADODatabase, clock_, "机构专用").lines;
  ASSERT_GT(whole.size(), kTrackerFirstChunkLines + kTrackerChunkLines);
  QueuedUiDispatcher queued;
  ResetPageTestState(queued);
  auto page = Make<CTrackerPage>();
  auto* team1 = GuiDriver::FindAs<QLineEdit>(page.get(), 1017);
  team1->setText(QStringLiteral("机构专用"));
  GuiDriver::DoubleClick(team1);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return queued.Pending() >= 2; }, 30000));
  queued.Drain(1);  // the first screenful; the next batch waits behind it
  GuiDriver::Click(page.get(), 1150);
  ASSERT_TRUE(queued.DrainUntil([&] { return !page->IsSearchRunning(); }, 30s));
  EXPECT_TRUE(page->ResultLines() == whole);
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(page.get(), 1000)->text().toStdString(), std::to_string(whole.size()));
}

TEST_F(PageSearchThreadsTest, ASeatClickedWhileASearchRunsLeavesBothTeams) {
  auto page = Make<CTrackerPage>();
  page->OnTrackBranch("机构专用");  // the first line's ten seats
  ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
  auto* seats = GuiDriver::FindAs<CColorListCtrl>(page.get(), 1113);
  WorkerLatch latch;
  page->SearchBranch("机构专用");
  ASSERT_TRUE(latch.WaitEntered());
  GuiDriver::Click(seats->viewport(), Qt::LeftButton, GuiDriver::CellCentre(seats, 0, 1));
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(page.get(), 1017)->text(), QStringLiteral("机构专用"));
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(page.get(), 1016)->text(), QStringLiteral("中信证券股份有限公司杭州四季路证券营业部"));
  latch.Open();
  ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
}

// A part of the keyword search that fails (as one whose thread the system refuses
// throws): pane 1 says the search failed, no line or figure of the search before stays,
// and the next search runs.
TEST_F(PageSearchThreadsTest, AKeywordSearchWhosePartFailsSaysItFailedAndKeepsNoOldLines) {
  if (SideBySideParts() < 2) GTEST_SKIP() << "the search runs in one part";
  GenerateMarket(builder_, CrowdedMarketShape(9, 20));  // days enough for every part
  RecordingStatusBar bar;
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, &bar);
  auto page = Make<CTrackerPage>();
  GuiDriver::FindAs<QLineEdit>(page.get(), 1017)->setText(QStringLiteral("营业部"));
  for (const bool refused : {false, true, false}) {
    side_by_side_testing::SetBeforePart([refused](unsigned part) {
      if (refused && part == 1) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    const auto unhook = qScopeGuard([] { side_by_side_testing::SetBeforePart(nullptr); });
    GuiDriver::Click(page.get(), 1150);
    ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
    EXPECT_EQ(page->ResultLines().empty(), refused);
    EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(page.get(), 1000)->text().isEmpty(), refused);
    EXPECT_EQ(bar.texts.back().second, refused ? "查询失败，请重试" : kWorkingPaneText);
  }
}

// A search whose worker gets no thread, or whose computation throws whatever it throws,
// ends; pane 1 says it failed, and the next one runs.
TEST_F(PageSearchThreadsTest, ASearchWhoseComputationThrowsSaysItFailed) {
  RecordingStatusBar bar;
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, &bar);
  PageSearch search("Throwing");
  int shown = 0;
  {
    const ThreadsRefused refuse(true);
    EXPECT_FALSE(search.Start(false, [] { return 1; }, [&](int& n) { shown += n; }));
  }
  EXPECT_EQ(bar.texts.back().second, "查询失败，请重试");
  const std::pair<std::function<int()>, std::string> runs[] = {
      {[]() -> int { throw std::bad_alloc(); }, "查询失败，请重试"},
      {[]() -> int { throw 42; }, "查询失败，请重试"},  // no std::exception
      {[] { return 1; }, kWorkingPaneText}};
  for (const auto& [compute, pane] : runs) {
    ASSERT_TRUE(search.Start(false, compute, [&](int& n) { shown += n; }));
    ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !search.IsRunning(); }));
    EXPECT_EQ(bar.texts.back().second, pane);
  }
  EXPECT_EQ(shown, 1);
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
  GuiDriver::Click(page.get(), 1092);  // the repeat-buy ratio: later merges keep their sort
  EXPECT_EQ(page->SortMode(), kBranchSortByTotalBuy);
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
    // The continuous-buying page's choice, refused by the ranking, leaves that page too.
    g_Settings.YouZiChiXuBuy = 0;
    auto sustained = Make<CSustainedBuyDlg>();
    auto* sustainedCombo = GuiDriver::FindAs<QComboBox>(sustained.get(), CSustainedBuyDlg::kDaysComboId);
    sustainedCombo->setCurrentIndex(2);
    emit sustainedCombo->activated(2);
    EXPECT_EQ(sustainedCombo->currentIndex(), 0);
    EXPECT_EQ(g_Settings.YouZiChiXuBuy, 0);
    EXPECT_EQ(page->WalkCount(), 1);
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
