// The download road end to end through its page: a fake clock, zero sleeps, the
// in-process fixture server answering every page from the seeded market model, and
// the test driving the page's timer and draining the UI thread's events.
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>

#include "../../support/db_builder.h"
#include "../../support/download_page_harness.h"
#include "../../support/fake_clock.h"
#include "../../support/fixture_http_server.h"
#include "../../support/gui_driver.h"
#include "../../support/page_generator.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "acquisition/download_engine.h"
#include "acquisition/ui/download_data_dlg.h"
#include "controls/ui/color_list_box.h"
#include "platform/page_registry.h"
#include "platform/pages/daily_list_page_iface.h"
#include "platform/pages/settings_page_iface.h"
#include "platform/pages/stock_active_page_iface.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"

namespace {

const std::vector<std::string> kTenDays = {"2017-02-06", "2017-02-03", "2017-01-26", "2017-01-25", "2017-01-24",
                                           "2017-01-23", "2017-01-20", "2017-01-19", "2017-01-18", "2017-01-17"};

// Today's list reaches the daily list page only once that day's totals are stored.
class RecordingDailyPage : public IDailyListPage {
 public:
  explicit RecordingDailyPage(CADODataBase& db) : db_(db) {}
  void OnTodayDataDownloaded() override {
    ++calls;
    CADORecordset rs(&db_);
    totalsExisted = rs.Open("SELECT COUNT(*) AS n FROM TotalBuySell WHERE SB_Date=?", {std::string("2017-02-06")}) &&
                    !rs.IsEof();
    int n = 0;
    if (totalsExisted) rs.GetFieldValue("n", n);
    totalsExisted = n == 1;
  }
  int calls = 0;
  bool totalsExisted = false;

 private:
  CADODataBase& db_;
};

class RecordingBlockTrades : public BlockTradeJobs {
 public:
  bool StartMonth(const std::string& yyyymm, std::function<void()> ended) override {
    months.push_back(yyyymm);
    this->ended = std::move(ended);
    return true;
  }
  std::vector<std::string> months;
  std::function<void()> ended;
};

class RecordingSettingsPage : public ISettingsPage {
 public:
  void OnDownloadRunFinished() override { ++calls; }
  int calls = 0;
};

class RecordingActivePage : public IStockActivePage {
 public:
  void OnTodayDataDownloaded() override { ++calls; }
  bool OnRankRequest(int) override { return true; }
  int calls = 0;
};

class DownloadRunTest : public DownloadPageTest {
 protected:
  void SetUp() override {
    DownloadPageTest::SetUp();
    clock_.Set(2017, 2, 6, 18, 30);
  }

  // Serves every day of `days` from the model; one stock's seat page of `brokenDay`
  // answers 404 for good.
  void ServeDays(const std::vector<std::string>& days, const std::string& brokenDay = "") {
    MarketOptions options;
    options.specialSeatPages = false;
    for (const std::string& day : days) {
      MarketDay model = MakeMarketDay(day, 7, options);
      server_.Route(DayListTarget(day), FixtureResponse::Ok(RenderListPage(model)));
      for (std::size_t i = 0; i < model.stocks.size(); ++i) {
        const MarketStock& stock = model.stocks[i];
        if (day == brokenDay && i == 0) {
          server_.Route(SeatPageTarget(day, stock.code), FixtureResponse::Status(404, "gone"));
          brokenCode_ = stock.code;
        } else {
          server_.Route(SeatPageTarget(day, stock.code), FixtureResponse::Ok(RenderSeatPage(model, stock)));
        }
      }
      models_.emplace(day, std::move(model));
    }
    for (const std::string holiday : {"2017-02-02", "2017-02-01", "2017-01-31", "2017-01-30", "2017-01-27"}) {
      server_.Route(DayListTarget(holiday), FixtureResponse::Ok(RenderEmptyListPage()));
    }
  }

  std::unique_ptr<CDownloadDataDlg> MakePage() {
    DownloadPageServices services = PageServices(net_.fetcher.get());
    services.blockTrades = &blockTrades_;
    auto page = NewPage(services, 1000, 600);
    EndStartupRun(*page);
    return page;
  }

  // Ticks the page's timer until its run ends (the engine stops the timer).
  void RunToEnd(CDownloadDataDlg& page, int maxTicks = 5000) {
    for (int tick = 0; tick < maxTicks; ++tick) {
      page.OnTimer(1);
      QApplication::processEvents();
      if (!page.Engine()->IsTimerRunning() && !page.Engine()->IsDayJobRunning()) break;
      if (page.Engine()->IsDayJobRunning()) {
        GuiDriver::WaitUntil([&] { return !page.Engine()->IsDayJobRunning(); }, 20000);
      }
    }
    page.Engine()->WaitForJobs(20000);
    QApplication::processEvents();
    QApplication::processEvents();
  }

  std::vector<std::string> ListRequests() const {
    std::vector<std::string> days;
    for (const std::string& target : server_.Targets()) {
      for (const auto& [day, model] : models_) {
        if (target == DayListTarget(day)) days.push_back(day);
      }
    }
    return days;
  }

  static std::vector<std::string> Lines(CDownloadDataDlg& page) { return MessageTexts(page); }

  static bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }

  SessionFixture net_;
  std::map<std::string, MarketDay> models_;
  std::string brokenCode_;
  RecordingBlockTrades blockTrades_;
};

}  // namespace

TEST_F(DownloadRunTest, TenDayRunStoresTheModelInScheduleOrder) {
  ServeDays(kTenDays, "2017-01-24");
  RecordingDailyPage daily(builder_.Market());
  RecordingActivePage active;
  PageRegistry::Instance().Publish<IDailyListPage>(PageSlot::DataDisplay, &daily);
  PageRegistry::Instance().Publish<IStockActivePage>(PageSlot::StockActivePage, &active);

  auto page = MakePage();
  GuiDriver::FindAs<QRadioButton>(page.get(), 109)->setChecked(true);  // 10 days
  page->OnStartDownload();
  page->Engine()->m_nTimerTicks = 100;  // past the start-up ticks
  RunToEnd(*page);

  // The list pages, newest first, each day's seats before the next day's list.
  EXPECT_EQ(ListRequests(), kTenDays);
  const std::vector<std::string> targets = server_.Targets();
  for (std::size_t i = 0; i + 1 < kTenDays.size(); ++i) {
    const auto next = std::find(targets.begin(), targets.end(), DayListTarget(kTenDays[i + 1]));
    for (const MarketStock& stock : models_.at(kTenDays[i]).stocks) {
      const auto seat = std::find(targets.begin(), targets.end(), SeatPageTarget(kTenDays[i], stock.code));
      ASSERT_NE(seat, targets.end());
      EXPECT_LT(seat, next) << kTenDays[i] << " " << stock.code;
    }
  }
  for (const std::string& target : targets) {
    EXPECT_EQ(target.find("2017-02-04"), std::string::npos);  // no weekend asked for
    EXPECT_EQ(target.find("2017-02-02"), std::string::npos);  // nor a holiday of the table
  }

  const auto lines = Lines(*page);
  for (const char* holiday : {"2017-02-02", "2017-02-01", "2017-01-31", "2017-01-30", "2017-01-27"}) {
    EXPECT_TRUE(HasLine(lines, std::string(holiday) + ", 节假日无数据!!!!!")) << holiday;
  }
  EXPECT_TRUE(HasLine(lines, "2017-01-24数据需要重新下载!!!!!!!"));
  // The permanent 404: three tries, then the page-cannot-load line with the count.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("打开网页时错误! -21")), 3);
  const MarketStock* broken = models_.at("2017-01-24").Find(brokenCode_);
  ASSERT_NE(broken, nullptr);
  EXPECT_TRUE(HasLine(lines, broken->storedName + " ,nResult=-21, 第 3 次访问,您访问的页面无法加载!\n"));
  EXPECT_FALSE(HasLine(lines, "2017-01-25数据需要重新下载!!!!!!!"));
  EXPECT_FALSE(page->Engine()->IsDayStored("2017-01-24"));  // its incomplete row is fetched again

  // StockInfo holds the model; the broken stock is stored incomplete.
  for (const std::string& day : kTenDays) {
    const MarketDay& model = models_.at(day);
    for (const MarketStock& stock : model.stocks) {
      CADORecordset rs(&builder_.Market());
      ASSERT_TRUE(rs.Open("SELECT * FROM StockInfo WHERE StockInfo_ID=?", {day + "," + stock.code}));
      ASSERT_FALSE(rs.IsEof()) << day << " " << stock.code;
      std::string name;
      double close = 0, amount = 0, buy1 = 0;
      int ok = 0;
      rs.GetFieldValue("StockName", name);
      rs.GetFieldValue("JinShou", close);
      rs.GetFieldValue("Amount", amount);
      rs.GetFieldValue("IsDownloadOK", ok);
      rs.GetFieldValue("Buy1_YYB_BuyAmount", buy1);
      EXPECT_EQ(name, stock.storedName);
      EXPECT_NEAR(close, stock.close, 1e-6);
      EXPECT_NEAR(amount, stock.amount, 1e-6);
      const bool broken = day == "2017-01-24" && stock.code == brokenCode_;
      EXPECT_EQ(ok, broken ? 2 : 1) << day << " " << stock.code;
      EXPECT_NEAR(buy1, broken ? 0 : stock.expectedBuy[0].buy, 1e-3);
    }
  }

  // TotalBuySell of each day equals sums taken here over the model.
  for (const std::string& day : kTenDays) {
    double buy = 0, sell = 0;
    for (const MarketStock& stock : models_.at(day).stocks) {
      if (day == "2017-01-24" && stock.code == brokenCode_) continue;
      for (const FiveSeats* seats : {&stock.expectedBuy, &stock.expectedSell}) {
        for (const SeatFixture& s : *seats) {
          if (s.name.empty()) continue;
          buy += std::round(s.buy * 1000) / 1000;
          sell += std::round(s.sell * 1000) / 1000;
        }
      }
    }
    CADORecordset rs(&builder_.Market());
    ASSERT_TRUE(rs.Open("SELECT * FROM TotalBuySell WHERE SB_Date=?", {day}));
    ASSERT_FALSE(rs.IsEof()) << day;
    int count = 0;
    double storedBuy = 0, storedSell = 0;
    rs.GetFieldValue("Today_ShangBang", count);
    rs.GetFieldValue("Today_TotalBuy", storedBuy);
    rs.GetFieldValue("Today_TotalSell", storedSell);
    EXPECT_EQ(count, static_cast<int>(models_.at(day).stocks.size())) << day;
    // A branch seen twice with the same figures on one stock counts once: within the
    // sums of distinct listings.
    EXPECT_LE(storedBuy, buy + 1e-6) << day;
    EXPECT_GT(storedBuy, 0) << day;
    EXPECT_LE(storedSell, sell + 1e-6) << day;
  }

  EXPECT_EQ(daily.calls, 1);
  EXPECT_TRUE(daily.totalsExisted);

  // The month's block trades are asked for once; the settings page hears of the run
  // only when that download has ended.
  RecordingSettingsPage settings;
  PageRegistry::Instance().Publish<ISettingsPage>(PageSlot::Setting, &settings);
  blockTrades_.ended();  // January's, before the month of today
  EXPECT_EQ(blockTrades_.months, (std::vector<std::string>{"201701", "201702"}));
  EXPECT_EQ(settings.calls, 0);
  EXPECT_FALSE(HasLine(Lines(*page), "生成自定义数据.........."));
  blockTrades_.ended();
  QApplication::processEvents();
  EXPECT_EQ(settings.calls, 1);
  EXPECT_TRUE(HasLine(Lines(*page), "生成自定义数据.........."));
  PageRegistry::Instance().Unpublish(PageSlot::Setting);
  EXPECT_EQ(active.calls, 1);
  EXPECT_TRUE(GuiDriver::Find(page.get(), 1006)->isEnabled());
  EXPECT_FALSE(page->Engine()->IsTimerRunning());
  EXPECT_EQ(page->TimerInterval(1), -1);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return GuiDriver::FindAs<QTableWidget>(page.get(), 1119)->rowCount() == 10; }));
  EXPECT_EQ(GuiDriver::FindAs<QLineEdit>(page.get(), 1001)->text(), QStringLiteral(" 10"));
  GuiDriver::Grab(page.get()).save("download_run.png");

  // A rerun finds every day stored but the one with an incomplete row.
  server_.ClearLog();
  page->OnStartDownload();
  RunToEnd(*page);
  EXPECT_EQ(ListRequests(), std::vector<std::string>{"2017-01-24"});
  EXPECT_EQ(blockTrades_.months.size(), 3u);  // days were fetched since start-up, still no trades stored

  PageRegistry::Instance().Unpublish(PageSlot::DataDisplay);
  PageRegistry::Instance().Unpublish(PageSlot::StockActivePage);
}

TEST_F(DownloadRunTest, FillInCompletesARowAndKeepsItsPrices) {
  ServeDays({"2017-02-03"}, "2017-02-03");
  clock_.Set(2017, 2, 3, 19, 0);
  auto page = MakePage();
  page->OnStartDownload();  // today, after 18:00
  page->Engine()->m_nTimerTicks = 100;
  RunToEnd(*page);

  auto readRow = [&](int& ok, double& close, double& buy1) {
    CADORecordset rs(&builder_.Market());
    ASSERT_TRUE(rs.Open("SELECT * FROM StockInfo WHERE StockInfo_ID=?", {"2017-02-03," + brokenCode_}));
    ASSERT_FALSE(rs.IsEof());
    rs.GetFieldValue("IsDownloadOK", ok);
    rs.GetFieldValue("JinShou", close);
    rs.GetFieldValue("Buy1_YYB_BuyAmount", buy1);
  };
  int ok = 0;
  double close = 0, buy1 = 0;
  readRow(ok, close, buy1);
  ASSERT_EQ(ok, 2);
  const double closeBefore = close;
  EXPECT_GT(closeBefore, 0);

  const MarketDay& model = models_.at("2017-02-03");
  const MarketStock* stock = model.Find(brokenCode_);
  server_.Route(SeatPageTarget("2017-02-03", brokenCode_), FixtureResponse::Ok(RenderSeatPage(model, *stock)));
  server_.ClearLog();
  // A row that cannot be written is not filled in.
  ASSERT_TRUE(
      builder_.Market().Execute("CREATE TRIGGER no BEFORE UPDATE ON StockInfo BEGIN SELECT RAISE(ABORT, 'no'); END"));
  page->OnFillMissing();
  page->Engine()->WaitForJobs(20000);
  QApplication::processEvents();
  const auto said = [&](const char* start) {
    const auto lines = Lines(*page);
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(start); });
  };
  EXPECT_TRUE(said("补全数据失败"));
  EXPECT_FALSE(said("补全数据成功"));
  ASSERT_TRUE(builder_.Market().Execute("DROP TRIGGER no"));
  const int nextDayBefore = page->Engine()->m_bNextDay;
  page->OnFillMissing();
  page->Engine()->WaitForJobs(20000);
  QApplication::processEvents();
  QApplication::processEvents();

  readRow(ok, close, buy1);
  EXPECT_EQ(ok, 1);
  EXPECT_DOUBLE_EQ(close, closeBefore);  // the fill-in never zeroes the prices
  EXPECT_NEAR(buy1, stock->expectedBuy[0].buy, 1e-3);
  EXPECT_EQ(page->Engine()->m_bNextDay, nextDayBefore);
  EXPECT_TRUE(ListRequests().empty());
  EXPECT_EQ(page->Engine()->m_bBusy, 0);
  const auto lines = Lines(*page);
  EXPECT_TRUE(HasLine(lines, "补全数据完毕！"));
}

TEST_F(DownloadRunTest, ADayWithoutAStoredStockGetsNoTotals) {
  // The list's one record lacks its fields: nothing is stored.
  server_.Route(DayListTarget("2017-02-06"), FixtureResponse::Ok("var data_tab_1={\"data\":[{\"x\":1}]}"));
  auto page = MakePage();
  page->OnStartDownload();
  page->Engine()->m_nTimerTicks = 100;
  RunToEnd(*page);
  CADORecordset rs(&builder_.Market());
  EXPECT_TRUE(rs.Open("SELECT 1 FROM TotalBuySell") && rs.IsEof());
  EXPECT_EQ(page->Engine()->m_nDaysFetched, 0);
}

TEST_F(DownloadRunTest, AStoppedServerGivesTheNetworkLineForEachDayAndStoresNothing) {
  server_.Stop();
  auto page = MakePage();
  GuiDriver::FindAs<QRadioButton>(page.get(), 107)->setChecked(true);  // 3 days
  page->OnStartDownload();
  page->Engine()->m_nTimerTicks = 100;
  RunToEnd(*page);
  const auto lines = Lines(*page);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("请保证网络连接正常!!!")), 3);
  CADORecordset rs(&builder_.Market());
  ASSERT_TRUE(rs.Open("SELECT COUNT(*) AS n FROM StockInfo"));
  int n = -1;
  rs.GetFieldValue("n", n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(page->Engine()->m_nDaysFetched, 0);
  EXPECT_TRUE(blockTrades_.months.empty());  // nothing fetched: no block-trade request
}

TEST_F(DownloadRunTest, AClosedDatabaseGivesOneRedLineAndNoRequest) {
  ServeDays({"2017-02-06"});
  builder_.Market().Close();
  auto page = MakePage();
  page->OnStartDownload();
  page->Engine()->m_nTimerTicks = 100;
  RunToEnd(*page);
  const auto lines = Lines(*page);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("数据库没有打开，数据无法保存!!!")), 1);
  EXPECT_TRUE(server_.Targets().empty());
}
