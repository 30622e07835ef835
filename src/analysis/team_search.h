#pragma once
// The team search over recent days (button 1131): for each of the last N weekdays,
// every listed stock on which one of the user's teams acted, one line per (day, stock,
// team), numbered from 01 across the whole search.
//
// The teams are read on the user-interface thread (LoadTeams). The walk over the days
// runs on a worker thread (TeamSearchJob) that owns everything it uses: its copy of
// the teams, N, the day it is on, the line counter and the stock-day record. It reads
// the market database through its own handle (the per-thread handle of the connection
// it is given, opened on the worker and closed when the worker ends) and writes
// nothing the user-interface thread reads: its results go to a TeamSearchSink, whose
// every call carries the job id, so that a page can drop what an abandoned search
// still had queued. A stop request is honoured between rows.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/stock_day_detail.h"
#include "analysis/tracker_line.h"
#include "platform/clock.h"
#include "storage/ado_database.h"
#include "storage/row_records.h"

class WorkerRegistry;

inline constexpr const char* kTeamSearchStartFailedText = "显示团队作战个股，启动显示线程 失败!!!";
// The first item of combo 1005 after the teams are loaded.
inline constexpr const char* kTeamComboPromptText = "请选择派系";
// A day this many calendar days back, or more, is never scanned.
inline constexpr int kTeamSearchDayBound = 365;

// UI thread. Reads the teams from the branch marks (ReadBranchTeams: TeamNumber >= 200,
// highest first, no empty team, the extra member of "温州系"/"山东系" once). When the
// query fails, shows kTeamsQueryFailedText (caption "系统提示") and returns false with
// `teams` empty: the search then runs and finds nothing.
bool LoadTeams(std::vector<CBranchTeamRow>& teams, CADODataBase& custom = g_ADODatabase_Custom);

// The items of combo 1005 after a load: kTeamComboPromptText, then each team's name in
// list order.
std::vector<std::string> TeamComboItems(const std::vector<CBranchTeamRow>& teams);

// How many member seats make a team act on a stock: `buyTeams` among the buyers or
// `sellTeams` among the sellers (BuyTeams / SellTeams of the settings). A value below
// 1 counts as 1: with 0 every team would act on every stock.
struct TeamThresholds {
  int buyTeams = 2;
  int sellTeams = 1;
};
// The thresholds of the loaded settings.
TeamThresholds TeamThresholdsFromSettings();

// The days the search scans, newest first: the last `days` weekdays counting today
// (Saturdays and Sundays skipped, holidays not), none of them kTeamSearchDayBound or
// more calendar days back. Five on a Wednesday: Wed, Tue, Mon, Fri, Thu. None for 0 or
// less.
std::vector<std::string> TeamSearchDays(const LocalTime& today, int days);

// A sell seat figure equal to the same figure of any buy seat becomes 0 (BuyAmount and
// SellAmount each on their own), so that a branch in both halves of a listing counts
// once. The figures are compared, not the names.
void DropDuplicateSeatAmounts(StockDayDetail& record);

// One team acting on one stock-day.
struct TeamHit {
  std::size_t team = 0;  // index into the team list
  int buySeats = 0;      // member seats among the buyers (a seat counts once per member naming it)
  int sellSeats = 0;     // ... among the sellers
  // The net of the member seats in 亿元: buy minus sell, truncated toward zero to whole
  // 万元, with the first member seat's position in the last two 万元 decimals (buy seat
  // b gives b×10, sell seat s gives s), the sign of the net kept (0 counts as negative,
  // so a net of 0 prints "-0.00").
  double netYi = 0;
};

// The teams that act on `record` (after DropDuplicateSeatAmounts), in team order.
// Seat names are compared exactly with the member names; an empty seat matches none.
std::vector<TeamHit> MatchTeamsOnStock(const StockDayDetail& record, const std::vector<CBranchTeamRow>& teams,
                                       const TeamThresholds& thresholds);

// The scan of one day: every StockInfo row of `day` in stored order (rowid), each read
// into `record` (cleared first), cleaned by DropDuplicateSeatAmounts and matched; each
// hit becomes a team line (MakeTeamLine) numbered ++lineCounter and goes to `addLine`.
// `stop` is looked at before each row.
enum class DayScanResult {
  Scanned,  // every row of the day was looked at (a day without rows included)
  Stopped,  // a stop request ended the scan; the lines given so far stay
  Failed,   // the day's query failed; no line was given, `errorText` says why
};
DayScanResult ScanDayForTeams(CADODataBase& market, const std::string& day, const std::vector<CBranchTeamRow>& teams,
                              const TeamThresholds& thresholds, StockDayDetail& record, int& lineCounter,
                              const std::function<void(TrackerLine)>& addLine, std::stop_token stop,
                              std::string* errorText = nullptr);

// How a search ended.
struct TeamSearchSummary {
  int lines = 0;         // lines given, numbered 01 .. lines
  int daysScanned = 0;   // days whose rows were all looked at
  int daysFailed = 0;    // days whose query failed (skipped, and logged)
  bool stopped = false;  // a stop request ended it early
  // "" when every day's query ran; else kTrackerQueryFailedText, "\n" and the error
  // text of the first failure: the page shows it once.
  std::string errorText;
};

// Where a search's results go. Called on the worker thread; the page queues each call
// to its user-interface thread and drops calls of any job but its current one. Every
// started job ends with exactly one Finished or one Failed, after its last AddLine.
class TeamSearchSink {
 public:
  virtual ~TeamSearchSink() = default;
  virtual void AddLine(std::uint64_t job, const TrackerLine& line) = 0;
  // The walk has ended: all days, the day bound, or a stop.
  virtual void Finished(std::uint64_t job, const TeamSearchSummary& summary) = 0;
  // The job could not read the market database at all; `text` is the message to show
  // (QueryFailedBoxText of the error text). No line was given.
  virtual void Failed(std::uint64_t job, const std::string& text) = 0;
};

// What a search needs, copied into the job when it starts.
struct TeamSearchParams {
  std::vector<CBranchTeamRow> teams;  // LoadTeams' list
  int days = 0;                       // N from edit 1029 (a non-numeric text reads as 0)
  TeamThresholds thresholds;
};

class TeamSearchJob {
 public:
  enum class StartResult {
    Started,
    Refused,  // a search is running (or the program is closing); nothing started
    Failed,   // the thread could not be started; kTeamSearchStartFailedText was shown
  };

  // `market` and `clock` must outlive the job; the sink is shared with the worker, so
  // it outlives a worker that could not be joined in time.
  explicit TeamSearchJob(std::shared_ptr<TeamSearchSink> sink, CADODataBase& market = g_ADODatabase,
                         const IClock& clock = DefaultClock());
  TeamSearchJob(std::shared_ptr<TeamSearchSink> sink, CADODataBase& market, const IClock& clock,
                WorkerRegistry& workers);
  ~TeamSearchJob();  // Exit()
  TeamSearchJob(const TeamSearchJob&) = delete;
  TeamSearchJob& operator=(const TeamSearchJob&) = delete;

  // UI thread. Reads today from the clock once, then starts the walk. Refused while a
  // search runs: the running flag is taken before the thread starts, so two searches
  // never overlap. On Started, `job` (when given) is the id every sink call of this
  // search carries; ids are never reused in a process.
  StartResult Start(TeamSearchParams params, std::uint64_t* job = nullptr);

  // True from Start until just before the search's Finished or Failed.
  bool IsRunning() const;
  // The id of the latest search started (0 before the first).
  std::uint64_t CurrentJob() const;
  // Asks the running search to stop (at the next row); nothing when none runs.
  void RequestStop();
  // Waits up to `bound` for the latest search's thread to end; true when none runs.
  bool Wait(std::chrono::milliseconds bound);
  // RequestStop, then Wait(bound).
  bool Exit(std::chrono::milliseconds bound = std::chrono::seconds(2));

  // The body of a search, run on the worker thread (public for tests that drive it
  // directly): checks the worker's handle on `market` (Failed when it cannot be
  // opened), then ScanDayForTeams for each of TeamSearchDays(today, params.days).
  // `running` (when given) is cleared just before Finished or Failed.
  static void Run(const TeamSearchParams& params, const LocalTime& today, CADODataBase& market,
                  TeamSearchSink& sink, std::uint64_t job, std::stop_token stop,
                  std::atomic<bool>* running = nullptr);

 private:
  struct State;
  std::shared_ptr<State> state_;
  CADODataBase& market_;
  const IClock& clock_;
  WorkerRegistry& workers_;
};
