#include "storage/ado_recordset.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "storage/ado_database.h"
#include "storage/schema.h"

namespace {

class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/velkor-adors-XXXXXX";
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class AdoRecordsetTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string path = dir_.File("CJHB.mdb");
    ASSERT_TRUE(CreateDatabaseFile(path));
    ASSERT_TRUE(db_.Open("Data Source=" + path));
    ASSERT_TRUE(db_.Execute(
        "CREATE TABLE Cells (id INTEGER, name TEXT, amount REAL, small SMALLINT, single SINGLE, day DATETIME, "
        "flag BIT, money CURRENCY, dec DECIMAL)"));
  }

  void Insert(const std::vector<DbValue>& values) {
    ASSERT_TRUE(db_.Execute("INSERT INTO Cells VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", values)) << db_.GetLastErrorText();
  }

  // Opens the single row whose id is given.
  void OpenRow(int id) { ASSERT_TRUE(rs_.Open("SELECT * FROM Cells WHERE id = ?", {id})) << rs_.GetLastErrorText(); }

  TempDir dir_;
  CADODataBase db_;
  CADORecordset rs_{&db_};
};

}  // namespace

// ---------------------------------------------------------------------------------
// Opening

TEST_F(AdoRecordsetTest, LeadingSpacesAreStrippedAndQuotedStripped) {
  EXPECT_FALSE(rs_.Open("  \t SELECT * FROM Missing"));
  EXPECT_EQ(rs_.GetQuery(), "SELECT * FROM Missing");
  EXPECT_EQ(rs_.GetLastErrorText(),
            "Query = SELECT * FROM Missing\nCADORecordset Error\n\tCode = 00000001\n\tCode meaning = SQL logic "
            "error\n\tSource = SQLite\n\tDescription = no such table: Missing\n");
  EXPECT_TRUE(rs_.Open("   SELECT 1"));
  EXPECT_EQ(rs_.GetQuery(), "SELECT 1");
}

TEST_F(AdoRecordsetTest, TableNameOpensWithOptionsZeroAndTwo) {
  Insert({1, "a", 1.0, 1, 1.0, nullptr, 1, 1.0, 1});
  ASSERT_TRUE(rs_.Open("Cells", CADORecordset::openUnknown));
  EXPECT_EQ(rs_.GetRecordCount(), 1);
  EXPECT_EQ(rs_.GetFieldCount(), 9);
  ASSERT_TRUE(rs_.Open(" Cells", CADORecordset::openTable));
  EXPECT_EQ(rs_.GetRecordCount(), 1);
  EXPECT_EQ(rs_.GetFieldName(1), "name");

  EXPECT_FALSE(rs_.Open("Cells; DROP TABLE Cells", CADORecordset::openTable));
  EXPECT_NE(rs_.GetLastErrorText().find("not a table name: Cells; DROP TABLE Cells"), std::string::npos);
  EXPECT_FALSE(rs_.Open("Missing", CADORecordset::openTable));
}

TEST_F(AdoRecordsetTest, OptionThreeFailsWithARecordAndUnknownOptionsWithout) {
  EXPECT_FALSE(rs_.Open("Cells", CADORecordset::openStoredProc));
  EXPECT_NE(rs_.GetLastErrorText().find("stored procedures are not supported"), std::string::npos);
  const std::string before = rs_.GetLastErrorText();
  EXPECT_FALSE(rs_.Open("Cells", CADORecordset::OpenOption(static_cast<CADORecordset::OpenOption::Kind>(7))));
  EXPECT_EQ(rs_.GetLastErrorText(), before);
  EXPECT_FALSE(rs_.IsOpen());
}

TEST_F(AdoRecordsetTest, ALoneIntegerInBracesIsBoundNeverTakenAsTheOption) {
  int v = 0;
  ASSERT_TRUE(rs_.Open("SELECT ? AS v", {2})) << rs_.GetLastErrorText();  // as an option, 2 would want a table
  ASSERT_TRUE(rs_.GetFieldValue("v", v));
  EXPECT_EQ(v, 2);
}

TEST_F(AdoRecordsetTest, EmptyResultIsAtEofRightAway) {
  ASSERT_TRUE(rs_.Open("SELECT * FROM Cells"));
  EXPECT_TRUE(rs_.IsOpen());
  EXPECT_TRUE(rs_.IsEof());
  EXPECT_TRUE(rs_.IsBof());
  EXPECT_EQ(rs_.GetRecordCount(), 0);
  EXPECT_EQ(db_.GetRecordCount(rs_), 0);
  int visits = 0;
  for (; !rs_.IsEof(); rs_.MoveNext()) ++visits;
  EXPECT_EQ(visits, 0);
  std::string untouched = "keep";
  EXPECT_FALSE(rs_.GetFieldValue("name", untouched));  // no current row
  EXPECT_EQ(untouched, "keep");
}

TEST_F(AdoRecordsetTest, RecordCountStaysOnTheFirstRow) {
  for (int i = 1; i <= 3; ++i) Insert({i, "n" + std::to_string(i), 0.0, 0, 0.0, nullptr, 0, 0.0, 0});
  ASSERT_TRUE(rs_.Open("SELECT id FROM Cells ORDER BY id"));
  EXPECT_EQ(rs_.GetRecordCount(), 3);
  EXPECT_EQ(db_.GetRecordCount(rs_), 3);
  int id = 0;
  ASSERT_TRUE(rs_.GetFieldValue("id", id));
  EXPECT_EQ(id, 1);
  rs_.MoveNext();
  rs_.MoveNext();
  rs_.MoveNext();
  EXPECT_TRUE(rs_.IsEof());
  rs_.MoveNext();  // past the end stays at the end
  EXPECT_TRUE(rs_.IsEof());
  rs_.MoveFirst();
  ASSERT_TRUE(rs_.GetFieldValue(0, id));
  EXPECT_EQ(id, 1);
}

TEST_F(AdoRecordsetTest, RowsAreKeptFromOpenOn) {
  Insert({1, "before", 0.0, 0, 0.0, nullptr, 0, 0.0, 0});
  ASSERT_TRUE(rs_.Open("SELECT name FROM Cells"));
  ASSERT_TRUE(db_.Execute("UPDATE Cells SET name = 'after'"));
  ASSERT_TRUE(db_.Execute("INSERT INTO Cells (id, name) VALUES (2, 'new')"));
  std::string name;
  ASSERT_TRUE(rs_.GetFieldValue("name", name));
  EXPECT_EQ(name, "before");
  EXPECT_EQ(rs_.GetRecordCount(), 1);
  ASSERT_TRUE(rs_.Open(""));  // an empty text reopens the stored query
  EXPECT_EQ(rs_.GetRecordCount(), 2);
}

TEST_F(AdoRecordsetTest, UnboundRecordsetTakesTheGivenDatabase) {
  CADORecordset rs;
  EXPECT_FALSE(rs.Open("SELECT 1"));
  EXPECT_NE(rs.GetLastErrorText().find("no connection"), std::string::npos);
  EXPECT_TRUE(rs.Open(&db_, "SELECT 1"));
  EXPECT_TRUE(rs.IsOpen());
  rs.Close();
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_TRUE(rs.IsEof());
}

TEST_F(AdoRecordsetTest, LargeResultsKeepEveryCell) {
  // Enough rows for several blocks of cells, and texts larger than a text block.
  ASSERT_TRUE(rs_.Open(
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 10000) "
      "SELECT x, x * 0.5 AS half, CASE WHEN x % 2500 = 0 THEN printf('%.*c', 1500000 + x, 'z') "
      "ELSE printf('row%d', x) END AS label, CASE WHEN x % 3 = 0 THEN NULL ELSE x END AS sometimes FROM c"));
  ASSERT_EQ(rs_.GetRecordCount(), 10000);
  int row = 0;
  bool allMatch = true;
  for (; !rs_.IsEof(); rs_.MoveNext()) {
    ++row;
    long x = 0;
    double half = 0;
    std::string label;
    rs_.GetFieldValue(0, x);
    rs_.GetFieldValue("half", half);
    rs_.GetFieldValue("label", label);
    const std::string expected = row % 2500 == 0 ? std::string(1500000 + row, 'z') : "row" + std::to_string(row);
    const bool nullExpected = row % 3 == 0;
    if (x != row || half != row * 0.5 || label != expected || rs_.IsFieldNull("sometimes") != nullExpected) {
      allMatch = false;
      ADD_FAILURE() << "row " << row;
      break;
    }
  }
  EXPECT_TRUE(allMatch);
  EXPECT_EQ(row, 10000);
}

// ---------------------------------------------------------------------------------
// Reading fields

TEST_F(AdoRecordsetTest, NullReadsAsEmptyTextAndZero) {
  Insert({1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr});
  OpenRow(1);
  std::string text = "x";
  double d = 9;
  int i = 9;
  long l = 9;
  bool b = true;
  EXPECT_TRUE(rs_.GetFieldValue("name", text));
  EXPECT_TRUE(rs_.GetFieldValue("amount", d));
  EXPECT_TRUE(rs_.GetFieldValue("small", i));
  EXPECT_TRUE(rs_.GetFieldValue("dec", l));
  EXPECT_TRUE(rs_.GetFieldValue("flag", b));
  EXPECT_EQ(text, "");
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(i, 0);
  EXPECT_EQ(l, 0);
  EXPECT_FALSE(b);
  EXPECT_TRUE(rs_.IsFieldNull("name"));
  EXPECT_TRUE(rs_.IsFieldEmpty("amount"));
  COleDateTime date(42000.0);
  EXPECT_TRUE(rs_.GetFieldValue("day", date));
  EXPECT_EQ(date.GetStatus(), COleDateTime::null);
  COleCurrency money = COleCurrency::FromRaw(5);
  EXPECT_TRUE(rs_.GetFieldValue("money", money));
  EXPECT_EQ(money.GetStatus(), COleCurrency::null);
}

TEST_F(AdoRecordsetTest, DateColumnsReadAsDateTimeText) {
  Insert({1, "", 0.0, 0, 0.0, "2015-07-01", 1, 0.0, 0});
  Insert({2, "", 0.0, 0, 0.0, "2015-07-01 13:05:09", 0, 0.0, 0});
  Insert({3, "", 0.0, 0, 0.0, "not a date", 0, 0.0, 0});
  OpenRow(1);
  std::string text;
  ASSERT_TRUE(rs_.GetFieldValue("day", text));
  EXPECT_EQ(text, "2015-07-01 00:00:00");
  ASSERT_TRUE(rs_.GetFieldValue("day", text, "%Y/%m/%d"));
  EXPECT_EQ(text, "2015/07/01");
  double dayNumber = 0;
  ASSERT_TRUE(rs_.GetFieldValue("day", dayNumber));
  EXPECT_EQ(dayNumber, 42186.0);  // its OLE day number
  COleDateTime date;
  ASSERT_TRUE(rs_.GetFieldValue("day", date));
  EXPECT_EQ(date.GetYear(), 2015);
  EXPECT_EQ(date.GetMonth(), 7);
  EXPECT_EQ(date.GetDay(), 1);
  ASSERT_TRUE(rs_.GetFieldValue("flag", text));
  EXPECT_EQ(text, "T");

  OpenRow(2);
  ASSERT_TRUE(rs_.GetFieldValue("day", text));
  EXPECT_EQ(text, "2015-07-01 13:05:09");
  ASSERT_TRUE(rs_.GetFieldValue("flag", text));
  EXPECT_EQ(text, "F");

  OpenRow(3);
  CADOVariant v;
  ASSERT_TRUE(rs_.GetFieldValue("day", v));
  EXPECT_EQ(v.type, VarType::Text);
  EXPECT_EQ(v.strVal, "not a date");
  COleDateTime keep(1.0);
  EXPECT_FALSE(rs_.GetFieldValue("day", keep));
  EXPECT_EQ(keep.m_dt, 1.0);
}

TEST_F(AdoRecordsetTest, MissingColumnFailsAndLeavesTheVariable) {
  Insert({1, "a", 1.5, 0, 0.0, nullptr, 0, 0.0, 0});
  OpenRow(1);
  std::string text = "untouched";
  double d = 7.5;
  EXPECT_FALSE(rs_.GetFieldValue("NoSuchColumn", text));
  EXPECT_EQ(text, "untouched");
  EXPECT_EQ(rs_.GetLastErrorText(),
            "Query = SELECT * FROM Cells WHERE id = ?\nCADORecordset Error\n\tCode = 00000001\n\tCode meaning = SQL "
            "logic error\n\tSource = SQLite\n\tDescription = no such column: NoSuchColumn\n");
  EXPECT_FALSE(rs_.GetFieldValue(9, d));
  EXPECT_FALSE(rs_.GetFieldValue(-1, d));
  EXPECT_EQ(d, 7.5);
  EXPECT_FALSE(rs_.IsFieldNull("NoSuchColumn"));
}

TEST_F(AdoRecordsetTest, NamesInAnyCaseAndPositions) {
  Insert({1, "abc", 2.5, 0, 0.0, nullptr, 0, 0.0, 0});
  OpenRow(1);
  std::string a, b, c;
  ASSERT_TRUE(rs_.GetFieldValue("NAME", a));
  ASSERT_TRUE(rs_.GetFieldValue(std::string("nAmE"), b));
  ASSERT_TRUE(rs_.GetFieldValue(1, c));
  EXPECT_EQ(a, "abc");
  EXPECT_EQ(b, "abc");
  EXPECT_EQ(c, "abc");
  double amount = 0;
  ASSERT_TRUE(rs_.GetFieldValue(2, amount));
  EXPECT_EQ(amount, 2.5);
}

TEST_F(AdoRecordsetTest, RealsReadAsGeneralFormat) {
  Insert({1, "", 10.0, 0, 0.0625, nullptr, 0, 0.0, 0});
  Insert({2, "", 0.05, 0, 10.0, nullptr, 0, 0.0, 0});
  std::string text;
  OpenRow(1);
  ASSERT_TRUE(rs_.GetFieldValue("amount", text));
  EXPECT_EQ(text, "10.");
  ASSERT_TRUE(rs_.GetFieldValue("single", text));
  EXPECT_EQ(text, "6.25e-02");  // a single float: 10 significant digits
  OpenRow(2);
  ASSERT_TRUE(rs_.GetFieldValue("amount", text));
  EXPECT_EQ(text, "5.0000000000000002776e-02");  // 20 significant digits of the double
  ASSERT_TRUE(rs_.GetFieldValue("single", text));
  EXPECT_EQ(text, "10.");
}

TEST_F(AdoRecordsetTest, MismatchedTypesConvertNumerically) {
  Insert({1, "12.5", 2.9, 0, 0.0, nullptr, 0, 0.0, 0});
  Insert({2, "abc", -2.9, 0, 0.0, nullptr, 0, 0.0, 0});
  int i = 0;
  long l = 0;
  unsigned int u = 0;
  double d = 0;
  OpenRow(1);
  ASSERT_TRUE(rs_.GetFieldValue("amount", i));
  EXPECT_EQ(i, 2);
  ASSERT_TRUE(rs_.GetFieldValue("name", d));
  EXPECT_EQ(d, 12.5);
  ASSERT_TRUE(rs_.GetFieldValue("name", l));
  EXPECT_EQ(l, 12);
  OpenRow(2);
  ASSERT_TRUE(rs_.GetFieldValue("amount", i));
  EXPECT_EQ(i, -2);  // toward zero
  ASSERT_TRUE(rs_.GetFieldValue("name", d));
  EXPECT_EQ(d, 0.0);
  ASSERT_TRUE(rs_.GetFieldValue("amount", u));
  EXPECT_EQ(u, static_cast<unsigned int>(-2));
}

TEST_F(AdoRecordsetTest, VariantTypesFollowTheDeclaredType) {
  Insert({1, "t", 1.25, 7, 0.5, "2015-07-01", 1, 12.3456, 12});
  ASSERT_TRUE(db_.Execute("INSERT INTO Cells (id, name, small) VALUES (2, 'big', 70000)"));
  OpenRow(1);
  const auto typeOf = [&](const char* column) {
    CADOVariant v;
    EXPECT_TRUE(rs_.GetFieldValue(column, v));
    return v.type;
  };
  EXPECT_EQ(typeOf("id"), VarType::I4);
  EXPECT_EQ(typeOf("name"), VarType::Text);
  EXPECT_EQ(typeOf("amount"), VarType::R8);
  EXPECT_EQ(typeOf("small"), VarType::I2);
  EXPECT_EQ(typeOf("single"), VarType::R4);
  EXPECT_EQ(typeOf("day"), VarType::Date);
  EXPECT_EQ(typeOf("flag"), VarType::Bool);
  EXPECT_EQ(typeOf("money"), VarType::Currency);
  EXPECT_EQ(typeOf("dec"), VarType::Decimal);
  COleCurrency money;
  ASSERT_TRUE(rs_.GetFieldValue("money", money));
  EXPECT_EQ(money.m_cur, 123456);
  std::string text = "keep";
  EXPECT_FALSE(rs_.GetFieldValue("money", text));  // a currency has no text form
  EXPECT_EQ(text, "keep");

  OpenRow(2);
  EXPECT_EQ(typeOf("small"), VarType::I4);  // too big for 16 bits

  ASSERT_TRUE(rs_.Open("SELECT 1 AS a, 5000000000 AS b, 1.5 AS c, 'x' AS d, NULL AS e"));
  EXPECT_EQ(typeOf("a"), VarType::I4);
  EXPECT_EQ(typeOf("b"), VarType::I8);
  EXPECT_EQ(typeOf("c"), VarType::R8);
  EXPECT_EQ(typeOf("d"), VarType::Text);
  EXPECT_EQ(typeOf("e"), VarType::Null);
  long long big = 0;
  ASSERT_TRUE(rs_.GetFieldValue("b", big));
  EXPECT_EQ(big, 5000000000LL);
  int clamped = 0;
  ASSERT_TRUE(rs_.GetFieldValue("b", clamped));
  EXPECT_EQ(clamped, std::numeric_limits<int>::max());
}

// ---------------------------------------------------------------------------------
// Value types and conversions

TEST(VariantConversionTest, DecimalWithScaleAndSign) {
  CDecimal dec;
  dec.mantissa = 12345;
  dec.scale = 2;
  dec.sign = CDecimal::kNegative;
  const CADOVariant v = CADOVariant::MakeDecimal(dec);
  EXPECT_DOUBLE_EQ(VariantToDouble(v), -123.45);
  std::string text;
  ASSERT_TRUE(VariantToText(v, text));
  EXPECT_EQ(text, FormatGeneral(-123.45, 20));
  EXPECT_EQ(VariantToInt32(v), -123);
  dec.sign = 0;
  EXPECT_DOUBLE_EQ(DecimalToDouble(dec), 123.45);
}

TEST(VariantConversionTest, DatesGiveTheirDayNumberAndFormat) {
  const CADOVariant v = CADOVariant::MakeDate(42186.5);
  EXPECT_EQ(VariantToDouble(v), 42186.5);
  EXPECT_EQ(VariantToInt32(v), 42186);
  std::string text;
  ASSERT_TRUE(VariantToText(v, text));
  EXPECT_EQ(text, "2015-07-01 12:00:00");
  EXPECT_TRUE(VariantToBool(CADOVariant::MakeI4(-1)));
  EXPECT_FALSE(VariantToBool(CADOVariant::MakeText("abc")));
  EXPECT_EQ(VariantToDouble(CADOVariant::MakeBool(true)), -1.0);
  EXPECT_EQ(VariantToInt64(CADOVariant::MakeR8(std::nan(""))), 0);
  EXPECT_EQ(VariantToInt64(CADOVariant::MakeR8(1e300)), std::numeric_limits<std::int64_t>::max());
}

TEST(FormatGeneralTest, FixedAndExponentForms) {
  EXPECT_EQ(FormatGeneral(10.0, 20), "10.");
  EXPECT_EQ(FormatGeneral(12.5, 20), "12.5");
  EXPECT_EQ(FormatGeneral(-12.5, 10), "-12.5");
  EXPECT_EQ(FormatGeneral(0.0, 20), "0.");
  EXPECT_EQ(FormatGeneral(0.5, 10), "0.5");
  EXPECT_EQ(FormatGeneral(0.1, 10), "0.1");         // exponent 0: still fixed
  EXPECT_EQ(FormatGeneral(0.05, 10), "5.e-02");     // below 0.1: exponent form
  EXPECT_EQ(FormatGeneral(0.0123, 10), "1.23e-02");
  EXPECT_EQ(FormatGeneral(2.9, 20), "2.8999999999999999112");
  EXPECT_EQ(FormatGeneral(1234567890.0, 10), "1234567890.");  // ten integer digits: fixed
  EXPECT_EQ(FormatGeneral(12345678901.0, 10), "1.23456789e+10");
  EXPECT_EQ(FormatGeneral(9.9999999996, 10), "10.");  // rounding carries into a new digit
  EXPECT_EQ(FormatGeneral(1.5e-300, 10), "1.5e-300");
}

TEST(ParseNumberCTest, TakesTheNumericPrefixOnly) {
  EXPECT_EQ(ParseNumberC("12.5"), 12.5);
  EXPECT_EQ(ParseNumberC("  -3.25e2xyz"), -325.0);
  EXPECT_EQ(ParseNumberC("+.5"), 0.5);
  EXPECT_EQ(ParseNumberC("abc"), 0.0);
  EXPECT_EQ(ParseNumberC("nan"), 0.0);
  EXPECT_EQ(ParseNumberC("12,5"), 12.0);  // the C locale's point only
  EXPECT_EQ(ParseNumberC(""), 0.0);
}

TEST(OleDateTimeTest, PartsFormatAndBoundaries) {
  COleDateTime t(2017, 2, 6, 9, 8, 7);
  ASSERT_EQ(t.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(t.Format(), "2017-02-06 09:08:07");
  EXPECT_EQ(t.Format("%y%m%d %I%p %j %a %B %%"), "170206 09AM 037 Mon February %");
  EXPECT_EQ(t.GetDayOfWeek(), 2);  // Monday
  EXPECT_EQ(COleDateTime(1899, 12, 29, 6, 0, 0).m_dt, -1.25);
  EXPECT_EQ(COleDateTime(-1.25).Format(), "1899-12-29 06:00:00");
  EXPECT_EQ(COleDateTime(2000, 2, 30, 0, 0, 0).GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(COleDateTime(2000, 2, 29, 0, 0, 0).GetStatus(), COleDateTime::valid);
  EXPECT_EQ(COleDateTime(1e9).GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(COleDateTime(1e9).Format(), "");
  EXPECT_EQ(COleDateTime(42186.99999999).Format(), "2015-07-02 00:00:00");  // rounds to the next day
  EXPECT_FALSE(COleDateTime::ParseDateText("2015-07-01 25:00:00"));
  EXPECT_FALSE(COleDateTime::ParseDateText("2015-07-01x"));
  EXPECT_EQ(COleDateTime::ParseDateText("2015/7/1"), 42186.0);
}

TEST(OleCurrencyTest, RoundsAndFormats) {
  EXPECT_EQ(COleCurrency::FromDouble(-123.45).m_cur, -1234500);
  EXPECT_EQ(COleCurrency::FromDouble(-123.45).Format(), "-123.45");
  EXPECT_EQ(COleCurrency(12, 0).Format(), "12");
  EXPECT_EQ(COleCurrency::FromRaw(std::numeric_limits<std::int64_t>::min()).Format(), "-922337203685477.5808");
  EXPECT_EQ(COleCurrency::FromDouble(1e300).GetStatus(), COleCurrency::invalid);
}
