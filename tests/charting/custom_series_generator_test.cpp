#include "charting/custom_series_generator.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../support/db_builder.h"
#include "../support/market_generator.h"
#include "charting/formula_text.h"
#include "charting/series_file.h"
#include "platform/gdi_types.h"
#include "recording_custom_data_sink.h"
#include "series_test_support.h"
#include "storage/charset.h"

namespace {

namespace fs = std::filesystem;

// ---- Values ------------------------------------------------------------------------

SeatAmounts20 Amounts(std::initializer_list<std::pair<int, std::pair<double, double>>> seats) {
  SeatAmounts20 a{};
  for (const auto& [seat, amounts] : seats) {
    a[2 * seat] = amounts.first;
    a[2 * seat + 1] = amounts.second;
  }
  return a;
}

TEST(SeriesValueTest, BranchOnBothSidesWithTheSameAmountsCountsOnce) {
  SeatIds seats;
  seats.fill(-1);
  seats[1] = 7;  // buyer 2
  seats[8] = 7;  // seller 4
  const auto a = Amounts({{1, {1500.6, 300.2}}, {8, {1500.6, 300.2}}});
  EXPECT_EQ(BranchSeriesValue(seats, a, 7, false), 1200.24f);
}

TEST(SeriesValueTest, SellerOnlyAndZeroNetAreNegative) {
  SeatIds seats;
  seats.fill(-1);
  seats[5] = 3;
  EXPECT_EQ(BranchSeriesValue(seats, Amounts({{5, {0, 80}}}), 3, false), -80.01f);
  seats.fill(-1);
  seats[9] = 3;
  EXPECT_EQ(BranchSeriesValue(seats, Amounts({{9, {40, 40}}}), 3, false), -0.05f);
  EXPECT_FALSE(BranchSeriesValue(seats, Amounts({}), 4, false)) << "no seat, no value";
  EXPECT_FALSE(BranchSeriesValue(seats, Amounts({}), -1, false));
}

TEST(SeriesValueTest, InstitutionSeatsGiveTheFirstPositionsAndTheNetOfAll) {
  SeatIds seats;
  seats.fill(-1);
  seats[0] = seats[3] = seats[6] = 2;  // buy 1, buy 4, sell 2
  const auto a = Amounts({{0, {100.9, 0}}, {3, {50, 0}}, {6, {0, 30}}});
  EXPECT_EQ(BranchSeriesValue(seats, a, 2, true), 120.12f);
  // The same seats for an ordinary branch: the last buy seat and every sell seat count.
  EXPECT_EQ(BranchSeriesValue(seats, a, 2, false), 120.42f);
}

TEST(SeriesValueTest, NetBuyTakesEachMatchedSellerOffOnce) {
  // Buyer 1 = seller 3 (same branch both sides); buyer 2 has the same figures too,
  // but seller 3 is one trade only.
  const auto a = Amounts({{0, {100, 20}}, {1, {100, 20}}, {7, {100, 20}}, {9, {5, 60}}});
  EXPECT_EQ(ComputeNetBuy(a), static_cast<float>(200.0 + 5 - 40 - 60 - 0));
  EXPECT_EQ(ListedAmountValue(a), 425.0f);
  EXPECT_EQ(ComputeNetBuy(Amounts({{0, {10.25, 0}}})), 10.25f) << "not cut to a whole number";
}

TEST(SeriesValueTest, ClearDuplicateSellAmountsZeroesEachSideOnItsOwn) {
  auto a = Amounts({{0, {100, 5}}, {6, {100, 7}}, {7, {3, 5}}});
  ClearDuplicateSellAmounts(a);
  EXPECT_EQ(a, Amounts({{0, {100, 5}}, {6, {0, 7}}, {7, {3, 0}}}));
}

TEST(SeriesValueTest, TeamNeedsEnoughMembersAndTakesTheFirstMembersFirstSeat) {
  SeatIds seats;
  seats.fill(-1);
  seats[0] = 1;  // member A buys at 1
  EXPECT_FALSE(TeamSeriesValue(seats, Amounts({{0, {500, 0}}}), {1, 2, 3}, 2, 1));
  seats.fill(-1);
  seats[7] = 2;  // member B sells at 3
  EXPECT_EQ(TeamSeriesValue(seats, Amounts({{7, {0, 100}}}), {1, 2, 3}, 2, 1), -100.03f);
  seats.fill(-1);
  seats[3] = 2;  // B buys at 4
  seats[6] = 1;  // A sells at 2
  seats[0] = 3;  // C buys at 1
  EXPECT_EQ(TeamSeriesValue(seats, Amounts({{3, {200, 0}}, {6, {0, 50}}, {0, {10, 0}}}), {1, 2, 3}, 2, 1), 160.02f);
  EXPECT_FALSE(TeamSeriesValue(seats, Amounts({}), {1, 2, 3}, 3, 2)) << "two buyers and one seller are too few";
}

// ---- The generator over a database ------------------------------------------------

FiveSeats Seats(std::initializer_list<std::pair<int, SeatFixture>> at) {
  FiveSeats seats{};
  for (const auto& [k, seat] : at) seats[k] = seat;
  return seats;
}

class GeneratorTest : public testing::Test {
 protected:
  GeneratorTest() : db(data.Path()) {}

  GenerationResult Generate(int days, GenerationOptions options = {}, const std::string& formula = "") {
    RecordingCustomDataSink& s = sink;
    CCustomSeriesGenerator generator(db.Market(), db.User(), s);
    GenerationParams params;
    params.signalsFolder = chart.signals;
    params.days = days;
    params.formulaPath = formula;
    params.options = options;
    const GenerationResult result = generator.Run(params);
    datacfg = generator.m_datacfg.m_datacfg_list;
    return result;
  }
  std::vector<SeriesRecord> Records(int series, const std::string& file) const {
    return ParseSeriesRecords(ReadWholeFile(chart.Series(series) + "/" + file));
  }
  std::vector<std::string> DataFiles() const {
    std::vector<std::string> files;
    for (const auto& [path, bytes] : TreeOf(chart.signals)) {
      if (path.size() > 4 && path.substr(path.size() - 4) == ".dat" && path != "datacfg.dat") files.push_back(path);
    }
    return files;
  }

  TempProgramFolder data;
  DbBuilder db;
  ChartSignals chart;
  RecordingCustomDataSink sink;
  std::vector<DataCfgEntry> datacfg;
};

TEST_F(GeneratorTest, BranchSeriesFileHasTheExactBytes) {
  db.AddMark("甲营业部", 1, RGB(255, 0, 0), 1, 0, "ABC", "", "");
  const SeatFixture branch{"甲营业部", 1500.6, 300.2};
  db.AddListing("2015-07-01", "600519", "茅台", "r", 1, 10, 1e5, Seats({{1, branch}}), Seats({{3, branch}}));
  db.AddListing("2015-06-30", "600519", "茅台", "r", 1, 10, 1e5, Seats({}), Seats({}));
  const GenerationResult result = Generate(2);
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.failures, 0);
  EXPECT_EQ(Hex(ReadWholeFile(chart.Series(301) + "/1_600519.dat")), "ad793301ae079644");
  EXPECT_TRUE(fs::exists(chart.Series(301) + "/0000000ABC.txt"));
  EXPECT_TRUE(fs::exists(chart.Series(299) + "/0000000--299是否上榜 .txt"));
  EXPECT_TRUE(fs::exists(chart.Series(300) + "/0000000--300是否上榜 .txt"));
  EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(GeneratorTest, DayWindows) {
  for (const char* day : {"2015-07-01", "2015-07-02", "2015-07-03", "2015-07-06"}) {
    db.AddListing(day, "000001", "平安", "r", 1, 10, 1e5, Seats({{0, {"x", 10, 0}}}), Seats({}));
    db.AddTrade(day, "000001", "平安", 1, 10, 9, 100, 1000, "b", "s");
  }
  // The branch was listed on the newest and the oldest day only: it counts its own days.
  db.AddMark("乙营业部", 2, 0, 1, 0, "B", "", "");
  for (const char* day : {"2015-07-06", "2015-07-01"}) {
    db.AddListing(day, "600000", "浦发", "r", 1, 10, 1e5, Seats({{0, {"乙营业部", 10, 0}}}), Seats({}));
  }
  Generate(3);
  const auto net = Records(299, "0_000001.dat");
  ASSERT_EQ(net.size(), 2u);
  EXPECT_EQ(net[0].date, 20150703);
  EXPECT_EQ(net[1].date, 20150706);
  EXPECT_EQ(Records(298, "0_000001.dat").size(), 3u) << "298 takes N days";
  const auto branch = Records(302, "1_600000.dat");
  ASSERT_EQ(branch.size(), 2u);
  EXPECT_EQ(branch[0].date, 20150701);
  EXPECT_EQ(branch[0].value, 10.1f);

  for (int n : {1, 0, -5}) {
    fs::remove_all(chart.signals);
    fs::create_directory(chart.signals);
    Generate(n);
    EXPECT_EQ(DataFiles(), (std::vector<std::string>{"signals_user_298/0_000001.dat"})) << n;
    EXPECT_EQ(Records(298, "0_000001.dat").front().date, 20150706);
  }
}

TEST_F(GeneratorTest, NetBuyAndListedAmount) {
  const SeatFixture both{"丙", 100, 20};
  db.AddListing("2015-07-01", "000002", "万科", "r", 1, 10, 1e5, Seats({{0, both}, {1, {"丁", 50.5, 0}}}),
                Seats({{2, both}, {4, {"戊", 0.25, 70}}}));
  db.AddListing("2015-06-30", "000002", "万科", "r", 1, 10, 1e5, Seats({}), Seats({}));
  Generate(2);
  EXPECT_EQ(Records(299, "0_000002.dat"),
            (std::vector<SeriesRecord>{{20150701, static_cast<float>(150.5 + 0.25 - 20 - 70)}}));
  EXPECT_EQ(Records(300, "0_000002.dat"),
            (std::vector<SeriesRecord>{{20150701, static_cast<float>(100 + 20 + 50.5 + 100 + 20 + 0.25 + 70)}}));
}

TEST_F(GeneratorTest, TeamsAndNumberCollisions) {
  for (const char* member : {"T1", "T2", "T3"}) db.AddMark(member, 0, RGB(1, 2, 3), 1, 205, "", "", "五号");
  db.AddMark("碰撞队员", 0, 0, 1, 7, "", "", "七号");
  db.AddMark("七号营业部", 7, 0, 1, 0, "Q", "", "");
  db.AddListing("2015-07-02", "600001", "a", "r", 1, 10, 1e5, Seats({{0, {"T1", 500, 0}}}), Seats({}));
  db.AddListing("2015-07-02", "600002", "b", "r", 1, 10, 1e5, Seats({}), Seats({{2, {"T2", 0, 100}}}));
  db.AddListing("2015-07-02", "600003", "c", "r", 1, 10, 1e5, Seats({{0, {"T3", 10, 0}}, {3, {"T2", 200, 0}}}),
                Seats({{1, {"T1", 0, 50}}}));
  db.AddListing("2015-07-02", "600004", "d", "r", 1, 10, 1e5, Seats({{0, {"碰撞队员", 10, 0}}}),
                Seats({{0, {"七号营业部", 0, 1}}}));
  db.AddListing("2015-07-01", "600001", "a", "r", 1, 10, 1e5, Seats({}), Seats({}));
  Generate(2);
  const std::string team = chart.Series(505);
  EXPECT_FALSE(fs::exists(team + "/1_600001.dat")) << "one buying member is too few";
  EXPECT_EQ(Records(505, "1_600002.dat"), (std::vector<SeriesRecord>{{20150702, -100.03f}}));
  EXPECT_EQ(Records(505, "1_600003.dat"), (std::vector<SeriesRecord>{{20150702, 160.02f}}));
  EXPECT_TRUE(fs::exists(team + "/0000000--五号.txt"));

  // Team 7 would write into the branch's 307: it is left out and said so.
  EXPECT_EQ(Records(307, "1_600004.dat"), (std::vector<SeriesRecord>{{20150702, -1.01f}}));
  EXPECT_FALSE(fs::exists(chart.Series(307) + "/0000000--七号.txt"));
  bool said = false;
  for (const auto& line : sink.Lines()) said = said || line.text == "团队编号 7 与营业部编号冲突，未生成该团队数据";
  EXPECT_TRUE(said);
  int entries307 = 0;
  for (const auto& e : datacfg) entries307 += e.Number() == 307 ? 1 : 0;
  EXPECT_EQ(entries307, 1);
  EXPECT_EQ(datacfg.back().Number(), 505);
}

TEST_F(GeneratorTest, ShanghaiBCodesUseMarketOneEverywhere) {
  db.AddMark("己营业部", 1, 0, 1, 0, "J", "", "");
  db.AddMark("队员", 0, 0, 1, 200, "", "", "零号");
  db.AddListing("2015-07-02", "900901", "B股", "r", 1, 10, 1e5, Seats({{0, {"己营业部", 10, 0}}}),
                Seats({{0, {"队员", 0, 5}}}));
  db.AddListing("2015-07-01", "900901", "B股", "r", 1, 10, 1e5, Seats({}), Seats({}));
  db.AddTrade("2015-07-02", "900901", "B股", 1, 10, 9, 100, 1000, "b", "s");
  Generate(2);
  for (int series : {298, 299, 300, 301, 500}) {
    EXPECT_TRUE(fs::exists(chart.Series(series) + "/1_900901.dat")) << series;
    EXPECT_FALSE(fs::exists(chart.Series(series) + "/0_900901.dat")) << series;
  }
}

TEST_F(GeneratorTest, NamesWithQuotesAndWildcardsAreBound) {
  db.AddMark("O'Neil%_营业部", 1, 0, 1, 0, "A'%_", "", "");
  db.AddMark("Other营业部", 2, 0, 1, 0, "AX%Y", "", "");
  db.AddListing("2015-07-02", "600000", "x", "r", 1, 10, 1e5, Seats({{0, {"O'Neil%_营业部", 10, 0}}}), Seats({}));
  db.AddListing("2015-07-02", "600001", "x", "r", 1, 10, 1e5, Seats({{0, {"O'Neilxx营业部", 10, 0}}}), Seats({}));
  db.AddListing("2015-07-01", "600000", "x", "r", 1, 10, 1e5, Seats({}), Seats({}));
  Generate(2);
  EXPECT_TRUE(fs::exists(chart.Series(301) + "/1_600000.dat"));
  EXPECT_FALSE(fs::exists(chart.Series(301) + "/1_600001.dat"));
  EXPECT_FALSE(fs::exists(chart.Series(302) + "/1_600000.dat"));
  EXPECT_TRUE(fs::exists(chart.Series(301) + "/0000000A'%_.txt"));
}

TEST_F(GeneratorTest, OnlyBranchMarkEntriesBecomeBranchSeries) {
  // A walk over every entry from 300 on would find this branch under the
  // name of entry 300 and write it into the listed-amount series.
  db.AddMark("冒名营业部", 1, 0, 1, 0, "是否上Velkor", "", "");
  db.AddListing("2015-07-02", "600000", "x", "r", 1, 10, 1e5, Seats({{0, {"冒名营业部", 10, 0}}}), Seats({}));
  db.AddListing("2015-07-01", "600000", "x", "r", 1, 10, 1e5, Seats({}), Seats({}));
  Generate(2);
  EXPECT_EQ(Records(301, "1_600000.dat"), (std::vector<SeriesRecord>{{20150702, 10.1f}}));
  EXPECT_EQ(Records(300, "1_600000.dat"), (std::vector<SeriesRecord>{{20150702, 10.0f}}));
  EXPECT_FALSE(fs::exists(chart.Series(300) + "/0000000是否上Velkor.txt"));
}

TEST_F(GeneratorTest, UnrecognisedDataListIsReportedOnceAndTheSeriesStillCome) {
  const std::string odd(130, '\x01');
  WriteWholeFile(chart.signals + "/datacfg.dat", odd);
  db.AddListing("2015-07-02", "600000", "x", "r", 1, 10, 1e5, Seats({{0, {"x", 10, 0}}}), Seats({}));
  db.AddListing("2015-07-01", "600000", "x", "r", 1, 10, 1e5, Seats({}), Seats({}));
  const GenerationResult result = Generate(2);
  EXPECT_EQ(ReadWholeFile(chart.signals + "/datacfg.dat"), odd);
  EXPECT_EQ(sink.Messages(), (std::vector<std::string>{kDataCfgUnrecognisedText}));
  EXPECT_TRUE(fs::exists(chart.Series(299) + "/1_600000.dat"));
  EXPECT_EQ(result.failures, 0);
}

TEST_F(GeneratorTest, FolderAndFileFailures) {
  db.AddListing("2015-07-02", "600000", "x", "r", 1, 10, 1e5, Seats({{0, {"x", 10, 0}}}), Seats({}));
  db.AddListing("2015-07-02", "600001", "x", "r", 1, 10, 1e5, Seats({{0, {"x", 10, 0}}}), Seats({}));
  db.AddListing("2015-07-01", "600000", "x", "r", 1, 10, 1e5, Seats({}), Seats({}));
  WriteWholeFile(chart.Series(299), "a file where the folder would be");
  fs::create_directories(chart.Series(300) + "/1_600000.dat");  // not a regular file
  fs::create_directories(chart.Series(300) + "/1_600001.dat");
  const GenerationResult result = Generate(2, {}, data.File("missing/" + std::string(kFormulaFileName)));
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.failures, 4);  // one folder, two files, the formula text
  EXPECT_EQ(sink.Messages(), (std::vector<std::string>{
                                 kFolderFailedText + chart.Series(299),
                                 kFileFailedText + chart.Series(300) + "/1_600000.dat",
                                 kFormulaOpenFailedText + data.File("missing/" + std::string(kFormulaFileName)),
                             }));
  EXPECT_EQ(sink.RedLines(), 4);
  EXPECT_TRUE(fs::exists(chart.Series(298)));
  EXPECT_TRUE(fs::exists(chart.Series(300) + "/0000000--300是否上榜 .txt"));
}

TEST_F(GeneratorTest, UnwritableFormulaFolderStillWritesTheBranchSeries) {
  db.AddMark("甲营业部", 1, 0, 1, 0, "A", "", "");
  db.AddListing("2015-07-02", "600000", "x", "r", 1, 10, 1e5, Seats({{0, {"甲营业部", 10, 0}}}), Seats({}));
  db.AddListing("2015-07-01", "600000", "x", "r", 1, 10, 1e5, Seats({}), Seats({}));
  Generate(2, {}, data.File("missing/formula.txt"));
  EXPECT_TRUE(fs::exists(chart.Series(301) + "/1_600000.dat"));
  EXPECT_EQ(sink.Messages().size(), 1u);
}

TEST_F(GeneratorTest, EmptyDatabaseGivesTheListAndTheFixedFormula) {
  const GenerationResult result = Generate(30, {}, data.File(kFormulaFileName));
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.values, 0u);
  EXPECT_EQ(ReadWholeFile(chart.signals + "/datacfg.dat").size(), 3 * kDataCfgEntryBytes);
  EXPECT_EQ(data.ReadFile(kFormulaFileName), ToGbk(FormulaHeaderText()));
  EXPECT_TRUE(DataFiles().empty());
}

TEST_F(GeneratorTest, FailedQueriesSkipTheirSeriesWithALine) {
  db.AddTrade("2015-07-02", "600000", "x", 1, 10, 9, 100, 1000, "b", "s");
  ASSERT_TRUE(db.Market().Execute("DROP TABLE StockInfo"));
  const GenerationResult result = Generate(5);
  EXPECT_TRUE(result.completed);
  EXPECT_TRUE(fs::exists(chart.Series(298) + "/1_600000.dat"));
  int lines = 0;
  for (const auto& line : sink.Lines()) lines += line.text.find("StockInfo") != std::string::npos ? 1 : 0;
  EXPECT_EQ(lines, 2);  // 299 and 300; no team is shown, so the teams read nothing
}

// Every way of writing gives the same files: batched or value by value, one shared
// StockInfo read or one per series, over files that are already there.
TEST(GeneratorEquivalenceTest, BatchedAndSharedEqualValueByValueAcrossTheTree) {
  TempProgramFolder data;
  DbBuilder db(data.Path());
  MarketShape shape;
  shape.tradingDays = 12;
  shape.listingsPerDay = 25;
  shape.stockCount = 60;
  shape.branchCount = 40;
  shape.tradesPerDay = 6;
  shape.markedBranches = 0;
  shape.teams = 3;
  const GeneratedMarket market = GenerateMarket(db, shape);
  for (int m = 0; m < 8; ++m) {
    db.AddMark(market.branches[10 + m], m + 1, RGB(m, 2 * m, 3 * m), 1, 0, "M" + std::to_string(m), "", "");
  }
  db.AddMark(kInstitutionSeatName, 9, 0, 1, 0, "JG", "", "");
  // A branch with an unreadable day among its own, one seen only on the oldest day, one
  // never seen, and a branch on two seats of one listing.
  db.AddListing("2015-7-1", "688901", "x", "r", 1, 10, 1e5, Seats({{0, {market.branches[10], 5, 0}}}), Seats({}));
  db.AddListing("1990-01-02", "688902", "y", "r", 1, 10, 1e5, Seats({{2, {"旧营业部", 7, 1}}}), Seats({}));
  db.AddListing(market.days.back(), "688903", "z", "r", 1, 10, 1e5, Seats({{1, {market.branches[11], 3, 0}}}),
                Seats({{4, {market.branches[11], 0, 2}}}));
  db.AddMark("旧营业部", 10, 0, 1, 0, "OLD", "", "");
  db.AddMark("无此营业部", 11, 0, 1, 0, "NONE", "", "");

  const std::vector<GenerationOptions> ways = {
      {false, false, false}, {false, true, false}, {true, false, false}, {true, true, false}, {true, true, true}};
  std::vector<std::map<std::string, std::string>> trees;
  std::vector<std::vector<std::string>> lines;
  for (const GenerationOptions& way : ways) {
    ChartSignals chart;
    // A file already there, unsorted, with a date twice.
    fs::create_directories(chart.Series(299));
    WriteWholeFile(chart.Series(299) + "/1_600000.dat",
                   SeriesRecordBytes({{20300101, 1}, {20000101, 2}, {20300101, 3}}));
    RecordingCustomDataSink sink;
    for (int days : {4, 9}) {
      CCustomSeriesGenerator generator(db.Market(), db.User(), sink);
      GenerationParams params;
      params.signalsFolder = chart.signals;
      params.days = days;
      params.formulaPath = chart.builder.Path("formula.txt");
      params.options = way;
      const GenerationResult result = generator.Run(params);
      ASSERT_TRUE(result.completed);
      ASSERT_EQ(result.failures, 0);
      ASSERT_GT(result.values, 100u);
    }
    trees.push_back(TreeOf(chart.builder.ChartFolder()));
    lines.emplace_back();
    for (const auto& line : sink.Lines()) lines.back().push_back(line.text);
  }
  ASSERT_GT(trees[0].size(), 100u);
  for (std::size_t i = 1; i < trees.size(); ++i) {
    EXPECT_TRUE(trees[i] == trees[0]) << "way " << i;
    EXPECT_EQ(lines[i], lines[0]) << "way " << i;
  }
  EXPECT_EQ(trees[0].count("T0002/signals/signals_user_310/1_688902.dat"), 1u);
  EXPECT_EQ(trees[0].count("T0002/signals/signals_user_309/0000000JG.txt"), 1u);
  EXPECT_EQ(trees[0].count("T0002/signals/signals_user_500/0000000--团队0.txt"), 1u);
}

}  // namespace
