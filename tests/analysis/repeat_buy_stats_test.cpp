#include "analysis/repeat_buy_stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "analysis/branch_fold.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"

namespace {

constexpr const char* kToday = "2024-06-21";  // a Friday
// Fifteen weekdays, oldest first, ending on kToday.
const std::vector<std::string> kDays = {"2024-06-03", "2024-06-04", "2024-06-05", "2024-06-06", "2024-06-07",
                                        "2024-06-10", "2024-06-11", "2024-06-12", "2024-06-13", "2024-06-14",
                                        "2024-06-17", "2024-06-18", "2024-06-19", "2024-06-20", "2024-06-21"};

constexpr const char* kBranchA = "华泰证券股份有限公司深圳益田路证券营业部";
constexpr const char* kBranchB = "国泰君安证券股份有限公司上海江苏路证券营业部";

class RepeatBuyStatsTest : public ::testing::Test {
 protected:
  void SetUp() override { MessageBoxHook::Instance().TakeRecorded(); }

  // A listing with these buyers (seats 1 on) and sellers; the other seats hold names
  // seen nowhere else, and every seat its own amounts.
  void List(const std::string& day, const std::string& code, const std::string& name,
            const std::vector<std::string>& buyers, const std::vector<std::string>& sellers = {}) {
    FiveSeats buy, sell;
    for (int i = 0; i < 5; ++i) {
      buy[i] = {i < static_cast<int>(buyers.size()) ? buyers[i] : Filler(), 100.0 + ++amount_, 1};
      sell[i] = {i < static_cast<int>(sellers.size()) ? sellers[i] : Filler(), 2, 100.0 + ++amount_};
    }
    db_.AddListing(day, code, name, "", 1, 10, 1000, buy, sell);
  }
  std::string Filler() { return "一次营业部" + std::to_string(++filler_); }

  RepeatBuyStatsResult Run(int days) {
    return RunRepeatBuyStats(db_.Market(), kToday, days, totals_);
  }
  std::vector<RepeatBuySavedRow> Table() {
    std::vector<RepeatBuySavedRow> rows;
    CADORecordset rs(&db_.Market());
    EXPECT_TRUE(rs.Open("SELECT * FROM Buy2Times ORDER BY rowid"));
    for (; !rs.IsEof(); rs.MoveNext()) {
      RepeatBuySavedRow row;
      rs.GetFieldValue("YYBName", row.branch);
      rs.GetFieldValue("ShangBangCiShu_Buy", row.stocks);
      rs.GetFieldValue("Above2_Buy", row.repeats);
      rs.GetFieldValue("Percentage", row.percentage);
      rows.push_back(row);
    }
    return rows;
  }
  const RepeatBuySavedRow* Saved(const RepeatBuyStatsResult& result, const std::string& branch) {
    for (const RepeatBuySavedRow& row : result.saved) {
      if (row.branch == branch) return &row;
    }
    return nullptr;
  }
  static std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  BranchFold totals_;
  int amount_ = 0;
  int filler_ = 0;
};

}  // namespace

TEST_F(RepeatBuyStatsTest, ABranchOnDifferentStocksOnlyGetsNoRepeats) {
  for (int i = 0; i < 5; ++i) List(kDays[i * 2], "60000" + std::to_string(i), "股票" + std::to_string(i), {kBranchA});
  const RepeatBuyStatsResult result = Run(5);
  ASSERT_TRUE(result.walk.complete);
  EXPECT_EQ(result.saved, (std::vector<RepeatBuySavedRow>{{kBranchA, 5, 0, "0.00"}}));
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(Table(), result.saved);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(RepeatBuyStatsTest, StocksCountOverAllTenSeatsAndEveryDay) {
  // A on 600001 three times (once holding two seats of a row, once older than the
  // walk and once after today), on 600002 twice (once as a seller only), on 600003
  // once (a row where it buys and sells).
  db_.AddListing("2019-01-07", "600001", "旧名", "", 1, 10, 1000,
                 FiveSeats{{{"老营业部", 50, 1}, {kBranchA, 60, 2}, {}, {}, {}}}, FiveSeats{});
  List(kDays[13], "600001", "甲", {kBranchA, Filler(), kBranchA});
  List("2024-06-24", "600001", "甲", {Filler()}, {kBranchA});
  List(kDays[14], "600002", "乙", {kBranchA});
  List(kDays[12], "600002", "乙", {Filler()}, {Filler(), kBranchA});
  List(kDays[11], "600003", "丙", {kBranchA}, {Filler(), kBranchA});
  List(kDays[10], "600004", "丁", {kBranchB});  // B is a buyer only once: not examined

  const RepeatBuyStatsResult result = Run(5);
  ASSERT_TRUE(result.walk.complete);
  EXPECT_EQ(result.saved, (std::vector<RepeatBuySavedRow>{{kBranchA, 3, 2, "0.67"}}));
  EXPECT_EQ(Table(), result.saved);
}

TEST_F(RepeatBuyStatsTest, SevenListingsOfOneStockAreListedAndTracedSixAreNot) {
  for (int i = 0; i < 7; ++i) List(kDays[14 - i], "600001", i == 0 ? "新名称" : "旧名称", {kBranchA});
  for (int i = 0; i < 6; ++i) List(kDays[14 - i], "000002", "六次", {kBranchA, kBranchB});
  for (int i = 7; i < 14; ++i) List(kDays[14 - i], "300003", "B的股", {kBranchB});

  const RepeatBuyStatsResult result = Run(14);
  // A and B were buyers 13 times each; B's row was updated last, so A comes first.
  const std::vector<RepeatBuyListRow> expected = {{1, kBranchA, "新名称", "600001", 7},
                                                  {2, kBranchB, "B的股", "300003", 7}};
  EXPECT_EQ(result.rows, expected);
  ASSERT_EQ(result.saved.size(), 2u);
  EXPECT_EQ(result.saved[0], (RepeatBuySavedRow{kBranchA, 2, 2, "1.00"}));
  EXPECT_EQ(result.saved[1], (RepeatBuySavedRow{kBranchB, 2, 2, "1.00"}));

  // Widths count GBK bytes; "%-04d" pads on the right.
  std::string trace;
  for (const RepeatBuyListRow& row : expected) {
    const std::string branch = ToGbk(row.branch), name = ToGbk(row.stockName);
    trace += ToGbk("序号=") + std::to_string(row.number) + "   ,  " + branch + std::string(50 - branch.size(), ' ') +
             ",  " + name + std::string(10 - name.size(), ' ') + ",  " + row.stockCode + "    ,     7  \n";
  }
  EXPECT_EQ(result.trace, trace);
  EXPECT_EQ(folder_.ReadFile("TraceFile.txt"), trace);
}

TEST_F(RepeatBuyStatsTest, InstitutionsAreSkippedAndBranchesListedOnceEndTheWalk) {
  for (int i = 0; i < 4; ++i) List(kDays[14 - i], "60000" + std::to_string(i), "股", {"机构专用", "机构专用", kBranchA});
  List(kDays[9], "000001", "股", {kBranchB});
  List(kDays[8], "000002", "股", {"两次营业部"});
  List(kDays[7], "000003", "股", {"两次营业部"});
  const RepeatBuyStatsResult result = Run(7);
  // The institutions' seat leads the ranking (8 buys); a branch bought once is never examined.
  ASSERT_FALSE(totals_.Rows().empty());
  EXPECT_EQ(totals_.Rows().front().YYBName, "机构专用");
  std::vector<std::string> examined;
  for (const RepeatBuySavedRow& row : result.saved) examined.push_back(row.branch);
  EXPECT_EQ(examined, (std::vector<std::string>{kBranchA, "两次营业部"}));
  EXPECT_EQ(Saved(result, kBranchB), nullptr);
}

TEST_F(RepeatBuyStatsTest, TwoRunsLeaveOneRowPerBranch) {
  db_.AddBuy2Times("别的营业部", 9, 3, "0.33");
  db_.AddBuy2Times(kBranchA, 1, 1, "1.00");
  for (int i = 0; i < 3; ++i) List(kDays[14 - i], "600001", "甲", {kBranchA, kBranchB});
  Run(3);
  Run(3);
  const std::vector<RepeatBuySavedRow> table = Table();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0], (RepeatBuySavedRow{"别的营业部", 9, 3, "0.33"}));
  std::vector<std::string> names = {table[1].branch, table[2].branch};
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {kBranchA, kBranchB};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  for (int i = 1; i < 3; ++i) EXPECT_EQ(table[i].percentage, "1.00");
}

TEST_F(RepeatBuyStatsTest, AFailedWriteKeepsTheOldRowsTracesAndTells) {
  db_.AddBuy2Times(kBranchA, 1, 0, "0.00");
  for (int i = 0; i < 7; ++i) List(kDays[14 - i], "600001", "甲", {kBranchA, kBranchB});
  // Every insert fails, after the first branch's old row has been deleted.
  ASSERT_TRUE(db_.Market().Execute(
      "CREATE TRIGGER refuse BEFORE INSERT ON Buy2Times BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  const RepeatBuyStatsResult result = Run(7);
  EXPECT_TRUE(result.writeFailed);
  EXPECT_FALSE(result.queryFailed);
  EXPECT_NE(result.error.find("refused"), std::string::npos);
  EXPECT_EQ(Table(), (std::vector<RepeatBuySavedRow>{{kBranchA, 1, 0, "0.00"}}));
  EXPECT_EQ(result.rows.size(), 2u);  // the list is still filled
  const std::string trace = folder_.ReadFile("TraceFile.txt");
  EXPECT_EQ(trace, result.trace);
  EXPECT_TRUE(trace.ends_with(kRepeatBuyWriteFailedTrace));
  EXPECT_EQ(trace.substr(0, trace.size() - std::string(kRepeatBuyWriteFailedTrace).size()),
            FormatRepeatBuyTraceLine(result.rows[0]) + FormatRepeatBuyTraceLine(result.rows[1]));
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kRepeatBuyWriteFailedText);
  EXPECT_EQ(boxes[0].caption, "系统提示");
}

TEST_F(RepeatBuyStatsTest, FewerThanNDaysWriteNothingExactlyNDaysRank) {
  for (int i = 0; i < 3; ++i) List(kDays[14 - i], "600001", "甲", {kBranchA});
  RepeatBuyStatsResult result = Run(4);
  EXPECT_FALSE(result.walk.complete);
  EXPECT_EQ(result.walk.daysFound, 3);
  EXPECT_TRUE(result.saved.empty());
  EXPECT_TRUE(totals_.empty());
  EXPECT_TRUE(Table().empty());
  EXPECT_TRUE(Boxes().empty());

  result = Run(3);
  EXPECT_TRUE(result.walk.complete);
  EXPECT_EQ(Table(), (std::vector<RepeatBuySavedRow>{{kBranchA, 1, 1, "1.00"}}));
}

TEST_F(RepeatBuyStatsTest, NoDaysAskedGivesNothingAtOnce) {
  for (int i = 0; i < 3; ++i) List(kDays[14 - i], "600001", "甲", {kBranchA});
  const RepeatBuyStatsResult result = Run(0);
  EXPECT_TRUE(result.walk.complete);
  EXPECT_TRUE(result.saved.empty());
  EXPECT_TRUE(Table().empty());
}

TEST_F(RepeatBuyStatsTest, AFailedReadTellsAndWritesNothing) {
  List(kDays[14], "600001", "甲", {kBranchA});
  ASSERT_TRUE(db_.Market().Execute("ALTER TABLE StockInfo RENAME TO Gone"));
  const RepeatBuyStatsResult result = Run(1);
  EXPECT_TRUE(result.queryFailed);
  EXPECT_TRUE(result.saved.empty());
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.starts_with("数据库查询失败!"));
  EXPECT_FALSE(folder_.Exists("TraceFile.txt"));
}

TEST(RepeatBuyPercentageTest, IsAFractionWithTwoDecimalsAndNoStockGivesZero) {
  EXPECT_EQ(FormatRepeatBuyPercentage(2, 3), "0.67");
  EXPECT_EQ(FormatRepeatBuyPercentage(0, 5), "0.00");
  EXPECT_EQ(FormatRepeatBuyPercentage(4, 4), "1.00");
  EXPECT_EQ(FormatRepeatBuyPercentage(0, 0), "0.00");
}
