#include "analysis/team_search.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>
#include <utility>

#include "analysis/stock_day_detail.h"
#include "analysis/tracker_searches.h"
#include "platform/debug_log.h"
#include "platform/message_box.h"
#include "platform/worker_registry.h"
#include "records/branch_teams.h"
#include "records/stock_detail.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"

namespace {

std::atomic<std::uint64_t> g_teamSearchSequence{0};

const std::string& DayStatement() {
  static const std::string sql = "SELECT " + StockDetailColumns() + " FROM StockInfo WHERE SB_Date = ? ORDER BY rowid";
  return sql;
}

}  // namespace

bool LoadTeams(std::vector<CBranchTeamRow>& teams, CADODataBase& custom) {
  if (ReadBranchTeams(custom, teams)) return true;
  MessageBox(kTeamsQueryFailedText, kTrackerCaption, MB_OK);
  return false;
}

std::vector<std::string> TeamComboItems(const std::vector<CBranchTeamRow>& teams) {
  std::vector<std::string> items;
  items.reserve(teams.size() + 1);
  items.emplace_back(kTeamComboPromptText);
  for (const CBranchTeamRow& team : teams) items.push_back(team.TeamName);
  return items;
}

TeamThresholds TeamThresholdsFromSettings() { return {g_Settings.BuyTeams, g_Settings.SellTeams}; }

std::vector<std::string> TeamSearchDays(const LocalTime& today, int days) {
  std::vector<std::string> out;
  if (days <= 0) return out;
  const std::int64_t todayNumber = DaysFromCivil(today.year, today.month, today.day);
  int weekdays = 0;
  for (int back = 0; back < kTeamSearchDayBound && weekdays < days; ++back) {
    const LocalTime day = CivilFromDays(todayNumber - back);
    if (day.dayOfWeek == 0 || day.dayOfWeek == 6) continue;
    ++weekdays;
    out.push_back(DayText(day.year, day.month, day.day));
  }
  return out;
}

void DropDuplicateSeatAmounts(StockDayDetail& record) { RemoveRepeatedSeatFigures(record); }

std::vector<TeamHit> MatchTeamsOnStock(const StockDayDetail& record, const std::vector<CBranchTeamRow>& teams,
                                       const TeamThresholds& thresholds) {
  const int buyNeeded = std::max(1, thresholds.buyTeams);
  const int sellNeeded = std::max(1, thresholds.sellTeams);
  std::vector<TeamHit> hits;
  for (std::size_t t = 0; t < teams.size(); ++t) {
    TeamHit hit;
    hit.team = t;
    double sumBuy = 0;
    double sumSell = 0;
    int position = 0;  // of the first member seat found, members taken in list order
    for (const std::string& member : teams[t].Members) {
      if (member.empty()) continue;
      for (std::size_t b = 0; b < 5; ++b) {
        if (record.BuyNames[b] != member) continue;
        ++hit.buySeats;
        sumBuy += record.Buy[b].BuyAmount;
        sumSell += record.Buy[b].SellAmount;
        if (position == 0) position = 10 * static_cast<int>(b + 1);
      }
      for (std::size_t s = 0; s < 5; ++s) {
        if (record.SellNames[s] != member) continue;
        ++hit.sellSeats;
        sumBuy += record.Sell[s].BuyAmount;
        sumSell += record.Sell[s].SellAmount;
        if (position == 0) position = static_cast<int>(s + 1);
      }
    }
    if (hit.buySeats < buyNeeded && hit.sellSeats < sellNeeded) continue;
    const double net = std::trunc(sumBuy - sumSell);
    const double tagged = net > 0 ? net + position * 0.01 : -(std::fabs(net) + position * 0.01);
    hit.netYi = tagged / 10000;
    hits.push_back(hit);
  }
  return hits;
}

DayScanResult ScanDayForTeams(CADODataBase& market, const std::string& day, const std::vector<CBranchTeamRow>& teams,
                              const TeamThresholds& thresholds, StockDayDetail& record, int& lineCounter,
                              const std::function<void(TrackerLine)>& addLine, std::stop_token stop,
                              std::string* errorText) {
  if (stop.stop_requested()) return DayScanResult::Stopped;
  CADORecordset rs(&market);
  if (!rs.Open(DayStatement(), {day})) {
    if (errorText != nullptr) *errorText = rs.GetLastErrorText();
    return DayScanResult::Failed;
  }
  StockDetailReader reader(rs);
  for (; !rs.IsEof(); rs.MoveNext()) {
    if (stop.stop_requested()) {
      rs.Close();
      return DayScanResult::Stopped;
    }
    record.Clear();
    reader.Read(record);
    DropDuplicateSeatAmounts(record);
    for (const TeamHit& hit : MatchTeamsOnStock(record, teams, thresholds)) {
      addLine(MakeTeamLine(++lineCounter, record.StockName, record.StockCode, day, teams[hit.team].TeamName,
                           hit.netYi, record.JinShou));
    }
  }
  rs.Close();
  return DayScanResult::Scanned;
}

namespace {

// Clears the running flag, then ends the job with exactly one sink call, on every way
// out of Run.
class JobEnd {
 public:
  JobEnd(TeamSearchSink& sink, std::uint64_t job, std::atomic<bool>* running)
      : sink_(sink), job_(job), running_(running) {}
  ~JobEnd() {
    if (running_ != nullptr) running_->store(false);
    if (failed_) {
      sink_.Failed(job_, failText_);
    } else {
      sink_.Finished(job_, summary_);
    }
  }
  JobEnd(const JobEnd&) = delete;
  JobEnd& operator=(const JobEnd&) = delete;

  TeamSearchSummary& Summary() { return summary_; }
  void Fail(std::string text) {
    failed_ = true;
    failText_ = std::move(text);
  }

 private:
  TeamSearchSink& sink_;
  std::uint64_t job_;
  std::atomic<bool>* running_;
  TeamSearchSummary summary_;
  bool failed_ = false;
  std::string failText_;
};

}  // namespace

void TeamSearchJob::Run(const TeamSearchParams& params, const LocalTime& today, CADODataBase& market,
                        TeamSearchSink& sink, std::uint64_t job, std::stop_token stop, std::atomic<bool>* running) {
  JobEnd end(sink, job, running);
  TeamSearchSummary& summary = end.Summary();
  try {
    {
      // Opens this thread's own handle; it is closed when the thread ends.
      CADODataBase::ThreadHandle handle = market.AcquireHandle();
      if (handle.handle == nullptr) {
        end.Fail(QueryFailedBoxText(handle.message));
        return;
      }
    }
    StockDayDetail record;
    int lineCounter = 0;
    for (const std::string& day : TeamSearchDays(today, params.days)) {
      std::string error;
      const DayScanResult result =
          ScanDayForTeams(market, day, params.teams, params.thresholds, record, lineCounter,
                          [&](TrackerLine line) { sink.AddLine(job, line); }, stop, &error);
      summary.lines = lineCounter;
      if (result == DayScanResult::Stopped) {
        summary.stopped = true;
        return;
      }
      if (result == DayScanResult::Failed) {
        // The day is skipped; the search goes on and reports the failure once.
        AppendDebugLog("%s", ("team search: " + DayStatement() + " [" + day + "], Error\n" + error).c_str());
        if (summary.daysFailed++ == 0) summary.errorText = QueryFailedBoxText(error);
        continue;
      }
      ++summary.daysScanned;
    }
  } catch (const std::exception& e) {
    if (summary.errorText.empty()) summary.errorText = QueryFailedBoxText(e.what());
  }
}

struct TeamSearchJob::State {
  explicit State(std::shared_ptr<TeamSearchSink> s) : sink(std::move(s)) {}
  std::shared_ptr<TeamSearchSink> sink;
  std::atomic<bool> running{false};
  mutable std::mutex mutex;
  std::string worker;        // the registry name of the latest search
  std::uint64_t job = 0;     // and its id
};

TeamSearchJob::TeamSearchJob(std::shared_ptr<TeamSearchSink> sink, CADODataBase& market, const IClock& clock)
    : TeamSearchJob(std::move(sink), market, clock, WorkerRegistry::Instance()) {}

TeamSearchJob::TeamSearchJob(std::shared_ptr<TeamSearchSink> sink, CADODataBase& market, const IClock& clock,
                             WorkerRegistry& workers)
    : state_(std::make_shared<State>(std::move(sink))), market_(market), clock_(clock), workers_(workers) {}

TeamSearchJob::~TeamSearchJob() { Exit(); }

TeamSearchJob::StartResult TeamSearchJob::Start(TeamSearchParams params, std::uint64_t* job) {
  if (state_->running.exchange(true)) return StartResult::Refused;
  const std::uint64_t id = ++g_teamSearchSequence;
  const std::string name = "TeamSearch-" + std::to_string(id);
  std::string previousWorker;
  std::uint64_t previousJob = 0;
  {
    std::lock_guard lock(state_->mutex);
    previousWorker = std::exchange(state_->worker, name);
    previousJob = std::exchange(state_->job, id);
  }
  // Today is read once, when the search starts.
  const LocalTime today = clock_.Now();
  std::shared_ptr<State> state = state_;
  CADODataBase* market = &market_;
  const WorkerRegistry::StartResult started =
      workers_.Start(name, [state, params = std::move(params), today, market, id](std::stop_token stop) {
        Run(params, today, *market, *state->sink, id, stop, &state->running);
      });
  if (started == WorkerRegistry::StartResult::Started) {
    if (job != nullptr) *job = id;
    return StartResult::Started;
  }
  {
    std::lock_guard lock(state_->mutex);
    state_->worker = previousWorker;
    state_->job = previousJob;
  }
  state_->running = false;
  if (started == WorkerRegistry::StartResult::Failed) {
    MessageBox(kTeamSearchStartFailedText, kTrackerCaption, MB_OK);
    return StartResult::Failed;
  }
  return StartResult::Refused;  // the program is closing
}

bool TeamSearchJob::IsRunning() const { return state_->running.load(); }

std::uint64_t TeamSearchJob::CurrentJob() const {
  std::lock_guard lock(state_->mutex);
  return state_->job;
}

void TeamSearchJob::RequestStop() {
  std::string name;
  {
    std::lock_guard lock(state_->mutex);
    name = state_->worker;
  }
  if (!name.empty()) workers_.RequestStop(name);
}

bool TeamSearchJob::Wait(std::chrono::milliseconds bound) {
  std::string name;
  {
    std::lock_guard lock(state_->mutex);
    name = state_->worker;
  }
  return name.empty() || workers_.WaitFor(name, bound);
}

bool TeamSearchJob::Exit(std::chrono::milliseconds bound) {
  RequestStop();
  return Wait(bound);
}
