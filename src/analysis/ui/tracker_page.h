#pragma once
// The tracker page ("搜索&&查询"): the listings of a branch, of two branches together or
// of a keyword, a stock's listing history, one stock-day's ten seats in detail, the
// branch totals of the listed stock-days, the stocks one branch traded most, and the
// search of the user's teams over the last N weekdays in a worker. The searches, the
// detail rows, the totals and the team job are the analysis library's; this page maps
// their results into widgets and routes the user's clicks to them.
// The branch, keyword, merge and hot-stock searches run in the background. Their
// rule: while one runs, every request that changes the lists is refused (the other
// searches, a line's stock-day, the seat list's sort, the team search, and a branch,
// code or name handed over by another page, which pane 1 then tells); the lists stay
// those of the running search (a streaming search runs until its last lines are
// shown). A search that fails empties what its result would have filled and pane 1
// says so. The team search streams its lines: a search started
// after it ends it and drops its later lines.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "analysis/stock_day_detail.h"
#include "analysis/tracker_line.h"
#include "platform/clock.h"
#include "platform/pages/tracker_page_iface.h"
#include "platform/ui/page.h"

class CADODataBase;
class CColorListBox;
struct ColorListBoxEntry;
class ColorListBoxBatch;
class CColorListCtrl;
class CEditEx;
class CTipWnd;
class QComboBox;
class QLineEdit;
class QPushButton;
class PageSearch;
class TeamSearchJob;
struct TeamSearchSummary;
struct TrackerSearchResult;
class TrackerLineSink;

// What the page reads the time from and queries; the program's own by default (the
// system clock, g_ADODatabase and g_ADODatabase_Custom).
using TrackerServices = PageServices;

class CTrackerPage : public CServicedPage, public ITrackerPage {
  Q_OBJECT

 public:
  enum { IDD = 140 };
  // Item roles of the result list's lines: what each line stands for. Handlers read
  // these, never the text.
  static constexpr int kLineNameRole = Qt::UserRole + 1;
  static constexpr int kLineCodeRole = Qt::UserRole + 2;
  static constexpr int kLineDateRole = Qt::UserRole + 3;
  static constexpr int kLineTeamRole = Qt::UserRole + 4;
  // The main tab that shows this page.
  static constexpr int kTrackerTabIndex = 2;

  explicit CTrackerPage(QWidget* parent = nullptr);
  explicit CTrackerPage(const TrackerServices& services, QWidget* parent = nullptr);
  // Leaves its registry slot, then stops a running team search and waits for it.
  ~CTrackerPage() override;

  BOOL OnInitDialog() override;

  // ITrackerPage: other pages hand over a branch, a code or a name. Each brings the
  // tracker's tab to the front first.
  void OnTrackBranch(const std::string& branchName) override;
  void OnTrackByStockCode(const std::string& stockCode) override;
  void OnTrackByStockName(const std::string& stockName) override;

  // Branch searches. The exact and the keyword search run off the interface thread
  // (see IsSearchRunning); `showFirst`: the first line's stock-day is shown after.
  void SearchBranch(const std::string& branchName, bool showFirst = false);
  void OnSearchTeamsOnly();
  void SearchBranchKeyword();
  // Stock searches of edit 1017 (they write the file).
  void SearchStockName();
  void SearchStockCode();
  void OnMultiStockSearch();
  void OnTeam1OnStock();

  // The stock-day detail.
  void ShowFirstResult();
  void OnResultDblClk();
  void OnResultSelChange();
  void OnSeatListClick(int row);
  void OnSeatListDblClk(int row);

  // The tools on the left.
  void OnMergeData();
  void OnSeatListHeaderClick(int column);
  void OnHotStockRanking();
  void OnCopyCodesToClipboard();
  void OnStockQuery();
  void OnBranchQuery();
  void OnSearchTeamCombat();

  // The current stock-day, as the detail view last loaded it.
  const StockDayDetail& StockDay() const { return m_StockDay; }
  // The result list's lines with their roles, in list order.
  // The first `limit` lines of the result list (all of them by default).
  std::vector<TrackerLine> ResultLines(std::size_t limit = static_cast<std::size_t>(-1)) const;

  // True from the start of a branch search, a keyword search, a merge or a hot-stock
  // ranking until its result has been shown; meanwhile every request that changes the
  // lists is ignored.
  bool IsSearchRunning() const;

  // True from the start of a team search until its end has reached this page.
  bool IsTeamSearchRunning() const { return m_nRunningJob != 0; }
  // The id of the team search whose lines the list takes (0: none).
  std::uint64_t CurrentTeamJob() const { return m_nJobId; }

  // The team search's calls, as the worker's sink queues them to this thread. Lines
  // of another job than the current one are dropped; the end of the running job
  // enables 1131 and 1005 again.
  void OnTeamSearchLine(std::uint64_t job, const TrackerLine& line);
  void OnTeamSearchFinished(std::uint64_t job, const TeamSearchSummary& summary);
  void OnTeamSearchFailed(std::uint64_t job, const std::string& text);

 protected:
  // Tips, Escape, Enter in 1006/1009/1017, double clicks in 1006/1009/1016/1017, the
  // right button on 1112 and the click rule of 1113.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void WatchControls();
  void SelectOwnTab();
  // Another page's hand-over while a search runs: pane 1 says it was not taken (true).
  bool RefuseHandOver();

  std::string EditText(const QLineEdit* edit) const;
  void SetEditText(QLineEdit* edit, const std::string& text);
  void OnEditEnter(int id);
  void OnEditDoubleClick(int id);
  void OnResultRightPress(const QPoint& viewportPos);

  // Puts a search's lines and edit texts into the widgets and, when it says so, shows
  // its first line. False when its query failed. `entries`: the lines already made
  // into the list's lines (result.lines then only says that the list is replaced).
  bool ApplyResult(const TrackerSearchResult& result, ColorListBoxBatch* batch = nullptr);
  // Runs `search` off the interface thread and applies its result; `showFirst`: then
  // shows the first line's stock-day when the search went through. Ignored while a
  // search runs.
  // The search streams its lines through the sink it is given: the first screenful
  // replaces the list at once, the rest is appended as it comes; the search counts as
  // running until its last lines and figures are shown.
  void SearchInBackground(std::function<TrackerSearchResult(TrackerLineSink*)> search, bool showFirst);
  void AddStreamedLines(ColorListBoxBatch& lines);
  // A failed search leaves no older result: the list and its figures are emptied, or
  // the seat list and the totals it shows.
  void ClearResultList();
  void ClearSeatList();
  void FillResultList(ColorListBoxBatch lines);
  void AddResultLine(const TrackerLine& line);
  // Loads and shows the stock-day of result line `line`.
  void ShowLineStockDay(int line);
  void ShowStockDay(const StockDayDetail& detail);
  // Fills list 1113 under `columns` (the seat list's own titles unless told).
  void FillSeatList(const std::vector<StockDayRow>& rows,
                    const std::array<SeatListColumn, kStockDayColumnCount>& columns = kStockDayColumns);
  void SetSeatListTitles(const std::array<SeatListColumn, kStockDayColumnCount>& columns);
  std::string LineRole(int line, int role) const;

  // A search replaces the result list: a running team search is asked to stop and its
  // queued lines are dropped; 1131 and 1005 come back when it has ended.
  void AbandonTeamSearch();
  void EnableTeamSearchControls(bool enable);

  CColorListBox* m_ResultList = nullptr;   // 1112
  CColorListCtrl* m_SeatList = nullptr;    // 1113
  CEditEx* m_Team1Edit = nullptr;          // 1017
  QLineEdit* m_Team2Edit = nullptr;        // 1016
  CEditEx* m_MultiStockEdit = nullptr;     // 1019
  QLineEdit* m_StockNameEdit = nullptr;    // 1006
  QLineEdit* m_StockCodeEdit = nullptr;    // 1009
  QLineEdit* m_CloseEdit = nullptr;        // 1012
  CEditEx* m_ChangeEdit = nullptr;         // 1013
  QLineEdit* m_ReasonEdit = nullptr;       // 1014
  QLineEdit* m_CountEdit = nullptr;        // 1000
  QLineEdit* m_LargeEdit = nullptr;        // 1001
  QLineEdit* m_AverageEdit = nullptr;      // 1002
  QLineEdit* m_MergeEdit = nullptr;        // 1028
  QLineEdit* m_DaysEdit = nullptr;         // 1029
  QComboBox* m_TeamCombo = nullptr;        // 1005
  QPushButton* m_btnTeamSearch = nullptr;  // 1131
  CTipWnd* m_TipWnd = nullptr;

  StockDayDetail m_StockDay;
  std::string m_strTeam1Text;  // 1017 as the detail view last read it

  // The 1113 click rule: the press that belongs to a double click runs no click.
  bool m_bSeatPressIsDoubleClick = false;

  std::unique_ptr<PageSearch> m_search;
  bool m_bStreamStarted = false;  // the running search's first lines replaced the list

  // The team search.
  std::unique_ptr<TeamSearchJob> m_team;
  std::uint64_t m_nJobId = 0;       // the job whose lines the list takes
  std::uint64_t m_nRunningJob = 0;  // the job whose end re-enables 1131/1005 (0: none)
};
