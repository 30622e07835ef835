#include "app/ui/track_tabs_dlg.h"

#include <QVBoxLayout>

#include "controls/ui/page_widgets.h"

CTrackTabsDlg::CTrackTabsDlg(QWidget* parent) : CPage(parent), m_ctrlTab(this) {
  SetPageDialogId(*this, IDD);
  SetDlgCtrlID(&m_ctrlTab, kTabControlId);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(&m_ctrlTab);
}

BOOL CTrackTabsDlg::OnInitDialog() {
  m_ctrlTab.AddPage("小牛追踪", &m_dlgWebPage, CWebPageDlg::IDD);
  m_ctrlTab.AddPage("上榜明细", &m_dlgDataDisplay, CDataDisplayDlg::IDD);
  m_ctrlTab.AddPage("席位解密", &m_dlgStockScore, CStockScoreDlg::IDD);
  m_ctrlTab.AddPage("个股活跃榜", &m_dlgStockActive, CStockActiveDlg::IDD);
  m_ctrlTab.SetCurSel(0);
  m_ctrlTab.Show();
  return TRUE;
}
