#include "platform/page_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A UI thread of the test's own: a loop thread that runs queued tasks in order.
class LoopDispatcher final : public IUiDispatcher {
 public:
  LoopDispatcher() : thread_([this] { Loop(); }) {}
  ~LoopDispatcher() override {
    BeginShutdown();
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  bool IsUiThread() const override { return std::this_thread::get_id() == thread_.get_id(); }

  bool RunOnUi(std::function<void()> fn, bool wait) override {
    if (wait && IsUiThread()) {
      if (gate_.IsShutDown()) return false;
      fn();
      return true;
    }
    auto call = gate_.Prepare(std::move(fn));
    if (!call) return false;
    {
      std::lock_guard lock(mutex_);
      queue_.push_back([call] { UiCallGate::Run(call); });
    }
    wake_.notify_all();
    return wait ? gate_.Wait(call) : true;
  }

  void BeginShutdown() override { gate_.Shutdown(); }

  std::thread::id UiThreadId() const { return thread_.get_id(); }

  // Runs fn on the loop thread without going through the gate (the test's own work).
  void Enqueue(std::function<void()> fn) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(fn));
    }
    wake_.notify_all();
  }

  // Waits until everything queued so far has run.
  void Drain() {
    std::promise<void> done;
    Enqueue([&] { done.set_value(); });
    done.get_future().wait();
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      auto task = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }

  UiCallGate gate_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool stop_ = false;
  std::thread thread_;  // last: starts after the members it uses
};

struct ITrackerPage {
  virtual ~ITrackerPage() = default;
  virtual void SearchBranch(const std::string& name) = 0;
};

struct FakeTracker : ITrackerPage {
  void SearchBranch(const std::string& name) override {
    searched = name;
    thread = std::this_thread::get_id();
    ++calls;
  }
  std::string searched;
  std::thread::id thread;
  std::atomic<int> calls{0};
};

struct IStatusBar {
  virtual ~IStatusBar() = default;
};

class PageRegistryTest : public testing::Test {
 protected:
  void SetUp() override { registry.ResetForTests(); }
  void TearDown() override {
    registry.BeginShutdown();
    dispatcher.Drain();
    registry.ResetForTests();
  }

  PageRegistry& registry = PageRegistry::Instance();
  LoopDispatcher dispatcher;
  FakeTracker tracker;
};

}  // namespace

TEST_F(PageRegistryTest, PublishedPageIsFoundByItsInterface) {
  EXPECT_FALSE(registry.IsPublished(PageSlot::Tracker));
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  EXPECT_TRUE(registry.IsPublished(PageSlot::Tracker));
  EXPECT_EQ(registry.Get<ITrackerPage>(PageSlot::Tracker), &tracker);
  EXPECT_EQ(registry.Get<IStatusBar>(PageSlot::Tracker), nullptr) << "another type is not handed out";
  EXPECT_EQ(registry.Get<ITrackerPage>(PageSlot::DataDisplay), nullptr);
  registry.Unpublish(PageSlot::Tracker);
  EXPECT_EQ(registry.Get<ITrackerPage>(PageSlot::Tracker), nullptr);
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  registry.Publish<ITrackerPage>(PageSlot::Tracker, nullptr);
  EXPECT_FALSE(registry.IsPublished(PageSlot::Tracker));
}

TEST_F(PageRegistryTest, SendFromAWorkerRunsOnTheUiThreadAndReturnsAfterIt) {
  registry.SetDispatcher(&dispatcher);
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  std::atomic<bool> finished{false};
  bool sent = false;
  bool finishedWhenSendReturned = false;
  std::thread worker([&] {
    sent = registry.Send<ITrackerPage>(PageSlot::Tracker, [&](ITrackerPage& page) {
      std::this_thread::sleep_for(50ms);
      page.SearchBranch("国泰君安上海江苏路");
      finished = true;
    });
    finishedWhenSendReturned = finished;
  });
  worker.join();
  EXPECT_TRUE(sent);
  EXPECT_TRUE(finishedWhenSendReturned);
  EXPECT_EQ(tracker.searched, "国泰君安上海江苏路");
  EXPECT_EQ(tracker.thread, dispatcher.UiThreadId());
}

TEST_F(PageRegistryTest, SendOnTheUiThreadRunsInline) {
  registry.SetDispatcher(&dispatcher);
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  std::promise<bool> result;
  dispatcher.Enqueue([&] {
    result.set_value(registry.Send<ITrackerPage>(PageSlot::Tracker, [](ITrackerPage& p) { p.SearchBranch("x"); }));
  });
  auto future = result.get_future();
  ASSERT_EQ(future.wait_for(5s), std::future_status::ready) << "a send from the UI thread deadlocked";
  EXPECT_TRUE(future.get());
  EXPECT_EQ(tracker.calls, 1);
}

TEST_F(PageRegistryTest, EmptySlotWrongTypeOrNoDispatcherRunNothing) {
  InlineUiDispatcher inlineDispatcher;
  int ran = 0;
  EXPECT_FALSE(registry.Send<ITrackerPage>(PageSlot::Tracker, [&](ITrackerPage&) { ++ran; }))
      << "no dispatcher yet";
  registry.SetDispatcher(&inlineDispatcher);
  EXPECT_FALSE(registry.Send<ITrackerPage>(PageSlot::Tracker, [&](ITrackerPage&) { ++ran; }));
  EXPECT_FALSE(registry.Post<ITrackerPage>(PageSlot::Tracker, [&](ITrackerPage&) { ++ran; }));
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  EXPECT_FALSE(registry.Send<IStatusBar>(PageSlot::Tracker, [&](IStatusBar&) { ++ran; }));
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(inlineDispatcher.RunCount(), 0) << "nothing reached the dispatcher";
  registry.SetDispatcher(&dispatcher);
}

TEST_F(PageRegistryTest, PostQueuesAndRunsLaterOnTheUiThread) {
  registry.SetDispatcher(&dispatcher);
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  dispatcher.Enqueue([released] { released.wait(); });  // the UI thread is busy
  EXPECT_TRUE(registry.Post<ITrackerPage>(PageSlot::Tracker, [](ITrackerPage& p) { p.SearchBranch("posted"); }));
  EXPECT_EQ(tracker.calls, 0) << "a post does not wait";
  release.set_value();
  dispatcher.Drain();
  EXPECT_EQ(tracker.calls, 1);
  EXPECT_EQ(tracker.thread, dispatcher.UiThreadId());
}

TEST_F(PageRegistryTest, PageThatLeftItsSlotBeforeTheCallRanIsNotCalled) {
  registry.SetDispatcher(&dispatcher);
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  dispatcher.Enqueue([released] { released.wait(); });
  EXPECT_TRUE(registry.Post<ITrackerPage>(PageSlot::Tracker, [](ITrackerPage& p) { p.SearchBranch("late"); }));
  std::future<bool> sent = std::async(std::launch::async, [&] {
    return registry.Send<ITrackerPage>(PageSlot::Tracker, [](ITrackerPage& p) { p.SearchBranch("late"); });
  });
  std::this_thread::sleep_for(20ms);
  registry.Unpublish(PageSlot::Tracker);  // the page closes first
  release.set_value();
  EXPECT_FALSE(sent.get()) << "the send found no page when it came to run";
  dispatcher.Drain();
  EXPECT_EQ(tracker.calls, 0);
}

TEST_F(PageRegistryTest, BeginShutdownReleasesASenderWhileTheUiThreadIsBusy) {
  registry.SetDispatcher(&dispatcher);
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  dispatcher.Enqueue([released] { released.wait(); });

  std::future<bool> sent = std::async(std::launch::async, [&] {
    return registry.Send<ITrackerPage>(PageSlot::Tracker, [](ITrackerPage& p) { p.SearchBranch("never"); });
  });
  EXPECT_EQ(sent.wait_for(50ms), std::future_status::timeout) << "the sender should be waiting";
  registry.BeginShutdown();
  ASSERT_EQ(sent.wait_for(5s), std::future_status::ready) << "shutdown did not release the sender";
  EXPECT_FALSE(sent.get());
  EXPECT_TRUE(registry.IsClosing());

  release.set_value();
  dispatcher.Drain();
  EXPECT_EQ(tracker.calls, 0) << "a dropped call must not run later";
  EXPECT_FALSE(registry.Send<ITrackerPage>(PageSlot::Tracker, [](ITrackerPage& p) { p.SearchBranch("x"); }));
  EXPECT_FALSE(registry.Post<ITrackerPage>(PageSlot::Tracker, [](ITrackerPage& p) { p.SearchBranch("x"); }));
  dispatcher.Drain();
  EXPECT_EQ(tracker.calls, 0);
}

TEST_F(PageRegistryTest, ManyWorkersSendConcurrently) {
  registry.SetDispatcher(&dispatcher);
  registry.Publish<ITrackerPage>(PageSlot::Tracker, &tracker);
  int onUiThread = 0;  // touched on the UI thread only
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(registry.Send<ITrackerPage>(PageSlot::Tracker, [&](ITrackerPage&) {
          if (dispatcher.IsUiThread()) ++onUiThread;
        }));
      }
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_EQ(onUiThread, 400);
}

TEST(UiCallGate, RunningCallIsWaitedForEvenAcrossShutdown) {
  UiCallGate gate;
  std::promise<void> started;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  auto call = gate.Prepare([&] {
    started.set_value();
    released.wait();
  });
  ASSERT_TRUE(call);
  std::thread ui([call] { UiCallGate::Run(call); });
  started.get_future().wait();
  std::future<bool> waited = std::async(std::launch::async, [&] { return gate.Wait(call); });
  gate.Shutdown();
  EXPECT_EQ(waited.wait_for(50ms), std::future_status::timeout) << "released before the running call ended";
  release.set_value();
  EXPECT_TRUE(waited.get());
  ui.join();
  EXPECT_EQ(gate.Prepare([] {}), nullptr) << "nothing is prepared after shutdown";
}

TEST(UiCallGate, PendingCallIsDroppedAndOutlivesTheGate) {
  int ran = 0;
  std::shared_ptr<UiCallGate::Call> call;
  {
    UiCallGate gate;
    call = gate.Prepare([&] { ++ran; });
    gate.Shutdown();
    EXPECT_FALSE(gate.Wait(call));
  }
  UiCallGate::Run(call);  // the queued task arrives after the gate is gone
  EXPECT_EQ(ran, 0);
  UiCallGate::Run(nullptr);
}

TEST(UiCallGate, CallRunsOnceAndWaitSeesIt) {
  UiCallGate gate;
  int ran = 0;
  auto call = gate.Prepare([&] { ++ran; });
  UiCallGate::Run(call);
  UiCallGate::Run(call);
  EXPECT_TRUE(gate.Wait(call));
  EXPECT_EQ(ran, 1);
}

TEST(InlineUiDispatcher, RecordsTheCallingThreads) {
  InlineUiDispatcher dispatcher;
  EXPECT_TRUE(dispatcher.IsUiThread());
  int ran = 0;
  EXPECT_TRUE(dispatcher.RunOnUi([&] { ++ran; }, true));
  std::thread::id workerId;
  std::thread worker([&] {
    workerId = std::this_thread::get_id();
    EXPECT_FALSE(dispatcher.IsUiThread());
    EXPECT_TRUE(dispatcher.RunOnUi([&] { ++ran; }, false));
  });
  worker.join();
  const auto threads = dispatcher.CallingThreads();
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads[0], std::this_thread::get_id());
  EXPECT_EQ(threads[1], workerId);
  dispatcher.BeginShutdown();
  EXPECT_FALSE(dispatcher.RunOnUi([&] { ++ran; }, true));
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(dispatcher.RunCount(), 2);
}
