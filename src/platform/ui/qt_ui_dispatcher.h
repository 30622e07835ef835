#pragma once
// The UI dispatcher of the running program: calls from other threads wait in the
// dispatcher's own queue, guarded by its own mutex, and the event loop runs them in
// the order they came. All that goes through Qt's event queue is a wake-up event
// that carries nothing, so the thread sanitizer sees every hand-off through our
// mutex. A caller that waits blocks until its call ran. On the UI thread a waiting
// call runs at once (a queued one is still queued). BeginShutdown() drops every
// call not yet started and releases every waiting caller at once, so closing never
// hangs on a worker.

#include <QPointer>
#include <QThread>

#include <deque>
#include <memory>
#include <mutex>

#include "platform/page_registry.h"

class QtUiDispatcher final : public IUiDispatcher {
 public:
  // Needs the application object; its thread is the UI thread. Build it there.
  QtUiDispatcher();
  // Shuts down: calls still queued never run.
  ~QtUiDispatcher() override;
  QtUiDispatcher(const QtUiDispatcher&) = delete;
  QtUiDispatcher& operator=(const QtUiDispatcher&) = delete;

  bool IsUiThread() const override;
  bool RunOnUi(std::function<void()> fn, bool wait) override;
  void BeginShutdown() override;
  bool IsShuttingDown() const { return gate_.IsShutDown(); }

 private:
  class Waker;
  // On the UI thread: runs the calls that were queued when the wake-up came.
  void Drain();

  QPointer<QThread> uiThread_;
  UiCallGate gate_;
  std::mutex mutex_;
  std::deque<std::shared_ptr<UiCallGate::Call>> queue_;  // guarded by mutex_
  bool wakePending_ = false;                              // guarded by mutex_
  bool closed_ = false;                                   // guarded by mutex_
  std::unique_ptr<Waker> waker_;                          // lives on the UI thread
};
