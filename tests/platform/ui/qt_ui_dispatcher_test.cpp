#include "platform/ui/qt_ui_dispatcher.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "../../support/gui_driver.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_dialogs.h"

using namespace std::chrono_literals;

namespace {

struct IStatusSink {
  virtual ~IStatusSink() = default;
  virtual void ShowLine(const std::string& line) = 0;
};

struct StatusSink : IStatusSink {
  void ShowLine(const std::string& line) override {
    lines.push_back(line);
    onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
  }
  std::vector<std::string> lines;
  bool onGuiThread = false;
};

}  // namespace

TEST(QtUiDispatcher, WaitingCallFromAWorkerRunsOnTheGuiThread) {
  QtUiDispatcher dispatcher;
  EXPECT_TRUE(dispatcher.IsUiThread());
  std::atomic<bool> returned{false};
  std::atomic<bool> ranOnGui{false};
  std::atomic<bool> workerSawUiThread{true};
  bool result = false;
  std::thread worker([&] {
    workerSawUiThread = dispatcher.IsUiThread();
    result = dispatcher.RunOnUi(
        [&] {
          std::this_thread::sleep_for(20ms);
          ranOnGui = QThread::currentThread() == QCoreApplication::instance()->thread();
        },
        true);
    returned = true;
  });
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_TRUE(ranOnGui);
  EXPECT_FALSE(workerSawUiThread);
}

TEST(QtUiDispatcher, OnTheGuiThreadAWaitRunsInlineAndAPostIsQueued) {
  QtUiDispatcher dispatcher;
  int ran = 0;
  EXPECT_TRUE(dispatcher.RunOnUi([&] { ++ran; }, true));
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(dispatcher.RunOnUi([&] { ran += 10; }, false));
  EXPECT_EQ(ran, 1) << "a post waits for the event loop";
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return ran == 11; }));
}

TEST(QtUiDispatcher, ShutdownReleasesAWorkerWhileTheGuiThreadIsBusy) {
  QtUiDispatcher dispatcher;
  std::atomic<bool> started{false};
  std::atomic<bool> returned{false};
  std::atomic<int> ran{0};
  bool result = true;
  std::thread worker([&] {
    started = true;
    result = dispatcher.RunOnUi([&] { ++ran; }, true);
    returned = true;
  });
  // The GUI thread is busy here: it processes no events.
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(returned) << "the worker should be waiting for the GUI thread";
  dispatcher.BeginShutdown();
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!returned && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(returned) << "shutdown did not release the worker";
  worker.join();
  EXPECT_FALSE(result);
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, 0) << "the dropped call must not run when its event arrives";
  EXPECT_FALSE(dispatcher.RunOnUi([&] { ++ran; }, true));
  EXPECT_FALSE(dispatcher.RunOnUi([&] { ++ran; }, false));
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, 0);
  EXPECT_TRUE(dispatcher.IsShuttingDown());
}

// Closing, a worker's question is not shown: it gets its escape answer, never "yes".
TEST(QtUiDispatcher, AWorkersQuestionAfterShutdownIsAnsweredNo) {
  QtUiDispatcher dispatcher;
  PageRegistry::Instance().SetDispatcher(&dispatcher);
  dispatcher.BeginShutdown();
  int answer = 0;
  std::thread([&] { answer = QtDialogBackend().ShowMessageBox("删除吗？", "", MB_YESNO); }).join();
  PageRegistry::Instance().SetDispatcher(nullptr);
  EXPECT_EQ(answer, IDNO);
}

TEST(QtUiDispatcher, QueuedCallArrivingAfterTheDispatcherIsGoneDoesNothing) {
  int ran = 0;
  {
    QtUiDispatcher dispatcher;
    EXPECT_TRUE(dispatcher.RunOnUi([&] { ++ran; }, false));
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, 0);
}

TEST(QtUiDispatcher, RegistrySendFromAWorkerReachesThePageOnTheGuiThread) {
  PageRegistry& registry = PageRegistry::Instance();
  registry.ResetForTests();
  QtUiDispatcher dispatcher;
  registry.SetDispatcher(&dispatcher);
  StatusSink sink;
  registry.Publish<IStatusSink>(PageSlot::StatusBar, &sink);
  std::atomic<int> done{0};
  std::array<bool, 3> results{};  // one byte each: no shared bits between workers
  std::vector<std::thread> workers;
  for (int i = 0; i < 3; ++i) {
    workers.emplace_back([&, i] {
      results[i] = registry.Send<IStatusSink>(PageSlot::StatusBar,
                                              [i](IStatusSink& s) { s.ShowLine("line " + std::to_string(i)); });
      ++done;
    });
  }
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return done == 3; }));
  for (auto& w : workers) w.join();
  EXPECT_EQ(results, (std::array<bool, 3>{true, true, true}));
  EXPECT_EQ(sink.lines.size(), 3u);
  EXPECT_TRUE(sink.onGuiThread);
  registry.BeginShutdown();
  EXPECT_FALSE(registry.Post<IStatusSink>(PageSlot::StatusBar, [](IStatusSink& s) { s.ShowLine("late"); }));
  registry.ResetForTests();
}
