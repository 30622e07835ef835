#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "storage/ado_command.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/file_io.h"
#include "storage/schema.h"

namespace {

class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/velkor-rsedit-XXXXXX";
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class RecordsetEditTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("CJHB.mdb");
    ASSERT_TRUE(CreateDatabaseFile(path_));
    ASSERT_TRUE(db_.Open("Data Source=" + path_));
    ASSERT_TRUE(EnsureMarketSchema(db_)) << db_.GetLastErrorText();
    ASSERT_TRUE(db_.Execute("CREATE TABLE Loose (a TEXT, b INTEGER)"));
    ASSERT_TRUE(db_.Execute("CREATE TABLE Blobs (id INTEGER PRIMARY KEY, data BLOB)"));
    for (const auto& [id, code, name] : {std::tuple{"s1", "600000", "浦发银行"}, std::tuple{"s2", "000001", "平安银行"},
                                         std::tuple{"s3", "600519", "O'Brien"}}) {
      ASSERT_TRUE(db_.Execute("INSERT INTO StockInfo (StockInfo_ID, StockCode, StockName, SB_Date, Amount) VALUES (?, ?, ?, "
                              "'2017-02-06', 1.5)",
                              {id, code, name}));
    }
  }

  long Count(const std::string& sql, const std::vector<DbValue>& params = {}) {
    CADORecordset rs(&db_);
    EXPECT_TRUE(rs.Open(sql, params)) << rs.GetLastErrorText();
    long n = -1;
    rs.GetFieldValue(0, n);
    return n;
  }

  TempDir dir_;
  std::string path_;
  CADODataBase db_;
  CADORecordset rs_{&db_};
};

}  // namespace

TEST_F(RecordsetEditTest, SetFieldValueNeedsAPendingEditAndUpdateWithoutOneSucceeds) {
  ASSERT_TRUE(rs_.Open("SELECT StockInfo_ID, StockName FROM StockInfo ORDER BY StockInfo_ID"));
  EXPECT_FALSE(rs_.SetFieldValue("StockName", "x"));
  EXPECT_EQ(rs_.GetEditMode(), 0);
  EXPECT_TRUE(rs_.Update());
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockName = 'x'"), 0);
}

TEST_F(RecordsetEditTest, AddNewInsertsAndEmptyTextIsNull) {
  ASSERT_TRUE(rs_.Open("SELECT StockInfo_ID, StockCode, StockName, Amount FROM StockInfo"));
  ASSERT_TRUE(rs_.AddNew());
  EXPECT_EQ(rs_.GetEditMode(), 1);
  EXPECT_TRUE(rs_.SetFieldValue("StockInfo_ID", "s9"));
  EXPECT_TRUE(rs_.SetFieldValue("StockCode", "300750"));
  EXPECT_TRUE(rs_.SetFieldValue("StockName", ""));
  EXPECT_TRUE(rs_.SetFieldValue("Amount", 2.25));
  ASSERT_TRUE(rs_.Update()) << rs_.GetLastErrorText();
  EXPECT_EQ(rs_.GetEditMode(), 0);
  EXPECT_EQ(rs_.GetRecordCount(), 4);
  // The new row is current and reads back as stored.
  CString code;
  ASSERT_TRUE(rs_.GetFieldValue("StockCode", code));
  EXPECT_EQ(code, "300750");
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockInfo_ID = 's9' AND StockName IS NULL AND Amount = 2.25"),
            1);
}

TEST_F(RecordsetEditTest, DuplicateUniqueKeyFailsAndLeavesTheTable) {
  ASSERT_TRUE(rs_.Open("SELECT StockInfo_ID, StockCode FROM StockInfo"));
  ASSERT_TRUE(rs_.AddNew());
  rs_.SetFieldValue("StockInfo_ID", "s1");
  rs_.SetFieldValue("StockCode", "999999");
  EXPECT_FALSE(rs_.Update());
  EXPECT_EQ(rs_.GetEditMode(), 0);
  EXPECT_EQ(rs_.GetLastError(), 2067u);  // SQLITE_CONSTRAINT_UNIQUE
  EXPECT_NE(rs_.GetLastErrorText().find("CADORecordset Error"), std::string::npos);
  EXPECT_EQ(rs_.GetRecordCount(), 3);
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo"), 3);
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockCode = '999999'"), 0);
  EXPECT_FALSE(db_.InTransaction());
}

TEST_F(RecordsetEditTest, EditAndDeleteByKey) {
  ASSERT_TRUE(rs_.Open("SELECT StockInfo_ID, StockName FROM StockInfo ORDER BY StockInfo_ID"));
  rs_.MoveNext();  // s2
  ASSERT_TRUE(rs_.Edit());
  ASSERT_TRUE(rs_.SetFieldValue("StockName", "改名"));
  ASSERT_TRUE(rs_.Update()) << rs_.GetLastErrorText();
  CString name;
  rs_.GetFieldValue("StockName", name);
  EXPECT_EQ(name, "改名");
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockInfo_ID = 's2' AND StockName = '改名'"), 1);
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockName = '改名'"), 1);
  ASSERT_TRUE(rs_.Delete()) << rs_.GetLastErrorText();
  EXPECT_EQ(rs_.GetRecordCount(), 2);
  CString id;
  rs_.GetFieldValue("StockInfo_ID", id);
  EXPECT_EQ(id, "s3");  // the next row takes its place
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo"), 2);
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockInfo_ID = 's2'"), 0);
}

TEST_F(RecordsetEditTest, KeylessTableMatchesAllColumnsAndDuplicatesFail) {
  ASSERT_TRUE(db_.Execute("INSERT INTO Loose VALUES ('x', 1), ('y', NULL), ('z', 3), ('z', 3)"));
  ASSERT_TRUE(rs_.Open("SELECT a, b FROM Loose ORDER BY rowid"));
  rs_.MoveNext();  // ('y', NULL): NULL must match NULL
  ASSERT_TRUE(rs_.Edit());
  rs_.SetFieldValue("b", 7);
  ASSERT_TRUE(rs_.Update()) << rs_.GetLastErrorText();
  EXPECT_EQ(Count("SELECT b FROM Loose WHERE a = 'y'"), 7);
  rs_.MoveNext();  // one of two identical rows: two rows match
  EXPECT_FALSE(rs_.Delete());
  EXPECT_EQ(rs_.GetLastError(), 4u);
  EXPECT_EQ(Count("SELECT count(*) FROM Loose WHERE a = 'z'"), 2);
  EXPECT_FALSE(db_.InTransaction());
}

TEST_F(RecordsetEditTest, RowChangedUnderneathFails) {
  ASSERT_TRUE(rs_.Open("SELECT StockInfo_ID, StockName FROM StockInfo WHERE StockInfo_ID = 's1'"));
  ASSERT_TRUE(db_.Execute("DELETE FROM StockInfo WHERE StockInfo_ID = 's1'"));
  ASSERT_TRUE(rs_.Edit());
  rs_.SetFieldValue("StockName", "late");
  EXPECT_FALSE(rs_.Update());
  EXPECT_EQ(rs_.GetEditMode(), 0);
  EXPECT_NE(rs_.GetLastErrorText().find("0 rows matched"), std::string::npos);
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockName = 'late'"), 0);
}

TEST_F(RecordsetEditTest, JoinAndExpressionsAreNotUpdatable) {
  ASSERT_TRUE(db_.Execute("INSERT INTO Loose VALUES ('600000', 1)"));
  ASSERT_TRUE(rs_.Open("SELECT s.StockName, l.b FROM StockInfo s JOIN Loose l ON l.a = s.StockCode"));
  EXPECT_FALSE(rs_.IsUpdatable());
  EXPECT_FALSE(rs_.Edit());
  EXPECT_EQ(rs_.GetEditMode(), 0);
  EXPECT_NE(rs_.GetLastErrorText().find("not updatable"), std::string::npos);
  EXPECT_FALSE(rs_.AddNew());
  EXPECT_FALSE(rs_.Delete());
  ASSERT_TRUE(rs_.Open("SELECT count(*) FROM StockInfo"));
  EXPECT_FALSE(rs_.IsUpdatable());
}

TEST_F(RecordsetEditTest, ReadOnlyAndLockedDatabasesFailCleanly) {
  CADODataBase readOnly;
  readOnly.SetReadOnly(true);
  ASSERT_TRUE(readOnly.Open("Data Source=" + path_));
  CADORecordset ro(&readOnly);
  ASSERT_TRUE(ro.Open("SELECT StockInfo_ID, StockName FROM StockInfo"));
  ASSERT_TRUE(ro.Edit());
  ro.SetFieldValue("StockName", "ro");
  EXPECT_FALSE(ro.Update());
  EXPECT_EQ(ro.GetLastError() & 0xFF, 8u);  // SQLITE_READONLY

  CADODataBase other;
  other.SetConnectionTimeout(1);
  ASSERT_TRUE(other.Open("Data Source=" + path_));
  ASSERT_TRUE(db_.BeginTrans());  // holds the write lock
  CADORecordset rs(&other);
  ASSERT_TRUE(rs.Open("SELECT StockInfo_ID, StockName FROM StockInfo"));
  ASSERT_TRUE(rs.Edit());
  rs.SetFieldValue("StockName", "busy");
  EXPECT_FALSE(rs.Update());
  EXPECT_EQ(rs.GetLastError() & 0xFF, 5u);  // SQLITE_BUSY
  EXPECT_FALSE(other.InTransaction());
  ASSERT_TRUE(db_.RollbackTrans());
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockName IN ('ro', 'busy')"), 0);
}

TEST_F(RecordsetEditTest, FindDirectionsAndFindNextWalkBothWays) {
  ASSERT_TRUE(rs_.Open("SELECT StockInfo_ID, StockCode, StockName FROM StockInfo ORDER BY StockInfo_ID"));
  EXPECT_FALSE(rs_.Find("StockCode LIKE '600*'", 0));
  EXPECT_EQ(rs_.GetLastError(), 0u);
  ASSERT_TRUE(rs_.Find("StockCode LIKE '600*'", 1));
  CString id;
  rs_.GetFieldValue("StockInfo_ID", id);
  EXPECT_EQ(id, "s1");
  ASSERT_TRUE(rs_.FindNext());
  rs_.GetFieldValue("StockInfo_ID", id);
  EXPECT_EQ(id, "s3");
  EXPECT_FALSE(rs_.FindNext());
  EXPECT_TRUE(rs_.IsEof());
  ASSERT_TRUE(rs_.Find("StockCode LIKE '%00%'", -1));  // from the end backward
  rs_.GetFieldValue("StockInfo_ID", id);
  EXPECT_EQ(id, "s3");
  ASSERT_TRUE(rs_.FindNext());
  rs_.GetFieldValue("StockInfo_ID", id);
  EXPECT_EQ(id, "s2");
  ASSERT_TRUE(rs_.FindNext());
  rs_.GetFieldValue("StockInfo_ID", id);
  EXPECT_EQ(id, "s1");
  EXPECT_FALSE(rs_.FindNext());
  EXPECT_TRUE(rs_.IsBof());
  // Quotes are data.
  ASSERT_TRUE(rs_.FindFirst("StockName = 'O''Brien'"));
  rs_.GetFieldValue("StockInfo_ID", id);
  EXPECT_EQ(id, "s3");
  EXPECT_FALSE(rs_.FindFirst("StockName = 'x' OR 1=1"));
  EXPECT_FALSE(rs_.FindFirst("Nope = 1"));
  EXPECT_NE(rs_.GetLastErrorText().find("no such column: Nope"), std::string::npos);
}

TEST_F(RecordsetEditTest, FilterSortBookmarksAndClone) {
  ASSERT_TRUE(db_.Execute("INSERT INTO Loose VALUES ('b', 2), ('a', 2), ('c', 1), ('d', NULL), ('a', 1)"));
  ASSERT_TRUE(rs_.Open("SELECT a, b FROM Loose ORDER BY rowid"));
  ASSERT_TRUE(rs_.SetFilter("b = 2 OR a = 'd' AND b = NULL"));
  EXPECT_EQ(rs_.GetRecordCount(), 3);
  EXPECT_TRUE(rs_.SetFilter("(a = 'a' OR a = 'b') AND b >= 2"));
  EXPECT_EQ(rs_.GetRecordCount(), 2);
  EXPECT_FALSE(rs_.SetFilter("b = "));
  EXPECT_NE(rs_.GetLastErrorText().find("malformed filter"), std::string::npos);
  EXPECT_EQ(rs_.GetRecordCount(), 2);  // the old filter stays
  ASSERT_TRUE(rs_.SetFilter(""));
  EXPECT_EQ(rs_.GetRecordCount(), 5);

  ASSERT_TRUE(rs_.SetSort("b DESC, a"));
  std::string order;
  CString a;
  rs_.MoveNext();  // sorted: (a,2) (b,2) (a,1) (c,1) (d,NULL); now on (b,2)
  ASSERT_TRUE(rs_.GetBookmark());
  rs_.MoveFirst();
  for (; !rs_.IsEof(); rs_.MoveNext()) {
    rs_.GetFieldValue("a", a);
    order += a;
  }
  EXPECT_EQ(order, "abacd");
  ASSERT_TRUE(rs_.SetSort("a DESC"));
  ASSERT_TRUE(rs_.SetBookmark());
  long b = 0;
  rs_.GetFieldValue("a", a);
  rs_.GetFieldValue("b", b);
  EXPECT_EQ(a, "b");
  EXPECT_EQ(b, 2);
  // Equal keys keep their order: the two 'a' rows stay in stored order (2 before 1).
  ASSERT_TRUE(rs_.SetSort("a"));
  rs_.GetFieldValue("b", b);
  EXPECT_EQ(b, 2);
  ASSERT_TRUE(rs_.SetSort(""));
  rs_.GetFieldValue("a", a);
  EXPECT_EQ(a, "b");

  CADORecordset clone;
  ASSERT_TRUE(rs_.Clone(clone));
  ASSERT_TRUE(rs_.Edit());
  rs_.SetFieldValue("a", "B!");
  ASSERT_TRUE(rs_.Update()) << rs_.GetLastErrorText();
  clone.GetFieldValue("a", a);
  EXPECT_EQ(a, "B!");
}

TEST_F(RecordsetEditTest, GetStringDefaultsAndNulls) {
  ASSERT_TRUE(db_.Execute("INSERT INTO Loose VALUES ('x', 1), (NULL, 2)"));
  ASSERT_TRUE(rs_.Open("SELECT a, b FROM Loose ORDER BY rowid"));
  EXPECT_EQ(rs_.GetString(), "x\t1\r\t2\r");
  EXPECT_TRUE(rs_.IsEof());
  rs_.MoveFirst();
  EXPECT_EQ(rs_.GetString(",", "\n", "<null>", 1), "x,1\n");
  EXPECT_EQ(rs_.GetString(",", "\n", "<null>", 1), "<null>,2\n");
}

TEST_F(RecordsetEditTest, ChunksRoundTripAMegabyte) {
  std::string bytes(1 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131) ^ (i >> 8));
  ASSERT_TRUE(rs_.Open("SELECT id, data FROM Blobs"));
  EXPECT_FALSE(rs_.AppendChunk("data", bytes.data(), 10));  // no edit pending
  ASSERT_TRUE(rs_.AddNew());
  rs_.SetFieldValue("id", 1);
  for (std::size_t off = 0; off < bytes.size(); off += 65536) {
    ASSERT_TRUE(rs_.AppendChunk("data", bytes.data() + off, 65536));
  }
  ASSERT_TRUE(rs_.Update()) << rs_.GetLastErrorText();

  CADORecordset fresh(&db_);
  ASSERT_TRUE(fresh.Open("SELECT data FROM Blobs WHERE id = 1"));
  CADOFieldInfo info;
  ASSERT_TRUE(fresh.DescribeField("data", info));
  EXPECT_EQ(info.m_lSize, 1 << 20);
  EXPECT_EQ(info.m_nType, 205);
  std::string back(bytes.size(), 'z');
  std::string shortBlock(bytes.size() - 1, 'z');
  EXPECT_FALSE(fresh.GetChunk("data", shortBlock.data(), shortBlock.size()));
  EXPECT_EQ(shortBlock, std::string(bytes.size() - 1, 'z'));
  ASSERT_TRUE(fresh.GetChunk("data", back.data(), back.size()));
  EXPECT_EQ(back, bytes);
  CString text;
  ASSERT_TRUE(fresh.GetChunk("data", text));
  EXPECT_EQ(text, bytes);
}

TEST_F(RecordsetEditTest, DescribeFieldCutsLongNames) {
  const std::string name(40, 'N');
  ASSERT_TRUE(db_.Execute("CREATE TABLE Wide (\"" + name + "\" VARCHAR(50) NOT NULL)"));
  ASSERT_TRUE(db_.Execute("INSERT INTO Wide VALUES ('abc')"));
  ASSERT_TRUE(rs_.Open("SELECT * FROM Wide"));
  struct {
    CADOFieldInfo info;
    char guard[8];
  } box;
  std::memset(box.guard, 0x5A, sizeof box.guard);
  ASSERT_TRUE(rs_.DescribeField(0, box.info));
  EXPECT_EQ(std::string(box.info.m_strName), std::string(29, 'N'));
  EXPECT_EQ(box.info.m_nType, 202);
  EXPECT_EQ(box.info.m_lDefinedSize, 50);
  EXPECT_EQ(box.info.m_lSize, 3);
  EXPECT_EQ(box.info.m_lAttributes & 0x20, 0);  // NOT NULL
  EXPECT_EQ(box.info.m_lAttributes & 0x4, 0x4);
  for (const char g : box.guard) EXPECT_EQ(g, 0x5A);
}

TEST_F(RecordsetEditTest, SaveAndLoadRoundTripEveryDeclaredType) {
  ASSERT_TRUE(db_.Execute("CREATE TABLE Typed (s SMALLINT, i INTEGER, f SINGLE, r REAL, d DATETIME, b BIT, "
                          "m CURRENCY, n DECIMAL, t TEXT, x BLOB)"));
  ASSERT_TRUE(db_.Execute("INSERT INTO Typed VALUES (-7, 5000000000, 1.5, 0.1, '2017-02-06', 1, 12.3456, 42, "
                          "'a<b>&\"c\"\n\t中', X'00FF10')"));
  ASSERT_TRUE(db_.Execute("INSERT INTO Typed VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '', NULL)"));
  ASSERT_TRUE(rs_.Open("SELECT * FROM Typed ORDER BY rowid"));
  const std::string file = dir_.File("saved.xml");
  ASSERT_TRUE(rs_.SaveXml(file)) << rs_.GetLastErrorText();

  CADORecordset loaded;
  ASSERT_TRUE(loaded.LoadXml(file)) << loaded.GetLastErrorText();
  EXPECT_TRUE(loaded.IsOpen());
  ASSERT_EQ(loaded.GetRecordCount(), 2);
  for (int row = 0; row < 2; ++row) {
    for (int c = 0; c < rs_.GetFieldCount(); ++c) {
      CADOVariant a, b;
      ASSERT_TRUE(rs_.GetFieldValue(c, a));
      ASSERT_TRUE(loaded.GetFieldValue(c, b));
      EXPECT_EQ(a.type, b.type) << "row " << row << " column " << c;
      EXPECT_EQ(a.intVal, b.intVal);
      EXPECT_EQ(a.dblVal, b.dblVal);
      EXPECT_EQ(a.strVal, b.strVal);
      EXPECT_EQ(a.decVal.mantissa, b.decVal.mantissa);
    }
    rs_.MoveNext();
    loaded.MoveNext();
  }
  // Edits of a loaded recordset stay in memory until saved again.
  loaded.MoveFirst();
  ASSERT_TRUE(loaded.Edit());
  loaded.SetFieldValue("t", "changed");
  ASSERT_TRUE(loaded.Update());
  ASSERT_TRUE(loaded.SaveXml(file));
  CADORecordset again;
  ASSERT_TRUE(again.LoadXml(file));
  CString t;
  again.GetFieldValue("t", t);
  EXPECT_EQ(t, "changed");
}

TEST_F(RecordsetEditTest, BadXmlLeavesTheRecordsetClosed) {
  const std::string file = dir_.File("bad.xml");
  ASSERT_TRUE(rs_.Open("SELECT * FROM Loose"));
  ASSERT_TRUE(rs_.SaveXml(file));
  std::string good;
  ASSERT_EQ(ReadFileBytes(file, good), FileReadResult::Ok);
  for (const std::string& bad : {std::string(""), std::string("<recordset/>"), good.substr(0, good.size() - 3),
                                 good + "<x/>"}) {
    ASSERT_TRUE(ReplaceFileContents(file, bad));
    CADORecordset loaded;
    EXPECT_FALSE(loaded.LoadXml(file)) << bad;
    EXPECT_FALSE(loaded.IsOpen());
    EXPECT_NE(loaded.GetLastErrorText().find("CADORecordset Error"), std::string::npos);
  }
  EXPECT_FALSE(rs_.LoadXml(dir_.File("missing.xml")));
  EXPECT_FALSE(rs_.IsOpen());
  EXPECT_FALSE(rs_.SaveXml(dir_.File("nofolder/x.xml")));
}

TEST_F(RecordsetEditTest, OpenSchemaListsTablesAndColumns) {
  ASSERT_TRUE(rs_.OpenSchema(CADORecordset::schemaTables)) << rs_.GetLastErrorText();
  std::vector<std::string> tables;
  for (CString name; !rs_.IsEof(); rs_.MoveNext()) {
    rs_.GetFieldValue("TABLE_NAME", name);
    tables.push_back(name);
  }
  EXPECT_NE(std::find(tables.begin(), tables.end(), "StockInfo"), tables.end());
  EXPECT_NE(std::find(tables.begin(), tables.end(), "Loose"), tables.end());
  ASSERT_TRUE(rs_.OpenSchema(CADORecordset::schemaColumns));
  ASSERT_TRUE(rs_.SetFilter("TABLE_NAME = 'Loose'"));
  EXPECT_EQ(rs_.GetString(",", ";"), "Loose,a,1,TEXT,1,;Loose,b,2,INTEGER,1,;");
  ASSERT_TRUE(rs_.OpenSchema(CADORecordset::schemaPrimaryKeys));
  ASSERT_TRUE(rs_.FindFirst("TABLE_NAME = 'Blobs'"));
  EXPECT_FALSE(rs_.OpenSchema(99));
  EXPECT_FALSE(rs_.IsOpen());
  EXPECT_NE(rs_.GetLastErrorText().find("schema rowset 99"), std::string::npos);
}

TEST_F(RecordsetEditTest, BindingFillsMembersOnEveryMove) {
  ASSERT_TRUE(rs_.Open("SELECT StockInfo_ID, StockCode, Amount FROM StockInfo ORDER BY StockInfo_ID"));
  CString id, code;
  double amount = 0;
  CADORecordBinding binding;
  binding.Bind("StockInfo_ID", &id);
  binding.Bind("StockCode", &code);
  binding.Bind("Amount", &amount);
  ASSERT_TRUE(rs_.BindRecord(binding));
  EXPECT_EQ(id, "s1");
  EXPECT_EQ(amount, 1.5);
  rs_.MoveNext();
  EXPECT_EQ(id, "s2");
  EXPECT_EQ(code, "000001");
  rs_.MoveNext();
  rs_.MoveNext();  // at the end: members keep the last row
  EXPECT_EQ(id, "s3");
  id = "s7";
  code = "688001";
  amount = 9.0;
  ASSERT_TRUE(rs_.AddNew(binding)) << rs_.GetLastErrorText();
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockInfo_ID = 's7' AND Amount = 9"), 1);
  CADORecordBinding wrong;
  wrong.Bind("Missing", &id);
  EXPECT_FALSE(rs_.BindRecord(wrong));
}

TEST_F(RecordsetEditTest, ExecuteKeepsTheCommandsRows) {
  CADOCommand command(&db_, "SELECT StockInfo_ID FROM StockInfo WHERE StockCode LIKE ? ORDER BY 1");
  ASSERT_TRUE(command.AddParameter("", adVarChar, adParamInput, 0, std::string("600%")));
  ASSERT_TRUE(rs_.Execute(command)) << rs_.GetLastErrorText();
  EXPECT_EQ(rs_.GetString(), "s1\rs3\r");
  CADOCommand proc(&db_, "sp_x", adCmdStoredProc);
  EXPECT_FALSE(rs_.Execute(proc));
  EXPECT_NE(rs_.GetLastErrorText().find("stored procedures"), std::string::npos);
}

TEST_F(RecordsetEditTest, PlainReadsRunOneStatementAndKeysAreLookedUpOnEdit) {
  std::vector<std::string> statements;
  db_.SetStatementTrace([&](const std::string& sql) { statements.push_back(sql); });
  ASSERT_TRUE(rs_.Open("SELECT StockInfo_ID, StockName FROM StockInfo"));
  EXPECT_EQ(statements.size(), 1u);
  ASSERT_TRUE(rs_.Edit());
  EXPECT_GT(statements.size(), 1u);
  rs_.SetFieldValue("StockName", "x'; DROP TABLE StockInfo; --");
  ASSERT_TRUE(rs_.Update()) << rs_.GetLastErrorText();
  db_.SetStatementTrace(nullptr);
  const auto update = std::find_if(statements.begin(), statements.end(),
                                   [](const std::string& s) { return s.rfind("UPDATE", 0) == 0; });
  ASSERT_NE(update, statements.end());
  EXPECT_EQ(*update,
            "UPDATE \"main\".\"StockInfo\" SET \"StockName\" = ? WHERE \"StockInfo_ID\" IS ? RETURNING \"StockInfo_ID\", "
            "\"StockName\"");
  EXPECT_EQ(Count("SELECT count(*) FROM StockInfo WHERE StockName = ?", {"x'; DROP TABLE StockInfo; --"}), 1);
}
