#include "analysis/ui/stock_active_dlg.h"

#include "controls/ui/pending_page.h"

CStockActiveDlg::CStockActiveDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
