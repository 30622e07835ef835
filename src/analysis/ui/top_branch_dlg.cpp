#include "analysis/ui/top_branch_dlg.h"

#include "controls/ui/pending_page.h"

CTopBranchDlg::CTopBranchDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
