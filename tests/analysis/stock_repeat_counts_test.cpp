#include "analysis/stock_repeat_counts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/market_generator.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "analysis/tracker_searches.h"
#include "storage/ado_database.h"
#include "storage/row_cursor.h"

namespace {

constexpr const char* kBranch = "华泰证券股份有限公司深圳益田路证券营业部";

FiveSeats Others(const std::string& prefix) {
  FiveSeats seats;
  for (int i = 0; i < 5; ++i) seats[i] = {prefix + std::to_string(i + 1), 10, 1};
  return seats;
}

class StockRepeatCountsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.OpenGlobals();
    g_StockRepeatCounts.clear();
  }
  void TearDown() override {
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    g_StockRepeatCounts.clear();
  }
  // A listing of `code` on `day` with kBranch as buyer `buySeat` (1-5, 0 = none) and
  // seller `sellSeat`.
  void List(const std::string& day, const std::string& code, int buySeat, int sellSeat,
            const std::string& branch = kBranch) {
    FiveSeats buy = Others("买");
    FiveSeats sell = Others("卖");
    if (buySeat > 0) buy[buySeat - 1].name = branch;
    if (sellSeat > 0) sell[sellSeat - 1].name = branch;
    db_.AddListing(day, code, "股票" + code, "", 1, 10, 1000, buy, sell);
  }
  static std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
};

}  // namespace

TEST_F(StockRepeatCountsTest, CountingMovesTheStockToTheEnd) {
  std::vector<StockRepeatCount> counts;
  CountStockOfBranch(counts, "甲", "600001");
  CountStockOfBranch(counts, "乙", "600002");
  CountStockOfBranch(counts, "甲新名", "600001");
  EXPECT_EQ(counts, (std::vector<StockRepeatCount>{{"600002", "乙", 1}, {"600001", "甲", 2}}));
}

TEST_F(StockRepeatCountsTest, SortingIsDescendingAndKeepsEqualCountsInOrder) {
  std::vector<StockRepeatCount> counts = {{"1", "a", 1}, {"2", "b", 3}, {"3", "c", 1}, {"4", "d", 3}};
  SortStockRepeatCounts(counts);
  std::vector<std::string> codes;
  for (const auto& c : counts) codes.push_back(c.StockCode);
  EXPECT_EQ(codes, (std::vector<std::string>{"2", "4", "1", "3"}));
}

TEST_F(StockRepeatCountsTest, ABranchInTwoSeatsOfOneRowCountsThatRowOnce) {
  List("2017-02-06", "600001", 1, 3);
  List("2017-02-07", "600001", 2, 2);
  List("2017-02-07", "000002", 0, 5);
  List("2017-02-08", "300003", 0, 0);
  ASSERT_TRUE(QueryStocksOfBranch(kBranch));
  // Newest first: 600001 and 000002 on 02-07, then 600001 of 02-06, which moves it last.
  EXPECT_EQ(g_StockRepeatCounts,
            (std::vector<StockRepeatCount>{{"000002", "股票000002", 1}, {"600001", "股票600001", 2}}));
}

TEST_F(StockRepeatCountsTest, NamesMatchExactlyAndLiterally) {
  List("2017-02-06", "600001", 1, 0, "O'Neil%_证券");
  List("2017-02-07", "600002", 1, 0, "O'Neil证券");
  std::vector<StockRepeatCount> counts;
  ASSERT_TRUE(QueryStocksOfBranch(db_.Market(), "O'Neil%_证券", counts));
  EXPECT_EQ(counts.size(), 1u);
  counts.clear();
  ASSERT_TRUE(QueryStocksOfBranch(db_.Market(), "O'Neil", counts));  // part of a name: nothing
  EXPECT_TRUE(counts.empty());
}

TEST_F(StockRepeatCountsTest, AFailedQueryLeavesTheCountsAndSaysWhy) {
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  std::vector<StockRepeatCount> counts = {{"1", "a", 1}};
  std::string error;
  EXPECT_FALSE(QueryStocksOfBranch(db_.Market(), kBranch, counts, &error));
  EXPECT_EQ(counts.size(), 1u);
  EXPECT_NE(error.find("StockInfo"), std::string::npos) << error;
}

TEST_F(StockRepeatCountsTest, TheRankingListsStocksMetTwiceOrMoreMostFrequentFirst) {
  List("2017-02-06", "600001", 1, 0);
  List("2017-02-07", "600001", 0, 2);
  List("2017-02-08", "000002", 3, 0);
  List("2017-02-09", "000002", 3, 0);
  List("2017-02-10", "000002", 3, 3);
  List("2017-02-10", "300003", 4, 0);
  const HotStockResult result = BuildHotStockRanking(db_.Market(), kBranch);
  EXPECT_FALSE(result.refused);
  EXPECT_FALSE(result.queryFailed);
  ASSERT_EQ(result.rows.size(), 2u);
  const auto& first = result.rows[0];
  EXPECT_EQ(first[0].text, "1");
  EXPECT_EQ(first[1].text, kBranch);
  EXPECT_EQ(first[2].text, "股票000002");
  EXPECT_EQ(first[3].text, "000002");
  EXPECT_EQ(first[4].text, "");
  EXPECT_EQ(first[5].text, "3");
  EXPECT_EQ(first[6].text, "");
  EXPECT_EQ(first[7].text, "");
  EXPECT_EQ(result.rows[1][0].text, "2");
  EXPECT_EQ(result.rows[1][3].text, "600001");
  EXPECT_EQ(result.rows[1][5].text, "2");
  // The counts stay for whoever reads them next, sorted.
  ASSERT_EQ(g_StockRepeatCounts.size(), 3u);
  EXPECT_EQ(g_StockRepeatCounts[2].StockCode, "300003");
}

TEST_F(StockRepeatCountsTest, OneListingPerStockGivesAnEmptyRanking) {
  List("2017-02-06", "600001", 1, 0);
  List("2017-02-07", "600002", 1, 0);
  g_StockRepeatCounts = {{"999999", "旧", 9}};
  const HotStockResult result = BuildHotStockRanking(db_.Market(), kBranch);
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(g_StockRepeatCounts.size(), 2u);  // cleared before the count
}

TEST_F(StockRepeatCountsTest, TextsUnder4GbkBytesAreRefused) {
  List("2017-02-06", "600001", 1, 0, "中信");
  List("2017-02-07", "600001", 1, 0, "中信");
  for (const std::string text : {"", "abc", "中a"}) {
    const HotStockResult result = BuildHotStockRanking(db_.Market(), text);
    EXPECT_TRUE(result.refused) << text;
    EXPECT_TRUE(result.rows.empty());
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u) << text;
    EXPECT_EQ(boxes[0].text, "关键字长度小于 4 ！！！");
  }
  // Two Chinese characters are 4 bytes: accepted.
  const HotStockResult result = BuildHotStockRanking(db_.Market(), "中信");
  EXPECT_FALSE(result.refused);
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0][5].text, "2");
}

TEST_F(StockRepeatCountsTest, AFailedRankingQueryShowsOneMessageAndNoRows) {
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  const HotStockResult result = BuildHotStockRanking(db_.Market(), kBranch);
  EXPECT_TRUE(result.queryFailed);
  EXPECT_TRUE(result.rows.empty());
  EXPECT_TRUE(g_StockRepeatCounts.empty());
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("数据库查询失败!\n", 0), 0u);
}

TEST_F(StockRepeatCountsTest, CountsComeInTheOrderOfCountingEachRowInTurn) {
  const GeneratedMarket market = GenerateMarket(db_, CrowdedMarketShape(5, 20));
  for (const std::string& branch : {market.branches[0], market.branches[9], std::string("机构专用")}) {
    // After earlier counts, as the list is left by counting row after row.
    std::vector<StockRepeatCount> expected = {{"600003", "旧", 4}, {"000001", "旧", 1}}, counts = expected;
    RowCursor rows(db_.Market(), BranchSearchStatement(), {branch});
    while (rows.Next()) CountStockOfBranch(expected, std::string(rows.Text(0)), std::string(rows.Text(1)));
    ASSERT_TRUE(QueryStocksOfBranch(db_.Market(), branch, counts));
    EXPECT_GT(counts.size(), 5u) << branch;
    EXPECT_EQ(counts, expected) << branch;
  }
}
