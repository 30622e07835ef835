// The exchanges' bulletins parsed without the network: the Shenzhen board files and
// the Shanghai answer of the fixture day against what the model says is stored, and
// the texts a bulletin can go wrong in.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../support/exchange_pages.h"
#include "acquisition/download_engine.h"
#include "acquisition/exchange_bulletins.h"
#include "acquisition/page_text.h"
#include "storage/charset.h"

namespace {

class RecordingEvents : public BulletinEvents {
 public:
  void Line(const std::string& text, COLORREF colour) override { lines.push_back({text, colour}); }
  void Progress(const std::string& text) override { progress.push_back(text); }
  void Stock(StockRecord& record) override { stocks.push_back(record); }

  bool HasLine(const std::string& text) const {
    return std::any_of(lines.begin(), lines.end(), [&](const auto& l) { return l.first == text; });
  }
  const StockRecord* Find(const std::string& code) const {
    for (const StockRecord& r : stocks) {
      if (r.StockCode == code) return &r;
    }
    return nullptr;
  }

  std::vector<std::pair<std::string, COLORREF>> lines;
  std::vector<std::string> progress;
  std::vector<StockRecord> stocks;
};

std::string SzseText(const ExchangeDayModel& day, std::size_t board) {
  return decodePage(RenderSzseBulletin(day, day.boards[board]), "", "gbk");
}

void ExpectSeats(const SeatList& got, const FiveSeats& want, const std::string& what) {
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(got[i].name, want[i].name) << what << " seat " << i;
    EXPECT_DOUBLE_EQ(got[i].buy, want[i].buy) << what << " seat " << i;
    EXPECT_DOUBLE_EQ(got[i].sell, want[i].sell) << what << " seat " << i;
  }
}

// Parses what the download parses (the three boards, then Shanghai) and compares every
// stock handed on with the model's expectation, bulletin figures included.
void ExpectDayAsModel(const ExchangeDayModel& day) {
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  for (std::size_t b = 0; b < day.boards.size(); ++b) {
    if (!day.boards[b].missing) {
      EXPECT_EQ(parser.ParseSzseBulletin(SzseText(day, b), "board"), kBulletinParsed);
    }
  }
  EXPECT_EQ(parser.ParseSseBulletin(SseAnswerText(RenderSseAnswer(day), "")), kBulletinParsed);
  const std::vector<ExpectedExchangeRow> expected = Expected(day);
  ASSERT_EQ(events.stocks.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const StockRecord& got = events.stocks[i];
    const ExpectedExchangeRow& want = expected[i];
    EXPECT_EQ(got.StockCode, want.code) << i;
    EXPECT_EQ(got.StockName, want.name) << i;
    EXPECT_EQ(got.SB_Reason, want.reason) << want.code;
    EXPECT_EQ(got.SB_Date, day.date);
    EXPECT_EQ(got.IsDownloadOK, 1);
    ExpectSeats(got.BuySeats, want.buy, want.code + " buy");
    ExpectSeats(got.SellSeats, want.sell, want.code + " sell");
  }
  EXPECT_EQ(parser.m_nDownload_StockCounter, static_cast<int>(expected.size()));
}

}  // namespace

TEST(SzseBulletin, TheFixtureDayParsesAsTheModelSays) { ExpectDayAsModel(MakeExchangeDay("2017-01-05")); }

TEST(SzseBulletin, FileNamesAndTitles) {
  EXPECT_EQ(SzseBulletinFileName(2016, 3, 9), "160309.txt");
  EXPECT_EQ(SzseBulletinFileName(2017, 1, 5), "170105.txt");
  EXPECT_EQ(SzseSectionTitles(), SzseTitlesForTests());
  EXPECT_EQ(SseSectionTitles(), SseTitlesForTests());
}

TEST(SzseBulletin, SeatAmountsAreTenThousandsOfYuanAndTheSellKeepsItsIntegerPart) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  ASSERT_EQ(parser.ParseSzseBulletin(SzseText(day, 0), "main"), kBulletinParsed);
  const StockRecord* sixRows = events.Find("000002");
  ASSERT_NE(sixRows, nullptr);
  EXPECT_DOUBLE_EQ(sixRows->BuySeats[0].buy, 123.456789);
  EXPECT_DOUBLE_EQ(sixRows->BuySeats[0].sell, 0.1234);
  // Six rows in the table: the sixth is not kept.
  EXPECT_FALSE(sixRows->BuySeats[4].name.empty());
  // The bulletin's own figures, before any quote.
  EXPECT_DOUBLE_EQ(sixRows->ZhangFu, 9.98);
  EXPECT_DOUBLE_EQ(sixRows->DRCJL, 1234.56);
  EXPECT_DOUBLE_EQ(sixRows->Amount, 5678.90);
}

TEST(SzseBulletin, ASeatlessBlockAfterALongNameKeepsItsNameAndFigures) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  ASSERT_EQ(parser.ParseSzseBulletin(SzseText(day, 0), "main"), kBulletinParsed);
  const StockRecord* longName = events.Find("000003");
  ASSERT_NE(longName, nullptr);
  EXPECT_EQ(longName->StockName, "深圳市长城开发科技股份有限公");  // 28 GBK bytes: the name field's cap
  EXPECT_LE(GbkByteLength(longName->StockName), 29u);
  const StockRecord* seatless = events.Find("000004");
  ASSERT_NE(seatless, nullptr);
  EXPECT_EQ(seatless->StockName, "国农科技");
  EXPECT_DOUBLE_EQ(seatless->ZhangFu, -9.87);
  EXPECT_DOUBLE_EQ(seatless->DRCJL, 321.5);
  EXPECT_DOUBLE_EQ(seatless->Amount, 4321.25);
  for (const SeatEntry& seat : seatless->BuySeats) EXPECT_TRUE(seat.name.empty());
  for (const SeatEntry& seat : seatless->SellSeats) EXPECT_TRUE(seat.name.empty());
}

TEST(SzseBulletin, BothFormsOfTheStTitlesAreFoundAndTheShortFormIsTheReason) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  ASSERT_EQ(parser.ParseSzseBulletin(SzseText(day, 0), "main"), kBulletinParsed);  // longer titles
  ASSERT_EQ(parser.ParseSzseBulletin(SzseText(day, 1), "sme"), kBulletinParsed);   // shorter titles
  const StockRecord* longForm = events.Find("000005");
  const StockRecord* shortForm = events.Find("002001");
  ASSERT_NE(longForm, nullptr);
  ASSERT_NE(shortForm, nullptr);
  EXPECT_EQ(longForm->SB_Reason, SzseTitlesForTests()[7]);
  EXPECT_EQ(shortForm->SB_Reason, SzseTitlesForTests()[7]);
  EXPECT_TRUE(shortForm->BuySeats[0].name.starts_with("华泰证券"));  // the body after the title's end
  // The stock of both boards and two sections: once, with its first reason.
  EXPECT_EQ(std::count_if(events.stocks.begin(), events.stocks.end(),
                          [](const StockRecord& r) { return r.StockCode == "000001"; }),
            1);
  EXPECT_EQ(events.Find("000001")->SB_Reason, SzseTitlesForTests()[0]);
}

TEST(SzseBulletin, ATurnoverBlockStoresNoChange) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  ASSERT_EQ(parser.ParseSzseBulletin(SzseText(day, 2), "growth"), kBulletinParsed);
  ASSERT_EQ(events.stocks.size(), 1u);
  EXPECT_DOUBLE_EQ(events.stocks[0].ZhangFu, 0.0);
  EXPECT_DOUBLE_EQ(events.stocks[0].DRCJL, 1234.56);
  EXPECT_EQ(events.progress.front().substr(0, 4), "00, ");
}

TEST(SzseBulletin, ProgressLinesCountInGbkColumns) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  ASSERT_EQ(parser.ParseSzseBulletin(SzseText(day, 0), "main"), kBulletinParsed);
  ASSERT_FALSE(events.progress.empty());
  // "平安银行" takes 8 of its 10 columns: two blanks follow it.
  EXPECT_EQ(events.progress[0], "00, 平安银行   000001     (2017-01-05)");
}

TEST(SzseBulletin, BrokenFilesFailOrSkipWhatIsMissing) {
  RecordingEvents events;
  ExchangeBulletinParser parser("2017-01-05", events);
  EXPECT_EQ(parser.ParseSzseBulletin("日涨幅偏离值达到7%的前五只证券：\n无\n----------------------------", "f"),
            kBulletinMissing);
  EXPECT_EQ(parser.ParseSzseBulletin("交易公开信息\n没有标题\n", "f"), kBulletinMissing);
  EXPECT_TRUE(events.HasLine("日涨幅偏离值达到7%的前五只证券 ：没有查找到"));

  // A section without its separator, then sections that are missing.
  events.lines.clear();
  const std::string block = "平安银行(代码000001) 偏离值:5.00% 成交量:1万股 成交金额:2万元\n"
                            "卖出金额最大的前5名:\n营业部名称 买入金额(元) 卖出金额(元)\n甲营业部 10000 20000.00\n";
  EXPECT_EQ(parser.ParseSzseBulletin("交易公开信息\n日涨幅偏离值达到7%的前五只证券：\n" + block, "\\临时文件\\x.txt"),
            kBulletinParsed);
  EXPECT_TRUE(events.HasLine("----------------：华丽分割线，没有查找到"));
  EXPECT_TRUE(events.HasLine("\\临时文件\\x.txt : 其它异常波动的证券： ：没有查找到"));
  EXPECT_TRUE(events.stocks.empty());  // no row from a section without its end
}

TEST(SzseBulletin, ShortBodiesAndBlocksWithoutTablesOrFigures) {
  RecordingEvents events;
  ExchangeBulletinParser parser("2017-01-05", events);
  const std::string sep = "-----------------------\n";
  // 99 bytes or fewer: no stock, even one that looks whole.
  const std::string tiny = "甲(代码000009) 偏离值:1% 成交量:1万股 成交金额:1万元\n";
  ASSERT_LE(GbkByteLength(tiny), 99u);
  EXPECT_EQ(parser.ParseSzseBulletin("交易公开信息\n日涨幅偏离值达到7%的前五只证券：\n" + tiny + sep, "f"),
            kBulletinParsed);
  EXPECT_TRUE(events.stocks.empty());

  // Long enough, but without the selling marker and with a bad number: no seats, 0.
  const std::string padded = "乙股份(代码000010) 偏离值:abc% 成交量:x万股 成交金额:12,5万元\n" +
                             std::string(120, ' ') + "\n买入金额最大的前5名:\n营业部名称 买入金额(元) 卖出金额(元)\n"
                             "丙营业部 100 200.00\n";
  EXPECT_EQ(parser.ParseSzseBulletin("交易公开信息\n日涨幅偏离值达到7%的前五只证券：\n" + padded + sep, "f"),
            kBulletinParsed);
  ASSERT_EQ(events.stocks.size(), 1u);
  EXPECT_EQ(events.stocks[0].StockName, "乙股份");
  EXPECT_DOUBLE_EQ(events.stocks[0].ZhangFu, 0.0);
  EXPECT_DOUBLE_EQ(events.stocks[0].DRCJL, 0.0);
  EXPECT_DOUBLE_EQ(events.stocks[0].Amount, 12.0);
  EXPECT_TRUE(events.stocks[0].BuySeats[0].name.empty());
}

// ---- Shanghai ------------------------------------------------------------------

TEST(SseBulletin, SharesFundsMarginAndShortSale) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  ASSERT_EQ(parser.ParseSseBulletin(SseAnswerText(RenderSseAnswer(day), "")), kBulletinParsed);
  EXPECT_EQ(events.Find("510050"), nullptr);  // a fund in an ordinary section
  const StockRecord* bShare = events.Find("900901");
  ASSERT_NE(bShare, nullptr);
  EXPECT_EQ(bShare->SB_Reason, SseTitlesForTests()[0]);
  const StockRecord* seven = events.Find("600001");
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven->SB_Reason, SseTitlesForTests()[0]);  // listed again in section 6
  EXPECT_EQ(seven->BuySeats[4].name, "招商证券股份有限公司深圳蛇口工业七路证券营业部");  // of seven rows
  EXPECT_DOUBLE_EQ(seven->BuySeats[0].sell, 0.0);
  EXPECT_DOUBLE_EQ(seven->SellSeats[0].buy, 0.0);
  const StockRecord* dot = events.Find("600002");
  ASSERT_NE(dot, nullptr);
  EXPECT_EQ(dot->StockName, "东方·明珠");
  const StockRecord* margin = events.Find("600003");
  ASSERT_NE(margin, nullptr);
  EXPECT_EQ(margin->SB_Reason, SseTitlesForTests()[12]);
  EXPECT_FALSE(margin->SellSeats[0].name.empty());
  const StockRecord* shortSale = events.Find("600004");
  ASSERT_NE(shortSale, nullptr);
  EXPECT_EQ(shortSale->SB_Reason, SseTitlesForTests()[13]);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(shortSale->BuySeats[i].name, "空即是空");
    EXPECT_DOUBLE_EQ(shortSale->BuySeats[i].buy, 0.0);
    EXPECT_FALSE(shortSale->SellSeats[i].name.empty());
    EXPECT_GT(shortSale->SellSeats[i].sell, 0.0);
  }
  EXPECT_TRUE(shortSale->BuySeats[3].name.empty());
}

TEST(SseBulletin, ASectionBeforeAMissingTitleKeepsItsOwnReason) {
  ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  day.missingSseTitle = 5;  // "六、…" is not in the answer
  ExchangeStockModel extra;
  extra.code = "600009", extra.name = "上海机场";
  extra.buys = {{"某某证券营业部", "123456.00", ""}};
  day.stocks.push_back(extra);
  day.sse.push_back({static_cast<int>(day.stocks.size() - 1), 4});
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  ASSERT_EQ(parser.ParseSseBulletin(SseAnswerText(RenderSseAnswer(day), "")), kBulletinParsed);
  const StockRecord* extraRow = events.Find("600009");
  ASSERT_NE(extraRow, nullptr);
  EXPECT_EQ(extraRow->SB_Reason, SseTitlesForTests()[4]);
  EXPECT_TRUE(events.HasLine(SseTitlesForTests()[5] + " ：没有查找到"));
  ExpectDayAsModel(day);
}

TEST(SseBulletin, MissingMarkersEndTheQueryWithTheirLines) {
  RecordingEvents events;
  ExchangeBulletinParser parser("2017-01-05", events);
  EXPECT_EQ(parser.ParseSseBulletin(""), kBulletinMissing);
  EXPECT_TRUE(events.HasLine("上海证券交易所每日交易信息：没有Velkor数据或网页数据有变"));
  EXPECT_EQ(parser.ParseSseBulletin("上海证券交易所每日交易信息 没有日期"), kBulletinMissing);
  EXPECT_TRUE(events.HasLine("交易日期:"));
  EXPECT_EQ(parser.ParseSseBulletin("上海证券交易所每日交易信息 交易日期:2017-01-05 " + SseTitlesForTests()[0]),
            kBulletinMissing);
  EXPECT_TRUE(events.HasLine(SseTitlesForTests()[1] + " ：没有查找到"));
  EXPECT_TRUE(events.stocks.empty());
}

TEST(SseBulletin, SectionsWithoutShareClassesOrAnEndGiveNoRows) {
  const std::vector<std::string>& t = SseTitlesForTests();
  const std::string stock = "证券代码: 600010 证券简称: 包钢股份, 买入营业部名称 买入金额(元):, 1 甲营业部 1000.00, ";
  RecordingEvents events;
  ExchangeBulletinParser parser("2017-01-05", events);
  // Section 1 lacks "1、A股"; section 2 holds a stock but no later title ends it.
  EXPECT_EQ(parser.ParseSseBulletin("上海证券交易所每日交易信息 交易日期:2017-01-05 " + t[0] + " " + stock + t[1] +
                                    " 1、A股 " + stock),
            kBulletinParsed);
  EXPECT_TRUE(events.stocks.empty());
}

TEST(SseBulletin, InvalidUtf8BecomesReplacementAndTheRestStays) {
  const ExchangeDayModel day = MakeExchangeDay("2017-01-05");
  std::string answer = RenderSseAnswer(day);
  const std::size_t at = answer.find("浦发银行");
  ASSERT_NE(at, std::string::npos);
  answer[at + 3] = '\xff';  // the second character's first byte
  RecordingEvents events;
  ExchangeBulletinParser parser(day.date, events);
  const std::string text = SseAnswerText(answer, "application/javascript");
  EXPECT_TRUE(IsValidUtf8(text));
  ASSERT_EQ(parser.ParseSseBulletin(text), kBulletinParsed);
  const StockRecord* row = events.Find("600001");
  ASSERT_NE(row, nullptr);
  EXPECT_TRUE(row->StockName.starts_with("浦"));
  EXPECT_NE(row->StockName.find("\xEF\xBF\xBD"), std::string::npos);
  EXPECT_TRUE(row->StockName.ends_with("银行"));
  EXPECT_NE(events.Find("600004"), nullptr);
}

TEST(GbkLength, CountsGbkBytesWithoutLineEnds) {
  EXPECT_TRUE(GbkLengthAtLeast("中文中文中文中文中文", 20));
  EXPECT_FALSE(GbkLengthAtLeast("中文中文中文中文中", 19));
  EXPECT_FALSE(GbkLengthAtLeast("0123456789\r\n\r\n\r\n012345678", 20));
  EXPECT_TRUE(GbkLengthAtLeast("", 0));
  EXPECT_FALSE(GbkLengthAtLeast("", 1));
}
