#include "views/daily_list_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "storage/charset.h"
#include "storage/day_range.h"
#include "views/daily_exports.h"

namespace {

constexpr const char* kDay = "2024-05-14";  // a Tuesday; today is Wednesday 2024-05-15
constexpr const char* kWatched = "华泰证券股份有限公司上海武定路证券营业部";
constexpr const char* kWatched2 = "国泰君安证券股份有限公司南京太平南路证券营业部";
constexpr const char* kMember1 = "中国银河证券股份有限公司绍兴证券营业部";
constexpr const char* kMember2 = "光大证券股份有限公司宁波解放南路证券营业部";

FiveSeats Seats(std::initializer_list<SeatFixture> seats) {
  FiveSeats out{};
  std::copy(seats.begin(), seats.end(), out.begin());
  return out;
}

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;
  return options;
}

std::vector<std::string> Codes(const std::vector<ListLine>& lines) {
  std::vector<std::string> codes;
  for (const ListLine& line : lines) codes.push_back(line.code);
  return codes;
}

std::vector<std::string> RowCodes() {
  std::vector<std::string> codes;
  for (const CStockDayRow& row : g_DayRows) codes.push_back(row.StockCode);
  return codes;
}

// The type column: the line's last three GBK bytes, blanks dropped.
std::string TypeField(const std::string& line) {
  const std::string gbk = ToGbk(line);
  std::string tail = FromGbk(gbk.substr(gbk.size() - 3));
  tail.erase(std::remove(tail.begin(), tail.end(), ' '), tail.end());
  return tail;
}

class DailyListModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_DayRows.clear();
    settings_.watchedNames.fill("XXX");
    settings_.blockTradeCutoff = CutoffDay(clock_, 30);
    model_.SetSettings(settings_);
  }
  void TearDown() override {
    db_.Market().SetStatementTrace(nullptr);
    db_.User().SetStatementTrace(nullptr);
    g_DayRows.clear();
  }

  // A stock whose one buying seat buys `totalBuy` and whose one selling seat sells
  // `totalSell`.
  void Stock(const std::string& code, const std::string& name, double totalBuy, double totalSell, double zhangFu = 1,
             const std::string& reason = "日涨幅偏离值达7%的证券", const std::string& day = kDay) {
    db_.AddListing(day, code, name, reason, zhangFu, 10, 50000, Seats({{"买方营业部" + code, totalBuy, 0}}),
                   Seats({{"卖方营业部" + code, 0, totalSell}}));
  }
  void Team(const std::string& branch, int teamNumber, const std::string& teamName) {
    db_.AddMark(branch, 0, 0, 0, teamNumber, "", "", teamName);
  }
  void Load(int mode = kSortByNetBuy, const std::string& day = kDay) {
    ASSERT_TRUE(model_.LoadDayList(day));
    model_.SortDayRows(mode);
    model_.RefreshDayList(mode);
  }
  void CountStatements(int& counter) {
    auto count = [&counter](const std::string&) { ++counter; };
    db_.Market().SetStatementTrace(count);
    db_.User().SetStatementTrace(count);
  }
  static std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }

  TempProgramFolder folder_{WithExportFolder()};
  DbBuilder db_{folder_.Path()};
  FakeClock clock_{2024, 5, 15};
  DailyListSettings settings_;
  CDailyListModel model_{db_.Market(), db_.User()};
};

// ---------------------------------------------------------------- Day load

TEST_F(DailyListModelTest, DayLoadCountsABranchOnBothSidesTwiceAndOnlyBuyingInstitutions) {
  db_.AddListing(kDay, "600000", "浦发银行", "日涨幅偏离值达7%的证券", 10.02, 10, 50000,
                 Seats({{kWatched, 1000, 100}, {"机构专用", 500, 0}, {"机构专用", 300, 0}}),
                 Seats({{kWatched, 1000, 100}, {"机构专用", 0, 400}}));
  Load();
  ASSERT_EQ(g_DayRows.size(), 1u);
  const CStockDayRow& row = g_DayRows[0];
  EXPECT_EQ(row.StockName, "浦发银行");
  EXPECT_EQ(row.nCount, 1);
  // The sums are taken before the repeated seat figures are removed.
  EXPECT_DOUBLE_EQ(row.TotalBuy, 2800);
  EXPECT_DOUBLE_EQ(row.TotalSell, 600);
  EXPECT_DOUBLE_EQ(row.TotalBuySell, 3400);
  EXPECT_DOUBLE_EQ(row.NetBuy, 2200);
  EXPECT_FLOAT_EQ(row.ZhangFu, 10.02f);
  EXPECT_EQ(row.InstitutionSeats, 2);  // the selling institution does not count
  EXPECT_EQ(model_.LoadedDate(), kDay);
}

TEST_F(DailyListModelTest, DayLoadSortsDescendingPerModeAndKeepsLoadOrderOnTies) {
  Stock("000001", "甲", 1000, 700, 5);   // net 300, total buy 1000
  Stock("000002", "乙", 600, 100, 2);    // net 500
  Stock("000003", "丙", 3000, 2700, 9);  // net 300, change 9, total buy 3000
  Stock("000004", "丁", 50, 150, 9);     // net -100, change 9
  ASSERT_TRUE(model_.LoadDayList(kDay));
  const std::vector<std::string> byNet = {"000002", "000001", "000003", "000004"};
  const std::vector<std::string> byChange = {"000003", "000004", "000001", "000002"};
  const std::vector<std::string> byTotalBuy = {"000003", "000001", "000002", "000004"};

  model_.SortDayRows(kSortByChange);
  EXPECT_EQ(RowCodes(), byChange);
  model_.SortDayRows(kSortByNetBuy);
  EXPECT_EQ(RowCodes(), byNet);
  model_.SortDayRows(kShowRisesAbove7);
  EXPECT_EQ(RowCodes(), byChange);
  model_.SortDayRows(kSortByTotalBuy);
  EXPECT_EQ(RowCodes(), byTotalBuy);
  for (int mode : {-1, 4, 9}) {
    model_.SortDayRows(kSortByChange);
    model_.SortDayRows(mode);
    EXPECT_EQ(RowCodes(), byNet) << mode;
  }

  // Colours: by net buy in mode 0, by change in modes 1 and 2, white up to 8000 bought in mode 3.
  model_.SortDayRows(kSortByNetBuy);
  model_.RefreshDayList(kSortByNetBuy);
  ASSERT_EQ(model_.DayLines().size(), 4u);
  EXPECT_EQ(model_.DayLines()[0].colour, RGB(255, 0, 0));
  EXPECT_EQ(model_.DayLines()[3].colour, RGB(0, 180, 0));
  model_.RefreshDayList(kSortByTotalBuy);
  for (const ListLine& line : model_.DayLines()) EXPECT_EQ(line.colour, RGB(255, 255, 255)) << line.text;
  // A mode outside 0-3 shows nothing; the file still holds every stock.
  model_.RefreshDayList(9);
  EXPECT_TRUE(model_.DayLines().empty());
  std::vector<std::string> all;
  for (int i = 0; i < 4; ++i) all.push_back(FormatDayLine(i + 1, g_DayRows[i], 1, " "));
  EXPECT_EQ(ReadWholeFile(NetBuyFilePath()), NetBuyFileBytes(all));
}

TEST_F(DailyListModelTest, DayLoadModeThreeIsRedAboveEightThousandBought) {
  Stock("000001", "甲", 8000, 0);
  Stock("000002", "乙", 8000.5, 0);
  Load(kSortByTotalBuy);
  ASSERT_EQ(Codes(model_.DayLines()), (std::vector<std::string>{"000002", "000001"}));
  EXPECT_EQ(model_.DayLines()[0].colour, RGB(255, 0, 0));
  EXPECT_EQ(model_.DayLines()[1].colour, RGB(255, 255, 255));
}

TEST_F(DailyListModelTest, DayLoadModeTwoShowsOnlyChangesAboveSevenPercent) {
  Stock("000001", "甲", 5000, 1000, 6.5);
  Stock("000002", "乙", 5000, 1000, 7.5);
  Stock("000003", "丙", 5000, 1000, 7.0);
  Load(kShowRisesAbove7);
  EXPECT_EQ(Codes(model_.DayLines()), std::vector<std::string>{"000002"});
  EXPECT_EQ(model_.DayLines()[0].colour, RGB(255, 0, 0));
  EXPECT_EQ(g_DayRows.size(), 3u);
  // The file and the suggestions keep every stock.
  EXPECT_EQ(Codes(model_.SuggestionLines()), (std::vector<std::string>{"000002", "000003", "000001"}));
  std::vector<std::string> all;
  for (int i = 0; i < 3; ++i) all.push_back(FormatDayLine(i + 1, g_DayRows[i], 1, " "));
  EXPECT_EQ(ReadWholeFile(NetBuyFilePath()), NetBuyFileBytes(all));
}

TEST_F(DailyListModelTest, DayLoadTypeTakesBlockTradeThenMarginThenInstitution) {
  // Shown: a day 40 days before today. Trades count from today - 30, not from that day.
  const std::string shown = "2024-04-05";
  const std::string margin = "当日融资买入数量达到当日该证券总交易量的50％以上";
  const FiveSeats institution = Seats({{"机构专用", 100, 0}});
  db_.AddListing(shown, "600001", "大宗甲", margin, 1, 10, 5000, institution, {});
  db_.AddListing(shown, "600002", "融资乙", margin, 1, 10, 5000, institution, {});
  db_.AddListing(shown, "600003", "机构丙", "日涨幅偏离值达7%的证券", 1, 10, 5000, institution, {});
  db_.AddListing(shown, "600004", "普通丁", "日涨幅偏离值达7%的证券", 1, 10, 5000, {}, {});
  db_.AddTrade("2024-04-15", "600001", "大宗甲", 1, 10, 9, 100, 900, "买方", "卖方");  // 30 days back
  db_.AddTrade("2024-04-14", "600002", "融资乙", 1, 10, 9, 100, 900, "买方", "卖方");  // 31 days back
  db_.AddTrade("2024-04-05", "600003", "机构丙", 1, 10, 9, 100, 900, "买方", "卖方");  // the shown day
  Load(kSortByNetBuy, shown);
  ASSERT_EQ(model_.DayLines().size(), 4u);
  for (const ListLine& line : model_.DayLines()) {
    const std::string type = TypeField(line.text);
    const char* expected = line.code == "600001"   ? "大"
                           : line.code == "600002" ? "融"
                           : line.code == "600003" ? "机"
                                                   : "";
    EXPECT_EQ(type, expected) << line.code;
  }
}

TEST_F(DailyListModelTest, DayLoadListingCountsRunFromTheLoadedDayMinus30AndIncludeLaterDays) {
  const std::string shown = "2024-04-05";
  for (const char* day : {"2024-03-05", "2024-03-06", "2024-04-05", "2024-05-10"}) Stock("600010", "计数", 10, 0, 1, "x", day);
  Stock("600011", "其他", 20, 0, 1, "x", shown);
  Load(kSortByNetBuy, shown);
  EXPECT_EQ(model_.ListingStartDay(), "2024-03-06");
  ASSERT_EQ(g_DayRows.size(), 2u);
  ASSERT_EQ(g_DayRows[1].StockCode, "600010");
  EXPECT_EQ(model_.DayLines()[0].text, FormatDayLine(1, g_DayRows[0], 1, " "));
  EXPECT_EQ(model_.DayLines()[1].text, FormatDayLine(2, g_DayRows[1], 3, " "));

  // With the counts hidden the column shows 0 and the count is not asked for.
  int shownStatements = 0;
  CountStatements(shownStatements);
  model_.RefreshDayList(kSortByNetBuy);
  model_.SetShowListCounts(false);
  int hiddenStatements = 0;
  CountStatements(hiddenStatements);
  model_.RefreshDayList(kSortByNetBuy);
  EXPECT_EQ(model_.DayLines()[1].text, FormatDayLine(2, g_DayRows[1], 0, " "));
  EXPECT_EQ(hiddenStatements, shownStatements - 1);
}

TEST_F(DailyListModelTest, DayLoadSuggestionBounds) {
  Stock("000001", "零涨", 3000, 1000, 0);         // in: change 0
  Stock("000002", "微跌", 3000, 1000, -0.01);     // out: falling
  Stock("000003", "两千", 2000, 0, 1);            // out: total buy not above 2000
  Stock("000004", "过线", 2000.5, 0, 1);          // in
  Stock("000005", "持平", 2400, 1200, 1);         // out: net buy equals total sell
  Stock("000006", "不足", 999.9, 0, 1);           // out: net buy 999.9
  db_.AddListing(kDay, "000007", "两机构", "x", 1, 10, 5000, Seats({{"机构专用", 2000, 0}, {"机构专用", 1000, 0}}), {});
  db_.AddListing(kDay, "000008", "一机构", "x", 1, 10, 5000, Seats({{"机构专用", 2000, 0}, {"营业部", 1000, 0}}), {});
  Load();
  const std::vector<ListLine>& lines = model_.SuggestionLines();
  ASSERT_EQ(Codes(lines), (std::vector<std::string>{"000007", "000008", "000004", "000001"}));
  EXPECT_EQ(lines[0].colour, RGB(33, 0, 234));
  EXPECT_EQ(lines[1].colour, RGB(230, 10, 0));
  EXPECT_EQ(lines[0].text, "01 两机构   000007  ");
  EXPECT_EQ(lines[3].text, "04 零涨     000001  ");
}

TEST_F(DailyListModelTest, DayLoadResortRewritesListAndAppendsASecondFileBlock) {
  Stock("000001", "融资股", 10, 0, 1, "融资余额达标");
  Stock("000002", "建议股", 3000, 1000, 2);
  Load(kSortByNetBuy);
  const std::vector<ListLine> first = model_.SuggestionLines();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0], (ListLine{"01 融资股   000001  ", RGB(255, 0, 255), "000001"}));
  EXPECT_EQ(first[1], (ListLine{"02 建议股   000002  ", RGB(230, 10, 0), "000002"}));
  model_.SortDayRows(kSortByChange);
  model_.RefreshDayList(kSortByChange);
  EXPECT_EQ(model_.SuggestionLines(), first);
  const std::string block = SuggestionBlockBytes({"02 建议股   000002  "});
  EXPECT_EQ(ReadWholeFile(SuggestionFilePath()), block + block);
}

TEST_F(DailyListModelTest, DayLoadStatementCountDoesNotGrowWithTheStocks) {
  settings_.watchedNames[0] = kWatched;
  settings_.buyTeams = 1;
  model_.SetSettings(settings_);
  Team(kMember1, 205, "一队");
  db_.AddMark(kWatched, 0, RGB(1, 2, 3), 0, 0, "", "关注", "");
  auto fill = [&](const std::string& day, int stocks) {
    for (int i = 0; i < stocks; ++i) {
      const std::string code = std::to_string(600000 + i);
      db_.AddListing(day, code, "股" + std::to_string(i), i % 3 ? "x" : "融资", i % 20 - 5, 10, 5000,
                     Seats({{kWatched, 3000.0 + i, 10}, {kMember1, 100, 0}, {"机构专用", 50, 0}}),
                     Seats({{kMember2, 0, 900}}));
      if (i % 4 == 0) db_.AddTrade("2024-05-10", code, "股", stocks * 1000 + i, 10, 9, 100, 900, "买", "卖");
    }
  };
  fill("2024-05-13", 10);
  fill(kDay, 100);
  int small = 0;
  CountStatements(small);
  Load(kSortByNetBuy, "2024-05-13");
  int large = 0;
  CountStatements(large);
  Load(kSortByNetBuy, kDay);
  EXPECT_EQ(model_.DayLines().size(), 100u);
  EXPECT_EQ(model_.WatchedLines().size(), 100u);
  EXPECT_EQ(model_.TeamLines().size(), 100u);
  EXPECT_GE(small, 3);  // the teams, the marks, the day's rows at least
  EXPECT_EQ(large, small);
  EXPECT_LE(large, 12);
}

TEST_F(DailyListModelTest, DayLoadFailureEmptiesTheSideListsAndKeepsTheDayList) {
  settings_.watchedNames[0] = kWatched;
  model_.SetSettings(settings_);
  db_.AddListing(kDay, "600000", "浦发银行", "融资", 1, 10, 5000, Seats({{kWatched, 3000, 0}}), {});
  Load();
  ASSERT_EQ(model_.DayLines().size(), 1u);
  ASSERT_EQ(model_.WatchedLines().size(), 1u);
  ASSERT_EQ(model_.SuggestionLines().size(), 2u);
  db_.Market().Close();
  EXPECT_FALSE(model_.LoadDayList("2024-05-13"));
  EXPECT_EQ(model_.LoadedDate(), kDay);
  EXPECT_EQ(model_.DayLines().size(), 1u);
  EXPECT_TRUE(model_.WatchedLines().empty());
  EXPECT_TRUE(model_.SuggestionLines().empty());
  EXPECT_TRUE(model_.TeamLines().empty());
  EXPECT_TRUE(g_DayRows.empty());
}

TEST_F(DailyListModelTest, DayLoadEmptyDayWritesTheHeaderAndTheClosingLines) {
  Load(kSortByNetBuy, "2024-05-13");
  EXPECT_TRUE(model_.DayLines().empty());
  EXPECT_TRUE(model_.SuggestionLines().empty());
  EXPECT_EQ(model_.FirstStockCode(), "");
  EXPECT_EQ(ReadWholeFile(NetBuyFilePath()), "\r\n\r\n");
  EXPECT_EQ(ReadWholeFile(SuggestionFilePath()), ToGbk("-----------------建议关注个股------------ \r\n\r\n\r\n"));
}

TEST_F(DailyListModelTest, ExportsMissingFolderShowsBothMessagesAndTheListsAreStillFilled) {
  std::filesystem::remove(folder_.File("临时文件"));
  Stock("000001", "建议股", 3000, 1000, 2);
  Load();
  EXPECT_EQ(model_.DayLines().size(), 1u);
  EXPECT_EQ(model_.SuggestionLines().size(), 1u);
  EXPECT_EQ(model_.FirstStockCode(), "000001");
  const std::vector<RecordedMessageBox> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "文件打开错误!");
  EXPECT_EQ(boxes[1].text, "每日净买入排序.txt 打开错误!");
  for (const RecordedMessageBox& box : boxes) {
    EXPECT_EQ(box.caption, "系统提示");
    EXPECT_EQ(box.icon, MB_ICONWARNING);
  }
  EXPECT_FALSE(folder_.Exists("临时文件"));
}

// ---------------------------------------------------------------- Side lists

TEST_F(DailyListModelTest, SideListsWatchedNamesOfFourBytesOrFewerAndEmptySlotsNeverMatch) {
  settings_.watchedNames = {"XXX", "国泰", "ABCD", "ABCDE", "", "XXX", "XXX", "XXX", "XXX", "XXX", "XXX", "XXX"};
  model_.SetSettings(settings_);
  db_.AddListing(kDay, "000001", "甲", "x", 1, 10, 5000, Seats({{"XXX", 1, 0}, {"国泰", 1, 0}, {"ABCD", 1, 0}}),
                 Seats({{"", 0, 1}}));
  db_.AddListing(kDay, "000002", "乙", "x", 1, 10, 5000, Seats({{"ABCDE", 7, 2}}), {});
  Load();
  ASSERT_EQ(model_.WatchedLines().size(), 1u);
  EXPECT_EQ(model_.WatchedLines()[0].code, "000002");
  EXPECT_EQ(model_.WatchedLines()[0].text, "01 乙       000002   5       ABCDE               ");
}

TEST_F(DailyListModelTest, SideListsTwoWatchedBranchesOnOneStockGiveOneLineInTheMarkColour) {
  settings_.watchedNames[3] = kWatched;
  settings_.watchedNames[11] = kWatched2;
  model_.SetSettings(settings_);
  db_.AddMark(kWatched2, 0, RGB(9, 8, 7), 0, 0, "", "", "");
  db_.AddListing(kDay, "600000", "浦发银行", "x", 1, 10, 5000, Seats({{"营业部", 1, 0}, {kWatched2, 1234, 34}}),
                 Seats({{kWatched, 0, 500}}));
  db_.AddListing(kDay, "600519", "贵州茅台", "x", 1, 10, 5000, {}, Seats({{kWatched, 10, 500.4}}));
  Load();
  ASSERT_EQ(model_.WatchedLines().size(), 2u);
  EXPECT_EQ(model_.WatchedLines()[0],
            (ListLine{"01 浦发银行 600000   1200    国泰君安证券股份有限公司南京太平南路证券营业部", RGB(9, 8, 7),
                      "600000"}));
  EXPECT_EQ(model_.WatchedLines()[1],
            (ListLine{"02 贵州茅台 600519   -490    华泰证券股份有限公司上海武定路证券营业部", RGB(255, 255, 255),
                      "600519"}));
}

TEST_F(DailyListModelTest, SideListsTeamsGroupByNumberHighestFirst) {
  Team("营业部丙", 201, "二队");
  Team("营业部甲", 205, "一队");
  Team("营业部丁", 150, "不是团队");
  Team("营业部乙", 205, "一队");
  EXPECT_EQ(model_.LoadTeams(), 1);
  const std::vector<CBranchTeamRow>& teams = model_.Teams();
  ASSERT_EQ(teams.size(), 2u);
  EXPECT_EQ(teams[0].TeamNumber, 205);
  EXPECT_EQ(teams[0].TeamName, "一队");
  EXPECT_EQ(teams[0].Members, (std::vector<std::string>{"营业部甲", "营业部乙"}));
  EXPECT_EQ(teams[1].TeamNumber, 201);
  EXPECT_EQ(teams[1].Members, std::vector<std::string>{"营业部丙"});
}

TEST_F(DailyListModelTest, SideListsTwoTeamsGetTheExtraBranchSecondEvenWhenItIsAMember) {
  Team("温州甲", 210, "温州系");
  Team("温州乙", 210, "温州系");
  Team(kTeamExtraBranch, 208, "山东系");
  Team("山东乙", 208, "山东系");
  Team("其他", 206, "浙江系");
  EXPECT_EQ(model_.LoadTeams(), 1);
  ASSERT_EQ(model_.Teams().size(), 3u);
  EXPECT_EQ(model_.Teams()[0].Members, (std::vector<std::string>{"温州甲", kTeamExtraBranch, "温州乙"}));
  EXPECT_EQ(model_.Teams()[1].Members, (std::vector<std::string>{kTeamExtraBranch, kTeamExtraBranch, "山东乙"}));
  EXPECT_EQ(model_.Teams()[2].Members, std::vector<std::string>{"其他"});
}

TEST_F(DailyListModelTest, SideListsNoTeamRowsGiveZeroAndAFailedQueryOneMessage) {
  Team("营业部", 199, "不够");
  EXPECT_EQ(model_.LoadTeams(), 0);
  EXPECT_TRUE(model_.Teams().empty());
  EXPECT_TRUE(Boxes().empty());

  ASSERT_TRUE(db_.User().Execute("DROP TABLE YYBMark"));
  Stock("000001", "甲", 10, 0);
  ASSERT_TRUE(model_.LoadDayList(kDay));
  EXPECT_TRUE(model_.Teams().empty());
  const std::vector<RecordedMessageBox> boxes = Boxes();
  const auto teamBoxes = std::count_if(boxes.begin(), boxes.end(), [](const RecordedMessageBox& box) {
    return box.text == "SELECT * FROM YYBMark where TeamNumber>=%d', Error" && box.caption == "系统提示";
  });
  EXPECT_EQ(teamBoxes, 1);
  EXPECT_EQ(g_DayRows.size(), 1u);
}

TEST_F(DailyListModelTest, SideListsTeamThresholdsCombineWithOrAndZeroActsAsOne) {
  Team(kMember1, 205, "一队");
  Team(kMember2, 205, "一队");
  db_.AddListing(kDay, "000001", "一买", "x", 1, 10, 5000, Seats({{kMember1, 100, 0}}), {});
  db_.AddListing(kDay, "000002", "两买", "x", 1, 10, 5000, Seats({{kMember1, 100, 0}, {kMember2, 100, 0}}), {});
  db_.AddListing(kDay, "000003", "一卖", "x", 1, 10, 5000, {}, Seats({{kMember2, 0, 100}}));
  db_.AddListing(kDay, "000004", "无关", "x", 1, 10, 5000, Seats({{"营业部", 100, 0}}), {});

  settings_.buyTeams = 2;
  settings_.sellTeams = 1;
  model_.SetSettings(settings_);
  ASSERT_TRUE(model_.LoadDayList(kDay));
  EXPECT_EQ(Codes(model_.TeamLines()), (std::vector<std::string>{"000002", "000003"}));
  EXPECT_EQ(model_.TeamHits(), 2);

  settings_.buyTeams = 0;  // as 1
  settings_.sellTeams = 0;
  model_.SetSettings(settings_);
  ASSERT_TRUE(model_.LoadDayList(kDay));
  EXPECT_EQ(Codes(model_.TeamLines()), (std::vector<std::string>{"000001", "000002", "000003"}));

  settings_.buyTeams = 3;
  settings_.sellTeams = 2;
  model_.SetSettings(settings_);
  ASSERT_TRUE(model_.LoadDayList(kDay));
  EXPECT_TRUE(model_.TeamLines().empty());
  EXPECT_EQ(model_.TeamHits(), 0);
}

TEST_F(DailyListModelTest, SideListsTeamLineKeepsItsCodeWithASevenDigitValue) {
  settings_.buyTeams = 1;
  model_.SetSettings(settings_);
  Team(kMember1, 205, "游资一队");
  db_.AddListing(kDay, "600000", "浦发银行", "x", 1, 10, 5000, Seats({{kMember1, 1234567.4, 0}}), {});
  db_.AddListing(kDay, "600519", "贵州茅台", "x", 1, 10, 5000, {}, Seats({{kMember1, 100, 600.7}}));
  ASSERT_TRUE(model_.LoadDayList(kDay));
  ASSERT_EQ(model_.TeamLines().size(), 2u);
  EXPECT_EQ(model_.TeamLines()[0], (ListLine{"游资一队 浦发银行 600000  1234567", RGB(255, 0, 0), "600000"}));
  EXPECT_EQ(model_.TeamLines()[1], (ListLine{"游资一队 贵州茅台 600519  -500  ", RGB(0, 200, 0), "600519"}));
}

TEST_F(DailyListModelTest, SideListsTeamSumsUseTheFiguresLeftAfterRepeatedSellFigures) {
  // The member sells 300 on the sell side; a buying seat sells 300 as well, so that
  // figure is taken out and the team line shows only the member's buying.
  Team(kMember1, 205, "一队");
  db_.AddListing(kDay, "600000", "浦发银行", "x", 1, 10, 5000, Seats({{"营业部", 0, 300}}),
                 Seats({{kMember1, 50, 300}}));
  ASSERT_TRUE(model_.LoadDayList(kDay));
  ASSERT_EQ(model_.TeamLines().size(), 1u);
  EXPECT_EQ(model_.TeamLines()[0].text, "一队     浦发银行 600000  50    ");
  EXPECT_DOUBLE_EQ(g_DayRows[0].TotalSell, 600);  // the day row keeps both
}

TEST(RemoveRepeatedSeatFiguresTest, EachSellFieldIsComparedOnItsOwn) {
  StockDetailRecord record;
  record.Buy[0] = {100, 20};
  record.Buy[1] = {7, 8};
  record.Sell[0] = {100, 20};  // the same branch on both sides: both figures go
  record.Sell[1] = {55, 8};    // the sell figure repeats buy seat 2's: only it goes
  record.Sell[2] = {7, 99};    // the buy figure repeats: only it goes
  record.Sell[3] = {3, 4};
  RemoveRepeatedSeatFigures(record);
  EXPECT_EQ(record.Sell[0].BuyAmount, 0);
  EXPECT_EQ(record.Sell[0].SellAmount, 0);
  EXPECT_EQ(record.Sell[1].BuyAmount, 55);
  EXPECT_EQ(record.Sell[1].SellAmount, 0);
  EXPECT_EQ(record.Sell[2].BuyAmount, 0);
  EXPECT_EQ(record.Sell[2].SellAmount, 99);
  EXPECT_EQ(record.Sell[3].BuyAmount, 3);
  EXPECT_EQ(record.Sell[3].SellAmount, 4);
  EXPECT_EQ(record.Buy[0].BuyAmount, 100);  // the buying seats stay
}

// ---------------------------------------------------------------- Lines

TEST(FormatDayLineTest, WidthsCountGbkBytesForThreeAndFourCharacterNames) {
  CStockDayRow three;
  three.StockName = "浦发银";
  three.StockCode = "600000";
  three.ZhangFu = 10.02f;
  three.NetBuy = 12345;
  three.TotalBuySell = 123456;
  const std::string first = FormatDayLine(1, three, 3, "大");
  EXPECT_EQ(first, "01 浦发银    600000  10.02%  1.23亿  12.35亿  3       大 ");
  EXPECT_EQ(GbkByteLength(first), 57u);

  CStockDayRow four;
  four.StockName = "贵州茅台";
  four.StockCode = "600519";
  four.ZhangFu = -3.5f;
  four.NetBuy = -2500;
  four.TotalBuySell = 1234567;
  const std::string second = FormatDayLine(2, four, 12, " ");
  EXPECT_EQ(second, "02 贵州茅台  600519  -3.50%  -0.25亿 123.46亿 12         ");
  EXPECT_EQ(GbkByteLength(second), 57u);
}

TEST(DailyListSettingsTest, TakesTheTwelveWatchedNamesTheThresholdsAndTheCutoff) {
  const CSettings saved = g_Settings;
  for (std::size_t i = 0; i < g_Settings.YYB_Name.size(); ++i) g_Settings.YYB_Name[i] = "营业部" + std::to_string(i + 1);
  g_Settings.BuyTeams = 3;
  g_Settings.SellTeams = 0;
  const DailyListSettings settings = DailyListSettingsFromGlobals(FakeClock(2024, 5, 15));
  g_Settings = saved;
  EXPECT_EQ(settings.watchedNames[0], "营业部1");
  EXPECT_EQ(settings.watchedNames[11], "营业部12");
  EXPECT_EQ(settings.buyTeams, 3);
  EXPECT_EQ(settings.sellTeams, 0);
  EXPECT_TRUE(settings.showListCounts);
  EXPECT_EQ(settings.blockTradeCutoff, "2024-04-15");
}

}  // namespace
