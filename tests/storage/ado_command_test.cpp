#include "storage/ado_command.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "storage/ado_recordset.h"
#include "storage/schema.h"

namespace {

class AdoCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/velkor-adocmd-XXXXXX";
    dir_ = mkdtemp(pattern.data());
    ASSERT_TRUE(CreateDatabaseFile(dir_ + "/CJHB.mdb"));
    ASSERT_TRUE(db_.Open("Data Source=" + dir_ + "/CJHB.mdb"));
    ASSERT_TRUE(db_.Execute("CREATE TABLE T (code TEXT, n INTEGER, x REAL, d DATETIME)"));
    ASSERT_TRUE(db_.Execute("INSERT INTO T VALUES ('a', 1, 0.5, NULL), ('b', 2, 1.5, NULL), ('c', 3, 2.5, NULL)"));
  }
  void TearDown() override {
    db_.Close();
    std::filesystem::remove_all(dir_);
  }
  std::string Rows(const std::string& sql) {
    CADORecordset rs(&db_);
    EXPECT_TRUE(rs.Open(sql)) << rs.GetLastErrorText();
    return rs.GetString(",", ";", "NULL");
  }

  std::string dir_;
  CADODataBase db_;
};

}  // namespace

TEST_F(AdoCommandTest, PositionalAndNamedParameters) {
  CADOCommand insert(&db_, "INSERT INTO T (code, n, x, d) VALUES (?, ?, ?, ?)");
  ASSERT_TRUE(insert.AddParameter("", adVarChar, adParamInput, 0, std::string("q'%_")));
  ASSERT_TRUE(insert.AddParameter("", adInteger, adParamInput, 0, 42L));
  ASSERT_TRUE(insert.AddParameter("", adDouble, adParamInput, 0, 2.75));
  ASSERT_TRUE(insert.AddParameter("", adDate, adParamInput, 0, COleDateTime(2017, 2, 6, 0, 0, 0)));
  ASSERT_TRUE(insert.Execute()) << insert.GetLastErrorText();
  EXPECT_EQ(insert.GetRecordsAffected(), 1);
  EXPECT_EQ(Rows("SELECT code, n, x, d FROM T WHERE n = 42"), "q'%_,42,2.75,2017-02-06 00:00:00;");
  EXPECT_EQ(Rows("SELECT typeof(d), d FROM T WHERE n = 42"), "text,2017-02-06 00:00:00;");

  CADOCommand named(&db_, "UPDATE T SET x = :x WHERE code = @code");
  ASSERT_TRUE(named.AddParameter("code", adVarChar, adParamInput, 0, std::string("b")));
  ASSERT_TRUE(named.AddParameter(":X", adDouble, adParamInput, 0, 9.0));
  ASSERT_TRUE(named.Execute()) << named.GetLastErrorText();
  EXPECT_EQ(Rows("SELECT x FROM T WHERE code = 'b'"), "9.;");
  CADOCommand missing(&db_, "UPDATE T SET x = :x WHERE code = :other");
  ASSERT_TRUE(missing.AddParameter("x", adDouble, adParamInput, 0, 1.0));
  EXPECT_FALSE(missing.Execute());
  EXPECT_NE(missing.GetLastErrorText().find(":other"), std::string::npos);
}

TEST_F(AdoCommandTest, EmptyStringIsNullAndParametersAreShared) {
  CADOParameter code(adVarChar, 0, adParamInput, "code");
  ASSERT_TRUE(code.SetValue(std::string("zz")));
  EXPECT_EQ(code.GetSize(), 2);
  CADOCommand insert(&db_, "INSERT INTO T (code, n) VALUES (?, 7)");
  ASSERT_TRUE(insert.AddParameter(code));
  ASSERT_TRUE(code.SetValue(std::string("")));  // after adding: the command binds this
  EXPECT_EQ(code.GetRawValue().type, VarType::Null);
  ASSERT_TRUE(insert.Execute());
  EXPECT_EQ(Rows("SELECT code FROM T WHERE n = 7"), "NULL;");
}

TEST_F(AdoCommandTest, DateReadsBackAsText) {
  CADOParameter day(adDate);
  ASSERT_TRUE(day.SetValue(COleDateTime(2015, 7, 1, 9, 30, 5)));
  EXPECT_EQ(day.GetSize(), 8);
  std::string text;
  ASSERT_TRUE(day.GetValue(text));
  EXPECT_EQ(text, "2015-07-01 09:30:05");
  ASSERT_TRUE(day.GetValue(text, "%Y%m%d"));
  EXPECT_EQ(text, "20150701");
  ASSERT_TRUE(day.SetValue(std::string("2016-01-02")));
  COleDateTime back;
  ASSERT_TRUE(day.GetValue(back));
  EXPECT_EQ(back.GetYear(), 2016);
  EXPECT_EQ(back.GetDay(), 2);
}

TEST_F(AdoCommandTest, RecordsAffectedAndTableType) {
  CADOCommand update(&db_, "UPDATE T SET x = x + 1 WHERE n >= ?");
  ASSERT_TRUE(update.AddParameter("", adSmallInt, adParamInput, 0, static_cast<short>(2)));
  ASSERT_TRUE(update.Execute());
  EXPECT_EQ(update.GetRecordsAffected(), 2);
  CADOCommand table(&db_, "T", adCmdTable);
  ASSERT_TRUE(table.Execute()) << table.GetLastErrorText();
  EXPECT_EQ(table.GetRecordsAffected(), -1);
  CADORecordset rs(&db_);
  ASSERT_TRUE(rs.Execute(table));
  EXPECT_EQ(rs.GetRecordCount(), 3);
  table.SetText("T; DROP TABLE T");
  EXPECT_FALSE(table.Execute());
  EXPECT_EQ(Rows("SELECT count(*) FROM T"), "3;");
}

TEST_F(AdoCommandTest, StoredProceduresOutputParametersAndSqlErrorsFail) {
  CADOCommand proc(&db_, "Anything", adCmdStoredProc);
  EXPECT_FALSE(proc.Execute());
  EXPECT_EQ(proc.GetLastErrorText().rfind("CADOCommand Error\n\tCode = 00000001\n", 0), 0u);
  CADOCommand out(&db_, "SELECT ?");
  ASSERT_TRUE(out.AddParameter("r", adInteger, adParamOutput, 0, 0L));
  EXPECT_FALSE(out.Execute());
  EXPECT_NE(out.GetLastErrorText().find("output"), std::string::npos);
  CADOCommand bad(&db_, "SELECT * FROM Missing");
  EXPECT_FALSE(bad.Execute());
  EXPECT_EQ(bad.GetRecordsAffected(), 0);
  EXPECT_NE(bad.GetLastErrorText().find("no such table: Missing"), std::string::npos);
  CADOCommand count(&db_, "SELECT ?, ?");
  ASSERT_TRUE(count.AddParameter("", adInteger, adParamInput, 0, 1L));
  EXPECT_FALSE(count.Execute());
  CADOCommand unbound(nullptr, "SELECT 1");
  EXPECT_FALSE(unbound.Execute());
}

TEST_F(AdoCommandTest, ConversionErrorsBelongToTheParameter) {
  CADOParameter small(adSmallInt);
  EXPECT_TRUE(small.SetValue(32767));
  EXPECT_FALSE(small.SetValue(32768));
  EXPECT_EQ(small.GetLastErrorText().rfind("CADOParameter Error\n\tCode = 00000019\n", 0), 0u);
  int v = 0;
  ASSERT_TRUE(small.GetValue(v));
  EXPECT_EQ(v, 32767);  // the old value stays
  CADOParameter number(adInteger);
  EXPECT_FALSE(number.SetValue(std::string("12abc")));
  EXPECT_EQ(number.GetLastError(), 20u);
  EXPECT_TRUE(number.SetValue(std::string(" 12 ")));
  EXPECT_FALSE(number.SetValue(1.5));
  CADOParameter day(adDate);
  EXPECT_FALSE(day.SetValue(std::string("2017-13-40")));
  EXPECT_NE(day.GetLastErrorText().find("CADOParameter Error"), std::string::npos);
  CADOCommand command(&db_, "SELECT ?");
  EXPECT_FALSE(command.AddParameter("p", adInteger, adParamInput, 0, std::string("x")));
  EXPECT_EQ(command.GetParameterCount(), 0u);
  EXPECT_EQ(command.GetLastErrorText().rfind("CADOCommand Error", 0), 0u);
}
