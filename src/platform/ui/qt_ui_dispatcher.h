#pragma once
// The UI dispatcher of the running program: calls from other threads are queued to
// the application object and run by its event loop; a caller that waits blocks until
// its call ran. On the UI thread a waiting call runs at once (a queued one is still
// queued). BeginShutdown() drops every call not yet started and releases every
// waiting caller at once, so closing never hangs on a worker.

#include <QPointer>
#include <QThread>

#include "platform/page_registry.h"

class QtUiDispatcher final : public IUiDispatcher {
 public:
  // Needs the application object; its thread is the UI thread.
  QtUiDispatcher();
  // Shuts down: calls still queued do nothing when they arrive.
  ~QtUiDispatcher() override;

  bool IsUiThread() const override;
  bool RunOnUi(std::function<void()> fn, bool wait) override;
  void BeginShutdown() override;
  bool IsShuttingDown() const { return gate_.IsShutDown(); }

 private:
  QPointer<QThread> uiThread_;
  UiCallGate gate_;
};
