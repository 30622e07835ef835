#include "records/stock_detail.h"

#include <gtest/gtest.h>

#include <string>

#include "../support/db_builder.h"
#include "../support/fake_clock.h"
#include "../support/temp_program_folder.h"
#include "platform/gdi_types.h"
#include "storage/ado_recordset.h"
#include "storage/day_range.h"

namespace {

FiveSeats Seats(const std::string& prefix, double base) {
  FiveSeats seats;
  for (int i = 0; i < 5; ++i) seats[i] = {prefix + std::to_string(i + 1), base + i, base / 10 + i};
  return seats;
}

class StockDetailTest : public ::testing::Test {
 protected:
  void SetUp() override { db_.OpenGlobals(); }
  void TearDown() override {
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }
  void Listing(const std::string& day, const std::string& code) {
    db_.AddListing(day, code, "股票" + code, "日涨幅偏离值达7%的证券", 5, 10, 20000, Seats("买方", 100),
                   Seats("卖方", 50));
  }
  void Trade(const std::string& day, const std::string& code, long long volume, double amount,
             const std::string& buyer, const std::string& seller) {
    db_.AddTrade(day, code, "股票" + code, ++tradeRow_, 10, 9.5, volume, amount, buyer, seller);
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  FakeClock clock_{2024, 5, 15};  // a Wednesday
  const std::string cutoff_ = CutoffDay(clock_, 30);
  int tradeRow_ = 0;
};

}  // namespace

TEST_F(StockDetailTest, LoadsEveryFieldOfTheRow) {
  FiveSeats buy = Seats("国泰君安上海", 1000);
  FiveSeats sell = Seats("华泰证券深圳", 700);
  const std::string reason(400, 'R');  // longer than any old field: kept whole
  db_.AddListing("2024-05-14", "600000", "浦发银行", reason, -3.25, 7.5, 123456.5, buy, sell);
  db_.AddListing("2024-05-14", "000001", "平安银行", "别的", 1, 1, 1, Seats("x", 1), Seats("y", 1));

  StockDetailRecord record;
  ASSERT_TRUE(LoadStockRecord(g_ADODatabase, "2024-05-14", "600000", record));
  EXPECT_EQ(record.StockName, "浦发银行");
  EXPECT_EQ(record.StockCode, "600000");
  EXPECT_EQ(record.SB_Reason, reason);
  EXPECT_FLOAT_EQ(record.JinShou, 7.5f);
  EXPECT_FLOAT_EQ(record.ZhangFu, -3.25f);
  EXPECT_DOUBLE_EQ(record.Amount, 123456.5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(record.BuyNames[i], buy[i].name);
    EXPECT_EQ(record.SellNames[i], sell[i].name);
    EXPECT_DOUBLE_EQ(record.Buy[i].BuyAmount, buy[i].buy);
    EXPECT_DOUBLE_EQ(record.Buy[i].SellAmount, buy[i].sell);
    EXPECT_DOUBLE_EQ(record.Sell[i].BuyAmount, sell[i].buy);
    EXPECT_DOUBLE_EQ(record.Sell[i].SellAmount, sell[i].sell);
  }
}

TEST_F(StockDetailTest, NullAndNonNumericColumnsReadAsZeroOrEmpty) {
  ASSERT_TRUE(db_.Market().Execute(
      "INSERT INTO StockInfo (StockInfo_ID, SB_Date, StockCode, Amount, ZhangFu, Buy2_YYB_BuyAmount) "
      "VALUES (?, ?, ?, ?, ?, ?)",
      {"2024-05-14,300001", "2024-05-14", "300001", "abc", nullptr, "n/a"}));
  StockDetailRecord record;
  record.StockName = "旧的";
  record.Amount = 9;
  record.Buy[1].BuyAmount = 9;
  ASSERT_TRUE(LoadStockRecord(g_ADODatabase, "2024-05-14", "300001", record));
  EXPECT_EQ(record.StockName, "");
  EXPECT_EQ(record.BuyNames[0], "");
  EXPECT_EQ(record.Amount, 0);
  EXPECT_EQ(record.ZhangFu, 0);
  EXPECT_EQ(record.Buy[1].BuyAmount, 0);
}

TEST_F(StockDetailTest, NoRowClearsTheRecordAndAFailureKeepsIt) {
  Listing("2024-05-14", "600000");
  StockDetailRecord record;
  ASSERT_TRUE(LoadStockRecord(g_ADODatabase, "2024-05-14", "600000", record));
  const StockDetailRecord loaded = record;

  g_ADODatabase.Close();
  EXPECT_FALSE(LoadStockRecord(g_ADODatabase, "2024-05-14", "600000", record));
  EXPECT_EQ(record.StockName, loaded.StockName);
  EXPECT_EQ(record.SellNames[4], loaded.SellNames[4]);
  EXPECT_EQ(record.Sell[4].SellAmount, loaded.Sell[4].SellAmount);

  db_.OpenGlobals();
  ASSERT_TRUE(LoadStockRecord(g_ADODatabase, "2024-05-13", "600000", record));
  EXPECT_EQ(record.StockName, "");
  EXPECT_EQ(record.BuyNames[0], "");
  EXPECT_EQ(record.Buy[0].BuyAmount, 0);
  EXPECT_EQ(record.Amount, 0);
}

TEST_F(StockDetailTest, BoundValuesMatchLiterally) {
  Listing("2024-05-14", "600000");
  StockDetailRecord record;
  ASSERT_TRUE(LoadStockRecord(g_ADODatabase, "2024-05-14", "600000' OR '1'='1", record));
  EXPECT_EQ(record.StockCode, "");
  ASSERT_TRUE(LoadStockRecord(g_ADODatabase, "2024-05-14", "60000_", record));
  EXPECT_EQ(record.StockCode, "");
}

TEST(StockDetailColoursTest, ReasonColours) {
  EXPECT_EQ(ReasonColour("当日融资买入数量达到当日该证券总交易量50％以上的证券"), RGB(255, 0, 255));
  EXPECT_EQ(ReasonColour("连续三个交易日内收盘价格涨幅偏离值累计达20%的证券"), RGB(255, 0, 0));
  EXPECT_EQ(ReasonColour("三个交易日内收盘价格涨幅偏离值累计达20%"), RGB(0, 0, 255));
  EXPECT_EQ(ReasonColour("日涨幅偏离值达7%的证券"), RGB(0, 0, 255));
  EXPECT_EQ(ReasonColour(""), RGB(0, 0, 255));
}

TEST(StockDetailColoursTest, ChangeAndBlockTradeColours) {
  EXPECT_EQ(ChangeColour(0), RGB(255, 0, 0));
  EXPECT_EQ(ChangeColour(10.02f), RGB(255, 0, 0));
  EXPECT_EQ(ChangeColour(-0.01f), RGB(0, 255, 0));
  EXPECT_EQ(MainBuyerColour(10000), RGB(0, 0, 255));
  EXPECT_EQ(MainBuyerColour(10000.5), RGB(255, 0, 0));
  EXPECT_EQ(MainSellerColour(10000), RGB(0, 0, 255));
  EXPECT_EQ(MainSellerColour(10000.5), RGB(0, 180, 0));
}

TEST_F(StockDetailTest, RecentBlockTradesCountFromToday) {
  ASSERT_EQ(cutoff_, "2024-04-15");
  Trade("2024-04-15", "600000", 100, 50, "甲", "乙");  // 30 days before today
  Trade("2024-04-14", "000001", 100, 50, "甲", "乙");  // 31 days
  ASSERT_TRUE(db_.Market().Execute("INSERT INTO DZJY (DZJY_ID, StockCode, DZJY_Date, CJSL, CJJE) VALUES (?, ?, ?, ?, ?)",
                                   {"t", "300001", "2024-04-15 00:00:00", 1, 1.0}));
  bool ok = false;
  EXPECT_TRUE(HasRecentBlockTrades(g_ADODatabase, "600000", cutoff_, &ok));
  EXPECT_TRUE(ok);
  EXPECT_FALSE(HasRecentBlockTrades(g_ADODatabase, "000001", cutoff_));
  EXPECT_TRUE(HasRecentBlockTrades(g_ADODatabase, "300001", cutoff_));
  EXPECT_FALSE(HasRecentBlockTrades(g_ADODatabase, "999999", cutoff_, &ok));
  EXPECT_TRUE(ok);

  const BlockTradeSummary old = LoadBlockTradeSummary(g_ADODatabase, "000001", cutoff_);
  EXPECT_TRUE(old.TotalsRan);
  EXPECT_EQ(old.Count, 0);
  EXPECT_EQ(old.VolumeSum, 0);
  EXPECT_TRUE(old.LargestRan);
  EXPECT_FALSE(old.HasLargest);
  EXPECT_FALSE(old.BuyerSumRan);

  g_ADODatabase.Close();
  EXPECT_FALSE(HasRecentBlockTrades(g_ADODatabase, "600000", cutoff_, &ok));
  EXPECT_FALSE(ok);
}

TEST_F(StockDetailTest, SummaryTotalsAndTheLargestTradesParties) {
  Trade("2024-05-10", "600000", 1500000000, 500, "甲营业部", "乙营业部");
  Trade("2024-05-11", "600000", 1500000000, 9000, "丙营业部", "丁营业部");  // the largest
  Trade("2024-05-12", "600000", 10, 1000.5, "丙营业部", "乙营业部");
  Trade("2024-05-13", "600000", 10, 1500, "甲营业部", "丁营业部");
  Trade("2024-04-01", "600000", 10, 99999, "丙营业部", "丁营业部");  // outside the window
  Trade("2024-05-13", "000001", 10, 88888, "丙营业部", "丁营业部");  // another stock

  const BlockTradeSummary s = LoadBlockTradeSummary(g_ADODatabase, "600000", cutoff_);
  EXPECT_TRUE(s.TotalsRan && s.LargestRan && s.HasLargest && s.BuyerSumRan && s.SellerSumRan);
  EXPECT_EQ(s.Count, 4);
  EXPECT_EQ(s.VolumeSum, 3000000020LL);  // above 2^31
  EXPECT_DOUBLE_EQ(s.AmountSum, 12000.5);
  EXPECT_EQ(s.MainBuyer, "丙营业部");
  EXPECT_EQ(s.MainSeller, "丁营业部");
  EXPECT_DOUBLE_EQ(s.BuyerAmountSum, 10000.5);
  EXPECT_DOUBLE_EQ(s.SellerAmountSum, 10500);
}

TEST_F(StockDetailTest, ATieOnTheAmountGoesToTheNewerDayThenTheFirstRow) {
  Trade("2024-05-10", "600000", 1, 5000, "旧买方", "旧卖方");
  Trade("2024-05-13", "600000", 1, 5000, "新买方一", "新卖方一");
  Trade("2024-05-13", "600000", 1, 5000, "新买方二", "新卖方二");
  Trade("2024-05-09", "600000", 1, 5000, "更旧买方", "更旧卖方");
  const BlockTradeSummary s = LoadBlockTradeSummary(g_ADODatabase, "600000", cutoff_);
  EXPECT_EQ(s.MainBuyer, "新买方一");
  EXPECT_EQ(s.MainSeller, "新卖方一");
  EXPECT_DOUBLE_EQ(s.BuyerAmountSum, 5000);
  EXPECT_EQ(MainBuyerColour(s.BuyerAmountSum), RGB(0, 0, 255));
}

TEST_F(StockDetailTest, ASumOfExactly10000StaysBlue) {
  Trade("2024-05-10", "600000", 1, 6000, "甲", "乙");
  Trade("2024-05-11", "600000", 1, 4000, "甲", "乙");
  const BlockTradeSummary s = LoadBlockTradeSummary(g_ADODatabase, "600000", cutoff_);
  EXPECT_DOUBLE_EQ(s.BuyerAmountSum, 10000);
  EXPECT_DOUBLE_EQ(s.SellerAmountSum, 10000);
  EXPECT_EQ(MainBuyerColour(s.BuyerAmountSum), RGB(0, 0, 255));
  EXPECT_EQ(MainSellerColour(s.SellerAmountSum), RGB(0, 0, 255));
}

TEST_F(StockDetailTest, TheSummaryStopsAtTheStepThatFails) {
  // A table without SellName: the totals run, the largest-trade query cannot.
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE DZJY"));
  ASSERT_TRUE(db_.Market().Execute(
      "CREATE TABLE DZJY (StockCode TEXT, DZJY_Date TEXT, CJSL INTEGER, CJJE REAL, BuyName TEXT)"));
  ASSERT_TRUE(db_.Market().Execute("INSERT INTO DZJY VALUES (?, ?, ?, ?, ?)", {"600000", "2024-05-10", 5, 7.0, "甲"}));
  BlockTradeSummary s = LoadBlockTradeSummary(g_ADODatabase, "600000", cutoff_);
  EXPECT_TRUE(s.TotalsRan);
  EXPECT_EQ(s.Count, 1);
  EXPECT_FALSE(s.LargestRan);
  EXPECT_FALSE(s.BuyerSumRan);
  EXPECT_FALSE(s.SellerSumRan);
  EXPECT_EQ(s.MainBuyer, "");

  g_ADODatabase.Close();
  s = LoadBlockTradeSummary(g_ADODatabase, "600000", cutoff_);
  EXPECT_FALSE(s.TotalsRan);
  EXPECT_EQ(s.Count, 0);
}

TEST_F(StockDetailTest, ListingCountsIncludeDaysAfterTheLoadedOne) {
  const std::string loaded = "2024-04-01";
  const std::string start = DayMinus(loaded, 30);
  ASSERT_EQ(start, "2024-03-02");
  Listing("2024-03-01", "600000");  // 31 days before
  Listing("2024-03-02", "600000");
  Listing("2024-04-01", "600000");
  Listing("2024-05-14", "600000");  // after the loaded day
  Listing("2024-04-01", "000001");
  bool ok = false;
  EXPECT_EQ(CountRecentListings(g_ADODatabase, "600000", start, &ok), 3);
  EXPECT_TRUE(ok);
  EXPECT_EQ(CountRecentListings(g_ADODatabase, "000001", start), 1);
  EXPECT_EQ(CountRecentListings(g_ADODatabase, "999999", start, &ok), 0);
  EXPECT_TRUE(ok);
  g_ADODatabase.Close();
  EXPECT_EQ(CountRecentListings(g_ADODatabase, "600000", start, &ok), 0);
  EXPECT_FALSE(ok);
}

TEST_F(StockDetailTest, BatchFormsAgreeWithThePerCodeForms) {
  const std::string days[] = {"2024-03-01", "2024-03-20", "2024-04-10", "2024-04-15", "2024-05-06", "2024-05-14"};
  const std::string codes[] = {"600000", "000001", "300750", "688001", "002594", "601318", "000858"};
  for (int d = 0; d < 6; ++d) {
    for (int c = 0; c < 7; ++c) {
      if ((d * 3 + c * 5) % 4 != 0 || c == 0) Listing(days[d], codes[c]);
    }
  }
  Trade("2024-04-15", "600000", 1, 1, "a", "b");  // the cutoff day itself
  Trade("2024-04-14", "000001", 1, 1, "a", "b");  // a day too old
  Trade("2024-05-15", "300750", 1, 1, "a", "b");
  Trade("2024-05-15", "300750", 1, 1, "a", "b");
  Trade("2024-05-01", "999999", 1, 1, "a", "b");  // not listed

  for (const std::string& day : {std::string("2024-04-15"), std::string("2024-05-14"), std::string("2024-03-20")}) {
    const std::string start = DayMinus(day, 30);
    int statements = 0;
    g_ADODatabase.SetStatementTrace([&](const std::string&) { ++statements; });
    bool countsOk = false, tradesOk = false;
    const std::map<std::string, int> counts = CountRecentListingsForDay(g_ADODatabase, day, start, &countsOk);
    const std::set<std::string> traded = RecentBlockTradeCodesForDay(g_ADODatabase, day, cutoff_, &tradesOk);
    EXPECT_EQ(statements, 2);
    g_ADODatabase.SetStatementTrace(nullptr);
    ASSERT_TRUE(countsOk && tradesOk);

    CADORecordset rs(&g_ADODatabase);
    ASSERT_TRUE(rs.Open("SELECT StockCode FROM StockInfo WHERE SB_Date = ?", {day}));
    std::size_t listed = 0;
    for (; !rs.IsEof(); rs.MoveNext(), ++listed) {
      std::string code;
      rs.GetFieldValue("StockCode", code);
      ASSERT_EQ(counts.count(code), 1u) << day << " " << code;
      EXPECT_EQ(counts.at(code), CountRecentListings(g_ADODatabase, code, start)) << day << " " << code;
      EXPECT_EQ(traded.count(code) == 1, HasRecentBlockTrades(g_ADODatabase, code, cutoff_)) << day << " " << code;
    }
    EXPECT_EQ(counts.size(), listed);
    EXPECT_GT(listed, 1u);
  }
  EXPECT_EQ(RecentBlockTradeCodesForDay(g_ADODatabase, "2024-04-15", cutoff_).count("600000"), 1u);
  EXPECT_TRUE(CountRecentListingsForDay(g_ADODatabase, "2024-05-11", "2024-04-11").empty());  // nothing listed

  g_ADODatabase.Close();
  bool ok = true;
  EXPECT_TRUE(CountRecentListingsForDay(g_ADODatabase, "2024-05-14", "2024-04-14", &ok).empty());
  EXPECT_FALSE(ok);
  ok = true;
  EXPECT_TRUE(RecentBlockTradeCodesForDay(g_ADODatabase, "2024-05-14", cutoff_, &ok).empty());
  EXPECT_FALSE(ok);
}
