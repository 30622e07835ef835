#pragma once
// The block-trade window ("大宗交易"): a tab control over the list page "上榜明细"
// and the ranking page "买卖排行榜". Once initialised it publishes its tabs in the
// registry slot DzjyTabCtrl, so the list page's entries can bring it forward.

#include "controls/ui/page_tab_ctrl.h"
#include "platform/pages/dzjy_tabs_iface.h"
#include "platform/ui/page.h"
#include "views/ui/dzjy_list_dlg.h"
#include "views/ui/dzjy_rank_dlg.h"

class CDzjyDlg : public CPage, public IDzjyTabs {
  Q_OBJECT

 public:
  enum { IDD = 242 };
  static constexpr int kTabControlId = 1135;

  explicit CDzjyDlg(QWidget* parent = nullptr);
  ~CDzjyDlg() override;
  BOOL OnInitDialog() override;

  // IDzjyTabs
  int SetCurSel(int index) override { return m_ctrlTab.SetCurSel(index); }
  int GetCurSel() const override { return m_ctrlTab.GetCurSel(); }

  CPageTabCtrl m_ctrlTab;
  // Pages in construction order; destroyed in reverse.
  CDzjyListDlg m_dlgList;
  CDzjyRankDlg m_dlgRank;
};
