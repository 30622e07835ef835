#include "app/ui/engine_web_view.h"

#include <QAuthenticator>
#include <QContextMenuEvent>
#include <QMenu>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "platform/debug_log.h"
#include "platform/ui/qt_convert.h"

namespace {

// What the page's own handlers turn into nothing (see SilentWebPage and the profile).
constexpr QWebEnginePage::WebAction kDeadActions[] = {
    QWebEnginePage::OpenLinkInNewWindow, QWebEnginePage::OpenLinkInNewTab,
    QWebEnginePage::OpenLinkInNewBackgroundTab, QWebEnginePage::DownloadLinkToDisk,
    QWebEnginePage::DownloadImageToDisk, QWebEnginePage::DownloadMediaToDisk,
    QWebEnginePage::SavePage, QWebEnginePage::ViewSource,
    QWebEnginePage::InspectElement, QWebEnginePage::ExitFullScreen};

bool IsDeadAction(QWebEnginePage* page, const QAction* action) {
  for (const QWebEnginePage::WebAction dead : kDeadActions) {
    if (page->action(dead) == action) return true;
  }
  return false;
}

// No separator first, last or next to another once entries are gone.
void TidySeparators(QMenu* menu) {
  const QAction* previous = nullptr;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator() && (previous == nullptr || previous->isSeparator())) {
      menu->removeAction(action);
      continue;
    }
    previous = action;
  }
  if (previous != nullptr && previous->isSeparator()) menu->removeAction(const_cast<QAction*>(previous));
}

}  // namespace

SilentWebPage::SilentWebPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
  connect(this, &QWebEnginePage::featurePermissionRequested, this,
          [this](const QUrl& origin, Feature feature) {
            setFeaturePermission(origin, feature, PermissionDeniedByUser);
          });
  connect(this, &QWebEnginePage::authenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator) { *authenticator = QAuthenticator(); });
  connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator, const QString&) { *authenticator = QAuthenticator(); });
  connect(this, &QWebEnginePage::fullScreenRequested, this,
          [](QWebEngineFullScreenRequest request) { request.reject(); });
}

bool SilentWebPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool) {
  if (IsNavigableAddress(FromQString(url.toString()))) return true;
  ++refused_;
  return false;
}

QWebEnginePage* SilentWebPage::createWindow(WebWindowType) { return nullptr; }

void SilentWebPage::javaScriptAlert(const QUrl&, const QString&) {}

bool SilentWebPage::javaScriptConfirm(const QUrl&, const QString&) { return false; }

bool SilentWebPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) { return false; }

void SilentWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int line,
                                             const QString& source) {
  if (silent_) return;
  AppendDebugLog("web page console: %s:%d: %s", FromQString(source.left(200)).c_str(), line,
                 FromQString(message.left(500)).c_str());
}

QMenu* MenuWebView::CreateContextMenu() {
  QMenu* menu = createStandardContextMenu();
  if (menu == nullptr) return nullptr;
  for (QAction* action : menu->actions()) {
    if (IsDeadAction(page(), action)) menu->removeAction(action);
  }
  TidySeparators(menu);
  if (menu->isEmpty()) {
    delete menu;
    return nullptr;
  }
  return menu;
}

void MenuWebView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu();
  if (menu == nullptr) return;
  menu->setAttribute(Qt::WA_DeleteOnClose, true);
  menu->popup(event->globalPos());
}

EngineWebView::EngineWebView(QWidget* parent)
    : profile_(new QWebEngineProfile()),  // no storage name: off the record
      page_(new SilentWebPage(profile_, nullptr)),
      view_(new MenuWebView(parent)) {
  // Pages that offer languages answer in Chinese, as the engine's own pages speak it.
  profile_->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));
  QObject::connect(profile_, &QWebEngineProfile::downloadRequested, profile_,
                   [](QWebEngineDownloadRequest* download) { download->cancel(); });
  QWebEngineSettings* settings = page_->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
  view_->setPage(page_);
  QObject::connect(page_, &QWebEnginePage::loadStarted, view_, [this] { loading_ = true; });
  QObject::connect(page_, &QWebEnginePage::loadFinished, view_, [this](bool) { loading_ = false; });
}

EngineWebView::~EngineWebView() {
  // The page goes before its profile, the view before the page it shows.
  delete view_;
  delete page_;
  delete profile_;
}

QWidget* EngineWebView::Widget() { return view_; }

void EngineWebView::Load(const QUrl& url) { page_->load(url); }

void EngineWebView::Back() { page_->triggerAction(QWebEnginePage::Back); }

void EngineWebView::Forward() { page_->triggerAction(QWebEnginePage::Forward); }

void EngineWebView::Reload() { page_->triggerAction(QWebEnginePage::Reload); }

void EngineWebView::StopLoading() { page_->triggerAction(QWebEnginePage::Stop); }

QUrl EngineWebView::Url() const { return page_->url(); }

QString EngineWebView::Title() const { return page_->title(); }

void EngineWebView::SetSilent(bool silent) { page_->SetSilent(silent); }
