// Taking over an older installation: its branch marks and settings copied into the
// current files, its own files left byte for byte as they were.
#include "charting/upgrade_migrator.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "storage/charset.h"
#include "storage/ini_file.h"
#include "storage/row_cursor.h"
#include "storage/schema.h"

namespace fs = std::filesystem;

namespace {

// Every file of a folder with its bytes.
std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files.emplace_back(entry.path().filename().string(), ReadWholeFile(entry.path().string()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

const char* const kCurrentIni =
    "[system]\r\n"
    "TDX_DIR=/home/u/.wine/drive_c/new_tdx/TdxW.exe\r\n"
    "SystemType=3\r\n"
    "[YYBInfo]\r\n"
    "YYB1_Name=当前1\r\nYYB2_Name=当前2\r\nYYB3_Name=当前3\r\nYYB4_Name=当前4\r\nYYB5_Name=当前5\r\n"
    "YYB6_Name=当前6\r\nYYB7_Name=当前7\r\nYYB8_Name=当前8\r\nYYB9_Name=当前9\r\nYYB10_Name=当前10\r\n"
    "YYB11_Name=当前11\r\nYYB12_Name=当前12\r\n"
    "; kept as it is\r\n"
    "[BuySellColor]\r\nBuyMoney1_Color=255\r\n";

class UpgradeMigratorTest : public testing::Test {
 protected:
  UpgradeMigratorTest()
      : current_(Options()), currentDb_(current_.Path()), old_(MakeTempFolder("velkor-old")) {}
  ~UpgradeMigratorTest() override {
    std::error_code ec;
    fs::permissions(old_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(old_, ec);
  }
  static TempProgramFolder::Options Options() {
    TempProgramFolder::Options o;
    o.withIni = true;
    o.iniText = kCurrentIni;
    o.setGlobals = false;
    return o;
  }

  // The older installation's "Custom.mdb" made by the schema code, then closed (its
  // log folded into the file), as an older copy of this program leaves it.
  template <typename Fill>
  void MakeOldSchemaDb(Fill fill) {
    DbBuilder old(old_);
    fill(old);
  }
  // An older table of another shape, made with plain SQL.
  void MakeOldDb(const std::string& sql) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2((old_ + "/Custom.mdb").c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr),
              SQLITE_OK);
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_close(raw);
  }
  void WriteOldIni(const std::string& utf8Text) { WriteWholeFile(old_ + "/sysinfo.ini", ToGbk(utf8Text)); }

  UpgradeMigrator Migrator() { return UpgradeMigrator(old_, currentDb_.User(), current_.File("sysinfo.ini")); }

  std::vector<BranchMark> CurrentMarksByRowid() {
    std::vector<BranchMark> marks;
    RowCursor rows(currentDb_.User(),
                   "SELECT YYBName, Abbreviation, IFNULL(TeamName, '<null>'), YYBMark, Number1, Color, IsLike, "
                   "TeamNumber FROM YYBMark ORDER BY rowid");
    while (rows.Next()) {
      BranchMark m;
      m.YYBName = std::string(rows.Text(0));
      m.Abbreviation = std::string(rows.Text(1));
      m.TeamName = std::string(rows.Text(2));
      m.YYBMark = std::string(rows.Text(3));
      m.Number1 = static_cast<int>(rows.Int(4));
      m.Color = static_cast<COLORREF>(rows.Int(5));
      m.IsLike = static_cast<int>(rows.Int(6));
      m.TeamNumber = static_cast<int>(rows.Int(7));
      marks.push_back(m);
    }
    return marks;
  }
  std::string CurrentValue(const char* section, const std::string& key) {
    return GetPrivateProfileString(section, key, "<missing>", current_.File("sysinfo.ini"));
  }

  TempProgramFolder current_;
  DbBuilder currentDb_;
  std::string old_;
};

}  // namespace

TEST(OldFolderOfTest, CutsBeforeTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(OldFolderOf("D:\\old\\x.exe"), "D:\\old");
  EXPECT_EQ(OldFolderOf("/home/u/old/velkordesk"), "/home/u/old");
  EXPECT_EQ(OldFolderOf("noslash"), "");
  EXPECT_EQ(OldFolderOf("/home/u/wine\\drive_c/old\\x.exe"), "/home/u/wine\\drive_c/old");
  EXPECT_EQ(OldFolderOf("/x"), "");
  EXPECT_EQ(OldFolderOf(""), "");
}

TEST(MigrationTextsTest, FailureCountText) {
  EXPECT_EQ(MarkFailuresText(3), "（3 条营业部标记未能写入）");
  EXPECT_EQ(MarkFailuresText(12), "（12 条营业部标记未能写入）");
}

// ---------------------------------------------------------------------------------
// Branch marks

TEST_F(UpgradeMigratorTest, UpdatesBranchesInPlaceAndInsertsTheNewOnesWithTheirTeams) {
  currentDb_.AddMark("国泰君安上海江苏路", 1, 100, 0, 0, "江苏路", "当前备注", "当前团队");
  currentDb_.AddMark("Only Current", 2, 100, 0, 0, "OC", "", "");
  MakeOldSchemaDb([](DbBuilder& old) {
    old.AddMark("无编号蓝", 0, 0xFF0000, 0, 0, "蓝", "", "");
    old.AddMark("GUOTAI JUNAN", 0, 5, 0, 0, "GJ", "", "");  // a name in another case
    old.AddMark("国泰君安上海江苏路", 7, 255, 1, 201, "江苏", "老备注", "老团队");
    old.AddMark("A'B营业部", 3, 0x00FF00, 1, 300, "A\"B", "备注 'quoted' \"too\"", "O\"Team");
    old.AddMark("无编号红", -1, 0x0000FF, 0, 0, "红", "", "");
  });
  currentDb_.AddMark("Guotai Junan", 9, 100, 0, 0, "gj", "", "kept spelling");
  const auto before = Snapshot(old_);

  UpgradeMigrator migrator = Migrator();
  std::string message = "untouched";
  ASSERT_EQ(migrator.OpenOldCustomDb(&message), 0);
  EXPECT_EQ(message, "");
  EXPECT_TRUE(migrator.OldTableHasTeamName());
  const MarkCopyResult result = migrator.MigrateYybMark();
  EXPECT_EQ(result.copied, 5);
  EXPECT_EQ(result.failed, 0);
  migrator.CloseOldCustomDb();
  EXPECT_EQ(Snapshot(old_), before);  // the older file is byte-identical, nothing beside it

  const auto marks = CurrentMarksByRowid();
  ASSERT_EQ(marks.size(), 6u);
  // In place: the rows keep their places and spellings, and take every older value.
  EXPECT_EQ(marks[0].YYBName, "国泰君安上海江苏路");
  EXPECT_EQ(marks[0].Number1, 7);
  EXPECT_EQ(marks[0].Color, 255u);
  EXPECT_EQ(marks[0].IsLike, 1);
  EXPECT_EQ(marks[0].TeamNumber, 201);
  EXPECT_EQ(marks[0].Abbreviation, "江苏");
  EXPECT_EQ(marks[0].YYBMark, "老备注");
  EXPECT_EQ(marks[0].TeamName, "老团队");
  EXPECT_EQ(marks[1].YYBName, "Only Current");
  EXPECT_EQ(marks[1].Number1, 2);
  EXPECT_EQ(marks[2].YYBName, "Guotai Junan");
  EXPECT_EQ(marks[2].Abbreviation, "GJ");
  EXPECT_EQ(marks[2].TeamName, "");
  // New rows: the numbered one first, then the others by colour.
  EXPECT_EQ(marks[3].YYBName, "A'B营业部");
  EXPECT_EQ(marks[3].Abbreviation, "A\"B");
  EXPECT_EQ(marks[3].YYBMark, "备注 'quoted' \"too\"");
  EXPECT_EQ(marks[3].TeamName, "O\"Team");
  EXPECT_EQ(marks[3].TeamNumber, 300);
  EXPECT_EQ(marks[4].YYBName, "无编号红");
  EXPECT_EQ(marks[4].Number1, -1);
  EXPECT_EQ(marks[5].YYBName, "无编号蓝");
  EXPECT_EQ(marks[5].Color, 0xFF0000u);
}

TEST_F(UpgradeMigratorTest, AnOlderTableWithoutTeamNameIsCopiedWithoutIt) {
  currentDb_.AddMark("Both", 1, 100, 0, 0, "B", "", "当前团队");
  MakeOldDb(
      "CREATE TABLE YYBMark (YYBName TEXT, Number1 INTEGER, Color INTEGER, IsLike INTEGER, TeamNumber INTEGER, "
      "Abbreviation TEXT, YYBMark TEXT);"
      "INSERT INTO YYBMark VALUES ('both', 4, 10, 1, 250, 'BB', 'x');"
      "INSERT INTO YYBMark VALUES ('It''s new', 5, 20, 0, 0, 'N', 'with '' quote');");
  const auto before = Snapshot(old_);
  UpgradeMigrator migrator = Migrator();
  ASSERT_EQ(migrator.OpenOldCustomDb(), 0);
  EXPECT_FALSE(migrator.OldTableHasTeamName());
  const MarkCopyResult result = migrator.MigrateYybMark();
  EXPECT_EQ(result.copied, 2);
  EXPECT_EQ(result.failed, 0);
  migrator.CloseOldCustomDb();
  EXPECT_EQ(Snapshot(old_), before);

  const auto marks = CurrentMarksByRowid();
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].YYBName, "Both");
  EXPECT_EQ(marks[0].Number1, 4);
  EXPECT_EQ(marks[0].TeamNumber, 250);
  EXPECT_EQ(marks[0].TeamName, "当前团队");  // an update keeps the current team name
  EXPECT_EQ(marks[1].YYBName, "It's new");
  EXPECT_EQ(marks[1].YYBMark, "with ' quote");
  EXPECT_EQ(marks[1].TeamName, "<null>");  // not written at all
}

TEST_F(UpgradeMigratorTest, MarksTheEditorRefusesAreListedWithTheirReasonsAndNotCopied) {
  MakeOldDb(
      "CREATE TABLE YYBMark (YYBName TEXT, Number1, Color INTEGER, IsLike INTEGER, TeamNumber, "
      "Abbreviation TEXT, YYBMark TEXT, TeamName TEXT);"
      "INSERT INTO YYBMark VALUES ('  text numbers ', 12, 1, 0, ' 205', ' T ', '', ' team ');"
      "INSERT INTO YYBMark VALUES ('same again', ' 12 ', 3, 0, 0, 'A', '', '');"
      "INSERT INTO YYBMark VALUES ('too high', 200, 4, 0, 0, 'H', '', '');"
      "INSERT INTO YYBMark VALUES ('quoted', 0, 6, 0, 0, 'O''B', '', '');"
      "INSERT INTO YYBMark VALUES (NULL, 0, 8, 0, 0, 'nameless', '', '');"
      "INSERT INTO YYBMark VALUES ('null number', NULL, NULL, NULL, NULL, NULL, NULL, NULL);");
  UpgradeMigrator migrator = Migrator();
  ASSERT_EQ(migrator.OpenOldCustomDb(), 0);
  const MarkCopyResult result = migrator.MigrateYybMark();
  EXPECT_EQ(result.copied, 2);
  EXPECT_EQ(result.failed, 0);
  // In the order read: numbered rows by number (texts after numbers), then the others.
  EXPECT_EQ(result.refused, (std::vector<MarkRefusal>{{"too high", kMarkNumberRangeText},
                                                      {"same again", kMarkNumberTakenText},
                                                      {"quoted", kSeriesNameRuleText},
                                                      {"", kMarkNameEmptyText}}));
  EXPECT_EQ(MarkRefusalsText({{"a", "b"}, {"c", "d"}}), std::string(kMarksRefusedHeading) + "\na：b\nc：d");
  const auto marks = CurrentMarksByRowid();
  ASSERT_EQ(marks.size(), 2u);
  // Stored trimmed, as the editor stores them.
  EXPECT_EQ(marks[0].YYBName + marks[0].Abbreviation + marks[0].TeamName, "text numbersTteam");
  EXPECT_EQ(marks[0].TeamNumber, 205);
}

TEST_F(UpgradeMigratorTest, ACurrentDatabaseThatRefusesWritesGetsNothingAndEveryRowCountsAsFailed) {
  currentDb_.AddMark("Both", 1, 100, 0, 0, "B", "", "");
  MakeOldSchemaDb([](DbBuilder& old) {
    old.AddMark("Both", 2, 1, 0, 0, "B2", "", "");
    old.AddMark("New", 3, 1, 0, 0, "N", "", "");
  });
  CADODataBase readOnly;
  readOnly.SetReadOnly(true);
  ASSERT_TRUE(readOnly.Open("Data Source=" + currentDb_.UserPath()));
  {
    UpgradeMigrator migrator(old_, readOnly, current_.File("sysinfo.ini"));
    ASSERT_EQ(migrator.OpenOldCustomDb(), 0);
    const MarkCopyResult result = migrator.MigrateYybMark();
    EXPECT_EQ(result.copied, 0);
    EXPECT_EQ(result.failed, 2);
  }
  {
    // Locked by another writer beyond the busy timeout.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(currentDb_.UserPath().c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    CADODataBase locked;
    locked.SetConnectionTimeout(1);
    ASSERT_TRUE(locked.Open("Data Source=" + currentDb_.UserPath()));
    UpgradeMigrator migrator(old_, locked, current_.File("sysinfo.ini"));
    ASSERT_EQ(migrator.OpenOldCustomDb(), 0);
    const MarkCopyResult result = migrator.MigrateYybMark();
    EXPECT_EQ(result.copied, 0);
    EXPECT_EQ(result.failed, 2);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
  }
  const auto marks = CurrentMarksByRowid();
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].Number1, 1);
}

TEST_F(UpgradeMigratorTest, UpsertAloneWritesOneRowAndNothingIsCopiedBeforeTheOpen) {
  UpgradeMigrator migrator = Migrator();
  EXPECT_FALSE(migrator.IsOldCustomDbOpen());
  const MarkCopyResult none = migrator.MigrateYybMark();
  EXPECT_EQ(none.copied, 0);
  EXPECT_EQ(none.failed, 0);
  BranchMark row;
  row.YYBName = "单独";
  row.TeamName = "队";
  row.Color = 7;
  EXPECT_TRUE(migrator.UpsertYybMark(row, "15", "x"));
  row.Color = 8;
  EXPECT_TRUE(migrator.UpsertYybMark(row, "-3", "220"));
  const auto marks = CurrentMarksByRowid();
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].Number1, -3);
  EXPECT_EQ(marks[0].TeamNumber, 220);
  EXPECT_EQ(marks[0].Color, 8u);
  EXPECT_EQ(marks[0].TeamName, "队");
  row.YYBName = "";
  EXPECT_FALSE(migrator.UpsertYybMark(row, "1", "0"));
  currentDb_.User().Close();
  row.YYBName = "关闭后";
  EXPECT_FALSE(migrator.UpsertYybMark(row, "1", "0"));
}

// ---------------------------------------------------------------------------------
// Opening the older database

TEST_F(UpgradeMigratorTest, OlderDatabasesThatCannotBeUsedGiveTheirMessages) {
  UpgradeMigrator migrator = Migrator();
  std::string message;
  EXPECT_EQ(migrator.OpenOldCustomDb(&message), -1);
  EXPECT_EQ(message, "打开 老数据库Custom.mdb 错误");
  EXPECT_FALSE(fs::exists(old_ + "/Custom.mdb"));  // never made

  const struct {
    std::string bytes;
    std::string message;
  } cases[] = {
      {std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20) + std::string(4076, '\x11'),
       "打开 老数据库Custom.mdb 错误（不支持的旧数据库格式）"},
      {std::string("\x00\x01\x00\x00Standard ACE DB\x00", 20) + std::string(100, '\x22'),
       "打开 老数据库Custom.mdb 错误（不支持的旧数据库格式）"},
      {"this is no database at all, just some text", "打开 老数据库Custom.mdb 错误（不支持的旧数据库格式）"},
      {std::string("SQLite format", 13), "打开 老数据库Custom.mdb 错误（不支持的旧数据库格式）"},
      {std::string("SQLite format 3\0", 16) + std::string(4080, '\xEE'),
       "打开 老数据库Custom.mdb 错误（不支持的旧数据库格式）"},
      {"", "打开 老数据库Custom.mdb 错误（旧数据库中没有营业部标记表YYBMark）"},
  };
  for (const auto& c : cases) {
    WriteWholeFile(old_ + "/Custom.mdb", c.bytes);
    message.clear();
    EXPECT_EQ(migrator.OpenOldCustomDb(&message), -1);
    EXPECT_EQ(message, c.message);
    EXPECT_FALSE(migrator.IsOldCustomDbOpen());
    EXPECT_EQ(migrator.MigrateYybMark().copied, 0);
    EXPECT_EQ(ReadWholeFile(old_ + "/Custom.mdb"), c.bytes);
    EXPECT_EQ(Snapshot(old_).size(), 1u);  // nothing made beside it
  }
  EXPECT_EQ(migrator.OpenOldCustomDb(), -1);  // no message wanted: still fails
}

TEST_F(UpgradeMigratorTest, AnSqliteFileWithoutTheMarksTableIsRefused) {
  MakeOldDb("CREATE TABLE Other (x INTEGER); INSERT INTO Other VALUES (1);");
  const auto before = Snapshot(old_);
  UpgradeMigrator migrator = Migrator();
  std::string message;
  EXPECT_EQ(migrator.OpenOldCustomDb(&message), -1);
  EXPECT_EQ(message, "打开 老数据库Custom.mdb 错误（旧数据库中没有营业部标记表YYBMark）");
  EXPECT_EQ(Snapshot(old_), before);
  fs::remove(old_ + "/Custom.mdb");
  MakeOldDb("CREATE TABLE YYBMark (Name TEXT, Number1 INTEGER);");
  EXPECT_EQ(migrator.OpenOldCustomDb(&message), -1);
  EXPECT_EQ(message, "打开 老数据库Custom.mdb 错误（旧数据库中没有营业部标记表YYBMark）");
}

TEST_F(UpgradeMigratorTest, AnOlderFolderOfNoPathFindsNoFiles) {
  UpgradeMigrator migrator(OldFolderOf("velkordesk"), currentDb_.User(), current_.File("sysinfo.ini"));
  std::string message;
  EXPECT_EQ(migrator.OpenOldCustomDb(&message), -1);
  EXPECT_EQ(message, "打开 老数据库Custom.mdb 错误");
  EXPECT_TRUE(migrator.MigrateSysInfoIni());
  EXPECT_EQ(current_.ReadFile("sysinfo.ini"), kCurrentIni);
}

TEST_F(UpgradeMigratorTest, ASecondOpenClosesTheFirstAndTheDestructorCloses) {
  MakeOldSchemaDb([](DbBuilder& old) { old.AddMark("甲", 1, 1, 0, 0, "J", "", ""); });
  const auto before = Snapshot(old_);
  {
    UpgradeMigrator migrator = Migrator();
    ASSERT_EQ(migrator.OpenOldCustomDb(), 0);
    ASSERT_EQ(migrator.OpenOldCustomDb(), 0);
    EXPECT_EQ(migrator.MigrateYybMark().copied, 1);
    EXPECT_EQ(migrator.MigrateYybMark().copied, 1);  // again: updated, not doubled
  }
  EXPECT_EQ(CurrentMarksByRowid().size(), 1u);
  EXPECT_EQ(Snapshot(old_), before);
}

// ---------------------------------------------------------------------------------
// Settings

TEST_F(UpgradeMigratorTest, PresentKeysAreCopiedFromGbkAndEverythingElseStays) {
  const std::string oldIni =
      "[system]\r\n"
      "TDX_DIR=D:\\new_tdx\\TdxW.exe\r\n"
      "SystemType=0\r\n"
      "[YYBInfo]\r\n"
      "YYB1_Name=国泰君安上海江苏路\r\n"
      "YYB2_Name=中信证券上海溧阳路\r\n"
      "YYB5_Name=\r\n"
      "YYB11_Name=旧11\r\n"
      "YYB12_Name=旧12\r\n"
      "[BuySellColor]\r\nBuyMoney1_Color=1\r\n";
  WriteOldIni(oldIni);
  const auto before = Snapshot(old_);
  ASSERT_FALSE(IsValidUtf8(before[0].second));  // really GBK bytes
  UpgradeMigrator migrator = Migrator();
  ASSERT_TRUE(migrator.MigrateSysInfoIni());
  EXPECT_EQ(Snapshot(old_), before);

  EXPECT_EQ(current_.ReadFile("sysinfo.ini"),
            "[system]\r\n"
            "TDX_DIR=D:\\new_tdx\\TdxW.exe\r\n"
            "SystemType=3\r\n"
            "[YYBInfo]\r\n"
            "YYB1_Name=国泰君安上海江苏路\r\nYYB2_Name=中信证券上海溧阳路\r\nYYB3_Name=当前3\r\nYYB4_Name=当前4\r\n"
            "YYB5_Name=\r\n"
            "YYB6_Name=当前6\r\nYYB7_Name=当前7\r\nYYB8_Name=当前8\r\nYYB9_Name=当前9\r\nYYB10_Name=当前10\r\n"
            "YYB11_Name=当前11\r\nYYB12_Name=当前12\r\n"
            "; kept as it is\r\n"
            "[BuySellColor]\r\nBuyMoney1_Color=255\r\n");
}

TEST_F(UpgradeMigratorTest, KeysNewToTheCurrentFileAreAddedAndLongValuesCut) {
  const std::string longName(300, 'n');
  WriteOldIni("[YYBInfo]\nYYB10_Name=" + longName + "\n");
  WriteWholeFile(current_.File("sysinfo.ini"), "[system]\nIsTDX=0\n");
  UpgradeMigrator migrator = Migrator();
  ASSERT_TRUE(migrator.MigrateSysInfoIni());
  EXPECT_EQ(current_.ReadFile("sysinfo.ini"), "[system]\nIsTDX=0\n[YYBInfo]\nYYB10_Name=" + longName.substr(0, 255) + "\n");
  EXPECT_EQ(CurrentValue("system", "TDX_DIR"), "<missing>");  // not in the old file: not written as "0"
}

TEST_F(UpgradeMigratorTest, AMissingOrEmptyOlderIniChangesNothing) {
  UpgradeMigrator migrator = Migrator();
  EXPECT_TRUE(migrator.MigrateSysInfoIni());
  EXPECT_EQ(current_.ReadFile("sysinfo.ini"), kCurrentIni);
  WriteOldIni("[system]\r\nSystemType=1\r\n[YYBInfo]\r\nYYB11_Name=x\r\n");
  EXPECT_TRUE(migrator.MigrateSysInfoIni());
  EXPECT_EQ(current_.ReadFile("sysinfo.ini"), kCurrentIni);
  EXPECT_FALSE(fs::exists(old_ + "/Custom.mdb"));
}

TEST_F(UpgradeMigratorTest, AReadOnlyCurrentIniIsReportedAndUnchanged) {
  WriteOldIni("[system]\r\nTDX_DIR=/old/TdxW.exe\r\n");
  ASSERT_EQ(chmod(current_.File("sysinfo.ini").c_str(), 0444), 0);
  UpgradeMigrator migrator = Migrator();
  EXPECT_FALSE(migrator.MigrateSysInfoIni());
  EXPECT_EQ(current_.ReadFile("sysinfo.ini"), kCurrentIni);
}
