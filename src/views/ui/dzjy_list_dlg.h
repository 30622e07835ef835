#pragma once
// The block-trade list page ("上榜明细"): one stored day of table DZJY, or a search by
// stock code, stock name, buying-branch keyword or branch, one line per trade with
// its premium and amount coloured by band, and a totals block over the first lines.
// The lines come from the views library's block-trade listing; this page maps them
// into the table and sends the user's clicks on. Other pages reach it through the
// registry slot DzjyList.

#include <memory>
#include <string>
#include <vector>

#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "platform/clock.h"
#include "platform/pages/dzjy_list_page_iface.h"
#include "platform/ui/page.h"
#include "views/block_trade_listing.h"

class CADODataBase;
class CColorListCtrl;
class DayStepper;
class QDateEdit;
class QLineEdit;
class QPushButton;

// Puts block-trade lines (texts and cell colours) into a list, replacing its rows.
void FillBlockTradeList(CColorListCtrl& list, const std::vector<BlockTradeLine>& lines);

// The page's beep: QApplication::beep() and a count tests read.
class PageBeep {
 public:
  static void Beep();
  static int Count();
  static void ResetCount();
};

// What the page reads the time from and queries; the program's own by default (the
// system clock, g_ADODatabase and g_ADODatabase_Custom).
using DzjyListServices = PageServices;

class CDzjyListDlg : public CServicedPage, public IDzjyListPage {
  Q_OBJECT

 public:
  enum { IDD = 245 };
  static constexpr int kListId = 1136;

  explicit CDzjyListDlg(QWidget* parent = nullptr);
  explicit CDzjyListDlg(const DzjyListServices& services, QWidget* parent = nullptr);
  ~CDzjyListDlg() override;

  BOOL OnInitDialog() override;

  // Handlers.
  void OnPrevDay();
  void OnNextDay();
  void OnShowDay();
  void OnDateChange();
  void OnListDblClk(int row, int column);
  void OnListRClick(int row);
  void OnTotalRows();
  void OnStockSearch();
  void OnBuyerSearch();

  // IDzjyListPage
  void ShowStockTrades(const std::string& stockCode) override;
  void ShowBuyerTrades(const std::string& branchName) override;
  void ShowSellerTrades(const std::string& branchName) override;

  int Days() const { return m_nDays; }
  // The day whose listing is on the page; "" after a search.
  const std::string& ListedDay() const { return m_strListedDay; }
  const BlockTradeListing& Listing() const { return m_listing; }

 protected:
  // The list's right presses.

 private:
  void BuildControls();
  void WatchControls();
  std::string PickerDay() const;
  void SetPickerDay(const std::string& day);
  std::string Cutoff() const;
  void BringForward();
  void StepDay(int direction);

  // The listings.
  void ShowDay(const std::string& day);
  void RunTradeQuery(const BlockTradeQuery& query);
  // Puts the listing's lines into the table.
  void ShowLines();

  CColorListCtrl* m_list = nullptr;      // 1136
  std::unique_ptr<DayStepper> m_days;
  QDateEdit* m_datePicker = nullptr;     // 1111, m_days' picker
  QPushButton* m_btnShowDay = nullptr;   // 1007
  QPushButton* m_btnStock = nullptr;     // 1152
  QPushButton* m_btnBuyer = nullptr;     // 1153
  QPushButton* m_btnTotals = nullptr;    // 1048
  QLineEdit* m_editSearch = nullptr;     // 1017
  QLineEdit* m_editDays = nullptr;       // 1001
  QLineEdit* m_editRows = nullptr;       // 1000

  BlockTradeListing m_listing;
  int m_nDays = 60;
  std::string m_strListedDay;
};
