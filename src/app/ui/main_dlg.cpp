#include "app/ui/main_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "app/remote_notice.h"
#include "app/ui/about_dlg.h"
#include "app/ui/new_version_dlg.h"
#include "app/startup.h"
#include "controls/ui/page_widgets.h"
#include "platform/app_paths.h"
#include "platform/message_box.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/ui_seams.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"

namespace {

const char* const kPaneTexts[3] = {"专注Velkor数据统计、分析！", kWorkingPaneText, "Velkor Desk"};
const char* const kTrayTip = "消息服务程序";

}  // namespace

QIcon ProgramIcon() {
  Q_INIT_RESOURCE(velkor);
  return QIcon(QStringLiteral(":/velkor/icons/velkor.png"));
}

CMainDlg::CMainDlg(std::unique_ptr<ITrayIcon> tray, QWidget* parent)
    : CPage(parent), m_ctrlTab(this), tray_(tray ? std::move(tray) : std::make_unique<QtTrayIcon>()) {
  SetPageDialogId(*this, IDD);
  SetDlgCtrlID(&m_ctrlTab, kTabControlId);
  tray_->SetNotify([this](unsigned message) { OnTrayNotify(kTrayIconId, message); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(&m_ctrlTab, 1);
  // The window's size is set from the pages' needs and the screen (PlaceOnScreen), not
  // forced by the layout: on a small screen the window must still fit.
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  statusBar_ = new QStatusBar(this);
  statusBar_->setSizeGripEnabled(false);
  layout->addWidget(statusBar_);
}

CMainDlg::~CMainDlg() {
  PageRegistry& registry = PageRegistry::Instance();
  if (registry.Get<IStatusBar>(PageSlot::StatusBar) == this) registry.Unpublish(PageSlot::StatusBar);
  if (registry.Get<IMainTabs>(PageSlot::MainTabCtrl) == this) registry.Unpublish(PageSlot::MainTabCtrl);
  tray_->Hide();
}

BOOL CMainDlg::OnInitDialog() {
  const QIcon icon = ProgramIcon();
  setWindowIcon(icon);
  InitStatusBar();
  InitTabs();
  SetTimer(kRemoteConfigTimer, 20000);
  SetTimer(kTitleTimer, 90000);
  setWindowTitle(ToQString(g_strWindowTitle));
  return TRUE;
}

BOOL CMainDlg::InitStatusBar() {
  for (int i = 0; i < 3; ++i) {
    panes_[i] = new QLabel(QString::fromUtf8(kPaneTexts[i]), statusBar_);
    panes_[i]->setObjectName(QStringLiteral("pane%1").arg(i));
    panes_[i]->setToolTip(panes_[i]->text());
    statusBar_->addWidget(panes_[i], i == 1 ? 1 : 0);  // pane 1 stretches
  }
  LayoutPanes();
  statusBar_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(statusBar_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (ChooseStatusMenuCommand(statusBar_->mapToGlobal(at)) == kAboutCommandId) OnAbout();
  });
  PageRegistry::Instance().Publish<IStatusBar>(PageSlot::StatusBar, this);
  return TRUE;
}

void CMainDlg::InitTabs() {
  m_ctrlTab.AddPage("今日Velkor", &m_dlgTrackTabs, CTrackTabsDlg::IDD);
  m_ctrlTab.AddPage("敢死队排行榜", &m_dlgHotMoneyTabs, CHotMoneyTabsDlg::IDD);
  m_ctrlTab.AddPage("搜索&&查询", &m_dlgTracker, CTrackerPage::IDD);
  m_ctrlTab.AddPage("大宗交易", &m_dlgDzjy, CDzjyDlg::IDD);
  m_ctrlTab.AddPage("数据下载", &m_dlgDownloadData, CDownloadDataDlg::IDD);
  m_ctrlTab.AddPage("系统设置", &m_dlgSetting, CSettingDlg::IDD);
  m_ctrlTab.SetCurSel(0);
  m_ctrlTab.Show();
  PageRegistry::Instance().Publish<IMainTabs>(PageSlot::MainTabCtrl, this);
}

QSize CMainDlg::StartSize() const {
  const QSize tabs = m_ctrlTab.sizeHint().expandedTo(m_ctrlTab.minimumSizeHint());
  return {tabs.width(), tabs.height() + statusBar_->sizeHint().height()};
}

QSize CMainDlg::SmallestSize() const {
  const QSize tabs = m_ctrlTab.minimumSizeHint();
  return {tabs.width(), tabs.height() + statusBar_->sizeHint().height()};
}

void CMainDlg::PlaceOnScreen() {
  const QScreen* shownOn = screen();
  if (shownOn == nullptr) shownOn = QGuiApplication::primaryScreen();
  if (shownOn != nullptr) {
    PlaceOnScreen(shownOn->availableGeometry());
  } else {
    resize(StartSize());
  }
}

void CMainDlg::PlaceOnScreen(const QRect& available) {
  const QSize need = StartSize();
  setMinimumSize(SmallestSize().boundedTo(available.size()));
  if (need.width() > available.width() || need.height() > available.height()) {
    resize(available.size());
    move(available.topLeft());
    setWindowState(windowState() | Qt::WindowMaximized);
    return;
  }
  setWindowState(windowState() & ~Qt::WindowMaximized);
  resize(need);
  move(available.topLeft() + QPoint((available.width() - need.width()) / 2, (available.height() - need.height()) / 2));
}

void CMainDlg::OnTimer(UINT id) {
  if (id == kRemoteConfigTimer) {
    // Killed first, so the check runs once even when it keeps a dialog open longer
    // than the period.
    KillTimer(kRemoteConfigTimer);
    CheckRemoteConfig();
    WriteIsExit(0);
  } else if (id == kTitleTimer) {
    setWindowTitle(ToQString(g_strWindowTitle));
    KillTimer(kTitleTimer);
  }
}

void CMainDlg::CheckRemoteConfig() {
  const NoticeAddresses addresses = ReadNoticeAddresses(AppPath(kSettingsFileName));
  g_strUpgradeUrl = addresses.upgrade;
  QPointer<CMainDlg> self(this);
  StartNoticeCheck(addresses, RemoteNoticeOptions(), [self](const NoticeFetchResult& result) {
    if (self == nullptr || result.code != 0) return;  // a failed fetch changes nothing visible
    g_strNoticeText = result.text;
    self->ParseRemoteConfig();
  });
}

void CMainDlg::ParseRemoteConfig() {
  const RemoteConfig config = ::ParseRemoteConfig(g_strNoticeText);
  if (config.newer) {
    g_strNewVersionUrl = g_strUpgradeUrl;
    CNewVersionDlg dialog(this);
    RunModal(dialog);
  }
  AppendNoticePages(config);
  KillTimer(kRemoteConfigTimer);
}

void CMainDlg::OnAbout() {
  CAboutDlg dialog(this);
  RunModal(dialog);
}

int CMainDlg::ChooseStatusMenuCommand(const QPoint& at) {
  QMenu menu(this);
  QAction* about = menu.addAction(QStringLiteral("关于 Velkor Desk..."));
  return menu.exec(at) == about ? kAboutCommandId : 0;
}

void CMainDlg::AddTrayIcon() {
  tray_->Show(windowIcon().isNull() ? ProgramIcon() : windowIcon(), QString::fromUtf8(kTrayTip));
  hide();
}

int CMainDlg::OnTrayNotify(UINT iconId, UINT mouseMessage) {
  if (iconId != kTrayIconId) return 1;
  if (mouseMessage == kTrayLeftDoubleClick) {
    tray_->Hide();
    showNormal();
    activateWindow();
    raise();
  } else if (mouseMessage == kTrayRightButtonUp) {
    if (ChooseTrayMenuCommand(QCursor::pos()) == IDCANCEL) QCoreApplication::exit(0);  // the orderly road
  }
  return 0;
}

int CMainDlg::ChooseTrayMenuCommand(const QPoint& at) {
  QMenu menu(this);
  QAction* exitAction = menu.addAction(QStringLiteral("退出"));
  return menu.exec(at) == exitAction ? IDCANCEL : 0;
}

void CMainDlg::SetPaneText(int pane, const std::string& text) {
  if (pane < 0 || pane > 2 || panes_[pane] == nullptr) return;
  panes_[pane]->setText(ToQString(text));
}

QString CMainDlg::PaneText(int pane) const {
  return pane >= 0 && pane <= 2 && panes_[pane] != nullptr ? panes_[pane]->text() : QString();
}

int CMainDlg::SetCurSel(int index) { return m_ctrlTab.SetCurSel(index); }

int CMainDlg::GetCurSel() const { return m_ctrlTab.GetCurSel(); }

void CMainDlg::changeEvent(QEvent* event) {
  CPage::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
  // Without a tray the window stays a normal minimised window.
  if (g_Settings.IsToTray == 1 && tray_->IsAvailable()) AddTrayIcon();
}

void CMainDlg::closeEvent(QCloseEvent* event) {
  g_bClosing = true;
  closedByCloseBox_ = true;
  WorkerRegistry& workers = WorkerRegistry::Instance();
  workers.RequestStopAll();
  // A worker blocked in a call to the UI thread is released here.
  PageRegistry::Instance().BeginShutdown();
  leftWorkersRunning_ = !workers.JoinAll(closeBound_);
  event->accept();
  QCoreApplication::exit(1);
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
  CPage::resizeEvent(event);
  LayoutPanes();
}

void CMainDlg::LayoutPanes() {
  const int third = width() / 3;
  for (QLabel* pane : panes_) {
    if (pane != nullptr) pane->setMinimumWidth(std::max(0, third - 8));
  }
}

void CMainDlg::OnMeasureItem(int ctlId, LPMEASUREITEMSTRUCT mis) {
  IMenuOwner::OnMeasureItem(ctlId, mis);
  CMenuEx::OnMeasureItem(mis);
}

void CMainDlg::OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu) {
  IMenuOwner::OnInitMenuPopup(popup, index, sysMenu);
  CMenuEx::OnInitMenuPopup(popup, index, sysMenu);
}
