#pragma once
// The browser view over the embedded engine, kept silent: no script dialogs, no
// console output (unless not silent: then to the debug log), no new windows, no
// downloads, permissions or credentials, and no navigation outside http, https and
// about:blank. Its profile is off the record: nothing is written under the home folder.
// Its context menu holds only entries that do something here, in Chinese.

#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/ui/web_browser2.h"

class QMenu;
class QWebEngineProfile;

class SilentWebPage final : public QWebEnginePage {
  Q_OBJECT

 public:
  SilentWebPage(QWebEngineProfile* profile, QObject* parent);

  void SetSilent(bool silent) { silent_ = silent; }
  // Navigations refused so far (tests read it).
  int RefusedNavigations() const { return refused_; }

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptAlert(const QUrl& origin, const QString& message) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
  bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& defaultValue,
                        QString* result) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                const QString& source) override;

 private:
  bool silent_ = true;
  int refused_ = 0;
};

// The engine's view with a context menu that leaves out what cannot work here: new
// windows and tabs (none is made), saving a page, an image, a link or media (downloads
// are cancelled), the page source (a window of its own), the developer tools and full
// screen.
class MenuWebView final : public QWebEngineView {
 public:
  using QWebEngineView::QWebEngineView;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // The menu for the last request the page made, without those entries; nullptr when
  // the page made none or nothing is left. The caller owns it.
  QMenu* CreateContextMenu();
};

class EngineWebView final : public IWebView {
 public:
  explicit EngineWebView(QWidget* parent);
  ~EngineWebView() override;

  QWidget* Widget() override;
  void Load(const QUrl& url) override;
  void Back() override;
  void Forward() override;
  void Reload() override;
  void StopLoading() override;
  QUrl Url() const override;
  QString Title() const override;
  bool Loading() const override { return loading_; }
  void SetSilent(bool silent) override;

  QWebEngineView* View() { return view_; }
  SilentWebPage* Page() { return page_; }

 private:
  QWebEngineProfile* profile_;
  SilentWebPage* page_;
  MenuWebView* view_;
  bool loading_ = false;
};
