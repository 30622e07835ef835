#include "views/ui/dzjy_dlg.h"

#include <QVBoxLayout>

#include "controls/ui/page_widgets.h"
#include "platform/page_registry.h"

CDzjyDlg::CDzjyDlg(QWidget* parent) : CPage(parent), m_ctrlTab(this) {
  SetPageDialogId(*this, IDD);
  SetDlgCtrlID(&m_ctrlTab, kTabControlId);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(&m_ctrlTab);
}

CDzjyDlg::~CDzjyDlg() {
  PageRegistry& registry = PageRegistry::Instance();
  if (registry.Get<IDzjyTabs>(PageSlot::DzjyTabCtrl) == this) registry.Unpublish(PageSlot::DzjyTabCtrl);
}

BOOL CDzjyDlg::OnInitDialog() {
  m_ctrlTab.AddPage("上榜明细", &m_dlgList, CDzjyListDlg::IDD);
  m_ctrlTab.AddPage("买卖排行榜", &m_dlgRank, CDzjyRankDlg::IDD);
  m_ctrlTab.SetCurSel(0);
  m_ctrlTab.Show();
  PageRegistry::Instance().Publish<IDzjyTabs>(PageSlot::DzjyTabCtrl, this);
  return TRUE;
}
