#include "records/branch_marks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "platform/message_box.h"
#include "settings/settings.h"

namespace {

class BranchMarksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.OpenGlobals();
    for (int i = 0; i < 5; ++i) {
      g_Settings.BuyMoney_Color[i] = RGB(10 + i, 0, 0);
      g_Settings.SellMoney_Color[i] = RGB(0, 20 + i, 0);
    }
  }
  void TearDown() override {
    g_ADODatabase_Custom.SetStatementTrace(nullptr);
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }
  void Mark(const std::string& name, COLORREF colour, const std::string& remark) {
    db_.AddMark(name, 0, colour, 1, 0, "", remark, "");
  }
  // An older file may hold several rows of one name: a table without the unique key.
  void UseMarkTableWithoutUniqueKey() {
    ASSERT_TRUE(db_.User().Execute("DROP TABLE YYBMark"));
    ASSERT_TRUE(db_.User().Execute("CREATE TABLE YYBMark (YYBName TEXT COLLATE NOCASE, Color INTEGER, YYBMark TEXT)"));
  }
  void AddRawMark(const std::string& name, COLORREF colour, const std::string& remark) {
    ASSERT_TRUE(db_.User().Execute("INSERT INTO YYBMark (YYBName, Color, YYBMark) VALUES (?, ?, ?)",
                                   {name, static_cast<long long>(colour), remark}));
  }
  static std::vector<RecordedMessageBox> Boxes() { return MessageBoxHook::Instance().TakeRecorded(); }

  TempProgramFolder folder_;
  DbBuilder db_{folder_.Path()};
};

}  // namespace

TEST(AmountBandTest, BandEdgesBelongToTheUpperBand) {
  EXPECT_EQ(AmountBand(-5), 0);
  EXPECT_EQ(AmountBand(799), 0);
  EXPECT_EQ(AmountBand(799.99), 0);
  EXPECT_EQ(AmountBand(800), 1);
  EXPECT_EQ(AmountBand(1999.5), 1);
  EXPECT_EQ(AmountBand(2000), 2);
  EXPECT_EQ(AmountBand(4999.9), 2);
  EXPECT_EQ(AmountBand(5000), 3);
  EXPECT_EQ(AmountBand(7999.9), 3);
  EXPECT_EQ(AmountBand(8000), 4);
  EXPECT_EQ(AmountBand(8000.5), 4);
}

TEST_F(BranchMarksTest, BuyAndSellAmountsUseTheirOwnBandColours) {
  EXPECT_EQ(AmountColourClass(799), RGB(10, 0, 0));
  EXPECT_EQ(AmountColourClass(800), RGB(11, 0, 0));
  EXPECT_EQ(AmountColourClass(8000.5), RGB(14, 0, 0));
  EXPECT_EQ(SellAmountColourClass(1999.5), RGB(0, 21, 0));
  EXPECT_EQ(SellAmountColourClass(2000), RGB(0, 22, 0));
  EXPECT_EQ(SellAmountColourClass(7999.9), RGB(0, 23, 0));
  EXPECT_EQ(SellAmountColourClass(8000), RGB(0, 24, 0));
}

TEST_F(BranchMarksTest, UnmarkedAndColourZeroAreWhite) {
  Mark("中信证券上海分公司", RGB(1, 2, 3), "跟风盘");
  Mark("国泰君安南京路", 0, "");
  BranchMarks marks;
  ASSERT_TRUE(marks.Load());
  EXPECT_FALSE(marks.Failed());
  EXPECT_EQ(marks.Colour("中信证券上海分公司"), RGB(1, 2, 3));
  EXPECT_EQ(marks.Mark("中信证券上海分公司"), "跟风盘");
  EXPECT_EQ(marks.Colour("国泰君安南京路"), RGB(255, 255, 255));
  EXPECT_EQ(marks.Colour("没有备注的营业部"), RGB(255, 255, 255));
  EXPECT_EQ(marks.Mark("没有备注的营业部"), "");
  EXPECT_EQ(GetBranchMarkColour("国泰君安南京路"), RGB(255, 255, 255));
  EXPECT_EQ(GetBranchMarkColour("没有备注的营业部"), RGB(255, 255, 255));
  EXPECT_EQ(GetBranchMarkColour("中信证券上海分公司"), RGB(1, 2, 3));
  EXPECT_EQ(GetBranchMark("中信证券上海分公司"), "跟风盘");
  EXPECT_EQ(GetBranchMark("没有备注的营业部"), "");
}

TEST_F(BranchMarksTest, QuotesPercentAndUnderscoreMatchLiterally) {
  Mark("华泰'证券%_上海", RGB(9, 9, 9), "引号");
  BranchMarks marks;
  ASSERT_TRUE(marks.Load());
  EXPECT_EQ(marks.Colour("华泰'证券%_上海"), RGB(9, 9, 9));
  EXPECT_EQ(GetBranchMarkColour("华泰'证券%_上海"), RGB(9, 9, 9));
  EXPECT_EQ(GetBranchMark("华泰'证券%_上海"), "引号");
  // What a pattern match would also have taken.
  for (const std::string other : {"华泰'证券%X上海", "华泰'证券AB上海", "%", "华泰'证券%_上海 "}) {
    EXPECT_EQ(marks.Colour(other), RGB(255, 255, 255)) << other;
    EXPECT_EQ(GetBranchMarkColour(other), RGB(255, 255, 255)) << other;
    EXPECT_EQ(GetBranchMark(other), "") << other;
  }
}

TEST_F(BranchMarksTest, AsciiCaseIsIgnoredLikeTheTableDoes) {
  Mark("ABC证券Road营业部", RGB(4, 5, 6), "大小写");
  BranchMarks marks;
  ASSERT_TRUE(marks.Load());
  EXPECT_EQ(marks.Colour("abc证券ROAD营业部"), RGB(4, 5, 6));
  EXPECT_EQ(GetBranchMarkColour("abc证券ROAD营业部"), RGB(4, 5, 6));
  EXPECT_EQ(marks.Mark("abc证券road营业部"), GetBranchMark("abc证券road营业部"));
}

TEST_F(BranchMarksTest, TheLaterRowOfANameWins) {
  UseMarkTableWithoutUniqueKey();
  AddRawMark("海通证券", RGB(1, 1, 1), "先");
  AddRawMark("海通证券", RGB(2, 2, 2), "后");
  AddRawMark("xyz营业部", RGB(3, 3, 3), "小写");
  AddRawMark("XYZ营业部", 0, "大写");
  BranchMarks marks;
  ASSERT_TRUE(marks.Load());
  EXPECT_EQ(marks.Colour("海通证券"), RGB(2, 2, 2));
  EXPECT_EQ(marks.Mark("海通证券"), "后");
  EXPECT_EQ(GetBranchMarkColour("海通证券"), RGB(2, 2, 2));
  EXPECT_EQ(GetBranchMark("海通证券"), "后");
  // The map agrees with the bound query when names differ only in ASCII case.
  EXPECT_EQ(marks.Colour("Xyz营业部"), RGB(255, 255, 255));
  EXPECT_EQ(GetBranchMarkColour("Xyz营业部"), RGB(255, 255, 255));
  EXPECT_EQ(marks.Mark("xyz营业部"), "大写");
  EXPECT_EQ(GetBranchMark("xyz营业部"), "大写");
}

TEST_F(BranchMarksTest, LoadIsOneStatementAndLookupsRunNone) {
  for (int i = 0; i < 20; ++i) Mark("营业部" + std::to_string(i), RGB(i + 1, 0, 0), "");
  int statements = 0;
  g_ADODatabase_Custom.SetStatementTrace([&](const std::string&) { ++statements; });
  BranchMarks marks;
  ASSERT_TRUE(marks.Load());
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(marks.Colour("营业部" + std::to_string(i)), RGB(i + 1, 0, 0));
    EXPECT_EQ(marks.Mark("营业部" + std::to_string(i)), "");
  }
  EXPECT_EQ(statements, 1);
}

TEST_F(BranchMarksTest, EditsShowAtTheNextLoad) {
  BranchMarks marks;
  ASSERT_TRUE(marks.Load());
  Mark("新标记营业部", RGB(7, 7, 7), "新");
  EXPECT_EQ(marks.Colour("新标记营业部"), RGB(255, 255, 255));
  ASSERT_TRUE(marks.Load());
  EXPECT_EQ(marks.Colour("新标记营业部"), RGB(7, 7, 7));
  EXPECT_EQ(marks.Mark("新标记营业部"), "新");
}

TEST_F(BranchMarksTest, UnreadableMarksGiveOneMessagePerLoadAndNoColour) {
  Mark("中信证券上海分公司", RGB(1, 2, 3), "跟风盘");
  BranchMarks marks;
  ASSERT_TRUE(marks.Load());
  ASSERT_TRUE(db_.User().Execute("DROP TABLE YYBMark"));

  EXPECT_FALSE(marks.Load());
  EXPECT_TRUE(marks.Failed());
  for (const std::string name : {"中信证券上海分公司", "别的营业部", ""}) {
    EXPECT_EQ(marks.Colour(name), std::nullopt) << name;
    EXPECT_EQ(marks.Mark(name), "") << name;
  }
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "无法得到营业部备注信息");
  EXPECT_EQ(boxes[0].caption, "系统提示");

  EXPECT_FALSE(marks.Load());  // the next action tells again, once
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(BranchMarksTest, SingleLookupsOnAClosedDatabaseAreWhiteWithTheMessage) {
  Mark("中信证券上海分公司", RGB(1, 2, 3), "跟风盘");
  g_ADODatabase_Custom.Close();
  EXPECT_EQ(GetBranchMarkColour("中信证券上海分公司"), RGB(255, 255, 255));
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(GetBranchMark("中信证券上海分公司"), "");
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(BranchMarksTest, RepeatBuyRateText) {
  db_.AddBuy2Times("申万宏源上海", 12, 5, "0.45");
  db_.AddBuy2Times("银河证券北京", 3, 0, "0.6667");
  int times = -1, above2 = -1;
  std::string percentage = "x";
  EXPECT_EQ(FormatBranchRepeatBuyRate("申万宏源上海", &times, &above2, &percentage), "(45%)12/5");
  EXPECT_EQ(times, 12);
  EXPECT_EQ(above2, 5);
  EXPECT_EQ(percentage, "45%");
  EXPECT_EQ(FormatBranchRepeatBuyRate("银河证券北京", nullptr, nullptr, nullptr), "(67%)3/0");

  EXPECT_EQ(FormatBranchRepeatBuyRate("没有记录", &times, &above2, &percentage), "");
  EXPECT_EQ(times, 0);
  EXPECT_EQ(above2, 0);
  EXPECT_EQ(percentage, "");

  g_ADODatabase.Close();
  EXPECT_EQ(FormatBranchRepeatBuyRate("申万宏源上海", &times, &above2, &percentage), "");
  EXPECT_EQ(times, 0);
}
