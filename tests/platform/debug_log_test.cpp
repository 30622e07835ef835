#include "platform/debug_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/app_paths.h"

namespace fs = std::filesystem;

namespace {

// Each test logs into a fresh data folder.
class DebugLogTest : public testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = g_szAppFolder;
    std::string tmpl = (fs::temp_directory_path() / "debuglog-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    folder_ = tmpl;
    SetAppFolder(folder_.string());
    ResetDebugLogCounterForTests();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    SetAppFolder(savedFolder_);
  }

  std::string ReadFile(const std::string& name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path folder_;

 private:
  std::string savedFolder_;
};

}  // namespace

TEST_F(DebugLogTest, NumberedLinesAreByteExact) {
  EXPECT_EQ(AppendDebugLog("website1=%s\n", "http://a/"), 1);
  EXPECT_EQ(AppendDebugLog("count=%d %s", 42, "中文"), 2);
  EXPECT_EQ(AppendDebugLog("100%%"), 3);
  EXPECT_EQ(ReadFile("DebugLog.txt"), "1: website1=http://a/\n\r\n2: count=42 中文\r\n3: 100%\r\n");
}

TEST_F(DebugLogTest, AppendsToAnExistingLog) {
  std::ofstream(folder_ / "DebugLog.txt", std::ios::binary) << "old\r\n";
  EXPECT_EQ(AppendDebugLog("new"), 1);
  EXPECT_EQ(ReadFile("DebugLog.txt"), "old\r\n1: new\r\n");
}

TEST_F(DebugLogTest, LongMessageIsCutAtACharacterBoundary) {
  // "中" takes bytes 4094..4096, so a cut at 4,096 bytes would split it.
  const std::string message = std::string(4094, 'a') + "中" + std::string(903, 'b');
  ASSERT_EQ(message.size(), 5000u);
  EXPECT_EQ(AppendDebugLog("%s", message.c_str()), 1);
  EXPECT_EQ(ReadFile("DebugLog.txt"), "1: " + std::string(4094, 'a') + "\r\n");
}

TEST_F(DebugLogTest, MessageOfExactlyTheLimitIsKept) {
  const std::string limit(kDebugLogMaxMessage, 'x');
  const std::string over(5000, 'y');
  AppendDebugLog("%s", limit.c_str());
  AppendDebugLog("%s", over.c_str());
  EXPECT_EQ(ReadFile("DebugLog.txt"), "1: " + limit + "\r\n2: " + std::string(kDebugLogMaxMessage, 'y') + "\r\n");
}

TEST_F(DebugLogTest, UnwritableLogDropsTheLineAndKeepsTheCount) {
  fs::create_directory(folder_ / "DebugLog.txt");  // cannot be opened as a file, even by root
  EXPECT_EQ(AppendDebugLog("lost %d", 1), 0);
  fs::remove(folder_ / "DebugLog.txt");
  EXPECT_EQ(AppendDebugLog("kept"), 1);
  EXPECT_EQ(ReadFile("DebugLog.txt"), "1: kept\r\n");
}

TEST_F(DebugLogTest, MissingFolderDropsTheLine) {
  SetAppFolder((folder_ / "no" / "such").string());
  EXPECT_EQ(AppendDebugLog("lost"), 0);
  AppendTraceFile("x", 1);
  EXPECT_FALSE(fs::exists(folder_ / "no"));
}

TEST_F(DebugLogTest, TwoThreadsNeverTearALine) {
  constexpr int kLines = 500;
  auto writer = [](char name) {
    for (int i = 0; i < kLines; ++i) AppendDebugLog("%c %d", name, i);
  };
  std::thread a(writer, 'A');
  std::thread b(writer, 'B');
  a.join();
  b.join();

  const std::string text = ReadFile("DebugLog.txt");
  const std::regex lineRe(R"(^(\d+): ([AB]) (\d+)$)");
  std::set<int> numbers;
  int lastOf[2] = {-1, -1};
  int lineCount = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos) << "unterminated line at byte " << pos;
    const std::string line = text.substr(pos, end - pos);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, lineRe)) << "torn line: " << line;
    numbers.insert(std::stoi(m[1]));
    const int who = m[2] == "A" ? 0 : 1;
    const int index = std::stoi(m[3]);
    EXPECT_EQ(index, lastOf[who] + 1) << "lines of one thread out of order";
    lastOf[who] = index;
    ++lineCount;
    pos = end + 2;
  }
  EXPECT_EQ(lineCount, 2 * kLines);
  ASSERT_EQ(numbers.size(), static_cast<size_t>(2 * kLines));
  EXPECT_EQ(*numbers.begin(), 1);
  EXPECT_EQ(*numbers.rbegin(), 2 * kLines);
}

TEST_F(DebugLogTest, TraceFileTakesRawBytes) {
  const char bytes[] = {'a', '\0', '\r', '\n', static_cast<char>(0xD6), static_cast<char>(0xD0)};
  AppendTraceFile(bytes, sizeof bytes);
  AppendTraceFile(bytes, 1);
  AppendTraceFile(nullptr, 5);
  EXPECT_EQ(ReadFile("TraceFile.txt"), std::string(bytes, sizeof bytes) + "a");
  EXPECT_FALSE(fs::exists(folder_ / "DebugLog.txt"));
}

TEST_F(DebugLogTest, TraceFileRotatesPastItsCapKeepingOneOlderFile) {
  std::ofstream(folder_ / "TraceFile.old.txt") << "oldest";
  std::ofstream(folder_ / "TraceFile.txt").put(0);
  fs::resize_file(folder_ / "TraceFile.txt", kTraceFileMaxBytes - 1);  // sparse: quick
  AppendTraceFile("a", 1);  // exactly the cap: kept in place
  EXPECT_EQ(fs::file_size(folder_ / "TraceFile.txt"), kTraceFileMaxBytes);
  AppendTraceFile("bc", 2);
  EXPECT_EQ(fs::file_size(folder_ / "TraceFile.old.txt"), kTraceFileMaxBytes);
  EXPECT_EQ(ReadFile("TraceFile.txt"), "bc");
}
