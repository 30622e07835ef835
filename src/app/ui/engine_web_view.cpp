#include "app/ui/engine_web_view.h"

#include <QAuthenticator>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "platform/debug_log.h"
#include "platform/ui/qt_convert.h"

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

EngineWebView::EngineWebView(QWidget* parent)
    : profile_(new QWebEngineProfile()),  // no storage name: off the record
      page_(new SilentWebPage(profile_, nullptr)),
      view_(new QWebEngineView(parent)) {
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
