#include "analysis/team_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "analysis/tracker_searches.h"
#include "platform/message_box.h"
#include "records/branch_teams.h"
#include "storage/charset.h"

namespace {

constexpr const char* kDay = "2024-05-14";  // a Tuesday
constexpr const char* kA = "中国银河证券股份有限公司绍兴证券营业部";
constexpr const char* kB = "光大证券股份有限公司宁波解放南路证券营业部";
constexpr const char* kC = "华泰证券股份有限公司上海武定路证券营业部";

LocalTime Today(int year, int month, int day) {
  return CivilFromDays(DaysFromCivil(year, month, day));
}

CBranchTeamRow MakeTeam(const std::string& name, std::vector<std::string> members) {
  CBranchTeamRow team;
  team.TeamNumber = 200;
  team.TeamName = name;
  team.Members = std::move(members);
  return team;
}

FiveSeats Seats(std::initializer_list<SeatFixture> seats) {
  FiveSeats out{};
  std::copy(seats.begin(), seats.end(), out.begin());
  return out;
}

// Records the sink calls of a search run on the calling thread.
class CollectingSink final : public TeamSearchSink {
 public:
  void AddLine(std::uint64_t job, const TrackerLine& line) override {
    jobs.push_back(job);
    lines.push_back(line);
  }
  void Finished(std::uint64_t job, const TeamSearchSummary& s) override {
    jobs.push_back(job);
    ++finished;
    summary = s;
  }
  void Failed(std::uint64_t job, const std::string& text) override {
    jobs.push_back(job);
    ++failed;
    failText = text;
  }

  std::vector<std::uint64_t> jobs;
  std::vector<TrackerLine> lines;
  int finished = 0;
  int failed = 0;
  TeamSearchSummary summary;
  std::string failText;
};

class TeamSearchTest : public ::testing::Test {
 protected:
  void TearDown() override { MessageBoxHook::Instance().TakeRecorded(); }

  void Mark(const std::string& branch, int teamNumber, const std::string& teamName) {
    db_.AddMark(branch, 0, 0, 0, teamNumber, "", "", teamName);
  }
  DayScanResult Scan(const std::string& day, const std::vector<CBranchTeamRow>& teams, int& counter,
                     std::vector<TrackerLine>& out, std::stop_token stop = {}, std::string* error = nullptr) {
    StockDayDetail record;
    return ScanDayForTeams(db_.Market(), day, teams, TeamThresholds{}, record, counter,
                           [&out](TrackerLine line) { out.push_back(std::move(line)); }, stop, error);
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
};

// ---------------------------------------------------------------- Teams

TEST_F(TeamSearchTest, TeamsGroupFrom200HighestFirstWithoutAnEmptyTeam) {
  Mark("丙营业部", 201, "二队");
  Mark("甲营业部", 205, "一队");
  Mark("丁营业部", 199, "不是团队");
  Mark("乙营业部", 205, "一队改名");
  Mark("戊营业部", 200, "三队");
  std::vector<CBranchTeamRow> teams(2);  // whatever was there goes
  ASSERT_TRUE(LoadTeams(teams, db_.User()));
  ASSERT_EQ(teams.size(), 3u);
  EXPECT_EQ(teams[0].TeamNumber, 205);
  EXPECT_EQ(teams[0].Members, (std::vector<std::string>{"甲营业部", "乙营业部"}));
  EXPECT_EQ(teams[0].TeamName, "一队改名");  // the last row of a team names it
  EXPECT_EQ(teams[1].TeamNumber, 201);
  EXPECT_EQ(teams[2].TeamNumber, 200);
  EXPECT_EQ(teams[2].Members, std::vector<std::string>{"戊营业部"});
  EXPECT_EQ(TeamComboItems(teams), (std::vector<std::string>{"请选择派系", "一队改名", "二队", "三队"}));
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

TEST_F(TeamSearchTest, TeamsWenzhouAndShandongGetTheExtraBranchOnce) {
  Mark("温州甲", 210, "温州系");
  Mark("温州乙", 210, "温州系");
  Mark("温州丙", 210, "温州系");
  Mark("山东甲", 208, "山东系");
  std::vector<CBranchTeamRow> teams;
  ASSERT_TRUE(LoadTeams(teams, db_.User()));
  ASSERT_EQ(teams.size(), 2u);
  EXPECT_EQ(teams[0].Members, (std::vector<std::string>{"温州甲", kTeamExtraBranch, "温州乙", "温州丙"}));
  EXPECT_EQ(teams[1].Members, (std::vector<std::string>{"山东甲", kTeamExtraBranch}));
}

TEST_F(TeamSearchTest, TeamsFailedQueryShowsTheKnownTextAndLeavesTheListEmpty) {
  Mark("甲营业部", 205, "一队");
  ASSERT_TRUE(db_.User().Execute("DROP TABLE YYBMark"));
  std::vector<CBranchTeamRow> teams(1);
  EXPECT_FALSE(LoadTeams(teams, db_.User()));
  EXPECT_TRUE(teams.empty());
  const std::vector<RecordedMessageBox> boxes = MessageBoxHook::Instance().TakeRecorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "SELECT * FROM YYBMark where TeamNumber>=%d', Error");
  EXPECT_EQ(boxes[0].caption, "系统提示");
  EXPECT_EQ(TeamComboItems(teams), std::vector<std::string>{"请选择派系"});
}

// ---------------------------------------------------------------- Matching

TEST_F(TeamSearchTest, MatchOneSellerQualifiesOneBuyerDoesNotTwoBuyersDo) {
  const std::vector<CBranchTeamRow> teams = {MakeTeam("一队", {kA, kB})};
  StockDayDetail oneSeller;
  oneSeller.SellNames[2] = kA;
  StockDayDetail oneBuyer;
  oneBuyer.BuyNames[0] = kA;
  StockDayDetail twoBuyers;
  twoBuyers.BuyNames[0] = kA;
  twoBuyers.BuyNames[4] = kB;
  const TeamThresholds defaults;  // 2 buyers or 1 seller
  EXPECT_EQ(MatchTeamsOnStock(oneSeller, teams, defaults).size(), 1u);
  EXPECT_TRUE(MatchTeamsOnStock(oneBuyer, teams, defaults).empty());
  const std::vector<TeamHit> hits = MatchTeamsOnStock(twoBuyers, teams, defaults);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].buySeats, 2);
  EXPECT_EQ(hits[0].sellSeats, 0);
  // Either threshold alone is enough; a stricter one rules the buyers out.
  EXPECT_TRUE(MatchTeamsOnStock(twoBuyers, teams, TeamThresholds{3, 1}).empty());
}

TEST_F(TeamSearchTest, MatchThresholdsBelowOneCountAsOne) {
  const std::vector<CBranchTeamRow> teams = {MakeTeam("一队", {kA}), MakeTeam("空名", {""})};
  StockDayDetail noMember;  // ten empty seats
  noMember.BuyNames[0] = kC;
  EXPECT_TRUE(MatchTeamsOnStock(noMember, teams, TeamThresholds{0, 0}).empty());
  EXPECT_TRUE(MatchTeamsOnStock(noMember, teams, TeamThresholds{-3, -1}).empty());
  StockDayDetail oneBuyer;
  oneBuyer.BuyNames[1] = kA;
  const std::vector<TeamHit> hits = MatchTeamsOnStock(oneBuyer, teams, TeamThresholds{0, 0});
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].team, 0u);  // the empty member matches none of the empty seats
}

TEST_F(TeamSearchTest, MatchNetIsTruncatedAndTaggedWithTheFirstMembersSeat) {
  // Members in list order: kA is met first although kB holds the better seat.
  const std::vector<CBranchTeamRow> teams = {MakeTeam("一队", {kA, kB})};
  StockDayDetail record;
  record.BuyNames[0] = kB;
  record.Buy[0] = {1000.9, 0};
  record.BuyNames[1] = kA;
  record.Buy[1] = {300, 66.3};
  const std::vector<TeamHit> hits = MatchTeamsOnStock(record, teams, TeamThresholds{});
  ASSERT_EQ(hits.size(), 1u);
  // 1000.9 + 300 - 66.3 = 1234.6 -> 1234, buy seat 2 -> 1234.20 万元.
  EXPECT_DOUBLE_EQ(hits[0].netYi, 1234.2 / 10000);

  // A seller at Sell3 with a net of -50.6: -(50 + 0.03).
  StockDayDetail seller;
  seller.SellNames[2] = kB;
  seller.Sell[2] = {0, 50.6};
  const std::vector<TeamHit> sold = MatchTeamsOnStock(seller, teams, TeamThresholds{});
  ASSERT_EQ(sold.size(), 1u);
  EXPECT_DOUBLE_EQ(sold[0].netYi, -50.03 / 10000);
}

TEST_F(TeamSearchTest, DropDuplicatesCountsABothSidesBranchOnceFieldByField) {
  StockDayDetail record;
  record.BuyNames[0] = kA;
  record.Buy[0] = {800, 100};
  record.SellNames[1] = kA;
  record.Sell[1] = {800, 100};
  record.SellNames[3] = kC;  // shares only the buy figure of an unrelated seat
  record.Sell[3] = {800, 55};
  DropDuplicateSeatAmounts(record);
  EXPECT_DOUBLE_EQ(record.Sell[1].BuyAmount, 0);
  EXPECT_DOUBLE_EQ(record.Sell[1].SellAmount, 0);
  EXPECT_DOUBLE_EQ(record.Sell[3].BuyAmount, 0);
  EXPECT_DOUBLE_EQ(record.Sell[3].SellAmount, 55);
  EXPECT_DOUBLE_EQ(record.Buy[0].BuyAmount, 800);  // the buy side stays

  const std::vector<TeamHit> hits = MatchTeamsOnStock(record, {MakeTeam("一队", {kA})}, TeamThresholds{});
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].buySeats, 1);
  EXPECT_EQ(hits[0].sellSeats, 1);
  EXPECT_DOUBLE_EQ(hits[0].netYi, 700.1 / 10000);  // not 1400
}

// ---------------------------------------------------------------- Days

TEST_F(TeamSearchTest, DaysFiveOnAWednesdayReachBackToThursday) {
  EXPECT_EQ(TeamSearchDays(Today(2024, 5, 15), 5),
            (std::vector<std::string>{"2024-05-15", "2024-05-14", "2024-05-13", "2024-05-10", "2024-05-09"}));
  EXPECT_EQ(TeamSearchDays(Today(2024, 5, 18), 2), (std::vector<std::string>{"2024-05-17", "2024-05-16"}));
  EXPECT_EQ(TeamSearchDays(Today(2024, 5, 19), 1), std::vector<std::string>{"2024-05-17"});
}

TEST_F(TeamSearchTest, DaysNoneForZeroOrLess) {
  EXPECT_TRUE(TeamSearchDays(Today(2024, 5, 15), 0).empty());
  EXPECT_TRUE(TeamSearchDays(Today(2024, 5, 15), -4).empty());
}

TEST_F(TeamSearchTest, DaysStopShortOf365DaysBack) {
  // 364 days before Wednesday 2024-05-15 is Wednesday 2023-05-17: 52 weeks and a day.
  const std::vector<std::string> days = TeamSearchDays(Today(2024, 5, 15), 400);
  ASSERT_EQ(days.size(), 261u);
  EXPECT_EQ(days.back(), "2023-05-17");
  EXPECT_EQ(TeamSearchDays(Today(2024, 5, 15), 261), days);
  EXPECT_EQ(TeamSearchDays(Today(2024, 5, 15), 260).back(), "2023-05-18");
  EXPECT_TRUE(std::is_sorted(days.rbegin(), days.rend()));
}

// ---------------------------------------------------------------- One day

TEST_F(TeamSearchTest, ScanNumbersLinesOnInStoredOrderWithTheirRoles) {
  Mark(kA, 205, "一队");
  Mark(kB, 201, "二队");
  std::vector<CBranchTeamRow> teams;
  ASSERT_TRUE(LoadTeams(teams, db_.User()));
  db_.AddListing(kDay, "600000", "浦发银行", "r", 1, 10.5, 5e4, Seats({{kC, 900, 0}}),
                 Seats({{kA, 0, 3000}}));
  db_.AddListing(kDay, "000002", "万科A", "r", 1, 8.2, 5e4, Seats({{kC, 10, 0}}), Seats({{kC, 0, 10}}));
  db_.AddListing(kDay, "300001", "特锐德", "r", 1, 21, 5e4, Seats({{kC, 5, 0}}),
                 Seats({{kA, 1234.7, 0}, {kB, 0, 0.4}}));
  db_.AddListing("2024-05-13", "600001", "邯郸钢铁", "r", 1, 3, 5e4, {}, Seats({{kA, 0, 1}}));

  int counter = 4;
  std::vector<TrackerLine> lines;
  ASSERT_EQ(Scan(kDay, teams, counter, lines), DayScanResult::Scanned);
  EXPECT_EQ(counter, 7);
  ASSERT_EQ(lines.size(), 3u);
  // -3000 at Sell1: -(3000 + 0.01) 万元.
  EXPECT_EQ(ToGbk(lines[0].text), ToGbk("05 浦发银行 600000   2024-05-14 一队     净买:-0.30亿 收:10.50"));
  EXPECT_EQ(lines[0].colour, kTrackerTeamLossColour);
  EXPECT_EQ(lines[0].stockName, "浦发银行");
  EXPECT_EQ(lines[0].code, "600000");
  EXPECT_EQ(lines[0].date, kDay);
  EXPECT_EQ(lines[0].teamName, "一队");
  EXPECT_EQ(lines[1].text, "06 特锐德   300001   2024-05-14 一队     净买:0.12 亿 收:21.00");
  EXPECT_EQ(lines[1].colour, kTrackerTeamGainColour);
  // A net of -0.4 truncates to 0 and still prints as a loss.
  EXPECT_EQ(lines[2].text, "07 特锐德   300001   2024-05-14 二队     净买:-0.00亿 收:21.00");
  EXPECT_EQ(lines[2].colour, kTrackerTeamLossColour);
  EXPECT_EQ(lines[2].teamName, "二队");
}

TEST_F(TeamSearchTest, ScanAStopRequestIsSeenBeforeEveryRow) {
  const std::vector<CBranchTeamRow> teams = {MakeTeam("一队", {kA}), MakeTeam("二队", {kB})};
  for (const char* code : {"600000", "600001", "600002"}) {
    db_.AddListing(kDay, code, "某股", "r", 1, 1, 1, {}, Seats({{kA, 0, 5}, {kB, 0, 5}}));
  }
  std::stop_source stop;
  int counter = 0;
  std::vector<TrackerLine> lines;
  StockDayDetail record;
  const DayScanResult result = ScanDayForTeams(
      db_.Market(), kDay, teams, TeamThresholds{}, record, counter,
      [&](TrackerLine line) {
        lines.push_back(std::move(line));
        stop.request_stop();
      },
      stop.get_token());
  EXPECT_EQ(result, DayScanResult::Stopped);
  // The first row is finished (both of its teams), the second is never read.
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].code, "600000");
  EXPECT_EQ(counter, 2);

  lines.clear();
  EXPECT_EQ(Scan(kDay, teams, counter, lines, stop.get_token()), DayScanResult::Stopped);
  EXPECT_TRUE(lines.empty());
}

TEST_F(TeamSearchTest, ScanAFailedQueryIsToldApartFromAnEmptyDay) {
  const std::vector<CBranchTeamRow> teams = {MakeTeam("一队", {kA})};
  int counter = 3;
  std::vector<TrackerLine> lines;
  std::string error = "old";
  EXPECT_EQ(Scan("2024-05-11", teams, counter, lines, {}, &error), DayScanResult::Scanned);
  EXPECT_EQ(error, "old");
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  EXPECT_EQ(Scan(kDay, teams, counter, lines, {}, &error), DayScanResult::Failed);
  EXPECT_NE(error.find("StockInfo"), std::string::npos) << error;
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(counter, 3);
}

// ---------------------------------------------------------------- The whole walk

TEST_F(TeamSearchTest, RunWalksTheDaysNewestFirstAndEndsOnce) {
  db_.AddListing("2024-05-15", "600000", "浦发银行", "r", 1, 1, 1, {}, Seats({{kA, 0, 5}}));
  db_.AddListing("2024-05-09", "600001", "邯郸钢铁", "r", 1, 1, 1, {}, Seats({{kA, 0, 5}}));
  db_.AddListing("2024-05-08", "600002", "太早", "r", 1, 1, 1, {}, Seats({{kA, 0, 5}}));
  TeamSearchParams params;
  params.teams = {MakeTeam("一队", {kA})};
  params.days = 5;
  CollectingSink sink;
  std::atomic<bool> running{true};
  TeamSearchJob::Run(params, Today(2024, 5, 15), db_.Market(), sink, 42, {}, &running);
  EXPECT_FALSE(running.load());
  ASSERT_EQ(sink.lines.size(), 2u);
  EXPECT_EQ(sink.lines[0].date, "2024-05-15");
  EXPECT_EQ(sink.lines[1].date, "2024-05-09");
  EXPECT_EQ(sink.lines[1].text.substr(0, 3), "02 ");
  EXPECT_EQ(sink.finished, 1);
  EXPECT_EQ(sink.failed, 0);
  EXPECT_EQ(sink.summary.lines, 2);
  EXPECT_EQ(sink.summary.daysScanned, 5);
  EXPECT_FALSE(sink.summary.stopped);
  EXPECT_TRUE(sink.summary.errorText.empty());
  EXPECT_EQ(sink.jobs, std::vector<std::uint64_t>(3, 42));
}

TEST_F(TeamSearchTest, RunReportsFailedDaysOnceAndGoesOn) {
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  TeamSearchParams params;
  params.teams = {MakeTeam("一队", {kA})};
  params.days = 3;
  CollectingSink sink;
  TeamSearchJob::Run(params, Today(2024, 5, 15), db_.Market(), sink, 1, {});
  EXPECT_EQ(sink.finished, 1);
  EXPECT_EQ(sink.summary.daysFailed, 3);
  EXPECT_EQ(sink.summary.daysScanned, 0);
  EXPECT_EQ(sink.summary.errorText.rfind(std::string(kTrackerQueryFailedText) + "\n", 0), 0u)
      << sink.summary.errorText;
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());  // the page shows it, once
}

TEST_F(TeamSearchTest, RunWithoutAConnectionFailsWithoutLines) {
  CADODataBase closed;
  TeamSearchParams params;
  params.teams = {MakeTeam("一队", {kA})};
  params.days = 5;
  CollectingSink sink;
  std::atomic<bool> running{true};
  TeamSearchJob::Run(params, Today(2024, 5, 15), closed, sink, 9, {}, &running);
  EXPECT_FALSE(running.load());
  EXPECT_EQ(sink.failed, 1);
  EXPECT_EQ(sink.finished, 0);
  EXPECT_TRUE(sink.lines.empty());
  EXPECT_EQ(sink.failText.rfind(kTrackerQueryFailedText, 0), 0u);
  EXPECT_EQ(sink.jobs, std::vector<std::uint64_t>{9});
}

}  // namespace
