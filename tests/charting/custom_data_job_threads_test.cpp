#include "charting/custom_data_job.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>

#include "../support/db_builder.h"
#include "charting/data_cfg.h"
#include "charting/formula_text.h"
#include "charting/series_file.h"
#include "platform/gdi_types.h"
#include "platform/worker_registry.h"
#include "recording_custom_data_sink.h"
#include "series_test_support.h"
#include "storage/charset.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Records like its base and runs a hook on every status (on the worker thread).
class HookedSink final : public CustomDataSink {
 public:
  void Status(const std::string& text) override {
    record.Status(text);
    if (onStatus) onStatus(text);
  }
  void Line(const std::string& text, COLORREF colour) override { record.Line(text, colour); }
  void ProgressRange(int lower, int upper) override { record.ProgressRange(lower, upper); }
  void Progress(int position) override { record.Progress(position); }
  void Message(const std::string& text) override { record.Message(text); }
  void Finished(bool ok, int failures) override { record.Finished(ok, failures); }

  RecordingCustomDataSink record;
  std::function<void(const std::string&)> onStatus;
};

std::string UserEntry280() {
  std::string raw(kDataCfgEntryBytes, '\0');
  const std::int32_t number = 280, flag = 1;
  std::memcpy(raw.data(), &number, 4);
  std::memcpy(raw.data() + 4, &flag, 4);
  std::memcpy(raw.data() + 8, "mine", 4);
  return raw;
}

// Ten trading days of one stock: 甲 buys 100 + d at seat 1, 乙 sells 50 at seat 1;
// one block trade on the last day.
class CustomDataJobTest : public testing::Test {
 protected:
  CustomDataJobTest() : db(data.Path()) {
    const char* const days[] = {"2015-07-01", "2015-07-02", "2015-07-03", "2015-07-06", "2015-07-07",
                                "2015-07-08", "2015-07-09", "2015-07-10", "2015-07-13", "2015-07-14"};
    for (int d = 1; d <= 10; ++d) {
      FiveSeats buy{}, sell{};
      buy[0] = {"甲营业部", 100.0 + d, 0};
      sell[0] = {"乙营业部", 0, 50};
      db.AddListing(days[d - 1], "600519", "茅台", "r", 1, 10, 1e5, buy, sell);
    }
    db.AddTrade("2015-07-14", "600519", "茅台", 1, 10.0, 9.0, 100, 1234.7, "b", "s");
    db.AddMark("甲营业部", 1, RGB(255, 0, 0), 1, 0, "甲", "", "");
    db.AddMark("乙营业部", 0, RGB(0, 0, 255), 1, 200, "", "", "乙队");
    db.AddMark("丙营业部", 0, RGB(0, 0, 255), 1, 200, "", "", "乙队");
    params.tdxDir = ChartFolderBuilder::kTdxDir;  // through the Wine prefix
    params.env.winePrefix = chart.builder.Prefix();
    params.days = 10;
    params.marketDbPath = db.MarketPath();
    params.userDbPath = db.UserPath();
    params.programFolder = data.Path();
  }

  std::string Signals(const std::string& rel) const { return ReadWholeFile(chart.signals + "/" + rel); }
  std::vector<std::string> Names(int series) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(chart.Series(series))) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempProgramFolder data;
  DbBuilder db;
  ChartSignals chart;
  CustomDataParams params;
  WorkerRegistry workers;
};

TEST_F(CustomDataJobTest, EndToEndGenerationThenDelete) {
  WriteWholeFile(chart.signals + "/datacfg.dat", UserEntry280());
  auto sink = std::make_shared<RecordingCustomDataSink>();
  CCustomDataJob job(sink, workers);
  ASSERT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Started);
  ASSERT_TRUE(sink->WaitFinished());
  ASSERT_TRUE(job.Wait(5s));
  EXPECT_TRUE(sink->Ok());
  EXPECT_TRUE(sink->Messages().empty());

  // The data list: the user's entry, the branch, the fixed three, the team.
  const std::string cfg = Signals("datacfg.dat");
  ASSERT_EQ(cfg.size(), 6 * kDataCfgEntryBytes);
  EXPECT_EQ(cfg.substr(0, 60), UserEntry280());
  EXPECT_EQ(Hex(cfg.substr(60, 12)), "2d01000001000000bcd70000");
  EXPECT_EQ(Hex(cfg.substr(120, 16)), "2a01000001000000b4f3d7dac2f2c2f4");
  EXPECT_EQ(Hex(cfg.substr(300, 14)), "f401000001000000d2d2b6d30000");

  // One file of each series, newest nine list days (ten trade days for 298).
  EXPECT_EQ(Hex(Signals("signals_user_301/1_600519.dat")),
            "ae7933013333cc42af7933013333ce42b27933013333d042b37933013333d242b47933013333d442"
            "b57933013333d642b67933013333d842b97933013333da42ba7933013333dc42");
  EXPECT_EQ(Hex(Signals("signals_user_298/1_600519.dat")), "ba79330133439a44");
  const auto team = ParseSeriesRecords(Signals("signals_user_500/1_600519.dat"));
  ASSERT_EQ(team.size(), 9u);
  EXPECT_EQ(Hex(SeriesRecordBytes({team.front()})), "ae7933013d0a48c2");  // -50.01
  const auto net = ParseSeriesRecords(Signals("signals_user_299/1_600519.dat"));
  ASSERT_EQ(net.size(), 9u);
  EXPECT_EQ(net.back(), (SeriesRecord{20150714, 60.0f}));
  EXPECT_EQ(ParseSeriesRecords(Signals("signals_user_300/1_600519.dat")).back(), (SeriesRecord{20150714, 160.0f}));

  EXPECT_EQ(Names(298), (std::vector<std::string>{"0000000--298大宗交易 .txt", "1_600519.dat"}));
  EXPECT_EQ(Names(299), (std::vector<std::string>{"0000000--299是否上榜 .txt", "1_600519.dat"}));
  EXPECT_EQ(Names(300), (std::vector<std::string>{"0000000--300是否上榜 .txt", "1_600519.dat"}));
  EXPECT_EQ(Names(301), (std::vector<std::string>{"0000000甲.txt", "1_600519.dat"}));
  EXPECT_EQ(Names(500), (std::vector<std::string>{"0000000--乙队.txt", "1_600519.dat"}));

  const std::string formula = data.ReadFile(kFormulaFileName);
  EXPECT_EQ(formula.size(), 308u + 1472u + 1474u);
  EXPECT_NE(formula.find(ToGbk("Name_301 := '甲: ';")), std::string::npos);
  EXPECT_NE(formula.find(ToGbk("Name_500 := '乙队: ';")), std::string::npos);
  EXPECT_NE(formula.find("OutText_500),  COLORFF0000;"), std::string::npos);

  // The user's own series 280 and whatever a link in a series folder points to stay.
  fs::create_directories(chart.Series(280));
  WriteWholeFile(chart.Series(280) + "/1_600519.dat", "12345678");
  TempProgramFolder outside;
  outside.WriteFile("keep.dat", "k");
  fs::create_directory_symlink(outside.Path(), chart.Series(299) + "/link");
  fs::create_directories(chart.Series(759) + "/deep/er");
  fs::create_directories(chart.Series(760));

  ASSERT_EQ(job.StartDelete(params), CCustomDataJob::StartResult::Started);
  ASSERT_TRUE(sink->WaitFinished(2));
  EXPECT_TRUE(sink->Ok());
  EXPECT_EQ(sink->Messages(), (std::vector<std::string>{kDeletedMessageText}));
  EXPECT_EQ(sink->Statuses().back(), kDeletedStatusText);
  EXPECT_EQ(Signals("datacfg.dat"), UserEntry280());
  for (int n : {298, 299, 300, 301, 500, 759}) EXPECT_FALSE(fs::exists(chart.Series(n))) << n;
  EXPECT_TRUE(fs::exists(chart.Series(280) + "/1_600519.dat"));
  EXPECT_TRUE(fs::exists(chart.Series(760)));
  EXPECT_EQ(outside.ReadFile("keep.dat"), "k");
  EXPECT_EQ(sink->Ranges().back(), std::make_pair(0, 462));
  EXPECT_EQ(sink->Positions().back(), 462);
}

TEST_F(CustomDataJobTest, DeleteWithAnUnrecognisedDataListDeletesNothing) {
  const std::string odd = UserEntry280() + std::string(60, '\0');  // an entry without a name
  WriteWholeFile(chart.signals + "/datacfg.dat", odd);
  fs::create_directories(chart.Series(298));
  auto sink = std::make_shared<RecordingCustomDataSink>();
  CCustomDataJob job(sink, workers);
  ASSERT_EQ(job.StartDelete(params), CCustomDataJob::StartResult::Started);
  ASSERT_TRUE(sink->WaitFinished());
  EXPECT_FALSE(sink->Ok());
  EXPECT_EQ(sink->Messages(), (std::vector<std::string>{kDataCfgDeleteUnrecognisedText}));
  EXPECT_EQ(Signals("datacfg.dat"), odd);
  EXPECT_TRUE(fs::exists(chart.Series(298)));
}

TEST_F(CustomDataJobTest, SecondStartAndDeleteAreRefusedWhileAGenerationRuns) {
  auto sink = std::make_shared<RecordingCustomDataSink>();
  CCustomDataJob job(sink, workers);
  ASSERT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Started);
  EXPECT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Refused);
  EXPECT_EQ(job.StartDelete(params), CCustomDataJob::StartResult::Refused);
  ASSERT_TRUE(sink->WaitFinished());
  ASSERT_TRUE(job.Wait(5s));
  EXPECT_EQ(sink->FinishedCount(), 1);
  const auto statuses = sink->Statuses();
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), std::string(kStatusBlockTrades)), 1)
      << "datacfg.dat and the series were written by one job";
  EXPECT_FALSE(job.IsRunning());
  EXPECT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Started) << "accepted again afterwards";
  ASSERT_TRUE(sink->WaitFinished(2));
}

TEST_F(CustomDataJobTest, StatusTextsComeInOrder) {
  auto sink = std::make_shared<RecordingCustomDataSink>();
  CCustomDataJob job(sink, workers);
  ASSERT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Started);
  ASSERT_TRUE(sink->WaitFinished());
  std::vector<std::string> main;
  for (const std::string& s : sink->Statuses()) {
    for (const char* text : {kStatusBlockTrades, kStatusNetBuy, kStatusListedAmount, kStatusBranches, kStatusTeams,
                             kStatusGenerated}) {
      if (s == text) main.push_back(s);
    }
  }
  EXPECT_EQ(main, (std::vector<std::string>{kStatusBlockTrades, kStatusNetBuy, kStatusListedAmount, kStatusBranches,
                                            kStatusTeams, kStatusGenerated}));
  const auto statuses = sink->Statuses();
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "1, 2015-07-14, 正在生成团队作战数据....... \n"),
            statuses.end());
  // The team step gets the range 0..N back after the branch step's.
  const auto ranges = sink->Ranges();
  ASSERT_EQ(ranges.size(), 3u);
  EXPECT_EQ(ranges[0], std::make_pair(0, 10));
  EXPECT_EQ(ranges[1], std::make_pair(0, 5));  // the five entries of the data list
  EXPECT_EQ(ranges[2], std::make_pair(0, 10));
}

TEST_F(CustomDataJobTest, EarlyExitsClearTheFlag) {
  auto sink = std::make_shared<RecordingCustomDataSink>();
  CCustomDataJob job(sink, workers);
  int finished = 0;
  const auto run = [&](CustomDataParams p, bool generation) {
    ASSERT_EQ(generation ? job.StartGeneration(p) : job.StartDelete(p), CCustomDataJob::StartResult::Started);
    ASSERT_TRUE(sink->WaitFinished(++finished));
    ASSERT_TRUE(job.Wait(5s));
    EXPECT_FALSE(job.IsRunning());
    EXPECT_FALSE(sink->Ok());
  };
  CustomDataParams p = params;
  p.tdxDir = " 0 ";
  run(p, true);
  EXPECT_EQ(sink->Statuses().back(), kFirstGenerationNoPathText);
  run(p, false);
  EXPECT_EQ(sink->Statuses().back(), kChartFolderNotSetText);
  p.tdxDir = "relative/TdxW.exe";
  run(p, true);
  p.tdxDir = data.File("TdxW.exe");  // a folder without T0002
  run(p, false);
  p = params;
  p.marketDbPath = data.File("nothing.mdb");
  run(p, true);
  EXPECT_EQ(sink->Messages(), (std::vector<std::string>{kChartFolderBadText, kChartFolderBadText,
                                                        "打开数据库CJHB.mdb错误"}));
  EXPECT_FALSE(fs::exists(chart.Series(298)));

  // A program that is closing starts no job, and the flag does not stay taken.
  workers.RequestStopAll();
  EXPECT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Refused);
  EXPECT_FALSE(job.IsRunning());
  workers.Restart();
  EXPECT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Started);
  ASSERT_TRUE(sink->WaitFinished(finished + 1));
}

TEST_F(CustomDataJobTest, MissingSignalsFolderIsCreatedUnderT0002) {
  fs::remove_all(chart.signals);
  auto sink = std::make_shared<RecordingCustomDataSink>();
  CCustomDataJob job(sink, workers);
  ASSERT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Started);
  ASSERT_TRUE(sink->WaitFinished());
  EXPECT_TRUE(sink->Ok());
  EXPECT_TRUE(fs::exists(chart.signals + "/datacfg.dat"));
}

TEST_F(CustomDataJobTest, StopEndsTheRunBetweenFilesAndKeepsEveryFileWhole) {
  auto sink = std::make_shared<HookedSink>();
  CCustomDataJob job(sink, workers);
  sink->onStatus = [&](const std::string& text) {
    if (text == kStatusNetBuy) job.RequestStop();
  };
  ASSERT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Started);
  ASSERT_TRUE(sink->record.WaitFinished());
  ASSERT_TRUE(job.Wait(5s));
  EXPECT_FALSE(sink->record.Ok());
  const auto statuses = sink->record.Statuses();
  EXPECT_EQ(statuses.back(), kGenerationStoppedText);
  EXPECT_EQ(sink->record.RedLines(), 0) << "a stop is no failure";
  EXPECT_EQ(std::find(statuses.begin(), statuses.end(), std::string(kStatusListedAmount)), statuses.end());
  EXPECT_EQ(Hex(Signals("signals_user_298/1_600519.dat")), "ba79330133439a44");
  EXPECT_FALSE(fs::exists(chart.Series(299) + "/1_600519.dat"));
  for (const auto& [path, bytes] : TreeOf(chart.signals)) {
    if (path.ends_with(".dat") && path != "datacfg.dat") {
      EXPECT_EQ(bytes.size() % 8, 0u) << path;
    }
  }
}

TEST_F(CustomDataJobTest, AWriteTransactionOnTheUserDatabaseDoesNotBlockTheRun) {
  CADODataBase ui;
  ASSERT_TRUE(ui.Open("Data Source=" + db.UserPath() + ";"));
  ASSERT_TRUE(ui.BeginTrans());
  ASSERT_TRUE(ui.Execute("INSERT INTO YYBMark (YYBName, Number1) VALUES (?, ?)", {"未提交营业部", 5}));
  auto sink = std::make_shared<RecordingCustomDataSink>();
  CCustomDataJob job(sink, workers);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(job.StartGeneration(params), CCustomDataJob::StartResult::Started);
  ASSERT_TRUE(sink->WaitFinished());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s) << "no wait for the busy timeout";
  EXPECT_TRUE(sink->Ok());
  EXPECT_TRUE(sink->Messages().empty());
  EXPECT_TRUE(ui.RollbackTrans());
}

}  // namespace
