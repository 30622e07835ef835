#include "app/ui/web_browser2.h"

#include <QVBoxLayout>
#include <unistd.h>

#include "app/ui/link_web_view.h"
#include "platform/hyper_link_rules.h"
#include "platform/ui/qt_convert.h"
#ifdef VELKOR_HAVE_WEB_ENGINE
#include "app/ui/engine_web_view.h"
#endif

namespace {

std::optional<WebViewKind>& KindOverride() {
  static std::optional<WebViewKind> kind;
  return kind;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::unique_ptr<IWebView> MakeView(WebViewKind kind, QWidget* parent) {
#ifdef VELKOR_HAVE_WEB_ENGINE
  if (kind == WebViewKind::Engine) return std::make_unique<EngineWebView>(parent);
#else
  (void)kind;
#endif
  return std::make_unique<LinkWebView>(parent);
}

}  // namespace

bool WebEngineCompiled() {
#ifdef VELKOR_HAVE_WEB_ENGINE
  return true;
#else
  return false;
#endif
}

WebViewKind ChooseWebViewKind(bool engineCompiled, bool isRoot, const std::string& disableSandbox,
                              const std::string& chromiumFlags) {
  if (!engineCompiled) return WebViewKind::Link;
  if (!isRoot) return WebViewKind::Engine;
  const bool sandboxOff = (!disableSandbox.empty() && disableSandbox != "0") ||
                          chromiumFlags.find("--no-sandbox") != std::string::npos;
  return sandboxOff ? WebViewKind::Engine : WebViewKind::Link;
}

WebViewKind ProcessWebViewKind() {
  if (KindOverride()) return *KindOverride();
  return EnvironmentWebViewKind();
}

WebViewKind EnvironmentWebViewKind() {
  return ChooseWebViewKind(WebEngineCompiled(), geteuid() == 0, Environment("QTWEBENGINE_DISABLE_SANDBOX"),
                           Environment("QTWEBENGINE_CHROMIUM_FLAGS"));
}

void SetWebViewKindOverride(std::optional<WebViewKind> kind) { KindOverride() = kind; }

bool IsNavigableAddress(const std::string& url) { return url == "about:blank" || IsWebAddress(url); }

CWebBrowser2::CWebBrowser2(QWidget* parent, std::optional<WebViewKind> kind)
    : QWidget(parent), kind_(kind.value_or(ProcessWebViewKind())) {
  // Never an engine that would refuse to start (and take the program with it).
  if (kind_ == WebViewKind::Engine && EnvironmentWebViewKind() != WebViewKind::Engine) kind_ = WebViewKind::Link;
  view_ = MakeView(kind_, this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_->Widget());
#ifdef VELKOR_HAVE_WEB_ENGINE
  if (kind_ == WebViewKind::Engine) {
    auto* engine = static_cast<EngineWebView*>(view_.get());
    connect(engine->Page(), &QWebEnginePage::loadFinished, this, &CWebBrowser2::loadFinished);
  }
#endif
}

CWebBrowser2::~CWebBrowser2() = default;

bool CWebBrowser2::Navigate(const std::string& url) {
  if (!IsNavigableAddress(url)) return false;
  const QUrl address(ToQString(url), QUrl::StrictMode);
  if (!address.isValid()) return false;
  view_->Load(address);
  if (kind_ == WebViewKind::Link) emit loadFinished(true);
  return true;
}

void CWebBrowser2::put_Silent(bool silent) {
  silent_ = silent;
  view_->SetSilent(silent);
}

void CWebBrowser2::GoBack() { view_->Back(); }

void CWebBrowser2::GoForward() { view_->Forward(); }

void CWebBrowser2::GoHome() {
  if (!Navigate(home_)) Navigate("about:blank");
}

void CWebBrowser2::Refresh() { view_->Reload(); }

void CWebBrowser2::Stop() { view_->StopLoading(); }

std::string CWebBrowser2::LocationURL() const { return FromQString(view_->Url().toString()); }

std::string CWebBrowser2::LocationName() const { return FromQString(view_->Title()); }

bool CWebBrowser2::Busy() const { return view_->Loading(); }
