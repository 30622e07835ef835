#include "storage/recordset_criteria.h"

#include <gtest/gtest.h>

namespace {

CriteriaClause Find(const std::string& text) {
  std::string error;
  std::optional<CriteriaClause> c = ParseFindText(text, error);
  EXPECT_TRUE(c.has_value()) << text << ": " << error;
  return c.value_or(CriteriaClause{});
}

bool Malformed(const std::string& text) {
  std::string error;
  const bool bad = !ParseFilterText(text, error).has_value();
  if (bad) {
    EXPECT_FALSE(error.empty());
  }
  return bad;
}

}  // namespace

TEST(RecordsetCriteria, LikeWildcardsAndLiteralUnderscore) {
  EXPECT_TRUE(LikeMatches("600519", "600*"));
  EXPECT_TRUE(LikeMatches("600519", "%519"));
  EXPECT_TRUE(LikeMatches("600519", "6*5%9"));
  EXPECT_TRUE(LikeMatches("ABC", "a*"));
  EXPECT_FALSE(LikeMatches("600519", "600"));
  EXPECT_FALSE(LikeMatches("a_c", "abc"));
  EXPECT_TRUE(LikeMatches("a_c", "a_c"));
  EXPECT_FALSE(LikeMatches("abc", "a_c"));  // _ is itself
  EXPECT_TRUE(LikeMatches("", "*"));
  EXPECT_FALSE(LikeMatches("", "?"));
  EXPECT_TRUE(LikeMatches(std::string(5000, 'a') + "b", "*a*b"));
}

TEST(RecordsetCriteria, ValuesCompareByTheCellsKind) {
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeI4(9), Find("n < 12")));
  EXPECT_FALSE(ClauseMatches(CADOVariant::MakeText("9"), Find("n < '12'")));  // text against text
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeText("9"), Find("n < 12")));     // a number against numeric text
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeR8(1.5), Find("n = '1.5'")));
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeText("Abc"), Find("n = 'aBC'")));
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeText("O'Brien"), Find("n = 'O''Brien'")));
  const double day = *COleDateTime::ParseDateText("2017-02-06");
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeDate(day), Find("d = #2017-02-06#")));
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeDate(day), Find("d < '2017-02-07'")));
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeText("2017-02-06"), Find("d >= #2017-02-06#")));
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeNull(), Find("d = NULL")));
  EXPECT_FALSE(ClauseMatches(CADOVariant::MakeNull(), Find("d <> 'x'")));
  EXPECT_FALSE(ClauseMatches(CADOVariant::MakeNull(), Find("d LIKE '*'")));
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeI4(0), Find("d <> NULL")));
  EXPECT_TRUE(ClauseMatches(CADOVariant::MakeI4(3), Find("[odd name] >= -3e0")));
}

TEST(RecordsetCriteria, FilterPrecedenceAndParentheses) {
  std::string error;
  auto parsed = ParseFilterText("a = 1 OR b = 2 AND c = 3", error);
  ASSERT_TRUE(parsed && *parsed) << error;
  ASSERT_EQ((*parsed)->kind, CriteriaExpr::Kind::Or);
  ASSERT_EQ((*parsed)->children.size(), 2u);
  EXPECT_EQ((*parsed)->children[1].kind, CriteriaExpr::Kind::And);
  int index = 0;
  ForEachClause(**parsed, [&](CriteriaClause& c) { c.columnIndex = index++; });
  const std::vector<CADOVariant> row{CADOVariant::MakeI4(0), CADOVariant::MakeI4(2), CADOVariant::MakeI4(4)};
  EXPECT_FALSE(ExprMatches(**parsed, [&](int c) { return row[static_cast<std::size_t>(c)]; }));
  parsed = ParseFilterText("(a = 0 OR b = 0) and c = 4", error);
  ASSERT_TRUE(parsed && *parsed) << error;
  index = 0;
  ForEachClause(**parsed, [&](CriteriaClause& c) { c.columnIndex = index++; });
  EXPECT_TRUE(ExprMatches(**parsed, [&](int c) { return row[static_cast<std::size_t>(c)]; }));
  parsed = ParseFilterText("   ", error);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_FALSE(parsed->has_value());
}

TEST(RecordsetCriteria, MalformedTextsAreRefused) {
  EXPECT_TRUE(Malformed("a ="));
  EXPECT_TRUE(Malformed("a = 'open"));
  EXPECT_TRUE(Malformed("a = 1 AND"));
  EXPECT_TRUE(Malformed("(a = 1"));
  EXPECT_TRUE(Malformed("a == 1"));
  EXPECT_TRUE(Malformed("a < NULL"));
  EXPECT_TRUE(Malformed("a LIKE 5"));
  EXPECT_TRUE(Malformed("a = #not a date#"));
  EXPECT_TRUE(Malformed("a = 1; DROP TABLE x"));
  EXPECT_TRUE(Malformed(std::string(100, '(') + "a = 1" + std::string(100, ')')));
  std::string error;
  EXPECT_FALSE(ParseFindText("a = 1 AND b = 2", error).has_value());
  EXPECT_FALSE(ParseFindText("", error).has_value());
}

TEST(RecordsetCriteria, SortKeys) {
  std::string error;
  auto keys = ParseSortText("a, b DESC , [c d] asc", error);
  ASSERT_TRUE(keys) << error;
  ASSERT_EQ(keys->size(), 3u);
  EXPECT_FALSE((*keys)[0].descending);
  EXPECT_TRUE((*keys)[1].descending);
  EXPECT_EQ((*keys)[2].column, "c d");
  EXPECT_TRUE(ParseSortText("", error)->empty());
  EXPECT_FALSE(ParseSortText("a,", error));
  EXPECT_FALSE(ParseSortText("a b", error));
  EXPECT_EQ(CompareCellsForSort(CADOVariant::MakeNull(), CADOVariant::MakeI4(-5)), -1);
  EXPECT_EQ(CompareCellsForSort(CADOVariant::MakeI4(9), CADOVariant::MakeR8(12.0)), -1);
  EXPECT_EQ(CompareCellsForSort(CADOVariant::MakeText("a"), CADOVariant::MakeI4(100)), 1);
  EXPECT_EQ(CompareCellsForSort(CADOVariant::MakeText("b"), CADOVariant::MakeText("a")), 1);
  EXPECT_EQ(CompareCellsForSort(CADOVariant::MakeText("a"), CADOVariant::MakeText("a")), 0);
}
