// The two quote portals' answers read into a record: the history query's first record
// and the history page's row of the day.

#include <gtest/gtest.h>

#include "../support/exchange_pages.h"
#include "acquisition/page_text.h"
#include "acquisition/quote_history.h"

namespace {

ExchangeStockModel StockWith(QuoteKind kind) {
  ExchangeStockModel stock;
  stock.code = "600001";
  stock.quote = kind;
  stock.close = 12.34, stock.change = 5.0, stock.volume = 1234567, stock.amount = 23456.78;
  return stock;
}

std::string Joined(const std::string& gbk) { return joinLines(decodePage(gbk, "", "gbk")); }

StockRecord Untouched() {
  StockRecord record;
  record.JinShou = -1, record.ZhangFu = -2, record.DRCJL = -3, record.Amount = -4;
  return record;
}

void ExpectUntouched(const StockRecord& record) {
  EXPECT_DOUBLE_EQ(record.JinShou, -1);
  EXPECT_DOUBLE_EQ(record.ZhangFu, -2);
  EXPECT_DOUBLE_EQ(record.DRCJL, -3);
  EXPECT_DOUBLE_EQ(record.Amount, -4);
}

}  // namespace

TEST(QuoteHistory, TargetsCarryTheDayAsEightDigitsAndTheFixedTail) {
  EXPECT_EQ(CompactDay("2016-03-01"), "20160301");
  EXPECT_EQ(QuoteHistoryTarget("600001", "2016-03-01"),
            "/hisHq?code=cn_600001&start=20160301&end=20160301&stat=1&order=D&period=d&callback=historySearchHandler"
            "&rt=jsonp&r=0.06965441047213972&0.2802838562056422");
  EXPECT_EQ(QuoteHistoryTarget("600001", "2016-03-01"), QuoteHistoryTargetFor("600001", "2016-03-01"));
  // No fragment is ever sent.
  EXPECT_EQ(QuotePageTarget("000002"), "/trade/lsjysj_000002.html");
}

TEST(QuoteHistory, ARecordOfTheDayGivesTheFourFigures) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  StockRecord record = Untouched();
  ASSERT_EQ(ParseQuoteHistory(Joined(RenderQuoteHistory(day, StockWith(QuoteKind::History))), day.date, record),
            kQuoteFound);
  EXPECT_DOUBLE_EQ(record.JinShou, 12.34);
  EXPECT_DOUBLE_EQ(record.ZhangFu, 5.0);  // "5.00%"
  EXPECT_DOUBLE_EQ(record.DRCJL, 1234567);
  EXPECT_DOUBLE_EQ(record.Amount, 23456.78);
}

TEST(QuoteHistory, NoRecordAShortRecordOrAnotherDayIsNoData) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  for (QuoteKind kind : {QuoteKind::PageOnly, QuoteKind::EightFields, QuoteKind::OtherDay}) {
    StockRecord record = Untouched();
    EXPECT_EQ(ParseQuoteHistory(Joined(RenderQuoteHistory(day, StockWith(kind))), day.date, record), kQuoteNoData)
        << static_cast<int>(kind);
    ExpectUntouched(record);
  }
  StockRecord record = Untouched();
  EXPECT_EQ(ParseQuoteHistory("", day.date, record), kQuoteNoData);
  EXPECT_EQ(ParseQuoteHistory("x([[\"2017-01-05\",\"1", day.date, record), kQuoteNoData);  // cut short
  ExpectUntouched(record);
}

TEST(QuoteHistory, FiguresWithSeparatorsOrBadTextAreReadSafely) {
  StockRecord record;
  ASSERT_EQ(ParseQuoteHistory(R"(h([["20170105","1","1,234.5","0","-3.1%","0","0","1,234,567","nan"]]))", "2017-01-05",
                              record),
            kQuoteFound);
  EXPECT_DOUBLE_EQ(record.JinShou, 1234.5);
  EXPECT_DOUBLE_EQ(record.ZhangFu, -3.1);
  EXPECT_DOUBLE_EQ(record.DRCJL, 1234567);
  EXPECT_DOUBLE_EQ(record.Amount, 0);  // not a finite number
}

TEST(QuotePage, TheDaysRowWithEverySeparatorRemoved) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  StockRecord record = Untouched();
  ASSERT_EQ(ParseQuotePage(Joined(RenderQuotePage(day, StockWith(QuoteKind::PageOnly))), day.date, record),
            kQuoteFound);
  EXPECT_DOUBLE_EQ(record.JinShou, 12.34);
  EXPECT_DOUBLE_EQ(record.ZhangFu, 5.0);
  EXPECT_DOUBLE_EQ(record.DRCJL, 1234567);  // "1,234,567": read whole
  EXPECT_DOUBLE_EQ(record.Amount, 23456.78);

  StockRecord one;
  ASSERT_EQ(ParseQuotePage("</thead><tr><td>2017-01-05</td><td>1</td><td>1</td><td>1</td><td>2.5</td><td>0</td>"
                           "<td>1</td><td>1,234</td><td>5,678.9</td></tr>",
                           "2017-01-05", one),
            kQuoteFound);
  EXPECT_DOUBLE_EQ(one.DRCJL, 1234);
  EXPECT_DOUBLE_EQ(one.Amount, 5678.9);
}

TEST(QuotePage, NoTableNoDayOrNoRowEnd) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  StockRecord record = Untouched();
  EXPECT_EQ(ParseQuotePage(Joined(RenderQuotePage(day, StockWith(QuoteKind::NoTable))), day.date, record),
            kQuotePageNoTable);
  EXPECT_EQ(ParseQuotePage(Joined(RenderQuotePage(day, StockWith(QuoteKind::Neither))), day.date, record),
            kQuotePageNoDay);
  EXPECT_EQ(ParseQuotePage("</thead><tr><td>2017-01-05</td><td>1</td>", day.date, record), kQuotePageNoDay);
  ExpectUntouched(record);
  EXPECT_EQ(QuotePageNoTableLine("2017-01-05", "600001"), "历史行情：没有找到收盘价格。2017-01-05：600001");
}
