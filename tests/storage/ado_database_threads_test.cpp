// One database object used from several threads: each thread works on its own handle.
#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

#include "platform/side_by_side.h"
#include "platform/worker_registry.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/row_cursor.h"
#include "storage/rowid_stretches.h"
#include "storage/schema.h"

namespace {

class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/velkor-adothreads-XXXXXX";
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

long CountRows(CADODataBase& db) {
  CADORecordset rs(&db);
  if (!rs.Open("SELECT count(*) FROM T")) return -1;
  long n = -1;
  rs.GetFieldValue(0, n);
  return n;
}

class AdoDatabaseThreadsTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string path = dir_.File("CJHB.mdb");
    ASSERT_TRUE(CreateDatabaseFile(path));
    ASSERT_TRUE(g_ADODatabase.Open("Data Source=" + path));
    ASSERT_TRUE(g_ADODatabase.Execute("CREATE TABLE T (n INTEGER NOT NULL UNIQUE, who TEXT)"));
  }
  void TearDown() override { g_ADODatabase.Close(); }

  TempDir dir_;
};

}  // namespace

TEST_F(AdoDatabaseThreadsTest, WriterThreadAndCountingReaderShareTheGlobal) {
  constexpr int kRows = 2000;
  constexpr int kPerTransaction = 100;
  std::atomic<bool> done{false};
  std::atomic<int> writerFailures{0};
  std::atomic<std::size_t> handlesDuringWrite{0};

  std::thread writer([&] {
    for (int start = 0; start < kRows; start += kPerTransaction) {
      CADOTransaction transaction(g_ADODatabase);
      bool ok = transaction.IsActive();
      for (int n = start; ok && n < start + kPerTransaction; ++n) {
        ok = g_ADODatabase.Execute("INSERT INTO T (n, who) VALUES (?, ?)", {n, "writer"});
      }
      if (!(ok && transaction.Commit())) ++writerFailures;
    }
    handlesDuringWrite = g_ADODatabase.OpenHandleCount();
    done = true;
  });

  long last = 0;
  int reads = 0;
  bool readerFailed = false;
  bool decreased = false;
  bool partial = false;
  while (!done) {
    const long n = CountRows(g_ADODatabase);
    if (n < 0) readerFailed = true;
    if (n < last) decreased = true;
    if (n % kPerTransaction != 0) partial = true;  // a transaction is seen whole or not at all
    last = n;
    ++reads;
  }
  writer.join();

  EXPECT_EQ(writerFailures, 0) << g_ADODatabase.GetLastErrorText();
  EXPECT_FALSE(readerFailed) << g_ADODatabase.GetLastErrorText();
  EXPECT_FALSE(decreased);
  EXPECT_FALSE(partial);
  EXPECT_GT(reads, 0);
  EXPECT_EQ(CountRows(g_ADODatabase), kRows);
  // The writer worked on a handle of its own, which closed when the thread ended.
  EXPECT_EQ(handlesDuringWrite, 2u);
  EXPECT_EQ(g_ADODatabase.OpenHandleCount(), 1u);
}

TEST_F(AdoDatabaseThreadsTest, TransactionsBelongToTheirThread) {
  ASSERT_TRUE(g_ADODatabase.BeginTrans());
  ASSERT_TRUE(g_ADODatabase.Execute("INSERT INTO T (n, who) VALUES (1, 'main')"));
  bool otherSeesTransaction = true;
  std::thread other([&] { otherSeesTransaction = g_ADODatabase.InTransaction(); });
  other.join();
  EXPECT_FALSE(otherSeesTransaction);
  ASSERT_TRUE(g_ADODatabase.RollbackTrans());
  EXPECT_EQ(CountRows(g_ADODatabase), 0);
}

TEST_F(AdoDatabaseThreadsTest, CloseEndsTheHandlesOfOtherThreads) {
  std::promise<void> opened, closed;
  bool failedAfterClose = false;
  std::thread worker([&] {
    CountRows(g_ADODatabase);
    opened.set_value();
    closed.get_future().wait();
    failedAfterClose = CountRows(g_ADODatabase) == -1;
  });
  opened.get_future().wait();
  EXPECT_EQ(g_ADODatabase.OpenHandleCount(), 2u);
  g_ADODatabase.Close();
  EXPECT_EQ(g_ADODatabase.OpenHandleCount(), 0u);
  closed.set_value();
  worker.join();
  EXPECT_TRUE(failedAfterClose);
}

TEST_F(AdoDatabaseThreadsTest, ObjectDestroyedBeforeItsThreadEnds) {
  auto local = std::make_unique<CADODataBase>();
  ASSERT_TRUE(local->Open(g_ADODatabase.GetConnectionString()));
  std::promise<void> used, destroyed;
  std::thread worker([&] {
    local->Execute("INSERT INTO T (n, who) VALUES (7, 'worker')");
    used.set_value();
    destroyed.get_future().wait();
    // The thread's exit guard now meets a handle its owner already closed.
  });
  used.get_future().wait();
  local.reset();
  destroyed.set_value();
  worker.join();
  EXPECT_EQ(CountRows(g_ADODatabase), 1);
}

TEST_F(AdoDatabaseThreadsTest, ReopenGivesEveryThreadAFreshHandle) {
  std::promise<void> first, reopened;
  long seen = -2;
  std::thread worker([&] {
    CountRows(g_ADODatabase);
    first.set_value();
    reopened.get_future().wait();
    seen = CountRows(g_ADODatabase);
  });
  first.get_future().wait();
  ASSERT_TRUE(g_ADODatabase.Open(""));
  ASSERT_TRUE(g_ADODatabase.Execute("INSERT INTO T (n, who) VALUES (1, 'main')"));
  reopened.set_value();
  worker.join();
  EXPECT_EQ(seen, 1);
}

TEST_F(AdoDatabaseThreadsTest, AWorkersHandleGivesUpItsStatementOnceTheProgramIsClosing) {
  auto runs = [] {
    CADORecordset rs(&g_ADODatabase);
    return rs.Open("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100000) SELECT count(*) FROM c");
  };
  bool before = false, closing = true;
  std::thread([&] {
    before = g_ADODatabase.InterruptWhenClosing() && runs();
    g_bClosing = true;
    closing = runs();
  }).join();
  EXPECT_TRUE(before);
  EXPECT_FALSE(closing);
  EXPECT_TRUE(runs());  // this thread's handle was not asked to
  g_bClosing = false;
}

// The stretches of one table read twice, as two searches would: the sum of n and the
// number of stretches.
static std::pair<long, int> SumInStretches(CADODataBase& db, unsigned stretches) {
  std::vector<long> sums(kMaxSideBySide, 0);
  std::string error;
  const int read = ReadRowidStretches(
      db, "T", stretches,
      [&](unsigned k, std::int64_t first, std::int64_t last) {
        RowCursor cursor(db);
        if (cursor.Open("SELECT n FROM T WHERE rowid BETWEEN ? AND ?", {first, last})) {
          while (cursor.Next()) sums[k] += static_cast<long>(cursor.Int(0));
        }
        if (cursor.Failed()) sums[k] = -1000000;
      },
      error);
  return {std::accumulate(sums.begin(), sums.end(), 0L), read};
}

TEST_F(AdoDatabaseThreadsTest, ASecondSearchReadsOnTheSameReadersAndHandlesAndAReopenedFileAnew) {
  ASSERT_TRUE(g_ADODatabase.Execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 400) "
                                    "INSERT INTO T (n) SELECT x FROM c"));
  // As at start-up: every reader opens its handle.
  WarmStretchReaders(g_ADODatabase);
  ASSERT_TRUE(WaitSideBySideWarm(std::chrono::seconds(10)));
  const std::uint64_t started = side_by_side_testing::ReadersStarted();
  const std::size_t handles = g_ADODatabase.OpenHandleCount();
  EXPECT_EQ(handles, 1u + kMaxSideBySide);
  EXPECT_EQ(SumInStretches(g_ADODatabase, kMaxSideBySide), std::make_pair(80200L, int{kMaxSideBySide}));
  EXPECT_EQ(SumInStretches(g_ADODatabase, kMaxSideBySide).first, 80200L);
  EXPECT_EQ(side_by_side_testing::ReadersStarted(), started);
  EXPECT_EQ(g_ADODatabase.OpenHandleCount(), handles);
  // Another file under the same object: no reader reads the old one's handle.
  const std::string other = dir_.File("other.mdb");
  ASSERT_TRUE(CreateDatabaseFile(other));
  ASSERT_TRUE(g_ADODatabase.Open("Data Source=" + other));
  ASSERT_TRUE(g_ADODatabase.Execute("CREATE TABLE T (n INTEGER NOT NULL UNIQUE, who TEXT)"));
  ASSERT_TRUE(g_ADODatabase.Execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 400) "
                                    "INSERT INTO T (n) SELECT 2 * x FROM c"));
  EXPECT_EQ(SumInStretches(g_ADODatabase, kMaxSideBySide).first, 160400L);
}

TEST_F(AdoDatabaseThreadsTest, AProgramLimitedToTwoProcessorsCutsTwoStretchesAtMost) {
  ASSERT_TRUE(g_ADODatabase.Execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 400) "
                                    "INSERT INTO T (n) SELECT x FROM c"));
  cpu_set_t saved;
  ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
  cpu_set_t two;
  CPU_ZERO(&two);
  for (int cpu = 0; cpu < CPU_SETSIZE && CPU_COUNT(&two) < 2; ++cpu) {
    if (CPU_ISSET(cpu, &saved)) CPU_SET(cpu, &two);
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof two, &two), 0);
  const unsigned usable = UsableProcessors();
  const std::pair<long, int> read = SumInStretches(g_ADODatabase, 0);
  ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
  EXPECT_EQ(usable, static_cast<unsigned>(CPU_COUNT(&two)));
  EXPECT_EQ(read.first, 80200L);
  EXPECT_GE(read.second, 1);
  EXPECT_LE(read.second, 2);
}
