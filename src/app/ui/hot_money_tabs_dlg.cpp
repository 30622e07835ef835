#include "app/ui/hot_money_tabs_dlg.h"

#include <QVBoxLayout>

#include "controls/ui/page_widgets.h"

CHotMoneyTabsDlg::CHotMoneyTabsDlg(QWidget* parent) : CPage(parent), m_ctrlTab(this) {
  SetPageDialogId(*this, IDD);
  SetDlgCtrlID(&m_ctrlTab, kTabControlId);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(&m_ctrlTab);
}

BOOL CHotMoneyTabsDlg::OnInitDialog() {
  m_ctrlTab.AddPage("买卖排行榜", &m_dlgTopBranch, CTopBranchDlg::IDD);
  m_ctrlTab.AddPage("游资持续买入", &m_dlgSustainedBuy, CSustainedBuyDlg::IDD);
  m_ctrlTab.AddPage("机构买入排行榜", &m_dlgInstitution, CInstitutionDlg::IDD);
  m_ctrlTab.Show();
  return TRUE;
}
