// The start-up download run over 50 trading days, through the download page with its
// own 100 ms timer, real sleeps and the fixture server (no injected latency), against
// the floor that the schedule itself imposes:
//   100 start-up ticks
//   + one period for each step that downloads nothing (a weekend day, a holiday)
//   + for each downloaded day, its fixed sleeps rounded up to whole periods (at least
//     one period: the next day starts on the tick after the day's release).
// The run ends on the tick of its last step, so that step adds nothing.
// Beside the ratio it prints the time spent in database writes (commits included, the
// writer's pause before each transaction left out) and its share of the wall time.
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../tests/support/db_builder.h"
#include "../tests/support/fixture_http_server.h"
#include "../tests/support/page_generator.h"
#include "../tests/support/temp_program_folder.h"
#include "acquisition/download_engine.h"
#include "acquisition/trading_calendar.h"
#include "acquisition/ui/download_data_dlg.h"
#include "bench.h"
#include "bench_app.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"

namespace {

constexpr int kDays = 50;
constexpr int kPeriodMs = 100;
constexpr int kStartupTicks = 100;
constexpr std::uint32_t kSeed = 20170630;

using SteadyClock = std::chrono::steady_clock;

// A fixed evening on a Friday, with a real steady clock.
class FixedDayClock final : public IClock {
 public:
  LocalTime Now() const override {
    LocalTime now = CivilFromDays(DaysFromCivil(2017, 6, 30));
    now.hour = 19;
    return now;
  }
  std::int64_t SteadyMs() const override { return real_.SteadyMs(); }

 private:
  SystemClock real_;
};

// The day-list requests mark which day a worker thread is downloading; the real sleeps
// are added to that day. Each thread also remembers its last few sleeps, so that a
// measured database write can leave out the pause the writer takes inside it.
class DayMeter final : public HttpFetcher, public ISleeper {
 public:
  explicit DayMeter(HttpFetcher& inner) : inner_(inner) {}

  HttpResult Get(const std::string& url) override {
    if (url.find("/TradeDetail/") != std::string::npos) {
      std::lock_guard lock(mutex_);
      thisThread().day = static_cast<int>(daySleepMs_.size());
      daySleepMs_.push_back(0);
    }
    ++requests_;
    return inner_.Get(url);
  }

  void Sleep(int milliseconds) override {
    const auto start = SteadyClock::now();
    real_.Sleep(milliseconds);
    ThreadState& state = thisThread();
    state.recent.push_back({start, SteadyClock::now()});
    if (state.recent.size() > 8) state.recent.pop_front();
    if (state.day >= 0) {
      std::lock_guard lock(mutex_);
      daySleepMs_[static_cast<std::size_t>(state.day)] += milliseconds;
    }
  }

  // A write of `seconds` has just ended on this thread: its time less the sleeps in it.
  void OnDbWrite(double seconds) {
    const auto end = SteadyClock::now();
    const auto begin = end - std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
    double slept = 0;
    for (const Interval& s : thisThread().recent) {
      const auto from = std::max(s.from, begin);
      const auto to = std::min(s.to, end);
      if (to > from) slept += std::chrono::duration<double>(to - from).count();
    }
    std::lock_guard lock(mutex_);
    dbSeconds_ += std::max(0.0, seconds - slept);
  }

  std::vector<int> DaySleepMs() const {
    std::lock_guard lock(mutex_);
    return daySleepMs_;
  }
  double DbSeconds() const {
    std::lock_guard lock(mutex_);
    return dbSeconds_;
  }
  int Requests() const { return requests_; }

 private:
  struct Interval {
    SteadyClock::time_point from, to;
  };
  struct ThreadState {
    int day = -1;  // a fresh thread downloads no day
    std::deque<Interval> recent;
  };
  static ThreadState& thisThread() {
    thread_local ThreadState state;
    return state;
  }

  HttpFetcher& inner_;
  RealSleeper real_;
  mutable std::mutex mutex_;
  std::vector<int> daySleepMs_;
  double dbSeconds_ = 0;
  std::atomic<int> requests_{0};
};

// The 50 trading days the run walks back over, and the weekend and holiday steps it
// takes on the way to the 51st trading day, whose step ends the run.
struct Walk {
  std::vector<std::string> tradingDays;
  int emptySteps = 0;
};

Walk WalkBack(const LocalTime& today) {
  Walk walk;
  for (int back = 0;; ++back) {
    const LocalTime day = DayBefore(today, back);
    if (ClassifyDay(day) != DayKind::Trading) {
      ++walk.emptySteps;
    } else if (static_cast<int>(walk.tradingDays.size()) == kDays) {
      return walk;
    } else {
      walk.tradingDays.push_back(DayTextOf(day));
    }
  }
}

int CountRows(CADODataBase& db) {
  CADORecordset rs(&db);
  int n = 0;
  if (rs.Open("SELECT COUNT(*) AS n FROM StockInfo") && !rs.IsEof()) rs.GetFieldValue("n", n);
  return n;
}

}  // namespace

void RunDownloadBench() {
  const auto ownApp = MakeBenchApplication();
  QtUiDispatcher dispatcher;
  PageRegistry::Instance().Restart(&dispatcher);
  WorkerRegistry::Instance().Restart();
  g_bClosing = false;
  g_nDataSource = 1;

  TempProgramFolder folder;
  DbBuilder builder(folder.Path());
  FixtureHttpServer server;
  FixedDayClock clock;
  const Walk walk = WalkBack(clock.Now());

  // 60 stocks a day and two of them listed twice; every seat page readable.
  MarketOptions options{60, 60, 2, true, false};
  for (std::size_t i = 0; i < walk.tradingDays.size(); ++i) {
    const std::string& day = walk.tradingDays[i];
    const MarketDay model = MakeMarketDay(day, kSeed + static_cast<std::uint32_t>(i), options);
    server.Route(DayListTarget(day), FixtureResponse::Ok(RenderListPage(model)));
    for (const MarketStock& stock : model.stocks) {
      server.Route(SeatPageTarget(day, stock.code), FixtureResponse::Ok(RenderSeatPage(model, stock)));
    }
  }
  // A weekday the source has no list for answers as the source does.
  server.SetDefault(FixtureResponse::Ok(RenderEmptyListPage()));
  setenv("VELKORDESK_SOURCE_BASE", server.BaseUrl().c_str(), 1);

  InternetSession session{};
  HttpOptions httpOptions;
  httpOptions.connectTimeout = std::chrono::milliseconds(2000);
  httpOptions.totalTimeout = std::chrono::milliseconds(10000);
  SessionFetcher fetcher(session, httpOptions);
  DayMeter meter(fetcher);

  DownloadPageServices services;
  services.clock = &clock;
  services.sleeper = &meter;
  services.fetcher = &meter;
  services.db = &builder.Market();
  services.startupPeriodMs = kPeriodMs;
  services.onDbWrite = [&meter](double seconds) { meter.OnDbWrite(seconds); };

  double wallSeconds = 0;
  int daysFetched = 0;
  {
    CDownloadDataDlg page(services);
    page.resize(1000, 600);
    const std::int64_t startMs = clock.SteadyMs();
    page.InitDialog();  // starts the start-up run on the page's own timer

    // The run ends when the engine stops its timer and no day job is left.
    QTimer watch;
    QEventLoop loop;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      DownloadEngine* engine = page.Engine();
      if (engine == nullptr || (!engine->IsTimerRunning() && !engine->IsDayJobRunning())) loop.quit();
    });
    QTimer::singleShot(std::chrono::minutes(10), &loop, &QEventLoop::quit);  // a bound, never reached
    watch.start(5);
    loop.exec();
    if (page.Engine() != nullptr) {
      wallSeconds = static_cast<double>(page.Engine()->m_dwEndTick - startMs) / 1000.0;
      daysFetched = page.Engine()->m_nDaysFetched;
      page.Engine()->WaitForJobs(20000);
    }
    QApplication::processEvents();
  }

  int floorPeriods = kStartupTicks + walk.emptySteps;
  for (int ms : meter.DaySleepMs()) floorPeriods += std::max(1, (ms + kPeriodMs - 1) / kPeriodMs);
  const double floorSeconds = floorPeriods * kPeriodMs / 1000.0;
  const double dbSeconds = meter.DbSeconds();

  PrintFigure("download50_wall", wallSeconds, "s");
  PrintFigure("download50_floor", floorSeconds, "s");
  PrintFigure("download50_floor_ratio", floorSeconds > 0 ? wallSeconds / floorSeconds : 0, "x");
  PrintFigure("download50_db_writes", dbSeconds, "s");
  PrintFigure("download50_db_share", wallSeconds > 0 ? dbSeconds / wallSeconds : 0, "fraction");
  PrintFigure("download50_days", daysFetched, "days");
  PrintFigure("download50_requests", meter.Requests(), "requests");
  PrintFigure("download50_rows", CountRows(builder.Market()), "rows");

  unsetenv("VELKORDESK_SOURCE_BASE");
  PageRegistry::Instance().Restart(nullptr);
}
