#pragma once
// The application object: starts up, runs the main window's loop, and on an orderly
// end writes the clean-exit marker.

#include <functional>
#include <memory>
#include <string>

class QApplication;
class QWidget;
class CMainDlg;
class QtUiDispatcher;

class CDeskApp {
 public:
  // argv may carry "--data-dir DIR"; the folder is resolved once, here.
  CDeskApp(int& argc, char** argv);
  ~CDeskApp();
  CDeskApp(const CDeskApp&) = delete;
  CDeskApp& operator=(const CDeskApp&) = delete;

  // InitInstance, the event loop, ExitInstance. Returns 2 without a display (before
  // Qt starts), else the loop's exit code.
  int Run();

  bool InitInstance();
  int ExitInstance();
  int OpenCjhbDatabase();
  int OpenCustomDatabase();

  const std::string& DataFolder() const { return dataFolder_; }
  CMainDlg* MainWindow() const;

  // Builds the main window (tests put in a window with a fake tray).
  using MainWindowFactory = std::function<std::unique_ptr<CMainDlg>()>;
  void SetMainWindowFactory(MainWindowFactory factory) { mainWindowFactory_ = std::move(factory); }

  // True when some display is configured (QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY).
  static bool HasDisplay();

 private:
  int& argc_;
  char** argv_;
  std::string dataFolder_;
  std::unique_ptr<QApplication> ownedApp_;
  std::unique_ptr<QtUiDispatcher> dispatcher_;
  MainWindowFactory mainWindowFactory_;
  std::unique_ptr<CMainDlg> mainWindow_;
};
