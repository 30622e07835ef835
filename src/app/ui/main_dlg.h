#pragma once
// The main window: six tabs over the program's pages, a three-pane status bar, the
// start-up timers, the tray icon and the two ways out (the orderly one through the
// tray menu, and the close box, which stops the workers and leaves at once).

#include <QStatusBar>
#include <array>
#include <chrono>
#include <memory>

#include "acquisition/http_download.h"
#include "acquisition/ui/download_data_dlg.h"
#include "analysis/ui/top_branch_dlg.h"
#include "analysis/ui/tracker_page.h"
#include "platform/pages/main_window_iface.h"
#include "app/ui/hot_money_tabs_dlg.h"
#include "app/ui/track_tabs_dlg.h"
#include "app/ui/tray_icon.h"
#include "charting/ui/setting_dlg.h"
#include "controls/ui/menu_ex.h"
#include "controls/ui/page_tab_ctrl.h"
#include "platform/ui/page.h"
#include "platform/ui/track_popup_menu.h"
#include "views/ui/dzjy_dlg.h"

class QLabel;

class CMainDlg : public CPage, public IStatusBar, public IMainTabs, public IMenuOwner {
  Q_OBJECT

 public:
  enum { IDD = 102 };
  static constexpr int kTabControlId = 1000;
  static constexpr UINT kTrayIconId = 131;
  static constexpr UINT kRemoteConfigTimer = 1;
  static constexpr UINT kTitleTimer = 4;

  // Without a tray object the desktop's own tray is used.
  explicit CMainDlg(std::unique_ptr<ITrayIcon> tray = nullptr, QWidget* parent = nullptr);
  ~CMainDlg() override;

  BOOL OnInitDialog() override;
  BOOL InitStatusBar();
  void InitTabs();
  void OnTimer(UINT id) override;
  void AddTrayIcon();
  // 1 for another icon id (ignored), else 0.
  int OnTrayNotify(UINT iconId, UINT mouseMessage);

  // The remote notice check of timer 1: starts the fetch on a worker from the Notice
  // addresses of "sysinfo.ini" (nothing when both are empty); the text comes back to
  // ParseRemoteConfig on the UI thread.
  virtual void CheckRemoteConfig();
  // Acts on g_strNoticeText: the new-version dialog when the notice is newer, the
  // announced pages for the web tab; then timer 1 is killed.
  void ParseRemoteConfig();
  // The About command's handler: the About box, modally. The status bar's context
  // menu holds the command.
  static constexpr int kAboutCommandId = 0x0010;
  virtual void OnAbout();

  // IStatusBar, IMainTabs
  void SetPaneText(int pane, const std::string& text) override;
  int SetCurSel(int index) override;
  int GetCurSel() const override;

  // The size at which every page shows all of its controls and every list all of its
  // columns: the strip over the room the largest page would like, and the status bar
  // below. Valid once the tabs are built.
  QSize StartSize() const;
  // The smallest size at which every page still shows every control whole (wide lists
  // then scroll sideways): the strip over the room the largest page's layout needs,
  // and the status bar below.
  QSize SmallestSize() const;
  // Opens at StartSize centred in `available` (a screen's work area), or maximised when
  // the area is smaller; the window never shrinks below SmallestSize, nor below the
  // area when that is smaller still. The first form uses the window's own screen.
  void PlaceOnScreen();
  void PlaceOnScreen(const QRect& available);

  QString PaneText(int pane) const;
  ITrayIcon& Tray() { return *tray_; }

  // The close box was used: the loop ends with status 1 and no clean-exit marker.
  bool ClosedByCloseBox() const { return closedByCloseBox_; }
  // Workers still running after the close bound.
  bool LeftWorkersRunning() const { return leftWorkersRunning_; }
  void SetCloseBound(std::chrono::milliseconds bound) { closeBound_ = bound; }

  CPageTabCtrl m_ctrlTab;
  // Pages in construction order; destroyed in reverse.
  CTrackTabsDlg m_dlgTrackTabs;
  CTrackerPage m_dlgTracker;
  CSettingDlg m_dlgSetting;
  CDownloadDataDlg m_dlgDownloadData;
  CHotMoneyTabsDlg m_dlgHotMoneyTabs;
  CDzjyDlg m_dlgDzjy;
  // An instance of its own that never gets a window.
  CTopBranchDlg m_dlgTopBranch;
  // The owner-drawn menu whose hooks the window's menus go through; nothing loads one.
  CMenuEx m_menuEx;
  // IMenuOwner: the default handling, then the owner-drawn menu's hook.
  void OnMeasureItem(int ctlId, LPMEASUREITEMSTRUCT mis) override;
  void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu) override;
  // The HTTP download worker: built and destroyed with the window, idle all the while
  // (nothing sets its address or starts it).
  CHttpDownload m_HttpDownload;

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Shows the tray menu ("退出") at `at`; the chosen command id (IDCANCEL) or 0.
  virtual int ChooseTrayMenuCommand(const QPoint& at);
  // Shows the status bar's menu ("关于 Velkor Desk...") at `at`; kAboutCommandId or 0.
  virtual int ChooseStatusMenuCommand(const QPoint& at);

 private:
  void LayoutPanes();

  std::unique_ptr<ITrayIcon> tray_;
  QStatusBar* statusBar_ = nullptr;
  std::array<QLabel*, 3> panes_{};
  std::chrono::milliseconds closeBound_{2000};
  bool closedByCloseBox_ = false;
  bool leftWorkersRunning_ = false;
};

// The program's icon (resource 131).
QIcon ProgramIcon();
