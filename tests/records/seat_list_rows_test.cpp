#include "records/seat_list_rows.h"

#include <gtest/gtest.h>

#include <string>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "storage/gbk_format.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

class SeatListRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.OpenGlobals();
    for (int i = 0; i < 5; ++i) {
      g_Settings.BuyMoney_Color[i] = RGB(10 + i, 0, 0);
      g_Settings.SellMoney_Color[i] = RGB(0, 20 + i, 0);
    }
    for (int i = 0; i < 5; ++i) {
      record_.BuyNames[i] = "买方营业部" + std::to_string(i + 1);
      record_.SellNames[i] = "卖方营业部" + std::to_string(i + 1);
      record_.Buy[i] = {1000.0 + 100 * i, 10.0 + i};
      record_.Sell[i] = {20.0 + i, 900.0 + 100 * i};
    }
    record_.Amount = 100000;
  }
  void TearDown() override {
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }
  SeatListRows Build() {
    BranchMarks marks;
    EXPECT_TRUE(marks.Load());
    return BuildSeatListRows(record_, marks);
  }
  // Sum of every seat's figure, as the totals start before repeated rows are taken out.
  double SumBuy() const {
    double sum = 0;
    for (int i = 0; i < 5; ++i) sum += record_.Buy[i].BuyAmount + record_.Sell[i].BuyAmount;
    return sum;
  }
  double SumSell() const {
    double sum = 0;
    for (int i = 0; i < 5; ++i) sum += record_.Buy[i].SellAmount + record_.Sell[i].SellAmount;
    return sum;
  }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
  StockDetailRecord record_;
};

}  // namespace

TEST_F(SeatListRowsTest, SeatRowsHoldLabelsFiguresAndShares) {
  record_.Buy[0] = {1999.5, 0.4};
  record_.Sell[4] = {-3, 12.5};
  record_.Amount = 10000;
  const SeatListRows rows = Build();
  const auto& c = rows.cells;
  EXPECT_EQ(c[0][0].text, "买1");
  EXPECT_EQ(c[4][0].text, "买5");
  EXPECT_EQ(c[6][0].text, "卖1");
  EXPECT_EQ(c[10][0].text, "卖5");
  EXPECT_EQ(c[0][1].text, "买方营业部1");
  EXPECT_EQ(c[10][1].text, "卖方营业部5");
  EXPECT_EQ(c[0][2].text, "2000");  // 1999.5 rounds to even
  EXPECT_EQ(c[0][3].text, "0");
  EXPECT_EQ(c[0][4].text, "1999");
  EXPECT_EQ(c[0][5].text, "19%");  // 19.999 %: the whole part
  EXPECT_EQ(c[10][4].text, "-16");
  EXPECT_EQ(c[10][5].text, "0%");  // 9.5 / 10000
  EXPECT_EQ(c[1][5].text, "11%");  // 1111 / 10000
  EXPECT_EQ(c[0][6].text, "");
  for (int row : {5, 11}) {
    EXPECT_EQ(c[row][1].text, "---------------------");
    EXPECT_EQ(c[row][2].text, "");
  }
  EXPECT_EQ(c[12][1].text, "总买入  总卖出  总净买入  总买卖比(单位: 万元)");
  EXPECT_EQ(c[13][1].text, "总买入  总卖出  总净买入  (占当日总成交比例)");
  EXPECT_EQ(c[12][0].text, "");
}

TEST_F(SeatListRowsTest, AmountCellsByBandAndBranchCellsByMark) {
  db_.AddMark("买方营业部1", 0, RGB(1, 2, 3), 1, 0, "", "机构跟随", "");
  db_.AddMark("卖方营业部2", 0, 0, 1, 0, "", "", "");
  record_.Buy[0] = {8000, 799};
  record_.Sell[1] = {800, 5000};
  const SeatListRows rows = Build();
  const auto& c = rows.cells;
  EXPECT_EQ(c[0][1].colour, RGB(1, 2, 3));
  EXPECT_EQ(c[0][7].text, "机构跟随");
  EXPECT_EQ(c[0][7].colour, RGB(1, 2, 3));
  EXPECT_EQ(c[0][2].colour, RGB(14, 0, 0));
  EXPECT_EQ(c[0][3].colour, RGB(0, 20, 0));
  EXPECT_EQ(c[7][1].colour, kWhite);  // colour 0 shows white
  EXPECT_EQ(c[7][2].colour, RGB(11, 0, 0));
  EXPECT_EQ(c[7][3].colour, RGB(0, 23, 0));
  EXPECT_EQ(c[1][1].colour, kWhite);  // no mark
  EXPECT_EQ(c[1][7].text, "");
  EXPECT_EQ(c[1][7].colour, std::nullopt);
  EXPECT_EQ(c[7][7].colour, std::nullopt);
  EXPECT_EQ(c[0][4].colour, std::nullopt);
  EXPECT_EQ(c[0][5].colour, std::nullopt);
}

TEST_F(SeatListRowsTest, EmptySeatNamesStillGiveTheirRows) {
  record_.BuyNames[3] = "";
  record_.Buy[3] = {};
  const SeatListRows rows = Build();
  EXPECT_EQ(rows.cells[3][0].text, "买4");
  EXPECT_EQ(rows.cells[3][1].text, "");
  EXPECT_EQ(rows.cells[3][2].text, "0");
  EXPECT_EQ(rows.cells[3][5].text, "0%");
}

TEST_F(SeatListRowsTest, UnreadableMarksLeaveBranchCellsUncoloured) {
  db_.AddMark("买方营业部1", 0, RGB(1, 2, 3), 1, 0, "", "机构跟随", "");
  ASSERT_TRUE(db_.User().Execute("DROP TABLE YYBMark"));
  BranchMarks marks;
  EXPECT_FALSE(marks.Load());
  const SeatListRows rows = BuildSeatListRows(record_, marks);
  for (int row : {0, 1, 2, 3, 4, 6, 7, 8, 9, 10}) {
    EXPECT_EQ(rows.cells[row][1].colour, std::nullopt) << row;
    EXPECT_EQ(rows.cells[row][7].text, "") << row;
    EXPECT_EQ(rows.cells[row][7].colour, std::nullopt) << row;
    EXPECT_NE(rows.cells[row][2].colour, std::nullopt) << row;  // the bands do not depend on the marks
  }
  EXPECT_EQ(MessageBoxHook::Instance().TakeRecorded().size(), 1u);  // from Load, not per cell
}

TEST_F(SeatListRowsTest, WithoutRepeatsTheTotalsAreTheSeatSums) {
  const SeatListRows rows = Build();
  EXPECT_DOUBLE_EQ(rows.TotalBuy, SumBuy());
  EXPECT_DOUBLE_EQ(rows.TotalSell, SumSell());
}

TEST_F(SeatListRowsTest, ARepeatedPairIsCountedOnce) {
  record_.SellNames[2] = record_.BuyNames[1];
  record_.Sell[2] = record_.Buy[1];  // 1100 / 11 on both sides
  const SeatListRows rows = Build();
  EXPECT_DOUBLE_EQ(rows.TotalBuy, SumBuy() - 1100);
  EXPECT_DOUBLE_EQ(rows.TotalSell, SumSell() - 11);
  EXPECT_EQ(rows.cells[12][2].text, FormatGbk("%0.0f", SumBuy() - 1100));
}

TEST_F(SeatListRowsTest, ThreeEqualRowsTakeOutTwoRowsNotThree) {
  record_.Buy[1] = {500, 100};
  record_.Buy[3] = {500, 100};
  record_.Sell[0] = {500, 100};
  const SeatListRows rows = Build();
  EXPECT_DOUBLE_EQ(rows.TotalBuy, SumBuy() - 1000);
  EXPECT_DOUBLE_EQ(rows.TotalSell, SumSell() - 200);
}

TEST_F(SeatListRowsTest, RowsThatRoundAlikeAreRepeats) {
  record_.Buy[2] = {1234.4, 10};
  record_.Sell[3] = {1233.6, 10};
  const SeatListRows rows = Build();
  // Both show "1234", and the shown figure is what is taken out.
  EXPECT_DOUBLE_EQ(rows.TotalBuy, SumBuy() - 1234);
  EXPECT_DOUBLE_EQ(rows.TotalSell, SumSell() - 10);
}

TEST_F(SeatListRowsTest, RowsDifferingInOneFigureAreNoRepeats) {
  record_.Buy[2] = {1234, 10};
  record_.Sell[3] = {1234, 11};
  const SeatListRows rows = Build();
  EXPECT_DOUBLE_EQ(rows.TotalBuy, SumBuy());
  EXPECT_DOUBLE_EQ(rows.TotalSell, SumSell());
}

TEST_F(SeatListRowsTest, TotalsRowsTextsAndColours) {
  for (int i = 0; i < 5; ++i) {
    record_.Buy[i] = {};
    record_.Sell[i] = {};
  }
  record_.Buy[0] = {2000, 0};
  record_.Sell[0] = {0, 1000};
  record_.Amount = 10000;  // (2000 + 1000) / 10000 = 30 %
  SeatListRows rows = Build();
  const auto& t = rows.cells[12];
  const auto& s = rows.cells[13];
  EXPECT_EQ(t[2].text, "2000");
  EXPECT_EQ(t[3].text, "1000");
  EXPECT_EQ(t[4].text, "1000");
  EXPECT_EQ(t[5].text, "30%");
  EXPECT_EQ(t[5].colour, kRed);
  EXPECT_EQ(s[2].text, "20%");
  EXPECT_EQ(s[3].text, "10%");
  EXPECT_EQ(s[4].text, "10%");
  for (const auto* row : {&t, &s}) {
    EXPECT_EQ((*row)[2].colour, kRed);
    EXPECT_EQ((*row)[3].colour, RGB(0, 180, 0));
    EXPECT_EQ((*row)[4].colour, kRed);
  }

  record_.Sell[0] = {0, 999.9};  // 29.999 %: no colour; net still positive
  rows = Build();
  EXPECT_EQ(rows.cells[12][5].text, "29%");
  EXPECT_EQ(rows.cells[12][5].colour, std::nullopt);

  record_.Buy[0] = {};
  record_.Sell[0] = {};
  rows = Build();  // 0 %
  EXPECT_EQ(rows.cells[12][5].text, "0%");
  EXPECT_EQ(rows.cells[12][5].colour, RGB(0, 233, 0));

  record_.Sell[0] = {0, 5000};  // net below 0
  rows = Build();
  EXPECT_EQ(rows.cells[12][4].text, "-5000");
  EXPECT_EQ(rows.cells[12][4].colour, RGB(0, 233, 0));
  EXPECT_EQ(rows.cells[13][4].text, "-50%");
  EXPECT_EQ(rows.cells[13][4].colour, RGB(0, 233, 0));
  EXPECT_EQ(rows.cells[12][5].colour, kRed);
}

TEST_F(SeatListRowsTest, ZeroDayAmountLeavesTheSharesEmpty) {
  for (double amount : {0.0, -1.0}) {
    record_.Amount = amount;
    const SeatListRows rows = Build();
    for (int row : {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 12}) {
      EXPECT_EQ(rows.cells[row][5].text, "") << row;
      EXPECT_EQ(rows.cells[row][5].colour, std::nullopt) << row;
    }
    for (int column : {2, 3, 4}) {
      EXPECT_EQ(rows.cells[13][column].text, "") << column;
      EXPECT_EQ(rows.cells[13][column].colour, std::nullopt) << column;
    }
    EXPECT_EQ(rows.cells[12][2].text, FormatGbk("%0.0f", SumBuy()));  // the amounts stay
    EXPECT_EQ(rows.cells[0][2].text, "1000");
  }
}

TEST_F(SeatListRowsTest, ATinyDayAmountKeepsTheShareInRange) {
  record_.Amount = 1e-300;
  const SeatListRows rows = Build();
  EXPECT_EQ(rows.cells[0][5].text, "2147483647%");
}
