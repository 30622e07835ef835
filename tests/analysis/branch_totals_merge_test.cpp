#include "analysis/branch_totals_merge.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <tuple>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/market_generator.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/charset.h"
#include "storage/row_cursor.h"

namespace {

constexpr const char* kTrackerFile = "临时文件/追踪游资.txt";

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  return options;
}

TrackerLine Line(const std::string& code, const std::string& day) {
  TrackerLine line;
  line.text = code + " " + day;
  line.code = code;
  line.date = day;
  line.stockName = "股票" + code;
  return line;
}

// Five seats named prefix1..prefix5 with the given figures.
FiveSeats Seats(const std::string& prefix, double buy, double sell) {
  FiveSeats seats;
  for (int i = 0; i < 5; ++i) seats[i] = {prefix + std::to_string(i + 1), buy, sell};
  return seats;
}

std::string Spaces(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// The block header, written out by hand: every width counts GBK bytes.
std::string BlockHeaderUtf8() {
  return " \n合并数据：\n"
         " 序号  敢死队 营业部名称" + Spaces(43) + " 总买入" + Spaces(4) + "  总卖出" + Spaces(4) + "  总净买" +
         Spaces(4) + "  总买卖" + Spaces(4) + "  上榜次数" + Spaces(2) + "  买卖股票数量 \n";
}

class BranchTotalsMergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.OpenGlobals();
    g_TrackerBranchTotals.Clear();
  }
  void TearDown() override {
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    g_TrackerBranchTotals.Clear();
  }
  BranchMergeResult Merge(const std::vector<TrackerLine>& lines, const std::string& count) {
    BranchMarks marks;
    EXPECT_TRUE(marks.Load());
    return MergeBranchTotals(db_.Market(), lines, count, marks, totals_);
  }
  std::string FileUtf8() const { return FromGbk(folder_.ReadFile("临时文件/追踪游资.txt")); }
  static std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }

  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder db_{folder_.Path()};
  TrackerBranchTotals totals_;
};

}  // namespace

// ---- folding -----------------------------------------------------------------------

TEST_F(BranchTotalsMergeTest, AFoldSumsAmountsAndKeepsTheRowInPlace) {
  totals_.AddSeat("甲", "股票A", "600001", 100, 20, SeatSide::Buy);
  totals_.AddSeat("乙", "股票A", "600001", 5, 50, SeatSide::Sell);
  totals_.AddSeat("甲", "股票B", "600002", 30, 40, SeatSide::Sell);
  ASSERT_EQ(totals_.size(), 2u);
  const CBranchTotalsRow& first = totals_.Rows()[0];
  EXPECT_EQ(first.YYBName, "甲");
  EXPECT_EQ(first.nCount, 2);
  EXPECT_DOUBLE_EQ(first.TotalBuy, 130);
  EXPECT_DOUBLE_EQ(first.TotalSell, 60);
  EXPECT_DOUBLE_EQ(first.TotalBuySell, 190);
  EXPECT_DOUBLE_EQ(first.NetBuy, 70);
  EXPECT_EQ(totals_.StockNames(0), (std::vector<std::string>{"股票A", "股票B"}));
  EXPECT_EQ(totals_.Rows()[1].YYBName, "乙");
  EXPECT_EQ(totals_.Find("甲"), &totals_.Rows()[0]);
  EXPECT_EQ(totals_.Find("丙"), nullptr);
}

TEST_F(BranchTotalsMergeTest, EmptyNamesAreIgnoredNamesMatchExactlyAndStocksRepeatOnlyApart) {
  totals_.AddSeat("", "股票A", "600001", 100, 20, SeatSide::Buy);
  totals_.AddSeat("Abc", "股票A", "600001", 1, 1, SeatSide::Buy);
  for (const char* stock : {"A", "A", "B", "A"}) totals_.AddSeat("abc", stock, "", 1, 1, SeatSide::Buy);
  ASSERT_EQ(totals_.size(), 2u);
  EXPECT_EQ(totals_.StockNames(1), (std::vector<std::string>{"A", "B", "A"}));
}

TEST_F(BranchTotalsMergeTest, BigAmountsNeedMoreThan10ForANewRowAnd10ForAnExistingOne) {
  totals_.AddSeat("买方", "A", "", 10, 0, SeatSide::Buy);     // new row: 10 is not big
  totals_.AddSeat("卖方", "A", "", 0, 10, SeatSide::Sell);
  EXPECT_EQ(totals_.Rows()[0].BuyTimes, 0);
  EXPECT_EQ(totals_.Rows()[1].SellTimes, 0);
  totals_.AddSeat("买方", "A", "", 10, 0, SeatSide::Buy);     // existing row: 10 is big
  totals_.AddSeat("卖方", "A", "", 0, 10, SeatSide::Sell);
  totals_.AddSeat("买方", "A", "", 9.99, 50, SeatSide::Buy);  // a buying seat's sale is no big sell
  totals_.AddSeat("卖方", "A", "", 50, 9.99, SeatSide::Sell);
  EXPECT_EQ(totals_.Rows()[0].BuyTimes, 1);
  EXPECT_EQ(totals_.Rows()[0].SellTimes, 0);
  EXPECT_EQ(totals_.Rows()[1].SellTimes, 1);
  EXPECT_EQ(totals_.Rows()[1].BuyTimes, 0);
  totals_.AddSeat("新买方", "A", "", 10.01, 0, SeatSide::Buy);
  totals_.AddSeat("新卖方", "A", "", 0, 10.01, SeatSide::Sell);
  EXPECT_EQ(totals_.Find("新买方")->BuyTimes, 1);
  EXPECT_EQ(totals_.Find("新卖方")->SellTimes, 1);
}

// ---- sorting -----------------------------------------------------------------------

TEST_F(BranchTotalsMergeTest, SortsAreDescendingAndKeepTiesInOrder) {
  totals_.AddSeat("甲", "A", "", 10, 50, SeatSide::Buy);
  totals_.AddSeat("乙", "A", "", 30, 10, SeatSide::Buy);
  totals_.AddSeat("丙", "A", "", 10, 20, SeatSide::Buy);
  totals_.AddSeat("乙", "A", "", 0, 0, SeatSide::Buy);
  auto names = [&] {
    std::vector<std::string> out;
    for (const auto& row : totals_.Rows()) out.push_back(row.YYBName);
    return out;
  };
  totals_.SortByTimes();
  EXPECT_EQ(names(), (std::vector<std::string>{"乙", "甲", "丙"}));
  totals_.SortByTotalBuy();  // 甲 and 丙 tie at 10 and keep their order
  EXPECT_EQ(names(), (std::vector<std::string>{"乙", "甲", "丙"}));
  totals_.SortByTotalSell();
  EXPECT_EQ(names(), (std::vector<std::string>{"甲", "丙", "乙"}));
  totals_.SortByNet();
  EXPECT_EQ(names(), (std::vector<std::string>{"乙", "丙", "甲"}));
  // The name index follows the rows.
  totals_.AddSeat("甲", "B", "", 1, 0, SeatSide::Buy);
  EXPECT_EQ(totals_.Rows()[2].nCount, 2);
  EXPECT_EQ(totals_.Find("乙"), &totals_.Rows()[0]);
}

TEST_F(BranchTotalsMergeTest, HeaderColumnsChooseTheSort) {
  totals_.AddSeat("甲", "A", "", 10, 50, SeatSide::Buy);
  totals_.AddSeat("乙", "A", "", 30, 10, SeatSide::Buy);
  EXPECT_TRUE(SortBranchTotalsByColumn(totals_, 2));
  EXPECT_EQ(totals_.Rows()[0].YYBName, "乙");
  EXPECT_TRUE(SortBranchTotalsByColumn(totals_, 3));
  EXPECT_EQ(totals_.Rows()[0].YYBName, "甲");
  EXPECT_TRUE(SortBranchTotalsByColumn(totals_, 4));
  EXPECT_EQ(totals_.Rows()[0].YYBName, "乙");
  for (int column : {0, 1, 6, 7, 8, -1}) {
    totals_.SortByTotalSell();
    EXPECT_FALSE(SortBranchTotalsByColumn(totals_, column));
    EXPECT_EQ(totals_.Rows()[0].YYBName, "甲") << column;
  }
  totals_.AddSeat("乙", "A", "", 0, 0, SeatSide::Buy);
  EXPECT_TRUE(SortBranchTotalsByColumn(totals_, 5));
  EXPECT_EQ(totals_.Rows()[0].YYBName, "乙");
}

// ---- the view ----------------------------------------------------------------------

TEST_F(BranchTotalsMergeTest, RowsHoldFiguresColoursAndMarks) {
  db_.AddMark("甲营业部", 1, RGB(1, 2, 3), 1, 0, "", "顶级游资", "");
  totals_.AddSeat("甲营业部", "A", "", 100.456, 20, SeatSide::Buy);
  totals_.AddSeat("乙营业部", "A", "", 0.0000001, 0, SeatSide::Buy);
  totals_.AddSeat("丙营业部", "A", "", 0.0000003, 0, SeatSide::Buy);
  BranchMarks marks;
  ASSERT_TRUE(marks.Load());
  const BranchTotalsView view = BuildBranchTotalsView(totals_, marks);
  ASSERT_EQ(view.rows.size(), 5u);
  EXPECT_EQ(view.shownBranches, 3u);
  const auto& first = view.rows[0];
  EXPECT_EQ(first[0].text, "1");
  EXPECT_EQ(first[1].text, "甲营业部");
  EXPECT_EQ(first[1].colour, RGB(1, 2, 3));
  EXPECT_EQ(first[2].text, "100.46");
  EXPECT_EQ(first[3].text, "20.00");
  EXPECT_EQ(first[4].text, "80.46");
  EXPECT_EQ(first[4].colour, RGB(200, 0, 0));
  EXPECT_EQ(first[5].text, "1(1/0)");
  EXPECT_EQ(first[6].text, "");
  EXPECT_EQ(first[7].text, "顶级游资");
  EXPECT_EQ(first[7].colour, RGB(1, 2, 3));
  EXPECT_EQ(view.rows[1][1].colour, RGB(255, 255, 255));
  EXPECT_EQ(view.rows[1][7].text, "");
  EXPECT_EQ(view.rows[1][4].colour, RGB(0, 200, 0));  // 0.0000001 is not above 0.0000001
  EXPECT_EQ(view.rows[2][4].colour, RGB(200, 0, 0));
  EXPECT_EQ(view.rows[3][0].text, "");
  EXPECT_EQ(view.rows[3][1].text, "---------------------");
  const auto& sums = view.rows[4];
  EXPECT_EQ(sums[1].text, "总买入  总卖出  总净买入 (单位: 万元)");
  EXPECT_EQ(sums[2].text, "100.46");
  EXPECT_EQ(sums[2].colour, RGB(200, 0, 0));
  EXPECT_EQ(sums[3].text, "20.00");
  EXPECT_EQ(sums[3].colour, RGB(0, 180, 0));
  EXPECT_EQ(sums[4].text, "80.46");
  EXPECT_EQ(sums[4].colour, RGB(255, 0, 0));
}

TEST_F(BranchTotalsMergeTest, ANegativeDifferenceOfTheSumsIsGreen) {
  totals_.AddSeat("甲", "A", "", 1, 2, SeatSide::Buy);
  const BranchTotalsView view = BuildBranchTotalsView(totals_, BranchMarks{});
  EXPECT_EQ(view.rows.back()[4].text, "-1.00");
  EXPECT_EQ(view.rows.back()[4].colour, RGB(0, 233, 0));
}

TEST_F(BranchTotalsMergeTest, Only89BranchesAreShownSummedAndWritten) {
  for (int i = 0; i < 120; ++i) totals_.AddSeat("营业部" + std::to_string(i), "A", "", i + 1, 1, SeatSide::Buy);
  const BranchTotalsView view = ShowBranchTotals(totals_, BranchMarks{});
  EXPECT_EQ(view.shownBranches, 89u);
  ASSERT_EQ(view.rows.size(), 91u);
  EXPECT_EQ(view.rows[88][1].text, "营业部88");
  EXPECT_DOUBLE_EQ(view.SumBuy, 89.0 * 90 / 2);
  EXPECT_DOUBLE_EQ(view.SumSell, 89);
  EXPECT_EQ(view.rows[90][2].text, "4005.00");
  const std::string file = FileUtf8();
  EXPECT_NE(file.find(" 营业部88 "), std::string::npos);
  EXPECT_EQ(file.find(" 营业部89 "), std::string::npos);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 3 + 89);
}

TEST_F(BranchTotalsMergeTest, TheFileBlockIsByteExact) {
  totals_.AddSeat("甲营业部", "A", "", 100, 0, SeatSide::Buy);
  totals_.AddSeat("机构专用", "A", "", 12.5, 3000.25, SeatSide::Sell);
  const std::string expected = BlockHeaderUtf8() +
      " 1   " + " 甲营业部" + Spaces(52) + " " + " 100.00" + Spaces(4) + " " + " 0.00" + Spaces(6) + " " +
      " 100.00" + Spaces(4) + " " + "  " + Spaces(9) + " " + " 1(1/0)" + Spaces(4) + " " + "\n" +
      " 2   " + " 机构专用" + Spaces(52) + " " + " 12.50" + Spaces(5) + " " + " 3000.25" + Spaces(3) + " " +
      " -2987.75" + Spaces(2) + " " + "  " + Spaces(9) + " " + " 1(0/1)" + Spaces(4) + " " + "\n";
  EXPECT_EQ(BranchTotalsFileBlock(totals_), ToGbk(expected));
  ShowBranchTotals(totals_, BranchMarks{});
  ShowBranchTotals(totals_, BranchMarks{});
  EXPECT_EQ(folder_.ReadFile("临时文件/追踪游资.txt"), ToGbk(expected + expected));
}

TEST_F(BranchTotalsMergeTest, AShowingAppendsToTheFileInPlace) {
  // The file of a long search is large: a showing adds its block without rewriting it.
  folder_.WriteFile(kTrackerFile, std::string(4096, 'x'));
  struct stat before {}, after {};
  ASSERT_EQ(::stat(folder_.File(kTrackerFile).c_str(), &before), 0);
  totals_.AddSeat("甲", "A", "", 1, 2, SeatSide::Buy);
  ShowBranchTotals(totals_, BranchMarks{});
  ASSERT_EQ(::stat(folder_.File(kTrackerFile).c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(folder_.ReadFile(kTrackerFile), std::string(4096, 'x') + BranchTotalsFileBlock(totals_));
}

TEST_F(BranchTotalsMergeTest, AnUnwritableFileIsReportedAndTheListStillFilled) {
  TempProgramFolder bare;  // no "临时文件": the append fails
  totals_.AddSeat("甲", "A", "", 1, 2, SeatSide::Buy);
  const BranchTotalsView view = ShowBranchTotals(totals_, BranchMarks{});
  EXPECT_EQ(view.rows.size(), 3u);
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "文件打开错误!");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(boxes[0].icon, MB_ICONWARNING);
  EXPECT_FALSE(bare.Exists("临时文件/追踪游资.txt"));
}

// ---- the merge ---------------------------------------------------------------------

TEST_F(BranchTotalsMergeTest, AnEmptyOrZeroCountMergesNothing) {
  db_.AddListing("2017-02-06", "600001", "股票甲", "", 1, 10, 1000, Seats("甲", 100, 1), Seats("乙", 1, 100));
  const std::vector<TrackerLine> lines = {Line("600001", "2017-02-06")};
  totals_.AddSeat("旧", "A", "", 1, 1, SeatSide::Buy);
  std::string expected;
  for (const char* count : {"", "0", "abc", "-3"}) {
    const BranchMergeResult result = Merge(lines, count);
    EXPECT_EQ(result.mergedLines, 0) << count;
    EXPECT_TRUE(totals_.empty()) << count;
    ASSERT_EQ(result.view.rows.size(), 2u) << count;
    EXPECT_EQ(result.view.rows[1][2].text, "0.00");
    EXPECT_EQ(result.view.rows[1][3].text, "0.00");
    EXPECT_EQ(result.view.rows[1][4].text, "0.00");
    expected += BlockHeaderUtf8();
    EXPECT_EQ(FileUtf8(), expected) << count;
  }
}

TEST_F(BranchTotalsMergeTest, ACountAboveTheLineCountMergesEveryLine) {
  db_.AddListing("2017-02-06", "600001", "股票甲", "", 1, 10, 1000, Seats("甲", 100, 1), Seats("乙", 1, 100));
  db_.AddListing("2017-02-07", "600002", "股票乙", "", 1, 10, 1000, Seats("甲", 50, 1), Seats("丙", 1, 100));
  db_.AddListing("2017-02-08", "600003", "股票丙", "", 1, 10, 1000, Seats("丁", 50, 1), Seats("戊", 1, 100));
  const std::vector<TrackerLine> lines = {Line("600001", "2017-02-06"), Line("600002", "2017-02-07"),
                                          Line("600003", "2017-02-08")};
  BranchMergeResult result = Merge(lines, "2");
  EXPECT_EQ(result.mergedLines, 2);
  EXPECT_EQ(totals_.size(), 15u);  // 甲1-5 twice, 乙1-5, 丙1-5
  EXPECT_EQ(totals_.Find("丁1"), nullptr);
  // Sorted by times: the 甲 branches of both listings first.
  EXPECT_EQ(totals_.Rows()[0].YYBName, "甲1");
  EXPECT_EQ(totals_.Rows()[0].nCount, 2);
  EXPECT_EQ(totals_.StockNames(0), (std::vector<std::string>{"股票甲", "股票乙"}));
  EXPECT_EQ(result.view.rows[0][5].text, "2(2/0)");

  result = Merge(lines, " 99");
  EXPECT_EQ(result.mergedLines, 3);
  EXPECT_EQ(totals_.size(), 25u);
}

TEST_F(BranchTotalsMergeTest, ABranchOnBothHalvesCountsTwoTimesAndItsStockOnce) {
  FiveSeats buy = Seats("买", 10, 1);
  FiveSeats sell = Seats("卖", 1, 10);
  buy[1] = {"两边营业部", 300, 200};
  sell[3] = {"两边营业部", 300, 200};
  db_.AddListing("2017-02-06", "600001", "股票甲", "", 1, 10, 1000, buy, sell);
  Merge({Line("600001", "2017-02-06")}, "1");
  const CBranchTotalsRow* both = totals_.Find("两边营业部");
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both->nCount, 2);
  EXPECT_EQ(both->BuyTimes, 1);
  EXPECT_EQ(both->SellTimes, 1);
  EXPECT_DOUBLE_EQ(both->TotalBuy, 600);
  EXPECT_EQ(totals_.StockNames(0), std::vector<std::string>{"股票甲"});
  EXPECT_EQ(totals_.Rows()[0].YYBName, "两边营业部");
}

TEST_F(BranchTotalsMergeTest, LoadsAfterAMergeGrowTheTotalsAndAHeaderClickShowsThem) {
  db_.AddListing("2017-02-06", "600001", "股票甲", "", 1, 10, 1000, Seats("甲", 100, 1), Seats("乙", 1, 100));
  db_.AddListing("2017-02-07", "600002", "股票乙", "", 1, 10, 1000, Seats("丙", 5000, 1), Seats("乙", 1, 100));
  Merge({Line("600001", "2017-02-06")}, "1");
  ASSERT_EQ(totals_.size(), 10u);
  StockDayDetail detail;
  ASSERT_TRUE(LoadStockDay(db_.Market(), "600002", "2017-02-07", detail, totals_));
  EXPECT_EQ(totals_.size(), 15u);
  ASSERT_TRUE(SortBranchTotalsByColumn(totals_, 2));
  const BranchTotalsView view = ShowBranchTotals(totals_, BranchMarks{});
  EXPECT_EQ(view.rows[0][1].text, "丙1");
  const std::string file = FileUtf8();
  EXPECT_EQ(file.find(BlockHeaderUtf8()), 0u);
  EXPECT_NE(file.find(BlockHeaderUtf8(), 1), std::string::npos);  // a second block
}

TEST_F(BranchTotalsMergeTest, AFailingQueryIsReportedOnceAndTheMergeGoesOn) {
  db_.AddListing("2017-02-06", "600001", "股票甲", "", 1, 10, 1000, Seats("甲", 100, 1), Seats("乙", 1, 100));
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  const BranchMergeResult result =
      Merge({Line("600001", "2017-02-06"), Line("600001", "2017-02-06")}, "2");
  EXPECT_TRUE(result.queryFailed);
  EXPECT_EQ(result.mergedLines, 0);
  EXPECT_EQ(result.view.rows.size(), 2u);
  EXPECT_EQ(FileUtf8(), BlockHeaderUtf8());
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("数据库查询失败!\n", 0), 0u) << boxes[0].text;
  EXPECT_EQ(boxes[0].text.find("StockInfo"), std::string::npos);  // the library's text is logged
}

TEST_F(BranchTotalsMergeTest, TheMergeFoldsLikeLoadingEachLinesStockDay) {
  const GeneratedMarket market = GenerateMarket(db_, CrowdedMarketShape(11, 20));
  // A stock listed twice on one day: both rows fold, in rowid order, for each of its lines.
  db_.AddListing(market.days.back(), "688888", "股票甲", "", 1, 10, 1000, Seats("甲", 100, 1), Seats("乙", 1, 100));
  ASSERT_TRUE(db_.Market().Execute("UPDATE StockInfo SET StockInfo_ID = 'first' WHERE StockCode = '688888'"));
  db_.AddListing(market.days.back(), "688888", "股票甲", "", 1, 10, 1000, Seats("乙", 7, 3), Seats("甲", 2, 10));
  std::vector<TrackerLine> lines = {Line("999999", market.days.front())};  // no row: merged, adds nothing
  RowCursor rows(db_.Market(), "SELECT StockCode, SB_Date FROM StockInfo ORDER BY SB_Date DESC, rowid");
  while (rows.Next()) lines.push_back(Line(std::string(rows.Text(0)), std::string(rows.Text(1))));
  TrackerBranchTotals expected;
  StockDayDetail detail;
  for (const TrackerLine& line : lines) ASSERT_TRUE(LoadStockDay(db_.Market(), line.code, line.date, detail, expected));
  expected.SortByTimes();

  // Read in 1 to 7 stretches side by side, folded in line order.
  for (const unsigned readers : {1u, 2u, 3u, 7u}) {
    std::vector<StockDayKey> keys;
    for (const TrackerLine& line : lines) keys.push_back({line.code, line.date});
    EXPECT_EQ(MergeBranchTotals(db_.Market(), keys, std::to_string(lines.size()), BranchMarks{}, totals_, readers)
                  .mergedLines,
              static_cast<int>(lines.size()));
    ASSERT_EQ(totals_.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const CBranchTotalsRow &row = totals_.Rows()[i], &want = expected.Rows()[i];
      EXPECT_EQ(std::tie(row.YYBName, row.nCount, row.BuyTimes, row.SellTimes, row.TotalBuy, row.TotalSell, row.NetBuy),
                std::tie(want.YYBName, want.nCount, want.BuyTimes, want.SellTimes, want.TotalBuy, want.TotalSell,
                         want.NetBuy));
      EXPECT_EQ(totals_.StockNames(i), expected.StockNames(i)) << readers << " " << i;
    }
  }
}
