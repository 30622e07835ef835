#include "storage/recordset_xml.h"

#include <gtest/gtest.h>

TEST(RecordsetXml, Base64) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode(std::string("\0\xFF", 2)), "AP8=");
  EXPECT_EQ(Base64Decode("Zm9vYg=="), "foob");
  EXPECT_EQ(Base64Decode("AP8="), std::string("\0\xFF", 2));
  EXPECT_FALSE(Base64Decode("Zm9"));
  EXPECT_FALSE(Base64Decode("Z==="));
  EXPECT_FALSE(Base64Decode("Zg==Zg=="));
  EXPECT_FALSE(Base64Decode("Zm!v"));
}

TEST(RecordsetXml, WritesTheExactForm) {
  RecordsetImage image;
  image.columns = {{"a\"b", "TEXT"}, {"n", "INTEGER"}};
  image.rows = {{StoredCell::Text("x<&>\n"), StoredCell::Int(-5)}, {StoredCell::Text("\x01"), StoredCell::Null()}};
  EXPECT_EQ(WriteRecordsetXml(image),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<recordset version=\"1\">\n"
            " <column name=\"a&quot;b\" type=\"TEXT\"/>\n <column name=\"n\" type=\"INTEGER\"/>\n"
            " <row><t>x&lt;&amp;&gt;&#10;</t><i>-5</i></row>\n <row><t64>AQ==</t64><n/></row>\n</recordset>\n");
}

TEST(RecordsetXml, RoundTripsCellsExactly) {
  RecordsetImage image;
  image.columns = {{"t", "TEXT"}, {"r", "REAL"}, {"b", "BLOB"}};
  image.rows = {{StoredCell::Text("中文\t\r"), StoredCell::Real(0.1), StoredCell::Blob(std::string("\0a", 2))},
                {StoredCell::Text(""), StoredCell::Real(-1e300), StoredCell::Blob("")},
                {StoredCell::Text(std::string("\xFF\xFE", 2)), StoredCell::Null(), StoredCell::Null()}};
  std::string error;
  const auto back = ParseRecordsetXml(WriteRecordsetXml(image), error);
  ASSERT_TRUE(back) << error;
  ASSERT_EQ(back->columns.size(), 3u);
  EXPECT_EQ(back->columns[2].declaredType, "BLOB");
  EXPECT_EQ(back->rows, image.rows);
}

TEST(RecordsetXml, RefusesDamage) {
  RecordsetImage image;
  image.columns = {{"n", "INTEGER"}};
  image.rows = {{StoredCell::Int(1)}};
  const std::string good = WriteRecordsetXml(image);
  std::string error;
  ASSERT_TRUE(ParseRecordsetXml(good, error));
  for (const std::string& bad :
       {std::string(), good.substr(0, 60), good + "x", std::string("<recordset version=\"1\"></recordset>")}) {
    EXPECT_FALSE(ParseRecordsetXml(bad, error)) << bad;
  }
  std::string twoCells = good;
  twoCells.replace(twoCells.find("<i>1</i>"), 8, "<i>1</i><i>2</i>");
  EXPECT_FALSE(ParseRecordsetXml(twoCells, error));
  std::string notNumber = good;
  notNumber.replace(notNumber.find("<i>1</i>"), 8, "<i>1x</i>");
  EXPECT_FALSE(ParseRecordsetXml(notNumber, error));
  std::string badEntity = good;
  badEntity.replace(badEntity.find("<i>1</i>"), 8, "<t>&#0;</t>");
  EXPECT_FALSE(ParseRecordsetXml(badEntity, error));
  EXPECT_NE(error.find("offset"), std::string::npos);
}
