#pragma once
// The web page tab's browser: navigation, the silent flag, history, the current
// address and title, over one of two views. With the engine compiled in and allowed
// to start, a real embedded browser; otherwise a link view that shows the current
// address as a link the user can open in the desktop's browser.
//
// Only http and https addresses (and about:blank) are navigated; anything else is
// refused and the view stays where it was.

#include <QUrl>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

// What a view behind CWebBrowser2 offers.
class IWebView {
 public:
  virtual ~IWebView() = default;
  virtual QWidget* Widget() = 0;
  virtual void Load(const QUrl& url) = 0;
  virtual void Back() = 0;
  virtual void Forward() = 0;
  virtual void Reload() = 0;
  virtual void StopLoading() = 0;
  virtual QUrl Url() const = 0;
  virtual QString Title() const = 0;
  virtual bool Loading() const = 0;
  // Console messages go to the debug log instead of being dropped when not silent.
  virtual void SetSilent(bool silent) = 0;
};

enum class WebViewKind { Engine, Link };

// True when this build has the embedded engine.
bool WebEngineCompiled();
// The engine, unless it is not compiled in, or the process runs as root and the user
// has not switched the engine's sandbox off (QTWEBENGINE_DISABLE_SANDBOX set to a
// non-empty value other than "0", or "--no-sandbox" among QTWEBENGINE_CHROMIUM_FLAGS):
// the engine would refuse to start and end the program.
WebViewKind ChooseWebViewKind(bool engineCompiled, bool isRoot, const std::string& disableSandbox,
                              const std::string& chromiumFlags);
// The choice for this process's user and environment.
WebViewKind EnvironmentWebViewKind();
// EnvironmentWebViewKind(), unless overridden. A browser never gets the engine when
// EnvironmentWebViewKind() says Link, whatever it was asked for.
WebViewKind ProcessWebViewKind();
// Tests: every browser built from now on uses `kind` (nullopt: the process's choice).
void SetWebViewKindOverride(std::optional<WebViewKind> kind);

// True for the addresses the browser navigates: web addresses and about:blank.
bool IsNavigableAddress(const std::string& url);

class CWebBrowser2 : public QWidget {
  Q_OBJECT

 public:
  explicit CWebBrowser2(QWidget* parent = nullptr, std::optional<WebViewKind> kind = std::nullopt);
  ~CWebBrowser2() override;

  // False, with nothing changed, for an address that is not navigable.
  bool Navigate(const std::string& url);
  void put_Silent(bool silent);
  bool get_Silent() const { return silent_; }
  void GoBack();
  void GoForward();
  // The start page (about:blank when none is set).
  void GoHome();
  void SetHomePage(const std::string& url) { home_ = url; }
  void Refresh();
  void Stop();
  std::string LocationURL() const;
  std::string LocationName() const;
  bool Busy() const;

  WebViewKind Kind() const { return kind_; }
  IWebView& View() { return *view_; }

 signals:
  void loadFinished(bool ok);

 private:
  WebViewKind kind_;
  std::unique_ptr<IWebView> view_;
  bool silent_ = false;
  std::string home_;
};
