#pragma once
// The browser view over the embedded engine, kept silent: no script dialogs, no
// console output (unless not silent: then to the debug log), no new windows, no
// downloads, permissions or credentials, and no navigation outside http, https and
// about:blank. Its profile is off the record: nothing is written under the home folder.

#include <QWebEnginePage>

#include "app/ui/web_browser2.h"

class QWebEngineProfile;
class QWebEngineView;

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
  QWebEngineView* view_;
  bool loading_ = false;
};
