#include "views/ui/stock_score_dlg.h"

#include "controls/ui/pending_page.h"

CStockScoreDlg::CStockScoreDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
