#include "platform/worker_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

#include "platform/side_by_side.h"

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

TEST(WorkerRegistry, AStandingWorkerIsJoinedOnlyOnceStoppingHasBegun) {
  WorkerRegistry registry;
  ASSERT_EQ(registry.StartStanding("reader", [](std::stop_token token) {
    while (!token.stop_requested()) std::this_thread::sleep_for(1ms);
  }), WorkerRegistry::StartResult::Started);
  EXPECT_EQ(registry.RunningCount(), 0);
  EXPECT_TRUE(registry.JoinAll(50ms));  // not waited for, not let go
  EXPECT_TRUE(registry.IsRunning("reader"));
  registry.RequestStopAll();
  EXPECT_TRUE(registry.JoinAll(5s));
  EXPECT_FALSE(registry.IsRunning("reader"));
}

// The parts of RunSideBySide, on the program's readers.

TEST(SideBySide, MorePartsThanReadersAllRunButNeverMoreThanTheLimitAtOnce) {
  std::atomic<int> running{0}, most{0}, ran{0};
  RunSideBySide(3 * kMaxSideBySide + 1, [&](unsigned) {
    const int now = ++running;
    int seen = most;
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(5ms);
    --running;
    ++ran;
  });
  EXPECT_EQ(ran, static_cast<int>(3 * kMaxSideBySide + 1));
  EXPECT_LE(most, static_cast<int>(kMaxSideBySide));
  EXPECT_GT(most, 1);
}

TEST(SideBySide, APartsExceptionReachesTheCallerAndThePartsNotBegunAreLeftOut) {
  std::atomic<int> ran{0};
  side_by_side_testing::SetBeforePart([](unsigned part) {
    if (part == 1) throw std::bad_alloc();
  });
  constexpr unsigned kParts = 40;
  EXPECT_THROW(RunSideBySide(kParts,
                             [&](unsigned) {
                               std::this_thread::sleep_for(10ms);
                               ++ran;
                             }),
               std::bad_alloc);
  side_by_side_testing::SetBeforePart({});
  EXPECT_LT(ran, static_cast<int>(kParts) - 1);
  // The readers are still there for the next call.
  RunSideBySide(2, [&](unsigned) { ++ran; });
}

TEST(SideBySide, WithoutAReaderThreadTheCallerRunsEveryPart) {
  side_by_side_testing::StopReaders();
  side_by_side_testing::RefuseReaderStarts(static_cast<int>(kMaxSideBySide));
  std::vector<std::thread::id> ranOn(6);
  RunSideBySide(6, [&](unsigned k) { ranOn[k] = std::this_thread::get_id(); });
  side_by_side_testing::RefuseReaderStarts(0);
  EXPECT_EQ(side_by_side_testing::ReadersRunning(), 0u);
  for (const std::thread::id id : ranOn) EXPECT_EQ(id, std::this_thread::get_id());
}
