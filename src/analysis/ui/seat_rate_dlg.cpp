#include "analysis/ui/seat_rate_dlg.h"

#include "controls/ui/page_widgets.h"

// No content and no window of its own: the ranking host only holds it.
CSeatRateDlg::CSeatRateDlg(QWidget* parent) : CPage(parent) { SetPageDialogId(*this, IDD); }
