#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/gui_driver.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "analysis/branch_fold.h"
#include "analysis/tracker_searches.h"
#include "analysis/ui/top_branch_dlg.h"
#include "analysis/ui/tracker_page.h"
#include "controls/ui/color_list_box.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"

namespace {

using namespace std::chrono_literals;

const std::string kGuotai = "国泰君安证券股份有限公司上海江苏路证券营业部";
const std::string kHuatai = "华泰证券股份有限公司深圳益田路荣超商务中心证券营业部";

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

// Holds every statement run off the test's thread until the test opens the latch, and
// notes the threads that ran them.
class WorkerLatch {
 public:
  explicit WorkerLatch(CADODataBase& db) : db_(db), ui_(std::this_thread::get_id()) {
    db.SetStatementTrace([this](const std::string&) {
      if (std::this_thread::get_id() != ui_) Enter();
    });
  }
  ~WorkerLatch() { db_.SetStatementTrace(nullptr); }
  bool WaitEntered() {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, 10s, [&] { return !threads_.empty(); });
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  std::size_t Threads() {
    std::lock_guard lock(mutex_);
    return threads_.size();
  }

 private:
  void Enter() {
    std::unique_lock lock(mutex_);
    threads_.insert(std::this_thread::get_id());
    cv_.notify_all();
    cv_.wait_for(lock, 10s, [&] { return open_; });  // bounded: a failing test cannot hang
  }

  CADODataBase& db_;
  const std::thread::id ui_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::set<std::thread::id> threads_;
  bool open_ = false;
};

class PageSearchThreadsTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetPageTestState(dispatcher_);
    MessageBoxHook::Instance().StartRecording();
    g_BranchTotals.Clear();
    for (const std::string day : {"2024-05-15", "2024-05-14", "2024-05-13"}) {
      builder_.AddListing(day, "600000", "浦发银行", "日涨幅偏离值达7%的证券", 9.98, 10.5, 50000,
                          {{{kGuotai, 9000, 100}, {kHuatai, 2500, 0}, {"机构专用", 2000, 0}, {}, {}}},
                          {{{kHuatai, 0, 1200}, {}, {}, {}, {}}});
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
    for (QTimer* timer : page->template findChildren<QTimer*>()) timer->stop();
    return page;
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_{2024, 5, 15};
  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder builder_{folder_.Path()};
  PageServices services_;
};

TEST_F(PageSearchThreadsTest, AKeywordSearchRunsOnAWorkerRefusesASecondPressAndListsTheSynchronousLines) {
  auto page = Make<CTrackerPage>();
  auto* team1 = GuiDriver::FindAs<QLineEdit>(page.get(), 1017);
  team1->setText(QStringLiteral("营业部"));
  {
    WorkerLatch latch(g_ADODatabase);
    GuiDriver::Click(page.get(), 1150);
    ASSERT_TRUE(latch.WaitEntered());
    EXPECT_TRUE(page->IsSearchRunning());
    // While it runs, the other searches of the page are ignored.
    team1->setText(ToQString(kGuotai));
    GuiDriver::Click(page.get(), 1150);
    GuiDriver::DoubleClick(team1);
    GuiDriver::Click(page.get(), 1140);
    GuiDriver::Click(page.get(), 1048);
    latch.Open();
    ASSERT_TRUE(GuiDriver::WaitForSearch(*page));
    EXPECT_EQ(latch.Threads(), 1u);
  }
  const TrackerSearchResult expected = SearchBranchKeyword(g_ADODatabase, clock_, "营业部");
  ASSERT_TRUE(expected.lines.has_value());
  EXPECT_EQ(page->ResultLines(), *expected.lines);
  EXPECT_FALSE(page->IsSearchRunning());
}

TEST_F(PageSearchThreadsTest, APageDestroyedWhileItsSearchRunsNeverGetsTheResult) {
  auto page = Make<CTopBranchDlg>();
  WorkerLatch latch(g_ADODatabase);
  page->OnQueryBigBuyers();
  ASSERT_TRUE(latch.WaitEntered());
  EXPECT_TRUE(page->IsBusy());
  page.reset();
  latch.Open();
  ASSERT_TRUE(WorkerRegistry::Instance().JoinAll(10s));
  GuiDriver::WaitUntil([] { return false; }, 100);  // whatever the worker queued runs now
  EXPECT_TRUE(g_BranchTotals.empty());
}

TEST_F(PageSearchThreadsTest, ClosingWhileASearchRunsEndsItsWorkerAndShowsNothing) {
  auto page = Make<CTopBranchDlg>();
  WorkerLatch latch(g_ADODatabase);
  page->OnQueryBigBuyers();
  ASSERT_TRUE(latch.WaitEntered());
  g_bClosing = true;
  WorkerRegistry::Instance().RequestStopAll();
  PageRegistry::Instance().BeginShutdown();
  latch.Open();
  EXPECT_TRUE(WorkerRegistry::Instance().JoinAll(10s));
  GuiDriver::WaitUntil([] { return false; }, 100);
  EXPECT_TRUE(g_BranchTotals.empty());
  page.reset();
}

}  // namespace
