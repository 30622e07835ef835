#pragma once
// The "今日Velkor" host: a tab control over the web page, the daily list, the stock
// scoring and the stock activity pages.

#include "analysis/ui/stock_active_dlg.h"
#include "app/ui/web_page_dlg.h"
#include "controls/ui/page_tab_ctrl.h"
#include "platform/ui/page.h"
#include "views/ui/data_display_dlg.h"
#include "views/ui/stock_score_dlg.h"

class CTrackTabsDlg : public CPage {
  Q_OBJECT

 public:
  enum { IDD = 240 };
  static constexpr int kTabControlId = 1133;

  explicit CTrackTabsDlg(QWidget* parent = nullptr);
  BOOL OnInitDialog() override;

  CPageTabCtrl m_ctrlTab;
  // Pages in construction order; destroyed in reverse.
  CDataDisplayDlg m_dlgDataDisplay;
  CStockScoreDlg m_dlgStockScore;
  CStockActiveDlg m_dlgStockActive;
  CWebPageDlg m_dlgWebPage;
};
