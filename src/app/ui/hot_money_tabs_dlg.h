#pragma once
// The "敢死队排行榜" host: a tab control over the branch ranking, continuous-buying
// and institution pages. It also holds the seat success-rate page, which gets no tab.

#include "analysis/ui/institution_dlg.h"
#include "analysis/ui/seat_rate_dlg.h"
#include "analysis/ui/sustained_buy_dlg.h"
#include "analysis/ui/top_branch_dlg.h"
#include "controls/ui/page_tab_ctrl.h"
#include "platform/ui/page.h"

class CHotMoneyTabsDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 229 };
  static constexpr int kTabControlId = 1000;

  explicit CHotMoneyTabsDlg(QWidget* parent = nullptr);
  BOOL OnInitDialog() override;

  CPageTabCtrl m_ctrlTab;
  // Pages in construction order; destroyed in reverse.
  CTopBranchDlg m_dlgTopBranch;
  CSustainedBuyDlg m_dlgSustainedBuy;
  CInstitutionDlg m_dlgInstitution;
  CSeatRateDlg m_dlgSeatRate;
};
