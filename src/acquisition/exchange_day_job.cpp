#include "acquisition/exchange_day_job.h"

#include <map>

#include "acquisition/day_end.h"
#include "acquisition/format_line.h"
#include "acquisition/page_text.h"
#include "acquisition/quote_history.h"
#include "acquisition/trading_calendar.h"
#include "platform/debug_log.h"
#include "platform/page_registry.h"
#include "platform/worker_registry.h"
#include "storage/day_range.h"

namespace {

constexpr const char* kSseFailureLine = "上海交易公开信息：没有Velkor数据或网页数据有变";
constexpr const char* kNothingPublishedLine = "：交易所没有公布当日的交易公开信息，当日没有数据。";

bool Stopping(const std::stop_token& stop) { return stop.stop_requested() || g_bClosing.load(); }

bool Is2xx(long status) { return status >= 200 && status <= 299; }

int NextJobId() {
  static std::atomic<int> next{1};
  return next++;
}

}  // namespace

const std::vector<SzseBoard>& SzseBoards() {
  static const std::vector<SzseBoard> boards = {
      {2, "\\临时文件\\深圳主板.txt", "/szseWeb/common/szse/files/text/jy/jy",
       "深圳主板交易公开信息：没有Velkor数据或网页数据有变"},
      {3, "\\临时文件\\深圳中小板.txt", "/szseWeb/common/szse/files/text/smeTxt/gk/sme_jy",
       "深圳中小板交易公开信息：没有Velkor数据或网页数据有变"},
      {4, "\\临时文件\\深圳创业板.txt", "//szseWeb/common/szse/files/text/nmTxt/gk/nm_jy",
       "深圳创业板交易公开信息：没有Velkor数据或网页数据有变"},
  };
  return boards;
}

std::string SseQueryTarget(const std::string& day) {
  return "/infodisplay/showTradePublicFile.do?jsonCallBack=jQuery17204362401361030405_1403685277939&dateTx=" + day +
         "&random=0.8541906605033429&_=1403686272421";
}

RequestLines SseQueryLines(const SourceHosts& hosts) {
  // Host comes from the address itself; the encodings are offered only as curl undoes
  // them, so the answer arrives decoded.
  return RequestLines{
      .headers = {"Accept: */*", "Referer: " + hosts.Url(SourceHosts::kSseWeb, "/disclosure/diclosure/public/"),
                  "Accept-Language: zh-cn",
                  "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET4.0C; LBBROWSER) ",
                  "Connection: Keep-Alive"},
      .encodings = "gzip, deflate",
  };
}

// One day's job state: what the download page kept for this road.
class ExchangeDayJob::Day final : public BulletinEvents {
 public:
  Day(DownloadRoadDeps& deps, const std::string& day, std::stop_token stop)
      : deps_(deps), stop_(std::move(stop)), parser_(day, *this), writer_(deps.db, deps.sleeper, counters_) {}

  // True once the day has ended; false when stopped, when no bulletin was read, or when
  // the day holds no stored row.
  bool Run();

  bool Stopped() const { return Stopping(stop_); }

  // BulletinEvents
  void Line(const std::string& text, COLORREF colour) override { deps_.sink.addLine(text, colour); }
  void Progress(const std::string& text) override { deps_.sink.setProgress(text); }
  void Stock(StockRecord& record) override;

 private:
  // What became of one bulletin.
  enum class Bulletin {
    Parsed,     // read and parsed
    Missing,    // the exchange answered 404: it has published none
    Failed,     // not read (no answer, a cut transfer), an error status, or not a bulletin
  };
  Bulletin ParseSzseBulletin(const SzseBoard& board, const std::string& url);
  Bulletin QuerySseTradeInfo();
  bool ProbeUrl(const std::string& url);
  int FetchQuoteHistory(StockRecord& record);
  int FetchQuotePage(StockRecord& record);
  std::string Decoded(const HttpResult& page, const char* defaultCharset, bool keepLineEnds) const;
  HttpResult Read(const std::string& url) { return deps_.fetcher.Get(url); }
  HttpResult Read(const std::string& url, const RequestLines& lines) { return deps_.fetcher.GetWithLines(url, lines); }

  DownloadRoadDeps& deps_;
  std::stop_token stop_;
  ExchangeBulletinParser parser_;
  StockInsertCounters counters_;
  CStockInfoWriter writer_;
  std::vector<std::string> storedNames_;  // handed to the writer, in order
  std::map<std::string, int> storedRows_;  // what the day held before (LoadStoredRowStates)
  int kept_ = 0;                           // stocks stored complete before, left as they are
  int updatedComplete_ = 0;                // stored incomplete before, completed now
  std::int64_t m_dwStartTick = 0;
};

std::string ExchangeDayJob::Day::Decoded(const HttpResult& page, const char* defaultCharset, bool keepLineEnds) const {
  std::string text = decodePage(page.body, page.contentType, defaultCharset);
  return keepLineEnds ? text : joinLines(text);
}

bool ExchangeDayJob::Day::Run() {
  const std::string& day = parser_.m_strDownloadDate;
  const std::int64_t startTick = deps_.clock.SteadyMs();
  const std::string file = [&] {
    const auto number = DayNumberOf(day);
    if (!number) return std::string(".txt");
    const LocalTime civil = CivilFromDays(*number);
    return SzseBulletinFileName(civil.year, civil.month, civil.day);
  }();
  parser_.m_nDownload_StockCounter = 0;
  counters_ = StockInsertCounters{};
  storedRows_ = LoadStoredRowStates(deps_.db, day);
  int parsed = 0, missing = 0, bulletins = 0;
  const auto note = [&](Bulletin bulletin) {
    ++bulletins;
    if (bulletin == Bulletin::Parsed) ++parsed;
    if (bulletin == Bulletin::Missing) ++missing;
    return bulletin;
  };
  for (const SzseBoard& board : SzseBoards()) {
    if (Stopped()) return false;
    counters_.m_nMarket = board.market;
    if (note(ParseSzseBulletin(board, deps_.hosts.Url(SourceHosts::kSzseFiles, std::string(board.path) + file))) !=
        Bulletin::Parsed) {
      deps_.sink.addLine(board.failureLine, kLineRed);
    }
    deps_.sleeper.Sleep(1);
  }
  if (Stopped()) return false;
  counters_.m_nMarket = 1;
  parser_.m_strMarketFile = "上海主板.txt";
  if (note(QuerySseTradeInfo()) != Bulletin::Parsed) deps_.sink.addLine(kSseFailureLine, kLineRed);
  deps_.sleeper.Sleep(1);
  if (Stopped()) return false;
  // A day no bulletin was read for is neither ended nor told: nothing is known of it.
  if (parsed == 0 && missing == bulletins) {
    deps_.sink.addLine(day + kNothingPublishedLine, kLinePlain);
    return false;
  }
  if (parsed == 0) {
    deps_.sink.addLine(kNetworkLine, kLinePlain);
    return false;
  }

  const int listed = parser_.m_nDownload_StockCounter;
  if (kept_ > 0) deps_.sink.addLine(KeptRowsLine(day, kept_, listed), kLineBlue);
  return FinishDownloadedDay(deps_.db, deps_.sink, deps_.pages, day == DayTextOf(deps_.clock.Now()),
                             DayEndCounts{.day = day,
                                          .downloadedNames = storedNames_,
                                          .downloadCounter = listed - kept_,
                                          .insertedComplete = counters_.m_nInsertDB_StockCounter + updatedComplete_,
                                          .elapsedMs = deps_.clock.SteadyMs() - startTick},
                             deps_.onDbWrite);
}

ExchangeDayJob::Day::Bulletin ExchangeDayJob::Day::ParseSzseBulletin(const SzseBoard& board, const std::string& url) {
  m_dwStartTick = deps_.clock.SteadyMs();
  const HttpResult page = Read(url);
  if (!page.opened) return Bulletin::Failed;
  if (page.status == 404) return Bulletin::Missing;
  if (!Is2xx(page.status)) return Bulletin::Failed;
  return parser_.ParseSzseBulletin(Decoded(page, "gbk", true), board.marketFile) == kBulletinParsed ? Bulletin::Parsed
                                                                                                   : Bulletin::Failed;
}

bool ExchangeDayJob::Day::ProbeUrl(const std::string& url) { return Read(url).opened; }

ExchangeDayJob::Day::Bulletin ExchangeDayJob::Day::QuerySseTradeInfo() {
  if (!ProbeUrl(deps_.hosts.Url(SourceHosts::kSseQuery, "/"))) return Bulletin::Failed;
  const HttpResult answer = Read(
      deps_.hosts.Url(SourceHosts::kSseQuery, SseQueryTarget(parser_.m_strDownloadDate)), SseQueryLines(deps_.hosts));
  if (!answer.opened) return Bulletin::Failed;
  deps_.sleeper.Sleep(2000);
  std::string text;
  if (Is2xx(answer.status)) {
    // The answer's own length, as it came (before any conversion).
    if (answer.body.size() < 1000) return Bulletin::Failed;
    text = Decoded(answer, "utf-8", false);
  } else if (answer.status >= 300 && answer.status <= 399) {
    deps_.sink.addLine("重定向，客户端需要根据返回的信息做进一步处理", kLineRed);
  } else if (answer.status >= 400 && answer.status <= 499) {
    deps_.sink.addLine("客户端请求出错", kLineRed);
  } else if (answer.status >= 500 && answer.status <= 599) {
    deps_.sink.addLine("服务器端出错", kLineRed);
  }
  const bool parsed = parser_.ParseSseBulletin(text) == kBulletinParsed;
  if (parsed) return Bulletin::Parsed;
  return answer.status == 404 ? Bulletin::Missing : Bulletin::Failed;
}

int ExchangeDayJob::Day::FetchQuoteHistory(StockRecord& record) {
  const HttpResult answer = Read(
      deps_.hosts.Url(SourceHosts::kQuoteHistory, QuoteHistoryTarget(record.StockCode, parser_.m_strDownloadDate)));
  if (!answer.opened) return kQuoteNotOpened;
  return ParseQuoteHistory(Decoded(answer, "gbk", false), parser_.m_strDownloadDate, record);
}

int ExchangeDayJob::Day::FetchQuotePage(StockRecord& record) {
  const HttpResult page = Read(deps_.hosts.Url(SourceHosts::kQuotePage, QuotePageTarget(record.StockCode)));
  if (!page.opened) return kQuotePageNoDay;
  const int result = ParseQuotePage(Decoded(page, "gbk", false), parser_.m_strDownloadDate, record);
  if (result == kQuotePageNoTable) {
    deps_.sink.addLine(QuotePageNoTableLine(parser_.m_strDownloadDate, record.StockCode), kLineRed);
  }
  return result;
}

void ExchangeDayJob::Day::Stock(StockRecord& record) {
  if (Stopped()) return;
  // A stock stored complete before is kept as it is; one stored incomplete is completed in place.
  const auto stored = storedRows_.find(record.StockCode);
  const int state = stored == storedRows_.end() ? 0 : stored->second;
  if (state == 1) {
    ++kept_;
    return;
  }
  deps_.sleeper.Sleep(1);
  if (FetchQuoteHistory(record) == kQuoteNoData) FetchQuotePage(record);
  deps_.sleeper.Sleep(1);
  storedNames_.push_back(record.StockName);
  const auto start = std::chrono::steady_clock::now();
  const int written = state == 0 ? writer_.InsertStockInfo(record) : writer_.UpdateStockInfo(record);
  if (deps_.onDbWrite) deps_.onDbWrite(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  if (state == 2 && written == kStockWriteOk && record.IsDownloadOK == 1) ++updatedComplete_;
  if (written != kStockWriteOk) {
    deps_.sink.addLine(record.StockCode + FormatC(", 插入数据库时错误，%d !", written), kLineRed);
  }
  deps_.sleeper.Sleep(1);
}

// ---- The job -------------------------------------------------------------------

ExchangeDayJob::ExchangeDayJob(DownloadRoadDeps deps)
    : deps_(std::move(deps)),
      jobPrefix_("exchange#" + std::to_string(NextJobId()) + ".day."),
      alive_(std::make_shared<int>(0)),
      aliveToken_(alive_) {}

ExchangeDayJob::~ExchangeDayJob() {
  alive_.reset();
  for (const std::string& job : jobNames_) deps_.workers.RequestStop(job);
  WaitForJobs(10000);
}

bool ExchangeDayJob::WaitForJobs(int boundMs) {
  std::vector<std::string> left;
  for (const std::string& job : jobNames_) {
    if (!deps_.workers.WaitFor(job, std::chrono::milliseconds(boundMs))) left.push_back(job);
  }
  jobNames_ = std::move(left);
  return jobNames_.empty();
}

bool ExchangeDayJob::StartDay(const std::string& day, std::function<void(bool fetched)> done) {
  const std::string name = jobPrefix_ + std::to_string(++jobSequence_);
  const auto result = deps_.workers.Start(name, [this, day, done = std::move(done)](std::stop_token stop) mutable {
    ExchangeFilesThread(day, std::move(stop), std::move(done));
  });
  if (result != WorkerRegistry::StartResult::Started) {
    AppendDebugLog("download: cannot start the exchanges' day job (%d)", static_cast<int>(result));
    return false;
  }
  std::erase_if(jobNames_, [this](const std::string& job) { return !deps_.workers.IsRunning(job); });
  jobNames_.push_back(name);
  return true;
}

void ExchangeDayJob::ExchangeFilesThread(const std::string& day, std::stop_token stop, std::function<void(bool)> done) {
  bool fetched = false;
  {
    Day job(deps_, day, stop);
    fetched = job.Run();
  }
  std::weak_ptr<int> alive = aliveToken_;
  const bool queued = deps_.ui.RunOnUi(
      [alive, done = std::move(done), fetched] {
        if (alive.lock() && done) done(fetched);
      },
      false);
  if (!queued) AppendDebugLog("download: the UI thread no longer takes calls");
}
