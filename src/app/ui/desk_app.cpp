#include "app/ui/desk_app.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "platform/app_paths.h"
#include "platform/page_registry.h"
#include "app/ui/main_dlg.h"
#include "charting/ui/chart_services.h"
#include "platform/ui/close_box_watch.h"
#include "platform/ui/dc.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_clipboard.h"
#include "platform/ui/qt_dialogs.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ado_database.h"
#include "storage/rowid_stretches.h"

CDeskApp::CDeskApp(int& argc, char** argv)
    : argc_(argc), argv_(argv), dataFolder_(ResolveDataFolder(argc, argv, &dataFolderError_)) {}

CDeskApp::~CDeskApp() {
  closeBoxWatch_.reset();
  endingRoad_.reset();
  closeSignal_.reset();
  mainWindow_.reset();
  PageRegistry::Instance().SetDispatcher(nullptr);
  dispatcher_.reset();
}

bool CDeskApp::HasDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

int CDeskApp::Run() {
  const CommandLineCheck commandLine = CheckCommandLine(argc_, argv_);
  if (commandLine.help) {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  if (!commandLine.error.empty()) {
    std::fprintf(stderr, "velkordesk: %s\n%s", commandLine.error.c_str(), kUsageText);
    return kExitUsage;
  }
  if (QApplication::instance() == nullptr) {
    if (!HasDisplay()) {
      std::fputs("velkordesk: no display (set DISPLAY, or run it under xvfb-run)\n", stderr);
      return kExitNoDisplay;
    }
    ownedApp_ = std::make_unique<QApplication>(argc_, argv_);
  }
  if (!InitInstance()) {
    ExitInstance();
    return startStatus_;
  }
  const int code = QApplication::exec();
  if (mainWindow_ && mainWindow_->ClosedByCloseBox()) {
    // The close box: workers were stopped (or let go) by the window; no clean-exit
    // marker. A worker still running may hold a database handle, so then the process
    // ends here and the database rolls back its open transaction.
    if (mainWindow_->LeftWorkersRunning() && ownedApp_) {
      std::fflush(nullptr);
      std::_Exit(1);
    }
    if (!mainWindow_->LeftWorkersRunning()) {
      g_ADODatabase.Close();
      g_ADODatabase_Custom.Close();
    }
    mainWindow_.reset();
    return 1;
  }
  const int exitCode = ExitInstance();
  return code != 0 ? code : exitCode;
}

bool CDeskApp::InitInstance() {
  InstallProcessSignalHandling();
  WatchCloseSignals();
  InstallQtDialogBackend();
  InstallQtTranslations();  // without the package Qt's own texts stay English
  InstallQtClipboardBackend();
  QApplication::setFont(ApplicationFont());
  dispatcher_ = std::make_unique<QtUiDispatcher>();
  PageRegistry::Instance().Restart(dispatcher_.get());
  WorkerRegistry::Instance().Restart();
  g_bClosing = false;

  const auto refuseFolder = [this](const std::string& reason) {
    Refuse("数据目录无法使用: " + dataFolder_ + "（" + reason + "）", kExitFolderUnusable);
    return false;
  };
  if (dataFolder_.empty()) {
    Refuse("数据目录无法使用: 找不到用户的主目录", kExitFolderUnusable);
    return false;
  }
  if (dataFolderError_ != 0) return refuseFolder(FolderErrorReason(dataFolderError_));
  // Before any file of the folder is written: a second instance keeps off it.
  const DataFolderLock::Result lock = folderLock_.Acquire(dataFolder_);
  if (lock == DataFolderLock::Result::Busy) {
    Refuse("数据目录正在被另一个Velkor Desk使用：" + dataFolder_, kExitFolderInUse);
    return false;
  }
  std::string reason;
  if (lock != DataFolderLock::Result::Held) reason = FolderErrorReason(folderLock_.Error());
  if (!reason.empty() || !PrepareDataFolder(dataFolder_, &reason)) return refuseFolder(reason);
  // A database the program could not write to would fail every later write.
  for (const auto& [open, file] : {std::pair{&::OpenCjhbDatabase, kMarketDatabaseFile},
                                   std::pair{&::OpenCustomDatabase, kUserDatabaseFile}}) {
    if (open(&reason) != 0 && !reason.empty()) {
      Refuse("数据库无法写入: " + AppPath(file) + "（" + reason + "）", kExitFolderUnusable);
      return false;
    }
  }
  // The readers of the long searches open their handles and map the file meanwhile.
  if (g_ADODatabase.IsOpen()) WarmStretchReaders(g_ADODatabase);
  InstallChartServices();

  mainWindow_ = mainWindowFactory_ ? mainWindowFactory_() : std::make_unique<CMainDlg>();
  mainWindow_->InitDialog();
  mainWindow_->PlaceOnScreen();  // measured from the pages, which InitDialog builds
  mainWindow_->show();
  closeBoxWatch_ =
      std::make_unique<CloseBoxWatch>(mainWindow_.get(), [this] { StartEnding(); });
  return true;
}

void CDeskApp::Refuse(const std::string& text, int status) {
  std::fprintf(stderr, "%s\n", text.c_str());
  const QString platform = QGuiApplication::platformName();
  if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")) {
    MessageBox(text, kDefaultWindowTitle, MB_OK | MB_ICONERROR);
  }
  startStatus_ = status;
}

void CDeskApp::WatchCloseSignals() {
  const int fd = CloseSignalFd();
  if (fd < 0 || closeSignal_) return;
  // Watched by every event loop, the nested one of a start-up box included.
  closeSignal_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(closeSignal_.get(), &QSocketNotifier::activated, [this, fd] {
    char bytes[16];
    while (read(fd, bytes, sizeof bytes) > 0) {
    }
    StartEnding();
  });
}

void CDeskApp::StartEnding() {
  if (!endingRoad_) {
    // Answering a box may open the next one (a damaged "CJHB.mdb", then the window):
    // each round takes one step, until the program has ended.
    endingRoad_ = std::make_unique<QTimer>();
    endingRoad_->setInterval(50);
    QObject::connect(endingRoad_.get(), &QTimer::timeout, [this] { TakeEndingStep(); });
    endingRoad_->start();
  }
  TakeEndingStep();
}

void CDeskApp::TakeEndingStep() {
  if (QWidget* popup = QApplication::activePopupWidget()) {
    popup->close();
    return;
  }
  if (QWidget* modal = QApplication::activeModalWidget()) {
    // As by the box's own close box: its escape button, or its only one. A box that
    // refuses that close (no escape button) is still never confirmed: it is rejected.
    if (modal->close()) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->hide();
    }
    return;
  }
  if (mainWindow_ && !mainWindow_->ClosedByCloseBox()) mainWindow_->close();
}

int CDeskApp::ExitInstance() {
  g_bClosing = true;  // a transfer in progress ends now instead of at its time-out
  WorkerRegistry::Instance().RequestStopAll();
  PageRegistry::Instance().BeginShutdown();
  const bool workersEnded = WorkerRegistry::Instance().JoinAll(std::chrono::seconds(2));
  if (mainWindow_) WriteIsExit(1);
  mainWindow_.reset();
  if (workersEnded) {  // a worker let go may still use its own database handle
    CheckpointDatabase(g_ADODatabase);
    CheckpointDatabase(g_ADODatabase_Custom);
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
  }
  return 0;
}

int CDeskApp::OpenCjhbDatabase() { return ::OpenCjhbDatabase(); }

int CDeskApp::OpenCustomDatabase() { return ::OpenCustomDatabase(); }

CMainDlg* CDeskApp::MainWindow() const { return mainWindow_.get(); }
