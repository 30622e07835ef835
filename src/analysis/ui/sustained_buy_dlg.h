#pragma once
// The continuous-buying page ("游资持续买入"): the stocks on which a branch bought in two
// or more of their listings over the last N trading days (list 1119), and per such
// branch its listings on the stock (list 1120). The stock activity ranking counts the
// listings when asked (+109) and hands the count back (+110, OnStocksReady). The lists
// are the analysis library's; this page puts them into its widgets and routes clicks.

#include <string>

#include "analysis/sustained_buy_page_iface.h"
#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "platform/ui/page.h"

class CADODataBase;
class CColorListCtrl;
class CTipWnd;
class QComboBox;
class QPushButton;
struct SustainedBranchRow;
template <typename Row>
struct SustainedList;

using SustainedBuyServices = PageServices;

class CSustainedBuyDlg : public CServicedPage, public ISustainedBuyPage {
  Q_OBJECT

 public:
  enum { IDD = 236 };
  static constexpr int kDaysComboId = 1003;
  static constexpr int kMarginBuyId = 1004;
  static constexpr int kShowAllId = 1007;
  static constexpr int kCopyCodesId = 1008;
  static constexpr int kStockListId = 1119;
  static constexpr int kBranchListId = 1120;

  explicit CSustainedBuyDlg(QWidget* parent = nullptr);
  explicit CSustainedBuyDlg(const SustainedBuyServices& services, QWidget* parent = nullptr);
  // Leaves its registry slot.
  ~CSustainedBuyDlg() override;

  BOOL OnInitDialog() override;

  // ISustainedBuyPage: g_StockActivity holds the count asked for.
  void OnStocksReady() override;

  // The user's actions, as the controls call them.
  void OnSelChangeDays(int index);   // combo 1003 activated
  void OnShowAllSustained();         // 1007
  void OnMarginBuy();                // 1004
  void OnCopyCodes();                // 1008
  void OnDblClkStockList(int row);   // list 1119
  void OnRClickStockList(int row);   // list 1119: the charting program on the row's code
  void OnRClickBranchList(int row);  // list 1120: the same

  // The stock a double click chose ("" before any), and whether 1120 lists all stocks.
  const std::string& SelectedCode() const { return m_strSelectedCode; }
  bool ShowsAllStocks() const { return m_nAllStocks == 1; }

 private:
  void BuildControls();
  std::string Today() const;
  // The oldest day of the window g_StockActivity was counted over.
  std::string CountedWindow() const;
  void FillBranchList();
  void ShowBranchRows(const SustainedList<SustainedBranchRow>& list);
  void SaveDaysChoice(int index);

  bool eventFilter(QObject* watched, QEvent* event) override;

  QComboBox* m_DaysCombo = nullptr;         // 1003
  CColorListCtrl* m_StockList = nullptr;    // 1119
  CColorListCtrl* m_BranchList = nullptr;   // 1120
  CTipWnd* m_TipWnd = nullptr;

  std::string m_strSelectedCode;
  int m_nAllStocks = 1;  // 1: every qualified stock, 0: only the selected code
  bool m_bBusy = false;
};
