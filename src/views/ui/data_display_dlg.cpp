#include "views/ui/data_display_dlg.h"

#include "controls/ui/pending_page.h"

CDataDisplayDlg::CDataDisplayDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
