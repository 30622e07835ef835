#include "acquisition/day_list_parser.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "../support/page_generator.h"
#include "storage/charset.h"

namespace {

const std::string kDay = "2017-02-06";

std::string Page(const std::string& records) {
  return "var data_tab_1={\"success\":true,\"pages\":1,\"data\":[" + records + "],\"url\":\"\"}";
}

// The record every check below starts from, with distractor keys among the six.
std::string Record(const std::string& code = "000004", const std::string& name = "国农科技",
                   const std::string& turnover = "250000000") {
  return "{\"Tdate\":\"2017-02-06\",\"SCode\":\"" + code + "\",\"SNameAbbr\":\"GNKJ\",\"SName\":\"" + name +
         "\",\"ClosePrice\":\"25.1\",\"Chgradio\":\"10.0088\",\"Dchratio\":\"0.89\",\"JmMoney\":\"-3.5\","
         "\"Turnover\":\"" + turnover + "\",\"Ctypedes\":\"日涨幅偏离值达7%的证券\",\"Oldid\":\"123\"}";
}

DayListPage ParseGbk(const std::string& gbk) { return ParseDayList(JoinPageLines(FromGbk(gbk)), kDay); }

TEST(DayListRecord, TheSixKeysGoToTheirFieldsAndTheRestStaysZero) {
  const DayListPage page = ParseDayList(Page(Record()), kDay);
  ASSERT_TRUE(page.hasRecordArray);
  ASSERT_EQ(page.entries.size(), 1u);
  const DayListEntry& e = page.entries[0];
  EXPECT_TRUE(e.complete);
  EXPECT_FALSE(e.repeated);
  EXPECT_EQ(e.index, 1);
  const StockRecord& r = e.record;
  EXPECT_EQ(r.StockCode, "000004");
  EXPECT_EQ(r.StockName, "国农科技");
  EXPECT_EQ(r.SB_Date, kDay);
  EXPECT_EQ(r.SB_Reason, "日涨幅偏离值达7%的证券");
  EXPECT_DOUBLE_EQ(r.JinShou, 25.1);
  EXPECT_DOUBLE_EQ(r.ZhangFu, 10.0088);
  EXPECT_DOUBLE_EQ(r.Amount, 25000.0);
  EXPECT_EQ(r.ZuoShou, 0);
  EXPECT_EQ(r.JinKai, 0);
  EXPECT_EQ(r.HuanShou, 0);
  EXPECT_EQ(r.ZhenFu, 0);
  EXPECT_EQ(r.DRCJL, 0);
  EXPECT_EQ(r.IsDownloadOK, 0);
  for (const SeatEntry& seat : r.BuySeats) EXPECT_EQ(seat, SeatEntry{});
}

TEST(DayListRecord, CodeKeepsItsFirstSixCharacters) {
  const DayListPage page = ParseDayList(Page(Record("0000041234")), kDay);
  ASSERT_EQ(page.entries.size(), 1u);
  EXPECT_EQ(page.entries[0].record.StockCode, "000004");
  // A shorter value is kept as it is, without the closing quote.
  EXPECT_EQ(ParseDayList(Page(Record("0004")), kDay).entries[0].record.StockCode, "0004");
}

TEST(DayListRecord, TurnoverIsConvertedToTenThousandYuan) {
  EXPECT_DOUBLE_EQ(ParseDayList(Page(Record("000004", "国农科技", "25000")), kDay).entries[0].record.Amount, 2.5);
  EXPECT_DOUBLE_EQ(ParseDayList(Page(Record("000004", "国农科技", "0")), kDay).entries[0].record.Amount, 0.0);
}

TEST(DayListRecord, ReasonLosesItsQuotesAlsoAsTheLastKey) {
  const std::string last =
      "{\"SCode\":\"600000\",\"SName\":\"浦发银行\",\"ClosePrice\":\"16.2\",\"Chgradio\":\"-1.5\","
      "\"Turnover\":\"1\",\"Oldid\":\"9\",\"Ctypedes\":\"连续三个交易日内，涨幅偏离值累计达20%的证券\"}";
  const DayListPage page = ParseDayList(Page(last), kDay);
  ASSERT_EQ(page.entries.size(), 1u);
  EXPECT_EQ(page.entries[0].record.SB_Reason, "连续三个交易日内，涨幅偏离值累计达20%的证券");
  EXPECT_DOUBLE_EQ(page.entries[0].record.ZhangFu, -1.5);
}

TEST(DayListRecord, DistractorKeysThatLookLikeReadKeysAreIgnored) {
  // "SNameAbbr" comes before "SName", "SCodeOld" before "SCode", a distractor value
  // holds a comma and one spells a key name.
  const std::string record =
      "{\"SCodeOld\":\"999999\",\"Note\":\"a,b\",\"SCode\":\"300001\",\"SNameAbbr\":\"TRD\",\"Key\":\"SName\","
      "\"SName\":\"特锐德\",\"ClosePriceOld\":\"1\",\"ClosePrice\":\"30\",\"Chgradio\":\"2\",\"TurnoverRate\":\"7\","
      "\"Turnover\":\"30000\",\"CtypedesId\":\"5\",\"Ctypedes\":\"日换手率达20%的证券\"}";
  const DayListPage page = ParseDayList(Page(record), kDay);
  ASSERT_EQ(page.entries.size(), 1u);
  const StockRecord& r = page.entries[0].record;
  EXPECT_EQ(r.StockCode, "300001");
  EXPECT_EQ(r.StockName, "特锐德");
  EXPECT_DOUBLE_EQ(r.JinShou, 30.0);
  EXPECT_DOUBLE_EQ(r.Amount, 3.0);
  EXPECT_EQ(r.SB_Reason, "日换手率达20%的证券");
}

TEST(DayListRecord, BadNumbersBecomeZero) {
  for (const std::string& bad :
       std::vector<std::string>{"abc", "1e999", "nan", "inf", "", "-", std::string(400, '9')}) {
    const std::string record = "{\"SCode\":\"000001\",\"SName\":\"平安银行\",\"ClosePrice\":\"" + bad +
                               "\",\"Chgradio\":\"" + bad + "\",\"Turnover\":\"" + bad + "\",\"Ctypedes\":\"x\"}";
    const DayListPage page = ParseDayList(Page(record), kDay);
    ASSERT_EQ(page.entries.size(), 1u) << bad;
    EXPECT_EQ(page.entries[0].record.JinShou, 0) << bad;
    EXPECT_EQ(page.entries[0].record.ZhangFu, 0) << bad;
    EXPECT_EQ(page.entries[0].record.Amount, 0) << bad;
  }
}

TEST(DayListRecord, TextIsCutToItsCapInGbkBytes) {
  std::string name = "a";
  for (int i = 0; i < 20; ++i) name += "中";  // 1 + 40 bytes
  std::string reason;
  for (int i = 0; i < 60; ++i) reason += "证";  // 120 bytes
  const std::string record = "{\"SCode\":\"000001\",\"SName\":\"" + name +
                             "\",\"ClosePrice\":\"1\",\"Chgradio\":\"1\",\"Turnover\":\"1\",\"Ctypedes\":\"" + reason + "\"}";
  const StockRecord r = ParseDayList(Page(record), "2017-02-06 00:00:00 and more").entries.at(0).record;
  EXPECT_EQ(GbkByteLength(r.StockName), 29u);  // "a" and 14 characters: the 15th would straddle
  EXPECT_EQ(r.StockName, name.substr(0, 1 + 14 * 3));
  EXPECT_EQ(GbkByteLength(r.SB_Reason), 98u);  // 49 characters; a 50th would need byte 100
  EXPECT_EQ(r.SB_Date, "2017-02-06 00:00:00");
}

TEST(DayListNames, BlanksAreRemovedAsTheWriterStoresThem) {
  EXPECT_EQ(CleanStockName(" 万 科Ａ  "), "万科Ａ");
  EXPECT_EQ(CleanStockName("*ST 金 泰"), "*ST金泰");
  // Trailing blanks go first; of the rest only eight are removed.
  EXPECT_EQ(CleanStockName("a b c d e f g h i j k   "), "abcdefghi j k");
  EXPECT_EQ(CleanStockName(""), "");
  const DayListPage page = ParseDayList(Page(Record("000002", " 万 科Ａ ")), kDay);
  EXPECT_EQ(page.entries.at(0).record.StockName, "万科Ａ");
}

TEST(DayListNames, ApostropheAndPercentStayIntact) {
  const DayListPage page = ParseDayList(Page(Record("000003", "海'螺_%")), kDay);
  EXPECT_EQ(page.entries.at(0).record.StockName, "海'螺_%");
}

TEST(DayListNames, GbkTrailBytesThatLookLikeBracesParseWhole) {
  for (unsigned char trail : {0x7B, 0x7D}) {
    const std::vector<std::string>& chars = GbkCharactersWithTrail(trail);
    ASSERT_FALSE(chars.empty());
    const std::string name = "国" + chars.front() + "科技";
    const std::string gbk = EncodeGbk(Page(Record("000005", name) + "," + Record("000006", "深振业Ａ")));
    ASSERT_EQ(EncodeGbk(chars.front()).size(), 2u);
    ASSERT_EQ(static_cast<unsigned char>(EncodeGbk(chars.front())[1]), trail);
    const DayListPage page = ParseGbk(gbk);
    ASSERT_EQ(page.entries.size(), 2u) << int(trail);
    EXPECT_EQ(page.entries[0].record.StockName, name);
    EXPECT_EQ(page.entries[0].record.SB_Reason, "日涨幅偏离值达7%的证券");
    EXPECT_EQ(page.entries[1].record.StockCode, "000006");
  }
}

TEST(DayListArray, APageWithoutRecordArrayHasNoEntries) {
  EXPECT_FALSE(ParseDayList("", kDay).hasRecordArray);
  EXPECT_FALSE(ParseDayList("var data_tab_1={\"data\":[]}", kDay).hasRecordArray);
  EXPECT_FALSE(ParseGbk(RenderEmptyListPage()).hasRecordArray);
  EXPECT_FALSE(ParseDayList("{\"SCode\":\"000001\"} [ {", kDay).hasRecordArray);
  EXPECT_STREQ(kNoDayListText, "节假日无Velkor数据 或 网页数据有变化!!!");
  EXPECT_EQ(kDayListRed, 0x0000FFu);
}

TEST(DayListArray, ARecordWithoutClosingBraceEndsTheList) {
  const DayListPage page = ParseDayList("[" + Record() + ",{\"SCode\":\"000009\",\"SName\":\"x\"", kDay);
  EXPECT_TRUE(page.hasRecordArray);
  EXPECT_EQ(page.entries.size(), 1u);
  EXPECT_TRUE(ParseDayList("[{\"SCode\":\"1\"", kDay).entries.empty());
}

TEST(DayListArray, ObjectsAfterTheArrayAreNotRecords) {
  const DayListPage page = ParseDayList(Page(Record()) + ",\"font\":{\"FontMapping\":[{\"code\":\"a\"}]}", kDay);
  ASSERT_EQ(page.entries.size(), 1u);
  EXPECT_TRUE(page.entries[0].complete);
}

TEST(DayListArray, AtMostTwoHundredRecordsAreRead) {
  std::string records;
  for (int i = 0; i < 250; ++i) {
    if (i) records += ",";
    records += Record(std::to_string(100000 + i), "股" + std::to_string(i));
  }
  const DayListPage page = ParseDayList(Page(records), kDay);
  ASSERT_EQ(page.entries.size(), 200u);
  EXPECT_EQ(page.entries.back().index, 200);
  EXPECT_EQ(page.entries.back().record.StockCode, "100199");
}

TEST(DayListSkipped, ARecordLackingAKeyIsSkippedWithItsNumberAndKey) {
  const std::string noName =
      "{\"SCode\":\"000007\",\"ClosePrice\":\"1\",\"Chgradio\":\"1\",\"Turnover\":\"1\",\"Ctypedes\":\"x\"}";
  // Keys out of order: "Turnover" before "Chgradio" is not found after it.
  const std::string swapped =
      "{\"SCode\":\"000008\",\"SName\":\"y\",\"ClosePrice\":\"1\",\"Turnover\":\"1\",\"Chgradio\":\"1\",\"Ctypedes\":\"x\"}";
  const std::string noReason = "{\"SCode\":\"000010\",\"SName\":\"z\",\"ClosePrice\":\"1\",\"Chgradio\":\"1\",\"Turnover\":\"1\"}";
  const DayListPage page =
      ParseDayList(Page(Record() + "," + noName + "," + swapped + "," + noReason + "," + Record("000011", "w")), kDay);
  ASSERT_EQ(page.entries.size(), 5u);
  EXPECT_TRUE(page.entries[0].complete);
  EXPECT_FALSE(page.entries[1].complete);
  EXPECT_EQ(page.entries[1].missingKey, "SName");
  EXPECT_EQ(SkippedRecordLine(page.entries[1]), "第2条记录缺少SName字段，已跳过!");
  EXPECT_FALSE(page.entries[2].complete);
  EXPECT_EQ(SkippedRecordLine(page.entries[2]), "第3条记录缺少Turnover字段，已跳过!");
  EXPECT_EQ(SkippedRecordLine(page.entries[3]), "第4条记录缺少Ctypedes字段，已跳过!");
  EXPECT_TRUE(page.entries[4].complete);
  EXPECT_EQ(page.entries[4].index, 5);
  EXPECT_EQ(page.entries[4].record.StockCode, "000011");
  EXPECT_EQ(SkippedRecordLine(ParseDayList("[{}]", kDay).entries.at(0)), "第1条记录缺少SCode字段，已跳过!");
}

TEST(DayListRepeats, AStockListedTwiceIsMarkedOnItsSecondRecord) {
  const DayListPage page = ParseDayList(
      Page(Record("000004") + "," + Record("000005", "深科技") + "," + Record("000004")), kDay);
  ASSERT_EQ(page.entries.size(), 3u);
  EXPECT_FALSE(page.entries[0].repeated);
  EXPECT_FALSE(page.entries[1].repeated);
  EXPECT_TRUE(page.entries[2].repeated);
  EXPECT_EQ(page.entries[2].index, 3);
}

TEST(DayListRepeats, ASkippedRecordDoesNotMakeTheNextOneARepeat) {
  const std::string broken = "{\"SCode\":\"000004\",\"SName\":\"国农科技\"}";
  const DayListPage page = ParseDayList(Page(broken + "," + Record()), kDay);
  ASSERT_EQ(page.entries.size(), 2u);
  EXPECT_FALSE(page.entries[1].repeated);
}

// The generated pages: every record as the model has it.
TEST(DayListRoundTrip, GeneratedDaysParseAsTheirModel) {
  for (std::uint32_t seed : {1u, 2u, 3u, 77u}) {
    for (const std::string day : {"2017-02-06", "2017-01-26"}) {
      const MarketDay model = MakeMarketDay(day, seed);
      ASSERT_GE(model.stocks.size(), 20u);
      ASSERT_LE(model.stocks.size(), 60u);
      const DayListPage page = ParseDayList(JoinPageLines(FromGbk(RenderListPage(model))), day);
      ASSERT_TRUE(page.hasRecordArray);
      ASSERT_EQ(page.entries.size(), model.records.size()) << day << " " << seed;
      for (std::size_t i = 0; i < page.entries.size(); ++i) {
        const DayListEntry& e = page.entries[i];
        const ListRecordModel& expected = model.records[i];
        const MarketStock& stock = model.stocks[static_cast<std::size_t>(expected.stock)];
        SCOPED_TRACE(stock.code + " " + stock.pageName);
        ASSERT_TRUE(e.complete) << e.missingKey;
        EXPECT_EQ(e.index, static_cast<int>(i) + 1);
        EXPECT_EQ(e.repeated, expected.repeat);
        EXPECT_EQ(e.record.StockCode, stock.code);
        EXPECT_EQ(e.record.StockName, stock.storedName);
        EXPECT_EQ(e.record.SB_Date, day);
        EXPECT_EQ(e.record.SB_Reason, expected.reason);
        EXPECT_DOUBLE_EQ(e.record.JinShou, stock.close);
        EXPECT_DOUBLE_EQ(e.record.ZhangFu, stock.change);
        EXPECT_DOUBLE_EQ(e.record.Amount, stock.amount);
      }
    }
  }
}

TEST(DayListRoundTrip, GeneratedDaysHoldTheAwkwardCases) {
  const MarketDay model = MakeMarketDay("2017-02-06", 5);
  const std::string page = JoinPageLines(FromGbk(RenderListPage(model)));
  int repeats = 0, reasonLast = 0, reasonMiddle = 0;
  for (const ListRecordModel& r : model.records) {
    repeats += r.repeat;
    (r.reasonLast ? reasonLast : reasonMiddle)++;
  }
  EXPECT_EQ(repeats, 1);
  EXPECT_GT(reasonLast, 0);
  EXPECT_GT(reasonMiddle, 0);
  bool blank = false, apostrophe = false, comma = false;
  for (const MarketStock& s : model.stocks) {
    blank |= s.pageName.find(' ') != std::string::npos;
    apostrophe |= s.pageName.find('\'') != std::string::npos;
    comma |= s.reason.find("，") != std::string::npos;
  }
  EXPECT_TRUE(blank && apostrophe && comma);
  const std::string gbk = RenderListPage(model);
  for (unsigned char trail : {0x7B, 0x7D}) {
    bool found = false;
    for (const std::string& c : GbkCharactersWithTrail(trail))
      for (const MarketStock& s : model.stocks) found |= s.pageName.find(c) != std::string::npos;
    EXPECT_TRUE(found) << int(trail);
  }
  EXPECT_NE(page.find("\"SNameAbbr\""), std::string::npos);
  // The same (date, seed) gives the same page; another seed another one.
  EXPECT_EQ(gbk, RenderListPage(MakeMarketDay("2017-02-06", 5)));
  EXPECT_NE(gbk, RenderListPage(MakeMarketDay("2017-02-06", 6)));
}

}  // namespace

namespace {

TEST(DayListRoundTrip, AFixedSizeDayWithTwoRepeatsHasSixtyTwoRecords) {
  MarketOptions options;
  options.minStocks = options.maxStocks = 60;
  options.doubledRecords = 2;
  const MarketDay model = MakeMarketDay("2017-02-03", 3, options);
  ASSERT_EQ(model.stocks.size(), 60u);
  const DayListPage page = ParseDayList(JoinPageLines(FromGbk(RenderListPage(model))), model.date);
  ASSERT_EQ(page.entries.size(), 62u);
  std::set<std::string> fetched;
  int repeats = 0;
  for (const DayListEntry& e : page.entries) {
    ASSERT_TRUE(e.complete);
    if (e.repeated) {
      ++repeats;
      EXPECT_TRUE(fetched.count(e.record.StockCode)) << "a repeat comes after its first record";
    } else {
      EXPECT_TRUE(fetched.insert(e.record.StockCode).second);
    }
  }
  EXPECT_EQ(repeats, 2);
  EXPECT_EQ(fetched.size(), 60u);
}

}  // namespace
