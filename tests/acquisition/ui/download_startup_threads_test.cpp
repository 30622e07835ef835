// The download page's start-up run and the day's failure roads, end to end: the
// fixture server on 127.0.0.1, the real internet session, a fake clock, zero sleeps,
// and the test ticking the page's timer and draining the UI thread's events. The
// page's own timer periods are an hour, so only the test's ticks count.
#include <QApplication>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>

#include "../../support/download_page_harness.h"
#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/fixture_http_server.h"
#include "../../support/gui_driver.h"
#include "../../support/page_generator.h"
#include "../../support/recording_pages.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "acquisition/download_engine.h"
#include "acquisition/ui/download_data_dlg.h"
#include "acquisition/unset_source_guard.h"
#include "controls/ui/color_list_box.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"

namespace {

using namespace std::chrono_literals;

constexpr int kHour = 3600 * 1000;
constexpr const char* kTooEarly = "当日数据请在17:20分以后下载!!!!!";
constexpr const char* kFillInStarts = "正在补全数据........  \n";

// The session's answers, logged per URL with the time each took.
class LoggingFetcher final : public HttpFetcher {
 public:
  struct Entry {
    std::string url;
    bool opened = false;
    long status = 0;
    std::chrono::milliseconds took{0};
  };

  explicit LoggingFetcher(HttpOptions options) : fetcher_(session_, std::move(options)) {}

  HttpResult Get(const std::string& url) override {
    const auto start = std::chrono::steady_clock::now();
    HttpResult result = fetcher_.Get(url);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::lock_guard lock(mutex_);
    log_.push_back({url, result.opened, result.status, took});
    return result;
  }

  std::vector<Entry> For(const std::string& target) const {
    std::lock_guard lock(mutex_);
    std::vector<Entry> entries;
    for (const Entry& e : log_) {
      if (e.url.size() >= target.size() && e.url.compare(e.url.size() - target.size(), target.size(), target) == 0) {
        entries.push_back(e);
      }
    }
    return entries;
  }

 private:
  InternetSession session_{};
  SessionFetcher fetcher_;
  mutable std::mutex mutex_;
  std::vector<Entry> log_;
};

HttpOptions Timeouts(std::chrono::milliseconds total) {
  HttpOptions options;
  options.connectTimeout = std::min<std::chrono::milliseconds>(total, 2000ms);
  options.totalTimeout = total;
  return options;
}

MarketOptions SmallDay(int stocks) {
  MarketOptions options;
  options.minStocks = stocks;
  options.maxStocks = stocks;
  options.doubledRecords = 0;
  options.specialNames = false;
  options.specialSeatPages = false;
  return options;
}

class DownloadStartupTest : public DownloadPageTest {
 protected:
  void SetUp() override {
    DownloadPageTest::SetUp();
    clock_.Set(2017, 2, 6, 10, 0);  // a Monday morning
  }
  void TearDown() override {
    server_.Release();
    page_.reset();
    g_nDataSource = 1;
    DownloadPageTest::TearDown();
  }

  CDownloadDataDlg& MakePage(CADODataBase* db = nullptr, HttpFetcher* fetcher = nullptr) {
    DownloadPageServices services = PageServices(fetcher != nullptr ? fetcher : &fetcher_);
    if (db != nullptr) services.db = db;
    services.startupPeriodMs = kHour;
    services.runPeriodMs = kHour;
    page_ = NewPage(services, 1000, 600);
    return *page_;
  }

  MarketDay Serve(const std::string& day, int stocks = 3) {
    MarketDay model = MakeMarketDay(day, 5, SmallDay(stocks));
    server_.Route(DayListTarget(day), FixtureResponse::Ok(RenderListPage(model)));
    for (const MarketStock& stock : model.stocks) {
      server_.Route(SeatPageTarget(day, stock.code), FixtureResponse::Ok(RenderSeatPage(model, stock)));
    }
    return model;
  }

  void Tick() {
    page_->OnTimer(1);
    QApplication::processEvents();
  }

  // "今日" pressed at the clock's time, past the start-up ticks, ticked to its end.
  void RunTodayToEnd(int maxTicks = 50) {
    EndStartupRun(*page_);
    page_->OnStartDownload();
    page_->Engine()->m_nTimerTicks = 100;
    for (int tick = 0; tick < maxTicks && page_->Engine()->IsTimerRunning(); ++tick) {
      Tick();
      if (page_->Engine()->IsDayJobRunning()) {
        ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !page_->Engine()->IsDayJobRunning(); }, 20000));
      }
    }
    EXPECT_FALSE(page_->Engine()->IsTimerRunning());
    Settle();
  }

  void Settle() {
    ASSERT_TRUE(page_->Engine()->WaitForJobs(20000));
    QApplication::processEvents();
    QApplication::processEvents();
  }

  int ListRequestCount() const {
    const std::string probe = DayListTarget("");
    int n = 0;
    for (const std::string& target : server_.Targets()) {
      if (target.rfind(probe.substr(0, probe.find("startDate=")), 0) == 0) ++n;
    }
    return n;
  }

  std::vector<std::string> Lines() const { return MessageTexts(*page_); }
  int Count(const std::string& text) const {
    const auto lines = Lines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
  }
  bool HasPrefix(const std::string& prefix) const {
    for (const std::string& line : Lines()) {
      if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  bool AnyContains(const std::string& part) const {
    for (const std::string& line : Lines()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
  long long ColourOf(const std::string& text) const {
    auto* list = page_->GetDlgItemAs<CColorListBox>(1000);
    for (int i = 0; i < list->GetCount(); ++i) {
      CString line;
      list->GetText(i, line);
      if (line == text) return static_cast<long long>(list->GetItemData(i));
    }
    return -1;
  }
  QString StoredCount() const { return GuiDriver::FindAs<QLineEdit>(page_.get(), 1001)->text(); }

  int Query(const char* sql, const std::vector<DbValue>& params = {}) {
    CADORecordset rs(&builder_.Market());
    int n = -1;
    if (rs.Open(sql, params) && !rs.IsEof()) rs.GetFieldValue(0, n);
    return n;
  }

  LoggingFetcher fetcher_{Timeouts(5000ms)};
  // What a test gives its page instead; they outlive the page.
  std::unique_ptr<LoggingFetcher> shortFetcher_;
  std::unique_ptr<CADODataBase> engineDb_;
  std::unique_ptr<CDownloadDataDlg> page_;
};

// ---- Start-up ---------------------------------------------------------------------

TEST_F(DownloadStartupTest, StartupFillsInAndScansAtTick90AndWaitsForAHeldSeatPage) {
  builder_.AddListing("2017-01-20", "600001", "甲股", "原因", 1, 10, 100, {}, {}, 2);
  FixtureResponse held = FixtureResponse::Status(404, "gone");
  held.hold = true;
  server_.Route(SeatPageTarget("2017-01-20", "600001"), held);
  Serve("2017-02-03");
  auto& page = MakePage();
  ASSERT_TRUE(page.Engine()->IsTimerRunning());
  EXPECT_EQ(page.TimerInterval(1), kHour);

  for (int tick = 1; tick < 90; ++tick) Tick();
  EXPECT_EQ(Count(kFillInStarts), 0);
  EXPECT_TRUE(StoredCount().isEmpty());
  EXPECT_TRUE(server_.Targets().empty());

  Tick();  // 90
  EXPECT_EQ(page.Engine()->m_bBusy, 1);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return Count(kFillInStarts) == 1 && StoredCount() == QStringLiteral(" 1"); }));
  ASSERT_TRUE(server_.WaitForHeld(1, 5000ms));

  for (int tick = 91; tick <= 110; ++tick) Tick();  // the schedule waits for the fill-in
  EXPECT_EQ(page.Engine()->m_nTimerTicks, 110);
  EXPECT_EQ(ListRequestCount(), 0);
  EXPECT_EQ(Count(kTooEarly), 0);
  EXPECT_EQ(page.Engine()->m_nDayCounter, 0);

  server_.Release();
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return page.Engine()->m_bBusy == 0; }, 10000));
  EXPECT_EQ(Count("补全数据完毕！"), 1);

  Tick();  // today at 10:00: refused, and the run goes on
  EXPECT_EQ(Count(kTooEarly), 1);
  EXPECT_EQ(ColourOf(kTooEarly), static_cast<long long>(kLineRed));
  EXPECT_EQ(server_.CountOf(DayListTarget("2017-02-06")), 0);
  for (int tick = 0; tick < 10 && !page.Engine()->IsDayJobRunning(); ++tick) Tick();  // over the weekend
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !page.Engine()->IsDayJobRunning(); }, 20000));
  EXPECT_EQ(server_.CountOf(DayListTarget("2017-02-03")), 1);
  EXPECT_EQ(ListRequestCount(), 1);
  EXPECT_TRUE(AnyContains("第2日（“2017-02-03”）开始下载"));
  EXPECT_EQ(Query("SELECT COUNT(*) FROM StockInfo WHERE SB_Date=?", {std::string("2017-02-03")}), 3);
}

TEST_F(DownloadStartupTest, AnUnsetSourceIsToldOnceARunInRedAndAskedNothing) {
  unsetenv("VELKORDESK_SOURCE_BASE");  // every source at its compiled placeholder
  clock_.Set(2017, 2, 6, 18, 0);
  RecordingStatusBar bar;
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, &bar);
  MakePage();
  RunTodayToEnd();
  RunTodayToEnd();
  g_nDataSource = 2;  // the exchanges' bulletins walk no day either
  RunTodayToEnd();
  EXPECT_EQ(Count(kUnsetSourceLine), 4);  // the start-up run and each press, and nothing after it
  EXPECT_EQ(Lines().back(), kUnsetSourceLine);
  EXPECT_EQ(ColourOf(kUnsetSourceLine), static_cast<long long>(kLineRed));
  EXPECT_FALSE(AnyContains("开始下载") || AnyContains("下载正确"));
  EXPECT_EQ(Count("请保证网络连接正常!!!"), 0);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM DayStatus") + Query("SELECT COUNT(*) FROM TotalBuySell"), 0);
  EXPECT_EQ(bar.texts, (std::vector<std::pair<int, std::string>>(4, {0, kUnsetSourcePaneText})));
  EXPECT_TRUE(fetcher_.For("").empty());
}

TEST_F(DownloadStartupTest, WithTheSecondSourceTick90StartsOnlyTheScan) {
  g_nDataSource = 2;
  builder_.AddListing("2017-01-20", "600001", "甲股", "原因", 1, 10, 100, {}, {}, 2);
  auto& page = MakePage();
  for (int tick = 1; tick <= 90; ++tick) Tick();
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return StoredCount() == QStringLiteral(" 1"); }));
  Settle();
  EXPECT_EQ(Count(kFillInStarts), 0);
  EXPECT_EQ(page.Engine()->m_bBusy, 0);
  EXPECT_TRUE(server_.Targets().empty());
  EXPECT_EQ(Query("SELECT IsDownloadOK FROM StockInfo WHERE StockCode=?", {std::string("600001")}), 2);
}

// ---- Failures ---------------------------------------------------------------------

class DownloadFailureTest : public DownloadStartupTest {
 protected:
  void SetUp() override {
    DownloadStartupTest::SetUp();
    clock_.Set(2017, 2, 6, 18, 30);
  }
};

TEST_F(DownloadFailureTest, ASlowSeatPageTimesOutThreeTimesWithoutTheUnloadableLine) {
  const MarketDay model = Serve("2017-02-06");
  const MarketStock& slow = model.stocks[1];
  FixtureResponse late = FixtureResponse::Ok(RenderSeatPage(model, slow));
  late.delay = 1500ms;
  server_.Route(SeatPageTarget("2017-02-06", slow.code), late);
  shortFetcher_ = std::make_unique<LoggingFetcher>(Timeouts(200ms));
  MakePage(nullptr, shortFetcher_.get());
  RunTodayToEnd();
  const auto tries = shortFetcher_->For(SeatPageTarget("2017-02-06", slow.code));
  ASSERT_EQ(tries.size(), 3u);
  for (const auto& t : tries) {
    EXPECT_FALSE(t.opened);
    EXPECT_LT(t.took, 1000ms);  // the time-out ends the try, not the server
  }
  EXPECT_FALSE(AnyContains("页面无法加载"));
  EXPECT_FALSE(AnyContains("打开网页时错误"));
  EXPECT_EQ(Query("SELECT IsDownloadOK FROM StockInfo WHERE StockCode=?", {slow.code}), 2);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM StockInfo WHERE IsDownloadOK=1"), 2);
  EXPECT_TRUE(HasPrefix("下载 3 只,入数据库 2 只,下载错误。耗时："));
}

TEST_F(DownloadFailureTest, AListPageClosedMidBodyGivesTheNetworkLine) {
  const MarketDay model = Serve("2017-02-06");
  FixtureResponse cut = FixtureResponse::Ok(RenderListPage(model));
  cut.closeMidBody = true;
  server_.Route(DayListTarget("2017-02-06"), cut);
  MakePage();
  RunTodayToEnd();
  EXPECT_EQ(Count("请保证网络连接正常!!!"), 1);
  EXPECT_EQ(server_.Targets(), std::vector<std::string>{DayListTarget("2017-02-06")});  // no seat page
  EXPECT_EQ(Query("SELECT COUNT(*) FROM StockInfo"), 0);
  EXPECT_EQ(page_->Engine()->m_nDaysFetched, 0);
  EXPECT_TRUE(GuiDriver::Find(page_.get(), 1006)->isEnabled());
}

TEST_F(DownloadFailureTest, AWriteLockHeldElsewhereGivesMinus2ForEachStockAndTheErrorSummary) {
  const MarketDay model = Serve("2017-02-06", 2);
  engineDb_ = std::make_unique<CADODataBase>();
  engineDb_->SetConnectionTimeout(1);  // a short busy wait
  ASSERT_TRUE(engineDb_->Open("Data Source=" + builder_.MarketPath() + ";", "", ""));
  CADODataBase locker;
  ASSERT_TRUE(locker.Open("Data Source=" + builder_.MarketPath() + ";", "", ""));
  ASSERT_TRUE(locker.Execute("BEGIN IMMEDIATE"));

  MakePage(engineDb_.get());
  RunTodayToEnd();
  ASSERT_TRUE(locker.Execute("ROLLBACK"));
  for (const MarketStock& stock : model.stocks) {
    const std::string line = stock.code + ", 插入数据库时错误，-2 !";
    EXPECT_EQ(Count(line), 1) << stock.code;
    EXPECT_EQ(ColourOf(line), static_cast<long long>(kLineRed));
  }
  EXPECT_TRUE(HasPrefix("下载 2 只,入数据库 0 只,下载错误。耗时："));
  EXPECT_EQ(Count("2017-02-06数据需要重新下载!!!!!!!"), 1);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM StockInfo"), 0);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM TotalBuySell WHERE SB_Date=?", {std::string("2017-02-06")}), 0);
}

}  // namespace
