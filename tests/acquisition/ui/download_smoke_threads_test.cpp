// The download page on its own timer in real time: the 60 ms run timer, real sleeps and
// the Qt event loop, a three-day range against the fixture server. Nothing here drives
// the timer by hand; the run has to end by itself within the bound.
#include <QApplication>
#include <QElapsedTimer>
#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../support/download_page_harness.h"
#include "../../support/db_builder.h"
#include "../../support/fake_clock.h"
#include "../../support/fixture_http_server.h"
#include "../../support/gui_driver.h"
#include "../../support/page_generator.h"
#include "../../support/temp_program_folder.h"
#include "acquisition/download_engine.h"
#include "acquisition/ui/download_data_dlg.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"

namespace {

constexpr int kRunBoundMs = 15000;

// A fixed Monday evening; the steady clock is real, so the elapsed texts are too.
class EveningClock final : public IClock {
 public:
  LocalTime Now() const override { return fixed_.Now(); }
  std::int64_t SteadyMs() const override { return real_.SteadyMs(); }

 private:
  FakeClock fixed_{2017, 2, 6, 18, 30};
  SystemClock real_;
};

class DownloadSmokeTest : public testing::Test {
 protected:
  void SetUp() override {
    environment_ = std::make_unique<DownloadPageEnvironment>(dispatcher_, server_.BaseUrl());
    options_.connectTimeout = std::chrono::milliseconds(2000);
    options_.totalTimeout = std::chrono::milliseconds(5000);
  }
  void TearDown() override { environment_.reset(); }

  int StoredRows(const std::string& day) {
    CADORecordset rs(&builder_.Market());
    int n = -1;
    if (rs.Open("SELECT COUNT(*) AS n FROM StockInfo WHERE SB_Date=?", {day}) && !rs.IsEof()) {
      rs.GetFieldValue("n", n);
    }
    return n;
  }

  QtUiDispatcher dispatcher_;
  EveningClock clock_;
  RealSleeper sleeper_;
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  FixtureHttpServer server_;
  InternetSession session_{};
  HttpOptions options_;
  std::unique_ptr<DownloadPageEnvironment> environment_;
};

}  // namespace

TEST_F(DownloadSmokeTest, ThreeDayRangeEndsByItselfOnTheRealTimer) {
  // 2017-02-02 lies in the holiday table; the run steps over it to 2017-01-26.
  const std::vector<std::string> days = {"2017-02-06", "2017-02-03", "2017-01-26"};
  std::vector<MarketDay> models;
  MarketOptions market;
  market.minStocks = 20;
  market.maxStocks = 20;
  market.specialSeatPages = false;
  for (const std::string& day : days) {
    MarketDay model = MakeMarketDay(day, 3, market);
    server_.Route(DayListTarget(day), FixtureResponse::Ok(RenderListPage(model)));
    for (const MarketStock& stock : model.stocks) {
      server_.Route(SeatPageTarget(day, stock.code), FixtureResponse::Ok(RenderSeatPage(model, stock)));
    }
    models.push_back(std::move(model));
  }
  SessionFetcher fetcher(session_, options_);

  DownloadPageServices services;
  services.clock = &clock_;
  services.sleeper = &sleeper_;
  services.fetcher = &fetcher;
  services.db = &builder_.Market();
  CDownloadDataDlg page(services);
  page.resize(1000, 600);
  page.InitDialog();
  DownloadEngine* engine = page.Engine();
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(page.TimerInterval(1), 100);  // the start-up run's timer

  GuiDriver::FindAs<QRadioButton>(&page, 107)->click();  // 3 days
  // The start-up ticks (10 s) are covered elsewhere; here the run starts on the next tick.
  EndStartupRun(page);
  GuiDriver::FindAs<QAbstractButton>(&page, 1006)->click();
  EXPECT_EQ(page.TimerInterval(1), 60);
  EXPECT_EQ(engine->m_nDaysWanted, 3);

  QElapsedTimer elapsed;
  elapsed.start();
  const bool ended = GuiDriver::WaitUntil(
      [&] { return !engine->IsTimerRunning() && !engine->IsDayJobRunning(); }, kRunBoundMs);
  ASSERT_TRUE(ended) << "the run did not end within " << kRunBoundMs << " ms";
  EXPECT_LT(elapsed.elapsed(), kRunBoundMs);
  ASSERT_TRUE(engine->WaitForJobs(5000));

  EXPECT_EQ(page.TimerInterval(1), -1);
  EXPECT_EQ(engine->m_nDaysFetched, 3);
  for (std::size_t i = 0; i < days.size(); ++i) {
    EXPECT_EQ(StoredRows(days[i]), static_cast<int>(models[i].stocks.size())) << days[i];
    EXPECT_EQ(server_.CountOf(DayListTarget(days[i])), 1) << days[i];
  }
  EXPECT_EQ(server_.CountOf(DayListTarget("2017-02-02")), 0);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return GuiDriver::Find(&page, 1006)->isEnabled(); }, 2000));
  ASSERT_TRUE(GuiDriver::WaitUntil(
      [&] { return GuiDriver::FindAs<QLineEdit>(&page, 1001)->text() == QStringLiteral(" 3"); }, 2000));
  EXPECT_EQ(GuiDriver::FindAs<QTableWidget>(&page, 1119)->rowCount(), 3);
}
