// The month page of block trades, parsed without a database: generated pages (GBK,
// decoded and joined as a fetch does) against the month model, and hand-made rows for
// the cell reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "../support/block_trade_pages.h"
#include "acquisition/block_trade_parser.h"
#include "acquisition/page_text.h"
#include "storage/charset.h"

namespace {

const std::vector<std::string> kFebruary = {"2017-02-06", "2017-02-03"};

std::string Decoded(const std::string& gbk) { return joinLines(decodePage(gbk, "text/html", kDefaultPageCharset)); }

BlockTradePageResult Parse(const BlockTradeMonthModel& month, BlockTradePageKind kind = BlockTradePageKind::Normal) {
  return ParseBlockTradePage(Decoded(RenderBlockTradeMonthPage(month, kind)));
}

void ExpectRowsEqual(const std::vector<CBlockTradeRow>& got, const std::vector<CBlockTradeRow>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("trade " + std::to_string(i) + " " + want[i].Day + " " + want[i].StockCode);
    EXPECT_EQ(got[i].Day, want[i].Day);
    EXPECT_EQ(got[i].StockCode, want[i].StockCode);
    EXPECT_EQ(got[i].StockName, want[i].StockName);
    EXPECT_EQ(got[i].nCount, want[i].nCount);
    EXPECT_EQ(got[i].SPJ, want[i].SPJ);
    EXPECT_EQ(got[i].CJJ, want[i].CJJ);
    EXPECT_EQ(got[i].CJSL, want[i].CJSL);
    EXPECT_EQ(got[i].CJJE, want[i].CJJE);
    EXPECT_EQ(got[i].BuyName, want[i].BuyName);
    EXPECT_EQ(got[i].SellName, want[i].SellName);
    EXPECT_EQ(got[i].Note, "");
  }
}

std::vector<std::string> Ids(const std::vector<CBlockTradeRow>& trades, const std::string& code) {
  std::vector<std::string> ids;
  for (const CBlockTradeRow& t : trades)
    if (t.StockCode == code) ids.push_back(BlockTradeId(t));
  return ids;
}

// A hand-made page: the head, then `body` as the table body.
std::string Page(const std::string& body) {
  return "<table><tr><th>买方营业部</th><th>卖方营业部</th></tr>" + body + "</table><!--content end-->";
}

constexpr const char* kDateCell = "<tr class=\"list_eve\"><td rowspan=\"3\" valign=\"middle\"><strong>2017-02-06</strong></td>";

}  // namespace

TEST(BlockTradeParser, TheMonthPageGivesTheModelsTradesAndDayLines) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  const BlockTradePageResult result = Parse(month);
  EXPECT_TRUE(result.hasTable);
  ExpectRowsEqual(result.trades, month.ExpectedRows());
  std::vector<std::string> lines;
  for (const BlockTradeDaySummary& day : result.days) lines.push_back(BlockTradeDayLine(day));
  EXPECT_EQ(lines, month.ExpectedDayLines());
  EXPECT_EQ(result.unreadableDays, 0);
}

TEST(BlockTradeParser, AStockWithThreeTradesNumbersThemOneTwoThreeAndCarriesItsClose) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  const BlockTradePageResult result = Parse(month);
  EXPECT_EQ(Ids(result.trades, "000651"),
            (std::vector<std::string>{"2017-02-060006511", "2017-02-060006512", "2017-02-060006513"}));
  const BlockTradeStockModel& stock = month.days[0].stocks[0];
  ASSERT_EQ(stock.code, "000651");
  int seen = 0;
  for (const CBlockTradeRow& t : result.trades) {
    if (t.StockCode != "000651") continue;
    ++seen;
    EXPECT_EQ(t.nCount, seen);
    EXPECT_EQ(t.SPJ, stock.close);  // the close cell spans the rows
    EXPECT_EQ(t.StockName, stock.name);
    EXPECT_EQ(t.CJJ, stock.trades[static_cast<std::size_t>(seen - 1)].price);
  }
  EXPECT_EQ(seen, 3);
}

TEST(BlockTradeParser, ABShareWithTwoTradesStoresNothingAndTheNextStockIsStored) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  ASSERT_EQ(month.days[0].stocks[1].code, "200625");
  ASSERT_EQ(month.days[0].stocks[1].trades.size(), 2u);
  ASSERT_EQ(month.days[0].stocks[2].code, "600519");
  const BlockTradePageResult result = Parse(month);
  EXPECT_TRUE(Ids(result.trades, "200625").empty());
  EXPECT_TRUE(Ids(result.trades, "688111").empty());
  EXPECT_EQ(Ids(result.trades, "600519"), std::vector<std::string>{"2017-02-066005191"});
  // The B share's further row is not taken for the stock before it either.
  EXPECT_EQ(Ids(result.trades, "000651").size(), 3u);
}

TEST(BlockTradeParser, ADayOfTwelveRowsPrintsTwelveWhateverWasParsed) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  const BlockTradePageResult result = Parse(month);
  ASSERT_FALSE(result.days.empty());
  EXPECT_EQ(result.days[0], (BlockTradeDaySummary{"2017-02-06", 12, 9, 9}));
  EXPECT_EQ(BlockTradeDayLine(result.days[0]), "2017-02-06, 总行数=12, 解析行数=9,有效行=9\n");
}

TEST(BlockTradeParser, AmountsAndVolumesWithDecimalsAreStoredWhole) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  const BlockTradeModel& decimal = month.days[0].stocks[2].trades[0];
  ASSERT_NE(decimal.amountText.find('.'), std::string::npos);
  const BlockTradePageResult result = Parse(month);
  for (const CBlockTradeRow& t : result.trades) {
    if (t.StockCode != "600519") continue;
    EXPECT_EQ(t.CJJE, static_cast<float>(std::stoll(decimal.amountText)));
    EXPECT_EQ(t.CJJE, std::trunc(t.CJJE));
  }
  const BlockTradeModel& volume = month.days[0].stocks[4].trades[1];
  ASSERT_NE(volume.volumeText.find('.'), std::string::npos);
  const auto found = std::find_if(result.trades.begin(), result.trades.end(),
                                  [](const CBlockTradeRow& t) { return t.StockCode == "300059" && t.nCount == 2; });
  ASSERT_NE(found, result.trades.end());
  EXPECT_EQ(found->CJSL, std::stoi(volume.volumeText));
}

TEST(BlockTradeParser, APageWithoutTheContentEndIsParsedToItsEnd) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", {"2017-02-06", "2017-02-03", "2017-01-26"}, 4);
  const BlockTradePageResult result = Parse(month, BlockTradePageKind::NoContentEnd);
  ExpectRowsEqual(result.trades, month.ExpectedRows());
  ASSERT_EQ(result.days.size(), 3u);
  EXPECT_EQ(result.days.back().day, "2017-01-26");
}

TEST(BlockTradeParser, TextAfterTheContentEndIsNotTheMonths) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  const std::string page = Decoded(RenderBlockTradeMonthPage(month));
  ASSERT_NE(page.find("2016-01-04"), std::string::npos);  // the side list is there
  const BlockTradePageResult result = ParseBlockTradePage(page);
  EXPECT_TRUE(Ids(result.trades, "600000").empty());
  EXPECT_EQ(result.days.size(), 2u);
}

TEST(BlockTradeParser, APageWithoutTheHeadHasNoTable) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  const BlockTradePageResult result = Parse(month, BlockTradePageKind::NoHeader);
  EXPECT_FALSE(result.hasTable);
  EXPECT_TRUE(result.trades.empty());
  EXPECT_TRUE(result.days.empty());
  EXPECT_FALSE(CutBlockTradeTable("").hasTable);
}

TEST(BlockTradeParser, BareCellsGiveTheSameTrades) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  const std::string bare = Decoded(RenderBlockTradeMonthPage(month, BlockTradePageKind::BareCells));
  ASSERT_NE(bare.find("</td><td>"), std::string::npos);
  const BlockTradePageResult result = ParseBlockTradePage(bare);
  ExpectRowsEqual(result.trades, month.ExpectedRows());
}

TEST(BlockTradeParser, ABareCellAfterTheCloseIsReadWhole) {
  const std::string page = Page(std::string(kDateCell) +
                                "<td rowspan=\"2\"><a href=\"x\">600036</a></td><td rowspan=\"2\"><a>招商银行</a></td>"
                                "<td rowspan=\"2\"><a>明细</a></td><td rowspan=\"2\">19.25</td><td>19.10</td><td>120</td>"
                                "<td>2292</td><td>买方</td><td>卖方</td></tr>"
                                "<tr class=\"list_eve\"><td>18.90</td><td>35</td><td>661</td><td>买二</td><td>卖二</td></tr>"
                                "<tr class=\"list_eve\"><td><a href=\"y\">000001</a></td><td><a>平安银行</a></td>"
                                "<td><a>明细</a></td><td><span class=\"red\">9.5</span></td><td>9.40</td><td>10</td>"
                                "<td>94.7</td><td>甲</td><td>乙</td></tr>");
  const BlockTradePageResult result = ParseBlockTradePage(page);
  ASSERT_EQ(result.trades.size(), 3u);
  EXPECT_EQ(result.trades[0].CJJ, 19.10f);
  EXPECT_EQ(result.trades[0].SPJ, 19.25f);
  EXPECT_EQ(result.trades[1].CJJ, 18.90f);
  EXPECT_EQ(result.trades[1].SPJ, 19.25f);
  EXPECT_EQ(result.trades[1].nCount, 2);
  EXPECT_EQ(result.trades[1].BuyName, "买二");
  EXPECT_EQ(result.trades[2].SPJ, 9.5f);
  EXPECT_EQ(result.trades[2].CJJE, 94.0f);
  EXPECT_EQ(result.trades[2].nCount, 1);
  ASSERT_EQ(result.days.size(), 1u);
  EXPECT_EQ(result.days[0], (BlockTradeDaySummary{"2017-02-06", 3, 3, 3}));
}

TEST(BlockTradeParser, InnerTagsAndBlanksLeaveTheCellText) {
  EXPECT_EQ(BlockTradeParser::CellText(" <b>中信</b>证券<i>营业部</i> "), "中信证券营业部");
  EXPECT_EQ(BlockTradeParser::CellText("<span class=\"red\">9.25</span>"), "9.25");
  EXPECT_EQ(BlockTradeParser::CellText("12<b"), "12");  // a tag that never closes ends the value
  EXPECT_EQ(BlockTradeParser::CellText(""), "");
}

TEST(BlockTradeParser, TextBeforeTagTakesTheTextBetweenTheLastBracketAndTheTag) {
  EXPECT_EQ(BlockTradeParser::TextBeforeTag("<td x><strong>2017-02-06</strong></td>", "</strong>"), "2017-02-06");
  EXPECT_EQ(BlockTradeParser::TextBeforeTag("<a href=\"q\">000001</a></td><a>x</a>", "</a>"), "000001");
  EXPECT_EQ(BlockTradeParser::TextBeforeTag("<b>2017-02-06", "</strong>"), "2017-02-06");  // no tag
  EXPECT_EQ(BlockTradeParser::TextBeforeTag("plain", "</a>"), "plain");
  EXPECT_EQ(BlockTradeParser::TextBeforeTag("</a>", "</a>"), "");
}

TEST(BlockTradeParser, AnUnreadableDateSkipsItsDayAndTheNextDayGoesOn) {
  for (const char* shown : {"2017-02-30", "2017-2-6", "日期", "", "2017-02-06x"}) {
    SCOPED_TRACE(shown);
    BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
    MakeDayUnreadable(month, 0, shown);
    const BlockTradePageResult result = Parse(month);
    EXPECT_EQ(result.unreadableDays, 1);
    ExpectRowsEqual(result.trades, month.ExpectedRows());
    ASSERT_EQ(result.days.size(), 1u);
    EXPECT_EQ(result.days[0].day, "2017-02-03");
    for (const CBlockTradeRow& t : result.trades) EXPECT_EQ(t.Day, "2017-02-03");
  }
}

TEST(BlockTradeParser, ARowMissingACellEndIsAbandonedAndTheDayLineShowsIt) {
  BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  BreakTradeCell(month, 0, 0, 1);  // 000651's second trade
  BreakTradeCell(month, 0, 6, 0);  // 601318's only trade
  const BlockTradePageResult result = Parse(month);
  ExpectRowsEqual(result.trades, month.ExpectedRows());
  // The abandoned row keeps its place: the third trade is still number 3.
  EXPECT_EQ(Ids(result.trades, "000651"), (std::vector<std::string>{"2017-02-060006511", "2017-02-060006513"}));
  EXPECT_TRUE(Ids(result.trades, "601318").empty());
  ASSERT_FALSE(result.days.empty());
  EXPECT_EQ(result.days[0], (BlockTradeDaySummary{"2017-02-06", 12, 7, 7}));
}

TEST(BlockTradeParser, TradesTheListenerRejectsAreParsedButNotCountedStored) {
  const BlockTradeMonthModel month = MakeBlockTradeMonth("201702", kFebruary, 3);
  int offered = 0;
  const BlockTradePageResult result =
      ParseBlockTradePage(Decoded(RenderBlockTradeMonthPage(month)), [&](const CBlockTradeRow&) {
        return ++offered % 2 == 0;  // every second one "already stored"
      });
  ASSERT_EQ(result.days.size(), 2u);
  int parsed = 0, stored = 0;
  for (const BlockTradeDaySummary& d : result.days) {
    parsed += d.parsed;
    stored += d.stored;
  }
  EXPECT_EQ(parsed, offered);
  EXPECT_EQ(stored, offered / 2);
  EXPECT_EQ(month.ExpectedDayLines(true)[0], "2017-02-06, 总行数=12, 解析行数=9,有效行=0\n");
}

TEST(BlockTradeParser, AFurtherRowWithoutAStockIsIgnored) {
  const std::string page = Page(std::string(kDateCell) +
                                "<td><a>600036</a></td><td><a>招商银行</a></td><td><a>明细</a></td>"
                                "<td><span>19.25</span></td><td>19.10</td><td>120</td><td>2292</td><td>买</td><td>卖</td></tr>"
                                "<tr class=\"list_eve\"><td>18.90</td><td>35</td><td>661</td><td>买二</td><td>卖二</td></tr>");
  const BlockTradePageResult result = ParseBlockTradePage(page);
  ASSERT_EQ(result.trades.size(), 1u);
  EXPECT_EQ(result.trades[0].CJJ, 19.10f);
  ASSERT_EQ(result.days.size(), 1u);
  EXPECT_EQ(result.days[0], (BlockTradeDaySummary{"2017-02-06", 3, 1, 1}));
}

TEST(BlockTradeParser, AStocksRowsDoNotReachIntoTheNextDay) {
  // The first day's stock claims three rows but has one; the next day's first stock
  // has no link in its code cell, so its row must not become the old stock's trade.
  const std::string page =
      Page(std::string(kDateCell) +
           "<td rowspan=\"3\"><a>600036</a></td><td rowspan=\"3\"><a>招商银行</a></td><td rowspan=\"3\"><a>明细</a></td>"
           "<td rowspan=\"3\">19.25</td><td>19.10</td><td>120</td><td>2292</td><td>买</td><td>卖</td></tr>"
           "<tr class=\"list_odd\"><td colspan=11></td></tr>"
           "<tr class=\"list_eve\"><td rowspan=\"1\" valign=\"middle\"><strong>2017-02-03</strong></td>"
           "<td>18.90</td><td>35</td><td>661</td><td>买二</td><td>卖二</td></tr>");
  const BlockTradePageResult result = ParseBlockTradePage(page);
  ASSERT_EQ(result.trades.size(), 1u);
  EXPECT_EQ(result.trades[0].Day, "2017-02-06");
  ASSERT_EQ(result.days.size(), 2u);
  EXPECT_EQ(result.days[1], (BlockTradeDaySummary{"2017-02-03", 1, 0, 0}));
}

TEST(BlockTradeParser, CodesMustBeSixDigitsOfTheMainBoards) {
  for (const char* code : {"60003", "6000361", "60003a", "900901", "200625", "688001", "830001"}) {
    SCOPED_TRACE(code);
    const std::string page = Page(std::string(kDateCell) + "<td><a>" + code +
                                  "</a></td><td><a>名</a></td><td><a>明细</a></td><td>1</td><td>1</td><td>1</td>"
                                  "<td>1</td><td>买</td><td>卖</td></tr>");
    EXPECT_TRUE(ParseBlockTradePage(page).trades.empty());
  }
  for (const char* code : {"000001", "300750", "600036", "002415"}) {
    const std::string page = Page(std::string(kDateCell) + "<td><a>" + code +
                                  "</a></td><td><a>名</a></td><td><a>明细</a></td><td>1</td><td>1</td><td>1</td>"
                                  "<td>1</td><td>买</td><td>卖</td></tr>");
    EXPECT_EQ(ParseBlockTradePage(page).trades.size(), 1u) << code;
  }
}

TEST(BlockTradeParser, OutOfRangeNumbersBecomeZeroAndNamesAreCapped) {
  const std::string longName(300, 'N');
  const std::string page = Page(std::string(kDateCell) + "<td><a>600036</a></td><td><a>" + longName +
                                "</a></td><td><a>明细</a></td><td>1e999</td><td>" + std::string(60, '9') +
                                "</td><td>99999999999</td><td>-12.9</td><td>" + longName + "</td><td>卖</td></tr>");
  const BlockTradePageResult result = ParseBlockTradePage(page);
  ASSERT_EQ(result.trades.size(), 1u);
  const CBlockTradeRow& t = result.trades[0];
  EXPECT_EQ(t.SPJ, 0.0f);
  EXPECT_EQ(t.CJJ, 0.0f);   // 1e59 does not fit the float field
  EXPECT_EQ(t.CJSL, 0);     // beyond 32 bits
  EXPECT_EQ(t.CJJE, -12.0f);
  EXPECT_EQ(t.StockName.size(), kBlockTradeNameCap);
  EXPECT_EQ(t.BuyName.size(), kBlockTradeBranchCap);
}

TEST(BlockTradeParser, DayTextsAreRealDays) {
  EXPECT_TRUE(BlockTradeParser::IsDayText("2017-02-06"));
  EXPECT_TRUE(BlockTradeParser::IsDayText("2016-02-29"));
  EXPECT_FALSE(BlockTradeParser::IsDayText("2017-02-29"));
  EXPECT_FALSE(BlockTradeParser::IsDayText("2017-13-01"));
  EXPECT_FALSE(BlockTradeParser::IsDayText("2017-02-06 00:00:00"));
  EXPECT_FALSE(BlockTradeParser::IsDayText("0999-01-01x"));
}
