// The download engine without a display: its schedule over the calendar, the day
// dispatcher's refusals, the end of a run, and the failure roads of one day. A fake
// fetcher answers from a map of request targets, a queued dispatcher stands in for
// the UI thread (the test thread, which drains it), and the clock is set by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/page_generator.h"
#include "../support/queued_dispatcher.h"
#include "../support/recording_block_trades.h"
#include "../support/temp_program_folder.h"
#include "../support/zero_sleeper.h"
#include "acquisition/day_end.h"
#include "acquisition/download_engine.h"
#include "acquisition/source_hosts.h"
#include "platform/page_registry.h"
#include "platform/pages/settings_page_iface.h"
#include "platform/worker_registry.h"
#include "storage/ado_recordset.h"

namespace {

using namespace std::chrono_literals;

DownloadRequest Today() { return DownloadRequest{}; }

DownloadRequest Range(int days) {
  DownloadRequest request;
  request.kind = DownloadRequest::Kind::Range;
  request.days = days;
  return request;
}

DownloadRequest Chosen(int year, int month, int day) {
  DownloadRequest request;
  request.kind = DownloadRequest::Kind::ChosenDate;
  request.date.year = year;
  request.date.month = month;
  request.date.day = day;
  return request;
}

HttpResult Opened(long status, std::string body) {
  HttpResult result;
  result.opened = true;
  result.status = status;
  result.body = std::move(body);
  result.contentType = "text/html";
  return result;
}

HttpResult NotOpened(std::string error) {
  HttpResult result;
  result.error = std::move(error);
  return result;
}

// The data centre at an address of its own: a run reads no unset source.
const SourceHosts kHosts = [] { SourceHosts h; h.SetBase(SourceHosts::kDataCenter, "http://dc.test"); return h; }();
struct Line {
  std::string text;
  COLORREF colour = 0;
};

// Records what the page would show; the engine calls it from its workers too.
class RecordingSink final : public MessageSink {
 public:
  void addLine(const std::string& text, COLORREF colour) override {
    std::lock_guard lock(mutex_);
    lines_.push_back({text, colour});
  }
  void setProgress(const std::string& text) override {
    std::lock_guard lock(mutex_);
    progress_.push_back(text);
  }
  void setStoredDays(const std::vector<StoredDay>& rows, int count) override {
    std::lock_guard lock(mutex_);
    storedDays_.push_back({rows, count});
  }
  void setElapsed(const std::string& text) override {
    std::lock_guard lock(mutex_);
    elapsed_.push_back(text);
  }
  void setStartEnabled(bool enabled) override {
    std::lock_guard lock(mutex_);
    startEnabled_.push_back(enabled);
  }
  void startTimer(int periodMs) override {
    std::lock_guard lock(mutex_);
    timerStarts_.push_back(periodMs);
  }
  void stopTimer() override {
    std::lock_guard lock(mutex_);
    ++timerStops_;
  }
  void setStatusPane(const std::string&) override {}

  std::vector<Line> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Line& line : Lines()) texts.push_back(line.text);
    return texts;
  }
  int Count(const std::string& text) const {
    const auto lines = Lines();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const Line& l) { return l.text == text; }));
  }
  // The colour of the first line with that text; -1 when there is none.
  long long ColourOf(const std::string& text) const {
    for (const Line& line : Lines()) {
      if (line.text == text) return static_cast<long long>(line.colour);
    }
    return -1;
  }
  // The index of the first line that starts with `prefix`; -1 when none does.
  int IndexOf(const std::string& prefix) const {
    const auto lines = Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].text.rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }
  std::vector<bool> StartEnabled() const {
    std::lock_guard lock(mutex_);
    return startEnabled_;
  }
  std::vector<std::string> Elapsed() const {
    std::lock_guard lock(mutex_);
    return elapsed_;
  }
  std::vector<int> TimerStarts() const {
    std::lock_guard lock(mutex_);
    return timerStarts_;
  }
  int TimerStops() const {
    std::lock_guard lock(mutex_);
    return timerStops_;
  }
  int StoredDayCalls() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(storedDays_.size());
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Line> lines_;
  std::vector<std::string> progress_;
  std::vector<std::pair<std::vector<StoredDay>, int>> storedDays_;
  std::vector<std::string> elapsed_;
  std::vector<bool> startEnabled_;
  std::vector<int> timerStarts_;
  int timerStops_ = 0;
};

// Answers each request target (the URL past the data centre's base) from a map and
// logs every target asked for. A held target blocks its caller until Release(); every
// hold ends after a bound.
class MapFetcher final : public HttpFetcher {
 public:
  explicit MapFetcher(std::string base) : base_(std::move(base)) {}

  HttpResult Get(const std::string& url) override {
    const std::string target = url.rfind(base_, 0) == 0 ? url.substr(base_.size()) : url;
    std::unique_lock lock(mutex_);
    log_.push_back(target);
    if (held_.count(target) != 0) {
      ++holding_;
      changed_.notify_all();
      const unsigned long generation = releaseGeneration_;
      changed_.wait_for(lock, 10s, [&] { return releaseGeneration_ != generation; });
      --holding_;
    }
    const auto it = answers_.find(target);
    return it != answers_.end() ? it->second : HttpResult{};
  }

  void Answer(const std::string& target, HttpResult result) {
    std::lock_guard lock(mutex_);
    answers_[target] = std::move(result);
  }
  void Page(const std::string& target, std::string body) {
    Answer(target, Opened(200, std::move(body)));
  }
  void Hold(const std::string& target) {
    std::lock_guard lock(mutex_);
    held_.insert({target, true});
  }
  void Release() {
    std::lock_guard lock(mutex_);
    held_.clear();
    ++releaseGeneration_;
    changed_.notify_all();
  }
  bool WaitForHeld(int count, std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return holding_ >= count; });
  }
  std::vector<std::string> Targets() const {
    std::lock_guard lock(mutex_);
    return log_;
  }
  int CountOf(const std::string& target) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(log_.begin(), log_.end(), target));
  }

 private:
  const std::string base_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, HttpResult> answers_;
  std::map<std::string, bool> held_;
  std::vector<std::string> log_;
  int holding_ = 0;
  unsigned long releaseGeneration_ = 0;
};

class RecordingSettingsPage final : public ISettingsPage {
 public:
  void OnDownloadRunFinished() override { ++calls; }
  int calls = 0;
};

constexpr const char* kTooEarly = "当日数据请在17:20分以后下载!!!!!";
constexpr const char* kNetwork = "请保证网络连接正常!!!";
constexpr const char* kCustomData = "生成自定义数据..........";

MarketOptions SmallDay(int stocks = 3) {
  MarketOptions options;
  options.minStocks = stocks;
  options.maxStocks = stocks;
  options.doubledRecords = 0;
  options.specialNames = false;
  options.specialSeatPages = false;
  return options;
}

class DownloadScheduleTest : public testing::Test {
 protected:
  void SetUp() override {
    g_bClosing = false;
    pages_.SetDispatcher(&ui_);
    clock_.Set(2017, 2, 6, 18, 30);  // a Monday
  }

  void TearDown() override {
    fetcher_.Release();
    engine_.reset();
    ui_.Drain();
  }

  DownloadEngine& Engine(bool withBlockTrades = false) {
    DownloadRoadDeps deps{.clock = clock_,
                            .sleeper = sleeper_,
                            .fetcher = fetcher_,
                            .db = builder_.Market(),
                            .sink = sink_,
                            .ui = ui_,
                            .pages = pages_,
                            .workers = workers_,
                            .hosts = kHosts,
                            .blockTrades = withBlockTrades ? &trades_ : nullptr,
                            .dataSource = [] { return 1; },
                            .startupPeriodMs = 100,
                            .runPeriodMs = 60,
                            .fillInTick = 90,
                            .scheduleTick = 100,
                            .onDbWrite = {}};
    engine_ = std::make_unique<DownloadEngine>(std::move(deps));
    return *engine_;
  }

  // A made-up day served whole: its list and every seat page.
  MarketDay Serve(const std::string& day, const MarketOptions& options = SmallDay()) {
    MarketDay model = MakeMarketDay(day, 11, options);
    fetcher_.Page(DayListTarget(day), RenderListPage(model));
    for (const MarketStock& stock : model.stocks) {
      fetcher_.Page(SeatPageTarget(day, stock.code), RenderSeatPage(model, stock));
    }
    return model;
  }

  // One timer tick, then the UI thread runs until no day job is left running.
  void Tick() {
    engine_->OnTimer(1);
    ASSERT_TRUE(ui_.DrainUntil([&] { return !engine_->IsDayJobRunning(); }));
  }

  // Ticks past the start-up ticks until the run stops its timer.
  void RunToEnd(int maxTicks = 200) {
    if (engine_->m_nTimerTicks < 100) engine_->m_nTimerTicks = 100;
    for (int i = 0; i < maxTicks && engine_->IsTimerRunning(); ++i) Tick();
    EXPECT_FALSE(engine_->IsTimerRunning());
    Settle();
  }

  void Settle() {
    ASSERT_TRUE(engine_->WaitForJobs(10000));
    ui_.Drain();
  }

  std::vector<std::string> ListRequests() const {
    std::vector<std::string> days;
    for (const std::string& target : fetcher_.Targets()) {
      const std::string probe = DayListTarget("0000-00-00");
      const std::size_t at = probe.find("0000-00-00");
      if (target.size() == probe.size() && target.compare(0, at, probe, 0, at) == 0) {
        days.push_back(target.substr(at, 10));
      }
    }
    return days;
  }

  int Count(const char* sql, const std::vector<DbValue>& params = {}) {
    CADORecordset rs(&builder_.Market());
    int n = -1;
    if (rs.Open(sql, params) && !rs.IsEof()) rs.GetFieldValue(0, n);
    return n;
  }

  void StoreRows(const std::string& day, int n) {
    for (int i = 0; i < n; ++i) {
      builder_.AddListing(day, std::to_string(600100 + i), "存量" + std::to_string(i), "原因", 1, 10, 100, {}, {});
    }
  }

  FakeClock clock_;
  ZeroSleeper sleeper_;
  MapFetcher fetcher_{kHosts.DataCenter()};
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  RecordingSink sink_;
  QueuedUiDispatcher ui_;
  PageRegistry pages_;
  WorkerRegistry workers_;
  RecordingBlockTrades trades_;
  std::unique_ptr<DownloadEngine> engine_;
};

// ---- "今日" and the 17:20 rule ----------------------------------------------------

TEST_F(DownloadScheduleTest, TodayAt1719OnlyAddsTheLineAndTakesNoDay) {
  clock_.Set(2017, 2, 6, 17, 19);
  auto& engine = Engine();
  engine.OnStartDownload(Today());
  EXPECT_EQ(sink_.Texts(), std::vector<std::string>{kTooEarly});
  EXPECT_EQ(sink_.ColourOf(kTooEarly), static_cast<long long>(kLinePlain));
  EXPECT_EQ(sink_.StartEnabled(), (std::vector<bool>{false, true}));
  EXPECT_TRUE(sink_.TimerStarts().empty());
  EXPECT_FALSE(engine.IsTimerRunning());
  engine.m_nTimerTicks = 100;
  Tick();  // a stray tick takes nothing either
  EXPECT_TRUE(fetcher_.Targets().empty());
  EXPECT_EQ(engine.m_nDayCounter, 0);
}

TEST_F(DownloadScheduleTest, TodayAt1720StartsButTheDispatcherWaitsFor1721) {
  clock_.Set(2017, 2, 6, 17, 20);
  auto& engine = Engine();
  engine.OnStartDownload(Today());
  EXPECT_EQ(sink_.TimerStarts(), std::vector<int>{60});
  EXPECT_EQ(sink_.StartEnabled(), std::vector<bool>{false});  // stays disabled before 18:00
  EXPECT_TRUE(engine.IsTimerRunning());
  RunToEnd();
  EXPECT_EQ(sink_.Count(kTooEarly), 1);
  EXPECT_EQ(sink_.ColourOf(kTooEarly), static_cast<long long>(kLineRed));
  EXPECT_TRUE(ListRequests().empty());
  EXPECT_EQ(sink_.StartEnabled().back(), true);
  EXPECT_EQ(engine.m_nDaysFetched, 0);

  clock_.Set(2017, 2, 6, 17, 21);
  Serve("2017-02-06");
  engine.OnStartDownload(Today());
  RunToEnd();
  EXPECT_EQ(ListRequests(), std::vector<std::string>{"2017-02-06"});
  EXPECT_EQ(sink_.Count(kTooEarly), 1);
  EXPECT_EQ(sink_.ColourOf("Velkor数据：第1日（“2017-02-06”）开始下载: ."), static_cast<long long>(kLineBlue));
  EXPECT_EQ(engine.m_nDaysFetched, 1);
}

TEST_F(DownloadScheduleTest, TodayFrom1800ReenablesTheButtonAtOnce) {
  auto& engine = Engine();
  clock_.Set(2017, 2, 6, 18, 5);
  engine.OnStartDownload(Today());
  EXPECT_EQ(sink_.StartEnabled(), (std::vector<bool>{false, true}));  // before any tick
  EXPECT_TRUE(engine.IsTimerRunning());
  EXPECT_EQ(engine.m_nDaysWanted, 1);
  EXPECT_EQ(engine.m_bNextDay, 1);
  EXPECT_TRUE(fetcher_.Targets().empty());
}

TEST_F(DownloadScheduleTest, EveryFurtherStartIsRefusedWhileARunOrItsDayJobGoes) {
  Serve("2017-02-06");
  fetcher_.Hold(DayListTarget("2017-02-06"));
  Engine().StartStartupRun();
  engine_->OnStartDownload(Range(3));  // during the start-up run
  engine_->m_nTimerTicks = 100;
  engine_->OnTimer(1);
  ASSERT_TRUE(fetcher_.WaitForHeld(1, 5s));
  engine_->OnStartDownload(Today());  // enabled after 18:00
  engine_->OnTimer(1);                // no second day while the first is written
  EXPECT_EQ(sink_.Count("正在下载数据，请稍后再下载指定日期数据!!!"), 2);
  EXPECT_EQ(engine_->m_nDayCounter, 1);
}

// ---- Walking back over the calendar ---------------------------------------------

TEST_F(DownloadScheduleTest, ThreeDaysFromAMondayTakeMondayFridayThursdayAndEndOnTheNextStep) {
  clock_.Set(2017, 2, 13, 18, 30);
  for (const char* day : {"2017-02-13", "2017-02-10", "2017-02-09", "2017-02-08"}) Serve(day);
  auto& engine = Engine();
  engine.OnStartDownload(Range(3));
  engine.m_nTimerTicks = 100;
  for (int i = 0; i < 20 && ListRequests().size() < 3; ++i) Tick();
  ASSERT_EQ(ListRequests(), (std::vector<std::string>{"2017-02-13", "2017-02-10", "2017-02-09"}));
  EXPECT_TRUE(engine.IsTimerRunning());
  EXPECT_EQ(sink_.StartEnabled(), std::vector<bool>{false});  // a range keeps the button disabled

  Tick();  // the step that ends the run takes no day
  EXPECT_FALSE(engine.IsTimerRunning());
  EXPECT_EQ(sink_.TimerStops(), 1);
  EXPECT_EQ(engine.m_nDayCounter, 4);
  Settle();
  EXPECT_EQ(ListRequests().size(), 3u);
  EXPECT_EQ(sink_.StartEnabled().back(), true);
  for (const std::string& target : fetcher_.Targets()) {
    EXPECT_EQ(target.find("2017-02-12"), std::string::npos);
    EXPECT_EQ(target.find("2017-02-11"), std::string::npos);
  }
  for (const Line& line : sink_.Lines()) EXPECT_EQ(line.text.find("节假日"), std::string::npos) << line.text;
  EXPECT_EQ(engine.m_nDaysFetched, 3);
}

TEST_F(DownloadScheduleTest, ARunOverJanuary27AddsItsRedLineAndGoesOnWithJanuary26) {
  clock_.Set(2017, 1, 30, 18, 30);  // a Monday in the holiday table
  Serve("2017-01-26");
  Serve("2017-01-25");
  auto& engine = Engine();
  engine.OnStartDownload(Range(2));
  RunToEnd();
  EXPECT_EQ(ListRequests(), (std::vector<std::string>{"2017-01-26", "2017-01-25"}));
  for (const char* holiday : {"2017-01-30", "2017-01-27"}) {
    EXPECT_EQ(sink_.ColourOf(std::string(holiday) + ", 节假日无数据!!!!!"), static_cast<long long>(kLineRed)) << holiday;
  }
  EXPECT_EQ(sink_.Count("2017-01-29, 节假日无数据!!!!!"), 0);  // a weekend is skipped silently
  const int holidayAt = sink_.IndexOf("2017-01-27, 节假日无数据!!!!!");
  const int dayAt = sink_.IndexOf("Velkor数据：第1日（“2017-01-26”）开始下载: .");
  ASSERT_GE(dayAt, 0);
  EXPECT_LT(holidayAt, dayAt);
}

// ---- A chosen date --------------------------------------------------------------

TEST_F(DownloadScheduleTest, AChosenSaturdayOnlyAddsTheRestDayLine) {
  auto& engine = Engine();
  engine.OnStartDownload(Chosen(2017, 2, 4));
  Settle();
  EXPECT_EQ(sink_.Texts(), std::vector<std::string>{"今天是休息时间，不营业!!!"});
  EXPECT_TRUE(fetcher_.Targets().empty());
  EXPECT_TRUE(sink_.TimerStarts().empty());
  EXPECT_EQ(sink_.StoredDayCalls(), 0);  // nor a scan
  EXPECT_EQ(sink_.StartEnabled(), (std::vector<bool>{false, true}));
}

TEST_F(DownloadScheduleTest, AChosenHolidayIsDownloadedWithoutATimer) {
  Serve("2017-01-27");
  auto& engine = Engine();
  engine.OnStartDownload(Chosen(2017, 1, 27));
  ASSERT_TRUE(ui_.DrainUntil([&] { return !engine.IsDayJobRunning(); }));
  Settle();
  EXPECT_EQ(ListRequests(), std::vector<std::string>{"2017-01-27"});
  EXPECT_TRUE(sink_.TimerStarts().empty());
  EXPECT_GE(sink_.StoredDayCalls(), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM StockInfo WHERE SB_Date=?", {std::string("2017-01-27")}), 3);
}

TEST_F(DownloadScheduleTest, AChosenDateIsRefusedWhileADayJobRuns) {
  Serve("2017-02-06");
  Serve("2017-02-03");
  fetcher_.Hold(DayListTarget("2017-02-06"));
  auto& engine = Engine();
  engine.OnStartDownload(Today());
  engine.m_nTimerTicks = 100;
  engine.OnTimer(1);
  ASSERT_TRUE(fetcher_.WaitForHeld(1, 5s));
  ASSERT_TRUE(engine.IsDayJobRunning());

  engine.OnStartDownload(Chosen(2017, 2, 3));
  const std::string refused = "正在下载数据，请稍后再下载指定日期数据!!!";
  EXPECT_EQ(sink_.ColourOf(refused), static_cast<long long>(kLineRed));
  fetcher_.Release();
  ASSERT_TRUE(ui_.DrainUntil([&] { return !engine.IsDayJobRunning(); }));
  Settle();
  EXPECT_EQ(ListRequests(), std::vector<std::string>{"2017-02-06"});
  EXPECT_EQ(sink_.Count(refused), 1);
}

TEST_F(DownloadScheduleTest, AChosenDateIsRefusedWhileTheFillInRuns) {
  builder_.AddListing("2017-01-20", "600001", "甲股", "原因", 1, 10, 100, {}, {}, 2);
  fetcher_.Hold(SeatPageTarget("2017-01-20", "600001"));
  Serve("2017-02-03");
  auto& engine = Engine();
  engine.OnFillMissing();
  ASSERT_TRUE(fetcher_.WaitForHeld(1, 5s));
  engine.OnStartDownload(Chosen(2017, 2, 3));
  EXPECT_EQ(sink_.ColourOf("正在下载数据，请稍后再下载指定日期数据!!!"), static_cast<long long>(kLineRed));
  fetcher_.Release();
  ASSERT_TRUE(ui_.DrainUntil([&] { return engine.m_bBusy == 0; }));
  Settle();
  EXPECT_TRUE(ListRequests().empty());
}

// ---- Stored days ----------------------------------------------------------------

TEST_F(DownloadScheduleTest, ADayStoppedByTheCloseWritesNoTotalsAndTheNextRunCompletesIt) {
  const MarketDay model = Serve("2017-02-06", SmallDay(60));
  fetcher_.Hold(SeatPageTarget("2017-02-06", model.stocks[static_cast<std::size_t>(model.records[30].stock)].code));
  Engine().OnStartDownload(Today());
  engine_->m_nTimerTicks = 100;
  engine_->OnTimer(1);
  ASSERT_TRUE(fetcher_.WaitForHeld(1, 5s));
  g_bClosing = true;  // the close box; a killed process leaves the same rows
  fetcher_.Release();
  Settle();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM TotalBuySell"), 0);
  g_bClosing = false;  // the next start
  Engine().OnStartDownload(Today());
  RunToEnd();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM StockInfo WHERE IsDownloadOK=1"), 60);  // the key keeps each stock once
  EXPECT_EQ(Count("SELECT Today_ShangBang FROM TotalBuySell WHERE SB_Date=?", {"2017-02-06"}), 60);
  EXPECT_TRUE(IsDayComplete(builder_.Market(), "2017-02-06"));
  for (const Line& line : sink_.Lines()) EXPECT_EQ(line.text.find("插入数据库时错误"), std::string::npos) << line.text;
  EXPECT_EQ(sink_.Count("2017-02-06：已有31只，补下载29只"), 1);
}

// ---- The end of a run ------------------------------------------------------------

TEST_F(DownloadScheduleTest, TheRunsElapsedTimeCountsFromTheLastDayStart) {
  Serve("2017-02-06");
  auto& engine = Engine();
  engine.OnStartDownload(Today());
  engine.m_nTimerTicks = 100;
  clock_.AdvanceMs(500);
  Tick();  // 2017-02-06 starts at 500 ms
  ASSERT_EQ(engine.m_nDaysFetched, 1);
  clock_.AdvanceMs(3'725'042);
  RunToEnd();
  EXPECT_EQ(sink_.Elapsed(), std::vector<std::string>{"1时2分5秒42毫秒"});
}

TEST_F(DownloadScheduleTest, BlockTradesAreAskedOnceForTheMonthAndTheSettingsPageOnlyAfterTheyEnded) {
  RecordingSettingsPage settings;
  pages_.Publish<ISettingsPage>(PageSlot::Setting, &settings);
  for (int row = 1; row <= 3; ++row) {  // three rows are not enough
    builder_.AddTrade("2017-02-06", "600000", "股票", row, 10, 9, 1000, 900, "买方", "卖方");
  }
  Serve("2017-02-06");
  auto& engine = Engine(true);
  engine.OnStartDownload(Today());
  RunToEnd();
  ASSERT_EQ(trades_.Months(), std::vector<std::string>{"201702"});
  EXPECT_EQ(settings.calls, 0);
  EXPECT_EQ(sink_.Count(kCustomData), 0);

  ASSERT_TRUE(trades_.End());
  ui_.Drain();
  EXPECT_EQ(settings.calls, 1);
  EXPECT_EQ(sink_.Count(kCustomData), 1);
  EXPECT_EQ(sink_.ColourOf(kCustomData), static_cast<long long>(kLineBlue));
  EXPECT_EQ(trades_.Months().size(), 1u);
}

TEST_F(DownloadScheduleTest, BlockTradesOfEveryMonthTheRunStoredADayInAreAskedOldestFirst) {
  clock_.Set(2017, 3, 1, 18, 30);
  for (const char* day : {"2017-03-01", "2017-02-28", "2017-02-27"}) Serve(day);
  Engine(true).OnStartDownload(Range(3));
  RunToEnd();
  ASSERT_TRUE(trades_.End(0));  // one month at a time
  EXPECT_EQ(trades_.Months(), (std::vector<std::string>{"201702", "201703"}));
}

TEST_F(DownloadScheduleTest, BlockTradesAreNotAskedWhenNothingWasFetched) {
  auto& engine = Engine(true);  // every page fails to open
  engine.OnStartDownload(Range(3));
  RunToEnd();
  EXPECT_EQ(sink_.Count(kNetwork), 3);
  EXPECT_EQ(engine.m_nDaysFetched, 0);
  EXPECT_TRUE(trades_.Months().empty());
  EXPECT_EQ(sink_.Count(kCustomData), 0);
}

TEST_F(DownloadScheduleTest, BlockTradesAreNotAskedWhenTodayHoldsFourRows) {
  for (int row = 1; row <= 4; ++row) {
    builder_.AddTrade("2017-02-06", "600000", "股票", row, 10, 9, 1000, 900, "买方", "卖方");
  }
  Serve("2017-02-06");
  auto& engine = Engine(true);
  engine.OnStartDownload(Today());
  RunToEnd();
  EXPECT_EQ(engine.m_nDaysFetched, 1);
  EXPECT_TRUE(trades_.Months().empty());
}

// ---- The day's failure roads -----------------------------------------------------

TEST_F(DownloadScheduleTest, AListPageWithoutARecordArrayGivesTheTwoLinesAndNoSeatRequest) {
  fetcher_.Page(DayListTarget("2017-02-06"), "var data_tab_1={\"success\":false,\"data\":null}");
  auto& engine = Engine();
  engine.OnStartDownload(Today());
  RunToEnd();
  const std::string noList = "节假日无Velkor数据 或 网页数据有变化!!!";
  const int at = sink_.IndexOf(noList);
  ASSERT_GE(at, 0);
  const auto lines = sink_.Lines();
  ASSERT_LT(static_cast<std::size_t>(at + 1), lines.size());
  EXPECT_EQ(lines[at].colour, kLineRed);
  EXPECT_EQ(lines[at + 1].text, kNetwork);
  EXPECT_EQ(lines[at + 1].colour, kLinePlain);
  EXPECT_EQ(fetcher_.Targets(), std::vector<std::string>{DayListTarget("2017-02-06")});
  EXPECT_EQ(Count("SELECT COUNT(*) FROM StockInfo"), 0);
  EXPECT_EQ(engine.m_nDaysFetched, 0);
}

TEST_F(DownloadScheduleTest, ARecordLackingAKeyIsSkippedAndTheDayEndsInError) {
  const std::string day = "2017-02-06";
  const MarketDay model = MakeMarketDay(day, 11, SmallDay(3));
  std::string list = RenderListPage(model);
  const std::size_t key = list.find("\"Chgradio\":\"");  // in the first record
  ASSERT_NE(key, std::string::npos);
  list.erase(key, list.find("\",", key) + 2 - key);
  fetcher_.Page(DayListTarget(day), list);
  for (const MarketStock& stock : model.stocks) fetcher_.Page(SeatPageTarget(day, stock.code), RenderSeatPage(model, stock));
  const MarketStock& skipped = model.stocks[static_cast<std::size_t>(model.records[0].stock)];

  auto& engine = Engine();
  engine.OnStartDownload(Today());
  RunToEnd();
  const std::string line = "第1条记录缺少Chgradio字段，已跳过!";
  EXPECT_EQ(sink_.Count(line), 1);
  EXPECT_EQ(sink_.ColourOf(line), static_cast<long long>(kLineRed));
  EXPECT_EQ(fetcher_.CountOf(SeatPageTarget(day, skipped.code)), 0);
  EXPECT_GE(sink_.IndexOf("下载 3 只,入数据库 2 只,下载错误。耗时："), 0);
  EXPECT_EQ(sink_.Count(day + "数据需要重新下载!!!!!!!"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM StockInfo WHERE StockCode=?", {skipped.code}), 0);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM StockInfo WHERE IsDownloadOK=1"), 2);
}

TEST_F(DownloadScheduleTest, ASeatPageAnswering404ThreeTimesGivesThreeLinesThenTheUnloadableLine) {
  const std::string day = "2017-02-06";
  const MarketDay model = Serve(day);
  const MarketStock& broken = model.stocks[1];
  fetcher_.Answer(SeatPageTarget(day, broken.code), Opened(404, "gone"));
  auto& engine = Engine();
  engine.OnStartDownload(Today());
  RunToEnd();
  EXPECT_EQ(fetcher_.CountOf(SeatPageTarget(day, broken.code)), 3);
  EXPECT_EQ(sink_.Count("打开网页时错误! -21"), 3);
  EXPECT_EQ(sink_.ColourOf("打开网页时错误! -21"), static_cast<long long>(kLineRed));
  const std::string unloadable = broken.storedName + " ,nResult=-21, 第 3 次访问,您访问的页面无法加载!\n";
  EXPECT_EQ(sink_.Count(unloadable), 1);
  EXPECT_EQ(sink_.ColourOf(unloadable), static_cast<long long>(kLineBlue));
  EXPECT_EQ(Count("SELECT IsDownloadOK FROM StockInfo WHERE StockCode=?", {broken.code}), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM StockInfo WHERE IsDownloadOK=1"), 2);
  EXPECT_GE(sink_.IndexOf("下载 3 只,入数据库 2 只,下载错误。耗时："), 0);
  const auto waits = sleeper_.Waits();
  EXPECT_EQ(std::count(waits.begin(), waits.end(), 100), 2);  // between the three tries
}

TEST_F(DownloadScheduleTest, ASeatPageThatNeverOpensGivesNoUnloadableLineAndAnIncompleteRow) {
  const std::string day = "2017-02-06";
  const MarketDay model = Serve(day);
  const MarketStock& broken = model.stocks[0];
  fetcher_.Answer(SeatPageTarget(day, broken.code), NotOpened("timed out"));
  auto& engine = Engine();
  engine.OnStartDownload(Today());
  RunToEnd();
  EXPECT_EQ(fetcher_.CountOf(SeatPageTarget(day, broken.code)), 3);
  for (const Line& line : sink_.Lines()) {
    EXPECT_EQ(line.text.find("页面无法加载"), std::string::npos) << line.text;
    EXPECT_EQ(line.text.find("-21"), std::string::npos) << line.text;
  }
  EXPECT_EQ(Count("SELECT IsDownloadOK FROM StockInfo WHERE StockCode=?", {broken.code}), 2);
  EXPECT_GE(sink_.IndexOf("下载 3 只,入数据库 2 只,下载错误。耗时："), 0);
  const auto waits = sleeper_.Waits();
  EXPECT_GE(std::count(waits.begin(), waits.end(), 100), 2);
}

// ---- The fill-in -----------------------------------------------------------------

TEST_F(DownloadScheduleTest, ASecondFillInWhileOneRunsIsRefused) {
  builder_.AddListing("2017-01-20", "600001", "甲股", "原因", 1, 10, 100, {}, {}, 2);
  fetcher_.Hold(SeatPageTarget("2017-01-20", "600001"));
  auto& engine = Engine();
  engine.OnFillMissing();
  ASSERT_TRUE(fetcher_.WaitForHeld(1, 5s));
  engine.OnFillMissing();
  EXPECT_EQ(sink_.Count("补全数据正在进行中!!!"), 1);
  EXPECT_EQ(sink_.ColourOf("补全数据正在进行中!!!"), static_cast<long long>(kLineRed));
  fetcher_.Release();
  ASSERT_TRUE(ui_.DrainUntil([&] { return engine.m_bBusy == 0; }));
  Settle();
  EXPECT_EQ(fetcher_.CountOf(SeatPageTarget("2017-01-20", "600001")), 1);
  EXPECT_EQ(sink_.Count("正在补全数据........  \n"), 1);
  EXPECT_EQ(sink_.Count("补全数据完毕！"), 1);
  EXPECT_EQ(sink_.Count("补全数据失败：: 2017-01-20, 600001 甲股。 "), 1);  // nothing served
}

TEST_F(DownloadScheduleTest, AFillInWithoutIncompleteRowsWritesOnlyItsFirstAndLastLines) {
  StoreRows("2017-02-03", 2);
  auto& engine = Engine();
  engine.OnFillMissing();
  EXPECT_EQ(engine.m_bBusy, 1);
  ASSERT_TRUE(ui_.DrainUntil([&] { return engine.m_bBusy == 0; }));
  Settle();
  EXPECT_EQ(sink_.Texts(), (std::vector<std::string>{"正在补全数据........  \n", "补全数据完毕！"}));
  EXPECT_TRUE(fetcher_.Targets().empty());
}

// ---- The queued dispatcher the tests above rely on --------------------------------

TEST(QueuedUiDispatcherTest, AWaitingCallerReturnsWhenDrainedAndIsReleasedByShutdown) {
  QueuedUiDispatcher ui;
  int ran = 0;
  bool first = false;
  std::thread worker([&] { first = ui.RunOnUi([&] { ++ran; }, true); });
  ASSERT_TRUE(ui.DrainUntil([&] { return ran == 1; }, 5s));
  worker.join();
  EXPECT_TRUE(first);

  bool second = true;
  std::thread waiting([&] { second = ui.RunOnUi([&] { ++ran; }, true); });
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (ui.Pending() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(ui.Pending(), 1);  // queued, not run
  ui.BeginShutdown();
  waiting.join();
  EXPECT_FALSE(second);
  EXPECT_EQ(ui.Drain(), 0);
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(ui.RunOnUi([&] { ++ran; }, false));
}

}  // namespace

// ---- A day job that lingers after its release ----------------------------------

namespace {

// Posts from a worker are queued, then the worker is held until the test lets it go:
// the day job's release has reached the UI thread while its thread is still alive.
class LingeringDispatcher final : public IUiDispatcher {
 public:
  explicit LingeringDispatcher(QueuedUiDispatcher& inner) : inner_(inner) {}
  bool IsUiThread() const override { return inner_.IsUiThread(); }
  bool RunOnUi(std::function<void()> fn, bool wait) override {
    const bool ok = inner_.RunOnUi(std::move(fn), wait);
    if (!inner_.IsUiThread()) {
      std::unique_lock lock(mutex_);
      released_.wait_for(lock, std::chrono::seconds(10), [&] { return letGo_; });
    }
    return ok;
  }
  void BeginShutdown() override { inner_.BeginShutdown(); }
  void LetGo() {
    std::lock_guard lock(mutex_);
    letGo_ = true;
    released_.notify_all();
  }

 private:
  QueuedUiDispatcher& inner_;
  std::mutex mutex_;
  std::condition_variable released_;
  bool letGo_ = false;
};

}  // namespace

TEST_F(DownloadScheduleTest, TheNextDayStartsWhileTheLastJobIsStillEnding) {
  Serve("2017-02-06");
  Serve("2017-02-03");
  LingeringDispatcher lingering(ui_);
  DownloadRoadDeps deps{.clock = clock_,
                          .sleeper = sleeper_,
                          .fetcher = fetcher_,
                          .db = builder_.Market(),
                          .sink = sink_,
                          .ui = lingering,
                          .pages = pages_,
                          .workers = workers_,
                          .hosts = kHosts,
                          .onDbWrite = {}};
  engine_ = std::make_unique<DownloadEngine>(std::move(deps));
  DownloadRequest twoDays;
  twoDays.kind = DownloadRequest::Kind::Range;
  twoDays.days = 2;
  engine_->OnStartDownload(twoDays);
  engine_->m_nTimerTicks = 100;
  engine_->OnTimer(1);  // takes 2017-02-06
  ASSERT_TRUE(ui_.DrainUntil([&] { return !engine_->IsDayJobRunning(); }));
  // The first job's thread is held inside its last post; the next ticks (over the
  // weekend) must still start the next day instead of losing it.
  for (int i = 0; i < 4 && !engine_->IsDayJobRunning(); ++i) engine_->OnTimer(1);
  EXPECT_TRUE(engine_->IsDayJobRunning());
  EXPECT_EQ(engine_->m_strDownloadDate, "2017-02-03");
  lingering.LetGo();
  ASSERT_TRUE(ui_.DrainUntil([&] { return !engine_->IsDayJobRunning(); }));
  Settle();
  EXPECT_EQ(ListRequests(), (std::vector<std::string>{"2017-02-06", "2017-02-03"}));
  EXPECT_GE(Count("SELECT COUNT(*) FROM StockInfo WHERE SB_Date=?", {"2017-02-03"}), 1);
}
