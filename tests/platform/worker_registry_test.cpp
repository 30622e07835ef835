#include "platform/worker_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds bound = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

}  // namespace

TEST(WorkerRegistry, OneWorkerPerNameAndANewOneAfterItEnded) {
  WorkerRegistry registry;
  std::atomic<bool> release{false};
  std::atomic<int> runs{0};
  auto job = [&](std::stop_token) {
    ++runs;
    while (!release) std::this_thread::sleep_for(1ms);
  };
  EXPECT_EQ(registry.Start("scan", job), WorkerRegistry::StartResult::Started);
  EXPECT_TRUE(registry.IsRunning("scan"));
  EXPECT_EQ(registry.Start("scan", job), WorkerRegistry::StartResult::AlreadyRunning);
  EXPECT_EQ(registry.Start("other", [](std::stop_token) {}), WorkerRegistry::StartResult::Started);
  release = true;
  ASSERT_TRUE(WaitFor([&] { return !registry.IsRunning("scan"); }));
  EXPECT_EQ(registry.Start("scan", job), WorkerRegistry::StartResult::Started);
  ASSERT_TRUE(registry.JoinAll(5s));
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(registry.RunningCount(), 0);
}

TEST(WorkerRegistry, OneWorkerCanBeStoppedAndAwaitedAlone) {
  WorkerRegistry registry;
  std::atomic<bool> release{false};
  registry.Start("other", [&](std::stop_token) {
    while (!release) std::this_thread::sleep_for(1ms);
  });
  registry.Start("loop", [](std::stop_token token) {
    while (!token.stop_requested()) std::this_thread::sleep_for(1ms);
  });
  EXPECT_FALSE(registry.WaitFor("loop", 30ms));
  registry.RequestStop("loop");
  EXPECT_TRUE(registry.WaitFor("loop", 5s));
  EXPECT_FALSE(registry.IsRunning("loop"));
  EXPECT_TRUE(registry.IsRunning("other"));  // untouched
  EXPECT_TRUE(registry.WaitFor("never-started", 0ms));
  release = true;
  EXPECT_TRUE(registry.JoinAll(5s));
}

TEST(WorkerRegistry, StopRequestReachesTheWorkerAndJoinWaitsForIt) {
  WorkerRegistry registry;
  std::atomic<bool> sawStop{false};
  ASSERT_EQ(registry.Start("loop",
                           [&](std::stop_token token) {
                             while (!token.stop_requested()) std::this_thread::sleep_for(1ms);
                             std::this_thread::sleep_for(20ms);  // finishing its last step
                             sawStop = true;
                           }),
            WorkerRegistry::StartResult::Started);
  registry.RequestStopAll();
  EXPECT_TRUE(registry.JoinAll(5s));
  EXPECT_TRUE(sawStop);  // JoinAll returned only after the worker's last line
  EXPECT_EQ(registry.Start("late", [](std::stop_token) {}), WorkerRegistry::StartResult::Closing);
  registry.Restart();
  EXPECT_EQ(registry.Start("late", [](std::stop_token) {}), WorkerRegistry::StartResult::Started);
  EXPECT_TRUE(registry.JoinAll(5s));
}

TEST(WorkerRegistry, AWorkerIgnoringItsStopIsLetGoAfterTheBound) {
  WorkerRegistry& registry = WorkerRegistry::Instance();
  registry.Restart();
  std::atomic<bool> release{false};
  std::atomic<bool> ended{false};
  ASSERT_EQ(registry.Start("stubborn",
                           [&](std::stop_token) {
                             while (!release) std::this_thread::sleep_for(1ms);
                             ended = true;
                           }),
            WorkerRegistry::StartResult::Started);
  registry.RequestStopAll();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(registry.JoinAll(200ms));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 190ms);
  EXPECT_LT(waited, 2s);
  EXPECT_EQ(registry.RunningCount(), 0);  // no longer held
  release = true;                         // let the thread end before the test does
  ASSERT_TRUE(WaitFor([&] { return ended.load(); }));
  registry.Restart();
}
