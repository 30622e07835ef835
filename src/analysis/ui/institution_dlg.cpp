#include "analysis/ui/institution_dlg.h"

#include "controls/ui/pending_page.h"

CInstitutionDlg::CInstitutionDlg(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
