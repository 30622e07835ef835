#pragma once
// A UI dispatcher for logic tests: the thread that builds it is the UI thread, calls
// from other threads are queued, and the test runs them by draining the queue. A
// caller that waits is released when its call ran, when shutdown begins, or when its
// bound ran out (the call is then dropped, never run late). On the UI thread a
// waiting call runs at once, as the program's dispatcher does.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/page_registry.h"

class QueuedUiDispatcher final : public IUiDispatcher {
 public:
  explicit QueuedUiDispatcher(std::chrono::milliseconds waitBound = std::chrono::seconds(10))
      : uiThread_(std::this_thread::get_id()), waitBound_(waitBound) {}
  ~QueuedUiDispatcher() override { BeginShutdown(); }

  bool IsUiThread() const override { return std::this_thread::get_id() == uiThread_; }

  bool RunOnUi(std::function<void()> fn, bool wait) override {
    if (wait && IsUiThread()) {
      {
        std::lock_guard lock(mutex_);
        if (shutdown_) return false;
      }
      if (fn) fn();
      return true;
    }
    auto call = std::make_shared<Call>();
    call->fn = std::move(fn);
    std::unique_lock lock(mutex_);
    if (shutdown_) return false;
    queue_.push_back(call);
    queued_.notify_all();
    if (!wait) return true;
    changed_.wait_for(lock, waitBound_, [&] { return call->state != Call::Pending || shutdown_; });
    if (call->state == Call::Pending) {
      call->state = Call::Dropped;  // the waiter gave up: never run it later
      return false;
    }
    // A call that has started is waited for to its end (it runs on the UI thread).
    changed_.wait(lock, [&] { return call->state != Call::Running; });
    return call->state == Call::Done;
  }

  void BeginShutdown() override {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    for (const auto& call : queue_) {
      if (call->state == Call::Pending) call->state = Call::Dropped;
    }
    queue_.clear();
    changed_.notify_all();
    queued_.notify_all();
  }

  // Runs every queued call, including those queued meanwhile, on the calling thread
  // (the UI thread), or the first `most` of them. Returns how many ran.
  int Drain(int most = std::numeric_limits<int>::max()) {
    int ran = 0;
    while (ran < most) {
      std::shared_ptr<Call> call;
      {
        std::lock_guard lock(mutex_);
        while (!queue_.empty() && !call) {
          call = std::move(queue_.front());
          queue_.pop_front();
          if (call->state != Call::Pending) call.reset();
        }
        if (!call) return ran;
        call->state = Call::Running;
      }
      std::function<void()> fn = std::move(call->fn);
      if (fn) fn();
      fn = nullptr;
      ++ran;
      std::lock_guard lock(mutex_);
      call->state = Call::Done;
      changed_.notify_all();
    }
    return ran;
  }

  // Drains until `done()` holds, waiting for further calls in between; false when
  // `bound` ran out first.
  bool DrainUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
      Drain();
      if (done()) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::unique_lock lock(mutex_);
      // Short slices: `done()` may also watch state that no queued call changes.
      queued_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !queue_.empty() || shutdown_; });
    }
  }

  int Pending() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(queue_.size());
  }

 private:
  struct Call {
    enum State { Pending, Running, Done, Dropped } state = Pending;  // guarded by mutex_
    std::function<void()> fn;
  };

  const std::thread::id uiThread_;
  const std::chrono::milliseconds waitBound_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;  // a call ran, was dropped, or shutdown began
  std::condition_variable queued_;   // a call was queued
  std::deque<std::shared_ptr<Call>> queue_;
  bool shutdown_ = false;
};
