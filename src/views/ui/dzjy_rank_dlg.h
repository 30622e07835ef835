#pragma once
// The block-trade ranking page ("买卖排行榜"): the trades of the last 10, 20 or 60
// calendar days grouped by buying branch, selling branch or stock and ranked by their
// summed amount (the views library's ranking). A double click sends the stock or
// branch of a line to the list page through the registry.

#include <vector>

#include "controls/ui/serviced_page.h"
#include "storage/page_services.h"
#include "platform/clock.h"
#include "platform/ui/page.h"
#include "views/block_trade_ranking.h"

class CADODataBase;
class CColorListCtrl;
class QButtonGroup;
class QRadioButton;

using DzjyRankServices = PageServices;

class CDzjyRankDlg : public CServicedPage {
  Q_OBJECT

 public:
  enum { IDD = 247 };
  static constexpr int kListId = 1136;

  explicit CDzjyRankDlg(QWidget* parent = nullptr);
  explicit CDzjyRankDlg(const DzjyRankServices& services, QWidget* parent = nullptr);

  BOOL OnInitDialog() override;

  // Ranks with the period `days` and the checked grouping.
  void Rank(int days);
  void OnListDblClk(int row, int column);

  const std::vector<RankGroup>& Groups() const { return m_vecGroups; }
  // The period of the last ranking (0 before the first).
  int RankedDays() const { return m_nRankedDays; }
  int RankCount() const { return m_nRanks; }

 private:
  void BuildControls();
  RankGrouping Grouping() const;

  CColorListCtrl* m_list = nullptr;  // 1136
  QRadioButton* m_radio10 = nullptr;     // 1012
  QRadioButton* m_radio20 = nullptr;     // 1013
  QRadioButton* m_radio60 = nullptr;     // 1014
  QRadioButton* m_radio6m = nullptr;     // 1015, disabled
  QRadioButton* m_radioBuyer = nullptr;  // 1008
  QRadioButton* m_radioSeller = nullptr; // 1011
  QRadioButton* m_radioStock = nullptr;  // 1016
  QRadioButton* m_radioCount = nullptr;  // 1017, disabled
  QButtonGroup* m_periodGroup = nullptr;
  QButtonGroup* m_groupingGroup = nullptr;

  std::vector<RankGroup> m_vecGroups;
  int m_nRankedDays = 0;
  int m_nRanks = 0;
};
