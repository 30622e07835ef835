#pragma once
// The download road of the first source, without a display: the schedule that walks
// back over trading days on the page's timer, the day dispatcher, the per-stock seat
// loader, the fill-in of incomplete rows, the stored-days scan, the delete and clear
// statements, and the end of each day (summary, totals, the pages told).
//
// Everything the engine needs is handed to it. Its schedule state lives on the UI
// thread: the page calls it there (timer, buttons), and every worker reports back by
// posting to the UI thread. Workers have their own job state and their own database
// handle (the connection object keeps one per thread) and never touch a widget.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "acquisition/download_road.h"
#include "acquisition/stock_record.h"
#include "platform/clock.h"

// How the start button was pressed.
struct DownloadRequest {
  enum class Kind { Today, Range, ChosenDate } kind = Kind::Today;
  int days = 1;        // Range: 3, 5, 10, 20, 30, 90, 180 or 365
  LocalTime date;      // ChosenDate
};

class DownloadEngine {
 public:
  explicit DownloadEngine(DownloadRoadDeps deps);
  ~DownloadEngine();
  DownloadEngine(const DownloadEngine&) = delete;
  DownloadEngine& operator=(const DownloadEngine&) = delete;

  // UI thread only.
  void StartStartupRun();
  void OnStartDownload(const DownloadRequest& request);
  void OnTimer(UINT id);
  void OnFillMissing();
  void StartDayScan();
  void SetShowAll(bool showAll);
  // Deletes one stored day (its StockInfo and DZJY rows, in one transaction). True
  // when deleted; the lines are added either way.
  bool DeleteDay(const std::string& day);
  // Deletes every StockInfo row. True when done.
  bool ClearData();

  // Reads (any thread). A day is stored once it is complete (see MarkDayEnded).
  bool IsDayStored(const std::string& day) const;
  bool HasBlockTrades(const std::string& day) const;
  std::vector<std::string> LoadStoredNames(const std::string& day) const;

  // Waits up to `boundMs` for this engine's workers to end (tests, closing).
  bool WaitForJobs(int boundMs);

  // The schedule's state, for the page and for tests (UI thread).
  int m_bNextDay = 0;
  int m_bBusy = 0;
  int m_bScanning = 0;
  int m_bShowAll = 0;
  int m_nDaysWanted = 0;
  int m_nDayCounter = 0;
  int m_nDayOffset = 0;
  int m_nDaysFetched = 0;
  int m_nTimerTicks = 0;
  std::int64_t m_dwStartTick = 0;
  std::int64_t m_dwEndTick = 0;
  std::string m_strDownloadDate;
  bool IsDayJobRunning() const { return dayJobRunning_; }
  bool IsTimerRunning() const { return timerRunning_; }

 private:
  struct DayJobResult;
  // True, with the page told why, when a source the run reads is still unset: such a
  // run walks no day.
  bool RefuseUnsetSource();
  void Step();
  void EndRun();
  // Asks the block trades of months[next], then of the later ones, one after another.
  void StartBlockTradeMonths(std::vector<std::string> months, std::size_t next);
  void NoteDayStored(const std::string& day);
  // A day job outside a run has ended: the stored days are listed again, after the
  // scan that may still be reading them.
  void ScanAfterDay();
  void DownloadDay(const std::string& day);
  int CheckNonTradingDay(const LocalTime& day);
  void RunDayJob(const std::string& day, std::int64_t startTick, std::stop_token stop);
  void RunFillMissing(std::stop_token stop);
  void RunScan(bool showAll);
  int FetchSeatPage(const std::string& url, StockRecord& record, int& pageOpenCount);
  std::string SeatPageUrl(const std::string& day, const std::string& code) const;
  std::string DayListUrl(const std::string& day) const;
  bool IsToday(const std::string& day) const;
  // Runs fn on the UI thread later, unless the engine is gone by then.
  void Post(std::function<void()> fn);
  bool StartJob(const std::string& what, std::function<void(std::stop_token)> fn);
  void StartTimer(int periodMs);
  void StopTimer();

  DownloadRoadDeps deps_;
  std::string jobPrefix_;
  std::vector<std::string> jobNames_;  // the jobs started and perhaps still running (UI thread)
  int jobSequence_ = 0;
  std::shared_ptr<int> alive_;  // reset first by the destructor
  // What workers take their liveness from: a copy made here, never written again, so
  // a worker reads it while the destructor resets alive_.
  const std::weak_ptr<int> aliveToken_;
  std::set<std::string> monthsStored_;  // "yyyymm" of the days stored since the last run ended
  bool dayJobRunning_ = false;
  bool timerRunning_ = false;
  bool dbClosedReported_ = false;
  bool scanAgain_ = false;  // a scan is wanted once the running one has ended
};
