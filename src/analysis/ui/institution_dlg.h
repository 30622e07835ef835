#pragma once
// The institution seat page ("机构买入排行榜"): the listings in which the institutions'
// seat stands, narrowed by the direction of their net, the counts of their seats and a
// minimum net. A double click hands the stock to the tracker, a right click to the
// charting program; 1008 copies the listed codes.

#include <string>

#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "platform/ui/page.h"

class CADODataBase;
class CColorListCtrl;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
struct InstitutionList;

using InstitutionServices = PageServices;

class CInstitutionDlg : public CServicedPage {
  Q_OBJECT

 public:
  enum { IDD = 237 };
  static constexpr int kListId = 1132;
  // The first load runs once, this long after the page is set up, in the net-buy view.
  static constexpr int kFirstLoadDelayMs = 11000;

  explicit CInstitutionDlg(QWidget* parent = nullptr);
  explicit CInstitutionDlg(const InstitutionServices& services, QWidget* parent = nullptr);

  BOOL OnInitDialog() override;

  // Fill the list with the listings of `seat` in m_nShowMode; LoadFiltered is the
  // " 过滤查找" view (a net above edit 1001).
  void LoadList(const std::string& seat);
  void LoadFiltered(const std::string& seat);
  void OnShowAll();      // 1006
  void OnShowNetBuy();   // 1007
  void OnShowNetSell();  // 1048
  void OnFilter();       // 1004
  void OnCopyCodes();    // 1008
  void OnListDblClk(int row);
  void OnListRClick(int row);

  int ShowMode() const { return m_nShowMode; }
  // How many times the list was filled (the first load included).
  int LoadCount() const { return m_nLoads; }
  QTimer* FirstLoadTimer() const { return m_firstLoad; }

 protected:

 private:
  void BuildControls();
  void Load(const std::string& seat, bool filtered);
  void Fill(const InstitutionList& list);

  CColorListCtrl* m_list = nullptr;        // 1132
  QRadioButton* m_radioAll = nullptr;      // 1006
  QPushButton* m_btnNetBuy = nullptr;      // 1007
  QPushButton* m_btnNetSell = nullptr;     // 1048
  QPushButton* m_btnFilter = nullptr;      // 1004
  QPushButton* m_btnCopy = nullptr;        // 1008
  QLineEdit* m_editBuySeats = nullptr;     // 1000
  QLineEdit* m_editSellSeats = nullptr;    // 1002
  QLineEdit* m_editMinNet = nullptr;       // 1001
  QTimer* m_firstLoad = nullptr;

  int m_nShowMode = 1;
  int m_nLoads = 0;
};
