// The stock activity ranking: the fold by code, the walk's ends, the sorts, the rows
// and file of the showing, and the day totals.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "analysis/stock_activity.h"
#include "platform/message_box.h"
#include "storage/charset.h"

namespace {

SeatFixture Seat(const std::string& name, double buy, double sell) { return {name, buy, sell}; }
const FiveSeats kNoSeats{};

class StockActivityTest : public ::testing::Test {
 protected:
  void TearDown() override { MessageBoxHook::Instance().TakeRecorded(); }

  // A listing whose Buy1 carries (buy, sell) and whose other seats are empty.
  void List(const std::string& day, const std::string& code, double buy, double sell) {
    db_.AddListing(day, code, "股票" + code, "", 1, 10, 1000, {Seat("甲营业部", buy, sell)}, kNoSeats);
  }
  std::vector<std::string> Codes(const std::vector<CStockDayRow>& rows) {
    std::vector<std::string> codes;
    for (const CStockDayRow& r : rows) codes.push_back(r.StockCode);
    return codes;
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
};

CStockDayRow Row(const std::string& code, int count, double buy, double sell) {
  CStockDayRow row;
  row.StockCode = code;
  row.StockName = "股票" + code;
  row.nCount = count;
  row.TotalBuy = buy;
  row.TotalSell = sell;
  row.TotalBuySell = buy + sell;
  row.NetBuy = buy - sell;
  return row;
}

}  // namespace

TEST_F(StockActivityTest, AStockThatGrowsMovesToTheEndAndKeepsItsFirstName) {
  StockActivityFold fold;
  fold.AddStockListing("甲", "600001", 10, 1);
  fold.AddStockListing("乙", "600002", 20, 2);
  fold.AddStockListing("甲改", "600001", 5, 4);
  fold.AddStockListing("丙", "600003", 1, 1);
  const std::vector<CStockDayRow> rows = fold.Rows();
  EXPECT_EQ(Codes(rows), (std::vector<std::string>{"600002", "600001", "600003"}));
  EXPECT_EQ(rows[1].StockName, "甲");
  EXPECT_EQ(rows[1].nCount, 2);
  EXPECT_DOUBLE_EQ(rows[1].TotalBuy, 15);
  EXPECT_DOUBLE_EQ(rows[1].TotalSell, 5);
  EXPECT_DOUBLE_EQ(rows[1].TotalBuySell, 20);
  EXPECT_DOUBLE_EQ(rows[1].NetBuy, 10);
  fold.Clear();
  EXPECT_TRUE(fold.Rows().empty());
}

TEST_F(StockActivityTest, TheTenSeatsAreSummedAndABranchOnBothSidesCountsTwice) {
  db_.AddListing("2024-06-07", "600001", "股票", "", 1, 10, 1000,
                 {Seat("甲", 100, 10), Seat("乙", 50, 0), Seat("", 0, 0), Seat("", 0, 0), Seat("丙", 1.5, 0)},
                 {Seat("甲", 100, 10), Seat("丁", 0, 70), Seat("", 0, 0), Seat("", 0, 0), Seat("戊", 2, 3)});
  // Listed twice on one day: two listings.
  db_.AddListing("2024-06-07", "600002", "股票", "", 1, 10, 1000, {Seat("甲", 5, 0)}, kNoSeats);
  ASSERT_TRUE(db_.Market().Execute("UPDATE StockInfo SET StockCode='600001' WHERE StockCode='600002'"));
  StockActivityFold fold;
  std::string error;
  ASSERT_TRUE(LoadDayStocks(db_.Market(), "2024-06-07", fold, error));
  const std::vector<CStockDayRow> rows = fold.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].nCount, 2);
  EXPECT_DOUBLE_EQ(rows[0].TotalBuy, 100 + 50 + 1.5 + 100 + 2 + 5);
  EXPECT_DOUBLE_EQ(rows[0].TotalSell, 10 + 10 + 70 + 3);
  EXPECT_DOUBLE_EQ(rows[0].NetBuy, rows[0].TotalBuy - rows[0].TotalSell);
}

TEST_F(StockActivityTest, OneDayOnASundayRanksFridaySortedByNet) {
  List("2024-06-08", "600009", 900, 0);  // Saturday: never counted
  List("2024-06-07", "600001", 10, 0);
  List("2024-06-07", "600002", 300, 0);
  List("2024-06-07", "600003", 50, 80);
  List("2024-06-06", "600004", 999, 0);
  const StockRankingResult result = RankStockActivity(db_.Market(), "2024-06-09", 1);
  ASSERT_EQ(result.status, StockRankingStatus::Ranked);
  EXPECT_EQ(result.walk.days, (std::vector<std::string>{"2024-06-07"}));
  EXPECT_EQ(Codes(result.rows), (std::vector<std::string>{"600002", "600001", "600003"}));
}

TEST_F(StockActivityTest, SeveralDaysSortByTimesListedKeepingTheOrderOfLastUpdate) {
  List("2024-06-07", "600001", 10, 0);
  List("2024-06-07", "600002", 300, 0);
  List("2024-06-06", "600003", 50, 0);
  List("2024-06-06", "600001", 1, 0);
  List("2024-06-05", "600002", 2, 0);
  const StockRankingResult result = RankStockActivity(db_.Market(), "2024-06-07", 3);
  ASSERT_EQ(result.status, StockRankingStatus::Ranked);
  // Folded newest day first: 600002 was updated last, so it leads the tie of two.
  EXPECT_EQ(Codes(result.rows), (std::vector<std::string>{"600001", "600002", "600003"}));
  EXPECT_EQ(result.rows[0].nCount, 2);
  EXPECT_EQ(result.rows[2].nCount, 1);
}

TEST_F(StockActivityTest, FewerDaysThanAskedShowNothingButExactlyNDaysRank) {
  List("2024-06-07", "600001", 10, 0);
  List("2024-06-06", "600001", 10, 0);
  List("2024-06-05", "600002", 10, 0);
  const StockRankingResult five = RankStockActivity(db_.Market(), "2024-06-07", 5);
  EXPECT_EQ(five.status, StockRankingStatus::NotEnoughDays);
  EXPECT_TRUE(five.rows.empty());
  EXPECT_EQ(five.walk.daysFound, 3);
  const StockRankingResult three = RankStockActivity(db_.Market(), "2024-06-07", 3);
  ASSERT_EQ(three.status, StockRankingStatus::Ranked);
  EXPECT_EQ(Codes(three.rows), (std::vector<std::string>{"600001", "600002"}));
  for (int days : {0, -4}) {
    const StockRankingResult none = RankStockActivity(db_.Market(), "2024-06-07", days);
    EXPECT_EQ(none.status, StockRankingStatus::Ranked);
    EXPECT_TRUE(none.rows.empty());
  }
}

TEST_F(StockActivityTest, HeaderColumnsThreeToSevenSortDescendingAndStably) {
  std::vector<CStockDayRow> rows = {Row("1", 1, 10, 50), Row("2", 3, 40, 0), Row("3", 3, 5, 5), Row("4", 2, 90, 95)};
  SortStockActivity(rows, kStockSortByTimes);
  EXPECT_EQ(Codes(rows), (std::vector<std::string>{"2", "3", "4", "1"}));
  SortStockActivity(rows, kStockSortByTotalBuy);
  EXPECT_EQ(Codes(rows), (std::vector<std::string>{"4", "2", "1", "3"}));
  SortStockActivity(rows, kStockSortByTotalSell);
  EXPECT_EQ(Codes(rows), (std::vector<std::string>{"4", "1", "3", "2"}));
  SortStockActivity(rows, kStockSortByNet);
  EXPECT_EQ(Codes(rows), (std::vector<std::string>{"2", "3", "4", "1"}));
  SortStockActivity(rows, kStockSortByBuySell);
  EXPECT_EQ(Codes(rows), (std::vector<std::string>{"4", "1", "2", "3"}));
  for (int column : {0, 2, 8}) {
    SortStockActivity(rows, column);
    EXPECT_EQ(Codes(rows), (std::vector<std::string>{"4", "1", "2", "3"}));
  }
}

TEST_F(StockActivityTest, TheShowingHasAtMost89RowsTruncatedAmountsAndTheNetColour) {
  std::vector<CStockDayRow> rows;
  for (int i = 0; i < 95; ++i) rows.push_back(Row(std::to_string(600000 + i), 2, 12.9, 12.9 - 0.0000001 * (i % 3)));
  rows[0] = Row("600100", 7, 3.2, 6.9);
  const StockRankingView view = BuildStockRankingView(rows);
  ASSERT_EQ(view.rows.size(), 89u);
  EXPECT_EQ(view.rows[0].cells, (std::array<std::string, 8>{"1", "600100", "股票600100", "7", "3", "6", "-3", "10"}));
  EXPECT_EQ(view.rows[0].netColour, RGB(0, 200, 0));
  EXPECT_EQ(view.rows[3].netColour, RGB(0, 200, 0));  // net 0
  EXPECT_EQ(view.rows[88].cells[0], "89");
  // A net of 2e-7 is above the 1e-7 threshold.
  EXPECT_EQ(MakeStockRankingRow(0, Row("1", 1, 0.0000002, 0)).netColour, RGB(200, 0, 0));
  EXPECT_EQ(MakeStockRankingRow(0, Row("1", 1, 0.0000001, 0)).netColour, RGB(0, 200, 0));
}

TEST_F(StockActivityTest, TheFileIsGbkWithTheColumnWidthsInBytes) {
  CStockDayRow row = Row("600001", 12, 1234.9, 34.5);
  row.StockName = "浦发银行";
  const StockRankingView view = BuildStockRankingView({row});
  const std::string expected =
      " 序号  股票代码    股票名称    上榜次数    总买入      总卖出      总净买      总买卖    \n"
      " 1     600001      浦发银行    12          1234        34          1200        1269       \n";
  EXPECT_EQ(view.fileBytes, ToGbk(expected));
  ASSERT_TRUE(WriteStockRankingFile(view.fileBytes));
  EXPECT_EQ(folder_.ReadFile("个股排行榜.txt"), ToGbk(expected));
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());

  // A file that cannot be replaced: the message, and false.
  std::filesystem::remove(folder_.File("个股排行榜.txt"));
  std::filesystem::create_directories(folder_.File("个股排行榜.txt") + "/x");
  EXPECT_FALSE(WriteStockRankingFile(view.fileBytes));
  const std::vector<RecordedMessageBox> boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "文件打开错误!");
  EXPECT_EQ(boxes[0].caption, "系统提示");
}

TEST_F(StockActivityTest, DayTotalsAreShownIn100MillionsWithTheNetColour) {
  TotalsFixture t;
  t.day = "2024-06-07";
  t.todayCount = 57;
  t.todayBuy = 123456.7, t.todaySell = 23456.7, t.todayNet = 100000, t.todayTotal = 146913.4;
  t.youziCount = 40, t.youziNet = 0;
  t.jigouCount = 3, t.jigouBuy = 5, t.jigouSell = 15, t.jigouNet = -10, t.jigouTotal = 20;
  db_.AddTotals(t);
  const DayTotalsResult found = ShowDayTotals(db_.Market(), "2024-06-07");
  ASSERT_EQ(found.status, DayTotalsStatus::Found);
  EXPECT_EQ(found.totals.groups[0].texts, (std::array<std::string, 5>{"57", "12.346", "2.346", "10.000", "14.691"}));
  EXPECT_EQ(found.totals.groups[0].netColour, RGB(255, 0, 0));
  EXPECT_EQ(found.totals.groups[1].texts[0], "40");
  EXPECT_EQ(found.totals.groups[1].netColour, RGB(255, 0, 0));  // a net of 0
  EXPECT_EQ(found.totals.groups[2].texts, (std::array<std::string, 5>{"3", "0.001", "0.002", "-0.001", "0.002"}));
  EXPECT_EQ(found.totals.groups[2].netColour, RGB(0, 255, 0));
  EXPECT_EQ(ShowDayTotals(db_.Market(), "2024-06-06").status, DayTotalsStatus::NoRow);
}

TEST_F(StockActivityTest, RecentDaysAreTheLatestNewestFirst) {
  for (int d = 1; d <= 22; ++d) {
    TotalsFixture t;
    t.day = "2024-05-" + std::string(d < 10 ? "0" : "") + std::to_string(d);
    t.todayCount = d;
    t.todayTotal = 15000 * d;
    t.todayBuy = 10000 * d + 500;
    t.todaySell = 4990;
    t.todayNet = d % 2 ? 0.0005 : -20000;
    db_.AddTotals(t);
  }
  const RecentDaysResult recent = ShowRecentDays(db_.Market(), 20);
  ASSERT_FALSE(recent.failed);
  ASSERT_EQ(recent.rows.size(), 20u);
  EXPECT_EQ(recent.rows[0].cells, (std::array<std::string, 6>{"2024-05-22", "22", "33.0", "22.1", "0.5", "-2.0"}));
  EXPECT_EQ(recent.rows[0].netColour, RGB(0, 200, 0));
  EXPECT_EQ(recent.rows[1].cells[0], "2024-05-21");
  EXPECT_EQ(recent.rows[1].cells[5], "0.0");
  EXPECT_EQ(recent.rows[1].netColour, RGB(0, 200, 0));  // 0.00000005 after the division
  EXPECT_EQ(recent.rows[19].cells[0], "2024-05-03");
}

TEST_F(StockActivityTest, TheLatestWeekdayAndTheComboChoices) {
  EXPECT_EQ(LatestWeekday("2024-06-09"), "2024-06-07");
  EXPECT_EQ(LatestWeekday("2024-06-08"), "2024-06-07");
  EXPECT_EQ(LatestWeekday("2024-06-10"), "2024-06-10");
  EXPECT_EQ(DaysOfChoice(0), 1);
  EXPECT_EQ(DaysOfChoice(10), 360);
  EXPECT_EQ(DaysOfChoice(11), 1);
  EXPECT_STREQ(kDayChoiceTexts[5], " 20日");
}

TEST_F(StockActivityTest, AFailedReadIsNoRankingAndNoTotals) {
  List("2024-06-07", "600001", 10, 0);
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE TotalBuySell"));
  EXPECT_EQ(ShowDayTotals(db_.Market(), "2024-06-07").status, DayTotalsStatus::QueryFailed);
  const RecentDaysResult recent = ShowRecentDays(db_.Market(), 20);
  EXPECT_TRUE(recent.failed);
  EXPECT_FALSE(recent.error.empty());
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  const StockRankingResult ranking = RankStockActivity(db_.Market(), "2024-06-07", 2);
  EXPECT_EQ(ranking.status, StockRankingStatus::QueryFailed);
  EXPECT_TRUE(ranking.rows.empty());
  EXPECT_FALSE(ranking.error.empty());
}
