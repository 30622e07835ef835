#include "analysis/ui/sustained_buy_dlg.h"

#include "controls/ui/pending_page.h"

CSustainedBuyDlg::CSustainedBuyDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
