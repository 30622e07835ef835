#include "acquisition/ui/download_data_dlg.h"

#include "controls/ui/pending_page.h"

CDownloadDataDlg::CDownloadDataDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
