#include "analysis/stock_day_detail.h"

#include <gtest/gtest.h>

#include <string>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "analysis/branch_totals_merge.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "storage/ado_database.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

FiveSeats Seats(const std::string& prefix, double buy, double sell) {
  FiveSeats seats;
  for (int i = 0; i < 5; ++i) seats[i] = {prefix + std::to_string(i + 1), buy + i, sell + i};
  return seats;
}

class StockDayDetailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.OpenGlobals();
    for (int i = 0; i < 5; ++i) {
      g_Settings.BuyMoney_Color[i] = RGB(10 + i, 0, 0);
      g_Settings.SellMoney_Color[i] = RGB(0, 20 + i, 0);
    }
    for (int i = 0; i < 5; ++i) {
      detail_.BuyNames[i] = "买方营业部" + std::to_string(i + 1);
      detail_.SellNames[i] = "卖方营业部" + std::to_string(i + 1);
      detail_.Buy[i] = {1000.0 + 100 * i, 10.0 + i};
      detail_.Sell[i] = {20.0 + i, 900.0 + 100 * i};
    }
    detail_.StockName = "平安银行";
    detail_.StockCode = "000001";
    detail_.SB_Reason = "日涨幅偏离值达7%";
    detail_.JinShou = 10.256f;
    detail_.ZhangFu = 2.5f;
    detail_.Amount = 100000;
  }
  void TearDown() override {
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    g_TrackerBranchTotals.Clear();
  }
  StockDayView Build(const std::string& team1 = "") {
    BranchMarks marks;
    EXPECT_TRUE(marks.Load());
    return BuildStockDayView(detail_, team1, marks);
  }
  static std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  StockDayDetail detail_;
};

}  // namespace

// ---- loading ---------------------------------------------------------------------

TEST_F(StockDayDetailTest, LoadReadsTheRowAndFoldsItsTenSeats) {
  db_.AddListing("2017-02-06", "600000", "浦发银行", "换手率达20%", -1.5, 16.2, 50000, Seats("甲", 100, 1),
                 Seats("乙", 2, 200));
  db_.AddListing("2017-02-07", "600000", "浦发银行", "其他", 3, 17, 9, Seats("丙", 5, 5), Seats("丁", 5, 5));
  StockDayDetail detail;
  TrackerBranchTotals totals;
  ASSERT_TRUE(LoadStockDay(db_.Market(), "600000", "2017-02-06", detail, totals));
  EXPECT_EQ(detail.StockName, "浦发银行");
  EXPECT_EQ(detail.StockCode, "600000");
  EXPECT_EQ(detail.SB_Reason, "换手率达20%");
  EXPECT_FLOAT_EQ(detail.JinShou, 16.2f);
  EXPECT_FLOAT_EQ(detail.ZhangFu, -1.5f);
  EXPECT_DOUBLE_EQ(detail.Amount, 50000);
  EXPECT_EQ(detail.BuyNames[4], "甲5");
  EXPECT_DOUBLE_EQ(detail.Sell[4].SellAmount, 204);

  ASSERT_EQ(totals.size(), 10u);
  EXPECT_EQ(totals.Rows()[0].YYBName, "甲1");
  EXPECT_EQ(totals.Rows()[9].YYBName, "乙5");
  // Buying seats fold as side 1 (big buys), selling seats as side 2 (big sells).
  EXPECT_EQ(totals.Rows()[0].BuyTimes, 1);
  EXPECT_EQ(totals.Rows()[0].SellTimes, 0);
  EXPECT_EQ(totals.Rows()[9].BuyTimes, 0);
  EXPECT_EQ(totals.Rows()[9].SellTimes, 1);
  EXPECT_EQ(totals.StockNames(9), std::vector<std::string>{"浦发银行"});
}

TEST_F(StockDayDetailTest, NoRowClearsTheRecordAndFoldsNothing) {
  StockDayDetail detail = detail_;
  TrackerBranchTotals totals;
  ASSERT_TRUE(LoadStockDay(db_.Market(), "600000", "2017-02-06", detail, totals));
  EXPECT_EQ(detail.StockName, "");
  EXPECT_EQ(detail.BuyNames[0], "");
  EXPECT_DOUBLE_EQ(detail.Buy[0].BuyAmount, 0);
  EXPECT_TRUE(totals.empty());
}

TEST_F(StockDayDetailTest, AFailedQueryKeepsRecordAndTotalsAndSaysWhy) {
  db_.AddListing("2017-02-06", "600000", "浦发银行", "", 1, 10, 100, Seats("甲", 1, 1), Seats("乙", 1, 1));
  ASSERT_TRUE(db_.Market().Execute("DROP TABLE StockInfo"));
  StockDayDetail detail = detail_;
  TrackerBranchTotals totals;
  totals.AddSeat("原有营业部", "股票", "600001", 5, 5, SeatSide::Buy);
  std::string error;
  EXPECT_FALSE(LoadStockDay(db_.Market(), "600000", "2017-02-06", detail, totals, &error));
  EXPECT_EQ(detail.StockName, "平安银行");
  EXPECT_EQ(detail.BuyNames[0], "买方营业部1");
  ASSERT_EQ(totals.size(), 1u);
  EXPECT_NE(error.find("StockInfo"), std::string::npos) << error;
}

// ---- edits -------------------------------------------------------------------------

TEST_F(StockDayDetailTest, EditsHoldNameCodeCloseChangeAndReason) {
  const StockDayView view = Build();
  EXPECT_EQ(view.edits.stockName, "平安银行");
  EXPECT_EQ(view.edits.stockCode, "000001");
  EXPECT_EQ(view.edits.close, "10.26");
  EXPECT_EQ(view.edits.change, "2.50");
  EXPECT_EQ(view.edits.reason, "日涨幅偏离值达7%");
}

TEST_F(StockDayDetailTest, ChangeOfZeroIsRedAndAFallGreen) {
  detail_.ZhangFu = 0.0f;
  StockDayView view = Build();
  EXPECT_EQ(view.edits.change, "0.00");
  EXPECT_EQ(view.edits.changeColour, kRed);
  detail_.ZhangFu = -0.01f;
  view = Build();
  EXPECT_EQ(view.edits.change, "-0.01");
  EXPECT_EQ(view.edits.changeColour, kGreen);
}

// ---- seat rows ---------------------------------------------------------------------

TEST_F(StockDayDetailTest, SeatRowsHoldLabelsAmountsAndNet) {
  detail_.Buy[0] = {1234.567, 0.004};
  const StockDayView view = Build();
  const auto& r = view.rows;
  EXPECT_EQ(r[0][0].text, "买1");
  EXPECT_EQ(r[4][0].text, "买5");
  EXPECT_EQ(r[6][0].text, "卖1");
  EXPECT_EQ(r[10][0].text, "卖5");
  EXPECT_EQ(r[0][1].text, "买方营业部1");
  EXPECT_EQ(r[10][1].text, "卖方营业部5");
  EXPECT_EQ(r[0][2].text, "1234.57");
  EXPECT_EQ(r[0][3].text, "0.00");
  EXPECT_EQ(r[0][4].text, "1234.56");
  EXPECT_EQ(r[10][4].text, "-1276.00");
  EXPECT_EQ(r[5][1].text, "---------------------");
  EXPECT_EQ(r[5][0].text, "");
  EXPECT_EQ(r[5][2].text, "");
  EXPECT_EQ(r[11][1].text, "---------------------");
}

TEST_F(StockDayDetailTest, AmountBandsBreakAtExactly800_2000_5000_8000) {
  const double amounts[] = {799.99, 800, 2000, 5000, 8000};
  for (int i = 0; i < 5; ++i) {
    detail_.Buy[i] = {amounts[i], 0};
    detail_.Sell[i] = {0, amounts[i]};
  }
  const StockDayView view = Build();
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(view.rows[i][2].colour, RGB(10 + i, 0, 0)) << amounts[i];
    EXPECT_EQ(view.rows[6 + i][3].colour, RGB(0, 20 + i, 0)) << amounts[i];
  }
}

TEST_F(StockDayDetailTest, BranchCellsTakeTheMarkColourAndRemark) {
  db_.AddMark("买方营业部2", 1, RGB(1, 2, 3), 1, 0, "", "敢死队", "");
  db_.AddMark("卖方营业部1", 1, 0, 1, 0, "", "", "");
  const StockDayView view = Build();
  EXPECT_EQ(view.rows[1][1].colour, RGB(1, 2, 3));
  EXPECT_EQ(view.rows[1][7].text, "敢死队");
  EXPECT_EQ(view.rows[1][7].colour, RGB(1, 2, 3));
  EXPECT_EQ(view.rows[6][1].colour, kWhite);  // Color 0: white, not black
  EXPECT_EQ(view.rows[0][1].colour, kWhite);  // no mark
  EXPECT_EQ(view.rows[0][7].text, "");
  EXPECT_FALSE(view.rows[0][7].colour.has_value());
}

TEST_F(StockDayDetailTest, UnreadableMarksGiveNoColourAndOneMessage) {
  g_ADODatabase_Custom.Close();
  BranchMarks marks;
  EXPECT_FALSE(marks.Load());
  const StockDayView view = BuildStockDayView(detail_, "", marks);
  for (int r : {0, 4, 6, 10}) {
    EXPECT_FALSE(view.rows[r][1].colour.has_value()) << r;
    EXPECT_EQ(view.rows[r][7].text, "") << r;
  }
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kBranchMarksFailedText);
}

TEST_F(StockDayDetailTest, TheTeam1BranchIsHighlightedOnBothSides) {
  detail_.BuyNames[2] = "团队营业部";
  detail_.SellNames[4] = "团队营业部";
  const StockDayView view = Build("团队营业部");
  EXPECT_EQ(view.rows[2][0].colour, RGB(223, 0, 0));
  EXPECT_EQ(view.rows[10][0].colour, RGB(223, 0, 0));
  EXPECT_FALSE(view.rows[0][0].colour.has_value());
  EXPECT_FALSE(view.rows[6][0].colour.has_value());
  // An empty seat is never team 1, even with the edit empty.
  detail_.BuyNames[3] = "";
  EXPECT_FALSE(Build("").rows[3][0].colour.has_value());
}


TEST_F(StockDayDetailTest, RepeatRateOfExactly30PercentStaysWhite) {
  db_.AddBuy2Times("买方营业部1", 10, 3, "0.30");
  db_.AddBuy2Times("买方营业部2", 100, 31, "0.31");
  db_.AddBuy2Times("买方营业部3", 3, 1, "0.33");
  const StockDayView view = Build();
  EXPECT_EQ(view.rows[0][5].text, "30%");
  EXPECT_EQ(view.rows[0][5].colour, kWhite);
  EXPECT_EQ(view.rows[1][5].text, "31%");
  EXPECT_EQ(view.rows[1][5].colour, RGB(227, 23, 13));
  EXPECT_EQ(view.rows[2][5].text, "33%");
  EXPECT_EQ(view.rows[2][5].colour, RGB(227, 23, 13));
}

TEST_F(StockDayDetailTest, RepeatRateCellIsEmptyWithoutARowOrWithoutListings) {
  db_.AddBuy2Times("买方营业部1", 0, 0, "0.00");
  const StockDayView view = Build();
  EXPECT_EQ(view.rows[0][5].text, "");  // ShangBangCiShu_Buy 0: no rate
  EXPECT_FALSE(view.rows[0][5].colour.has_value());
  EXPECT_EQ(view.rows[1][5].text, "");  // no row at all
  EXPECT_FALSE(view.rows[1][5].colour.has_value());
}

TEST_F(StockDayDetailTest, SeatShareIsCutInSinglePrecision) {
  // 29 / 100 is 28.999… % in double precision but exactly 29 % in single precision.
  detail_.Amount = 100;
  detail_.Buy[0] = {20, 9};
  detail_.Buy[1] = {1, 2};
  const StockDayView view = Build();
  EXPECT_EQ(view.rows[0][6].text, "29%");
  EXPECT_EQ(view.rows[1][6].text, "3%");
}

TEST_F(StockDayDetailTest, ADayAmountOfZeroGivesDashesNotNumbers) {
  detail_.Amount = 0;
  const StockDayView view = Build();
  EXPECT_EQ(view.rows[0][6].text, "--");
  EXPECT_EQ(view.rows[10][6].text, "--");
  EXPECT_EQ(view.rows[12][5].text, "--");
  EXPECT_FALSE(view.rows[12][5].colour.has_value());
  EXPECT_EQ(view.rows[13][2].text, "--");
  EXPECT_EQ(view.rows[13][3].text, "--");
  EXPECT_EQ(view.rows[13][4].text, "--");
}

// ---- totals ------------------------------------------------------------------------

TEST_F(StockDayDetailTest, ABranchOnBothHalvesCountsOnceInTheTotalsAndShowsTwice) {
  detail_.BuyNames[1] = "两边营业部";
  detail_.Buy[1] = {1500.6, 300.2};
  detail_.SellNames[3] = "两边营业部";
  detail_.Sell[3] = {1500.6, 300.2};
  const StockDayView view = Build();
  EXPECT_EQ(view.rows[1][1].text, "两边营业部");
  EXPECT_EQ(view.rows[9][1].text, "两边营业部");
  double buy = 0;
  double sell = 0;
  for (int i = 0; i < 5; ++i) {
    buy += detail_.Buy[i].BuyAmount + detail_.Sell[i].BuyAmount;
    sell += detail_.Buy[i].SellAmount + detail_.Sell[i].SellAmount;
  }
  EXPECT_NEAR(view.TotalBuy, buy - 1500.6, 1e-9);
  EXPECT_NEAR(view.TotalSell, sell - 300.2, 1e-9);
}

TEST_F(StockDayDetailTest, RepeatsAreJudgedOnTheShownTwoDecimals) {
  detail_.Buy[0] = {100.004, 5};
  detail_.Sell[0] = {100.001, 5};  // both show "100.00" and "5.00"
  detail_.Buy[1] = {200.01, 5};
  detail_.Sell[1] = {200.02, 5};   // "200.01" against "200.02": no repeat
  const StockDayView view = Build();
  double buy = 0;
  for (int i = 0; i < 5; ++i) buy += detail_.Buy[i].BuyAmount + detail_.Sell[i].BuyAmount;
  EXPECT_NEAR(view.TotalBuy, buy - 100.0, 1e-9);
}

TEST_F(StockDayDetailTest, ThreeEqualRowsLoseTwoNotThree) {
  detail_.Buy[0] = detail_.Buy[1] = detail_.Sell[2] = {50, 60};
  const StockDayView view = Build();
  double buy = 0;
  for (int i = 0; i < 5; ++i) buy += detail_.Buy[i].BuyAmount + detail_.Sell[i].BuyAmount;
  EXPECT_NEAR(view.TotalBuy, buy - 100, 1e-9);
}

TEST_F(StockDayDetailTest, TotalsRowsTextsAndColours) {
  const StockDayView view = Build();
  const auto& totals = view.rows[12];
  const auto& shares = view.rows[13];
  // Buy: 1000..1400 + 20..24 = 6110; sell: 10..14 + 900..1300 = 5560.
  EXPECT_EQ(totals[1].text, "总买入  总卖出  总净买入  总买卖比(单位: 万元)");
  EXPECT_EQ(totals[2].text, "6110");
  EXPECT_EQ(totals[2].colour, kRed);
  EXPECT_EQ(totals[3].text, "5560");
  EXPECT_EQ(totals[3].colour, RGB(0, 180, 0));
  EXPECT_EQ(totals[4].text, "550");
  EXPECT_EQ(totals[4].colour, kRed);
  EXPECT_EQ(totals[5].text, "11%");
  EXPECT_FALSE(totals[5].colour.has_value());  // between 0 and 30
  EXPECT_EQ(shares[1].text, "总买入  总卖出  总净买入  (占当日总成交比例)");
  EXPECT_EQ(shares[2].text, "6%");
  EXPECT_EQ(shares[2].colour, kRed);
  EXPECT_EQ(shares[3].text, "5%");
  EXPECT_EQ(shares[3].colour, RGB(0, 180, 0));
  EXPECT_EQ(shares[4].text, "0%");
  EXPECT_EQ(shares[4].colour, kRed);
}

TEST_F(StockDayDetailTest, TotalsShareColoursAt30PercentAndAtZero) {
  for (auto& seat : detail_.Buy) seat = {0, 0};
  for (auto& seat : detail_.Sell) seat = {0, 0};
  detail_.Buy[0] = {20, 9};
  detail_.Sell[0] = {0, 1};
  detail_.Amount = 100;
  StockDayView view = Build();
  EXPECT_EQ(view.rows[12][5].text, "30%");
  EXPECT_EQ(view.rows[12][5].colour, kRed);
  EXPECT_EQ(view.rows[12][4].text, "10");
  // Row 13 keeps the single-precision cut: 29 / 100 gives 29 %; row 12 does not:
  // 29 / 100 * 100 is 28.999… and gives 28 %.
  detail_.Buy[0] = {29, 0};
  detail_.Sell[0] = {0, 0};
  view = Build();
  EXPECT_EQ(view.rows[13][2].text, "29%");
  EXPECT_EQ(view.rows[12][5].text, "28%");
  EXPECT_FALSE(view.rows[12][5].colour.has_value());
  detail_.Buy[0] = {0, 50};
  view = Build();
  EXPECT_EQ(view.rows[12][4].text, "-50");
  EXPECT_EQ(view.rows[12][4].colour, RGB(0, 233, 0));
  EXPECT_EQ(view.rows[13][4].text, "-50%");
  EXPECT_EQ(view.rows[13][4].colour, RGB(0, 233, 0));
  detail_.Buy[0] = {0, 0};
  view = Build();
  EXPECT_EQ(view.rows[12][5].text, "0%");
  EXPECT_EQ(view.rows[12][5].colour, RGB(0, 233, 0));
}

// ---- the team rule -----------------------------------------------------------------

TEST_F(StockDayDetailTest, ATeamWithXiAfterItsFirstCharacterGoesToTeam1) {
  EXPECT_EQ(Team1TextOfTeam("温州系"), "温州系");
  EXPECT_EQ(Team1TextOfTeam("A系"), "A系");
  EXPECT_EQ(Team1TextOfTeam("系统系"), "系统系");  // a later "系" counts
  EXPECT_EQ(Team1TextOfTeam("系统"), std::nullopt);
  EXPECT_EQ(Team1TextOfTeam("系"), std::nullopt);
  EXPECT_EQ(Team1TextOfTeam("东方"), std::nullopt);
  EXPECT_EQ(Team1TextOfTeam(""), std::nullopt);
}

// ---- a failed query in the log -----------------------------------------------------

TEST_F(StockDayDetailTest, AFailedQueryWithAVeryLongStatementKeepsItsReasonInTheLog) {
  std::string values;
  for (int i = 1; i <= 900; ++i) values += "?" + std::to_string(i) + ", ";
  const std::string report = "\nCADORecordset Error\n\tCode = 00000009\n\tDescription = interrupted\n";
  ShowQueryFailed("Query = SELECT 1 WHERE x IN (" + values + "?901)" + report);
  Boxes();
  const std::string log = folder_.ReadFile("DebugLog.txt");
  EXPECT_NE(log.find("Query = SELECT 1 WHERE x IN (?1, ?2, "), std::string::npos);
  EXPECT_NE(log.find("...\nCADORecordset Error"), std::string::npos);
  EXPECT_NE(log.find("Description = interrupted\n\r\n"), std::string::npos) << log.size();
}
