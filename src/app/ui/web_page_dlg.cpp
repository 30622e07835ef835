#include "app/ui/web_page_dlg.h"

#include "controls/ui/pending_page.h"

CWebPageDlg::CWebPageDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
