// Twenty years of trading days: the actions whose cost grew with history, timed on a
// generated 5,000-day market and on its newest 750 days cut from the same file. Each
// action runs as the user starts it: the click on the real page (offscreen), the
// logic it calls and the filling of its list, until the list has rows again.
//
// The 5,000-day file takes minutes to write, so it is kept in a cache folder
// (VELKOR_BENCH_CACHE, by default beside the build) and reused while its stamp
// matches. The actions that store rows (the repeat-buy statistics' Buy2Times) write
// into the cached files; they replace their own rows, so a rerun finds the same.
// VELKOR_BENCH_ACTIONS (names, comma-separated) runs only those actions, for profiling.
//
// Figures: history750_<action>_ms, history5000_<action>_ms, history_growth_<action>
// (5,000 days over 750), and history5000_anon_mb, the anonymous resident memory after
// every action has run on the 5,000-day market and the sequence has ended with a
// keyword search of most of history (history5000_end_keyword_lines) and the merge of
// all its lines, 3 s after the merge was shown, and history5000_tracker_select_ms, the
// longest arrow key in that search's lines. Beside each time, history<N>_cpu_<action>
// is the process's CPU time over it (ms), for reading the times on a loaded machine, and
// history<N>_stall_<action>_ms the longest the interface thread did not answer during it
// (the longest single span of the click or of one event-processing call; the largest
// over the timed runs), and history_stall_growth_<action> its growth (5,000 days over 750).
//
// The floor of the long searches: history<N>_floor_scan_ms (and _cpu_floor_scan), one
// handle with the program's settings stepping every listing's code, name, day and ten
// seats on the calling thread, warm. For each search whose pass over the file is cut
// into parts, history<N>_<action>_first_run_ms is its first run after the databases
// were opened as the program opens them (its readers warmed, as at start-up, first:
// history<N>_warm_<action>_ms), and history<N>_cpu1_<action> its CPU time cut into one
// part; each with its ratio to the floor or to the one part (_over_floor, _over_cpu1).

#include <sqlite3.h>
#include <time.h>

#include <QApplication>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../tests/support/db_builder.h"
#include "../tests/support/fake_clock.h"
#include "../tests/support/gui_driver.h"
#include "../tests/support/recording_pages.h"
#include "../tests/support/temp_program_folder.h"
#include "../tests/support/zero_sleeper.h"
#include "analysis/ui/institution_dlg.h"
#include "analysis/ui/stock_active_dlg.h"
#include "analysis/ui/top_branch_dlg.h"
#include "analysis/ui/tracker_page.h"
#include "bench.h"
#include "bench_app.h"
#include "bench_markets.h"
#include "charting/custom_series_generator.h"
#include "charting/formula_text.h"
#include "controls/ui/color_list_box.h"
#include "controls/ui/color_list_ctrl.h"
#include "platform/ui/qt_convert.h"
#include "platform/side_by_side.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "storage/ado_database.h"
#include "storage/file_io.h"
#include "storage/row_cursor.h"
#include "storage/row_records.h"
#include "storage/rowid_stretches.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLongDays = 5000;
constexpr int kShortDays = 750;
// Bump when the shape changes: a cache with another stamp is written anew.
const std::string kCacheStamp = "history market 1: 5000 days x 150 listings, 50 trades a day\n";
// A single action given up after this long (a fault, not a figure).
constexpr double kActionLimitSeconds = 600;
// Timed runs of an action after its warm run: up to this many while they stay short.
constexpr int kMaxRuns = 3;
// The keyword of the sequence's last search: nearly every seat name holds it.
const char* const kEverythingKeyword = "证券营业部";
constexpr double kRunBudgetSeconds = 5;

// The tracker's market stretched to twenty years of weekdays from 2006: 150 listings a
// day from 3,000 codes, 50 block trades a day, and 150 marked branches whose numbers
// give branch series.
MarketShape HistoryMarket() {
  MarketShape shape = TrackerMarket();
  shape.tradingDays = kLongDays;
  shape.listingsPerDay = 150;
  shape.stockCount = 3000;
  shape.tradesPerDay = 50;
  shape.markedBranches = 150;
  shape.firstMarkNumber = 1;
  shape.firstYear = 2006;
  shape.firstMonth = 1;
  shape.firstDay = 4;
  shape.seed = 20060104;
  shape.daysPerTransaction = 20;
  return shape;
}

std::string CacheRoot() {
  const char* env = std::getenv("VELKOR_BENCH_CACHE");
  return env != nullptr && *env != '\0' ? env : VELKOR_BENCH_DEFAULT_CACHE;
}

bool CacheReady(const std::string& folder) {
  std::string stamp;
  return ReadFileBytes(folder + "/stamp.txt", stamp) == FileReadResult::Ok && stamp == kCacheStamp;
}

// Moves a finished folder into place and stamps it.
void Publish(const std::string& built, const std::string& folder) {
  fs::remove_all(folder);
  fs::rename(built, folder);
  if (!ReplaceFileContents(folder + "/stamp.txt", kCacheStamp)) {
    std::fprintf(stderr, "history bench: cannot stamp %s\n", folder.c_str());
    std::exit(1);
  }
}

void Exec(sqlite3* db, const std::string& sql, const std::vector<std::string>& binds = {}) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  for (std::size_t i = 0; rc == SQLITE_OK && i < binds.size(); ++i) {
    sqlite3_bind_text(stmt, static_cast<int>(i) + 1, binds[i].c_str(), -1, SQLITE_TRANSIENT);
  }
  if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "history bench: %s: %s\n", sql.c_str(), sqlite3_errmsg(db));
    std::exit(1);
  }
}

std::string QueryText(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  std::string text;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* p = sqlite3_column_text(stmt, 0);
    text = p ? reinterpret_cast<const char*>(p) : "";
  }
  sqlite3_finalize(stmt);
  return text;
}

// The 5,000-day market, written in transactions of many days with a large page cache.
void GenerateLong(const std::string& folder) {
  const std::string built = folder + ".building";
  fs::remove_all(built);
  fs::create_directories(built);
  const auto start = std::chrono::steady_clock::now();
  GeneratedMarket market;
  {
    DbBuilder builder(built);
    // A cache file, not a user's: no sync, and an index-sized page cache.
    builder.Market().Execute("PRAGMA synchronous=OFF");
    builder.Market().Execute("PRAGMA cache_size=-2000000");
    market = GenerateMarket(builder, HistoryMarket());
  }
  PrintFigure("history_generate_seconds", SecondsSince(start), "s");
  PrintFigure("history_generate_listings", market.listings, "rows");
  PrintFigure("history_generate_trades", market.trades, "rows");
  Publish(built, folder);
}

// The newest 750 days of the long market: the same rows, in a file of its own made
// through the program's schema.
void CutShort(const std::string& longFolder, const std::string& folder) {
  const std::string built = folder + ".building";
  fs::remove_all(built);
  fs::create_directories(built);
  const auto start = std::chrono::steady_clock::now();
  fs::copy_file(longFolder + "/Custom.mdb", built + "/Custom.mdb");
  { DbBuilder schema(built); }
  sqlite3* db = nullptr;
  sqlite3_open((built + "/CJHB.mdb").c_str(), &db);
  Exec(db, "PRAGMA synchronous=OFF");
  Exec(db, "ATTACH DATABASE ? AS src", {longFolder + "/CJHB.mdb"});
  const std::string cutoff = QueryText(
      db, "SELECT SB_Date FROM src.TotalBuySell ORDER BY SB_Date DESC LIMIT 1 OFFSET " + std::to_string(kShortDays - 1));
  Exec(db, "BEGIN");
  Exec(db, "INSERT INTO StockInfo SELECT * FROM src.StockInfo WHERE SB_Date >= ? ORDER BY rowid", {cutoff});
  Exec(db, "INSERT INTO DZJY SELECT * FROM src.DZJY WHERE DZJY_Date >= ? ORDER BY rowid", {cutoff});
  Exec(db, "INSERT INTO TotalBuySell SELECT * FROM src.TotalBuySell WHERE SB_Date >= ? ORDER BY rowid", {cutoff});
  Exec(db, "INSERT INTO QLXWMA SELECT * FROM src.QLXWMA ORDER BY rowid");
  Exec(db, "COMMIT");
  Exec(db, "DETACH DATABASE src");
  sqlite3_close(db);
  PrintFigure("history_cut_seconds", SecondsSince(start), "s");
  Publish(built, folder);
}

std::string NewestDay(const std::string& folder) {
  sqlite3* db = nullptr;
  sqlite3_open_v2((folder + "/CJHB.mdb").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  const std::string day = QueryText(db, "SELECT MAX(SB_Date) FROM TotalBuySell");
  sqlite3_close(db);
  return day;
}

// RssAnon of /proc/self/status, in MB.
double AnonResidentMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) return std::strtod(line.c_str() + 8, nullptr) / 1024.0;
  }
  return -1;
}

// Whether VELKOR_BENCH_ACTIONS, when set, names `action`.
bool Wanted(const std::string& action) {
  const char* env = std::getenv("VELKOR_BENCH_ACTIONS");
  if (env == nullptr || *env == '\0') return true;
  return ("," + std::string(env) + ",").find("," + action + ",") != std::string::npos;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// One user action: `prepare` (untimed) empties what the action fills, `start` is the
// click, and the action has finished once `done` holds; events are processed while
// waiting, so an action that moves its work off the interface thread is timed until
// its list is filled.
struct Action {
  std::string name;
  std::function<void()> prepare;
  std::function<void()> start;
  std::function<bool()> done;
};

// Wall seconds from the click until the list changed, and the process's CPU seconds
// over the same span (on a busy machine the wall time includes waiting for a CPU);
// the longest single span in which the interface thread did not answer.
struct Timing {
  double wall = 0;
  double cpu = 0;
  double stall = 0;
};

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

Timing TimeOnce(const Action& action) {
  if (action.prepare) action.prepare();
  QCoreApplication::processEvents();
  const double cpuStart = ProcessCpuSeconds();
  const auto begin = std::chrono::steady_clock::now();
  double stall = 0;
  auto unanswered = [&stall](const std::function<void()>& step) {
    const auto from = std::chrono::steady_clock::now();
    step();
    stall = std::max(stall, SecondsSince(from));
  };
  unanswered(action.start);
  while (!action.done()) {
    if (SecondsSince(begin) > kActionLimitSeconds) {
      std::fprintf(stderr, "history bench: %s did not finish\n", action.name.c_str());
      std::exit(1);
    }
    unanswered([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    // An idle interface thread waits instead of spinning: the CPU figure is the work's.
    if (!action.done()) QThread::msleep(1);
  }
  unanswered([] { QCoreApplication::processEvents(); });  // the repaint the change asked for
  return {SecondsSince(begin), ProcessCpuSeconds() - cpuStart, stall};
}

// A warm run, then up to kMaxRuns timed runs while they fit the budget; the medians.
Timing TimeAction(const Action& action) {
  TimeOnce(action);
  std::vector<double> wall, cpu;
  double spent = 0, stall = 0;
  while (wall.empty() || (static_cast<int>(wall.size()) < kMaxRuns && spent < kRunBudgetSeconds)) {
    const Timing t = TimeOnce(action);
    wall.push_back(t.wall);
    cpu.push_back(t.cpu);
    stall = std::max(stall, t.stall);
    spent += t.wall;
  }
  return {Median(wall), Median(cpu), stall};
}

// The actions whose pass over the file is cut into parts, with their goal over the
// floor scan (the first run's is a quarter more).
struct PartedGoal {
  const char* name;
  double overFloor;
};
constexpr PartedGoal kPartedActions[] = {{"bigbuyers", 0.75},     {"repeatbuy", 1.0},        {"tracker_branch", 0.75},
                                         {"tracker_keyword", 0.75}, {"tracker_merge_all", 1.0}};

bool IsParted(const std::string& action) {
  return std::any_of(std::begin(kPartedActions), std::end(kPartedActions),
                     [&action](const PartedGoal& goal) { return action == goal.name; });
}

// Every listing's code, name, day and ten seats stepped on one handle with the
// program's settings, on the calling thread: a warm run, then the median of three.
Timing FloorScan(const std::string& marketPath) {
  CADODataBase db;
  if (!db.Open(ConnectionStringFor(marketPath))) {
    std::fprintf(stderr, "history bench: %s\n", db.GetLastErrorText().c_str());
    std::exit(1);
  }
  std::string sql = "SELECT StockCode, StockName, SB_Date";
  for (const char* side : {"Buy", "Sell"}) {
    for (int seat = 1; seat <= 5; ++seat) {
      const std::string prefix = std::string(side) + std::to_string(seat) + "_YYB_";
      sql += ", " + prefix + "Name, " + prefix + "BuyAmount, " + prefix + "SellAmount";
    }
  }
  sql += " FROM StockInfo";
  auto once = [&] {
    const double cpuStart = ProcessCpuSeconds();
    const auto begin = std::chrono::steady_clock::now();
    RowCursor cursor(db);
    double sum = 0;
    if (cursor.Open(sql)) {
      while (cursor.Next()) sum += cursor.Double(4);
    }
    if (cursor.Failed() || sum < 0) {
      std::fprintf(stderr, "history bench: floor scan: %s\n", cursor.ErrorText().c_str());
      std::exit(1);
    }
    return Timing{SecondsSince(begin), ProcessCpuSeconds() - cpuStart, 0};
  };
  once();
  std::vector<double> wall, cpu;
  for (int i = 0; i < kMaxRuns; ++i) {
    const Timing t = once();
    wall.push_back(t.wall);
    cpu.push_back(t.cpu);
  }
  return {Median(wall), Median(cpu), 0};
}

// The custom data job's sink: only its messages are shown (they mean something went wrong).
class SilentSink final : public CustomDataSink {
 public:
  void Status(const std::string&) override {}
  void Line(const std::string&, COLORREF) override {}
  void ProgressRange(int, int) override {}
  void Progress(int) override {}
  void Message(const std::string& text) override { std::fprintf(stderr, "history bench message: %s\n", text.c_str()); }
  void Finished(bool, int) override {}
};

// The pages of one market, built as the main window builds them, offscreen.
class HistoryPages {
 public:
  HistoryPages(const std::string& marketFolder, const std::string& programFolder)
      : builder_(marketFolder), programFolder_(programFolder) {
    ResetPageTestState(dispatcher_);
    builder_.OpenGlobals();
    WarmStretchReaders(g_ADODatabase);
    const std::string today = NewestDay(marketFolder);
    clock_ = std::make_unique<FakeClock>(std::stoi(today.substr(0, 4)), std::stoi(today.substr(5, 2)),
                                         std::stoi(today.substr(8, 2)));
    services_.clock = clock_.get();
    services_.sleeper = &sleeper_;
    tracker_ = Show(std::make_unique<CTrackerPage>(services_));
    topBranch_ = Show(std::make_unique<CTopBranchDlg>(services_));
    institution_ = Show(std::make_unique<CInstitutionDlg>(services_));
    stockActive_ = Show(std::make_unique<CStockActiveDlg>(services_));
    // The institution list's own first load, 11 s after start, must not fall into a timing.
    for (QTimer* timer : institution_->findChildren<QTimer*>()) timer->stop();
    QCoreApplication::processEvents();
  }
  ~HistoryPages() {
    tracker_.reset();
    topBranch_.reset();
    institution_.reset();
    stockActive_.reset();
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    PageRegistry::Instance().ResetForTests();
  }

  // The end of the sequence, untimed: a keyword search of most of history, then
  // "合并数据" of all its lines; the lines it listed. The memory figure is read 3 s
  // after the merge's rows are shown.
  int SearchAndMergeEverything() {
    CColorListBox* results = GuiDriver::FindAs<CColorListBox>(tracker_.get(), 1112);
    CColorListCtrl* seats = GuiDriver::FindAs<CColorListCtrl>(tracker_.get(), 1113);
    auto settle = [this] {
      while (tracker_->IsSearchRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    settle();
    SetText(tracker_.get(), 1017, kEverythingKeyword);
    GuiDriver::Click(tracker_.get(), 1150);
    settle();
    const int lines = results->GetCount();
    seats->DeleteAllItems();
    SetText(tracker_.get(), 1028, std::to_string(lines));
    GuiDriver::Click(tracker_.get(), 1048);
    settle();
    GuiDriver::WaitUntil([] { return false; }, 3000);
    return lines;
  }

  // The longest of five arrow keys in the tracker's result list as the sequence's end
  // left it (a click's selection and its colouring of the lines), in seconds.
  double LongestSelection() {
    CColorListBox* results = GuiDriver::FindAs<CColorListBox>(tracker_.get(), 1112);
    results->setCurrentItem(results->item(0));
    QCoreApplication::processEvents();
    double longest = 0;
    for (int i = 0; i < 5; ++i) {
      const auto from = std::chrono::steady_clock::now();
      GuiDriver::PressKey(results, Qt::Key_Down);
      QCoreApplication::processEvents();
      longest = std::max(longest, SecondsSince(from));
    }
    return longest;
  }

  const std::string& MarketPath() const { return builder_.MarketPath(); }

  // The databases opened again as the program opens them at start-up, its readers
  // warmed; the seconds the warm-up took.
  double Reopen() {
    while (tracker_->IsSearchRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    builder_.OpenGlobals();
    const auto begin = std::chrono::steady_clock::now();
    WarmStretchReaders(g_ADODatabase);
    WaitSideBySideWarm(std::chrono::seconds(600));
    return SecondsSince(begin);
  }

  // Values the last custom-data run handed to its series files.
  std::size_t SeriesValues() const { return seriesValues_; }

  // The actions in the order they run; each name is a figure's middle part.
  std::vector<Action> Actions() {
    std::vector<Action> actions;
    CColorListBox* results = GuiDriver::FindAs<CColorListBox>(tracker_.get(), 1112);
    CColorListCtrl* seats = GuiDriver::FindAs<CColorListCtrl>(tracker_.get(), 1113);
    CColorListCtrl* institutions = GuiDriver::FindAs<CColorListCtrl>(institution_.get(), 1132);
    CColorListCtrl* branches = GuiDriver::FindAs<CColorListCtrl>(topBranch_.get(), 1115);
    CColorListCtrl* stocks = GuiDriver::FindAs<CColorListCtrl>(stockActive_.get(), CStockActiveDlg::kStockListId);
    auto listFilled = [](CColorListCtrl* list) { return [list] { return list->GetItemCount() > 0; }; };
    auto emptied = [](CColorListCtrl* list) { return [list] { list->DeleteAllItems(); }; };
    auto team1 = [this](const std::string& text) { SetText(tracker_.get(), 1017, text); };
    // The searches stream their lines: the first ones are on screen long before the
    // last; the whole result is in once the search has ended.
    auto resultsShown = [results] { return results->GetCount() > 0; };
    auto resultsFilled = [this, results] { return results->GetCount() > 0 && !tracker_->IsSearchRunning(); };
    auto resultsEmptied = [this, results] {
      while (tracker_->IsSearchRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      results->ResetContent();
    };

    // The institutions' net buyers, the view that also loads by itself after start.
    actions.push_back({"institution", emptied(institutions), [this] { GuiDriver::Click(institution_.get(), 1007); },
                       listFilled(institutions)});
    // "大资金买入" with 5000 (万元) and "查询".
    actions.push_back({"bigbuyers", emptied(branches),
                       [this] {
                         SetText(topBranch_.get(), CTopBranchDlg::kAmountEditId, "5000");
                         GuiDriver::Click(topBranch_.get(), 1048);
                       },
                       listFilled(branches)});
    actions.push_back({"repeatbuy", emptied(branches), [this] { GuiDriver::Click(topBranch_.get(), 1092); },
                       listFilled(branches)});
    // The exact search of the busiest seat name: a double click on the team-1 edit;
    // first until its first lines are shown, then until the last.
    auto branchSearch = [this, team1] {
      team1(kInstitutionSeatName);
      GuiDriver::DoubleClick(GuiDriver::Find(tracker_.get(), 1017));
    };
    actions.push_back({"tracker_branch_first", resultsEmptied, branchSearch, resultsShown});
    actions.push_back({"tracker_branch", resultsEmptied, branchSearch, resultsFilled});
    // "营业部查询" with the same name as a keyword; its lines stay for the merges.
    auto keywordSearch = [this, team1] {
      team1(kInstitutionSeatName);
      GuiDriver::Click(tracker_.get(), 1150);
    };
    actions.push_back({"tracker_keyword_first", resultsEmptied, keywordSearch, resultsShown});
    actions.push_back({"tracker_keyword", resultsEmptied, keywordSearch, resultsFilled});
    // The merges take the lines the keyword search left (made here when it did not run).
    auto mergePrepare = [this, results, seats, team1] {
      if (results->GetCount() == 0) {
        team1(kInstitutionSeatName);
        GuiDriver::Click(tracker_.get(), 1150);
        while (tracker_->IsSearchRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      }
      seats->DeleteAllItems();
    };
    actions.push_back({"tracker_merge_all", mergePrepare,
                       [this, results] {
                         SetText(tracker_.get(), 1028, std::to_string(results->GetCount()));
                         GuiDriver::Click(tracker_.get(), 1048);
                       },
                       listFilled(seats)});
    actions.push_back({"tracker_merge30", mergePrepare,
                       [this] {
                         SetText(tracker_.get(), 1028, "30");
                         GuiDriver::Click(tracker_.get(), 1048);
                       },
                       listFilled(seats)});
    actions.push_back({"hotstocks", emptied(seats),
                       [this, team1] {
                         team1(kInstitutionSeatName);
                         GuiDriver::Click(tracker_.get(), 1140);
                       },
                       listFilled(seats)});
    // The custom data over 30 days into the charting folder its warm run wrote, as a
    // user runs it again each day (emptying the folder first would time the file
    // system's reuse of freed inodes); the page runs it as a job, so the job's own work
    // is what is timed.
    actions.push_back({"custom_series30",
                       [this] {
                         fs::create_directories(SignalsFolder());
                         seriesDone_ = false;
                       },
                       [this] { RunCustomSeries(30); }, [this] { return seriesDone_; }});
    actions.push_back({"rank90", emptied(branches), [this] { GuiDriver::Click(topBranch_.get(), 1010); },
                       listFilled(branches)});
    actions.push_back({"activity360", emptied(stocks), [this] { stockActive_->OnRankRequest(360); },
                       listFilled(stocks)});
    return actions;
  }

 private:
  template <class Page>
  std::unique_ptr<Page> Show(std::unique_ptr<Page> page) {
    page->resize(1280, 760);
    page->InitDialog();
    page->show();
    return page;
  }

  static void SetText(QWidget* page, int id, const std::string& text) {
    if (auto* edit = GuiDriver::FindAs<QLineEdit>(page, id)) edit->setText(ToQString(text));
  }

  std::string SignalsFolder() const { return programFolder_ + "/chart/T0002/signals"; }

  void RunCustomSeries(int days) {
    CADODataBase market, user;
    market.Open("Data Source=" + builder_.MarketPath() + ";");
    user.Open("Data Source=" + builder_.UserPath() + ";");
    SilentSink sink;
    CCustomSeriesGenerator generator(market, user, sink);
    GenerationParams params;
    params.signalsFolder = SignalsFolder();
    params.days = days;
    params.formulaPath = programFolder_ + "/" + kFormulaFileName;
    const GenerationResult result = generator.Run(params);
    seriesValues_ = result.values;
    seriesDone_ = true;
  }

  QtUiDispatcher dispatcher_;
  DbBuilder builder_;
  std::string programFolder_;
  std::unique_ptr<FakeClock> clock_;
  ZeroSleeper sleeper_;
  PageServices services_;
  std::unique_ptr<CTrackerPage> tracker_;
  std::unique_ptr<CTopBranchDlg> topBranch_;
  std::unique_ptr<CInstitutionDlg> institution_;
  std::unique_ptr<CStockActiveDlg> stockActive_;
  bool seriesDone_ = false;
  std::size_t seriesValues_ = 0;
};

// Times every action on one market; the timings in action order.
std::vector<Timing> RunMarket(const std::string& marketFolder, int days, std::vector<std::string>& names,
                              double* anonMb) {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  TempProgramFolder program(options);
  HistoryPages pages(marketFolder, program.Path());
  std::vector<Timing> times;
  names.clear();
  const std::string prefix = "history" + std::to_string(days) + "_";
  const Timing floor = FloorScan(pages.MarketPath());
  PrintFigure(prefix + "floor_scan_ms", floor.wall * 1e3, "ms");
  PrintFigure(prefix + "cpu_floor_scan", floor.cpu * 1e3, "ms");
  for (const Action& action : pages.Actions()) {
    if (!Wanted(action.name)) continue;
    const bool parted = IsParted(action.name);
    Timing first;
    if (parted) {
      const double warm = pages.Reopen();
      first = TimeOnce(action);
      PrintFigure(prefix + "warm_" + action.name + "_ms", warm * 1e3, "ms");
    }
    const Timing t = TimeAction(action);
    times.push_back(t);
    names.push_back(action.name);
    PrintFigure(prefix + action.name + "_ms", t.wall * 1e3, "ms");
    PrintFigure(prefix + "cpu_" + action.name, t.cpu * 1e3, "ms");
    PrintFigure(prefix + "stall_" + action.name + "_ms", std::max(t.stall, first.stall) * 1e3, "ms");
    if (action.name == "tracker_branch_first" || action.name == "tracker_keyword_first") {
      PrintFigure(prefix + action.name + "_over_floor", t.wall / floor.wall, "x");
    }
    if (!parted) continue;
    LimitSideBySideParts(1);
    const Timing one = TimeAction(action);
    LimitSideBySideParts(0);
    PrintFigure(prefix + action.name + "_first_run_ms", first.wall * 1e3, "ms");
    PrintFigure(prefix + "cpu1_" + action.name, one.cpu * 1e3, "ms");
    PrintFigure(prefix + action.name + "_over_floor", t.wall / floor.wall, "x");
    PrintFigure(prefix + action.name + "_first_run_over_floor", first.wall / floor.wall, "x");
    PrintFigure(prefix + "cpu_" + action.name + "_over_cpu1", t.cpu / std::max(1e-9, one.cpu), "x");
  }
  if (Wanted("custom_series30")) {
    PrintFigure(prefix + "custom_series30_values", static_cast<double>(pages.SeriesValues()), "values");
  }
  if (anonMb != nullptr) {
    PrintFigure(prefix + "end_keyword_lines", pages.SearchAndMergeEverything(), "lines");
    PrintFigure(prefix + "tracker_select_ms", pages.LongestSelection() * 1e3, "ms");
    *anonMb = AnonResidentMb();
  }
  return times;
}

}  // namespace

void RunHistoryBench() {
  const auto app = MakeBenchApplication();
  const std::string root = CacheRoot();
  fs::create_directories(root);
  const std::string longFolder = root + "/history5000";
  const std::string shortFolder = root + "/history750";
  if (!CacheReady(longFolder)) {
    fs::remove_all(shortFolder);
    GenerateLong(longFolder);
  }
  if (!CacheReady(shortFolder)) CutShort(longFolder, shortFolder);
  PrintFigure("history5000_file_mb", static_cast<double>(fs::file_size(longFolder + "/CJHB.mdb")) / 1048576.0, "MB");
  PrintFigure("history750_file_mb", static_cast<double>(fs::file_size(shortFolder + "/CJHB.mdb")) / 1048576.0, "MB");

  // The long market first, so that its memory figure holds nothing of the short one's.
  std::vector<std::string> names;
  double anonMb = 0;
  const std::vector<Timing> long5000 = RunMarket(longFolder, kLongDays, names, &anonMb);
  PrintFigure("history5000_anon_mb", anonMb, "MB");
  const std::vector<Timing> short750 = RunMarket(shortFolder, kShortDays, names, nullptr);
  for (std::size_t i = 0; i < names.size(); ++i) {
    PrintFigure("history_growth_" + names[i], long5000[i].wall / std::max(1e-9, short750[i].wall), "x");
    // How the longest the interface thread did not answer grew with history.
    PrintFigure("history_stall_growth_" + names[i], long5000[i].stall / std::max(1e-9, short750[i].stall), "x");
  }
}
