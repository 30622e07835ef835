#include "platform/ui/page.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <deque>

namespace {

constexpr int kMinimumTimerPeriodMs = 10;

// Sees every key press of the application before its receiver does, and swallows
// Enter and Escape aimed at anything inside a page of the same window. A key press
// travels from the focused control up through its parents to the dialog, so the
// page's own keyPressEvent alone would come too late for a focused button.
class PageKeyFilter final : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    if (!IsPageSwallowedKey(static_cast<QKeyEvent*>(event)->key())) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
      if (qobject_cast<CPage*>(w) != nullptr) {
        event->accept();
        return true;
      }
      if (w->isWindow()) break;  // a popup or another window is not the page's
    }
    return false;
  }
};

void EnsureKeyFilterInstalled() {
  QCoreApplication* app = QCoreApplication::instance();
  static PageKeyFilter filter;
  static QPointer<QCoreApplication> installedOn;
  if (app == nullptr || installedOn == app) return;
  app->installEventFilter(&filter);
  installedOn = app;
}

}  // namespace

bool IsPageSwallowedKey(int qtKey) {
  return qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter || qtKey == Qt::Key_Escape;
}

bool IsPageSwallowedKeyPress(const QWidget* page, const QObject* watched, const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  if (!IsPageSwallowedKey(static_cast<const QKeyEvent*>(event)->key())) return false;
  const auto* widget = qobject_cast<const QWidget*>(watched);
  return widget != nullptr && widget->window() == page->window();
}

CPage::CPage(QWidget* parent) : QWidget(parent) { EnsureKeyFilterInstalled(); }

CPage::~CPage() = default;

void CPage::SetDlgCtrlID(QWidget* control, int id) {
  if (control == nullptr) return;
  control->setProperty("ctrlId", id);
  control->setObjectName(QStringLiteral("ctrl%1").arg(id));
}

int CPage::GetDlgCtrlID(const QWidget* control) {
  if (control == nullptr) return 0;
  const QVariant id = control->property("ctrlId");
  return id.isValid() ? id.toInt() : 0;
}

QWidget* CPage::GetDlgItem(int id) const {
  // Breadth first, so a control near the page wins; a nested page is a control of
  // this page, but its own controls are not.
  std::deque<const QWidget*> pending{this};
  while (!pending.empty()) {
    const QWidget* parent = pending.front();
    pending.pop_front();
    for (QObject* child : parent->children()) {
      auto* widget = qobject_cast<QWidget*>(child);
      if (widget == nullptr) continue;
      if (GetDlgCtrlID(widget) == id) return widget;
      if (qobject_cast<CPage*>(widget) == nullptr) pending.push_back(widget);
    }
  }
  return nullptr;
}

BOOL CPage::InitDialog() {
  if (initialised_) return TRUE;
  initialised_ = true;
  return OnInitDialog();
}

UINT CPage::SetTimer(UINT id, int periodMs) {
  std::unique_ptr<QTimer>& timer = timers_[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer.get(), &QTimer::timeout, this, [this, id] { OnTimer(id); });
  }
  timer->start(std::max(periodMs, kMinimumTimerPeriodMs));  // restarts a running timer
  return id;
}

bool CPage::KillTimer(UINT id) {
  const auto it = timers_.find(id);
  if (it == timers_.end() || !it->second->isActive()) return false;
  // Stopped, not destroyed: KillTimer may be called from that timer's own OnTimer.
  it->second->stop();
  return true;
}

int CPage::TimerInterval(UINT id) const {
  const auto it = timers_.find(id);
  if (it == timers_.end() || !it->second->isActive()) return -1;
  return it->second->interval();
}

void CPage::keyPressEvent(QKeyEvent* event) {
  if (IsPageSwallowedKey(event->key())) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}
