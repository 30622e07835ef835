#include "acquisition/seat_page_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "../support/page_generator.h"
#include "storage/charset.h"

namespace {

std::string Row(const std::string& name, const std::string& buy, const std::string& sell) {
  return "<tr><td class=\"tc\">1</td><td class=\"tl\"><div><a href=\"/yyb/1.html\"><a class=\"nm\">" + name +
         "</a></a></div></td><td class=\"tr\">" + buy + "</td><td class=\"tr\">1.2%</td><td class=\"tr\">" + sell +
         "</td><td class=\"tr\">0</td></tr>";
}

std::string Body(const std::string& rows) { return "<table><tbody>" + rows + "</tbody></table>"; }

std::string PageOf(const std::string& buyRows, const std::string& sellRows) {
  return "<html><body>" + Body("<tr><td>summary</td></tr>") + Body(buyRows) + Body(sellRows) + "</body></html>";
}

void ExpectSeatsEqual(const SeatList& actual, const FiveSeats& expected, const std::string& what) {
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(actual[i].name, expected[i].name) << what << " seat " << i + 1;
    EXPECT_DOUBLE_EQ(actual[i].buy, expected[i].buy) << what << " seat " << i + 1;
    EXPECT_DOUBLE_EQ(actual[i].sell, expected[i].sell) << what << " seat " << i + 1;
  }
}

TEST(SeatPageRoundTrip, GeneratedPagesParseAsTheirModel) {
  int kinds[4] = {};
  for (std::uint32_t seed : {1u, 9u, 42u}) {
    const MarketDay day = MakeMarketDay("2017-01-26", seed);
    for (const MarketStock& stock : day.stocks) {
      SCOPED_TRACE(stock.code);
      ++kinds[static_cast<int>(stock.seatPage)];
      StockRecord record;
      const int result = ParseSeatPage(JoinPageLines(FromGbk(RenderSeatPage(day, stock))), record);
      EXPECT_EQ(result > 1, stock.expectedIsDownloadOK == 1) << result;
      if (stock.seatPage == SeatPageKind::TwoBodies) {
        EXPECT_EQ(result, kSeatPageNoSellBody);
      }
      ExpectSeatsEqual(record.BuySeats, stock.expectedBuy, "buy");
      ExpectSeatsEqual(record.SellSeats, stock.expectedSell, "sell");
    }
  }
  for (int kind : kinds) EXPECT_GT(kind, 0);
}

TEST(SeatPageTables, EachMissingBodyHasItsOwnCode) {
  SeatTables tables;
  EXPECT_EQ(SplitSeatTables("", tables), kSeatPageNoTableEnd);
  EXPECT_EQ(SplitSeatTables("<tbody><tr></tr>", tables), kSeatPageNoTableEnd);
  EXPECT_EQ(SplitSeatTables(Body("a"), tables), kSeatPageNoBuyBody);
  EXPECT_EQ(SplitSeatTables(Body("a") + "<tbody>b", tables), kSeatPageNoBuyEnd);
  EXPECT_EQ(SplitSeatTables(Body("a") + Body("b"), tables), kSeatPageNoSellBody);
  EXPECT_EQ(SplitSeatTables(Body("a") + Body("b") + "<tbody>c", tables), kSeatPageNoSellEnd);
  EXPECT_TRUE(tables.buyTable.empty());
  EXPECT_TRUE(tables.sellTable.empty());
  EXPECT_EQ(SplitSeatTables(Body("a") + Body("b") + Body("c") + Body("d"), tables), kSeatPageOk);
  EXPECT_EQ(tables.buyTable, "b");
  EXPECT_EQ(tables.sellTable, "c");
  EXPECT_EQ(kSeatPageNoBuyBody, -36);
  EXPECT_EQ(kSeatPageNoBuyEnd, -4);
  EXPECT_EQ(kSeatPageNoSellEnd, -6);
}

TEST(SeatPageTables, AFailedPageLeavesTheSeatsEmpty) {
  StockRecord record;
  record.BuySeats[0] = {"old", 1, 2};
  record.SellSeats[4] = {"old", 3, 4};
  EXPECT_EQ(ParseSeatPage(Body("a") + Body(Row("中信证券上海营业部", "10", "0")), record), kSeatPageNoSellBody);
  EXPECT_EQ(record.BuySeats, SeatList{});
  EXPECT_EQ(record.SellSeats, SeatList{});
}

TEST(SeatPageRows, FullRowsGiveNameBuyAndSell) {
  StockRecord record;
  ASSERT_EQ(ParseSeatPage(PageOf(Row("机构专用", "1234.5", "-") + Row("华泰证券深圳金田路证券营业部", "88.01", "2"),
                                 Row("国信证券北京营业部", "0.5", "999.99")),
                          record),
            kSeatPageOk);
  EXPECT_EQ(record.BuySeats[0], (SeatEntry{"机构专用", 1234.5, 0}));
  EXPECT_EQ(record.BuySeats[1], (SeatEntry{"华泰证券深圳金田路证券营业部", 88.01, 2}));
  EXPECT_EQ(record.BuySeats[2], SeatEntry{});
  EXPECT_EQ(record.SellSeats[0], (SeatEntry{"国信证券北京营业部", 0.5, 999.99}));
}

TEST(SeatPageRows, ThreeRowsLeaveSeatsFourAndFiveEmpty) {
  std::string rows;
  for (int i = 1; i <= 3; ++i) rows += Row("营业部" + std::to_string(i), std::to_string(i), "0");
  StockRecord record;
  ASSERT_EQ(ParseSeatPage(PageOf(rows, rows), record), kSeatPageOk);
  for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(record.SellSeats[i].buy, i + 1);
  EXPECT_EQ(record.BuySeats[3], SeatEntry{});
  EXPECT_EQ(record.BuySeats[4], SeatEntry{});
  EXPECT_EQ(record.SellSeats[4], SeatEntry{});
}

TEST(SeatPageRows, OnlyFiveRowsAreRead) {
  std::string rows;
  for (int i = 1; i <= 7; ++i) rows += Row("b" + std::to_string(i), std::to_string(i), "0");
  StockRecord record;
  ASSERT_EQ(ParseSeatPage(PageOf(rows, ""), record), kSeatPageOk);
  EXPECT_EQ(record.BuySeats[4].name, "b5");
  EXPECT_EQ(record.SellSeats, SeatList{});  // a table without rows counts but fills nothing
}

TEST(SeatPageRows, EveryRowStartsEmptyWithoutCarryingValuesOver) {
  const std::string brokenName =
      "<tr><td class=\"tc\">2</td><td class=\"tl\"><a class=\"nm\">断开的营业部</a></td>"
      "<td class=\"tr\">77</td><td>x</td><td class=\"tr\">66</td></tr>";
  const std::string noSellCell =
      "<tr><td class=\"tc\">3</td><td class=\"tl\"><a><a>缺卖出</a></a></td><td class=\"tr\">5</td><td>x</td></tr>";
  const std::string noGtInBuy =
      "<tr><td>4</td><td class=\"tl\"><a><a>无值</a></a></td><td</td><td>x</td><td class=\"tr\">9</td></tr>";
  StockRecord record;
  ASSERT_EQ(ParseSeatPage(PageOf(Row("第一", "100", "50") + brokenName + noSellCell + noGtInBuy,
                                 brokenName + Row("第二", "1", "2")),
                          record),
            kSeatPageOk);
  EXPECT_EQ(record.BuySeats[0], (SeatEntry{"第一", 100, 50}));
  EXPECT_EQ(record.BuySeats[1], SeatEntry{});  // not the name or amounts of row 1
  EXPECT_EQ(record.BuySeats[2], (SeatEntry{"缺卖出", 5, 0}));
  EXPECT_EQ(record.BuySeats[3], (SeatEntry{"无值", 0, 0}));
  // The first selling row does not inherit the last buying row.
  EXPECT_EQ(record.SellSeats[0], SeatEntry{});
  EXPECT_EQ(record.SellSeats[1], (SeatEntry{"第二", 1, 2}));
}

TEST(SeatPageRows, TheNameIsTheTextAfterTheLastTagBeforeTheDoubleLinkEnd) {
  const std::string row =
      "<tr><td>1</td><td class=\"tl\"><div class=\"a>b\"><a href=\"x\"><span>招商证券</span><a t=\"1\">招商证券深圳营业部</a></a></div></td>"
      "<td class=\"tr\">3</td><td>x</td><td class=\"tr\">4</td></tr>";
  StockRecord record;
  ASSERT_EQ(ParseSeatPage(PageOf(row, ""), record), kSeatPageOk);
  EXPECT_EQ(record.BuySeats[0], (SeatEntry{"招商证券深圳营业部", 3, 4}));
}

TEST(SeatPageRows, BadAmountsBecomeZero) {
  StockRecord record;
  ASSERT_EQ(ParseSeatPage(PageOf(Row("a", "1e999", std::string(400, '9')) + Row("b", "nan", "-7.25") +
                                     Row("c", "12abc", " 3"),
                                 ""),
                          record),
            kSeatPageOk);
  EXPECT_EQ(record.BuySeats[0], (SeatEntry{"a", 0, 0}));
  EXPECT_EQ(record.BuySeats[1], (SeatEntry{"b", 0, -7.25}));
  EXPECT_EQ(record.BuySeats[2], (SeatEntry{"c", 12, 3}));
}

TEST(SeatPageNames, CutShortBranchNamesAreCompleted) {
  EXPECT_EQ(CompleteBranchName("中信证券上海证券营业"), "中信证券上海证券营业部");
  EXPECT_EQ(CompleteBranchName("中信证券上海证券营"), "中信证券上海证券营业部");
  EXPECT_EQ(CompleteBranchName("中信证券上海证券营业部"), "中信证券上海证券营业部");
  EXPECT_EQ(CompleteBranchName("机构专用"), "机构专用");
  EXPECT_EQ(CompleteBranchName(""), "");
  StockRecord record;
  ASSERT_EQ(ParseSeatPage(PageOf(Row("甲营业", "1", "0") + Row("乙营", "1", "0"), ""), record), kSeatPageOk);
  EXPECT_EQ(record.BuySeats[0].name, "甲营业部");
  EXPECT_EQ(record.BuySeats[1].name, "乙营业部");
}

TEST(SeatPageNames, TheCapOf199BytesAppliesAfterCompletion) {
  std::string stem = "A";
  for (int i = 0; i < 97; ++i) stem += "证";  // 1 + 194 bytes
  const std::string name = stem + "营";       // 197 bytes; completed it would be 201
  StockRecord record;
  ASSERT_EQ(ParseSeatPage(PageOf(Row(name, "1", "0"), ""), record), kSeatPageOk);
  EXPECT_EQ(record.BuySeats[0].name, name + "业");
  EXPECT_EQ(GbkByteLength(record.BuySeats[0].name), 199u);
}

}  // namespace
