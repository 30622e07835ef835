#pragma once
// The application object: starts up, runs the main window's loop, and on an orderly
// end writes the clean-exit marker.

#include <functional>
#include <memory>
#include <string>

#include "app/startup.h"

class QApplication;
class QSocketNotifier;
class QTimer;
class QWidget;
class CMainDlg;
class CloseBoxWatch;
class QtUiDispatcher;

class CDeskApp {
 public:
  // argv may carry "--data-dir DIR"; the folder is resolved once, here.
  CDeskApp(int& argc, char** argv);
  ~CDeskApp();
  CDeskApp(const CDeskApp&) = delete;
  CDeskApp& operator=(const CDeskApp&) = delete;

  // InitInstance, the event loop, ExitInstance. Before Qt starts: --help prints the
  // usage (0), a command-line mistake gives 64 and no display 2. Then 3 when another
  // instance holds the data folder and 4 when the folder or a database file in it
  // cannot be used (each on standard error, and in a box when someone can answer it),
  // else the loop's exit code.
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
  // A start-up refusal: its text on standard error, the box unless nobody can answer
  // it (the offscreen platform), then `status`.
  void Refuse(const std::string& text, int status);
  // SIGTERM and SIGINT, from the moment the handler is installed: the ending road
  // (StartEnding).
  void WatchCloseSignals();
  // A signal, or the window's close box pressed while a box waits over it: every box
  // open is left as its own close box would leave it (the escape answer, never "yes"
  // to a question; a picker or dialog ends as cancelled), then the window (once it
  // exists) is closed as by its close box.
  void StartEnding();
  void TakeEndingStep();

  int& argc_;
  char** argv_;
  int dataFolderError_ = 0;  // why the user's data folder could not be made (set with dataFolder_)
  std::string dataFolder_;   // "" when there is none (no home folder)
  DataFolderLock folderLock_;
  int startStatus_ = 0;  // why InitInstance refused to start
  std::unique_ptr<QApplication> ownedApp_;
  std::unique_ptr<QtUiDispatcher> dispatcher_;
  std::unique_ptr<QSocketNotifier> closeSignal_;
  std::unique_ptr<QTimer> endingRoad_;  // repeats TakeEndingStep until the program ends
  std::unique_ptr<CloseBoxWatch> closeBoxWatch_;
  MainWindowFactory mainWindowFactory_;
  std::unique_ptr<CMainDlg> mainWindow_;
};
