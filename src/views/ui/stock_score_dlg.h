#pragma once
// The stock scoring page ("席位解密"): every stock of one chosen day with its six
// criteria and total score. The scoring is CStockScoring's; the page picks and steps
// the day, fills the list and sends a double-clicked stock to the tracker and a
// right-clicked one to the charting program.

#include <memory>
#include <string>
#include <vector>

#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "platform/ui/page.h"
#include "views/stock_scoring.h"

class CADODataBase;
class CBitmapButtonEx;
class CColorListCtrl;
class IClock;
class DayStepper;
class QDateEdit;
class QPushButton;

// What the page reads the time from and queries; the program's own by default (the
// system clock and g_ADODatabase).
using StockScoreServices = PageServices;

class CStockScoreDlg : public CServicedPage {
  Q_OBJECT

 public:
  enum { IDD = 239 };
  explicit CStockScoreDlg(QWidget* parent = nullptr);
  explicit CStockScoreDlg(const StockScoreServices& services, QWidget* parent = nullptr);
  ~CStockScoreDlg() override;

  BOOL OnInitDialog() override;

  // Fills the list with `day`'s scores; a day that cannot be read leaves the list.
  // True when the list was filled.
  bool ScoreDay(const std::string& day);
  void OnDateChange();
  void OnPrevDay();
  void OnNextDay();
  void OnListDblClk(int row);
  void OnListRClick(int row);

  // The day whose scores are on the list ("" before the first).
  const std::string& ShownDay() const { return m_strShownDay; }

 protected:

 private:
  std::string PickerDay() const;
  void SetPickerDay(const std::string& day);
  void StepDay(int direction);
  std::string RowCode(int row) const;

  std::unique_ptr<CStockScoring> m_scoring;
  CColorListCtrl* m_list = nullptr;
  std::unique_ptr<DayStepper> m_days;
  QDateEdit* m_datePicker = nullptr;  // m_days' picker
  std::string m_strShownDay;
  std::vector<std::string> m_codes;  // the stock code of each list row
};
