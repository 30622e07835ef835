#include "app/ui/desk_app.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/settings.h"
#include "app/startup.h"
#include "platform/app_paths.h"
#include "platform/page_registry.h"
#include "platform/ui/dc.h"
#include "platform/ui/page.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_dialogs.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "storage/ado_database.h"

CDeskApp::CDeskApp(int& argc, char** argv)
    : argc_(argc), argv_(argv), dataFolder_(ResolveDataFolder(argc, argv)) {}

CDeskApp::~CDeskApp() {
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
  if (QApplication::instance() == nullptr) {
    if (!HasDisplay()) {
      std::fputs("velkordesk: no display (set DISPLAY, or run it under xvfb-run)\n", stderr);
      return 2;
    }
    ownedApp_ = std::make_unique<QApplication>(argc_, argv_);
  }
  if (!InitInstance()) return ExitInstance();
  const int code = QApplication::exec();
  const int exitCode = ExitInstance();
  return code != 0 ? code : exitCode;
}

bool CDeskApp::InitInstance() {
  InstallProcessSignalHandling();
  InstallQtDialogBackend();
  QApplication::setFont(ApplicationFont());
  dispatcher_ = std::make_unique<QtUiDispatcher>();
  PageRegistry::Instance().SetDispatcher(dispatcher_.get());

  if (!PrepareDataFolder(dataFolder_)) {
    MessageBox("数据目录无法使用: " + dataFolder_, kDefaultWindowTitle, MB_OK | MB_ICONERROR);
    return false;
  }
  OpenCjhbDatabase();
  OpenCustomDatabase();

  // The real main window replaces this empty page; closing it ends the loop.
  mainWindow_ = std::make_unique<CPage>();
  mainWindow_->setWindowTitle(ToQString(g_strWindowTitle));
  mainWindow_->resize(1024, 700);
  mainWindow_->OnInitDialog();
  mainWindow_->show();
  return true;
}

int CDeskApp::ExitInstance() {
  PageRegistry::Instance().BeginShutdown();
  if (mainWindow_) WriteIsExit(1);
  mainWindow_.reset();
  g_ADODatabase.Close();
  g_ADODatabase_Custom.Close();
  return 0;
}

int CDeskApp::OpenCjhbDatabase() { return ::OpenCjhbDatabase(); }

int CDeskApp::OpenCustomDatabase() { return ::OpenCustomDatabase(); }

QWidget* CDeskApp::MainWindow() const { return mainWindow_.get(); }
