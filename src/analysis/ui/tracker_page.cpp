#include "analysis/ui/tracker_page.h"

#include "controls/ui/pending_page.h"

CTrackerPage::CTrackerPage(QWidget* parent) : CPage(parent) { MarkPendingPage(*this, IDD); }
