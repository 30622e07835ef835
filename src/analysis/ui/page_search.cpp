#include "analysis/ui/page_search.h"

#include <QApplication>

#include "platform/pages/main_window_iface.h"
#include "platform/page_registry.h"

namespace {

void SetStatusPane(const std::string& text) {
  if (auto* bar = PageRegistry::Instance().Get<IStatusBar>(PageSlot::StatusBar)) bar->SetPaneText(1, text);
}

}  // namespace

PageSearch::~PageSearch() { End(); }

void PageSearch::Begin(bool paneTold) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  busyShown_ = true;
  paneShown_ = !paneTold;
  if (paneShown_) SetStatusPane(kSearchRunningText);
}

void PageSearch::TellRefused(const std::string& text) {
  SetStatusPane(text);
  paneShown_ = busyShown_;
}

void PageSearch::End() {
  if (!busyShown_) return;
  busyShown_ = false;
  if (QCoreApplication::instance() != nullptr) QApplication::restoreOverrideCursor();
  if (paneShown_ && !PageRegistry::Instance().IsClosing()) SetStatusPane(kWorkingPaneText);
  paneShown_ = false;
}

void PageSearch::Fail(const std::function<void()>& failed) {
  End();
  if (failed) failed();
  if (!PageRegistry::Instance().IsClosing()) SetStatusPane(kSearchFailedText);
}

void StatusPaneNotice::Show(const std::string& text) {
  noticeShown_ = false;
  SetStatusPane(text);
}

void StatusPaneNotice::ShowNotice(const std::string& text) {
  SetStatusPane(text);
  noticeShown_ = true;
}

void StatusPaneNotice::ResultShown() {
  if (noticeShown_) Show(kWorkingPaneText);
}
