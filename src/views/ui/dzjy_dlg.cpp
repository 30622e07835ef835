#include "views/ui/dzjy_dlg.h"

#include "controls/ui/pending_page.h"

CDzjyDlg::CDzjyDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
