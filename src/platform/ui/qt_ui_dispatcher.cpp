#include "platform/ui/qt_ui_dispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>

QtUiDispatcher::QtUiDispatcher() {
  if (QCoreApplication* app = QCoreApplication::instance()) uiThread_ = app->thread();
}

QtUiDispatcher::~QtUiDispatcher() { gate_.Shutdown(); }

bool QtUiDispatcher::IsUiThread() const {
  return !uiThread_.isNull() && QThread::currentThread() == uiThread_.data();
}

bool QtUiDispatcher::RunOnUi(std::function<void()> fn, bool wait) {
  if (wait && IsUiThread()) {
    // Waiting for our own queue would never end: run it here.
    if (gate_.IsShutDown()) return false;
    fn();
    return true;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || uiThread_.isNull()) return false;
  std::shared_ptr<UiCallGate::Call> call = gate_.Prepare(std::move(fn));
  if (!call) return false;
  // The task holds only the call: it stays harmless if it arrives after the
  // dispatcher is gone.
  const bool queued = QMetaObject::invokeMethod(app, [call] { UiCallGate::Run(call); }, Qt::QueuedConnection);
  if (!queued) return false;
  return wait ? gate_.Wait(call) : true;
}

void QtUiDispatcher::BeginShutdown() { gate_.Shutdown(); }
