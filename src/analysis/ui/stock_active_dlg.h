#pragma once
// The stock activity ranking page ("个股活跃榜"): the stocks listed most often over the
// last N trading days (combo 1131) with the money their seats moved, and the day totals
// of one day and of the latest 20 days. The ranking and the totals are the analysis
// library's; this page puts them into its widgets and routes the user's clicks.
// The ranking runs in the background. Its rule: while it runs, every request that
// would change the ranking is refused and changes nothing (another N from the combo,
// another page's request, a header's re-sort); the combo goes on showing the N being
// ranked.

#include <memory>
#include <string>

#include "analysis/stock_activity.h"
#include "analysis/ui/page_search.h"
#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "platform/pages/stock_active_page_iface.h"
#include "platform/ui/page.h"

class CADODataBase;
class CColorListCtrl;
class CEditEx;
class QComboBox;
class QDateEdit;
class QLineEdit;

using StockActiveServices = PageServices;

class CStockActiveDlg : public CServicedPage, public IStockActivePage {
  Q_OBJECT

 public:
  enum { IDD = 212 };
  static constexpr int kStockListId = 1115;
  static constexpr int kDayListId = 1116;
  static constexpr int kDaysComboId = 1131;
  static constexpr int kDayPickerId = 1111;

  explicit CStockActiveDlg(QWidget* parent = nullptr);
  explicit CStockActiveDlg(const StockActiveServices& services, QWidget* parent = nullptr);
  // Leaves its registry slot.
  ~CStockActiveDlg() override;

  BOOL OnInitDialog() override;

  // IStockActivePage.
  void OnTodayDataDownloaded() override;
  bool OnRankRequest(int days) override;

  // The user's actions, as the controls call them.
  void OnSelChangeDays(int index);   // combo 1131 activated
  void OnHeaderDblClk(int column);   // list 1115's header, columns 3-7
  void OnStockDblClk(int row);       // list 1115: the row's code to the tracker
  void OnStockRClick(int row);       // list 1115: the charting program on the row's code
  void OnDayDblClk(int row);         // list 1116: the day totals of the row's date
  void OnDatePicked(const std::string& day);  // picker 1111 (weekends ignored)

  // The ranking's day count of the last walk (0 before the first).
  int RankedDays() const { return m_nDays; }
  // Walks run since construction.
  int WalkCount() const { return m_nWalks; }
  // True from the start of a ranking until its result has been shown.
  bool IsSearchRunning() const { return m_search->IsRunning(); }
  // The day whose totals the edits show ("" before the first).
  const std::string& TotalsDay() const { return m_strTotalsDay; }

 private:
  void BuildControls();
  std::string Today() const;

  // The N-day ranking off the interface thread; `notify`: answer the continuous-buying
  // page once it is shown. Ignored while a ranking runs.
  void StartStockWalk(int days, bool notify);
  void ShowStockWalk(StockRankingResult& result);
  void ShowStockRanking();
  void ShowDayTotals(const std::string& day);
  void ShowRecentDays(int count);
  void ShowLatestWeekday();
  void SaveTimeSel(int index);
  // The combo shows the period of the list: the user's choice, or a count another page
  // asked for (an item, or the placeholder when the combo offers no such count).
  void ShowDaysInCombo(int days);

  bool eventFilter(QObject* watched, QEvent* event) override;

  CColorListCtrl* m_StockList = nullptr;  // 1115
  CColorListCtrl* m_DayList = nullptr;    // 1116
  QComboBox* m_DaysCombo = nullptr;       // 1131
  QDateEdit* m_DayPicker = nullptr;       // 1111
  QLineEdit* m_GroupEdits[3][5] = {};     // 1000.. / 1013.. / 1019.., nets are CEditEx

  int m_nDays = 0;
  int m_nWalks = 0;
  std::unique_ptr<PageSearch> m_search;
  int choice_ = 0;  // the user's combo index (TimeSel)
  std::string m_strTotalsDay;
  StatusPaneNotice m_pane;  // pane 1: a shortage of days lasts until a ranking is shown
};
