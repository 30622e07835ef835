#include "charting/ui/setting_dlg.h"

#include "controls/ui/pending_page.h"

CSettingDlg::CSettingDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
