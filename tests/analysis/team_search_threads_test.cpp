#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/temp_program_folder.h"
#include "analysis/team_search.h"
#include "platform/message_box.h"
#include "platform/worker_registry.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kA = "中国银河证券股份有限公司绍兴证券营业部";
constexpr const char* kB = "光大证券股份有限公司宁波解放南路证券营业部";
// Wednesday 2024-05-15 and the four weekdays before it.
const std::vector<std::string> kDays = {"2024-05-15", "2024-05-14", "2024-05-13", "2024-05-10", "2024-05-09"};
constexpr int kLinesPerDay = 3;

// Holds the worker at each day's query until the test lets that day through.
class DayLatch {
 public:
  void Attach(CADODataBase& db) {
    db.SetStatementTrace([this](const std::string& sql) {
      if (sql.find("FROM StockInfo WHERE SB_Date") != std::string::npos) Enter();
    });
  }
  void Allow(int days) {
    std::lock_guard lock(mutex_);
    allowed_ += days;
    cv_.notify_all();
  }
  void Open() { Allow(1000); }
  // Waits until `days` day queries have begun.
  bool WaitEntered(int days) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, 10s, [&] { return entered_ >= days; });
  }

 private:
  void Enter() {
    std::unique_lock lock(mutex_);
    ++entered_;
    cv_.notify_all();
    // Bounded, so that a failing test cannot hang the suite.
    cv_.wait_for(lock, 10s, [&] { return allowed_ >= entered_; });
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  int entered_ = 0;
  int allowed_ = 0;
};

// Collects the sink calls of the worker under a lock.
class SafeSink final : public TeamSearchSink {
 public:
  struct Call {
    std::uint64_t job = 0;
    char kind = 'L';  // 'L' line, 'E' finished, 'F' failed
    TrackerLine line;
    TeamSearchSummary summary;
  };

  void AddLine(std::uint64_t job, const TrackerLine& line) override { Push({job, 'L', line, {}}); }
  void Finished(std::uint64_t job, const TeamSearchSummary& summary) override { Push({job, 'E', {}, summary}); }
  void Failed(std::uint64_t job, const std::string&) override { Push({job, 'F', {}, {}}); }

  // Waits for `count` ends (Finished or Failed) in all.
  bool WaitEnds(int count) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, 10s, [&] { return ends_ >= count; });
  }
  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::size_t Lines() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [](const Call& c) { return c.kind == 'L'; }));
  }

 private:
  void Push(Call call) {
    std::lock_guard lock(mutex_);
    if (call.kind != 'L') ++ends_;
    calls_.push_back(std::move(call));
    cv_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Call> calls_;
  int ends_ = 0;
};

class TeamSearchThreadsTest : public ::testing::Test {
 protected:
  TeamSearchThreadsTest() {
    // Per day: one stock with team 1's seller, one with both teams' sellers, one with neither.
    FiveSeats one{}, both{}, none{};
    one[0] = {kA, 0, 120};
    both[0] = {kA, 300, 0};
    both[1] = {kB, 0, 45};
    none[0] = {"别的营业部", 0, 1};
    for (const std::string& day : kDays) {
      db_.AddListing(day, "600000", "浦发银行", "r", 1, 10, 1e4, {}, one);
      db_.AddListing(day, "000002", "万科A", "r", 1, 10, 1e4, {}, both);
      db_.AddListing(day, "300001", "特锐德", "r", 1, 10, 1e4, {}, none);
    }
    CBranchTeamRow team1, team2;
    team1.TeamName = "一队";
    team1.Members = {kA};
    team2.TeamName = "二队";
    team2.Members = {kB};
    params_.teams = {team1, team2};
    params_.days = 5;
    latch_.Attach(db_.Market());
  }
  ~TeamSearchThreadsTest() override { db_.Market().SetStatementTrace(nullptr); }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  FakeClock clock_{2024, 5, 15};
  WorkerRegistry workers_;
  DayLatch latch_;
  std::shared_ptr<SafeSink> sink_ = std::make_shared<SafeSink>();
  TeamSearchParams params_;
};

TEST_F(TeamSearchThreadsTest, ASecondStartWhileRunningIsRefused) {
  TeamSearchJob job(sink_, db_.Market(), clock_, workers_);
  std::uint64_t first = 0;
  ASSERT_EQ(job.Start(params_, &first), TeamSearchJob::StartResult::Started);
  ASSERT_TRUE(latch_.WaitEntered(1));
  EXPECT_TRUE(job.IsRunning());
  std::uint64_t second = 77;
  EXPECT_EQ(job.Start(params_, &second), TeamSearchJob::StartResult::Refused);
  EXPECT_EQ(second, 77u);
  EXPECT_EQ(job.CurrentJob(), first);

  latch_.Open();
  ASSERT_TRUE(sink_->WaitEnds(1));
  ASSERT_TRUE(job.Wait(2s));
  EXPECT_FALSE(job.IsRunning());
  // Only the first search ran, to its end.
  for (const SafeSink::Call& call : sink_->Calls()) EXPECT_EQ(call.job, first);
  EXPECT_EQ(sink_->Lines(), kDays.size() * kLinesPerDay);

  // Once it has ended, a new search starts under a new id.
  ASSERT_EQ(job.Start(params_, &second), TeamSearchJob::StartResult::Started);
  EXPECT_NE(second, first);
  ASSERT_TRUE(sink_->WaitEnds(2));
  EXPECT_TRUE(job.Wait(2s));
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(TeamSearchThreadsTest, LinesComeDayByDayNumberedFrom01WithoutGaps) {
  TeamSearchJob job(sink_, db_.Market(), clock_, workers_);
  std::uint64_t id = 0;
  ASSERT_EQ(job.Start(params_, &id), TeamSearchJob::StartResult::Started);
  for (std::size_t day = 1; day <= kDays.size(); ++day) {
    ASSERT_TRUE(latch_.WaitEntered(static_cast<int>(day)));
    // Held at this day's query: exactly the earlier days' lines are out.
    EXPECT_EQ(sink_->Lines(), (day - 1) * kLinesPerDay);
    latch_.Allow(1);
  }
  ASSERT_TRUE(sink_->WaitEnds(1));
  ASSERT_TRUE(job.Wait(2s));

  const std::vector<SafeSink::Call> calls = sink_->Calls();
  ASSERT_EQ(calls.size(), kDays.size() * kLinesPerDay + 1);
  for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
    ASSERT_EQ(calls[i].kind, 'L');
    EXPECT_EQ(calls[i].job, id);
    const std::string number = (i + 1 < 10 ? "0" : "") + std::to_string(i + 1) + " ";
    EXPECT_EQ(calls[i].line.text.substr(0, 3), number) << calls[i].line.text;
    EXPECT_EQ(calls[i].line.date, kDays[i / kLinesPerDay]);
  }
  const SafeSink::Call& end = calls.back();
  EXPECT_EQ(end.kind, 'E');
  EXPECT_EQ(end.job, id);
  EXPECT_EQ(end.summary.lines, static_cast<int>(kDays.size()) * kLinesPerDay);
  EXPECT_EQ(end.summary.daysScanned, static_cast<int>(kDays.size()));
  EXPECT_FALSE(end.summary.stopped);
}

TEST_F(TeamSearchThreadsTest, ACancelledSearchStopsAtTheNextRowAndJoinsInBoundedTime) {
  TeamSearchJob job(sink_, db_.Market(), clock_, workers_);
  std::uint64_t id = 0;
  ASSERT_EQ(job.Start(params_, &id), TeamSearchJob::StartResult::Started);
  latch_.Allow(1);
  ASSERT_TRUE(latch_.WaitEntered(2));  // day 1 done, held at day 2's query
  job.RequestStop();
  latch_.Open();
  const auto before = Clock::now();
  EXPECT_TRUE(job.Exit(2s));
  EXPECT_LT(Clock::now() - before, 1s);
  EXPECT_FALSE(job.IsRunning());

  const std::vector<SafeSink::Call> calls = sink_->Calls();
  ASSERT_FALSE(calls.empty());
  // Day 2's rows were loaded, but not one of them was looked at.
  EXPECT_EQ(sink_->Lines(), static_cast<std::size_t>(kLinesPerDay));
  EXPECT_EQ(calls.back().kind, 'E');
  EXPECT_EQ(calls.back().job, id);
  EXPECT_TRUE(calls.back().summary.stopped);
  EXPECT_EQ(calls.back().summary.lines, kLinesPerDay);
}

TEST_F(TeamSearchThreadsTest, TheWorkerReadsThroughItsOwnHandleClosedWhenItEnds) {
  const std::size_t before = db_.Market().OpenHandleCount();
  TeamSearchJob job(sink_, db_.Market(), clock_, workers_);
  ASSERT_EQ(job.Start(params_), TeamSearchJob::StartResult::Started);
  ASSERT_TRUE(latch_.WaitEntered(1));
  EXPECT_EQ(db_.Market().OpenHandleCount(), before + 1);
  latch_.Open();
  ASSERT_TRUE(sink_->WaitEnds(1));
  ASSERT_TRUE(job.Wait(2s));
  const auto deadline = Clock::now() + 2s;
  while (db_.Market().OpenHandleCount() != before && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(db_.Market().OpenHandleCount(), before);
}

TEST_F(TeamSearchThreadsTest, NoSearchStartsWhileTheProgramCloses) {
  TeamSearchJob job(sink_, db_.Market(), clock_, workers_);
  workers_.RequestStopAll();
  EXPECT_EQ(job.Start(params_), TeamSearchJob::StartResult::Refused);
  EXPECT_FALSE(job.IsRunning());
  EXPECT_EQ(job.CurrentJob(), 0u);
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());

  workers_.Restart();
  latch_.Open();
  std::uint64_t id = 0;
  ASSERT_EQ(job.Start(params_, &id), TeamSearchJob::StartResult::Started);
  EXPECT_EQ(job.CurrentJob(), id);
  ASSERT_TRUE(sink_->WaitEnds(1));
  EXPECT_TRUE(job.Wait(2s));
}

}  // namespace
