#include "views/stock_scoring.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/market_generator.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "records/stock_detail.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"
#include "views/daily_exports.h"

namespace {

enum { kScoreCol = 3, kInflowCol = 4, kDominantCol = 5, kInstCol = 6, kStarCol = 7, kIncomeCol = 8, kBlockCol = 9 };

FiveSeats NoSeats() { return FiveSeats{}; }

class StockScoringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.OpenGlobals();
    MessageBoxHook::Instance().StartRecording();
  }
  void TearDown() override {
    MessageBoxHook::Instance().StopRecording();
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }
  // A record with the buying total in Buy1 and the selling total in Sell1.
  static StockDetailRecord Flow(double buy, double sell, double amount = 1e9) {
    StockDetailRecord r;
    r.StockCode = "600000";
    r.Buy[0].BuyAmount = buy;
    r.Sell[0].SellAmount = sell;
    r.Amount = amount;
    return r;
  }
  StockScoreRow Score(const StockDetailRecord& r) {
    scoring_.LoadCaches();
    return scoring_.ScoreRecord(r, 0);
  }

  static TempProgramFolder::Options WithExportFolder() {
    TempProgramFolder::Options options;
    options.withExportFolder = true;
    return options;
  }

  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder db_{folder_.Path()};
  FakeClock clock_{2024, 5, 15};  // a Wednesday
  CStockScoring scoring_{db_.Market(), clock_};
};

// ---- seat totals -----------------------------------------------------------------

TEST_F(StockScoringTest, SeatInBothHalvesWithEqualAmountsCountsOnce) {
  StockDetailRecord r;
  r.Buy[0] = {100, 50};
  r.Sell[2] = {100, 50};
  SeatTotals t = ComputeSeatTotals(r);
  EXPECT_DOUBLE_EQ(t.totalBuy, 100);
  EXPECT_DOUBLE_EQ(t.totalSell, 50);
  r.Sell[2] = {100, 51};  // one amount differs: both entries count
  t = ComputeSeatTotals(r);
  EXPECT_DOUBLE_EQ(t.totalBuy, 200);
  EXPECT_DOUBLE_EQ(t.totalSell, 101);
  EXPECT_DOUBLE_EQ(t.net, 99);
}

// ---- criterion 1 -------------------------------------------------------------------

TEST_F(StockScoringTest, InflowBoundaries) {
  EXPECT_EQ(Score(Flow(20000, 19340)).texts[kInflowCol], "1");   // Net exactly 660, small ratio
  EXPECT_EQ(Score(Flow(20000, 19340.01)).texts[kInflowCol], "");  // just under 660
  EXPECT_EQ(Score(Flow(6270, 6930)).texts[kInflowCol], "");       // -660 at exactly -0.05
  EXPECT_EQ(Score(Flow(1050.1, 949.9)).texts[kInflowCol], "1");   // Net 100, ratio just above 0.05
  EXPECT_EQ(Score(Flow(8050, 8750)).texts[kInflowCol], "");       // -700 at -0.04: needs both
  StockDetailRecord sixPercent;  // -700 at -0.06, kept off the dominant-seat rules
  sixPercent.Buy[1].BuyAmount = 5500;
  sixPercent.Sell[1].SellAmount = 6200;
  sixPercent.Amount = 1e9;
  const StockScoreRow down = Score(sixPercent);
  EXPECT_EQ(down.texts[kInflowCol], "-1");
  EXPECT_EQ(down.colours[kInflowCol], kScoreDownColour);
  EXPECT_EQ(down.score, -1);
}

TEST_F(StockScoringTest, NoAmountsAtAllScoreNothingAndDoNotCrash) {
  StockDetailRecord r;
  r.StockCode = "000001";
  const StockScoreRow row = Score(r);
  EXPECT_EQ(row.score, 0);
  EXPECT_EQ(row.texts[kScoreCol], "0");
  EXPECT_EQ(row.texts[kInflowCol], "");
  EXPECT_EQ(row.texts[kDominantCol], "");
  EXPECT_EQ(row.texts[kBlockCol], "无");
  EXPECT_FALSE(row.colours[kScoreCol]);
}

// ---- criterion 2 -------------------------------------------------------------------

TEST_F(StockScoringTest, DominantSeatBoundsAreStrict) {
  StockDetailRecord share = Flow(1500, 1500, 10000);  // share exactly 0.15
  EXPECT_EQ(Score(share).texts[kDominantCol], "");
  StockDetailRecord amount = Flow(1000, 1000, 1);  // amount exactly 1000
  EXPECT_EQ(Score(amount).texts[kDominantCol], "");
  StockDetailRecord above = Flow(1000.01, 1000, 1);
  EXPECT_EQ(Score(above).texts[kDominantCol], "1");
}

TEST_F(StockScoringTest, ZeroDayAmountPassesTheShareTest) {
  const StockScoreRow row = Score(Flow(0, 1200, 0));
  EXPECT_EQ(row.texts[kDominantCol], "-1");
  EXPECT_EQ(row.colours[kDominantCol], kScoreDownColour);
}

TEST_F(StockScoringTest, DominantTextFromLastRuleColourFromFirst) {
  StockDetailRecord r = Flow(5000, 4100, 30000);  // Buy1 share 0.167, Sell1 share 0.137
  r.Sell[1].SellAmount = 2000;                     // Net -1100
  const StockScoreRow row = Score(r);
  EXPECT_EQ(row.texts[kDominantCol], "-1");
  EXPECT_EQ(row.colours[kDominantCol], kScoreUpColour);
  EXPECT_EQ(row.texts[kInflowCol], "-1");
  EXPECT_EQ(row.score, -1);  // the dominant rules cancel: +1 then -1
}

// ---- criteria 3 to 5 -----------------------------------------------------------------

TEST_F(StockScoringTest, InstitutionsScoreOnceStarSeatsTwice) {
  auto pattern = [](const std::string& name) {
    StockDetailRecord r;
    r.BuyNames[0] = r.BuyNames[1] = r.SellNames[0] = name;
    r.Buy[0].BuyAmount = 300;
    r.Buy[1].BuyAmount = 200;
    r.Sell[0].SellAmount = 100;
    r.Amount = 1e9;
    return r;
  };
  const StockScoreRow inst = Score(pattern(kInstitutionSeatName));
  EXPECT_EQ(inst.texts[kInstCol], "1(2/1)");
  EXPECT_EQ(inst.colours[kInstCol], kScoreUpColour);
  EXPECT_EQ(inst.score, 2);  // inflow +1, institutions +1

  db_.AddQlxwma("明星营业部", 0.1, 1);
  const StockScoreRow star = Score(pattern("明星营业部"));
  EXPECT_EQ(star.texts[kInstCol], "");
  EXPECT_EQ(star.texts[kStarCol], "1(2/1)");
  EXPECT_EQ(star.texts[kIncomeCol], "");
  EXPECT_EQ(star.score, 3);  // inflow +1, star seats +2
}

TEST_F(StockScoringTest, SellingSideScoresDown) {
  db_.AddQlxwma("高收益", 0.9, 0);
  StockDetailRecord r;
  r.BuyNames[0] = "高收益";
  r.SellNames[0] = "高收益";
  r.Buy[0].BuyAmount = 100;
  r.Sell[0].SellAmount = 900;
  r.Amount = 1e9;
  const StockScoreRow row = Score(r);
  EXPECT_EQ(row.texts[kIncomeCol], "-1(1/1)");
  EXPECT_EQ(row.colours[kIncomeCol], kScoreDownColour);
  EXPECT_EQ(row.score, -2);  // inflow -1, high income -1
  EXPECT_EQ(row.colours[kScoreCol], kScoreDownColour);
}

TEST_F(StockScoringTest, BranchFlagsFromTheLastRow) {
  db_.AddQlxwma("半", 0.5, 0);
  db_.AddQlxwma("过半", 0.51, 0);
  db_.AddQlxwma("先高后低", 0.9, 1);
  db_.AddQlxwma("先高后低", 0.1, 0);
  db_.AddQlxwma("先低后高", 0.1, 0);
  db_.AddQlxwma("先低后高", 0.9, 2);
  db_.AddQlxwma(kInstitutionSeatName, 0.8, 1);
  ASSERT_TRUE(scoring_.LoadCaches());
  EXPECT_EQ(scoring_.IsHighIncomeSeat("半"), 0);
  EXPECT_EQ(scoring_.IsHighIncomeSeat("过半"), 1);
  EXPECT_EQ(scoring_.IsHighIncomeSeat("先高后低"), 0);
  EXPECT_EQ(scoring_.IsStarSeat("先高后低"), 0);
  EXPECT_EQ(scoring_.IsHighIncomeSeat("先低后高"), 1);
  EXPECT_EQ(scoring_.IsStarSeat("先低后高"), 1);
  EXPECT_EQ(scoring_.IsStarSeat(kInstitutionSeatName), 1);  // looked up like any branch
  EXPECT_EQ(scoring_.IsStarSeat(""), 0);
  EXPECT_EQ(scoring_.IsHighIncomeSeat("无此营业部"), 0);
}

// ---- criterion 6 and the total ---------------------------------------------------------

TEST_F(StockScoringTest, BlockTradeWindowCountsFromTodayNotTheScoredDay) {
  db_.AddListing("2023-03-01", "600001", "甲", "r", 0, 1, 1, NoSeats(), NoSeats());
  db_.AddListing("2023-03-01", "600002", "乙", "r", 0, 1, 1, NoSeats(), NoSeats());
  db_.AddListing("2023-03-01", "600003", "丙", "r", 0, 1, 1, NoSeats(), NoSeats());
  db_.AddTrade("2024-04-15", "600001", "甲", 1, 10, 9, 100, 100, "b", "s");           // 30 days back
  db_.AddTrade("2024-04-14", "600002", "乙", 1, 10, 9, 100, 100, "b", "s");           // 31 days back
  db_.AddTrade("2024-04-15 14:30:00", "600003", "丙", 1, 10, 9, 100, 100, "b", "s");  // with a time
  const auto rows = scoring_.ScoreDay("2023-03-01");
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->size(), 3u);
  EXPECT_EQ((*rows)[0].texts[kBlockCol], "有");
  EXPECT_EQ((*rows)[0].colours[kBlockCol], kScoreDownColour);
  EXPECT_EQ((*rows)[0].score, -1);
  EXPECT_EQ((*rows)[1].texts[kBlockCol], "无");
  EXPECT_FALSE((*rows)[1].colours[kBlockCol]);
  EXPECT_EQ((*rows)[2].texts[kBlockCol], "有");
  EXPECT_EQ((*rows)[0].texts[0], "1");
  EXPECT_EQ((*rows)[2].texts[0], "3");
  EXPECT_EQ((*rows)[2].texts[1], "丙");
  EXPECT_EQ((*rows)[2].texts[2], "600003");
}

TEST_F(StockScoringTest, TotalColourAtPlusAndMinusTwo) {
  db_.AddQlxwma("星", 0, 1);
  StockDetailRecord r;
  r.Buy[0].BuyAmount = 100;
  r.Amount = 1e9;
  EXPECT_EQ(Score(r).score, 1);
  EXPECT_FALSE(Score(r).colours[kScoreCol]);
  r.BuyNames[0] = "星";
  StockScoreRow two = Score(r);
  EXPECT_EQ(two.score, 2);
  EXPECT_EQ(two.texts[kScoreCol], "2");
  EXPECT_EQ(two.colours[kScoreCol], kScoreStrongColour);
  StockDetailRecord down;
  down.Sell[0].SellAmount = 700;
  down.Amount = 1e9;
  EXPECT_EQ(Score(down).score, -1);
  EXPECT_FALSE(Score(down).colours[kScoreCol]);
  down.SellNames[0] = "星";
  const StockScoreRow minus = Score(down);
  EXPECT_EQ(minus.score, -2);
  EXPECT_EQ(minus.texts[kScoreCol], "-2");
  EXPECT_EQ(minus.colours[kScoreCol], kScoreDownColour);
}

// ---- the day ---------------------------------------------------------------------------

TEST_F(StockScoringTest, ScoreDayEmptiesTheSuggestionFile) {
  db_.AddListing("2024-05-14", "600001", "甲", "r", 0, 1, 1, NoSeats(), NoSeats());
  WriteWholeFile(SuggestionFilePath(), "old lines\r\n");
  ASSERT_TRUE(scoring_.ScoreDay("2024-05-14"));
  EXPECT_TRUE(std::filesystem::exists(SuggestionFilePath()));
  EXPECT_EQ(ReadWholeFile(SuggestionFilePath()), "");
  EXPECT_TRUE(MessageBoxHook::Instance().Recorded().empty());
}

TEST_F(StockScoringTest, MissingFolderWarnsAndScoringGoesOn) {
  std::filesystem::remove_all(folder_.File("临时文件"));
  db_.AddListing("2024-05-14", "600001", "甲", "r", 0, 1, 1, NoSeats(), NoSeats());
  const auto rows = scoring_.ScoreDay("2024-05-14");
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows->size(), 1u);
  const auto boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "文件打开错误!");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(boxes[0].icon, MB_ICONWARNING);
}

TEST_F(StockScoringTest, UnreadableDayGivesNoResultAndLeavesTheFile) {
  WriteWholeFile(SuggestionFilePath(), "kept");
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  EXPECT_FALSE(scoring_.ScoreDay("2024-05-14"));
  EXPECT_EQ(ReadWholeFile(SuggestionFilePath()), "kept");
  // A day without rows is no failure: an empty list.
  TempProgramFolder::Options options;
  options.setGlobals = false;
  TempProgramFolder otherFolder{options};
  DbBuilder other(otherFolder.Path());
  CStockScoring fresh(other.Market(), clock_);
  const auto rows = fresh.ScoreDay("2024-05-14");
  ASSERT_TRUE(rows);
  EXPECT_TRUE(rows->empty());
}

TEST_F(StockScoringTest, StatementCountDoesNotGrowWithTheStocks) {
  for (int i = 0; i < 100; ++i) {
    const std::string code = std::to_string(600000 + i);
    FiveSeats buy;
    buy[0] = {"营业部" + std::to_string(i), 100.0 + i, 0};
    if (i < 10) db_.AddListing("2024-05-13", code, "股" + code, "r", 0, 1, 1e5, buy, NoSeats());
    db_.AddListing("2024-05-14", code, "股" + code, "r", 0, 1, 1e5, buy, NoSeats());
  }
  int statements = 0;
  db_.Market().SetStatementTrace([&statements](const std::string&) { ++statements; });
  ASSERT_EQ(scoring_.ScoreDay("2024-05-13")->size(), 10u);
  const int forTen = statements;
  statements = 0;
  ASSERT_EQ(scoring_.ScoreDay("2024-05-14")->size(), 100u);
  db_.Market().SetStatementTrace(nullptr);
  EXPECT_EQ(statements, forTen);
  EXPECT_LE(statements, 5);
}

// The scoring as a walk of one query per seat and per stock, kept here only to prove the
// cached scoring equal to it.
class ReferenceScoring {
 public:
  ReferenceScoring(CADODataBase& db, const IClock& clock) : db_(db), cutoff_(CutoffDay(clock, 30)) {}
  int HighIncome(const std::string& name) {
    CADORecordset rs(&db_);
    float level = 0;
    bool any = false;
    rs.Open("SELECT IncomeLevel FROM QLXWMA WHERE YYBName = ? ORDER BY rowid", {name});
    for (; !rs.IsEof(); rs.MoveNext(), any = true) rs.GetFieldValue(0, level);
    return any && level > 0.5f ? 1 : 0;
  }
  int Star(const std::string& name) {
    CADORecordset rs(&db_);
    int star = 0;
    bool any = false;
    rs.Open("SELECT IsSuperStarYYB FROM QLXWMA WHERE YYBName = ? ORDER BY rowid", {name});
    for (; !rs.IsEof(); rs.MoveNext(), any = true) rs.GetFieldValue(0, star);
    return any && star >= 1 ? 1 : 0;
  }
  bool Recent(const std::string& code) {
    CADORecordset rs(&db_);
    return rs.Open("SELECT 1 FROM DZJY WHERE StockCode = ? AND DZJY_Date >= ?", {code, cutoff_}) && !rs.IsEof();
  }
  // Score of criteria 4 to 6 only: the counts come from the per-seat queries.
  int FlagScore(const StockDetailRecord& r, std::string& starText, std::string& incomeText, bool& recent) {
    int sb = 0, ss = 0, hb = 0, hs = 0;
    for (int i = 0; i < 5; ++i) {
      sb += Star(r.BuyNames[i]);
      ss += Star(r.SellNames[i]);
      hb += HighIncome(r.BuyNames[i]);
      hs += HighIncome(r.SellNames[i]);
    }
    const double net = ComputeSeatTotals(r).net;
    int score = 0;
    auto group = [&](int b, int s, std::string& text) {
      text.clear();
      if (b >= 1 && net > 0) text = "1(" + std::to_string(b) + "/" + std::to_string(s) + ")", ++score;
      if (s >= 1 && net < 0) text = "-1(" + std::to_string(b) + "/" + std::to_string(s) + ")", --score;
      if (b >= 1 && s >= 1 && net > 0) ++score;
    };
    group(sb, ss, starText);
    group(hb, hs, incomeText);
    recent = Recent(r.StockCode);
    return score - (recent ? 1 : 0);
  }

 private:
  CADODataBase& db_;
  std::string cutoff_;
};

TEST_F(StockScoringTest, CachedScoringEqualsPerSeatQueries) {
  MarketShape shape;
  shape.tradingDays = 40;
  shape.listingsPerDay = 60;
  shape.branchCount = 400;
  shape.qlxwmaBranches = 150;
  shape.tradesPerDay = 20;
  shape.markedBranches = 0;
  shape.teams = 0;
  shape.firstYear = 2024;
  shape.firstMonth = 3;
  shape.firstDay = 25;  // the last days fall after the 30-day cutoff
  const GeneratedMarket market = GenerateMarket(db_, shape);
  db_.AddQlxwma(market.branches[0], 0.99, 1);  // a later row that flips the first branch
  db_.AddQlxwma(market.branches[0], 0.2, 0);

  ReferenceScoring reference(db_.Market(), clock_);
  int stars = 0, incomes = 0, recents = 0;
  for (const std::string& day : {market.days[5], market.days[20], market.days.back()}) {
    const auto rows = scoring_.ScoreDay(day);
    ASSERT_TRUE(rows);
    CADORecordset rs(&db_.Market());
    ASSERT_TRUE(rs.Open("SELECT " + StockDetailColumns() + " FROM StockInfo WHERE SB_Date = ? ORDER BY rowid", {day}));
    StockDetailReader reader(rs);
    StockDetailRecord record;
    std::size_t i = 0;
    for (; !rs.IsEof(); rs.MoveNext(), ++i) {
      reader.Read(record);
      ASSERT_LT(i, rows->size());
      const StockScoreRow& row = (*rows)[i];
      StockScoreRow withoutFlags = row;
      std::string starText, incomeText;
      bool recent = false;
      const int flagScore = reference.FlagScore(record, starText, incomeText, recent);
      EXPECT_EQ(row.texts[kStarCol], starText) << day << " " << record.StockCode;
      EXPECT_EQ(row.texts[kIncomeCol], incomeText) << day << " " << record.StockCode;
      EXPECT_EQ(row.texts[kBlockCol], recent ? "有" : "无");
      // The other criteria do not depend on the caches: scored without them they
      // differ from the full score by exactly the reference's flag score.
      CStockScoring bare(db_.Market(), clock_);
      EXPECT_EQ(row.score - bare.ScoreRecord(record, 0).score, flagScore) << day << " " << record.StockCode;
      stars += starText.empty() ? 0 : 1;
      incomes += incomeText.empty() ? 0 : 1;
      recents += recent ? 1 : 0;
    }
    EXPECT_EQ(i, rows->size());
  }
  // The generated data exercises every cached answer.
  EXPECT_GT(stars, 0);
  EXPECT_GT(incomes, 0);
  EXPECT_GT(recents, 0);
}

}  // namespace
