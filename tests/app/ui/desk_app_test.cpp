#include "app/ui/desk_app.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "app/settings.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"

namespace {

int SchemaVersionOfFile(const std::string& path) {
  CADODataBase db;
  if (!db.Open("Data Source=" + path + ";", "", "")) return -1;
  CADORecordset rs(&db);
  int version = -1;
  if (rs.Open("SELECT Version FROM SchemaVersion", 0) && !rs.IsEof()) rs.GetFieldValue("Version", version);
  return version;
}

struct RunResult {
  int code = -1;
  bool windowShown = false;
  std::string title;
  std::vector<RecordedMessageBox> boxesBeforeWindow;
};

// Runs the application object in-process on `folder`; once its window is exposed the
// driver closes it, which ends the loop the orderly way.
RunResult RunDeskAppOn(const std::string& folder) {
  std::vector<std::string> args{"velkordesk", "--data-dir", folder};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());

  RunResult result;
  CDeskApp app(argc, argv.data());
  QTimer closer;
  closer.setInterval(20);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QWidget* window = app.MainWindow();
    if (window == nullptr || !window->isVisible()) return;
    closer.stop();
    result.windowShown = GuiDriver::WaitForExposed(window);
    result.title = window->windowTitle().toStdString();
    result.boxesBeforeWindow = MessageBoxHook::Instance().TakeRecorded();
    window->close();
  });
  closer.start();
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(99); });
  watchdog.start(20000);
  result.code = app.Run();
  return result;
}

}  // namespace

TEST(DeskApp, OrderlyRunOnAFreshFolderCreatesEverythingAndMarksTheExit) {
  TempProgramFolder folder;
  const RunResult run = RunDeskAppOn(folder.Path());
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(run.windowShown);
  EXPECT_EQ(run.title, "Velkor Desk");
  EXPECT_TRUE(run.boxesBeforeWindow.empty());
  EXPECT_EQ(folder.ReadFile("sysinfo.ini"), "[system]\r\nIsExit=1\r\n");
  EXPECT_EQ(SchemaVersionOfFile(folder.File("CJHB.mdb")), 1);
  EXPECT_EQ(SchemaVersionOfFile(folder.File("Custom.mdb")), 1);
  EXPECT_TRUE(std::filesystem::is_directory(folder.File("临时文件")));
  EXPECT_FALSE(g_ADODatabase.IsOpen());  // closed on the way out
}

TEST(DeskApp, ABrokenMarketFileShowsItsBoxAndTheWindowStillComes) {
  TempProgramFolder::Options o;
  o.withIni = true;
  o.iniText = "[system]\nTitalName=龙虎观察\n";
  TempProgramFolder folder(o);
  folder.WriteFile("CJHB.mdb", std::string(2048, '\x5a'));
  const RunResult run = RunDeskAppOn(folder.Path());
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(run.windowShown);
  EXPECT_EQ(run.title, "龙虎观察");
  ASSERT_EQ(run.boxesBeforeWindow.size(), 1u);
  EXPECT_EQ(run.boxesBeforeWindow[0].text, "打开数据库CJHB.mdb错误");
  EXPECT_EQ(folder.ReadFile("CJHB.mdb"), std::string(2048, '\x5a'));
  EXPECT_EQ(SchemaVersionOfFile(folder.File("Custom.mdb")), 1);
  EXPECT_NE(folder.ReadFile("sysinfo.ini").find("IsExit=1"), std::string::npos);
}

TEST(DeskApp, NoDisplayIsDetectedFromTheEnvironment) {
  const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
  const QByteArray savedDisplay = qgetenv("DISPLAY");
  const QByteArray savedWayland = qgetenv("WAYLAND_DISPLAY");
  qunsetenv("QT_QPA_PLATFORM");
  qunsetenv("DISPLAY");
  qunsetenv("WAYLAND_DISPLAY");
  EXPECT_FALSE(CDeskApp::HasDisplay());
  qputenv("DISPLAY", ":99");
  EXPECT_TRUE(CDeskApp::HasDisplay());
  qunsetenv("DISPLAY");
  qputenv("QT_QPA_PLATFORM", "offscreen");
  EXPECT_TRUE(CDeskApp::HasDisplay());
  qputenv("QT_QPA_PLATFORM", saved);
  if (!savedDisplay.isEmpty()) qputenv("DISPLAY", savedDisplay);
  if (!savedWayland.isEmpty()) qputenv("WAYLAND_DISPLAY", savedWayland);
}
