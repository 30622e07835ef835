#pragma once
// The branch ranking page ("买卖排行榜"): branches ranked over today, the previous
// weekday, a picked day or the last N trading days merged, the big buyers over every
// stored day, the regional views of the current ranking and the repeat-buy
// statistics. The computations are the analysis library's and run in one step under
// the wait cursor; this page shows their results and writes the ranking's file.
// The big-buyer query and the repeat-buy statistics run in the background. Their rule:
// while one runs, every control that changes the list is refused (the day buttons,
// the picker, the regions, the header's sort, the query and the statistics) and shows
// again what it showed when the search started, so the list, the ranking's file and
// the controls all stay those of the search. A search that fails empties the list and
// pane 1 says so.

#include <memory>
#include <string>
#include <vector>

#include "analysis/branch_ranking.h"
#include "analysis/ui/page_search.h"
#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "platform/ui/page.h"

class CColorListCtrl;
class CEditEx;
class CTipWnd;
class QAbstractButton;
class QButtonGroup;
class QDateEdit;
class QTimer;
struct RepeatBuyListRow;

using TopBranchServices = PageServices;

class CTopBranchDlg : public CServicedPage {
  Q_OBJECT

 public:
  enum { IDD = 206 };
  static constexpr int kListId = 1115;
  static constexpr int kDaysEditId = 1000;
  static constexpr int kAmountEditId = 1006;
  static constexpr int kPickerId = 1015;
  // The single-shot first showing, 5 s after initialisation.
  static constexpr int kFirstShowingMs = 5000;

  explicit CTopBranchDlg(QWidget* parent = nullptr);
  explicit CTopBranchDlg(const TopBranchServices& services, QWidget* parent = nullptr);
  ~CTopBranchDlg() override;

  BOOL OnInitDialog() override;

  // The buttons.
  void OnToday();
  void OnYesterday();
  void StartMerge(int days);
  void OnMergeTyped();  // edit 1000's number of days
  void OnQueryBigBuyers();
  void OnDateChange();
  void OnRepeatBuyStats();
  void StartRepeatBuyStats(int days);
  // A region button (1017 … 1031 but 1021).
  void OnRegion(int buttonId);
  void ShowRegionCity(const std::string& key);
  void ShowRegionProvince(const std::vector<std::string>& cities);

  // The list: a double click on a row, a double click on header column `column`.
  void OnListDblClk(int row);
  void OnHeaderDblClk(int column);

  // The list and the file from g_BranchTotals in its current order.
  void ShowRanking();
  // The single-shot timer's work: today, then re-sorted by total buy and shown.
  void OnFirstShowing();

  // True while a merge runs or a big-buyer or repeat-buy search has not yet shown its
  // result: every control that changes the list is then refused.
  bool IsBusy() const;
  bool IsSearchRunning() const;
  int SortMode() const { return m_nSortMode; }
  const std::string& ShownDay() const { return m_strShownDay; }
  // The first showing is still to come.
  bool IsFirstShowingPending() const;
  const QTimer* FirstShowingTimer() const { return m_firstShowing; }

 protected:
  // Tips, and Enter and Escape swallowed in every control.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  std::string Today() const;
  void SetEditText(CEditEx* edit, const std::string& text);
  void ClearList();
  // A failed search leaves no older ranking: the list and g_BranchTotals are emptied.
  void ClearFailedSearch();
  void FillRows(const std::vector<BranchRankingRow>& rows);
  void FillRepeatBuyRows(std::vector<std::vector<QString>> cells);
  void ShowLongWait(int days);
  void ShowStatus(const std::string& text);  // pane 1 of the main window's status bar
  // Shows a single-day or query ranking's result: the ranking, or for a failed read
  // the message and an empty list.
  void ShowResult(const BranchRankingResult& result);
  // True (the request refused) while the page is busy; the day buttons and the picker
  // then show again what they showed when the running search started.
  bool RefuseWhileBusy();
  // Notes what the day buttons and the picker show as a search starts.
  void KeepControlsOfSearch();

  CColorListCtrl* m_list = nullptr;  // 1115
  CEditEx* m_DaysEdit = nullptr;     // 1000
  CEditEx* m_AmountEdit = nullptr;   // 1006
  QDateEdit* m_Picker = nullptr;     // 1015
  QButtonGroup* m_DayButtons = nullptr;
  QAbstractButton* m_dayOfSearch = nullptr;  // the day button checked as the running search started
  std::string m_pickerDayOfSearch;           // the picker's day then
  CTipWnd* m_TipWnd = nullptr;
  QTimer* m_firstShowing = nullptr;  // timer 3
  std::unique_ptr<PageSearch> m_search;  // the big-buyer query and the repeat-buy statistics
  StatusPaneNotice m_pane;               // pane 1: a shortage of days lasts until a list is shown

  int m_bBusy = 0;
  int m_nSortMode = kBranchSortByTotalBuy;
  std::string m_strShownDay;
};
