#include "storage/schema.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "storage/ado_database.h"
#include "storage/ado_recordset.h"

namespace {

using Columns = std::vector<std::pair<std::string, std::string>>;

class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/velkor-schema-XXXXXX";
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Columns TableInfo(CADODataBase& db, const std::string& table) {
  CADORecordset rs(&db);
  Columns columns;
  if (!rs.Open("SELECT name, type FROM pragma_table_info(?) ORDER BY cid", {table})) return columns;
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string name, type;
    rs.GetFieldValue("name", name);
    rs.GetFieldValue("type", type);
    columns.emplace_back(name, type);
  }
  return columns;
}

std::vector<std::string> IndexedColumns(CADODataBase& db, const std::string& table) {
  CADORecordset rs(&db);
  std::vector<std::string> out;
  if (!rs.Open("SELECT il.name AS idx, group_concat(ii.name, ',') AS cols FROM pragma_index_list(?) AS il, "
               "pragma_index_info(il.name) AS ii WHERE il.origin = 'c' GROUP BY il.name ORDER BY cols",
               {table})) {
    return out;
  }
  for (; !rs.IsEof(); rs.MoveNext()) {
    std::string cols;
    rs.GetFieldValue("cols", cols);
    out.push_back(cols);
  }
  return out;
}

// Written out by hand, apart from the schema code, so that a slip in either shows.
Columns ExpectedStockInfo() {
  Columns c = {{"StockInfo_ID", "TEXT"}, {"IsDownloadOK", "INTEGER"}, {"StockName", "TEXT"},
               {"StockCode", "TEXT"},    {"SB_Date", "TEXT"},        {"SB_Reason", "TEXT"},
               {"ZuoShou", "REAL"},      {"JinKai", "REAL"},         {"JinShou", "REAL"},
               {"ZhangFu", "REAL"},      {"HuanShou", "REAL"},       {"ZhenFu", "REAL"},
               {"DRCJL", "REAL"},        {"Amount", "REAL"}};
  for (const char* seat : {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"}) {
    c.emplace_back(std::string(seat) + "_YYB_Name", "TEXT");
    c.emplace_back(std::string(seat) + "_YYB_BuyAmount", "REAL");
    c.emplace_back(std::string(seat) + "_YYB_SellAmount", "REAL");
  }
  return c;
}

const Columns kTotalBuySell = {
    {"SB_Date", "TEXT"},          {"Today_ShangBang", "INTEGER"}, {"Today_TotalBuy", "REAL"},
    {"Today_TotalSell", "REAL"},  {"Today_TotalNet", "REAL"},     {"Today_Total", "REAL"},
    {"YouZi_ShangBang", "INTEGER"}, {"YouZi_TotalBuy", "REAL"},   {"YouZi_TotalSell", "REAL"},
    {"YouZi_TotalNet", "REAL"},   {"YouZi_Total", "REAL"},        {"JiGou_ShangBang", "INTEGER"},
    {"JiGou_TotalBuy", "REAL"},   {"JiGou_TotalSell", "REAL"},    {"JiGou_TotalNet", "REAL"},
    {"JiGou_Total", "REAL"}};

const Columns kDzjy = {{"DZJY_ID", "TEXT"}, {"StockName", "TEXT"}, {"StockCode", "TEXT"}, {"DZJY_Date", "DATETIME"},
                       {"RowNumber", "INTEGER"}, {"SPJ", "REAL"}, {"CJJ", "REAL"}, {"CJSL", "INTEGER"},
                       {"CJJE", "REAL"}, {"BuyName", "TEXT"}, {"SellName", "TEXT"}};

const Columns kQlxwma = {{"YYBName", "TEXT"}, {"IncomeLevel", "REAL"}, {"IsSuperStarYYB", "INTEGER"}};

const Columns kBuy2Times = {
    {"YYBName", "TEXT"}, {"ShangBangCiShu_Buy", "INTEGER"}, {"Above2_Buy", "INTEGER"}, {"Percentage", "TEXT"}};

const Columns kYybMark = {{"YYBName", "TEXT"},     {"Number1", "INTEGER"},     {"Color", "INTEGER"},
                          {"IsLike", "INTEGER"},   {"TeamNumber", "INTEGER"},  {"Abbreviation", "TEXT"},
                          {"YYBMark", "TEXT"},     {"TeamName", "TEXT"}};

class SchemaTest : public testing::Test {
 protected:
  void SetUp() override {
    market_ = dir_.File("CJHB.mdb");
    user_ = dir_.File("Custom.mdb");
    ASSERT_TRUE(CreateDatabaseFile(market_));
    ASSERT_TRUE(CreateDatabaseFile(user_));
    ASSERT_TRUE(db_.Open("Data Source=" + market_));
    ASSERT_TRUE(custom_.Open("Data Source=" + user_));
  }

  TempDir dir_;
  std::string market_, user_;
  CADODataBase db_, custom_;
};

}  // namespace

TEST_F(SchemaTest, EveryTableHasItsColumnsInOrder) {
  ASSERT_TRUE(EnsureMarketSchema(db_)) << db_.GetLastErrorText();
  ASSERT_TRUE(EnsureUserSchema(custom_)) << custom_.GetLastErrorText();
  EXPECT_EQ(TableInfo(db_, "StockInfo"), ExpectedStockInfo());
  EXPECT_EQ(TableInfo(db_, "TotalBuySell"), kTotalBuySell);
  EXPECT_EQ(TableInfo(db_, "DZJY"), kDzjy);
  EXPECT_EQ(TableInfo(db_, "QLXWMA"), kQlxwma);
  EXPECT_EQ(TableInfo(db_, "Buy2Times"), kBuy2Times);
  EXPECT_EQ(TableInfo(custom_, "YYBMark"), kYybMark);
  EXPECT_EQ(TableInfo(db_, "SchemaVersion"), (Columns{{"Version", "INTEGER"}}));
  EXPECT_TRUE(TableInfo(custom_, "StockInfo").empty());  // the user file has only its own tables
  EXPECT_EQ(SchemaColumns("DZJY"), kDzjy);
  EXPECT_TRUE(SchemaColumns("Nothing").empty());
  EXPECT_EQ(ReadSchemaVersion(db_), 1);
  EXPECT_EQ(ReadSchemaVersion(custom_), 1);
}

TEST_F(SchemaTest, UniqueKeysRejectDuplicates) {
  ASSERT_TRUE(EnsureMarketSchema(db_));
  ASSERT_TRUE(EnsureUserSchema(custom_));
  const auto twice = [](CADODataBase& db, const std::string& sql, DbValue first, DbValue second) {
    EXPECT_TRUE(db.Execute(sql, {std::move(first)})) << db.GetLastErrorText();
    EXPECT_FALSE(db.Execute(sql, {std::move(second)})) << sql;
    EXPECT_EQ(db.GetLastError(), static_cast<DWORD>(2067)) << sql;  // UNIQUE constraint failed
  };
  twice(db_, "INSERT INTO StockInfo (StockInfo_ID) VALUES (?)", "2012-07-27,603000", "2012-07-27,603000");
  twice(db_, "INSERT INTO TotalBuySell (SB_Date) VALUES (?)", "2012-07-27", "2012-07-27");
  twice(db_, "INSERT INTO DZJY (DZJY_ID) VALUES (?)", "2015-07-016000001", "2015-07-016000001");
  twice(db_, "INSERT INTO Buy2Times (YYBName) VALUES (?)", "机构专用", "机构专用");
  twice(custom_, "INSERT INTO YYBMark (YYBName) VALUES (?)", "Branch Road", "BRANCH road");
  EXPECT_TRUE(db_.Execute("INSERT INTO Buy2Times (YYBName) VALUES (?)", {"BRANCH"}));
  EXPECT_TRUE(db_.Execute("INSERT INTO Buy2Times (YYBName) VALUES (?)", {"branch"}));  // exact case only there
  EXPECT_FALSE(db_.Execute("INSERT INTO StockInfo (StockName) VALUES ('no id')"));  // NOT NULL
}

TEST_F(SchemaTest, UserColumnsDefaultToZero) {
  ASSERT_TRUE(EnsureUserSchema(custom_));
  ASSERT_TRUE(custom_.Execute("INSERT INTO YYBMark (YYBName) VALUES (?)", {"x"}));
  CADORecordset rs(&custom_);
  ASSERT_TRUE(rs.Open("SELECT Number1, Color, IsLike, TeamNumber, Abbreviation FROM YYBMark"));
  for (int i = 0; i < 4; ++i) {
    int v = -1;
    ASSERT_TRUE(rs.GetFieldValue(i, v));
    EXPECT_EQ(v, 0) << rs.GetFieldName(i);
  }
  EXPECT_TRUE(rs.IsFieldNull("Abbreviation"));
}

TEST_F(SchemaTest, IndexesExist) {
  ASSERT_TRUE(EnsureMarketSchema(db_));
  ASSERT_TRUE(EnsureUserSchema(custom_));
  std::vector<std::string> stockInfo = {"IsDownloadOK", "SB_Date", "StockCode,SB_Date", "StockName"};
  for (const char* seat : {"Buy1", "Buy2", "Buy3", "Buy4", "Buy5", "Sell1", "Sell2", "Sell3", "Sell4", "Sell5"}) {
    stockInfo.push_back(std::string(seat) + "_YYB_Name");
  }
  std::sort(stockInfo.begin(), stockInfo.end());
  EXPECT_EQ(IndexedColumns(db_, "StockInfo"), stockInfo);
  EXPECT_EQ(IndexedColumns(db_, "DZJY"),
            (std::vector<std::string>{"BuyName", "DZJY_Date", "SellName", "StockCode,DZJY_Date"}));
  EXPECT_EQ(IndexedColumns(db_, "QLXWMA"), (std::vector<std::string>{"YYBName"}));
  EXPECT_EQ(IndexedColumns(custom_, "YYBMark"),
            (std::vector<std::string>{"Abbreviation", "Number1", "TeamNumber"}));
}

TEST_F(SchemaTest, RowsStillToFetchAreFoundWithoutAScanOfEveryListing) {
  ASSERT_TRUE(EnsureMarketSchema(db_));
  CADORecordset rs(&db_);
  ASSERT_TRUE(rs.Open("EXPLAIN QUERY PLAN SELECT StockCode, SB_Date FROM StockInfo WHERE IsDownloadOK=2 ORDER BY rowid"));
  const std::string plan = rs.GetString(":", ";");
  EXPECT_NE(plan.find("IX_StockInfo_Unfetched"), std::string::npos) << plan;
  ASSERT_TRUE(rs.Open("SELECT sql FROM sqlite_master WHERE name = 'IX_StockInfo_Unfetched'"));
  EXPECT_NE(rs.GetString(":", ";").find("WHERE IsDownloadOK = 2"), std::string::npos);
}

TEST_F(SchemaTest, ReopeningIsIdempotent) {
  ASSERT_TRUE(EnsureMarketSchema(db_));
  ASSERT_TRUE(db_.Execute("INSERT INTO DZJY (DZJY_ID, DZJY_Date) VALUES (?, ?)", {"a1", "2015-07-01"}));
  ASSERT_TRUE(db_.Open(""));
  ASSERT_TRUE(EnsureMarketSchema(db_));
  ASSERT_TRUE(EnsureMarketSchema(db_));
  CADORecordset rs(&db_);
  ASSERT_TRUE(rs.Open("SELECT count(*) AS n FROM SchemaVersion"));
  long n = 0;
  rs.GetFieldValue("n", n);
  EXPECT_EQ(n, 1);
  ASSERT_TRUE(rs.Open("SELECT count(*) AS n FROM DZJY"));
  rs.GetFieldValue("n", n);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(ReadSchemaVersion(db_), 1);
}

TEST_F(SchemaTest, TablesWithoutAVersionRowReachVersionOne) {
  ASSERT_TRUE(EnsureMarketSchema(db_));
  ASSERT_TRUE(db_.Execute("DROP TABLE SchemaVersion"));
  EXPECT_EQ(ReadSchemaVersion(db_), 0);
  ASSERT_TRUE(EnsureMarketSchema(db_));
  EXPECT_EQ(ReadSchemaVersion(db_), 1);
  ASSERT_TRUE(db_.Execute("DELETE FROM SchemaVersion"));  // the table, but no row
  ASSERT_TRUE(EnsureMarketSchema(db_));
  EXPECT_EQ(ReadSchemaVersion(db_), 1);
}

TEST_F(SchemaTest, AFileFromBeforeDayStatusMarksCompleteTheDaysItWouldNotHaveFetchedAgain) {
  ASSERT_TRUE(EnsureMarketSchema(db_));
  ASSERT_TRUE(db_.Execute("DROP TABLE DayStatus"));
  // 16 and 15 stock rows, a deleted day whose totals row stayed, and a day without totals.
  const std::string insertStock = "INSERT INTO StockInfo (StockInfo_ID, SB_Date) VALUES (?, ?)";
  for (const auto& [day, rows] :
       std::vector<std::pair<std::string, int>>{{"2017-02-03", 16}, {"2017-02-06", 15}, {"2017-02-08", 0}}) {
    ASSERT_TRUE(db_.Execute("INSERT INTO TotalBuySell (SB_Date) VALUES (?)", {day}));
    for (int i = 0; i < rows; ++i) ASSERT_TRUE(db_.Execute(insertStock, {day + std::to_string(i), day}));
  }
  ASSERT_TRUE(db_.Execute(insertStock, {"2017-02-07", "2017-02-07"}));
  ASSERT_TRUE(EnsureMarketSchema(db_)) << db_.GetLastErrorText();
  CADORecordset rs(&db_);
  ASSERT_TRUE(rs.Open("SELECT SB_Date, Listed, Complete FROM DayStatus ORDER BY SB_Date"));
  EXPECT_EQ(rs.GetString(":", ";"), "2017-02-03:16:1;2017-02-06:15:0;2017-02-08:0:0;");
}

TEST_F(SchemaTest, NewerVersionIsRefusedAndNothingChanges) {
  ASSERT_TRUE(db_.Execute("CREATE TABLE SchemaVersion (Version INTEGER NOT NULL)"));
  ASSERT_TRUE(db_.Execute("INSERT INTO SchemaVersion (Version) VALUES (?)", {kSchemaVersion + 1}));
  EXPECT_FALSE(EnsureMarketSchema(db_));
  EXPECT_NE(db_.GetLastErrorText().find("schema version 2 is newer than this program's 1"), std::string::npos)
      << db_.GetLastErrorText();
  EXPECT_TRUE(TableInfo(db_, "StockInfo").empty());
  EXPECT_EQ(ReadSchemaVersion(db_), 2);
  EXPECT_FALSE(db_.InTransaction());
}

TEST(CreateDatabaseFileTest, MakesAnOpenableFileAndNeverReplacesOne) {
  TempDir dir;
  const std::string path = dir.File("CJHB.mdb");
  ASSERT_TRUE(CreateDatabaseFile(path));
  CADODataBase db;
  EXPECT_TRUE(db.Open("Data Source=" + path));
  db.Close();

  const std::string other = dir.File("Custom.mdb");
  std::ofstream(other) << "not a database";
  EXPECT_FALSE(CreateDatabaseFile(other));
  EXPECT_EQ(ReadBytes(other), "not a database");
  EXPECT_FALSE(CreateDatabaseFile(path));
  // Nothing but the two files is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 2);
}

TEST(CreateDatabaseFileTest, UnwritableFolderFails) {
  // /proc takes no new files, not even from root.
  EXPECT_FALSE(CreateDatabaseFile("/proc/CJHB.mdb"));
  EXPECT_FALSE(std::filesystem::exists("/proc/CJHB.mdb"));
  if (geteuid() != 0) {  // root writes into read-only folders
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0500), 0);
    EXPECT_FALSE(CreateDatabaseFile(dir.File("CJHB.mdb")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("CJHB.mdb")));
  }
}

TEST(CreateDatabaseFileTest, MissingFolderFails) {
  TempDir dir;
  EXPECT_FALSE(CreateDatabaseFile(dir.File("no/such/CJHB.mdb")));
}

TEST(InsertAllColumnsStatement, NamesEveryColumnOnceWithABoundValue) {
  const std::string sql = InsertAllColumnsStatement("StockInfo");
  EXPECT_EQ(sql.rfind("INSERT INTO StockInfo (StockInfo_ID, IsDownloadOK, StockName, StockCode, SB_Date, ", 0), 0u);
  EXPECT_NE(sql.find("Sell5_YYB_Name, Sell5_YYB_BuyAmount, Sell5_YYB_SellAmount) VALUES (?"), std::string::npos);
  EXPECT_EQ(std::count(sql.begin(), sql.end(), '?'), 44);
  EXPECT_EQ(InsertAllColumnsStatement("Buy2Times"),
            "INSERT INTO Buy2Times (YYBName, ShangBangCiShu_Buy, Above2_Buy, Percentage) VALUES (?, ?, ?, ?)");
  EXPECT_EQ(InsertAllColumnsStatement("NoSuchTable"), "");
  EXPECT_EQ(InsertAllColumnsStatement("StockInfo; DROP TABLE StockInfo"), "");
}
