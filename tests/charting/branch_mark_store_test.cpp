// The branch marks of "Custom.mdb": list order, find, the editor's checks, add, update
// and delete, with the failures of the database.
#include "charting/branch_mark_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "storage/row_cursor.h"
#include "storage/schema.h"

namespace {

std::vector<std::string> Names(const std::vector<BranchMark>& marks) {
  std::vector<std::string> names;
  for (const BranchMark& m : marks) names.push_back(m.YYBName);
  return names;
}

BranchMarkInput Input(const std::string& name, const std::string& abbreviation = "", const std::string& number1 = "",
                      const std::string& teamName = "", const std::string& teamNumber = "",
                      const std::string& remark = "", COLORREF color = 0, int isLike = 0) {
  BranchMarkInput in;
  in.name = name;
  in.abbreviation = abbreviation;
  in.number1Text = number1;
  in.teamName = teamName;
  in.teamNumberText = teamNumber;
  in.remark = remark;
  in.color = color;
  in.isLike = isLike;
  return in;
}

class BranchMarkStoreTest : public testing::Test {
 protected:
  BranchMarkStoreTest() : folder_(Options()), db_(folder_.Path()), store_(db_.User()) {}
  static TempProgramFolder::Options Options() {
    TempProgramFolder::Options o;
    o.setGlobals = false;
    return o;
  }

  long RowCount() {
    RowCursor rows(db_.User(), "SELECT count(*) FROM YYBMark");
    return rows.Next() ? static_cast<long>(rows.Int(0)) : -1;
  }
  BranchMark Stored(const std::string& name) {
    auto found = store_.FindByName(name);
    EXPECT_TRUE(found.has_value());
    EXPECT_TRUE(found && found->has_value()) << name;
    return found && *found ? **found : BranchMark{};
  }

  TempProgramFolder folder_;
  DbBuilder db_;
  BranchMarkStore store_;
};

}  // namespace

// ---------------------------------------------------------------------------------
// The list

TEST_F(BranchMarkStoreTest, NumberedMarksComeFirstByNumberThenTheOthersByColour) {
  db_.AddMark("编号3营业部", 3, 50, 1, 0, "N3", "", "");
  db_.AddMark("无编号红", 0, 255, 0, 0, "R", "", "");
  db_.AddMark("编号1营业部", 1, 60, 0, 0, "N1", "", "");
  db_.AddMark("无编号100", 0, 100, 0, 0, "C", "", "");
  db_.AddMark("负编号150", -2, 150, 0, 0, "M", "", "");  // below 1: no number either
  db_.AddMark("无编号100之二", 0, 100, 0, 0, "D", "", "");  // same colour: in insertion order
  const auto marks = store_.LoadMarks();
  ASSERT_TRUE(marks.has_value());
  EXPECT_EQ(Names(*marks), (std::vector<std::string>{"编号1营业部", "编号3营业部", "无编号100", "无编号100之二",
                                                     "负编号150", "无编号红"}));
  EXPECT_EQ((*marks)[0].Number1, 1);
  EXPECT_EQ((*marks)[4].Number1, -2);
  EXPECT_EQ((*marks)[5].Color, 255u);
}

TEST_F(BranchMarkStoreTest, EveryFieldIsReadBack) {
  db_.AddMark("中信证券上海溧阳路", 7, 0x00FF8040, 2, 321, "溧阳路", "一线游资 'A'", "溧阳路帮");
  const auto marks = store_.LoadMarks();
  ASSERT_TRUE(marks.has_value());
  ASSERT_EQ(marks->size(), 1u);
  const BranchMark& m = marks->front();
  EXPECT_EQ(m.YYBName, "中信证券上海溧阳路");
  EXPECT_EQ(m.Abbreviation, "溧阳路");
  EXPECT_EQ(m.TeamName, "溧阳路帮");
  EXPECT_EQ(m.YYBMark, "一线游资 'A'");
  EXPECT_EQ(m.Number1, 7);
  EXPECT_EQ(m.Color, 0x00FF8040u);
  EXPECT_EQ(m.IsLike, 2);
  EXPECT_EQ(m.TeamNumber, 321);
}

TEST_F(BranchMarkStoreTest, TheSchemaRefusesANullNumberSoNegativeOnesStandInForIt) {
  // The program's table says NOT NULL DEFAULT 0: a NULL cannot be stored in it.
  EXPECT_FALSE(db_.User().Execute("INSERT INTO YYBMark (YYBName, Number1) VALUES (?, NULL)", {"空编号"}));
  ASSERT_TRUE(db_.User().Execute("INSERT INTO YYBMark (YYBName) VALUES (?)", {"默认编号"}));
  const auto marks = store_.LoadMarks();
  ASSERT_TRUE(marks.has_value());
  EXPECT_EQ(Names(*marks), std::vector<std::string>{"默认编号"});
  EXPECT_EQ(marks->front().Number1, 0);
}

TEST(BranchMarkStoreOlderTable, ANullNumberInATableWithoutTheRuleIsListedWithTheUnnumbered) {
  // A table made elsewhere (as an older file's) may hold NULL numbers, colours and texts.
  const std::string dir = MakeTempFolder("velkor-marks");
  const std::string path = dir + "/Custom.mdb";
  ASSERT_TRUE(CreateDatabaseFile(path));
  CADODataBase db;
  ASSERT_TRUE(db.Open("Data Source=" + path));
  ASSERT_TRUE(db.Execute("CREATE TABLE YYBMark (YYBName TEXT, Number1 INTEGER, Color INTEGER, IsLike INTEGER, "
                         "TeamNumber INTEGER, Abbreviation TEXT, YYBMark TEXT, TeamName TEXT)"));
  ASSERT_TRUE(db.Execute("INSERT INTO YYBMark (YYBName, Number1, Color) VALUES ('空编号', NULL, 300)"));
  ASSERT_TRUE(db.Execute("INSERT INTO YYBMark (YYBName, Number1, Color) VALUES ('零编号', 0, 200)"));
  ASSERT_TRUE(db.Execute("INSERT INTO YYBMark (YYBName, Number1, Color) VALUES ('有编号', 5, NULL)"));
  ASSERT_TRUE(db.Execute("INSERT INTO YYBMark (YYBName) VALUES ('全空')"));
  BranchMarkStore store(db);
  const auto marks = store.LoadMarks();
  ASSERT_TRUE(marks.has_value());
  EXPECT_EQ(Names(*marks), (std::vector<std::string>{"有编号", "全空", "零编号", "空编号"}));
  EXPECT_EQ((*marks)[3].Number1, 0);
  EXPECT_EQ((*marks)[1].Color, 0u);
  EXPECT_EQ((*marks)[1].Abbreviation, "");
  db.Close();
  std::filesystem::remove_all(dir);
}

TEST_F(BranchMarkStoreTest, AFailedQueryIsNotAnEmptyList) {
  EXPECT_TRUE(store_.LoadMarks().has_value());
  EXPECT_TRUE(store_.LoadMarks()->empty());
  ASSERT_TRUE(db_.User().Execute("DROP TABLE YYBMark"));
  EXPECT_FALSE(store_.LoadMarks().has_value());
  EXPECT_FALSE(store_.FindByName("x").has_value());
  db_.User().Close();
  EXPECT_FALSE(store_.LoadMarks().has_value());
}

// ---------------------------------------------------------------------------------
// Find

TEST_F(BranchMarkStoreTest, FindsNamesWithQuotesAndLikeWildcardsExactly) {
  db_.AddMark("A'B营业部", 1, 10, 0, 0, "AB", "", "队");
  db_.AddMark("100%营业部", 2, 10, 0, 0, "P", "", "");
  db_.AddMark("a_b营业部", 3, 10, 0, 0, "U", "", "");
  EXPECT_EQ(Stored("A'B营业部").TeamName, "队");
  EXPECT_EQ(Stored("100%营业部").Number1, 2);
  EXPECT_EQ(Stored("a_b营业部").Number1, 3);
  for (const char* none : {"%", "_", "axb营业部", "100营业部", "A''B营业部", "A'B", ""}) {
    const auto found = store_.FindByName(none);
    ASSERT_TRUE(found.has_value()) << none;
    EXPECT_FALSE(found->has_value()) << none;
  }
}

// ---------------------------------------------------------------------------------
// The checks

TEST_F(BranchMarkStoreTest, AddRefusesEveryBrokenRuleWithItsMessage) {
  db_.AddMark("华泰证券深圳益田路", 5, 255, 1, 300, "益田路", "", "深圳帮");
  db_.AddMark("Guotai Junan Shanghai", 6, 255, 1, 0, "GtJa", "", "");
  const struct {
    BranchMarkInput input;
    const char* message;
  } cases[] = {
      {Input(""), "营业部名称不能为空!"},
      {Input(" \t\xE3\x80\x80"), "营业部名称不能为空!"},
      {Input("华泰证券深圳益田路"), "列表中已有该营业部!"},
      {Input("  guotai junan shanghai "), "列表中已有该营业部!"},  // another case, blanks around
      {Input("新营业部", "", "5"), "营业部编号已被使用!"},
      {Input("新营业部", "gtja"), "营业部缩写已被使用!"},           // abbreviation in another case
      {Input("新营业部", " 益田路 "), "营业部缩写已被使用!"},
      {Input("新营业部", "", "200"), "营业部编号只能是1到199!"},
      {Input("新营业部", "", "1000000000000"), "营业部编号只能是1到199!"},
      {Input("新营业部", "", "", "", "150"), "团队编号只能是200到459!"},
      {Input("新营业部", "", "", "", "199"), "团队编号只能是200到459!"},
      {Input("新营业部", "", "", "", "460"), "团队编号只能是200到459!"},
      {Input("新营业部", "", "1.5"), "营业部编号必须是整数!"},
      {Input("新营业部", "", "abc"), "营业部编号必须是整数!"},
      {Input("新营业部", "", "1 2"), "营业部编号必须是整数!"},
      {Input("新营业部", "", "-"), "营业部编号必须是整数!"},
      {Input("新营业部", "", "\xEF\xBC\x91"), "营业部编号必须是整数!"},  // a full-width 1
      {Input("新营业部", "", "", "", "2x"), "团队编号必须是整数!"},
      {Input("新营业部", std::string(48, 'a')), "名称不能超过47字节，且不能含 / \\ ' 等字符!"},
      {Input("新营业部", "一二三四五六七八九十一二三四五六七八九十一二三四"),  // 24 characters, 48 bytes
       "名称不能超过47字节，且不能含 / \\ ' 等字符!"},
      {Input("新营业部", "A/B"), "名称不能超过47字节，且不能含 / \\ ' 等字符!"},
      {Input("新营业部", "A\\B"), "名称不能超过47字节，且不能含 / \\ ' 等字符!"},
      {Input("新营业部", "A'B"), "名称不能超过47字节，且不能含 / \\ ' 等字符!"},
      {Input("新营业部", "A\tB"), "名称不能超过47字节，且不能含 / \\ ' 等字符!"},
      {Input("新营业部", "\xF0\x9F\x98\x80"), "名称不能超过47字节，且不能含 / \\ ' 等字符!"},  // not in GBK
      {Input("新营业部", "", "", "深圳/帮"), "名称不能超过47字节，且不能含 / \\ ' 等字符!"},
      {Input("新营业部", "", "", std::string(48, 'x')), "名称不能超过47字节，且不能含 / \\ ' 等字符!"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(store_.Validate(c.input, false), c.message) << c.input.name << "|" << c.input.abbreviation;
    const MarkOutcome outcome = store_.Add(c.input);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, c.message) << c.input.name << "|" << c.input.abbreviation;
  }
  EXPECT_EQ(RowCount(), 2);
}

TEST_F(BranchMarkStoreTest, TheLimitsThemselvesAreAllowed) {
  db_.AddMark("已有", 5, 255, 1, 0, "已有", "", "");
  const BranchMarkInput fine[] = {
      Input("甲", "", "1"),
      Input("乙", "", "199"),
      Input("丙", "", "0"),
      Input("丁", "", "-7"),  // 0 or less: no number, however many have none
      Input("戊", "", "  ", "", "-1"),
      Input("己", "", "+8", "", "200"),
      Input("庚", "", "", "", "459"),
      Input("辛", "一二三四五六七八九十一二三四五六七八九十一二三a"),  // 47 bytes
      Input("壬", std::string(47, 'z'), "", "一二三四五六七八九十一二三四五六七八九十一二三b"),
      Input("癸", "€5"),  // the euro sign is in the code page
  };
  for (const BranchMarkInput& in : fine) {
    EXPECT_EQ(store_.Validate(in, false), "") << in.name;
    const MarkOutcome outcome = store_.Add(in);
    EXPECT_TRUE(outcome.ok) << in.name << ": " << outcome.message;
  }
  EXPECT_EQ(RowCount(), 11);
  EXPECT_EQ(Stored("丁").Number1, 0);
  EXPECT_EQ(Stored("戊").TeamNumber, 0);
  EXPECT_EQ(Stored("己").Number1, 8);
  // Two teams may share a number: a team is several branches.
  EXPECT_TRUE(store_.Add(Input("子", "", "", "队", "459")).ok);
}

TEST(MarkTextRulesTest, NumbersAndSeriesNames) {
  EXPECT_EQ(ParseMarkNumber(""), 0);
  EXPECT_EQ(ParseMarkNumber(" 12 "), 12);
  EXPECT_EQ(ParseMarkNumber("-3"), -3);
  EXPECT_EQ(ParseMarkNumber("+0"), 0);
  EXPECT_EQ(ParseMarkNumber("99999999999999999999"), INT_MAX);
  EXPECT_EQ(ParseMarkNumber("-99999999999999999999"), INT_MIN);
  EXPECT_FALSE(ParseMarkNumber("0x10").has_value());
  EXPECT_FALSE(ParseMarkNumber("1e3").has_value());
  EXPECT_FALSE(ParseMarkNumber("+-1").has_value());
  EXPECT_TRUE(IsValidSeriesName(""));
  EXPECT_TRUE(IsValidSeriesName("游资?"));  // a '?' typed is kept, not one made by the code page
  EXPECT_FALSE(IsValidSeriesName("\x7F"));
  EXPECT_FALSE(IsValidSeriesName("\xC2\x85"));  // U+0085, a control character outside GBK
  EXPECT_FALSE(IsValidSeriesName("\xFF\xFE"));  // no UTF-8
  EXPECT_EQ(TrimMarkText("\xE3\x80\x80 名 \xE3\x80\x80"), "名");
}

// ---------------------------------------------------------------------------------
// Add, update

TEST_F(BranchMarkStoreTest, AValidAddStoresEveryFieldTrimmed) {
  const MarkOutcome outcome =
      store_.Add(Input("  东方财富拉萨团结路第二 ", " 拉萨二 ", "12", " 拉萨天团 ", "201", " 散户 '大本营' ", 0x123456, 1));
  ASSERT_TRUE(outcome.ok) << outcome.message;
  const BranchMark m = Stored("东方财富拉萨团结路第二");
  EXPECT_EQ(m.YYBName, "东方财富拉萨团结路第二");
  EXPECT_EQ(m.Abbreviation, "拉萨二");
  EXPECT_EQ(m.TeamName, "拉萨天团");
  EXPECT_EQ(m.YYBMark, " 散户 '大本营' ");  // the remark as typed
  EXPECT_EQ(m.Number1, 12);
  EXPECT_EQ(m.TeamNumber, 201);
  EXPECT_EQ(m.Color, 0x123456u);
  EXPECT_EQ(m.IsLike, 1);
  EXPECT_EQ(RowCount(), 1);
}

TEST_F(BranchMarkStoreTest, UpdateOfAMissingNameIsRefused) {
  db_.AddMark("已有营业部", 1, 255, 0, 0, "YY", "", "");
  EXPECT_EQ(store_.Validate(Input("没有的营业部"), true), "列表中没有该营业部，请先添加!");
  const MarkOutcome outcome = store_.Update(Input("没有的营业部", "MY", "2"));
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "列表中没有该营业部，请先添加!");
  EXPECT_EQ(store_.Update(Input(" ")).message, "营业部名称不能为空!");
  EXPECT_EQ(RowCount(), 1);
}

TEST_F(BranchMarkStoreTest, UpdateChangesEveryFieldAndMayKeepItsOwnNumberAndAbbreviation) {
  db_.AddMark("Zheshang Hangzhou", 9, 255, 0, 0, "ZS", "old remark", "old team");
  db_.AddMark("其他", 10, 255, 0, 0, "QT", "", "");
  // Its own number and abbreviation (in another case) are no clash.
  ASSERT_TRUE(store_.Update(Input("Zheshang Hangzhou", "zs", "9", "old team")).ok);
  const MarkOutcome outcome =
      store_.Update(Input("ZHESHANG HANGZHOU", "浙商", "11", "杭州帮", "300", "new 'remark'", 0xABCDEF, 1));
  ASSERT_TRUE(outcome.ok) << outcome.message;
  const BranchMark m = Stored("Zheshang Hangzhou");
  EXPECT_EQ(m.YYBName, "Zheshang Hangzhou");  // found without regard to case, spelling kept
  EXPECT_EQ(m.Abbreviation, "浙商");
  EXPECT_EQ(m.TeamName, "杭州帮");
  EXPECT_EQ(m.YYBMark, "new 'remark'");
  EXPECT_EQ(m.Number1, 11);
  EXPECT_EQ(m.TeamNumber, 300);
  EXPECT_EQ(m.Color, 0xABCDEFu);
  EXPECT_EQ(m.IsLike, 1);
  EXPECT_EQ(RowCount(), 2);
  // Another row's number or abbreviation is a clash.
  EXPECT_EQ(store_.Update(Input("Zheshang Hangzhou", "", "10")).message, "营业部编号已被使用!");
  EXPECT_EQ(store_.Update(Input("Zheshang Hangzhou", "qt")).message, "营业部缩写已被使用!");
  EXPECT_EQ(Stored("Zheshang Hangzhou").Number1, 11);
}

// ---------------------------------------------------------------------------------
// Delete and the database's failures

TEST_F(BranchMarkStoreTest, DeleteWorksForANameWithAQuote) {
  db_.AddMark("A'B营业部", 1, 255, 0, 0, "AB", "", "");
  db_.AddMark("AB营业部", 2, 255, 0, 0, "AB2", "", "");
  EXPECT_TRUE(store_.Delete("A'B营业部"));
  EXPECT_EQ(Names(*store_.LoadMarks()), std::vector<std::string>{"AB营业部"});
  EXPECT_TRUE(store_.Delete("not there"));  // nothing to delete is no failure
  EXPECT_EQ(RowCount(), 1);
}

TEST_F(BranchMarkStoreTest, AReadOnlyDatabaseRefusesDeleteAddAndUpdate) {
  db_.AddMark("A'B营业部", 1, 255, 0, 0, "AB", "", "");
  CADODataBase readOnly;
  readOnly.SetReadOnly(true);
  ASSERT_TRUE(readOnly.Open("Data Source=" + db_.UserPath()));
  BranchMarkStore store(readOnly);
  ASSERT_TRUE(store.LoadMarks().has_value());
  EXPECT_FALSE(store.Delete("A'B营业部"));
  EXPECT_EQ(store.Add(Input("新营业部", "X", "3")).message, "添加营业部标记失败!");
  EXPECT_EQ(store.Update(Input("A'B营业部", "X", "3")).message, "更新营业部标记失败!");
  // A typing mistake still gets its own message.
  EXPECT_EQ(store.Add(Input("新营业部", "", "200")).message, "营业部编号只能是1到199!");
  readOnly.Close();
  EXPECT_EQ(Stored("A'B营业部").Abbreviation, "AB");
  EXPECT_EQ(RowCount(), 1);
}

TEST_F(BranchMarkStoreTest, AClosedDatabaseFailsEveryCall) {
  db_.AddMark("某营业部", 1, 255, 0, 0, "AB", "", "");
  db_.User().Close();
  EXPECT_FALSE(store_.LoadMarks().has_value());
  EXPECT_FALSE(store_.FindByName("某营业部").has_value());
  EXPECT_FALSE(store_.Delete("某营业部"));
  EXPECT_EQ(store_.Validate(Input("新"), false), "读取营业部标记失败!");
  EXPECT_EQ(store_.Add(Input("新")).message, "添加营业部标记失败!");
  EXPECT_EQ(store_.Update(Input("某营业部")).message, "更新营业部标记失败!");
}

TEST_F(BranchMarkStoreTest, ALockedDatabaseFailsTheAddAndWritesNothing) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db_.UserPath().c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  CADODataBase db;
  db.SetConnectionTimeout(1);
  ASSERT_TRUE(db.Open("Data Source=" + db_.UserPath()));
  BranchMarkStore store(db);
  EXPECT_EQ(store.Add(Input("新营业部", "X", "3")).message, "添加营业部标记失败!");
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(RowCount(), 0);
  EXPECT_TRUE(store.Add(Input("新营业部", "X", "3")).ok);
  EXPECT_EQ(RowCount(), 1);
}
