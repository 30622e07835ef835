#pragma once
// The daily list page ("上榜明细"): one stored day of the Velkor list with the chosen
// stock's record, seats and block trades, and the side lists of suggested stocks,
// watched-branch trades and team hits. The day itself is CDailyListModel's; the
// detail, seat rows, day search and files come from the views library. This page maps
// their results into widgets and sends the user's clicks on to the other pages and the charting link.

#include <memory>
#include <string>

#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "platform/clock.h"
#include "platform/pages/daily_list_page_iface.h"
#include "platform/ui/page.h"
#include "records/branch_marks.h"
#include "records/stock_detail_record.h"
#include "views/daily_list_model.h"

class CADODataBase;
class CBitmapButtonEx;
class CColorListBox;
class CColorListCtrl;
class CEditEx;
class CTipWnd;
class QCheckBox;
class QComboBox;
class DayStepper;
class QDateEdit;
class QLabel;
class QPushButton;

// What the page reads the time from, waits with and queries; the program's own by
// default (the system clock, real sleeps, g_ADODatabase and g_ADODatabase_Custom).
using DataDisplayServices = PageServices;

class CDataDisplayDlg : public CServicedPage, public IDailyListPage {
  Q_OBJECT

 public:
  enum { IDD = 129 };
  // The item role of the four colour lists that holds a line's stock code ("" for a
  // line that stands for no stock).
  static constexpr int kLineCodeRole = Qt::UserRole + 1;

  explicit CDataDisplayDlg(QWidget* parent = nullptr);
  explicit CDataDisplayDlg(const DataDisplayServices& services, QWidget* parent = nullptr);
  ~CDataDisplayDlg() override;

  BOOL OnInitDialog() override;

  // The day: load, rewrite, pick, step, sort.
  void LoadDayList(const std::string& day);
  void RefreshDayList();
  void OnDateTimeChange();
  void OnPrevDay();
  void OnNextDay();
  void OnSortModeChange();

  // Showing a stock.
  void OnDblclkDayList();
  void OnSuggestedStockDblClk();
  void OnWatchedStockDblClk();
  void OnTeamStockDblClk();
  void ShowStockDetail(const StockDetailRecord& record);
  void ShowBlockTradeSummary(const std::string& code);

  // Seats and commands.
  void OnSeatListClick(int row);
  void OnSeatListDblClk(int row);
  void OnAddToBlock();
  void OnAddSelectedToBlock();
  void OnShowListCounts();
  void OnSetWatchedBranches();

  // IDailyListPage (WM_USER+105): today's list was downloaded.
  void OnTodayDataDownloaded() override;
  void OnDataDownloaded() { OnTodayDataDownloaded(); }

  const std::string& LoadedDate() const { return m_strLoadedDate; }
  const std::string& PickedDate() const { return m_strPickedDate; }
  const std::string& Today() const { return m_strToday; }
  const StockDetailRecord& Record() const { return m_record; }
  // Day loads run so far (each step, pick and download reload counts one).
  int LoadCount() const { return m_nLoads; }

 protected:
  // Tips, Enter and Escape, the edits' double-clicks and the lists' right presses.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The list's model reads the new databases.
  void ServicesReplaced() override;

 private:
  void BuildControls();
  void WatchControls();
  std::string BlockTradeCutoff() const;
  std::string PickerDay() const;
  void SetPickerDay(const std::string& day);
  int SortMode() const;
  void StepDay(int direction);

  // Shows the stock `code` of the loaded day (empty seat list, record, detail).
  void ShowStockOfLoadedDay(const std::string& code);
  void ShowStockDetail(const StockDetailRecord& record, const BranchMarks& marks);
  void ClearStockDetail();
  void ClearBlockTradeSummary();
  void FillList(CColorListBox* list, const std::vector<ListLine>& lines);
  void AddLine(CColorListBox* list, const ListLine& line);
  std::string SelectedCode(CColorListBox* list) const;
  void OnListRightPress(CColorListBox* list, const QPoint& viewportPos);
  void OnEditDoubleClick(int id);

  std::unique_ptr<CDailyListModel> m_model;

  CColorListBox* m_listDay = nullptr;      // 1112
  CColorListCtrl* m_listSeats = nullptr;   // 1113
  CColorListBox* m_listSuggest = nullptr;  // 1115
  CColorListBox* m_listTeams = nullptr;    // 1116
  CColorListBox* m_listWatched = nullptr;  // 1117
  std::unique_ptr<DayStepper> m_days;
  QDateEdit* m_datePicker = nullptr;       // 1111, m_days' picker
  QComboBox* m_comboSort = nullptr;        // 1005
  CEditEx* m_editName = nullptr;           // 1006
  CEditEx* m_editCode = nullptr;           // 1009
  CEditEx* m_editClose = nullptr;          // 1012
  CEditEx* m_editAmount = nullptr;         // 1011
  CEditEx* m_editChange = nullptr;         // 1013
  CEditEx* m_editReason = nullptr;         // 1014
  CEditEx* m_editMainSeller = nullptr;     // 1016
  CEditEx* m_editMainBuyer = nullptr;      // 1017
  CEditEx* m_editBlockVolume = nullptr;    // 1008
  CEditEx* m_editBlockAmount = nullptr;    // 1010
  CEditEx* m_editBlockCount = nullptr;     // 1015
  QPushButton* m_btnAddAll = nullptr;      // 1007
  QPushButton* m_btnAddShown = nullptr;    // 1048
  QPushButton* m_btnWatched = nullptr;     // 1147
  QCheckBox* m_checkCounts = nullptr;      // 1146
  QLabel* m_header = nullptr;              // the day list's column titles
  CTipWnd* m_TipWnd = nullptr;

  StockDetailRecord m_record;
  std::string m_strToday;
  std::string m_strLoadedDate;
  std::string m_strPickedDate;
  int m_nBlockTradeDays = 30;
  int m_bShowListCounts = 1;
  int m_nLoads = 0;
  bool m_bStockShown = false;  // a stock's record is on show
  bool m_bInLoad = false;      // a day load is running
};
