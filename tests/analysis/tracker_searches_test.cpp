#include "analysis/tracker_searches.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "analysis/branch_totals_merge.h"
#include "../support/fake_clock.h"
#include "../support/market_generator.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"
#include "storage/row_cursor.h"

namespace {

constexpr const char* kX = "中信证券股份有限公司杭州四季路证券营业部";
constexpr const char* kY = "华泰证券股份有限公司深圳益田路荣超商务中心证券营业部";
constexpr const char* kInstitution = "机构专用";
constexpr const char* kFile = "临时文件/追踪游资.txt";

FiveSeats Five(std::vector<SeatFixture> seats) {
  FiveSeats five;
  for (std::size_t i = 0; i < seats.size(); ++i) five[i] = seats[i];
  return five;
}

std::vector<std::string> Texts(const TrackerSearchResult& result) {
  std::vector<std::string> texts;
  if (result.lines) {
    for (const TrackerLine& line : *result.lines) texts.push_back(line.text);
  }
  return texts;
}

std::vector<std::string> Codes(const TrackerSearchResult& result) {
  std::vector<std::string> codes;
  if (result.lines) {
    for (const TrackerLine& line : *result.lines) codes.push_back(line.code);
  }
  return codes;
}

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  return options;
}

class TrackerSearchTest : public ::testing::Test {
 protected:
  void List(const std::string& day, const std::string& code, const std::string& name, const FiveSeats& buy,
            const FiveSeats& sell, double close = 10) {
    db_.AddListing(day, code, name, "日涨幅偏离值达7%的证券", 1.5, close, 50000, buy, sell);
  }
  CADODataBase& Db() { return db_.Market(); }
  std::string FileBytes() const { return folder_.ReadFile(kFile); }
  static std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }
  static void ExpectOneBox(const std::string& text, const std::string& caption) {
    const std::vector<RecordedMessageBox> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, caption);
    EXPECT_EQ(boxes[0].icon, MB_ICONWARNING);
  }
  // A failed query shows one box: the fixed text, then its reason in Chinese; the
  // recordset's report goes to the debug log.
  void ExpectQueryFailedBox() const {
    const std::vector<RecordedMessageBox> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("数据库查询失败!\n", 0), 0u) << boxes[0].text;
    EXPECT_EQ(boxes[0].text.find("CADORecordset Error"), std::string::npos) << boxes[0].text;
    EXPECT_NE(folder_.ReadFile("DebugLog.txt").find("CADORecordset Error"), std::string::npos);
    EXPECT_EQ(boxes[0].caption, "系统提示");
  }

  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder db_{folder_.Path()};
  FakeClock clock_{2017, 2, 8};  // a Wednesday
  CADODataBase closed_;          // never opened: every query fails
};

// ---- exact branch search

TEST_F(TrackerSearchTest, ExactSearchTakesEachSideOnceAndTruncatesTheNet) {
  // Both sides with the same figures: one trade listed twice.
  List("2017-02-07", "600001", "甲乙丙丁", Five({{kX, 300, 10}}), Five({{kInstitution, 0, 5}, {kX, 300, 10}}));
  // Among the buyers only.
  List("2017-02-06", "600002", "云天化", Five({{kY, 1, 1}, {kX, 150.5, 20}}), {});
  // Different figures on the two sides: all four terms.
  List("2017-02-03", "600003", "平安银行", Five({{kX, 100, 5}}), Five({{kX, 3, 80}}));
  List("2017-02-02", "600004", "万科", Five({{kX, 10, 22.7}}), {});
  List("2017-02-01", "600005", "别的股票", Five({{kY, 500, 0}}), {});

  const TrackerSearchResult result = SearchBranch(Db(), clock_, kX);
  EXPECT_EQ(result.status, TrackerSearchResult::Status::Done);
  EXPECT_EQ(Texts(result), (std::vector<std::string>{
                               "01 甲乙丙丁 600001  2017-02-07 净买入:290  , 收:10.00",
                               "02 云天化   600002  2017-02-06 净买入:130  , 收:10.00",
                               "03 平安银行 600003  2017-02-03 净买入:18   , 收:10.00",
                               "04 万科     600004  2017-02-02 净买入:-12  , 收:10.00",
                           }));
  EXPECT_EQ(result.countText, "4");
  EXPECT_EQ(result.largeCountText, "1");  // only the 310 of the first listing
  EXPECT_EQ(result.averageText, "310.0");
  EXPECT_FALSE(result.showFirstResult);
  EXPECT_TRUE(result.fileWritten);
}

TEST_F(TrackerSearchTest, ExactSearchCountsLargeLinesFromTwoHundred) {
  List("2017-02-07", "600001", "甲乙丙丁", Five({{kX, 199.99, 0}, {kY, 199.99, 0}}), {});
  List("2017-02-06", "600002", "云天化", Five({{kX, 150, 50}}), {});

  const TrackerSearchResult withLarge = SearchBranch(Db(), clock_, kX);
  EXPECT_EQ(withLarge.largeCountText, "1");
  EXPECT_EQ(withLarge.averageText, "200.0");

  // No line reaches 200: no average, and no "nan".
  const TrackerSearchResult none = SearchBranch(Db(), clock_, kY);
  EXPECT_EQ(none.countText, "1");
  EXPECT_EQ(none.largeCountText, "0");
  EXPECT_EQ(none.averageText, "");
}

TEST_F(TrackerSearchTest, ExactSearchIsNewestFirstWithTodayRedAndTakesQuotesLiterally) {
  const std::string quoted = "东方证券股份有限公司上海'浦东'证券营业部";
  List("2017-02-06", "600010", "老股票", Five({{quoted, 1, 0}}), {});
  List("2017-02-08", "600011", "今日一", {}, Five({{quoted, 0, 2}}));
  List("2017-02-08", "600012", "今日二", Five({{quoted, 3, 0}}), {});

  const TrackerSearchResult result = SearchBranch(Db(), clock_, quoted);
  ASSERT_EQ(result.status, TrackerSearchResult::Status::Done);
  ASSERT_EQ(result.lines->size(), 3u);
  EXPECT_EQ(Codes(result), (std::vector<std::string>{"600011", "600012", "600010"}));  // same day: stored order
  EXPECT_EQ((*result.lines)[0].colour, kTrackerTodayColour);
  EXPECT_EQ((*result.lines)[1].colour, kTrackerTodayColour);
  EXPECT_EQ((*result.lines)[2].colour, kTrackerLineColour);
  EXPECT_EQ((*result.lines)[2].stockName, "老股票");
  EXPECT_EQ((*result.lines)[2].date, "2017-02-06");

  EXPECT_EQ(FileBytes(), ToGbk(" 追踪敢死队：" + quoted + " \n"
                               " 01 今日一   600011  2017-02-08 净买入:-2   , 收:10.00 \n"
                               " 02 今日二   600012  2017-02-08 净买入:3    , 收:10.00 \n"
                               " 03 老股票   600010  2017-02-06 净买入:1    , 收:10.00 \n"));
  EXPECT_EQ(result.fileBytes, FileBytes());
}

// The search rewrites the file; a merge after it appends its block.
TEST_F(TrackerSearchTest, FileAfterASearchAndAMergeIsByteExact) {
  List("2017-02-07", "600001", "云天化", Five({{kX, 300, 10}}), Five({{kInstitution, 0, 50.5}}));
  folder_.WriteFile(kFile, "an older search");
  const TrackerSearchResult search = SearchBranch(Db(), clock_, kX);
  TrackerBranchTotals totals;
  MergeBranchTotals(Db(), *search.lines, "1", BranchMarks{}, totals);

  auto cell = [](const std::string& text) { return " " + PadGbkRight(text, 10) + " "; };
  std::string expected = std::string(" 追踪敢死队：") + kX + " \n";
  expected += " 01 云天化   600001  2017-02-07 净买入:290  , 收:10.00 \n";
  expected += " \n合并数据：\n";
  expected += " 序号  " + PadGbkRight("敢死队 营业部名称", 60) + " " + PadGbkRight("总买入", 10) + "  " +
              PadGbkRight("总卖出", 10) + "  " + PadGbkRight("总净买", 10) + "  " + PadGbkRight("总买卖", 10) + "  " +
              PadGbkRight("上榜次数", 10) + "  " + PadGbkRight("买卖股票数量", 10) + " \n";
  expected += " 1    " + PadGbkRight(kX, 60) + " " + cell("300.00") + cell("10.00") + cell("290.00") + cell(" ") +
              cell("1(1/0)") + "\n";
  expected += " 2    " + PadGbkRight(kInstitution, 60) + " " + cell("0.00") + cell("50.50") + cell("-50.50") +
              cell(" ") + cell("1(0/1)") + "\n";
  EXPECT_EQ(FileBytes(), ToGbk(expected));
  EXPECT_EQ(FileBytes().find('\r'), std::string::npos);
}

TEST_F(TrackerSearchTest, ExactSearchOfAnEmptyNameListsNothing) {
  List("2017-02-07", "600001", "空席位", Five({{kX, 1, 0}}), {});  // nine empty seat names
  const TrackerSearchResult result = SearchBranch(Db(), clock_, "");
  ASSERT_TRUE(result.lines.has_value());
  EXPECT_TRUE(result.lines->empty());
  EXPECT_EQ(result.countText, "0");
  EXPECT_EQ(FileBytes(), ToGbk(" 追踪敢死队： \n"));
}

TEST_F(TrackerSearchTest, ExactSearchKeepsTheListWhenTheQueryFails) {
  const TrackerSearchResult result = SearchBranch(closed_, clock_, kX);
  EXPECT_EQ(result.status, TrackerSearchResult::Status::QueryFailed);
  EXPECT_FALSE(result.lines.has_value());
  EXPECT_FALSE(result.countText.has_value());
  EXPECT_FALSE(result.averageText.has_value());
  ExpectQueryFailedBox();
  EXPECT_EQ(FileBytes(), ToGbk(BranchFileHeader(kX)));  // the header only
}

TEST(TrackerSearchFileTest, AnUnwritableFileStillFillsTheList) {
  TempProgramFolder folder;  // no "临时文件"
  DbBuilder db(folder.Path());
  db.AddListing("2017-02-07", "600001", "甲乙丙丁", "r", 1, 10, 1000, Five({{kX, 1, 0}}), {});
  FakeClock clock(2017, 2, 8);

  const TrackerSearchResult result = SearchBranch(db.Market(), clock, kX);
  EXPECT_EQ(result.status, TrackerSearchResult::Status::Done);
  EXPECT_EQ(result.lines->size(), 1u);
  EXPECT_FALSE(result.fileWritten);
  const std::vector<RecordedMessageBox> boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "文件打开错误!");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(boxes[0].icon, MB_ICONWARNING);
  EXPECT_FALSE(folder.Exists(kFile));
}

std::vector<std::string> PlanOf(CADODataBase& db, const std::string& sql) {
  CADORecordset rs(&db);
  EXPECT_TRUE(rs.Open("EXPLAIN QUERY PLAN " + sql, {kX})) << rs.GetLastErrorText();
  std::vector<std::string> details;
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string detail;
    rs.GetFieldValue("detail", detail);
    details.push_back(detail);
  }
  return details;
}

// The 34 columns of every row `sql` reads with ?1 bound to `value`, joined per row.
std::vector<std::string> SearchRows(CADODataBase& db, const std::string& sql, const std::vector<DbValue>& values) {
  std::vector<std::string> rows;
  RowCursor cursor(db, sql, values);
  while (cursor.Next()) {
    std::string row;
    for (int column = 0; column < 34; ++column) row += std::string(cursor.Text(column)) + "|";
    rows.push_back(row);
  }
  EXPECT_FALSE(cursor.Failed()) << cursor.ErrorText();
  return rows;
}

TEST_F(TrackerSearchTest, BranchStatementUsesTheSeatNameIndexes) {
  for (int day = 1; day <= 9; ++day) {
    List("2017-02-0" + std::to_string(day), "60000" + std::to_string(day), "股票", Five({{kX, 1, 0}}),
         Five({{kY, 0, 1}}));
  }
  const std::vector<std::string> plan = PlanOf(Db(), BranchSearchStatement());
  int seatIndexes = 0;
  bool multiIndexOr = false;
  for (const std::string& detail : plan) {
    EXPECT_NE(detail.rfind("SCAN StockInfo", 0), 0u) << detail;
    if (detail.find("MULTI-INDEX OR") != std::string::npos) multiIndexOr = true;
    if (detail.rfind("SEARCH StockInfo USING INDEX IX_StockInfo_", 0) == 0 &&
        detail.find("_YYB_Name (") != std::string::npos) {
      ++seatIndexes;
    }
  }
  EXPECT_TRUE(multiIndexOr);
  EXPECT_EQ(seatIndexes, 10);

  // The comparison statement does scan: the check above can fail.
  bool scans = false;
  for (const std::string& detail : PlanOf(Db(), BranchSearchStatement(false))) {
    if (detail.rfind("SCAN StockInfo", 0) == 0) scans = true;
  }
  EXPECT_TRUE(scans);
}

TEST_F(TrackerSearchTest, ByDayStatementGivesTheSameRowsWithoutSortingAllOfHistory) {
  TempProgramFolder marketFolder;
  DbBuilder market(marketFolder.Path());
  MarketShape shape = CrowdedMarketShape(7, 20);
  GenerateMarket(market, shape);
  const std::string seat = "机构专用";
  auto rowsOf = [&](const std::string& sql) { return SearchRows(market.Market(), sql, {seat}); };
  const std::vector<std::string> byDay = rowsOf(BranchSearchByDayStatement());
  EXPECT_GT(byDay.size(), 100u);
  EXPECT_EQ(byDay, rowsOf(BranchSearchStatement()));

  for (const std::string& detail : PlanOf(market.Market(), BranchSearchByDayStatement())) {
    EXPECT_EQ(detail.find("USE TEMP B-TREE FOR ORDER BY"), std::string::npos) << detail;
    EXPECT_EQ(detail.find("MULTI-INDEX OR"), std::string::npos) << detail;
  }
}

// ---- keyword search over the distinct names

// A generated market with names that test the LIKE rules: ASCII case, the escaped
// wildcards, a name only one seat ever holds, and the same name in different seats.
TEST_F(TrackerSearchTest, KeywordStatementOverDistinctNamesGivesTheRowsOfTheRowByRowForm) {
  GenerateMarket(db_, CrowdedMarketShape(11, 20));
  List("2017-02-09", "600100", "甲", Five({{"Abcd证券_营业部", 1, 0}}), Five({{"x%y证券", 0, 1}}));
  List("2017-02-09", "600101", "乙", Five({{"kX", 1, 0}, {"ABCD证券%营业部", 2, 0}}), Five({{"abcd证券_营业部", 3, 4}}));
  List("2017-02-10", "600102", "丙", Five({{"无", 1, 0}}), Five({{"", 0, 0}, {"x%y证券", 1, 1}}));
  auto rowsOf = [&](const std::string& sql, const std::string& keyword) {
    return SearchRows(Db(), sql, {KeywordPattern(keyword)});
  };
  // The names matched once, by a statement of the test's own, then taken as values.
  auto rowsOfNames = [&](const std::string& keyword, bool byDay) {
    std::string seats;
    for (const char* seat : {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"}) {
      seats += std::string(seats.empty() ? "" : " UNION ALL ") + "SELECT " + seat + "_YYB_Name AS n FROM StockInfo";
    }
    std::vector<DbValue> names;
    RowCursor cursor(Db(), "SELECT DISTINCT n FROM (" + seats + ") WHERE n LIKE ?1 ESCAPE '\\'", {KeywordPattern(keyword)});
    while (cursor.Next()) names.emplace_back(std::string(cursor.Text(0)));
    return SearchRows(Db(), MatchedNamesStatement(TrackerSearchColumns(), names.size(), byDay), names);
  };
  const std::string columns = TrackerSearchColumns();
  std::size_t listed = 0;
  for (const std::string keyword : {"证券股份", "营业部", "机构专用", "ABCD", "abcd证券_", "证券%", "x%y", "y证券", "无此营业部"}) {
    const std::vector<std::string> plain = rowsOf(KeywordSearchStatement(columns, false), keyword);
    EXPECT_EQ(rowsOf(KeywordSearchStatement(columns), keyword), plain) << keyword;
    EXPECT_EQ(rowsOf(KeywordSearchStatement(columns, true, true), keyword), plain) << keyword;
    EXPECT_EQ(rowsOfNames(keyword, false), plain) << keyword;
    EXPECT_EQ(rowsOfNames(keyword, true), plain) << keyword;
    listed += plain.size();
  }
  EXPECT_GT(listed, 1000u);
  // The names are matched without reading every row.
  for (const std::string& detail : PlanOf(Db(), KeywordSearchStatement(columns))) {
    EXPECT_NE(detail.rfind("SCAN StockInfo", 0), 0u) << detail;
  }
}

// A streaming search hands over the same lines in the same order as the whole result,
// the first screenful first, and writes the same file.
TEST_F(TrackerSearchTest, StreamedLinesAndFileAreThoseOfTheWholeResult) {
  const std::string last = GenerateMarket(db_, CrowdedMarketShape(5, 20)).days.back();
  // Days out of rowid order, without a date, empty or a blob, and negative rowids: the
  // streamed stretches of days still list every row once, in the statement's order.
  List("2001-01-02", "600001", "旧日", Five({{kInstitution, 300, 1}}), Five({{"证券营业部甲", 1, 2}}));
  for (const char* sql : {"UPDATE StockInfo SET SB_Date = NULL WHERE rowid % 97 = 0",
                          "UPDATE StockInfo SET SB_Date = '' WHERE rowid % 89 = 0",
                          "UPDATE StockInfo SET SB_Date = CAST('2017' AS BLOB) WHERE rowid % 79 = 0",
                          "UPDATE StockInfo SET rowid = -rowid WHERE rowid % 83 = 0"}) {
    ASSERT_TRUE(Db().Execute(sql)) << sql;
  }
  // More names than a statement takes as values: each statement matches them itself.
  ASSERT_TRUE(Db().Execute("UPDATE StockInfo SET Sell2_YYB_Name = '二' || rowid || '席位', "
                           "Sell3_YYB_Name = '三' || rowid || '席位', Sell4_YYB_Name = '四' || rowid || '席位', "
                           "Sell5_YYB_Name = '席位' || rowid || '号'"));
  RowCursor names(Db(), "SELECT 4 * COUNT(*) FROM StockInfo");
  ASSERT_TRUE(names.Next());
  ASSERT_GT(names.Int(0), 4000);
  const FakeClock clock(std::stoi(last.substr(0, 4)), std::stoi(last.substr(5, 2)), std::stoi(last.substr(8, 2)));
  struct Sink : TrackerLineSink {
    void AddLines(std::vector<TrackerLine> lines) override {
      sizes.push_back(lines.size());
      all.insert(all.end(), lines.begin(), lines.end());
    }
    std::vector<std::size_t> sizes;
    std::vector<TrackerLine> all;
  };
  using Search = std::function<TrackerSearchResult(TrackerLineSink*)>;
  for (const Search& search : {Search([&](TrackerLineSink* sink) { return SearchBranch(Db(), clock, kInstitution, sink); }),
                               Search([&](TrackerLineSink* sink) { return SearchBranchKeyword(Db(), clock, "证券", sink); }),
                               Search([&](TrackerLineSink* sink) { return SearchBranchKeyword(Db(), clock, "席位", sink); })}) {
    const TrackerSearchResult whole = search(nullptr);
    const std::string wholeFile = FileBytes();
    Sink sink;
    TrackerSearchResult streamed = search(&sink);
    ASSERT_TRUE(whole.lines && streamed.lines);
    ASSERT_GT(whole.lines->size(), kTrackerFirstChunkLines);
    ASSERT_FALSE(sink.sizes.empty());
    EXPECT_EQ(sink.sizes[0], kTrackerFirstChunkLines);
    EXPECT_EQ(streamed.streamedLines, sink.all.size());
    sink.all.insert(sink.all.end(), streamed.lines->begin(), streamed.lines->end());
    EXPECT_EQ(sink.all, *whole.lines);
    EXPECT_EQ(streamed.countText, whole.countText);
    EXPECT_EQ(streamed.largeCountText, whole.largeCountText);
    EXPECT_EQ(streamed.averageText, whole.averageText);
    EXPECT_TRUE(streamed.fileWritten);
    EXPECT_EQ(FileBytes(), wholeFile);
    EXPECT_EQ(wholeFile, whole.fileBytes);
  }
}

// ---- two branches

TEST_F(TrackerSearchTest, TwoBranchSearchRefusesMissingAndShortNames) {
  EXPECT_EQ(SearchTwoBranches(Db(), clock_, "", kY).status, TrackerSearchResult::Status::Refused);
  ExpectOneBox("敢死队1名称不能为空", "系统提示");
  EXPECT_EQ(SearchTwoBranches(Db(), clock_, "x", "").status, TrackerSearchResult::Status::Refused);
  ExpectOneBox("敢死队2名称不能为空", "系统提示");
  // 7 GBK bytes each way round.
  const TrackerSearchResult shortName = SearchTwoBranches(Db(), clock_, "中信证a", kY);
  EXPECT_FALSE(shortName.lines.has_value());
  ExpectOneBox("敢死队名称太短，要输入全部名称 !!!", "系统提示");
  SearchTwoBranches(Db(), clock_, kX, "abcdefg");
  ExpectOneBox("敢死队名称太短，要输入全部名称 !!!", "系统提示");
  EXPECT_FALSE(folder_.Exists(kFile));

  // 8 bytes is enough.
  EXPECT_EQ(SearchTwoBranches(Db(), clock_, "abcdefgh", "中信证券").status, TrackerSearchResult::Status::Done);
}

TEST_F(TrackerSearchTest, TwoBranchSearchListsSharedStockDaysInBlue) {
  List("2017-02-08", "600001", "甲乙丙丁", Five({{kX, 100, 0}}), Five({{kY, 0, 50}}), 12.5);
  List("2017-02-07", "600002", "云天化", Five({{kX, 1, 0}}), {});
  List("2017-02-06", "600002", "云天化", Five({{kY, 1, 0}}), {});
  List("2017-02-03", "600003", "平安银行", Five({{kX, 1, 0}, {kY, 2, 0}}), {});
  List("2017-02-02", "600004", "万科", Five({{kInstitution, 1, 0}}), {});

  const TrackerSearchResult result = SearchTwoBranches(Db(), clock_, kX, kY);
  EXPECT_EQ(Texts(result), (std::vector<std::string>{
                               "01 甲乙丙丁 600001  2017-02-08 买:0    , 卖:0    , 收:12.50",
                               "02 平安银行 600003  2017-02-03 买:0    , 卖:0    , 收:10.00",
                           }));
  for (const TrackerLine& line : *result.lines) EXPECT_EQ(line.colour, kTrackerLineColour);  // today's too
  EXPECT_EQ(result.countText, "2");
  EXPECT_FALSE(result.largeCountText.has_value());
  EXPECT_FALSE(result.averageText.has_value());
  EXPECT_TRUE(result.showFirstResult);
  EXPECT_EQ(FileBytes().rfind(ToGbk(TwoBranchFileHeader(kX, kY)), 0), 0u);

  const TrackerSearchResult disjoint = SearchTwoBranches(Db(), clock_, kInstitution + std::string("营业部"), kY);
  ASSERT_TRUE(disjoint.lines.has_value());
  EXPECT_TRUE(disjoint.lines->empty());
  EXPECT_EQ(disjoint.countText, "0");
  EXPECT_EQ(disjoint.largeCountText, "");  // nothing listed: no figure of an earlier search stays
  EXPECT_EQ(disjoint.averageText, "");
  EXPECT_EQ(SearchBranchKeyword(Db(), clock_, "无此营业部").averageText, "");
}

TEST_F(TrackerSearchTest, TwoBranchSearchEmptiesTheListWhenAQueryFails) {
  const TrackerSearchResult result = SearchTwoBranches(closed_, clock_, kX, kY);
  EXPECT_EQ(result.status, TrackerSearchResult::Status::QueryFailed);
  ASSERT_TRUE(result.lines.has_value());
  EXPECT_TRUE(result.lines->empty());
  EXPECT_FALSE(result.countText.has_value());
  ExpectQueryFailedBox();
}

// ---- keyword

TEST_F(TrackerSearchTest, KeywordLengthsCountGbkBytes) {
  const std::string long17 = "四季路证券营业部a";  // 17 bytes
  List("2017-02-07", "600001", "甲乙丙丁", Five({{kX, 100, 1}}), Five({{kY, 5, 200}}));
  List("2017-02-06", "600002", "云天化", Five({{long17, 7, 0}}), {});

  EXPECT_EQ(SearchBranchKeyword(Db(), clock_, "abc").status, TrackerSearchResult::Status::Refused);
  ExpectOneBox("关键字长度小于 4 ！！！", "系统提示");
  EXPECT_EQ(SearchBranchKeyword(Db(), clock_, "中a").status, TrackerSearchResult::Status::Refused);
  Boxes();

  // 4, 12 (six characters, 18 UTF-8 bytes) and 16 bytes search by keyword: the sums of
  // all ten seats of each listing.
  for (const std::string keyword : {"四季", "四季路证券营", "四季路证券营业部"}) {
    const TrackerSearchResult result = SearchBranchKeyword(Db(), clock_, keyword);
    EXPECT_EQ(Texts(result), (std::vector<std::string>{
                                 "01 甲乙丙丁 600001  2017-02-07 买:105  , 卖:201  , 收:10.00",
                                 "02 云天化   600002  2017-02-06 买:7    , 卖:0    , 收:10.00",
                             }))
        << keyword;
    EXPECT_TRUE(result.showFirstResult);
    EXPECT_EQ(result.countText, "2");
    EXPECT_EQ(FileBytes().rfind(ToGbk(" 追踪关键字：" + keyword + "    ,  \n"), 0), 0u);
  }

  // 17 bytes: the exact search.
  const TrackerSearchResult exact = SearchBranchKeyword(Db(), clock_, long17);
  EXPECT_EQ(Texts(exact), (std::vector<std::string>{"01 云天化   600002  2017-02-06 净买入:7    , 收:10.00"}));
  EXPECT_EQ(exact.largeCountText, "0");
  EXPECT_EQ(FileBytes().rfind(ToGbk(BranchFileHeader(long17)), 0), 0u);
}

TEST_F(TrackerSearchTest, KeywordWildcardsAreLiteral) {
  List("2017-02-07", "600001", "字面", Five({{"测试50%_营业部", 1, 0}}), {});
  List("2017-02-06", "600002", "任意", Five({{"测试50ab营业部", 1, 0}}), {});
  List("2017-02-05", "600003", "百分", Five({{"测试50%x营业部", 1, 0}}), {});
  List("2017-02-04", "600004", "斜杠", Five({{"测试ab\\c营业部", 1, 0}}), {});
  List("2017-02-03", "600005", "无杠", Five({{"测试abxc营业部", 1, 0}}), {});
  // The names of every seat are matched, the last seller's too.
  List("2017-02-02", "600006", "末席", {}, Five({{}, {}, {}, {}, {"末席测试50%_营业部", 0, 1}}));

  EXPECT_EQ(Codes(SearchBranchKeyword(Db(), clock_, "50%_")), (std::vector<std::string>{"600001", "600006"}));
  EXPECT_EQ(Codes(SearchBranchKeyword(Db(), clock_, "ab\\c")), std::vector<std::string>{"600004"});
}

// ---- stocks

TEST_F(TrackerSearchTest, StockNameSearchMatchesTheWholeNameOnly) {
  List("2017-02-08", "000001", "平安银行", Five({{kX, 100, 1}}), Five({{kX, 100, 1}, {kY, 2, 30}}));
  List("2017-02-03", "000001", "平安银行", Five({{kY, 9.9, 0}}), {});

  const TrackerSearchResult whole = SearchStockName(Db(), clock_, "平安银行", true);
  // A branch on both sides counts on both here.
  EXPECT_EQ(Texts(whole), (std::vector<std::string>{
                              "01 平安银行 000001  2017-02-08 买:202  , 卖:32   , 收:10.00",
                              "02 平安银行 000001  2017-02-03 买:9    , 卖:0    , 收:10.00",
                          }));
  EXPECT_EQ((*whole.lines)[0].colour, kTrackerTodayColour);
  EXPECT_EQ((*whole.lines)[1].colour, kTrackerLineColour);
  EXPECT_EQ(whole.largeCountText, "");
  EXPECT_EQ(whole.averageText, "");
  EXPECT_TRUE(whole.showFirstResult);

  const TrackerSearchResult partial = SearchStockName(Db(), clock_, "平安", true);
  ASSERT_TRUE(partial.lines.has_value());
  EXPECT_TRUE(partial.lines->empty());
  EXPECT_EQ(partial.countText, "0");
  EXPECT_EQ(partial.largeCountText, "");
  EXPECT_EQ(partial.averageText, "");
  EXPECT_EQ(FileBytes(), ToGbk(" 追踪个股：平安    ,  \n"));

  // Bound, not spliced: the text finds nothing and breaks nothing.
  EXPECT_TRUE(SearchStockName(Db(), clock_, "x' OR '1'='1", false).lines->empty());
}

TEST_F(TrackerSearchTest, OnlyTheFileVariantsOfTheStockSearchWriteTheFile) {
  List("2017-02-07", "000001", "平安银行", Five({{kX, 1, 0}}), {});
  folder_.WriteFile(kFile, "old");

  const TrackerSearchResult quiet = SearchStockCode(Db(), clock_, "000001", false);
  EXPECT_EQ(quiet.lines->size(), 1u);
  EXPECT_FALSE(quiet.writesFile);
  EXPECT_EQ(FileBytes(), "old");

  const TrackerSearchResult written = SearchStockCode(Db(), clock_, "000001", true);
  EXPECT_EQ(FileBytes(), ToGbk(" 追踪个股：000001    ,  \n"
                               " 01 平安银行 000001  2017-02-07 买:1    , 卖:0    , 收:10.00 \n"));
  EXPECT_TRUE(written.fileWritten);
}

TEST_F(TrackerSearchTest, StockSearchEmptiesTheFigureEditsEvenWhenTheQueryFails) {
  const TrackerSearchResult result = SearchStockCode(closed_, clock_, "000001", true);
  EXPECT_EQ(result.status, TrackerSearchResult::Status::QueryFailed);
  EXPECT_FALSE(result.lines.has_value());
  EXPECT_FALSE(result.countText.has_value());
  EXPECT_EQ(result.largeCountText, "");
  EXPECT_EQ(result.averageText, "");
  ExpectQueryFailedBox();
}

// ---- several stocks, team 1 on a stock

TEST_F(TrackerSearchTest, MultiStockSearchBindsEveryPiece) {
  List("2017-02-08", "600001", "甲乙丙丁", Five({{kX, 1, 0}}), {});
  List("2017-02-07", "600002", "云天化", Five({{kX, 2, 0}}), {});
  List("2017-02-06", "600001", "甲乙丙丁", Five({{kX, 3, 0}}), {});
  List("2017-02-06", "002490", "山东墨龙", Five({{kX, 4, 0}}), {});
  std::vector<std::string> statements;
  Db().SetStatementTrace([&](const std::string& sql) { statements.push_back(sql); });

  EXPECT_EQ(Codes(SearchMultiStock(Db(), clock_, "600001")), (std::vector<std::string>{"600001", "600001"}));
  const TrackerSearchResult two = SearchMultiStock(Db(), clock_, "600001,600002");
  EXPECT_EQ(Codes(two), (std::vector<std::string>{"600001", "600002", "600001"}));
  EXPECT_EQ((*two.lines)[0].text.substr(0, 3), "01 ");
  EXPECT_EQ((*two.lines)[2].text.substr(0, 3), "03 ");
  EXPECT_EQ(two.countText, "3");
  EXPECT_TRUE(two.showFirstResult);
  // A trailing comma adds an empty code, which matches no stored code.
  EXPECT_EQ(Codes(SearchMultiStock(Db(), clock_, "600002,")), (std::vector<std::string>{"600002"}));
  // The page's hint text: its pieces are bound like any others.
  EXPECT_EQ(Codes(SearchMultiStock(Db(), clock_, "股票代码之间用“,”分割,比如:002476,002490")),
            (std::vector<std::string>{"002490"}));
  Db().SetStatementTrace(nullptr);
  for (const std::string& sql : statements) EXPECT_EQ(sql.find("600001"), std::string::npos) << sql;
  EXPECT_FALSE(folder_.Exists(kFile));

  EXPECT_EQ(SearchMultiStock(Db(), clock_, "6000").status, TrackerSearchResult::Status::Refused);
  ExpectOneBox("股票代码长度 错误！！！", "系统提示");
  EXPECT_EQ(SearchMultiStock(Db(), clock_, "中文").status, TrackerSearchResult::Status::Refused);  // 4 bytes
  Boxes();
}

TEST_F(TrackerSearchTest, TeamOneOnStockNamesCodeAndBranchInTheHeader) {
  List("2017-02-08", "600001", "甲乙丙丁", Five({{kY, 5, 0}}), {});
  List("2017-02-07", "600001", "甲乙丙丁", {}, Five({{kX, 0, 20}}));
  List("2017-02-06", "600001", "甲乙丙丁", Five({{kX, 30, 0}}), {});
  List("2017-02-06", "600002", "云天化", Five({{kX, 1, 0}}), {});

  const TrackerSearchResult result = SearchTeam1OnStock(Db(), clock_, kX, "600001");
  EXPECT_EQ(Texts(result), (std::vector<std::string>{
                               "01 甲乙丙丁 600001  2017-02-07 买:0    , 卖:20   , 收:10.00",
                               "02 甲乙丙丁 600001  2017-02-06 买:30   , 卖:0    , 收:10.00",
                           }));
  EXPECT_EQ(result.largeCountText, "");
  EXPECT_EQ(result.averageText, "");
  EXPECT_TRUE(result.showFirstResult);
  EXPECT_EQ(FileBytes().rfind(ToGbk(std::string(" 追踪个股：600001    , ") + kX + " \n"), 0), 0u);

  // The name is matched whole.
  EXPECT_TRUE(SearchTeam1OnStock(Db(), clock_, "四季路证券营业部", "600001").lines->empty());
}

}  // namespace

// The searches' lines as they were built from rows copied into a recordset. No other
// name holds "机构专用": the keyword finds the rows of the exact search.
TEST_F(TrackerSearchTest, SteppedReadsGiveTheLinesOfTheRecordsetReads) {
  const std::string last = GenerateMarket(db_, CrowdedMarketShape(3, 20)).days.back();  // some lines are today's
  const FakeClock clock(std::stoi(last.substr(0, 4)), std::stoi(last.substr(5, 2)), std::stoi(last.substr(8, 2)));
  std::vector<TrackerLine> branchLines, keywordLines;
  CADORecordset rs(&Db());
  ASSERT_TRUE(rs.Open(BranchSearchStatement(), {std::string(kInstitution)}));
  for (int n = 1; !rs.IsEof(); rs.MoveNext(), ++n) {
    std::string name, code, day, seat;
    double close = 0, buy = 0, sell = 0, b[2] = {0, 0}, s[2] = {0, 0}, seatBuy = 0, seatSell = 0;
    rs.GetFieldValue(0, name), rs.GetFieldValue(1, code), rs.GetFieldValue(2, day), rs.GetFieldValue(3, close);
    for (int i = 0; i < 10; ++i) {
      rs.GetFieldValue(4 + 3 * i, seat), rs.GetFieldValue(5 + 3 * i, seatBuy), rs.GetFieldValue(6 + 3 * i, seatSell);
      buy += seatBuy, sell += seatSell;
      if (seat == kInstitution) b[i / 5] = seatBuy, s[i / 5] = seatSell;
    }
    const double net = b[0] == b[1] && s[0] == s[1] ? b[0] - s[0] : (b[0] - s[0]) + (b[1] - s[1]);
    branchLines.push_back(MakeBranchLine(n, name, code, day, TruncateAmount(net), close, TrackerToday(clock)));
    keywordLines.push_back(MakeBuySellLine(n, name, code, day, TruncateAmount(buy), TruncateAmount(sell), close,
                                           TrackerToday(clock)));
  }
  EXPECT_GT(branchLines.size(), 100u);
  EXPECT_EQ(BuildBranchSearch(Db(), clock, kInstitution).lines, branchLines);
  EXPECT_EQ(SearchBranchKeyword(Db(), clock, kInstitution).lines, keywordLines);
}
