// The branch ranking: folding days, the walk's edges, the big buyers, the view's cells
// and colours and the byte-exact file.
#include "analysis/branch_ranking.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "records/branch_marks.h"
#include "storage/charset.h"
#include "storage/day_range.h"

namespace {

SeatFixture None() { return {"", 0, 0}; }

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options o;
  o.withExportFolder = true;
  return o;
}

std::vector<std::string> Names(const BranchFold& fold) {
  std::vector<std::string> names;
  for (const CBranchTotalsRow& row : fold.Rows()) names.push_back(row.YYBName);
  return names;
}

class BranchRankingTest : public testing::Test {
 protected:
  void SetUp() override { MessageBoxHook::Instance().StartRecording(); }
  void TearDown() override { MessageBoxHook::Instance().TakeRecorded(); }

  // One listing with the given buy seats (the rest empty) and sell seats.
  void Listing(const std::string& day, const std::string& code, const FiveSeats& buy, const FiveSeats& sell = {},
               const std::string& name = "") {
    db_.AddListing(day, code, name.empty() ? "股" + code : name, "reason", 1.0, 10.0, 1000, buy, sell);
  }

  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder db_{folder_.Path()};
  BranchFold totals_;
};

// ---- the fold over the stored rows ----

TEST_F(BranchRankingTest, EqualPairsOnBothHalvesAndOnTheNextStockCountOnce) {
  Listing("2024-05-15", "000001", {{{"甲", 10, 0}, {"乙", 300, 100}, None(), None(), None()}},
          {{None(), None(), None(), {"乙", 300, 100}, None()}});
  Listing("2024-05-15", "000002", {{{"乙", 300, 100}, None(), None(), None(), None()}});
  Listing("2024-05-15", "000003", {{{"乙", 300, 50}, None(), None(), None(), None()}});
  std::string error;
  ASSERT_TRUE(LoadDaySeats(db_.Market(), "2024-05-15", totals_, error));
  const CBranchTotalsRow& row = *totals_.Find("乙");
  EXPECT_EQ(row.nCount, 2);
  EXPECT_EQ(row.TotalBuy, 600);
  EXPECT_EQ(row.TotalSell, 150);
  EXPECT_EQ(row.StockNames, (std::vector<std::string>{"股000001", "股000003"}));
  EXPECT_EQ(Names(totals_), (std::vector<std::string>{"甲", "乙"}));
}

TEST_F(BranchRankingTest, AverageCountsOnlyBigListingsAndStocksCountABA) {
  Listing("2024-05-15", "000001", {{{"甲", 100, 50}, None(), None(), None(), None()}}, {}, "A");
  Listing("2024-05-15", "000002", {{{"甲", 300, 0}, None(), None(), None(), None()}}, {}, "B");
  Listing("2024-05-15", "000003", {{{"甲", 250, 250}, None(), None(), None(), None()}}, {}, "A");
  const BranchRankingResult result = RankDay(db_.Market(), "2024-05-15", totals_);
  ASSERT_EQ(result.status, RankingStatus::Ranked);
  const BranchRankingView view = BuildRankingView(totals_.Rows(), BranchMarks{});
  ASSERT_EQ(view.rows.size(), 1u);
  const BranchRankingRow& row = view.rows[0];
  EXPECT_EQ(row.cells[6], "3");
  EXPECT_EQ(row.cells[7], "400");  // (300 + 500) / 2; the 150 listing only adds to the totals
  EXPECT_EQ(row.cells[8], "3");    // A, B, A
  EXPECT_EQ(row.averageColour, AmountColourClass(400));
  EXPECT_EQ(row.cells[2], "650");
  EXPECT_EQ(row.cells[5], "950");
}

// ---- the cells, the colours and the file ----

TEST(BranchRankingViewTest, CellsAreTruncatedAndNetIsColouredAboveAHairOverZero) {
  CBranchTotalsRow row;
  row.YYBName = "某营业部";
  row.TotalBuy = 1234.99;
  row.TotalSell = 1235.0000000;
  row.NetBuy = -5.7;
  row.TotalBuySell = 2469.99;
  row.nCount = 4;
  row.LargeTradeSum = 2469.99;
  row.LargeTradeCount = 0;  // the count taken as 1
  row.StockNames = {"a", "b"};
  BranchRankingRow cells = MakeRankingRow(6, row, BranchMarks{});
  EXPECT_EQ(cells.cells, (std::array<std::string, 9>{"7", "某营业部", "1234", "1235", "-5", "2469", "4", "2469", "2"}));
  EXPECT_EQ(cells.netColour, kNetSellColour);
  EXPECT_EQ(cells.nameColour, kUnmarkedBranchColour);
  row.NetBuy = 0.00000005;
  EXPECT_EQ(MakeRankingRow(0, row, BranchMarks{}).netColour, kNetSellColour);
  row.NetBuy = 0.0000002;
  EXPECT_EQ(MakeRankingRow(0, row, BranchMarks{}).netColour, kNetBuyColour);
  EXPECT_EQ(MakeRankingRow(0, row, BranchMarks{}).cells[4], "0");
  row.TotalBuy = 1e12;  // no overflow into nonsense
  EXPECT_EQ(MakeRankingRow(0, row, BranchMarks{}).cells[2], "2147483647");
}

TEST(BranchRankingViewTest, TheFileIsGbkWithByteWidthsAndStopsAt89Rows) {
  std::vector<CBranchTotalsRow> rows(120);
  for (int i = 0; i < 120; ++i) {
    rows[static_cast<std::size_t>(i)].YYBName = "营业部" + std::to_string(i);
    rows[static_cast<std::size_t>(i)].TotalBuy = 1000 - i;
    rows[static_cast<std::size_t>(i)].NetBuy = 1000 - i;
    rows[static_cast<std::size_t>(i)].nCount = 1;
    rows[static_cast<std::size_t>(i)].StockNames = {"x"};
  }
  const BranchRankingView view = BuildRankingView(rows, BranchMarks{});
  ASSERT_EQ(view.rows.size(), 89u);
  EXPECT_EQ(view.rows.back().cells[0], "89");

  // Written out by hand: "序号" is 4 GBK bytes, "敢死队 营业部名称" 17, each
  // two-character header 6 ... so the padding counts bytes, not characters.
  const std::string header = ToGbk(" 序号  敢死队 营业部名称" + std::string(43, ' ') + " 总买入" + std::string(4, ' ') +
                                   "  总卖出" + std::string(4, ' ') + "  总净买" + std::string(4, ' ') + "  总买卖" +
                                   std::string(4, ' ') + "  上榜次数  " + "  买卖股票数量 \n");
  const std::string first = ToGbk(" 1    营业部0" + std::string(60 - 7, ' ') + "  1000" + std::string(6, ' ') + "  " +
                                  "0" + std::string(9, ' ') + "  1000" + std::string(6, ' ') + "  0" +
                                  std::string(9, ' ') + "  1" + std::string(9, ' ') + "  1" + std::string(9, ' ') +
                                  " \n");
  ASSERT_GE(view.fileBytes.size(), header.size() + first.size());
  EXPECT_EQ(view.fileBytes.substr(0, header.size()), header);
  EXPECT_EQ(view.fileBytes.substr(header.size(), first.size()), first);
  int lines = 0;
  for (char c : view.fileBytes) lines += c == '\n' ? 1 : 0;
  EXPECT_EQ(lines, 90);
  EXPECT_EQ(view.fileBytes.find('\r'), std::string::npos);
}

TEST_F(BranchRankingTest, MarksColourTheNameAndAFailedLookupLeavesItUncoloured) {
  db_.AddMark("甲", 1, RGB(1, 2, 3), 1, 0, "", "", "");
  CBranchTotalsRow row;
  row.YYBName = "甲";
  BranchMarks marks;
  ASSERT_TRUE(marks.Load(db_.User()));
  EXPECT_EQ(MakeRankingRow(0, row, marks).nameColour, RGB(1, 2, 3));
  db_.User().Close();
  BranchMarks failed;
  EXPECT_FALSE(failed.Load(db_.User()));
  EXPECT_EQ(MessageBoxHook::Instance().TakeRecorded().size(), 1u);
  EXPECT_EQ(MakeRankingRow(0, row, failed).nameColour, std::nullopt);
}

TEST_F(BranchRankingTest, TheFileGoesIntoTheExportFolderOrTellsItCannot) {
  ASSERT_TRUE(WriteRankingFile("abc\n"));
  EXPECT_EQ(folder_.ReadFile(kRankingFileName), "abc\n");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
  TempProgramFolder bare;  // no "临时文件"
  EXPECT_FALSE(WriteRankingFile("abc\n"));
  const auto boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "文件打开错误!");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(boxes[0].icon, MB_ICONWARNING);
}

// ---- the merge's walk ----

TEST_F(BranchRankingTest, ASaturdayMergeStartsOnFridayAndSkipsDaysWithoutData) {
  // 2024-05-18 is a Saturday.
  Listing("2024-05-18", "000001", {{{"周六", 900, 0}, None(), None(), None(), None()}});
  Listing("2024-05-17", "000001", {{{"甲", 100, 0}, None(), None(), None(), None()}});
  Listing("2024-05-16", "000001", {{{"乙", 0.5, 0}, None(), None(), None(), None()}});  // fails the test
  Listing("2024-05-16", "000002", {{{"乙", 500, 0}, None(), None(), None(), None()}});
  Listing("2024-05-14", "000001", {{{"丙", 200, 0}, None(), None(), None(), None()}});
  Listing("2024-05-13", "000001", {{{"丁", 300, 0}, None(), None(), None(), None()}});
  const BranchRankingResult result = MergeDays(db_.Market(), "2024-05-18", 3, kBranchSortByTotalBuy, totals_);
  ASSERT_EQ(result.status, RankingStatus::Ranked);
  EXPECT_EQ(result.walk.days, (std::vector<std::string>{"2024-05-17", "2024-05-14", "2024-05-13"}));
  EXPECT_EQ(result.walk.daysFound, 3);
  EXPECT_EQ(result.walk.dayOffset, 6);
  EXPECT_EQ(Names(totals_), (std::vector<std::string>{"丁", "丙", "甲"}));
  EXPECT_EQ(result.branchesBeforeSort, 3);
}

TEST_F(BranchRankingTest, TooFewDaysRankNothingAndExactlyNDaysRank) {
  BranchRankingResult empty = MergeDays(db_.Market(), "2024-05-17", 3, kBranchSortByTotalBuy, totals_);
  EXPECT_EQ(empty.status, RankingStatus::NotEnoughDays);
  EXPECT_EQ(empty.walk.daysFound, 0);
  Listing("2024-05-17", "000001", {{{"甲", 100, 0}, None(), None(), None(), None()}});
  Listing("2024-05-16", "000001", {{{"乙", 200, 0}, None(), None(), None(), None()}});
  const BranchRankingResult fewer = MergeDays(db_.Market(), "2024-05-17", 3, kBranchSortByTotalBuy, totals_);
  EXPECT_EQ(fewer.status, RankingStatus::NotEnoughDays);
  EXPECT_EQ(fewer.walk.daysFound, 2);
  EXPECT_TRUE(totals_.empty());
  EXPECT_EQ(NotEnoughDaysText(fewer.walk.daysFound), "数据不足：只找到2个交易日");
  const BranchRankingResult exact = MergeDays(db_.Market(), "2024-05-17", 2, kBranchSortByTotalBuy, totals_);
  EXPECT_EQ(exact.status, RankingStatus::Ranked);
  EXPECT_EQ(Names(totals_), (std::vector<std::string>{"乙", "甲"}));
}

TEST_F(BranchRankingTest, NoDaysToMergeIsAnEmptyRankingAtOnce) {
  Listing("2024-05-17", "000001", {{{"甲", 100, 0}, None(), None(), None(), None()}});
  totals_.AddSeat("old", "x", "1", 1, 1);
  for (int n : {0, -3}) {
    const BranchRankingResult result = MergeDays(db_.Market(), "2024-05-17", n, kBranchSortByTotalBuy, totals_);
    EXPECT_EQ(result.status, RankingStatus::Ranked);
    EXPECT_TRUE(result.walk.days.empty());
    EXPECT_TRUE(totals_.empty());
  }
  EXPECT_EQ(SortingText(4, 17), "Mode=4 ,Size=17,正在排序..... ");
}

TEST_F(BranchRankingTest, AFailedReadRanksNothing) {
  Listing("2024-05-17", "000001", {{{"甲", 100, 0}, None(), None(), None(), None()}});
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  for (const BranchRankingResult& result :
       {MergeDays(db_.Market(), "2024-05-17", 1, kBranchSortByTotalBuy, totals_), RankDay(db_.Market(), "2024-05-17", totals_),
        QueryBigBuyers(db_.Market(), "1", totals_)}) {
    EXPECT_EQ(result.status, RankingStatus::QueryFailed);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(totals_.empty());
  }
}

// ---- single days ----

TEST_F(BranchRankingTest, TodayOnAWeekendIsNothingAndYesterdayStepsOverTheWeekend) {
  Listing("2024-05-17", "000001", {{{"甲", 100, 0}, {"乙", 200, 0}, None(), None(), None()}});
  Listing("2024-05-17", "000002", {{{"甲", 50, 0}, None(), None(), None(), None()}});
  totals_.AddSeat("old", "x", "1", 1, 1);
  EXPECT_EQ(RankToday(db_.Market(), "2024-05-18", totals_).status, RankingStatus::NothingToRank);
  EXPECT_TRUE(totals_.empty());
  // Today Friday: sorted by times listed.
  EXPECT_EQ(RankToday(db_.Market(), "2024-05-17", totals_).status, RankingStatus::Ranked);
  EXPECT_EQ(Names(totals_), (std::vector<std::string>{"甲", "乙"}));
  // Monday's yesterday is Friday, sorted by total buy; no data test is made.
  const BranchRankingResult yesterday = RankYesterday(db_.Market(), "2024-05-20", totals_);
  EXPECT_EQ(yesterday.walk.days, (std::vector<std::string>{"2024-05-17"}));
  EXPECT_EQ(Names(totals_), (std::vector<std::string>{"乙", "甲"}));
}

// ---- the big buyers ----

TEST_F(BranchRankingTest, BigBuyersTakeBuySeatsAboveTheThresholdOverEveryDay) {
  Listing("2024-05-17", "000001", {{{"甲", 100, 0}, {"乙", 100.5, 3}, None(), None(), None()}},
          {{{"卖", 900, 900}, None(), None(), None(), None()}});
  Listing("2020-01-06", "000002", {{{"乙", 150, 0}, {"丙", 100.001, 0}, None(), None(), None()}});
  const BranchRankingResult result = QueryBigBuyers(db_.Market(), " 100abc", totals_);
  ASSERT_EQ(result.status, RankingStatus::Ranked);
  EXPECT_EQ(Names(totals_), (std::vector<std::string>{"乙", "丙"}));
  EXPECT_EQ(totals_.Find("乙")->nCount, 2);
  EXPECT_EQ(totals_.Find("乙")->TotalSell, 3);
  EXPECT_EQ(BigBuyerThreshold(" 100abc"), 100.0f);
  EXPECT_EQ(BigBuyerThreshold("abc"), 0.0f);
  EXPECT_EQ(BigBuyerThreshold("-2.5e1"), -25.0f);
  EXPECT_EQ(BigBuyerThreshold("+-5"), 0.0f);
  // Text that is no number counts as 0: every buy seat above 0.
  QueryBigBuyers(db_.Market(), "排序完成......", totals_);
  EXPECT_EQ(totals_.size(), 3u);
  EXPECT_NE(totals_.Find("甲"), nullptr);
  EXPECT_EQ(totals_.Find("卖"), nullptr);
}

TEST_F(BranchRankingTest, BigBuyersCompareInSinglePrecision) {
  // 100.000001 is 100.0 as a float: a seat of 100.0000001 is above it.
  Listing("2024-05-17", "000001", {{{"甲", 100.0000001, 0}, None(), None(), None(), None()}});
  QueryBigBuyers(db_.Market(), "100.000001", totals_);
  EXPECT_EQ(Names(totals_), (std::vector<std::string>{"甲"}));
}

}  // namespace
