// The second source end to end through the download page: the exchanges' bulletins
// and the quote portals served by the fixture server from the exchange-day model, a
// fake clock, zero sleeps, and the day chosen in the page's date picker.
#include <QApplication>
#include <QDateEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "../../support/db_builder.h"
#include "../../support/download_page_harness.h"
#include "../../support/exchange_pages.h"
#include "../../support/fake_clock.h"
#include "../../support/fixture_http_server.h"
#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "../../support/zero_sleeper.h"
#include "acquisition/download_engine.h"
#include "acquisition/format_line.h"
#include "acquisition/ui/download_data_dlg.h"
#include "controls/ui/color_list_box.h"
#include "platform/page_registry.h"
#include "platform/pages/stock_active_page_iface.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"

namespace {

constexpr const char* kDay = "2017-01-05";

// Today's notification finds the day's totals already stored.
class RecordingActivePage : public IStockActivePage {
 public:
  explicit RecordingActivePage(CADODataBase& db) : db_(db) {}
  void OnTodayDataDownloaded() override {
    ++calls;
    CADORecordset rs(&db_);
    totalsFound = rs.Open("SELECT SB_Date FROM TotalBuySell WHERE SB_Date=?", {std::string(kDay)}) && !rs.IsEof();
  }
  bool OnRankRequest(int) override { return true; }
  int calls = 0;
  bool totalsFound = false;

 private:
  CADODataBase& db_;
};

// The session, but one address never opens (a host that is down).
class RefusingFetcher final : public HttpFetcher {
 public:
  RefusingFetcher(InternetSession& session, HttpOptions options) : inner_(session, std::move(options)) {}
  HttpResult Get(const std::string& url) override { return url == refused ? HttpResult{} : inner_.Get(url); }
  HttpResult GetWithLines(const std::string& url, const RequestLines& lines) override {
    return url == refused ? HttpResult{} : inner_.GetWithLines(url, lines);
  }
  std::string refused;

 private:
  SessionFetcher inner_;
};

using Line = MessageLine;

class ExchangeDayTest : public DownloadPageTest {
 protected:
  void SetUp() override {
    DownloadPageTest::SetUp();
    clock_.Set(2017, 1, 6, 18, 30);
    fetcher_ = std::make_unique<RefusingFetcher>(session_, ShortTimeouts());
  }

  void Serve(const ExchangeDayModel& model) {
    for (const SzseBoardModel& board : model.boards) {
      const std::string target = SzseBulletinTarget(board.market, model.date);
      server_.Route(target, board.missing ? FixtureResponse::Status(404, "no such file")
                                          : FixtureResponse::Ok(RenderSzseBulletin(model, board), "text/plain"));
    }
    server_.Route("/", FixtureResponse::Ok("<html>ok</html>"));
    server_.Route(SseQueryTargetFor(model.date), FixtureResponse::Ok(RenderSseAnswer(model), "text/javascript"));
    for (const ExchangeStockModel& stock : model.stocks) {
      server_.Route(QuoteHistoryTargetFor(stock.code, model.date),
                    FixtureResponse::Ok(RenderQuoteHistory(model, stock), "text/javascript"));
      server_.Route(QuotePageTargetFor(stock.code), FixtureResponse::Ok(RenderQuotePage(model, stock)));
    }
  }

  std::unique_ptr<CDownloadDataDlg> MakePage() {
    DownloadPageServices services = PageServices(fetcher_.get());
    services.startupPeriodMs = 3600 * 1000;  // the start-up run stays out of the way
    return NewPage(services, 1100, 640);
  }

  // Chooses the exchanges' bulletins and the day, and downloads it.
  void DownloadChosenDay(CDownloadDataDlg& page, int year = 2017, int month = 1, int day = 5) {
    EndStartupRun(page);
    GuiDriver::FindAs<QRadioButton>(&page, 112)->click();
    GuiDriver::FindAs<QRadioButton>(&page, 1014)->click();
    GuiDriver::FindAs<QDateEdit>(&page, 1015)->setDate(QDate(year, month, day));
    page.OnStartDownload();
    ASSERT_TRUE(GuiDriver::WaitUntil([&] { return !page.Engine()->IsDayJobRunning(); }, 30000));
    QApplication::processEvents();
    QApplication::processEvents();
  }

  static std::vector<Line> Lines(const CDownloadDataDlg& page) { return MessageLines(page); }
  static int IndexOf(const std::vector<Line>& lines, const std::string& text, COLORREF colour) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].text == text && lines[i].colour == colour) return static_cast<int>(i);
    }
    return -1;
  }
  static bool HasLineStarting(const std::vector<Line>& lines, const std::string& start, COLORREF colour) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const Line& l) { return l.text.starts_with(start) && l.colour == colour; });
  }

  int Waits(int ms) const {
    const std::vector<int> waits = sleeper_.Waits();
    return static_cast<int>(std::count(waits.begin(), waits.end(), ms));
  }

  InternetSession session_{};
  std::unique_ptr<RefusingFetcher> fetcher_;
};

}  // namespace

TEST_F(ExchangeDayTest, AChosenDayIsStoredFromTheBulletinsAndTheQuotes) {
  folder_.WriteFile("sysinfo.ini", "[system]\r\nTitalName=龙虎\r\nDataSource=1\r\nIsExit=0\r\n");
  const ExchangeDayModel model = MakeExchangeDay(kDay);
  Serve(model);
  auto page = MakePage();
  DownloadChosenDay(*page);
  // The radio rewrote only its own line.
  EXPECT_EQ(folder_.ReadFile("sysinfo.ini"), "[system]\r\nTitalName=龙虎\r\nDataSource=2\r\nIsExit=0\r\n");

  // The requests in their order: each board's file, its stocks' quotes, then the
  // Shanghai probe, the query and its stocks' quotes; the history page only for a
  // stock the history query had no data for.
  const std::vector<std::string> targets = server_.Targets();
  auto at = [&](const std::string& target) {
    const auto it = std::find(targets.begin(), targets.end(), target);
    return it == targets.end() ? -1 : static_cast<int>(it - targets.begin());
  };
  const int main = at(SzseBulletinTarget(2, kDay)), sme = at(SzseBulletinTarget(3, kDay)),
            growth = at(SzseBulletinTarget(4, kDay)), probe = at("/"), query = at(SseQueryTargetFor(kDay));
  EXPECT_EQ(main, 0);
  EXPECT_LT(main, sme);
  EXPECT_LT(sme, growth);
  EXPECT_LT(growth, probe);
  EXPECT_EQ(query, probe + 1);
  EXPECT_TRUE(SzseBulletinTarget(4, kDay).starts_with("//szseWeb"));
  EXPECT_NE(std::find(targets.begin(), targets.end(), SzseBulletinTarget(4, kDay)), targets.end());
  for (const ExchangeStockModel& stock : model.stocks) {
    const int history = at(QuoteHistoryTargetFor(stock.code, kDay));
    const int quotePage = at(QuotePageTargetFor(stock.code));
    if (stock.code == "510050") {
      EXPECT_EQ(history, -1);  // a fund is not stored, so not priced
      continue;
    }
    ASSERT_GE(history, 0) << stock.code;
    EXPECT_EQ(server_.CountOf(QuoteHistoryTargetFor(stock.code, kDay)), 1) << stock.code;
    const bool shanghai = stock.code.starts_with("6") || stock.code.starts_with("9");
    EXPECT_EQ(history > query, shanghai) << stock.code;
    if (stock.quote == QuoteKind::History) {
      EXPECT_EQ(quotePage, -1) << stock.code;
    } else {
      EXPECT_EQ(quotePage, history + 1) << stock.code;
    }
  }
  EXPECT_EQ(Waits(2000), 1);

  // The rows, one per stock, in storing order.
  const std::vector<ExpectedExchangeRow> expected = Expected(model);
  CADORecordset rs(&builder_.Market());
  ASSERT_TRUE(rs.Open("SELECT * FROM StockInfo WHERE SB_Date=? ORDER BY rowid", {std::string(kDay)}));
  double totalBuy = 0, totalSell = 0;
  std::size_t i = 0;
  for (; !rs.IsEof(); rs.MoveNext(), ++i) {
    ASSERT_LT(i, expected.size());
    const ExpectedExchangeRow& want = expected[i];
    std::string code, name, reason;
    int ok = 0;
    double close = 0, change = 0, volume = 0, amount = 0;
    rs.GetFieldValue("StockCode", code);
    rs.GetFieldValue("StockName", name);
    rs.GetFieldValue("SB_Reason", reason);
    rs.GetFieldValue("IsDownloadOK", ok);
    rs.GetFieldValue("JinShou", close);
    rs.GetFieldValue("ZhangFu", change);
    rs.GetFieldValue("DRCJL", volume);
    rs.GetFieldValue("Amount", amount);
    EXPECT_EQ(code, want.code);
    EXPECT_EQ(name, want.name);
    EXPECT_EQ(reason, want.reason) << code;
    EXPECT_EQ(ok, 1);
    EXPECT_NEAR(close, want.close, 1e-6) << code;
    EXPECT_NEAR(change, want.change, 1e-6) << code;
    EXPECT_NEAR(volume, want.volume, 1e-6) << code;
    EXPECT_NEAR(amount, want.amount, 1e-6) << code;
    for (int side = 0; side < 2; ++side) {
      const FiveSeats& seats = side == 0 ? want.buy : want.sell;
      for (int n = 0; n < 5; ++n) {
        const std::string prefix = std::string(side == 0 ? "Buy" : "Sell") + std::to_string(n + 1) + "_YYB_";
        std::string seat;
        double buy = 0, sell = 0;
        rs.GetFieldValue(prefix + "Name", seat);
        rs.GetFieldValue(prefix + "BuyAmount", buy);
        rs.GetFieldValue(prefix + "SellAmount", sell);
        EXPECT_EQ(seat, seats[n].name) << code << " " << prefix;
        // Stored with three decimals: 123.456789 as 123.457, 0.1234 as 0.123.
        EXPECT_NEAR(buy, std::round(seats[n].buy * 1000) / 1000, 1e-9) << code << " " << prefix;
        EXPECT_NEAR(sell, std::round(seats[n].sell * 1000) / 1000, 1e-9) << code << " " << prefix;
        totalBuy += buy;
        totalSell += sell;
      }
    }
  }
  EXPECT_EQ(i, expected.size());
  CADORecordset sixRows(&builder_.Market());
  ASSERT_TRUE(sixRows.Open("SELECT Buy1_YYB_BuyAmount AS b, Buy1_YYB_SellAmount AS s FROM StockInfo WHERE StockCode=?",
                           {std::string("000002")}));
  double b = 0, s = 0;
  sixRows.GetFieldValue("b", b);
  sixRows.GetFieldValue("s", s);
  EXPECT_DOUBLE_EQ(b, 123.457);
  EXPECT_DOUBLE_EQ(s, 0.123);

  // The day's totals are the sums of what was stored.
  CADORecordset totals(&builder_.Market());
  ASSERT_TRUE(totals.Open("SELECT * FROM TotalBuySell WHERE SB_Date=?", {std::string(kDay)}));
  ASSERT_FALSE(totals.IsEof());
  int count = 0;
  double storedBuy = 0, storedSell = 0;
  totals.GetFieldValue("Today_ShangBang", count);
  totals.GetFieldValue("Today_TotalBuy", storedBuy);
  totals.GetFieldValue("Today_TotalSell", storedSell);
  EXPECT_EQ(count, static_cast<int>(expected.size()));
  EXPECT_NEAR(storedBuy, totalBuy, 1e-6);
  EXPECT_NEAR(storedSell, totalSell, 1e-6);

  // The lines: the day's start, a history page without its table, the summary last.
  const std::vector<Line> lines = Lines(*page);
  EXPECT_GE(IndexOf(lines, "Velkor数据：第0日（“2017-01-05”）开始下载: .", kLineBlue), 0);
  EXPECT_GE(IndexOf(lines, "历史行情：没有找到收盘价格。2017-01-05：900901", kLineRed), 0);
  EXPECT_TRUE(HasLineStarting(
      lines, "下载 " + std::to_string(expected.size()) + " 只,入数据库 " + std::to_string(expected.size()) +
                 " 只,下载正确。耗时：",
      kLineBlue));
  EXPECT_FALSE(HasLineStarting(lines, "深圳", kLineRed));
  EXPECT_EQ(page->Engine()->m_nDaysFetched, 1);
  // The list was read when the day began; showing all days reads it again.
  GuiDriver::Click(page.get(), 1002);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return GuiDriver::FindAs<QTableWidget>(page.get(), 1119)->rowCount() == 1; }));
  GuiDriver::Grab(page.get()).save("exchange_day.png");
}

TEST_F(ExchangeDayTest, TheShanghaiQueryCarriesItsOwnHeadersAndAcceptsGzip) {
  const ExchangeDayModel model = MakeExchangeDay(kDay);
  Serve(model);
  FixtureResponse gzip = FixtureResponse::Ok(GzipStored(RenderSseAnswer(model)), "text/javascript");
  gzip.headers.push_back({"Content-Encoding", "gzip"});
  server_.Route(SseQueryTargetFor(kDay), gzip);
  auto page = MakePage();
  DownloadChosenDay(*page);

  const std::vector<FixtureRequest> requests = server_.Requests();
  const auto query = std::find_if(requests.begin(), requests.end(),
                                  [](const FixtureRequest& r) { return r.target == SseQueryTargetFor(kDay); });
  ASSERT_NE(query, requests.end());
  EXPECT_EQ(query->method, "GET");
  EXPECT_EQ(query->Header("Accept"), "*/*");
  EXPECT_EQ(query->Header("Referer"), server_.BaseUrl() + "/disclosure/diclosure/public/");
  EXPECT_EQ(query->Header("Accept-Language"), "zh-cn");
  EXPECT_TRUE(query->Header("User-Agent").starts_with("Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1;"));
  EXPECT_EQ(query->Header("Accept-Encoding"), "gzip, deflate");
  EXPECT_EQ(query->Header("Connection"), "Keep-Alive");
  int hosts = 0;
  for (const auto& [name, value] : query->headers) {
    EXPECT_FALSE(name.starts_with("GET")) << name;  // no request line among the headers
    if (name == "Host") ++hosts;
  }
  EXPECT_EQ(hosts, 1);

  // The gzip answer arrived decoded: Shanghai's stocks are stored.
  CADORecordset rs(&builder_.Market());
  ASSERT_TRUE(rs.Open("SELECT SB_Reason FROM StockInfo WHERE StockCode=?", {std::string("600004")}));
  ASSERT_FALSE(rs.IsEof());
  std::string reason;
  rs.GetFieldValue("SB_Reason", reason);
  EXPECT_EQ(reason, SseTitlesForTests()[13]);
}

TEST_F(ExchangeDayTest, TodaysDayTellsTheActivityPageAfterItsTotals) {
  clock_.Set(2017, 1, 5, 18, 30);
  Serve(MakeExchangeDay(kDay));
  RecordingActivePage active(builder_.Market());
  PageRegistry::Instance().Publish<IStockActivePage>(PageSlot::StockActivePage, &active);
  auto page = MakePage();
  DownloadChosenDay(*page);
  QApplication::processEvents();
  EXPECT_EQ(active.calls, 1);
  EXPECT_TRUE(active.totalsFound);
  PageRegistry::Instance().Unpublish(PageSlot::StockActivePage);
}

TEST_F(ExchangeDayTest, EveryBulletinMissingIsADayWithoutDataNotADownloadedOne) {
  server_.Route("/", FixtureResponse::Ok("ok"));  // the query host is up; everything else answers 404
  auto page = MakePage();
  DownloadChosenDay(*page);
  const std::vector<Line> lines = Lines(*page);
  const int main = IndexOf(lines, "深圳主板交易公开信息：没有Velkor数据或网页数据有变", kLineRed);
  const int sme = IndexOf(lines, "深圳中小板交易公开信息：没有Velkor数据或网页数据有变", kLineRed);
  const int growth = IndexOf(lines, "深圳创业板交易公开信息：没有Velkor数据或网页数据有变", kLineRed);
  const int status = IndexOf(lines, "客户端请求出错", kLineRed);
  const int missing = IndexOf(lines, "上海证券交易所每日交易信息：没有Velkor数据或网页数据有变", kLinePlain);
  const int shanghai = IndexOf(lines, "上海交易公开信息：没有Velkor数据或网页数据有变", kLineRed);
  EXPECT_GE(main, 0);
  EXPECT_LT(main, sme);
  EXPECT_LT(sme, growth);
  EXPECT_LT(growth, status);
  EXPECT_LT(status, missing);
  EXPECT_LT(missing, shanghai);
  EXPECT_EQ(lines.back(), (Line{std::string(kDay) + "：交易所没有公布当日的交易公开信息，当日没有数据。", kLinePlain}));
  CADORecordset totals(&builder_.Market());
  ASSERT_TRUE(totals.Open("SELECT Today_ShangBang FROM TotalBuySell WHERE SB_Date=?", {std::string(kDay)}));
  EXPECT_TRUE(totals.IsEof());
  EXPECT_EQ(page->Engine()->m_nDaysFetched, 0);
  EXPECT_EQ(Waits(2000), 1);
}

TEST_F(ExchangeDayTest, BulletinsAnsweringServerErrorsAreAFailedDay) {
  clock_.Set(2017, 1, 5, 18, 30);
  server_.SetDefault(FixtureResponse::Status(500, "oops"));
  RecordingActivePage active(builder_.Market());
  PageRegistry::Instance().Publish<IStockActivePage>(PageSlot::StockActivePage, &active);
  auto page = MakePage();
  DownloadChosenDay(*page);
  QApplication::processEvents();
  PageRegistry::Instance().Unpublish(PageSlot::StockActivePage);
  const std::vector<Line> lines = Lines(*page);
  EXPECT_EQ(lines.back(), (Line{kNetworkLine, kLinePlain}));
  EXPECT_FALSE(HasLineStarting(lines, "下载 ", kLineBlue));  // not "下载 0 只,…,下载正确"
  CADORecordset totals(&builder_.Market());
  EXPECT_TRUE(totals.Open("SELECT 1 FROM TotalBuySell") && totals.IsEof());
  EXPECT_EQ(active.calls, 0);
  EXPECT_EQ(page->Engine()->m_nDaysFetched, 0);
}

TEST_F(ExchangeDayTest, ShanghaiServerErrorsShortAnswersAndADownHost) {
  const ExchangeDayModel model = MakeExchangeDay(kDay);
  Serve(model);
  server_.Route(SseQueryTargetFor(kDay), FixtureResponse::Status(500, "oops"));
  auto page = MakePage();
  DownloadChosenDay(*page);
  std::vector<Line> lines = Lines(*page);
  const int error = IndexOf(lines, "服务器端出错", kLineRed);
  EXPECT_GE(error, 0);
  EXPECT_GT(IndexOf(lines, "上海交易公开信息：没有Velkor数据或网页数据有变", kLineRed), error);

  // 999 bytes of a 200 answer: too short to be the bulletin, and no bulletin line.
  page->OnClearLog();
  server_.Route(SseQueryTargetFor(kDay), FixtureResponse::Ok(std::string(999, ' '), "text/javascript"));
  builder_.Market().Execute("DELETE FROM StockInfo");
  DownloadChosenDay(*page);
  lines = Lines(*page);
  EXPECT_GE(IndexOf(lines, "上海交易公开信息：没有Velkor数据或网页数据有变", kLineRed), 0);
  EXPECT_EQ(IndexOf(lines, "上海证券交易所每日交易信息：没有Velkor数据或网页数据有变", kLinePlain), -1);
  EXPECT_EQ(Waits(2000), 2);

  // The query host down: no query, no wait, only the Shanghai line.
  page->OnClearLog();
  fetcher_->refused = server_.BaseUrl() + "/";
  builder_.Market().Execute("DELETE FROM StockInfo");
  server_.ClearLog();
  DownloadChosenDay(*page);
  lines = Lines(*page);
  EXPECT_EQ(server_.CountOf(SseQueryTargetFor(kDay)), 0);
  EXPECT_GE(IndexOf(lines, "上海交易公开信息：没有Velkor数据或网页数据有变", kLineRed), 0);
  EXPECT_EQ(IndexOf(lines, "服务器端出错", kLineRed), -1);
  EXPECT_EQ(Waits(2000), 2);
  EXPECT_EQ(page->Engine()->m_nDaysFetched, 3);
}

TEST_F(ExchangeDayTest, OnlyARedirectThatCannotBeFollowedGivesTheRedirectLine) {
  const ExchangeDayModel model = MakeExchangeDay(kDay);
  Serve(model);
  // A followed redirect: the answer comes from where it points.
  server_.Route(SseQueryTargetFor(kDay), FixtureResponse::Redirect("/moved"));
  server_.Route("/moved", FixtureResponse::Ok(RenderSseAnswer(model), "text/javascript"));
  auto page = MakePage();
  DownloadChosenDay(*page);
  std::vector<Line> lines = Lines(*page);
  EXPECT_EQ(IndexOf(lines, "重定向，客户端需要根据返回的信息做进一步处理", kLineRed), -1);
  EXPECT_EQ(IndexOf(lines, "上海交易公开信息：没有Velkor数据或网页数据有变", kLineRed), -1);

  // A loop: past the bound, the last 3xx answer stands.
  page->OnClearLog();
  builder_.Market().Execute("DELETE FROM StockInfo");
  server_.Route(SseQueryTargetFor(kDay), FixtureResponse::Redirect(SseQueryTargetFor(kDay)));
  DownloadChosenDay(*page);
  lines = Lines(*page);
  const int redirect = IndexOf(lines, "重定向，客户端需要根据返回的信息做进一步处理", kLineRed);
  EXPECT_GE(redirect, 0);
  EXPECT_GT(IndexOf(lines, "上海交易公开信息：没有Velkor数据或网页数据有变", kLineRed), redirect);
}

TEST_F(ExchangeDayTest, AMissingBoardGivesItsRedLineAndTheOthersGoOn) {
  ExchangeDayModel model = MakeExchangeDay(kDay);
  model.boards[2].missing = true;
  Serve(model);
  auto page = MakePage();
  DownloadChosenDay(*page);
  const std::vector<Line> lines = Lines(*page);
  EXPECT_GE(IndexOf(lines, "深圳创业板交易公开信息：没有Velkor数据或网页数据有变", kLineRed), 0);
  EXPECT_EQ(IndexOf(lines, "深圳主板交易公开信息：没有Velkor数据或网页数据有变", kLineRed), -1);
  CADORecordset rs(&builder_.Market());
  ASSERT_TRUE(rs.Open("SELECT COUNT(*) AS n FROM StockInfo WHERE SB_Date=?", {std::string(kDay)}));
  int n = 0;
  rs.GetFieldValue("n", n);
  EXPECT_EQ(n, static_cast<int>(Expected(model).size()));
}

TEST_F(ExchangeDayTest, ARedownloadKeepsTheStoredRowsInOneBlueLineAndEndsAsASuccess) {
  const ExchangeDayModel model = MakeExchangeDay(kDay);
  Serve(model);
  auto page = MakePage();
  DownloadChosenDay(*page);
  ASSERT_TRUE(builder_.Market().Execute("DELETE FROM StockInfo WHERE rowid > 3"));  // three rows kept
  page->OnClearLog();
  DownloadChosenDay(*page);
  const std::vector<Line> lines = Lines(*page);
  const int fetched = static_cast<int>(Expected(model).size()) - 3;
  EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](const Line& l) { return l.text.ends_with("错误，-2 !"); }));
  EXPECT_GE(IndexOf(lines, FormatC("%s：已有3只，补下载%d只", kDay, fetched), kLineBlue), 0);
  EXPECT_TRUE(HasLineStarting(lines, FormatC("下载 %d 只,入数据库 %d 只,下载正确。耗时：", fetched, fetched), kLineBlue));
}

TEST_F(ExchangeDayTest, ARedownloadThatCompletesADayCountsEveryStoredRow) {
  const ExchangeDayModel model = MakeExchangeDay(kDay);
  ExchangeDayModel partial = model;
  partial.boards[2].missing = true;
  Serve(partial);
  auto page = MakePage();
  DownloadChosenDay(*page);
  Serve(model);
  DownloadChosenDay(*page);
  const int kept = static_cast<int>(Expected(partial).size()), all = static_cast<int>(Expected(model).size());
  EXPECT_GE(IndexOf(Lines(*page), FormatC("%s：已有%d只，补下载%d只", kDay, kept, all - kept), kLineBlue), 0);
  CADORecordset status(&builder_.Market());
  EXPECT_TRUE(status.Open("SELECT 1 FROM DayStatus WHERE SB_Date=? AND Listed=?", {std::string(kDay), all}) &&
              !status.IsEof());
  auto* days = GuiDriver::FindAs<QTableWidget>(page.get(), 1119);
  EXPECT_TRUE(GuiDriver::WaitUntil(
      [&] { return days->rowCount() == 1 && days->item(0, 2)->text() == QString::number(all); }));
}

TEST_F(ExchangeDayTest, ADayNoSourceAnsweredIsNeitherASuccessNorEnded) {
  server_.Stop();
  auto page = MakePage();
  DownloadChosenDay(*page);
  EXPECT_EQ(Lines(*page).back(), (Line{kNetworkLine, kLinePlain}));  // not "下载 0 只,…,下载正确"
}
