#include "acquisition/download_engine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "acquisition/day_end.h"
#include "acquisition/day_list_parser.h"
#include "acquisition/format_line.h"
#include "acquisition/day_totals.h"
#include "acquisition/page_text.h"
#include "acquisition/seat_page_parser.h"
#include "acquisition/stock_info_writer.h"
#include "acquisition/trading_calendar.h"
#include "acquisition/unset_source_guard.h"
#include "platform/debug_log.h"
#include "platform/page_registry.h"
#include "platform/pages/daily_list_page_iface.h"
#include "platform/pages/settings_page_iface.h"
#include "platform/pages/stock_active_page_iface.h"
#include "platform/worker_registry.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"
#include "storage/day_range.h"

namespace {

constexpr const char* kDbClosedLine = "数据库没有打开，数据无法保存!!!";
constexpr const char* kBusyLine = "正在下载数据，请稍后再下载指定日期数据!!!";


bool Stopping(const std::stop_token& stop) { return stop.stop_requested() || g_bClosing.load(); }

// Runs one database write and reports its duration to the measuring hook, if any.
template <class Write>
auto TimedWrite(const std::function<void(double)>& onDbWrite, Write&& write) {
  if (!onDbWrite) return write();
  const auto start = std::chrono::steady_clock::now();
  auto result = write();
  onDbWrite(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return result;
}

int NextEngineId() {
  static std::atomic<int> next{1};
  return next++;
}

}  // namespace

DownloadEngine::DownloadEngine(DownloadRoadDeps deps)
    : deps_(std::move(deps)),
      jobPrefix_("download#" + std::to_string(NextEngineId()) + "."),
      alive_(std::make_shared<int>(0)),
      aliveToken_(alive_) {}

DownloadEngine::~DownloadEngine() {
  alive_.reset();  // posts still queued do nothing now
  for (const std::string& job : jobNames_) deps_.workers.RequestStop(job);
  WaitForJobs(10000);
}

bool DownloadEngine::WaitForJobs(int boundMs) {
  std::vector<std::string> left;
  for (const std::string& job : jobNames_) {
    if (!deps_.workers.WaitFor(job, std::chrono::milliseconds(boundMs))) left.push_back(job);
  }
  jobNames_ = std::move(left);
  return jobNames_.empty();
}

void DownloadEngine::Post(std::function<void()> fn) {
  std::weak_ptr<int> alive = aliveToken_;
  const bool queued = deps_.ui.RunOnUi(
      [alive, fn = std::move(fn)] {
        if (alive.lock()) fn();
      },
      false);
  if (!queued) AppendDebugLog("download: the UI thread no longer takes calls");
}

bool DownloadEngine::StartJob(const std::string& what, std::function<void(std::stop_token)> fn) {
  // Every job has a name of its own: a job that has posted its release may still be
  // on its last lines when the next one starts.
  const std::string name = jobPrefix_ + what + "." + std::to_string(++jobSequence_);
  const auto result = deps_.workers.Start(name, std::move(fn));
  if (result == WorkerRegistry::StartResult::Started) {
    std::erase_if(jobNames_, [this](const std::string& job) { return !deps_.workers.IsRunning(job); });
    jobNames_.push_back(name);
    return true;
  }
  AppendDebugLog("download: cannot start the %s job (%d)", what.c_str(), static_cast<int>(result));
  return false;
}

void DownloadEngine::StartTimer(int periodMs) {
  timerRunning_ = true;
  deps_.sink.startTimer(periodMs);
}

void DownloadEngine::StopTimer() {
  timerRunning_ = false;
  deps_.sink.stopTimer();
}

// ---- The schedule (UI thread) ----------------------------------------------------

bool DownloadEngine::RefuseUnsetSource() {
  if (!deps_.hosts.IsRunSourceUnset(deps_.dataSource())) return false;
  TellSourceUnset(deps_.sink);
  return true;
}

void DownloadEngine::StartStartupRun() {
  if (RefuseUnsetSource()) {
    StartDayScan();  // the stored days are listed all the same
    return;
  }
  m_bNextDay = 1;
  m_nDaysWanted = 50;
  m_nDayCounter = 0;
  m_nDayOffset = 0;
  m_dwStartTick = deps_.clock.SteadyMs();
  StartTimer(deps_.startupPeriodMs);
}

void DownloadEngine::OnStartDownload(const DownloadRequest& request) {
  // One download at a time: a run or a day job going refuses every further start.
  if (request.kind != DownloadRequest::Kind::ChosenDate && (timerRunning_ || dayJobRunning_)) {
    deps_.sink.addLine(kBusyLine, kLineRed);
    return;
  }
  if (RefuseUnsetSource()) return;
  m_nDayCounter = 0;
  m_nDayOffset = 0;
  deps_.sink.setStartEnabled(false);
  const LocalTime now = deps_.clock.Now();
  switch (request.kind) {
    case DownloadRequest::Kind::Today:
      switch (TodayStartAt(now.hour, now.minute)) {
        case TodayStart::TooEarly:
          deps_.sink.addLine("当日数据请在17:20分以后下载!!!!!", kLinePlain);
          deps_.sink.setStartEnabled(true);
          return;
        case TodayStart::StartAndReenable:
          deps_.sink.setStartEnabled(true);
          [[fallthrough]];
        case TodayStart::Start:
          m_bNextDay = 1;
          m_nDaysWanted = 1;
          StartTimer(deps_.runPeriodMs);
          return;
      }
      return;
    case DownloadRequest::Kind::Range:
      m_bNextDay = 1;
      m_nDaysWanted = request.days;
      StartTimer(deps_.runPeriodMs);
      return;
    case DownloadRequest::Kind::ChosenDate: {
      const LocalTime day = CivilFromDays(DaysFromCivil(request.date.year, request.date.month, request.date.day));
      if (day.dayOfWeek == 0 || day.dayOfWeek == 6) {
        deps_.sink.addLine("今天是休息时间，不营业!!!", kLinePlain);
      } else if (timerRunning_ || dayJobRunning_ || m_bBusy) {
        // One day job at a time: a chosen date never overlaps a running download.
        deps_.sink.addLine(kBusyLine, kLineRed);
      } else {
        DownloadDay(DayTextOf(day));
        StartDayScan();
      }
      deps_.sink.setStartEnabled(true);
      return;
    }
  }
}

void DownloadEngine::OnTimer(UINT id) {
  ++m_nTimerTicks;
  if (m_nTimerTicks == deps_.fillInTick) {
    if (deps_.dataSource() == 1) OnFillMissing();
    StartDayScan();
  }
  if (m_nTimerTicks < deps_.scheduleTick) return;
  if (id == 1) Step();
}

int DownloadEngine::CheckNonTradingDay(const LocalTime& day) {
  const DayKind kind = ClassifyDay(day);
  if (kind == DayKind::Trading) return 0;
  ++m_nDayOffset;
  m_bNextDay = 1;
  return kind == DayKind::Holiday ? 1 : 2;
}

void DownloadEngine::Step() {
  // The run takes its next day, or ends, only once the last day job has ended.
  if (m_bBusy || !m_bNextDay || dayJobRunning_) return;
  m_bNextDay = 0;
  if (!deps_.db.IsOpen()) {
    // Nothing could be stored: the run ends before anything is fetched.
    if (!dbClosedReported_) deps_.sink.addLine(kDbClosedLine, kLineRed);
    dbClosedReported_ = true;
    EndRun();
    return;
  }
  const LocalTime candidate = DayBefore(deps_.clock.Now(), m_nDayOffset);
  switch (CheckNonTradingDay(candidate)) {
    case 1:
      deps_.sink.addLine(FormatC("%04d-%02d-%02d, 节假日无数据!!!!!", candidate.year, candidate.month, candidate.day),
                         kLineRed);
      return;
    case 2:
      return;
    default:
      break;
  }
  m_strDownloadDate = DayTextOf(candidate);
  ++m_nDayOffset;
  ++m_nDayCounter;
  if (m_nDayCounter > m_nDaysWanted) {
    EndRun();
  } else if (IsDayStored(m_strDownloadDate)) {
    m_bNextDay = 1;
  } else {
    DownloadDay(m_strDownloadDate);
  }
}

void DownloadEngine::EndRun() {
  deps_.sink.setStartEnabled(true);
  m_dwEndTick = deps_.clock.SteadyMs();
  deps_.sink.setElapsed(FormatRunElapsed(m_dwEndTick - m_dwStartTick));
  StartDayScan();
  const LocalTime now = deps_.clock.Now();
  // The block trades of every month a day was stored in, oldest first, then the
  // current month as before (when today holds none yet).
  std::set<std::string> months = std::move(monthsStored_);
  monthsStored_.clear();
  const std::string current = FormatC("%04d%02d", now.year, now.month);
  if (HasBlockTrades(DayTextOf(now))) {
    months.erase(current);
  } else {
    months.insert(current);
  }
  if (m_nDaysFetched > 0 && deps_.blockTrades != nullptr && !months.empty()) {
    StartBlockTradeMonths(std::vector<std::string>(months.begin(), months.end()), 0);
  }
  StopTimer();
}

void DownloadEngine::StartBlockTradeMonths(std::vector<std::string> months, std::size_t next) {
  std::weak_ptr<int> alive = alive_;
  const bool last = next + 1 >= months.size();
  const std::string month = months[next];
  const auto ended = [this, alive, months = std::move(months), next, last] {
    if (!alive.lock()) return;
    if (!last) {
      if (!g_bClosing) StartBlockTradeMonths(months, next + 1);
      return;
    }
    if (!deps_.pages.Send<ISettingsPage>(PageSlot::Setting, [](ISettingsPage& p) { p.OnDownloadRunFinished(); })) {
      AppendDebugLog("download: the settings page is not there to regenerate the custom data");
    }
    deps_.sink.addLine("生成自定义数据..........", kLineBlue);
  };
  // A month that cannot be fetched leaves the run's days: the next month is asked at
  // once, and after the last the custom data are generated all the same.
  if (!deps_.blockTrades->StartMonth(month, ended) && !g_bClosing) ended();
}

void DownloadEngine::NoteDayStored(const std::string& day) {
  if (day.size() >= 7) monthsStored_.insert(day.substr(0, 4) + day.substr(5, 2));
}

bool DownloadEngine::IsToday(const std::string& day) const { return day == DayTextOf(deps_.clock.Now()); }

void DownloadEngine::DownloadDay(const std::string& day) {
  m_dwStartTick = deps_.clock.SteadyMs();
  const LocalTime now = deps_.clock.Now();
  if (IsToday(day) && (now.hour < 17 || (now.hour == 17 && now.minute <= 20))) {
    deps_.sink.addLine("当日数据请在17:20分以后下载!!!!!", kLineRed);
    deps_.sink.setStartEnabled(true);
    m_bNextDay = 1;
    return;
  }
  deps_.sink.addLine(FormatC("Velkor数据：第%d日（“%s”）开始下载: .", m_nDayCounter, day.c_str()), kLineBlue);
  m_strDownloadDate = day;
  dayJobRunning_ = true;
  if (deps_.dataSource() == 2) {
    std::weak_ptr<int> alive = alive_;
    const auto done = [this, alive, day](bool fetched) {
      if (!alive.lock()) return;
      if (fetched) {
        ++m_nDaysFetched;
        NoteDayStored(day);
      }
      dayJobRunning_ = false;
      m_bNextDay = 1;
      ScanAfterDay();
    };
    if (deps_.exchangeDays == nullptr || !deps_.exchangeDays->StartDay(day, done)) {
      AppendDebugLog("download: the exchanges' road cannot take %s", day.c_str());
      dayJobRunning_ = false;
      m_bNextDay = 1;
    }
    return;
  }
  const std::int64_t startTick = m_dwStartTick;
  if (!StartJob("day", [this, day, startTick](std::stop_token stop) { RunDayJob(day, startTick, stop); })) {
    dayJobRunning_ = false;
    m_bNextDay = 1;
  }
}

// ---- Reads -----------------------------------------------------------------------

bool DownloadEngine::IsDayStored(const std::string& day) const { return IsDayComplete(deps_.db, day); }

bool DownloadEngine::HasBlockTrades(const std::string& day) const {
  const auto [from, to] = DayRange(day);
  CADORecordset rs(&deps_.db);
  if (!rs.Open("SELECT COUNT(*) AS n FROM DZJY WHERE DZJY_Date >= ? AND DZJY_Date < ?", {from, to}) ||
      rs.IsEof()) {
    return false;
  }
  int n = 0;
  rs.GetFieldValue("n", n);
  return n >= 4;
}

std::vector<std::string> DownloadEngine::LoadStoredNames(const std::string& day) const {
  return ::LoadStoredNames(deps_.db, day);
}

// ---- One day (worker) ------------------------------------------------------------

std::string DownloadEngine::DayListUrl(const std::string& day) const {
  return deps_.hosts.Url(SourceHosts::kDataCenter,
                         "/DataCenter_V3/stock2016/TradeDetail/pagesize=200,page=1,sortRule=-1,sortType=,startDate=" +
                             day + ",endDate=" + day + ",gpfw=0,js=var%20data_tab_1.html");
}

std::string DownloadEngine::SeatPageUrl(const std::string& day, const std::string& code) const {
  return deps_.hosts.Url(SourceHosts::kDataCenter, SourceHosts::kSeatPagePath + day + "," + code + ".html");
}

int DownloadEngine::FetchSeatPage(const std::string& url, StockRecord& record, int& pageOpenCount) {
  const HttpResult page = deps_.fetcher.Get(url);
  if (!page.opened) return -1;
  ++pageOpenCount;
  if (page.status != 200) {
    deps_.sink.addLine("打开网页时错误! -21", kLineRed);
    return -21;
  }
  const std::string text = joinLines(decodePage(page.body, page.contentType, kDefaultPageCharset));
  deps_.sleeper.Sleep(1);
  return ParseSeatPage(text, record);
}


void DownloadEngine::RunDayJob(const std::string& day, std::int64_t startTick, std::stop_token stop) {
  bool fetched = false;
  // Every way out of the job releases the schedule.
  struct Release {
    DownloadEngine* engine;
    const std::string& day;
    bool& fetched;
    ~Release() {
      const bool wasFetched = fetched;
      engine->Post([e = engine, wasFetched, day = day] {
        if (wasFetched) {
          ++e->m_nDaysFetched;
          e->NoteDayStored(day);
        }
        e->dayJobRunning_ = false;
        e->m_bNextDay = 1;
        if (!wasFetched) e->deps_.sink.setStartEnabled(true);
        e->ScanAfterDay();
      });
    }
  } release{this, day, fetched};

  // The day's list.
  const HttpResult list = deps_.fetcher.Get(DayListUrl(day));
  if (!list.opened || list.body.empty()) {
    if (!IsHeldBack(list)) deps_.sink.addLine(kNetworkLine, kLinePlain);
    return;
  }
  const DayListPage page = ParseDayList(joinLines(decodePage(list.body, list.contentType, kDefaultPageCharset)), day);
  if (!page.hasRecordArray) {
    deps_.sink.addLine(kNoDayListText, kLineRed);
    deps_.sink.addLine(kNetworkLine, kLinePlain);
    return;
  }

  // The rows an earlier, unfinished job stored: complete ones are kept as they are,
  // incomplete ones are completed in place.
  const std::map<std::string, int> stored = LoadStoredRowStates(deps_.db, day);
  const auto storedState = [&](const DayListEntry& entry) {
    const auto it = stored.find(entry.record.StockCode);
    return it == stored.end() ? 0 : it->second;
  };
  int listed = 0, kept = 0;
  for (const DayListEntry& entry : page.entries) {
    if (entry.repeated) continue;
    ++listed;
    if (entry.complete && storedState(entry) == 1) ++kept;
  }
  if (!MarkDayStarted(deps_.db, day, listed)) AppendDebugLog("download: %s cannot be marked as begun", day.c_str());
  if (kept > 0) deps_.sink.addLine(KeptRowsLine(day, kept, listed), kLineBlue);

  // Each stock's seats.
  StockInsertCounters counters;
  CStockInfoWriter writer(deps_.db, deps_.sleeper, counters);
  std::vector<std::string> downloadedNames;
  int downloadCounter = 0;
  int updatedComplete = 0;
  for (const DayListEntry& entry : page.entries) {
    if (Stopping(stop)) break;
    if (!entry.complete) {
      deps_.sink.addLine(SkippedRecordLine(entry), kDayListRed);
      ++downloadCounter;  // requested, never stored: the day reads "下载错误"
      continue;
    }
    if (entry.repeated) {
      deps_.sleeper.Sleep(1);
      continue;
    }
    const int state = storedState(entry);
    if (state == 1) continue;
    StockRecord record = entry.record;
    downloadedNames.push_back(record.StockName);
    ++downloadCounter;
    deps_.sink.setProgress(FormatC("%03d. %s %s \n", entry.index, PadGbkRight(record.StockName, 10).c_str(),
                                  PadGbkRight(record.StockCode, 10).c_str()));
    const std::string url = SeatPageUrl(day, record.StockCode);
    int pageOpenCount = 0;
    for (int attempt = 0; attempt < 3 && !Stopping(stop); ++attempt) {
      StockRecord tried = entry.record;
      const int result = FetchSeatPage(url, tried, pageOpenCount);
      if (result > 1) {
        record = std::move(tried);
        record.IsDownloadOK = 1;
        break;
      }
      record.IsDownloadOK = 2;
      if (pageOpenCount > 2) {
        deps_.sink.addLine(record.StockName +
                               FormatC(" ,nResult=%d, 第 %d 次访问,您访问的页面无法加载!\n", result, pageOpenCount),
                           kLineBlue);
        break;
      }
      deps_.sleeper.Sleep(100);
    }
    if (record.IsDownloadOK != 1) record.IsDownloadOK = 2;
    int written = kStockWriteOk;
    if (state == 0) {
      written = TimedWrite(deps_.onDbWrite, [&] { return writer.InsertStockInfo(record); });
    } else if (record.IsDownloadOK == 1) {  // a stored incomplete row; left as it is unless completed
      written = TimedWrite(deps_.onDbWrite, [&] { return writer.UpdateStockInfo(record); });
      if (written == kStockWriteOk) ++updatedComplete;
    }
    if (written != kStockWriteOk) {
      deps_.sink.addLine(record.StockCode + FormatC(", 插入数据库时错误，%d !", written), kLineRed);
    }
    deps_.sleeper.Sleep(1);
    deps_.sleeper.Sleep(1);
  }

  if (Stopping(stop)) {
    // Stopped before its end: no totals, and the day stays incomplete for the next run.
    deps_.sink.addLine(day + "数据需要重新下载!!!!!!!", kLineRed);
    return;
  }
  fetched = FinishDownloadedDay(deps_.db, deps_.sink, deps_.pages, IsToday(day),
                                DayEndCounts{.day = day,
                                             .downloadedNames = std::move(downloadedNames),
                                             .downloadCounter = downloadCounter,
                                             .insertedComplete = counters.m_nInsertDB_StockCounter + updatedComplete,
                                             .elapsedMs = deps_.clock.SteadyMs() - startTick},
                                deps_.onDbWrite);
}

// ---- Fill-in (worker) ------------------------------------------------------------

void DownloadEngine::OnFillMissing() {
  if (m_bBusy) {
    deps_.sink.addLine("补全数据正在进行中!!!", kLineRed);
    return;
  }
  m_bBusy = 1;
  deps_.sink.addLine("正在补全数据........  \n", kLineBlue);
  if (!StartJob("fill", [this](std::stop_token stop) { RunFillMissing(stop); })) m_bBusy = 0;
}

void DownloadEngine::RunFillMissing(std::stop_token stop) {
  struct Release {
    DownloadEngine* engine;
    ~Release() {
      engine->Post([e = engine] { e->m_bBusy = 0; });
    }
  } release{this};

  // Every incomplete row with the prices it holds, read whole before any update, so
  // the update writes the stored prices back unchanged.
  std::vector<StockRecord> rows;
  {
    CADORecordset rs(&deps_.db);
    if (!rs.Open("SELECT StockName, StockCode, SB_Date, SB_Reason, ZuoShou, JinKai, JinShou, ZhangFu, HuanShou, "
                 "ZhenFu, DRCJL, Amount FROM StockInfo WHERE IsDownloadOK=2 ORDER BY rowid")) {
      return;
    }
    for (; !rs.IsEof(); rs.MoveNext()) {
      StockRecord r;
      rs.GetFieldValue("StockName", r.StockName);
      rs.GetFieldValue("StockCode", r.StockCode);
      rs.GetFieldValue("SB_Date", r.SB_Date);
      rs.GetFieldValue("SB_Reason", r.SB_Reason);
      rs.GetFieldValue("ZuoShou", r.ZuoShou);
      rs.GetFieldValue("JinKai", r.JinKai);
      rs.GetFieldValue("JinShou", r.JinShou);
      rs.GetFieldValue("ZhangFu", r.ZhangFu);
      rs.GetFieldValue("HuanShou", r.HuanShou);
      rs.GetFieldValue("ZhenFu", r.ZhenFu);
      rs.GetFieldValue("DRCJL", r.DRCJL);
      rs.GetFieldValue("Amount", r.Amount);
      rows.push_back(std::move(r));
    }
  }
  StockInsertCounters counters;
  CStockInfoWriter writer(deps_.db, deps_.sleeper, counters);
  int i = 0;
  for (StockRecord& row : rows) {
    if (Stopping(stop)) break;
    ++i;
    deps_.sink.addLine(FormatC("\ni=%d, 正在补全: %s, %s %s, 数据....", i, row.SB_Date.c_str(), row.StockCode.c_str(),
                              row.StockName.c_str()),
                       kLineBlue);
    row.IsDownloadOK = 2;
    int pageOpenCount = 0;
    deps_.sleeper.Sleep(20);
    StockRecord tried = row;
    bool filled = false;  // the seats were read and stored
    if (FetchSeatPage(SeatPageUrl(row.SB_Date, row.StockCode), tried, pageOpenCount) > 1) {
      tried.IsDownloadOK = 1;
      const int written = TimedWrite(deps_.onDbWrite, [&] { return writer.UpdateStockInfo(tried); });
      if (written != kStockWriteOk) {
        deps_.sink.addLine(row.StockCode + FormatC(", 插入数据库时错误，%d !", written), kLineRed);
      }
      deps_.sleeper.Sleep(2);
      filled = written == kStockWriteOk;
    }
    if (filled) {
      // The totals follow the filled row; the schedule's release is the day job's alone.
      const DayTotalsOutcome totals =
          TimedWrite(deps_.onDbWrite, [&] { return RecomputeDayTotals(deps_.db, row.SB_Date); });
      if (!totals.errorLine.empty()) deps_.sink.addLine(totals.errorLine, totals.errorLineColour);
      deps_.sink.addLine(FormatC("补全数据成功：: %s, %s %s。 ", row.SB_Date.c_str(), row.StockCode.c_str(),
                                row.StockName.c_str()),
                         kLineBlue);
    } else {
      deps_.sink.addLine(FormatC("补全数据失败：: %s, %s %s。 ", row.SB_Date.c_str(), row.StockCode.c_str(),
                                row.StockName.c_str()),
                         kLineRed);
    }
    deps_.sleeper.Sleep(1);
  }
  deps_.sink.addLine("补全数据完毕！", kLineBlue);
}

// ---- Stored days -----------------------------------------------------------------

void DownloadEngine::SetShowAll(bool showAll) {
  m_bShowAll = showAll ? 1 : 0;
  StartDayScan();
}

void DownloadEngine::StartDayScan() {
  if (m_bScanning) return;
  m_bScanning = 1;
  const bool showAll = m_bShowAll != 0;
  if (!StartJob("scan", [this, showAll](std::stop_token) { RunScan(showAll); })) m_bScanning = 0;
}

void DownloadEngine::ScanAfterDay() {
  if (timerRunning_) return;  // a run lists the days at its end
  if (m_bScanning) {
    scanAgain_ = true;
    return;
  }
  StartDayScan();
}

void DownloadEngine::RunScan(bool showAll) {
  struct Release {
    DownloadEngine* engine;
    ~Release() {
      engine->Post([e = engine] {
        e->m_bScanning = 0;
        if (!e->scanAgain_) return;
        e->scanAgain_ = false;
        e->StartDayScan();
      });
    }
  } release{this};
  CADORecordset rs(&deps_.db);
  if (!rs.Open("SELECT s.SB_Date AS SB_Date, COUNT(*) AS n, IFNULL(MAX(d.Complete), 0) AS complete FROM StockInfo s "
               "LEFT JOIN DayStatus d ON d.SB_Date = s.SB_Date GROUP BY s.SB_Date ORDER BY s.SB_Date DESC")) {
    return;
  }
  std::vector<StoredDay> rows;
  int counted = 0;
  for (; !rs.IsEof() && !g_bClosing; rs.MoveNext()) {
    StoredDay day;
    rs.GetFieldValue("SB_Date", day.day);
    rs.GetFieldValue("n", day.rows);
    int complete = 0;
    rs.GetFieldValue("complete", complete);
    day.complete = complete == 1;
    day.number = counted + 1;
    if (showAll || counted <= 50) rows.push_back(std::move(day));
    ++counted;
    if (counted % 50 == 0) deps_.sleeper.Sleep(1);
  }
  deps_.sink.setStoredDays(rows, counted);
}

bool DownloadEngine::DeleteDay(const std::string& day) {
  const auto [from, to] = DayRange(day);
  bool ok = deps_.db.IsOpen();
  if (ok) {
    CADOTransaction tx(deps_.db);
    ok = tx.IsActive() && deps_.db.Execute("DELETE FROM StockInfo WHERE SB_Date=?", {day}) &&
         deps_.db.Execute("DELETE FROM DZJY WHERE DZJY_Date >= ? AND DZJY_Date < ?", {from, to}) &&
         deps_.db.Execute("DELETE FROM DayStatus WHERE SB_Date=?", {day}) && tx.Commit();
  }
  if (!ok) {
    deps_.sink.addLine(day + "，数据删除失败!", kLineRed);
    return false;
  }
  deps_.sink.addLine(day + "，Velkor数据删除！", kLinePlain);
  deps_.sink.addLine(day + "，大宗交易数据删除！", kLinePlain);
  return true;
}

bool DownloadEngine::ClearData() {
  if (!deps_.db.IsOpen()) return false;
  CADOTransaction tx(deps_.db);
  return tx.IsActive() && deps_.db.Execute("DELETE FROM StockInfo") && deps_.db.Execute("DELETE FROM DayStatus") &&
         tx.Commit();
}
