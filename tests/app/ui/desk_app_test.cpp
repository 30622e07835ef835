#include "app/ui/desk_app.h"

#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTabBar>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "../../support/db_builder.h"
#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "platform/pages/main_window_iface.h"
#include "app/ui/main_dlg.h"
#include "fake_tray.h"
#include "platform/page_registry.h"
#include "platform/worker_registry.h"
#include "platform/message_box.h"
#include "platform/ui/qt_dialogs.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/ado_recordset.h"
#include "storage/ini_file.h"

namespace {

// The exit marker as the next start reads it ("" when the key is missing). The daily
// list page writes its sort mode into the same file as it loads.
std::string ExitMarker(const TempProgramFolder& folder) {
  return GetPrivateProfileString("system", "IsExit", "", folder.File("sysinfo.ini"));
}

// The field `field` of the query's first row, -1 without one.
int IntOfFile(const std::string& path, const std::string& sql, const char* field) {
  CADODataBase db;
  if (!db.Open("Data Source=" + path + ";", "", "")) return -1;
  CADORecordset rs(&db);
  int value = -1;
  if (rs.Open(sql) && !rs.IsEof()) rs.GetFieldValue(field, value);
  return value;
}

int SchemaVersionOfFile(const std::string& path) {
  return IntOfFile(path, "SELECT Version FROM SchemaVersion", "Version");
}

struct RunResult {
  int code = -1;
  bool windowShown = false;
  std::string title;
  std::vector<RecordedMessageBox> boxesBeforeWindow;
  std::chrono::milliseconds afterScenario{0};
};

class ScriptedMainDlg : public CMainDlg {
 public:
  ScriptedMainDlg() : CMainDlg(std::make_unique<FakeTray>(true)) {}
  int ChooseTrayMenuCommand(const QPoint&) override { return IDCANCEL; }  // the user picks "退出"
  FakeTray& FakeTrayIcon() { return static_cast<FakeTray&>(Tray()); }
};

// Runs the application object in-process on `folder`; once its window is exposed the
// scenario acts on it (by default the close box).
RunResult RunDeskAppOn(const std::string& folder,
                       const std::function<void(CMainDlg&)>& scenario = [](CMainDlg& w) { w.close(); },
                       std::chrono::milliseconds closeBound = std::chrono::milliseconds(2000)) {
  std::vector<std::string> args{"velkordesk", "--data-dir", folder};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());

  RunResult result;
  CDeskApp app(argc, argv.data());
  app.SetMainWindowFactory([closeBound] {
    auto window = std::make_unique<ScriptedMainDlg>();
    window->SetCloseBound(closeBound);
    return window;
  });
  std::chrono::steady_clock::time_point scenarioStart;
  QTimer closer;
  closer.setInterval(20);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    CMainDlg* window = app.MainWindow();
    if (window == nullptr || !window->isVisible()) return;
    closer.stop();
    result.windowShown = GuiDriver::WaitForExposed(window);
    result.title = window->windowTitle().toStdString();
    result.boxesBeforeWindow = MessageBoxHook::Instance().TakeRecorded();
    scenarioStart = std::chrono::steady_clock::now();
    scenario(*window);
  });
  closer.start();
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(99); });
  watchdog.start(20000);
  result.code = app.Run();
  result.afterScenario = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - scenarioStart);
  return result;
}

}  // namespace

// A left click at `click` first when given, in the same flush as the close.
void SendWindowManagerClose(WId window, const QPoint* click = nullptr);  // at the end, away from Xlib's macros

// The tray menu's "退出" is the orderly road out.
void ExitThroughTheTray(CMainDlg& window) {
  static_cast<ScriptedMainDlg&>(window).FakeTrayIcon().Act(kTrayRightButtonUp);
}

TEST(DeskApp, OrderlyRunOnAFreshFolderCreatesEverythingAndMarksTheExit) {
  TempProgramFolder folder;
  const RunResult run = RunDeskAppOn(folder.Path(), ExitThroughTheTray);
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(run.windowShown);
  EXPECT_EQ(run.title, "Velkor Desk");
  EXPECT_TRUE(run.boxesBeforeWindow.empty());
  EXPECT_EQ(ExitMarker(folder), "1");
  EXPECT_EQ(SchemaVersionOfFile(folder.File("CJHB.mdb")), 1);
  EXPECT_EQ(SchemaVersionOfFile(folder.File("Custom.mdb")), 1);
  EXPECT_TRUE(std::filesystem::is_directory(folder.File("临时文件")));
  EXPECT_FALSE(g_ADODatabase.IsOpen());  // closed on the way out
}

TEST(DeskApp, AnOrderlyExitLeavesEverythingInTheDatabaseFileItself) {
  TempProgramFolder folder;
  CADODataBase other;  // keeps the log from going away with the program's own connection
  const RunResult run = RunDeskAppOn(folder.Path(), [&](CMainDlg& w) {
    ASSERT_TRUE(other.Open(ConnectionStringFor(folder.File("CJHB.mdb"))));
    ExitThroughTheTray(w);
  });
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(std::filesystem::file_size(folder.File("CJHB.mdb-wal")), 0u);
}

// Offscreen nobody can answer a box: a refusal is said on standard error alone.
TEST(DeskApp, ASecondInstanceOnTheSameFolderSaysSoAndEndsWithStatus3WritingNothing) {
  TempProgramFolder folder;
  DataFolderLock first;
  ASSERT_EQ(first.Acquire(folder.Path()), DataFolderLock::Result::Held);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunDeskAppOn(folder.Path()).code, 3);
  const std::string text = "数据目录正在被另一个Velkor Desk使用：" + folder.Path();
  EXPECT_NE(testing::internal::GetCapturedStderr().find(text + "\n"), std::string::npos);
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);  // the lock file
}

TEST(DeskApp, AnUnusableFolderEndsWithStatus4NamingTheReason) {
  TempProgramFolder parent;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunDeskAppOn(parent.File("missing")).code, 4);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "数据目录无法使用: " + parent.File("missing") + "（目录不存在）\n");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
}

// The pages' own first loads, due seconds after the start, run now; then "退出".
void RunFirstLoadsAndExit(CMainDlg& window) {
  for (QObject* pages : {static_cast<QObject*>(&window.m_dlgHotMoneyTabs),
                         static_cast<QObject*>(&window.m_dlgTopBranch)})
    for (QTimer* timer : pages->findChildren<QTimer*>())
      if (timer->isActive() && timer->isSingleShot()) timer->start(0);
  GuiDriver::WaitUntil([] { return false; }, 200);
  ExitThroughTheTray(window);
}

TEST(DeskApp, ABrokenMarketFileShowsItsBoxAloneAndTheWindowStillComes) {
  TempProgramFolder::Options o;
  o.withIni = true;
  o.iniText = "[system]\nTitalName=龙虎观察\n";
  TempProgramFolder folder(o);
  folder.WriteFile("CJHB.mdb", std::string(2048, '\x5a'));
  const RunResult run = RunDeskAppOn(folder.Path(), RunFirstLoadsAndExit);
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(run.windowShown);
  EXPECT_EQ(run.title, "龙虎观察");
  ASSERT_EQ(run.boxesBeforeWindow.size(), 1u);
  EXPECT_EQ(run.boxesBeforeWindow[0].text, "打开数据库CJHB.mdb错误");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());  // the pages' first loads say nothing more
  EXPECT_EQ(folder.ReadFile("CJHB.mdb"), std::string(2048, '\x5a'));
  EXPECT_EQ(SchemaVersionOfFile(folder.File("Custom.mdb")), 1);
  EXPECT_NE(folder.ReadFile("sysinfo.ini").find("IsExit=1"), std::string::npos);
}

TEST(DeskApp, ABrokenUserFileShowsItsBoxAlone) {
  TempProgramFolder folder;
  folder.WriteFile("Custom.mdb", std::string(2048, '\x5a'));
  const RunResult run = RunDeskAppOn(folder.Path(), RunFirstLoadsAndExit);
  ASSERT_EQ(run.boxesBeforeWindow.size(), 1u);
  EXPECT_EQ(run.boxesBeforeWindow[0].text, "打开数据库Custom.mdb错误");
  EXPECT_TRUE(MessageBoxHook::Instance().TakeRecorded().empty());
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

TEST(DeskApp, EveryTabShowsItsPage) {
  TempProgramFolder folder;
  std::vector<std::string> failures;
  QString yes;  // Qt's own texts are Chinese
  const RunResult run = RunDeskAppOn(folder.Path(), [&](CMainDlg& w) {
    auto expectShown = [&](CPageTabCtrl& tabs, int index, int id) {
      if (!GuiDriver::SelectTab(static_cast<QWidget*>(tabs.TabBar()), index)) failures.push_back("no tab " + std::to_string(index));
      QApplication::processEvents();
      QWidget* page = w.findChild<QWidget*>(QStringLiteral("page%1").arg(id));
      if (page == nullptr || !page->isVisible()) failures.push_back("page" + std::to_string(id) + " not shown");
    };
    const int mainIds[] = {240, 229, 140, 242, 134, 177};
    for (int i = 5; i >= 0; --i) expectShown(w.m_ctrlTab, i, mainIds[i]);
    const int trackIds[] = {243, 129, 239, 212};
    for (int i = 3; i >= 0; --i) expectShown(w.m_dlgTrackTabs.m_ctrlTab, i, trackIds[i]);
    expectShown(w.m_ctrlTab, 1, 229);
    const int hotIds[] = {206, 236, 237};
    for (int i = 2; i >= 0; --i) expectShown(w.m_dlgHotMoneyTabs.m_ctrlTab, i, hotIds[i]);
    yes = QMessageBox(QMessageBox::Question, "", "", QMessageBox::Yes).button(QMessageBox::Yes)->text();
    ExitThroughTheTray(w);
  });
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(failures.empty()) << failures.front();
  EXPECT_TRUE(yes.startsWith(QStringLiteral("是")));
  EXPECT_TRUE(run.boxesBeforeWindow.empty());
  EXPECT_EQ(ExitMarker(folder), "1");
}

TEST(DeskApp, ThePickersFileListIsChineseUnderTheCLocale) {
  ASSERT_EQ(QLocale::system().language(), QLocale::C);  // the tests run under LANG=C.UTF-8
  TempProgramFolder folder;
  folder.WriteFile("a.txt", std::string(75, 'x'));
  folder.WriteFile("TdxW.exe", "MZ");  // the file a user picks here, with a long type name
  std::filesystem::create_directory(folder.File("sub"));
  QFileDialog picker(nullptr, "选择 通达信 程序", QString::fromStdString(folder.Path()));
  SetUpFileDialog(picker);
  auto* view = picker.findChild<QAbstractItemView*>(QStringLiteral("treeView"));
  ASSERT_NE(view, nullptr);
  std::map<QString, QStringList> rows;  // name: size, type, date
  ASSERT_TRUE(GuiDriver::WaitUntil([&] {  // the list is read in the background
    rows.clear();
    const QModelIndex root = view->rootIndex();
    for (int r = 0; r < view->model()->rowCount(root); ++r) {
      QStringList& row = rows[view->model()->index(r, 0, root).data().toString()];
      for (int c = 1; c < 4; ++c) row << view->model()->index(r, c, root).data().toString();
    }
    return rows.size() == 3 && !rows["a.txt"].contains(QString()) && !rows["TdxW.exe"].contains(QString());
  }));
  EXPECT_EQ(rows["a.txt"].mid(0, 2).join('|').toStdString(), "75 字节|纯文本文档");
  EXPECT_EQ(rows["sub"].mid(0, 2).join('|').toStdString(), "|文件夹");
  EXPECT_TRUE(QRegularExpression("^\\d{4}/\\d{1,2}/\\d{1,2} \\d{2}:\\d{2}$").match(rows["a.txt"][2]).hasMatch()) << rows["a.txt"][2].toStdString();
  // The size, type and date columns open wide enough for their texts and headings.
  auto* details = qobject_cast<QTreeView*>(view);
  picker.show();
  EXPECT_TRUE(GuiDriver::WaitUntil([&] {
    for (int c = 1; c < 4; ++c) {
      if (details->columnWidth(c) < std::max(view->sizeHintForColumn(c), details->header()->sectionSizeHint(c))) {
        return false;
      }
    }
    return true;
  })) << details->columnWidth(2);
  EXPECT_TRUE(picker.grab().save(QDir::current().absoluteFilePath("qt_file_dialog.png")));
}

TEST(DeskApp, TheCloseBoxStopsAWorkerThatCallsTheUiAndSkipsTheExitMarker) {
  TempProgramFolder::Options o;
  o.withIni = true;
  o.iniText = "[system]\r\nIsExit=0\r\n";
  TempProgramFolder folder(o);
  std::atomic<int> rounds{0};
  std::atomic<bool> sawStop{false};
  const RunResult run = RunDeskAppOn(folder.Path(), [&](CMainDlg& w) {
    ASSERT_EQ(WorkerRegistry::Instance().Start("probe",
                                               [&](std::stop_token token) {
                                                 while (!token.stop_requested()) {
                                                   PageRegistry::Instance().Send<IStatusBar>(
                                                       PageSlot::StatusBar,
                                                       [](IStatusBar& bar) { bar.SetPaneText(1, "工作中"); });
                                                   ++rounds;
                                                 }
                                                 sawStop = true;
                                               }),
              WorkerRegistry::StartResult::Started);
    GuiDriver::WaitUntil([&] { return rounds.load() > 3; });
    w.close();
  });
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(sawStop);
  EXPECT_GT(rounds.load(), 3);
  EXPECT_LT(run.afterScenario, std::chrono::milliseconds(2000));
  EXPECT_EQ(ExitMarker(folder), "0");
  EXPECT_FALSE(WorkerRegistry::Instance().IsRunning("probe"));
}

TEST(DeskApp, SigtermAndSigintTakeTheCloseBoxRoad) {
  for (const int signal : {SIGTERM, SIGINT}) {  // uncaught, either ends the test program
    TempProgramFolder folder;
    EXPECT_EQ(RunDeskAppOn(folder.Path(), [&](CMainDlg&) { std::raise(signal); }).code, 1) << signal;
  }
}

// A signal leaves the question as its close box would (否): nothing is deleted.
TEST(DeskApp, SigtermOrSigintDuringTheClearDataQuestionKeepsEveryRow) {
  for (const int signal : {SIGTERM, SIGINT}) {
    TempProgramFolder folder;
    DbBuilder db(folder.Path());
    db.AddListing("2017-03-31", "600000", "浦发银行", "日涨幅偏离值达7%", 10, 11, 1e8, {}, {});
    ASSERT_TRUE(db.Market().Execute("INSERT INTO DayStatus (SB_Date, Listed, Complete) VALUES ('2017-03-31', 1, 1)"));
    MessageBoxHook::Instance().StopRecording();  // a real box, for the signal to meet
    const RunResult run = RunDeskAppOn(folder.Path(), [&](CMainDlg& w) {
      QTimer::singleShot(0, [signal] { std::raise(signal); });  // in the box's own loop
      GuiDriver::FindAs<QAbstractButton>(&w.m_dlgDownloadData, 1008)->click();  // 清空数据
    });
    MessageBoxHook::Instance().StartRecording();
    EXPECT_EQ(run.code, 1) << signal;
    const std::string cjhb = folder.File("CJHB.mdb");
    EXPECT_EQ(IntOfFile(cjhb, "SELECT COUNT(*) AS n FROM StockInfo", "n"), 1) << signal;
    EXPECT_EQ(IntOfFile(cjhb, "SELECT COUNT(*) AS n FROM DayStatus", "n"), 1) << signal;
  }
}

// Qt drops a window manager's close on a window that a modal box blocks; the program
// must still end: the box as by its own close box, then the window's close road.
TEST(DeskApp, TheCloseBoxEndsTheProgramWhileABoxWaitsOverTheWindow) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "run on X by desk_app_x11_test";
  TempProgramFolder folder;
  int answer = -1;
  const RunResult run = RunDeskAppOn(folder.Path(), [&](CMainDlg& w) {
    QTimer::singleShot(0, &w, [&] {
      QMessageBox box(QMessageBox::Question, "Velkor Desk", "是否继续？", QMessageBox::Yes | QMessageBox::No, &w);
      box.setDefaultButton(QMessageBox::Yes);
      QTimer whenShown;
      QObject::connect(&whenShown, &QTimer::timeout, [&] {
        if (box.windowHandle() == nullptr || !box.windowHandle()->isExposed()) return;
        whenShown.stop();
        SendWindowManagerClose(w.winId());
      });
      whenShown.start(20);
      answer = box.exec();
    });
  });
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(answer, QMessageBox::No);  // not the default button
}

// The close comes with the click that opens a picker: Qt gets to it once the picker is
// open, and drops it; the program must still end, the picker as cancelled.
TEST(DeskApp, TheCloseBoxSentWithAClickThatOpensAPickerEndsTheProgram) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "run on X by desk_app_x11_test";
  TempProgramFolder folder;
  MessageBoxHook::Instance().StopRecording();
  const RunResult run = RunDeskAppOn(folder.Path(), [&](CMainDlg& w) {
    ASSERT_TRUE(GuiDriver::SelectTab(static_cast<QWidget*>(w.m_ctrlTab.TabBar()), "系统设置"));
    QWidget* choose = GuiDriver::Find(&w.m_dlgSetting, 1134);  // 手动选择通达信路径
    ASSERT_TRUE(GuiDriver::WaitUntil([&] { return choose->isVisible(); }));
    const QPoint at = choose->mapTo(&w, choose->rect().center()) * w.devicePixelRatio();
    SendWindowManagerClose(w.winId(), &at);
  });
  MessageBoxHook::Instance().StartRecording();
  EXPECT_EQ(run.code, 1);
  EXPECT_LT(run.afterScenario, std::chrono::milliseconds(1500));
}

TEST(DeskApp, AWorkerIgnoringItsStopDoesNotHoldTheProgramOpen) {
  TempProgramFolder folder;
  std::atomic<bool> release{false};
  std::atomic<bool> ended{false};
  const auto bound = std::chrono::milliseconds(200);
  const RunResult run = RunDeskAppOn(
      folder.Path(),
      [&](CMainDlg& w) {
        WorkerRegistry::Instance().Start("stubborn", [&](std::stop_token) {
          while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          ended = true;
        });
        w.close();
      },
      bound);
  EXPECT_EQ(run.code, 1);
  EXPECT_GE(run.afterScenario, bound);
  EXPECT_LT(run.afterScenario, std::chrono::milliseconds(1500));
  EXPECT_EQ(ExitMarker(folder), "");  // no exit marker
  release = true;
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return ended.load(); }));
  g_ADODatabase.Close();  // left open for the worker that was let go
  g_ADODatabase_Custom.Close();
}

#include <X11/Xlib.h>

void SendWindowManagerClose(WId window, const QPoint* click) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  for (const int type : {ButtonPress, ButtonRelease}) {
    if (click == nullptr) break;
    XEvent button{};
    button.xbutton = {type, 0, True, display, window, DefaultRootWindow(display), None, CurrentTime,
                      click->x(), click->y(), 0, 0, type == ButtonPress ? 0u : Button1Mask, Button1, True};
    XSendEvent(display, window, False, NoEventMask, &button);
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);
}
