// The month's block trades end to end through the download page and its real job: a
// fake clock, zero sleeps, the in-process fixture server answering the day pages and
// the month pages from the seeded models, and the test driving the page's timer,
// clicking button 1048 and draining the UI thread's events.
#include <QApplication>
#include <QDateEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "../../support/block_trade_pages.h"
#include "../../support/db_builder.h"
#include "../../support/download_page_harness.h"
#include "../../support/fake_clock.h"
#include "../../support/fixture_http_server.h"
#include "../../support/gui_driver.h"
#include "../../support/page_generator.h"
#include "../../support/recording_block_trades.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "acquisition/block_trade_job.h"
#include "acquisition/download_engine.h"
#include "acquisition/ui/download_data_dlg.h"
#include "controls/ui/color_list_box.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/pages/settings_page_iface.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"

namespace {

const std::vector<std::string> kTenDays = {"2017-02-06", "2017-02-03", "2017-01-26", "2017-01-25", "2017-01-24",
                                           "2017-01-23", "2017-01-20", "2017-01-19", "2017-01-18", "2017-01-17"};
const std::vector<std::string> kFebruary = {"2017-02-06", "2017-02-03"};
const std::vector<std::string> kDecember = {"2016-12-30", "2016-12-29", "2016-12-28", "2016-12-27"};

constexpr const char* kButtonBox =
    "大宗交易“按月”下载，如果需要重新下载，请先在左边“指定日期”中设置月份，然后点击“补全大宗交易”按钮，下载数据";
constexpr const char* kCustomData = "生成自定义数据..........";
constexpr const char* kNetwork = "请保证网络连接正常!!!";

using Line = MessageLine;

int CountRows(CADODataBase& db) {
  CADORecordset rs(&db);
  if (!rs.Open("SELECT COUNT(*) AS n FROM DZJY") || rs.IsEof()) return -1;
  int n = -1;
  rs.GetFieldValue("n", n);
  return n;
}

// The settings page: counts the stored trades and the lines when told the run is over.
class CountingSettingsPage final : public ISettingsPage {
 public:
  CountingSettingsPage(CADODataBase& db, std::function<std::vector<Line>()> lines)
      : db_(db), lines_(std::move(lines)) {}
  void OnDownloadRunFinished() override {
    ++calls;
    rowsOnReceipt = CountRows(db_);
    linesOnReceipt = lines_();
  }
  int calls = 0;
  int rowsOnReceipt = -1;
  std::vector<Line> linesOnReceipt;

 private:
  CADODataBase& db_;
  std::function<std::vector<Line>()> lines_;
};

class BlockTradeDownloadTest : public DownloadPageTest {
 protected:
  void SetUp() override {
    DownloadPageTest::SetUp();
    clock_.Set(2017, 2, 6, 18, 30);
    GuiDriver::TakeBoxes();
    PageRegistry::Instance().Publish<ISettingsPage>(PageSlot::Setting, &settings_);
  }
  void TearDown() override {
    server_.Release();
    PageRegistry::Instance().Unpublish(PageSlot::Setting);
    page_.reset();
    DownloadPageTest::TearDown();
  }

  void ServeDays(const std::vector<std::string>& days) {
    MarketOptions options;
    options.specialSeatPages = false;
    options.minStocks = 3;
    options.maxStocks = 6;
    for (const std::string& day : days) {
      MarketDay model = MakeMarketDay(day, 7, options);
      server_.Route(DayListTarget(day), FixtureResponse::Ok(RenderListPage(model)));
      for (const MarketStock& stock : model.stocks) {
        server_.Route(SeatPageTarget(day, stock.code), FixtureResponse::Ok(RenderSeatPage(model, stock)));
      }
    }
    for (const char* holiday : {"2017-02-02", "2017-02-01", "2017-01-31", "2017-01-30", "2017-01-27"}) {
      server_.Route(DayListTarget(holiday), FixtureResponse::Ok(RenderEmptyListPage()));
    }
  }

  BlockTradeMonthModel ServeMonth(const std::string& month, const std::vector<std::string>& days, bool hold = false) {
    BlockTradeMonthModel model = MakeBlockTradeMonth(month, days, 9);
    FixtureResponse response = FixtureResponse::Ok(RenderBlockTradeMonthPage(model), "text/html; charset=GBK");
    response.hold = hold;
    server_.Route(MonthTradesTarget(month), response);
    return model;
  }

  CDownloadDataDlg& MakePage(BlockTradeJobs* blockTrades = nullptr) {
    DownloadPageServices services = PageServices(net_.fetcher.get());
    services.blockTrades = blockTrades;  // none: the page builds the real job
    page_ = NewPage(services, 1000, 600);
    return *page_;
  }

  void StartRun(int radio) {
    GuiDriver::FindAs<QRadioButton>(page_.get(), radio)->setChecked(true);
    page_->OnStartDownload();
    page_->Engine()->m_nTimerTicks = 100;  // past the start-up ticks
  }

  // Ticks the page's timer until its run ends.
  void RunToEnd(int maxTicks = 5000) {
    for (int tick = 0; tick < maxTicks; ++tick) {
      page_->OnTimer(1);
      QApplication::processEvents();
      if (!page_->Engine()->IsTimerRunning() && !page_->Engine()->IsDayJobRunning()) break;
      if (page_->Engine()->IsDayJobRunning()) {
        GuiDriver::WaitUntil([&] { return !page_->Engine()->IsDayJobRunning(); }, 20000);
      }
    }
  }

  // Button 1048 with the picker on `year`-`month`; takes the message box it shows.
  void PressFillBlockTrades(int year, int month) {
    GuiDriver::FindAs<QRadioButton>(page_.get(), 1014)->setChecked(true);
    page_->OnPickDate();
    GuiDriver::FindAs<QDateEdit>(page_.get(), 1015)->setDate(QDate(year, month, 15));
    ASSERT_TRUE(GuiDriver::Click(page_.get(), 1048));
    const std::vector<RecordedMessageBox> boxes = GuiDriver::TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kButtonBox);
    EXPECT_EQ(boxes[0].buttons, MB_OK);
  }

  std::vector<Line> Lines() const { return MessageLines(*page_); }

  int CountLines(const std::string& text) const {
    const std::vector<Line> lines = Lines();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const Line& l) { return l.text == text; }));
  }

  bool WaitForLines(const std::string& text, int count, int boundMs = 20000) {
    return GuiDriver::WaitUntil([&] { return CountLines(text) >= count; }, boundMs);
  }

  // The lines from the last "开始下载" line of `month` on.
  std::vector<Line> MonthLines(const std::string& month) const {
    const std::vector<Line> lines = Lines();
    const std::string start = "大宗交易数据： " + month + " 开始下载: .";
    auto it = std::find_if(lines.rbegin(), lines.rend(), [&](const Line& l) { return l.text == start; });
    if (it == lines.rend()) return {};
    return std::vector<Line>(std::prev(it.base()), lines.end());
  }

  // The block-trade lines of a month as a correct download adds them.
  static std::vector<Line> ExpectedMonthLines(const BlockTradeMonthModel& model, bool alreadyStored) {
    std::vector<Line> lines{{"大宗交易数据： " + model.month + " 开始下载: .", kLineBlue}};
    for (const std::string& day : model.ExpectedDayLines(alreadyStored)) lines.push_back({day, kLinePlain});
    lines.push_back({"大宗交易数据下载完毕!", kLineBlue});
    return lines;
  }

  static void ExpectLines(const std::vector<Line>& got, const std::vector<Line>& want) {
    ASSERT_GE(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i].text, want[i].text) << i;
      EXPECT_EQ(got[i].colour, want[i].colour) << i << " " << want[i].text;
    }
  }

  // DZJY, in insertion order, equals what a correct download stores for the model.
  void ExpectStored(const std::vector<CBlockTradeRow>& expected) {
    CADORecordset rs(&builder_.Market());
    ASSERT_TRUE(rs.Open("SELECT DZJY_ID, StockName, StockCode, DZJY_Date, DZJY_Date || '' AS StoredDate, RowNumber, "
                        "SPJ, CJJ, CJSL, CJJE, BuyName, SellName FROM DZJY ORDER BY rowid"));
    std::size_t i = 0;
    for (; !rs.IsEof(); rs.MoveNext(), ++i) {
      ASSERT_LT(i, expected.size());
      const CBlockTradeRow& want = expected[i];
      SCOPED_TRACE(want.Day + " " + want.StockCode + " " + std::to_string(want.nCount));
      std::string id, name, code, date, storedDate, buyer, seller;
      int row = 0, volume = 0;
      double close = 0, price = 0, amount = 0;
      rs.GetFieldValue("DZJY_ID", id);
      rs.GetFieldValue("StockName", name);
      rs.GetFieldValue("StockCode", code);
      rs.GetFieldValue("DZJY_Date", date);
      rs.GetFieldValue("StoredDate", storedDate);
      rs.GetFieldValue("RowNumber", row);
      rs.GetFieldValue("SPJ", close);
      rs.GetFieldValue("CJJ", price);
      rs.GetFieldValue("CJSL", volume);
      rs.GetFieldValue("CJJE", amount);
      rs.GetFieldValue("BuyName", buyer);
      rs.GetFieldValue("SellName", seller);
      EXPECT_EQ(id, want.Day + want.StockCode + std::to_string(want.nCount));
      EXPECT_EQ(name, want.StockName);
      EXPECT_EQ(code, want.StockCode);
      EXPECT_EQ(storedDate, want.Day);              // stored as the day's text
      EXPECT_EQ(date, want.Day + " 00:00:00");      // read back as a date
      EXPECT_EQ(row, want.nCount);
      EXPECT_NEAR(close, want.SPJ, 1e-6);
      EXPECT_NEAR(price, want.CJJ, 1e-6);
      EXPECT_EQ(volume, want.CJSL);
      EXPECT_EQ(amount, static_cast<double>(want.CJJE));
      EXPECT_EQ(buyer, want.BuyName);
      EXPECT_EQ(seller, want.SellName);
    }
    EXPECT_EQ(i, expected.size());
  }

  SessionFixture net_;
  CountingSettingsPage settings_{builder_.Market(), [this] { return Lines(); }};
  std::unique_ptr<CDownloadDataDlg> page_;
};

}  // namespace

TEST_F(BlockTradeDownloadTest, TheEndOfATenDayRunStoresTheMonthThenTellsTheSettingsPage) {
  ServeDays(kTenDays);
  const BlockTradeMonthModel model = ServeMonth("201702", kFebruary);
  MakePage();
  StartRun(109);  // 10 days
  RunToEnd();
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return settings_.calls > 0; }, 20000));
  QApplication::processEvents();

  // The month page, once, after every page of the last day.
  const std::vector<std::string> targets = server_.Targets();
  EXPECT_EQ(server_.CountOf(MonthTradesTarget("201702")), 1);
  ASSERT_FALSE(targets.empty());
  EXPECT_EQ(targets.back(), MonthTradesTarget("201702"));
  for (const std::string& day : kTenDays) EXPECT_EQ(server_.CountOf(DayListTarget(day)), 1) << day;

  ExpectStored(model.ExpectedRows());
  ASSERT_GT(model.ExpectedRows().size(), 10u);

  // Each day's line, then the end line; the settings page hears of the run once, after
  // the last insert and the end line, and the blue line follows.
  std::vector<Line> want = ExpectedMonthLines(model, false);
  want.push_back({kCustomData, kLineBlue});
  ExpectLines(MonthLines("201702"), want);
  EXPECT_EQ(settings_.calls, 1);
  EXPECT_EQ(settings_.rowsOnReceipt, static_cast<int>(model.ExpectedRows().size()));
  ASSERT_FALSE(settings_.linesOnReceipt.empty());
  EXPECT_EQ(settings_.linesOnReceipt.back().text, "大宗交易数据下载完毕!");
  EXPECT_EQ(CountLines(kCustomData), 1);

  // A rerun: today's trades are stored now, so neither the month nor the settings page.
  server_.ClearLog();
  StartRun(109);
  RunToEnd();
  QApplication::processEvents();
  EXPECT_EQ(server_.CountOf(MonthTradesTarget("201702")), 0);
  EXPECT_EQ(settings_.calls, 1);
}

TEST_F(BlockTradeDownloadTest, ButtonTenFortyEightFetchesThePickersMonthAndARepeatAddsNothing) {
  const BlockTradeMonthModel model = ServeMonth("201612", kDecember);
  MakePage();
  PressFillBlockTrades(2016, 12);
  ASSERT_TRUE(WaitForLines("大宗交易数据下载完毕!", 1));
  EXPECT_EQ(server_.Targets(), std::vector<std::string>{MonthTradesTarget("201612")});
  ExpectStored(model.ExpectedRows());
  ExpectLines(MonthLines("201612"), ExpectedMonthLines(model, false));
  EXPECT_EQ(settings_.calls, 0);  // the button is no end of a run

  // The month's worker posts its end just after its last line: the second press waits for it.
  ASSERT_TRUE(GuiDriver::WaitUntil([] { return WorkerRegistry::Instance().RunningCount() == 0; }, 20000));
  QApplication::processEvents();
  PressFillBlockTrades(2016, 12);
  ASSERT_TRUE(WaitForLines("大宗交易数据下载完毕!", 2));
  EXPECT_EQ(server_.CountOf(MonthTradesTarget("201612")), 2);
  ExpectStored(model.ExpectedRows());  // not a row more
  ExpectLines(MonthLines("201612"), ExpectedMonthLines(model, true));
  EXPECT_EQ(CountLines(kCustomData), 0);
}

TEST_F(BlockTradeDownloadTest, AMonthWithoutTheTableSaysSoAndEnds) {
  server_.Route(MonthTradesTarget("201612"), FixtureResponse::Ok(EncodeGbk("<html><body>维护中</body></html>")));
  MakePage();
  PressFillBlockTrades(2016, 12);
  ASSERT_TRUE(WaitForLines("大宗交易数据下载完毕!", 1));
  ExpectLines(MonthLines("201612"), {{"大宗交易数据： 201612 开始下载: .", kLineBlue},
                                     {"没有大宗交易数据或网页数据有变", kLinePlain},
                                     {"大宗交易数据下载完毕!", kLineBlue}});
  EXPECT_EQ(CountRows(builder_.Market()), 0);
}

TEST_F(BlockTradeDownloadTest, AServerDownAtTheMonthGivesTheNetworkLineAndStillTellsTheSettingsPage) {
  ServeDays({"2017-02-06"});
  ServeMonth("201702", kFebruary, /*hold=*/true);
  MakePage();
  StartRun(105);  // today, after 18:00
  RunToEnd();
  ASSERT_TRUE(server_.WaitForHeld(1, std::chrono::seconds(10)));
  EXPECT_EQ(settings_.calls, 0);  // not before the month has ended
  server_.Stop();
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return settings_.calls > 0; }, 20000));
  QApplication::processEvents();
  ExpectLines(MonthLines("201702"), {{"大宗交易数据： 201702 开始下载: .", kLineBlue},
                                     {kNetwork, kLinePlain},
                                     {kCustomData, kLineBlue}});
  EXPECT_EQ(settings_.calls, 1);
  EXPECT_EQ(settings_.rowsOnReceipt, 0);
  EXPECT_EQ(CountLines("大宗交易数据下载完毕!"), 0);
  EXPECT_EQ(CountRows(builder_.Market()), 0);
}

TEST_F(BlockTradeDownloadTest, ASecondPressDuringAMonthIsTurnedAwayAndARunEndWaitsForIt) {
  ServeDays({"2017-02-06"});
  const BlockTradeMonthModel model = ServeMonth("201702", kFebruary, /*hold=*/true);
  MakePage();
  PressFillBlockTrades(2017, 2);
  ASSERT_TRUE(server_.WaitForHeld(1, std::chrono::seconds(10)));

  PressFillBlockTrades(2016, 12);
  QApplication::processEvents();
  const std::vector<Line> lines = Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().text, "大宗交易数据正在下载，请稍候!!!");
  EXPECT_EQ(lines.back().colour, kLineRed);

  // A run that ends meanwhile starts no second month and waits for this one.
  GuiDriver::FindAs<QRadioButton>(page_.get(), 105)->setChecked(true);
  page_->OnStartDownload();
  page_->Engine()->m_nTimerTicks = 100;
  RunToEnd();
  QApplication::processEvents();
  EXPECT_EQ(settings_.calls, 0);
  EXPECT_EQ(CountLines(kCustomData), 0);
  EXPECT_EQ(server_.CountOf(MonthTradesTarget("201702")), 1);
  EXPECT_EQ(server_.CountOf(MonthTradesTarget("201612")), 0);

  server_.Release();
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return settings_.calls > 0; }, 20000));
  QApplication::processEvents();
  EXPECT_EQ(settings_.calls, 1);
  EXPECT_EQ(settings_.rowsOnReceipt, static_cast<int>(model.ExpectedRows().size()));
  EXPECT_EQ(server_.CountOf(MonthTradesTarget("201702")), 1);
  EXPECT_EQ(CountLines("大宗交易数据下载完毕!"), 1);
  EXPECT_EQ(CountLines(kCustomData), 1);
  ExpectStored(model.ExpectedRows());

  // Once it has ended, the button starts again.
  server_.RemoveRoute(MonthTradesTarget("201612"));
  ServeMonth("201612", kDecember);
  PressFillBlockTrades(2016, 12);
  ASSERT_TRUE(WaitForLines("大宗交易数据下载完毕!", 2));
  EXPECT_EQ(server_.CountOf(MonthTradesTarget("201612")), 1);
}

TEST_F(BlockTradeDownloadTest, AMonthThatCannotStartStillLetsTheRunTellTheSettingsPage) {
  ServeDays({"2017-02-06"});
  RecordingBlockTrades refusing(/*accept=*/false);
  MakePage(&refusing);
  StartRun(105);
  RunToEnd();
  QApplication::processEvents();
  EXPECT_EQ(refusing.Months(), std::vector<std::string>{"201702"});
  EXPECT_EQ(settings_.calls, 1);
  EXPECT_EQ(CountLines(kCustomData), 1);
}
