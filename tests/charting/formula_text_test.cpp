#include "charting/formula_text.h"

#include <gtest/gtest.h>

#include "../support/db_builder.h"
#include "platform/gdi_types.h"
#include "series_test_support.h"
#include "storage/charset.h"

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(FormulaTextTest, FixedLinesAloneAreExactly308Bytes) {
  CFormulaText formula;
  const std::string bytes = formula.Bytes();
  ASSERT_EQ(bytes.size(), 308u);
  EXPECT_EQ(bytes.substr(0, 10), ToGbk("是否上榜 :"));
  const std::string tail = ", COLORGREEN; \r\n";
  EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
  EXPECT_EQ(Count(bytes, "\r\n"), 5u);
}

TEST(FormulaTextTest, BranchBlockBytesAndColours) {
  CFormulaText formula;
  formula.WriteBranchFormula(301, "ABC", RGB(255, 0, 0));
  const std::string bytes = formula.Bytes();
  ASSERT_EQ(bytes.size(), 308u + 1473u);
  const std::string block = bytes.substr(308);
  EXPECT_EQ(block.substr(0, 20), "Name_301 := 'ABC: ';");
  EXPECT_EQ(block.substr(block.size() - 4), "\r\n\r\n");
  EXPECT_NE(block.find("OutText_301),  COLOR0000FF;\r\n\r\n"), std::string::npos);
  EXPECT_NE(block.find("BUY_301    := SIGNALS_USER(301, 0);   \r\n"), std::string::npos);
  EXPECT_EQ(Count(block, "\r\n"), 22u);  // 21 lines and the empty one
  EXPECT_EQ(Count(block, "%"), 0u);
  EXPECT_EQ(FormulaColourText(RGB(0, 0, 255)), "COLORFF0000");
  EXPECT_EQ(FormulaColourText(RGB(1, 2, 3)), "COLOR030201");
}

TEST(FormulaTextTest, TeamBlocksComeHighestFirstAndOnlyWhenTheLastRowIsShown) {
  TempProgramFolder folder;
  DbBuilder db(folder.Path());
  db.AddMark("甲", 0, RGB(0, 255, 0), 1, 205, "", "", "五号");
  db.AddMark("乙", 0, RGB(0, 255, 0), 0, 205, "", "", "五号");  // the last row hides 205
  db.AddMark("丙", 0, RGB(0, 0, 255), 1, 201, "", "", "一号");
  db.AddMark("丁", 0, RGB(9, 9, 9), 1, 199, "", "", "太小");
  db.AddMark("戊", 0, RGB(1, 2, 3), 1, 210, "", "", "十号");
  CFormulaText formula;
  bool failed = true;
  EXPECT_TRUE(formula.WriteTeamFormulas(db.User(), &failed));
  EXPECT_FALSE(failed);
  const std::string text = formula.Text();
  EXPECT_EQ(formula.Blocks(), 2);
  const std::size_t ten = text.find("Name_510 := '十号: ';");
  const std::size_t one = text.find("Name_501 := '一号: ';");
  ASSERT_NE(ten, std::string::npos);
  ASSERT_NE(one, std::string::npos);
  EXPECT_LT(ten, one);
  EXPECT_EQ(text.find("Name_505"), std::string::npos);
  EXPECT_EQ(text.find("Name_499"), std::string::npos);
  EXPECT_NE(text.find("COLOR030201"), std::string::npos);

  // A shown last row is enough.
  db.AddMark("己", 0, RGB(0, 255, 0), 1, 205, "", "", "五号");
  CFormulaText again;
  again.WriteTeamFormulas(db.User());
  EXPECT_NE(again.Text().find("Name_505 := '五号: ';"), std::string::npos);
}

TEST(FormulaTextTest, SaveWritesGbkAndFailsOnAMissingFolder) {
  TempProgramFolder folder;
  CFormulaText formula;
  formula.WriteTeamFormula(500, "团队", RGB(255, 0, 0));
  ASSERT_TRUE(formula.Save(folder.File(kFormulaFileName)));
  EXPECT_EQ(folder.ReadFile(kFormulaFileName), ToGbk(formula.Text()));
  EXPECT_FALSE(formula.Save(folder.File("missing/x.txt")));
}

}  // namespace
