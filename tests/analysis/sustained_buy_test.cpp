// Continuous buying: which stocks qualify, the right-hand list's figures and colours,
// margin buying, the clipboard text and the window arithmetic.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/temp_program_folder.h"
#include "analysis/sustained_buy.h"
#include "platform/message_box.h"

namespace {

constexpr const char* kA = "中信证券上海溧阳路营业部";
constexpr const char* kB = "机构专用";
constexpr const char* kC = "光大证券宁波解放南路营业部";

SeatFixture Seat(const std::string& name, double buy = 0, double sell = 0) { return {name, buy, sell}; }

FiveSeats One(const std::string& name, double buy, double sell = 0) {
  FiveSeats seats{};
  seats[0] = Seat(name, buy, sell);
  return seats;
}

CStockDayRow Counted(const std::string& code, int count, const std::string& name = "") {
  CStockDayRow row;
  row.StockCode = code;
  row.StockName = name.empty() ? "股票" + code : name;
  row.nCount = count;
  return row;
}

class SustainedBuyTest : public ::testing::Test {
 protected:
  void List(const std::string& day, const std::string& code, const FiveSeats& buy, const FiveSeats& sell = {},
            const std::string& reason = "") {
    db_.AddListing(day, code, "股票" + code, reason, 1, 10, 1000, buy, sell);
  }
  SustainedStockList Scan(std::vector<CStockDayRow> stocks, const std::string& windowStart = "2024-06-03") {
    return ScanSustainedStocks(db_.Market(), stocks, windowStart);
  }
  SustainedBranchList Fill(std::vector<CStockDayRow> stocks, std::optional<std::string> only = std::nullopt,
                           const std::string& today = "2024-06-07") {
    return FillSustainedBranchList(db_.Market(), db_.User(), stocks, "2024-06-03", only, today);
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
};

}  // namespace

TEST_F(SustainedBuyTest, AStockQualifiesOnTwoBuyingSeatsAboveTen) {
  // 600001: A buys 10.5 twice -> qualifies. 600002: exactly 10 twice -> not.
  // 600003: A sells on every listing and buys once -> not. 600004: listed once.
  for (const char* day : {"2024-06-07", "2024-06-06", "2024-06-05"}) {
    List(day, "600001", One(kA, 10.5));
    List(day, "600002", One(kA, 10));
    List(day, "600003", One(kC, 1), One(kA, 0, 50));
  }
  List("2024-06-04", "600003", One(kA, 20));
  List("2024-06-07", "600004", {Seat(kA, 20, 0), Seat(kA, 20, 0)});
  const SustainedStockList list =
      Scan({Counted("600004", 1), Counted("600001", 2), Counted("600002", 3), Counted("600003", 4)});
  ASSERT_FALSE(list.queryFailed);
  ASSERT_EQ(list.rows.size(), 1u);
  // Only the newest two listings of 600001 are read: A held two seats there.
  EXPECT_EQ(list.rows[0].cells, (std::array<std::string, 5>{"1", "2024-06-07", "股票600001", "600001", "2"}));
  EXPECT_TRUE(Fill({Counted("600004", 1)}).rows.empty());
}

TEST_F(SustainedBuyTest, TheLeadingBranchSuppliesTheCountAndTheNewestDateIsShown) {
  // C buys on both listings and also sells once (3 seats); A buys on both (2 seats).
  List("2024-06-07", "600001", {Seat(kA, 30, 0), Seat(kC, 11, 0)}, One(kC, 0, 40));
  List("2024-06-05", "600001", {Seat(kC, 12, 0), Seat(kA, 20, 0)});
  List("2024-06-03", "600001", One(kB, 90));  // beyond k = 2
  const SustainedStockList list = Scan({Counted("600001", 2, "旧名称")});
  ASSERT_EQ(list.rows.size(), 1u);
  // A is met first, equal buying seats keep that order: A's 2 seats, not C's 3.
  EXPECT_EQ(list.rows[0].cells[1], "2024-06-07");
  EXPECT_EQ(list.rows[0].cells[2], "旧名称");  // the counted name
  EXPECT_EQ(list.rows[0].cells[4], "2");
}

TEST_F(SustainedBuyTest, AStockListedTwiceOnOneDayCountsEachListingOnce) {
  // Two listings of 600001 on one day, A buying on one of them: one buying seat, so
  // the stock does not qualify (reading the day once per listing would count it twice).
  db_.AddListing("2024-06-07", "600001", "股票", "", 1, 10, 1000, One(kA, 50), {});
  db_.AddListing("2024-06-07", "600001x", "股票", "", 1, 10, 1000, One(kC, 50), {});
  ASSERT_TRUE(db_.Market().Execute("UPDATE StockInfo SET StockCode='600001' WHERE StockCode='600001x'"));
  EXPECT_TRUE(Scan({Counted("600001", 2)}).rows.empty());
  db_.AddListing("2024-06-06", "600001", "股票", "", 1, 10, 1000, One(kA, 50), {});
  EXPECT_TRUE(Scan({Counted("600001", 2)}).rows.empty());  // the newest two are the same day's
  EXPECT_EQ(Scan({Counted("600001", 3)}).rows.size(), 1u);
}

TEST_F(SustainedBuyTest, BranchListingsShowFiguresNetAndColours) {
  db_.AddMark(kA, 1, RGB(10, 20, 30), 0, 0, "", "", "");
  // Equal figures in both halves count once; different ones are added up.
  List("2024-06-07", "600001", {Seat(kC, 1, 0), Seat(kA, 25.9, 3.2)}, {Seat("", 0, 0), Seat(""), Seat(""), Seat(kA, 25.9, 3.2)});
  List("2024-06-06", "600001", One(kA, 12.7, 0.5), One(kA, 1.2, 40));
  // The last matching buying seat wins.
  List("2024-06-05", "600001", {Seat(kA, 100, 0), Seat(kA, 15, 15.5)});
  const SustainedBranchList list = Fill({Counted("600001", 3)}, std::nullopt, "2024-06-07");
  ASSERT_FALSE(list.queryFailed);
  // A: 4 buying seats over 3 listings, so up to 4 of its listings; there are 3.
  ASSERT_EQ(list.rows.size(), 3u);
  EXPECT_EQ(list.rows[0].cells, (std::array<std::string, 9>{"1", "2024-06-07", "股票600001", "600001", kA, "25", "3",
                                                            "22", ""}));
  EXPECT_EQ(list.rows[1].cells[5], "13");   // 12.7 + 1.2
  EXPECT_EQ(list.rows[1].cells[6], "40");   // 0.5 + 40
  EXPECT_EQ(list.rows[1].cells[7], "-26");  // (12.7 - 0.5) + (1.2 - 40) = -26.6
  EXPECT_EQ(list.rows[2].cells[5], "15");
  EXPECT_EQ(list.rows[2].cells[7], "0");  // -0.5 truncates to 0: not a net buy
  // Today's date in red; the mark on the branch; the net's sign on the net column.
  EXPECT_EQ(list.rows[0].dateColour, kSustainedTodayColour);
  EXPECT_EQ(list.rows[1].dateColour, std::nullopt);
  EXPECT_EQ(list.rows[0].branchColour, RGB(10, 20, 30));
  EXPECT_EQ(list.rows[0].netColour, kSustainedNetBuyColour);
  EXPECT_EQ(list.rows[1].netColour, kSustainedNetSellColour);
  EXPECT_EQ(list.rows[2].netColour, kSustainedNetSellColour);
  // No today (a weekend) colours no date.
  EXPECT_EQ(Fill({Counted("600001", 3)}, std::nullopt, "").rows[0].dateColour, std::nullopt);
}

TEST_F(SustainedBuyTest, OnlyTheDoubleClickedStockIsListed) {
  for (const char* day : {"2024-06-07", "2024-06-06"}) {
    List(day, "600001", One(kA, 20));
    List(day, "600002", One(kC, 20));
  }
  const std::vector<CStockDayRow> stocks{Counted("600001", 2), Counted("600002", 2)};
  EXPECT_EQ(Fill(stocks).rows.size(), 4u);
  const SustainedBranchList one = Fill(stocks, "600002");
  ASSERT_EQ(one.rows.size(), 2u);
  EXPECT_EQ(one.rows[0].cells[4], kC);
  EXPECT_TRUE(Fill(stocks, "600009").rows.empty());
}

TEST_F(SustainedBuyTest, OlderListingsOfTheBranchSurviveNewNamesReadWithThem) {
  // Three buying seats of the institutions on each listing of the window make six, so four
  // older listings are read, each bringing five names not met before.
  for (const char* day : {"2024-06-07", "2024-06-06"}) List(day, "600001", {Seat(kB, 50), Seat(kB, 40), Seat(kB, 30)});
  for (int d = 5; d >= 1; --d) {
    FiveSeats sellers;
    for (int s = 0; s < 5; ++s) sellers[static_cast<std::size_t>(s)] = Seat("卖方" + std::to_string(d * 10 + s), 0, 5);
    List("2024-05-0" + std::to_string(d), "600001", One(kB, 20), sellers);
  }
  const SustainedBranchList one = Fill({Counted("600001", 2)}, "600001");
  ASSERT_EQ(one.rows.size(), 6u);
  EXPECT_EQ(one.rows[5].cells[1], "2024-05-02");
  EXPECT_EQ(Fill({Counted("600001", 2)}).rows, one.rows);
}

TEST_F(SustainedBuyTest, SortsTheCountedStocksInPlaceByCount) {
  std::vector<CStockDayRow> stocks{Counted("1", 2), Counted("2", 5), Counted("3", 2), Counted("4", 5)};
  SortStocksByCount(stocks);
  std::vector<std::string> order;
  for (const CStockDayRow& s : stocks) order.push_back(s.StockCode);
  EXPECT_EQ(order, (std::vector<std::string>{"2", "4", "1", "3"}));
}

TEST_F(SustainedBuyTest, EmptyDatabaseAndFailedReads) {
  EXPECT_TRUE(Scan({}).rows.empty());
  const SustainedStockList none = Scan({Counted("600001", 3)});
  EXPECT_FALSE(none.queryFailed);
  EXPECT_TRUE(none.rows.empty());
  EXPECT_TRUE(Fill({Counted("600001", 3)}).rows.empty());
  EXPECT_TRUE(LoadMarginBuying(db_.Market()).rows.empty());
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());

  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  const SustainedStockList failed = Scan({Counted("600001", 3)});
  EXPECT_TRUE(failed.queryFailed);
  EXPECT_FALSE(failed.error.empty());
  EXPECT_TRUE(Fill({Counted("600001", 3)}).queryFailed);
  EXPECT_TRUE(LoadMarginBuying(db_.Market()).queryFailed);
  // With no stock to read nothing is asked of the database.
  EXPECT_FALSE(Scan({Counted("600001", 1)}).queryFailed);
}

TEST_F(SustainedBuyTest, AFailedReadPastTheWindowShowsNothing) {
  for (const char* day : {"2024-06-07", "2024-06-06"}) List(day, "600001", One(kA, 20));
  // A window start after every listing: the listings are read past it, through a
  // statement that now fails.
  ASSERT_TRUE(db_.Market().Execute("DROP INDEX IX_StockInfo_StockCode_SB_Date"));
  std::vector<CStockDayRow> stocks{Counted("600001", 2)};
  EXPECT_EQ(ScanSustainedStocks(db_.Market(), stocks, "2024-06-10").rows.size(), 1u);
  ASSERT_TRUE(db_.Market().Execute("ALTER TABLE StockInfo RENAME COLUMN Sell5_YYB_Name TO Gone"));
  const SustainedStockList failed = ScanSustainedStocks(db_.Market(), stocks, "2024-06-10");
  EXPECT_TRUE(failed.queryFailed);
  EXPECT_TRUE(failed.rows.empty());
}

TEST_F(SustainedBuyTest, MarginBuyingListsTheReasonsListingsNewestFirst) {
  List("2024-06-05", "600001", One(kA, 12.5), {}, "融资买入数量达到规定比例的证券");
  List("2024-06-07", "600002", One(kC, 99.5), {}, "日融资买入数量达到规定");
  List("2024-06-07", "600003", One(kA, 12), {}, "日涨幅偏离值达7%");
  List("2024-06-07", "600004", One("O'Neil", 1), {}, "融资买入数量%_");
  const SustainedBranchList list = LoadMarginBuying(db_.Market());
  ASSERT_EQ(list.rows.size(), 3u);
  EXPECT_EQ(list.rows[0].cells, (std::array<std::string, 9>{"1", "2024-06-07", "股票600002", "600002", kC, "100", "",
                                                            "", ""}));
  EXPECT_EQ(list.rows[1].cells[3], "600004");
  EXPECT_EQ(list.rows[1].cells[4], "O'Neil");
  EXPECT_EQ(list.rows[2].cells[5], "12");  // %0.0f of 12.5 rounds to even
  EXPECT_EQ(list.rows[2].netColour, std::nullopt);
}

TEST(SustainedBuyTextTest, ClipboardChoicesWindowAndToday) {
  EXPECT_EQ(SustainedCodesText({}), "");
  EXPECT_EQ(SustainedCodesText({"600001"}), ", 600001");
  EXPECT_EQ(SustainedCodesText({"600001", "000002"}), ", 600001, 000002");

  EXPECT_EQ(SustainedDaysOfChoice(0), 2);
  EXPECT_EQ(SustainedDaysOfChoice(5), 10);
  EXPECT_EQ(SustainedDaysOfChoice(6), 20);
  EXPECT_EQ(SustainedDaysOfChoice(7), 2);
  EXPECT_EQ(SustainedDaysOfChoice(-1), 2);
  EXPECT_STREQ(kSustainedChoiceTexts[6], "20 日");

  // A walk from Monday that found today (offset 1), or went back to Friday (offset 4).
  EXPECT_EQ(CountedWindowStart("2024-06-10", 1), "2024-06-10");
  EXPECT_EQ(CountedWindowStart("2024-06-10", 4), "2024-06-07");
  EXPECT_EQ(CountedWindowStart("2024-03-01", 2), "2024-02-29");
  EXPECT_EQ(CountedWindowStart("2024-06-10", 0), "");
  EXPECT_EQ(CountedWindowStart("bad", 3), "");

  EXPECT_EQ(SustainedTodayText(FakeClock(2024, 6, 7)), "2024-06-07");
  EXPECT_EQ(SustainedTodayText(FakeClock(2024, 6, 8)), "");
  EXPECT_EQ(SustainedTodayText(FakeClock(2024, 6, 9, 23, 59)), "");
}
