#include "app/startup.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>

#include <filesystem>

#include "../support/db_builder.h"
#include "../support/temp_program_folder.h"
#include "platform/app_paths.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "storage/ado_recordset.h"
#include "storage/charset.h"

namespace fs = std::filesystem;

namespace {

int SchemaVersionOf(CADODataBase& db) {
  CADORecordset rs(&db);
  if (!rs.Open("SELECT Version FROM SchemaVersion") || rs.IsEof()) return -1;
  int version = -1;
  rs.GetFieldValue("Version", version);
  return version;
}

class StartupTest : public testing::Test {
 protected:
  void TearDown() override {
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }
};

std::vector<std::string> BoxTexts() {
  std::vector<std::string> texts;
  for (const auto& box : MessageBoxHook::Instance().TakeRecorded()) texts.push_back(box.text);
  return texts;
}

}  // namespace

TEST_F(StartupTest, PrepareDataFolderSetsTheGlobalsAndCreatesTheExportFolder) {
  TempProgramFolder folder;
  ASSERT_FALSE(folder.Exists("临时文件"));
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  EXPECT_EQ(g_szAppFolder, folder.Path());
  EXPECT_EQ(g_szAppFolderSlash, folder.Path() + "/");
  EXPECT_TRUE(fs::is_directory(folder.File("临时文件")));
  // An existing export folder and its files stay as they are.
  folder.WriteFile("临时文件/keep.txt", "x");
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  EXPECT_EQ(folder.ReadFile("临时文件/keep.txt"), "x");
}

TEST_F(StartupTest, PrepareDataFolderRefusesAMissingFolder) {
  EXPECT_FALSE(PrepareDataFolder("/nonexistent/velkor/folder"));
}

TEST_F(StartupTest, AFolderReasonNeverCarriesTheSystemsEnglish) {
  EXPECT_EQ(FolderErrorReason(EIO), "读写出错");
  EXPECT_EQ(FolderErrorReason(ELOOP), "系统错误" + std::to_string(ELOOP));
}

TEST_F(StartupTest, MissingDatabasesAreCreatedAtTheCurrentVersionWithoutABox) {
  TempProgramFolder folder;
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  EXPECT_EQ(OpenCjhbDatabase(), 0);
  EXPECT_EQ(OpenCustomDatabase(), 0);
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(SchemaVersionOf(g_ADODatabase), 1);
  EXPECT_EQ(SchemaVersionOf(g_ADODatabase_Custom), 1);
  EXPECT_TRUE(g_ADODatabase.Execute("INSERT INTO StockInfo (StockInfo_ID) VALUES (?)", {"2017-02-06,600000"}));
  EXPECT_TRUE(g_ADODatabase_Custom.Execute("INSERT INTO YYBMark (YYBName) VALUES (?)", {"机构专用"}));
}

TEST_F(StartupTest, ExistingDatabasesKeepTheirRows) {
  TempProgramFolder folder;
  {
    DbBuilder builder(folder.Path());
    builder.AddMark("机构专用", 1, 255, 1, 2, "机构", "", "一队");
  }
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  ASSERT_EQ(OpenCustomDatabase(), 0);
  CADORecordset rs(&g_ADODatabase_Custom);
  ASSERT_TRUE(rs.Open("SELECT YYBName FROM YYBMark"));
  ASSERT_FALSE(rs.IsEof());
  std::string name;
  rs.GetFieldValue("YYBName", name);
  EXPECT_EQ(name, "机构专用");
}

TEST_F(StartupTest, AFileThatIsNotADatabaseShowsTheBoxAndKeepsItsBytes) {
  TempProgramFolder folder;
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131 + 7) & 0xFF);
  folder.WriteFile("CJHB.mdb", junk);
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  EXPECT_EQ(OpenCjhbDatabase(), -1);
  EXPECT_EQ(OpenCustomDatabase(), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"打开数据库CJHB.mdb错误"});
  EXPECT_EQ(folder.ReadFile("CJHB.mdb"), junk);
  EXPECT_FALSE(g_ADODatabase.IsOpen());
  // Later queries fail with their own record instead of touching the file.
  CADORecordset rs(&g_ADODatabase);
  EXPECT_FALSE(rs.Open("SELECT * FROM StockInfo"));
  EXPECT_FALSE(g_ADODatabase.Execute("DELETE FROM StockInfo"));
  EXPECT_EQ(folder.ReadFile("CJHB.mdb"), junk);
}

TEST_F(StartupTest, ANewerSchemaIsRefusedAndLeftUntouched) {
  TempProgramFolder folder;
  {
    DbBuilder builder(folder.Path());
    ASSERT_TRUE(builder.User().Execute("UPDATE SchemaVersion SET Version = ?", {2}));
    builder.User().Close();
    builder.Market().Close();
  }
  const std::string before = folder.ReadFile("Custom.mdb");
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  EXPECT_EQ(OpenCjhbDatabase(), 0);
  EXPECT_EQ(OpenCustomDatabase(), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"打开数据库Custom.mdb错误"});
  EXPECT_FALSE(g_ADODatabase_Custom.IsOpen());
  EXPECT_EQ(folder.ReadFile("Custom.mdb"), before);
}

// Room for the folder probe but not for a new database (a file-size limit cuts the
// writes): the cause is named without a box, and no file is left half made.
TEST_F(StartupTest, ADatabaseThatCannotBeMadeForWantOfRoomIsNamedWithoutABox) {
  TempProgramFolder folder;
  const pid_t child = fork();
  if (child == 0) {
    const struct rlimit limit {512, 512};
    std::signal(SIGXFSZ, SIG_IGN);
    std::string reason;
    _exit(setrlimit(RLIMIT_FSIZE, &limit) == 0 && PrepareDataFolder(folder.Path()) &&
                  OpenCjhbDatabase(&reason) == -1 && !reason.empty() && BoxTexts().empty()
              ? 0
              : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(folder.Exists("CJHB.mdb"));
}

TEST_F(StartupTest, WriteIsExitOnAFreshFolderWritesExactlyOneKey) {
  TempProgramFolder folder;
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  EXPECT_TRUE(WriteIsExit(1));
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"), "[system]\r\nIsExit=1\r\n");
  EXPECT_EQ(g_Settings.IsExit, 1);
}

TEST_F(StartupTest, WriteIsExitChangesOnlyThatKeyOfAGbkFile) {
  TempProgramFolder::Options o;
  o.withIni = true;
  o.encoding = TempProgramFolder::IniEncoding::Gbk;
  o.iniText = "[system]\r\nTitalName=龙虎观察\r\nIsExit=0\r\n[YYBInfo]\r\nYYB1_Name=机构专用\r\n";
  TempProgramFolder folder(o);
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  EXPECT_EQ(g_Settings.IsExit, 0);
  EXPECT_TRUE(WriteIsExit(1));
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"),
            ToGbk("[system]\r\nTitalName=龙虎观察\r\nIsExit=1\r\n[YYBInfo]\r\nYYB1_Name=机构专用\r\n"));
}

TEST_F(StartupTest, AFailedIsExitWriteGoesToTheDebugLogWithoutABox) {
  TempProgramFolder folder;
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  // A folder where the settings file should be: no write can replace it.
  fs::create_directory(folder.File("sysinfo.ini"));
  EXPECT_FALSE(WriteIsExit(1));
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_NE(folder.ReadFile("DebugLog.txt").find("IsExit=1"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(folder.File("sysinfo.ini")));
}

TEST_F(StartupTest, AFolderNamedWithASemicolonAQuoteOrABackslashOpensItsOwnFilesAndNothingOutside) {
  TempProgramFolder parent;
  parent.WriteFile("a;d \"q\" it", "");  // where a path cut at its first quote would lead
  for (const std::string name : {"a;b", "q\"x", "a;d \"q\" it's=中文", "z\\y"}) {
    fs::create_directory(parent.File(name));
    ASSERT_TRUE(PrepareDataFolder(parent.File(name)));
    EXPECT_EQ(OpenCjhbDatabase() + OpenCustomDatabase(), 0) << name;
    EXPECT_EQ(DataSourceOf(g_ADODatabase.GetConnectionString()), parent.File(name) + "/CJHB.mdb");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(parent.Path()), {}), 5);  // the four folders and the decoy
  EXPECT_EQ(fs::file_size(parent.File("a;d \"q\" it")), 0u);
}

TEST_F(StartupTest, TemporaryFilesOfDeadWritersAreRemovedAndOthersKept) {
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const std::string tag = ".velkor-tmp" + std::to_string(dead);
  TempProgramFolder folder({false, "", {}, /*withExportFolder=*/true, true});
  const std::vector<std::string> gone{"sysinfo.ini" + tag + ".0", "临时文件/x.txt" + tag + ".7"};
  const std::vector<std::string> kept{"sysinfo.ini.velkor-tmp" + std::to_string(getpid()) + ".1", "a" + tag + ".x",
                                      "a" + tag, "我的备份.tmp" + std::to_string(dead) + ".1"};
  for (const auto* names : {&gone, &kept}) for (const auto& name : *names) folder.WriteFile(name, "x");
  ASSERT_TRUE(PrepareDataFolder(folder.Path()));
  for (const auto& name : gone) EXPECT_FALSE(folder.Exists(name)) << name;
  for (const auto& name : kept) EXPECT_TRUE(folder.Exists(name)) << name;
}
