#include "views/block_trade_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/temp_program_folder.h"
#include "records/branch_marks.h"

namespace {

constexpr COLORREF kYellowBand = RGB(250, 220, 0);
constexpr COLORREF kMagentaBand = RGB(255, 0, 255);
constexpr COLORREF kTopBand = RGB(245, 227, 13);

class BlockTradeListingTest : public ::testing::Test {
 protected:
  CADODataBase& Db() { return db_.Market(); }
  // One trade of the day; row numbers keep the builder's ids apart.
  void Trade(const std::string& day, const std::string& code, int row, double amount,
             const std::string& buyer = "中信证券上海分公司", const std::string& seller = "机构专用", double spj = 10,
             double cjj = 9.5, std::int64_t volume = 100) {
    db_.AddTrade(day, code, "名称" + code, row, spj, cjj, volume, amount, buyer, seller);
  }
  std::vector<std::string> Column(int column) const {
    std::vector<std::string> texts;
    for (const BlockTradeLine& line : listing_.Lines()) texts.push_back(line.texts[column]);
    return texts;
  }
  int Statements(const std::function<void()>& action) {
    int count = 0;
    Db().SetStatementTrace([&count](const std::string&) { ++count; });
    action();
    Db().SetStatementTrace(nullptr);
    return count;
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  FakeClock clock_{2024, 5, 15};
  BranchMarks marks_;
  BlockTradeListing listing_;
};

TEST_F(BlockTradeListingTest, DayListingOrdersByCodeThenRowNumberAndFormatsEveryCell) {
  Trade("2024-05-15", "600010", 2, 3000, "乙", "丙");
  Trade("2024-05-15", "000001", 1, 1500, "甲", "丙", 12.5, 13.25, 250);
  Trade("2024-05-15", "600010", 1, 5000, "甲", "丙");
  Trade("2024-05-14", "000002", 1, 1000);

  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));

  ASSERT_EQ(listing_.Lines().size(), 6u);  // three trades and the totals block
  EXPECT_EQ(Column(3), (std::vector<std::string>{"000001", "600010", "600010", "------", "", ""}));
  EXPECT_EQ(Column(8), (std::vector<std::string>{"1500", "5000", "3000", "------", "总金额", "9500"}));
  EXPECT_EQ(listing_.AddedCount(), 3);
  const BlockTradeLine& first = listing_.Lines()[0];
  EXPECT_EQ(first.texts, (std::array<std::string, 12>{"1", "2024-05-15", "名称000001", "000001", "12.50", "13.25", "6%",
                                                      "250", "1500", "甲", "丙", ""}));
  EXPECT_EQ(first.code, "000001");
  for (int column : {1, 2, 3, 4, 5, 7}) EXPECT_EQ(first.colours[column], kBlockTradeWhite) << column;
  EXPECT_EQ(first.colours[0], std::nullopt);
  EXPECT_EQ(first.colours[11], std::nullopt);
  EXPECT_EQ(first.colours[9], kUnmarkedBranchColour);
}

TEST_F(BlockTradeListingTest, DayStoredWithATimeStillFallsInItsDay) {
  Trade("2024-05-15 00:00:00", "600000", 1, 1000);
  EXPECT_TRUE(DayHasTrades(Db(), "2024-05-15"));
  EXPECT_FALSE(DayHasTrades(Db(), "2024-05-16"));
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  EXPECT_EQ(listing_.Lines()[0].texts[1], "2024-05-15");
}

TEST_F(BlockTradeListingTest, DayWithoutTradesListsNothingAndNoTotals) {
  Trade("2024-05-14", "600000", 1, 1000);
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  EXPECT_TRUE(listing_.Lines().empty());
  EXPECT_EQ(listing_.AddedCount(), 0);
}

TEST_F(BlockTradeListingTest, FailedQueryLeavesTheLinesAsTheyWere) {
  Trade("2024-05-15", "600000", 1, 1000);
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  const std::vector<BlockTradeLine> before = listing_.Lines();
  Db().Close();
  EXPECT_FALSE(listing_.ShowDay(Db(), "2024-05-14", marks_));
  EXPECT_FALSE(listing_.RunTradeQuery(Db(), StockCodeTradesQuery("600000"), marks_));
  EXPECT_EQ(listing_.Lines(), before);
  EXPECT_FALSE(DayHasTrades(Db(), "2024-05-15"));
  bool ok = true;
  EXPECT_EQ(NewestTradeDay(Db(), &ok), std::nullopt);
  EXPECT_FALSE(ok);
}

TEST_F(BlockTradeListingTest, NullNamesAndNumbersReadAsEmptyAndZero) {
  ASSERT_TRUE(
      Db().Execute("INSERT INTO DZJY (DZJY_ID, DZJY_Date, StockCode) "
                   "VALUES ('x', '2024-05-15', '600000')"));
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  const BlockTradeLine& line = listing_.Lines()[0];
  EXPECT_EQ(line.texts[2], "");
  EXPECT_EQ(line.texts[4], "0.00");
  EXPECT_EQ(line.texts[6], "");  // no close, no premium
  EXPECT_EQ(line.texts[7], "0");
  EXPECT_EQ(line.texts[8], "0");
  EXPECT_EQ(line.texts[9], "");
}

// ---- merging -------------------------------------------------------------

TEST_F(BlockTradeListingTest, RowsOfOneTradeMergeIntoOneLineWithTheBandOfTheSum) {
  Trade("2024-05-15", "600000", 1, 1500, "甲", "乙", 10, 9.5, 300);
  Trade("2024-05-15", "600000", 2, 1000, "甲", "乙", 10, 9.5, 200);
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  ASSERT_EQ(listing_.AddedCount(), 1);
  const BlockTradeLine& line = listing_.Lines()[0];
  EXPECT_EQ(line.texts[7], "500");
  EXPECT_EQ(line.texts[8], "2500");
  EXPECT_EQ(line.colours[8], kYellowBand);  // 1500 alone was white
  EXPECT_EQ(listing_.Lines().back().texts[8], "2500");
}

TEST_F(BlockTradeListingTest, AnyDifferentKeyFieldKeepsTradesApart) {
  Trade("2024-05-15", "600000", 1, 1500, "甲", "乙");
  Trade("2024-05-15", "600000", 2, 1000, "甲", "丙");  // another seller
  Trade("2024-05-15", "600000", 3, 1000, "丁", "乙");  // another buyer
  Trade("2024-05-15", "600001", 1, 1000, "甲", "乙");  // another stock
  Trade("2024-05-14", "600000", 1, 1000, "甲", "乙");  // another day
  ASSERT_TRUE(
      listing_.RunTradeQuery(Db(), RecentTradesQuery(RecentTradesBy::StockName, "名称600000", clock_, 60), marks_));
  EXPECT_EQ(listing_.AddedCount(), 4);
}

TEST_F(BlockTradeListingTest, MergeWithoutAMatchingLineChangesNothing) {
  Trade("2024-05-15", "600000", 1, 1500, "甲", "乙");
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  const std::vector<BlockTradeLine> before = listing_.Lines();
  EXPECT_FALSE(listing_.MergeIntoShownRow("2024-05-15", "600000", "甲", "丙", 1, 1));
  EXPECT_EQ(listing_.Lines(), before);
  EXPECT_TRUE(listing_.MergeIntoShownRow("2024-05-15", "600000", "甲", "乙", 1, 7000));
  EXPECT_EQ(listing_.Lines()[0].texts[8], "8500");
  EXPECT_EQ(listing_.Lines()[0].colours[8], kTopBand);
}

TEST_F(BlockTradeListingTest, ManyRowsOfOneTradeMergeWithA64BitVolume) {
  std::vector<BlockTradeRecord> rows(3,
                                     BlockTradeRecord{"2024-05-15", "600000", "甲", "乙", "丙", 10, 9, 2000000000, 1});
  listing_.Fill(rows, PremiumColours::DayListing, marks_);
  ASSERT_EQ(listing_.Lines().size(), 1u);
  EXPECT_EQ(listing_.Lines()[0].texts[7], "6000000000");
}

// ---- premium and bands ---------------------------------------------------

TEST_F(BlockTradeListingTest, ADiscountOfExactlySixIsNotColouredAsDeeper) {
  Trade("2024-05-15", "600001", 1, 1000, "甲", "乙", 10.00, 9.40);
  Trade("2024-05-15", "600002", 1, 1000, "甲", "乙", 5.00, 4.70);
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  for (int i : {0, 1}) EXPECT_EQ(listing_.Lines()[i].colours[6], std::nullopt) << i;
}

TEST(BlockTradePremiumTest, PricesCountInWholeCentsSoSixIsExactlySix) {
  EXPECT_EQ(BlockTradePremium(20.0, 18.799999, PremiumColours::DayListing).colour, std::nullopt);
  EXPECT_EQ(BlockTradePremium(15.0, 14.10, PremiumColours::DayListing).colour, std::nullopt);
  EXPECT_EQ(BlockTradePremium(20.0, 18.799999, PremiumColours::Search).text, "-6%");
}

TEST(BlockTradePremiumTest, ANearCloseDealHasNoSign) {
  EXPECT_EQ(BlockTradePremium(10.0f, 9.99f, PremiumColours::DayListing).text, "0%");
  EXPECT_EQ(BlockTradePremium(10.0f, 10.01f, PremiumColours::DayListing).text, "0%");
  EXPECT_EQ(BlockTradePremium(10.0f, 8.0f, PremiumColours::DayListing).text, "-20%");
  EXPECT_EQ(BlockTradePremium(10.0, 10.0, PremiumColours::DayListing).text, "0%");  // at the close
}

TEST(BlockTradePremiumTest, DayListingAndSearchesColourTheOtherWayRound) {
  EXPECT_EQ(BlockTradePremium(10, 9.3f, PremiumColours::DayListing).colour,
            kBlockTradeGreen);  // discount 7
  EXPECT_EQ(BlockTradePremium(10, 10.5f, PremiumColours::DayListing).colour, kBlockTradeRed);
  EXPECT_EQ(BlockTradePremium(10, 9.3f, PremiumColours::Search).colour, kBlockTradeRed);
  EXPECT_EQ(BlockTradePremium(10, 10.5f, PremiumColours::Search).colour, kBlockTradeGreen);
  EXPECT_EQ(BlockTradePremium(10, 9.5f, PremiumColours::DayListing).colour,
            std::nullopt);  // discount 5
  EXPECT_EQ(BlockTradePremium(10, 9.5f, PremiumColours::Search).colour, std::nullopt);
}

TEST(BlockTradePremiumTest, NoCloseGivesAnEmptyUncolouredCell) {
  for (float spj : {0.0f, -1.0f}) {
    const PremiumCell cell = BlockTradePremium(spj, 9, PremiumColours::DayListing);
    EXPECT_EQ(cell.text, "");
    EXPECT_EQ(cell.colour, std::nullopt);
  }
}

TEST(BlockTradeAmountColourTest, BandsAndTheirEdges) {
  EXPECT_EQ(BlockTradeAmountColour(1999), kBlockTradeWhite);
  EXPECT_EQ(BlockTradeAmountColour(0), kBlockTradeWhite);
  EXPECT_EQ(BlockTradeAmountColour(2000), std::nullopt);
  EXPECT_EQ(BlockTradeAmountColour(2000.5), kYellowBand);
  EXPECT_EQ(BlockTradeAmountColour(3999), kYellowBand);
  EXPECT_EQ(BlockTradeAmountColour(4000), std::nullopt);
  EXPECT_EQ(BlockTradeAmountColour(7999), kMagentaBand);
  EXPECT_EQ(BlockTradeAmountColour(8000), kTopBand);
}

TEST_F(BlockTradeListingTest, BranchMarkColoursTheBranchCells) {
  db_.AddMark("甲", 1, RGB(1, 2, 3), 0, 0, "", "", "");
  ASSERT_TRUE(marks_.Load(db_.User()));
  Trade("2024-05-15", "600000", 1, 1000, "甲", "乙");
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  EXPECT_EQ(listing_.Lines()[0].colours[9], RGB(1, 2, 3));
  EXPECT_EQ(listing_.Lines()[0].colours[10], kUnmarkedBranchColour);
}

// ---- totals --------------------------------------------------------------

TEST_F(BlockTradeListingTest, TotalsCoverTheFirstLinesOnly) {
  for (int i = 1; i <= 5; ++i) Trade("2024-05-15", "60000" + std::to_string(i), 1, 100.0 * i, "甲", "乙", 10, 9, i);
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));
  listing_.AppendTotals(3);
  const auto& lines = listing_.Lines();
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[8].texts, (std::array<std::string, 12>{"------", "------", "------", "------", "------", "------",
                                                         "------", "------", "------", "------", "", ""}));
  EXPECT_EQ(lines[9].texts[7], "总成交");
  EXPECT_EQ(lines[9].texts[8], "总金额");
  EXPECT_EQ(lines[9].texts[0], "");
  EXPECT_EQ(lines[10].texts[7], "6");
  EXPECT_EQ(lines[10].texts[8], "600");
  EXPECT_EQ(lines[10].colours[8], std::nullopt);
}

TEST_F(BlockTradeListingTest, TotalsCountIsClamped) {
  Trade("2024-05-15", "600000", 1, 100, "甲", "乙", 10, 9, 7);
  Trade("2024-05-15", "600001", 1, 200, "甲", "乙", 10, 9, 8);
  listing_.Fill({}, PremiumColours::Search, marks_);
  ASSERT_TRUE(listing_.ShowDay(Db(), "2024-05-15", marks_));  // 2 lines + totals
  listing_.AppendTotals(1000);                                // over every line, the first block counted again
  EXPECT_EQ(listing_.Lines().back().texts[8], "600");
  EXPECT_EQ(listing_.Lines().back().texts[7], "30");
  listing_.AppendTotals(-1);
  EXPECT_EQ(listing_.Lines().back().texts[8], "0");
  listing_.AppendTotals(std::string("abc"));
  EXPECT_EQ(listing_.Lines().back().texts[7], "0");
  listing_.AppendTotals(std::string(" 1x"));
  EXPECT_EQ(listing_.Lines().back().texts[8], "100");
  EXPECT_EQ(listing_.Lines().size(), 17u);
}

TEST_F(BlockTradeListingTest, EmptySearchStillGetsTheTotalsBlock) {
  ASSERT_TRUE(listing_.RunTradeQuery(Db(), StockCodeTradesQuery("600000"), marks_));
  ASSERT_EQ(listing_.Lines().size(), 3u);
  EXPECT_EQ(listing_.Lines()[2].texts[7], "0");
  EXPECT_EQ(listing_.Lines()[2].texts[8], "0");
  EXPECT_EQ(listing_.AddedCount(), 0);
}

// ---- searches ------------------------------------------------------------

TEST_F(BlockTradeListingTest, StockSearchTakesACodeOrAName) {
  Trade("2024-05-14", "600000", 1, 1000);
  Trade("2024-05-15", "600000", 1, 2000);
  Trade("2024-05-15", "300001", 1, 3000);
  EXPECT_EQ(ClassifyStockSearch(""), StockSearchKind::Empty);
  EXPECT_EQ(StockSearchQuery(""), std::nullopt);
  EXPECT_EQ(ClassifyStockSearch("600000"), StockSearchKind::Code);
  EXPECT_EQ(ClassifyStockSearch("000001"), StockSearchKind::Code);
  EXPECT_EQ(ClassifyStockSearch("3"), StockSearchKind::Code);
  EXPECT_EQ(ClassifyStockSearch("浦发银行"), StockSearchKind::Name);
  EXPECT_EQ(ClassifyStockSearch("1"), StockSearchKind::Name);

  ASSERT_TRUE(listing_.RunTradeQuery(Db(), *StockSearchQuery("600000"), marks_));
  EXPECT_EQ(listing_.AddedCount(), 2);
  EXPECT_EQ(listing_.Lines()[0].texts[1], "2024-05-15");  // newest day first
  ASSERT_TRUE(listing_.RunTradeQuery(Db(), *StockSearchQuery("名称300001"), marks_));
  EXPECT_EQ(listing_.AddedCount(), 1);
  EXPECT_EQ(listing_.Lines()[0].texts[3], "300001");
}

TEST_F(BlockTradeListingTest, BuyerKeywordNeedsFourGbkBytes) {
  Trade("2024-05-15", "600000", 1, 1000, "中信证券上海分公司");
  Trade("2024-05-15", "600001", 1, 1000, "国泰君安");
  const auto accepted = BuyerKeywordTradesQuery("中信");
  ASSERT_TRUE(accepted.has_value());
  ASSERT_TRUE(listing_.RunTradeQuery(Db(), *accepted, marks_));
  EXPECT_EQ(listing_.AddedCount(), 1);
  EXPECT_EQ(BuyerKeywordTradesQuery("中A"), std::nullopt);
  EXPECT_EQ(BuyerKeywordTradesQuery("abc"), std::nullopt);
  EXPECT_TRUE(BuyerKeywordTradesQuery("abcd").has_value());
}

TEST_F(BlockTradeListingTest, SpecialCharactersMatchLiterally) {
  Trade("2024-05-15", "600000", 1, 1000, "A%B_C'D\\E[F]");
  Trade("2024-05-15", "600001", 1, 1000, "AxxB-C'D\\E[F]");
  for (const std::string& keyword : {std::string("A%B_"), std::string("C'D\\"), std::string("E[F]")}) {
    ASSERT_TRUE(listing_.RunTradeQuery(Db(), *BuyerKeywordTradesQuery(keyword), marks_)) << keyword;
    EXPECT_EQ(listing_.AddedCount(), keyword == "A%B_" ? 1 : 2) << keyword;
  }
  ASSERT_TRUE(
      listing_.RunTradeQuery(Db(), RecentTradesQuery(RecentTradesBy::Buyer, "A%B_C'D\\E[F]", clock_, 60), marks_));
  EXPECT_EQ(listing_.AddedCount(), 1);
  ASSERT_TRUE(listing_.RunTradeQuery(Db(), StockNameTradesQuery("名称'"), marks_));
  EXPECT_EQ(listing_.AddedCount(), 0);
}

TEST_F(BlockTradeListingTest, RecentSearchCutoffIsInclusiveFromTheClock) {
  Trade("2024-04-15", "600000", 1, 1000, "甲", "乙");  // 30 days back
  Trade("2024-04-14", "600000", 1, 1000, "甲", "乙");  // 31
  Trade("2024-05-15", "600000", 1, 1000, "甲", "丙");  // today
  const auto count = [&](RecentTradesBy by, const std::string& value, int days) {
    EXPECT_TRUE(listing_.RunTradeQuery(Db(), RecentTradesQuery(by, value, clock_, days), marks_));
    return listing_.AddedCount();
  };
  EXPECT_EQ(count(RecentTradesBy::StockCode, "600000", 30), 2);
  EXPECT_EQ(count(RecentTradesBy::StockCode, "600000", 31), 3);
  EXPECT_EQ(count(RecentTradesBy::StockCode, "600000", 0), 1);
  EXPECT_EQ(count(RecentTradesBy::StockCode, "600000", -1), 0);
  EXPECT_EQ(count(RecentTradesBy::Buyer, "甲", 60), 3);
  EXPECT_EQ(count(RecentTradesBy::Seller, "乙", 60), 2);
  EXPECT_EQ(count(RecentTradesBy::StockName, "名称600000", 60), 3);
}

TEST(RecentTradesByColumnTest, OnlyNameCodeAndBranchColumnsSearch) {
  EXPECT_EQ(RecentTradesByColumn(2), RecentTradesBy::StockName);
  EXPECT_EQ(RecentTradesByColumn(3), RecentTradesBy::StockCode);
  EXPECT_EQ(RecentTradesByColumn(9), RecentTradesBy::Buyer);
  EXPECT_EQ(RecentTradesByColumn(10), RecentTradesBy::Seller);
  for (int column : {-1, 0, 1, 4, 8, 11, 12}) EXPECT_EQ(RecentTradesByColumn(column), std::nullopt) << column;
}

// ---- stored days ---------------------------------------------------------

TEST_F(BlockTradeListingTest, DayTestIsOneStatementAndBoundsComeFromDzjy) {
  bool ok = false;
  EXPECT_EQ(NewestTradeDay(Db(), &ok), std::nullopt);
  EXPECT_TRUE(ok);
  Trade("2024-05-03 00:00:00", "600000", 1, 1000);
  Trade("2024-04-22", "600000", 1, 1000);
  EXPECT_EQ(NewestTradeDay(Db()), "2024-05-03");
  EXPECT_EQ(OldestTradeDay(Db()), "2024-04-22");
  EXPECT_EQ(Statements([&] { EXPECT_TRUE(DayHasTrades(Db(), "2024-04-22")); }), 1);
  EXPECT_FALSE(DayHasTrades(Db(), "not a day"));
}

}  // namespace
