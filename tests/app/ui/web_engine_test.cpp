// The embedded browser on fixture pages. Runs offscreen with the engine's sandbox
// switched off for this test (we run as root) and without the GPU.
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include "../../support/fixture_http_server.h"
#include "../../support/gui_driver.h"
#include "app/ui/engine_web_view.h"
#include "app/ui/web_browser2.h"
#include "platform/ui/qt_convert.h"

namespace {

// The engine shares its GL contexts: set before the application object exists.
const bool kShareContexts = [] {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  return true;
}();

using namespace std::chrono_literals;

class WebEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kShareContexts);
    ASSERT_EQ(ProcessWebViewKind(), WebViewKind::Engine) << "the test's environment must switch the sandbox off";
    server_.Route("/page", FixtureResponse::Ok("<html><head><title>Fixture Page</title></head>"
                                               "<body><h1>fixture</h1></body></html>"));
    server_.Route("/noisy", FixtureResponse::Ok("<html><head><title>noisy</title></head><body><script>"
                                                "console.error('broken'); alert('hello'); confirm('sure?');"
                                                "prompt('name?'); document.title = 'survived';"
                                                "</script></body></html>"));
    server_.Route("/popup", FixtureResponse::Ok("<html><head><title>popup</title></head><body><script>"
                                                "var w = window.open('/opened', '_blank');"
                                                "document.title = w ? 'window' : 'no window';"
                                                "</script></body></html>"));
    server_.Route("/to-file", FixtureResponse::Ok("<html><head><title>to-file</title></head><body><script>"
                                                  "setTimeout(function(){ location.href = 'file:///etc/hostname'; "
                                                  "document.title = 'tried'; }, 10);"
                                                  "</script></body></html>"));
    browser_ = std::make_unique<CWebBrowser2>(nullptr, WebViewKind::Engine);
    browser_->resize(640, 480);
    browser_->show();
    ASSERT_TRUE(GuiDriver::WaitForExposed(browser_.get()));
  }
  void TearDown() override { browser_.reset(); }

  // Loads a page and waits for the end of the load; false when it never ended.
  bool Load(const std::string& path, bool* ok) {
    QSignalSpy finished(browser_.get(), &CWebBrowser2::loadFinished);
    if (!browser_->Navigate(server_.BaseUrl() + path)) return false;
    if (!finished.wait(60000)) return false;
    *ok = finished.takeFirst().at(0).toBool();
    return true;
  }
  SilentWebPage* Page() { return static_cast<EngineWebView&>(browser_->View()).Page(); }

  FixtureHttpServer server_;
  std::unique_ptr<CWebBrowser2> browser_;
};

TEST_F(WebEngineTest, LoadsAFixturePage) {
  ASSERT_EQ(browser_->Kind(), WebViewKind::Engine);
  bool ok = false;
  ASSERT_TRUE(Load("/page", &ok));
  EXPECT_TRUE(ok);
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return browser_->LocationName() == "Fixture Page"; }, 10000));
  EXPECT_EQ(browser_->LocationURL(), server_.BaseUrl() + "/page");
  EXPECT_FALSE(browser_->Busy());
  EXPECT_EQ(server_.CountOf("/page"), 1);
  // What the page looks like (kept as a test artefact; grab() of an engine view may be
  // blank offscreen, so only a display server shows it).
  GuiDriver::WaitUntil([] { return false; }, 300);
  browser_->grab().save(QString::fromStdString(std::string(::testing::TempDir()) + "web_engine_page.png"));
}

TEST_F(WebEngineTest, ScriptDialogsAndConsoleStaySilent) {
  const int windowsBefore = static_cast<int>(QApplication::topLevelWidgets().size());
  bool ok = false;
  ASSERT_TRUE(Load("/noisy", &ok));
  EXPECT_TRUE(ok);
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return browser_->LocationName() == "survived"; }, 10000));
  EXPECT_EQ(static_cast<int>(QApplication::topLevelWidgets().size()), windowsBefore);
  EXPECT_TRUE(GuiDriver::TakeBoxes().empty());
}

TEST_F(WebEngineTest, WindowOpenCreatesNothing) {
  const int windowsBefore = static_cast<int>(QApplication::topLevelWidgets().size());
  bool ok = false;
  ASSERT_TRUE(Load("/popup", &ok));
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return browser_->LocationName() == "no window"; }, 10000))
      << browser_->LocationName();
  GuiDriver::WaitUntil([] { return false; }, 300);
  EXPECT_EQ(server_.CountOf("/opened"), 0);
  EXPECT_EQ(static_cast<int>(QApplication::topLevelWidgets().size()), windowsBefore);
}

TEST_F(WebEngineTest, FileNavigationIsRefused) {
  EXPECT_FALSE(browser_->Navigate("file:///etc/hostname"));
  bool ok = false;
  ASSERT_TRUE(Load("/to-file", &ok));
  // A page's script cannot take the view to a local file.
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return browser_->LocationName() == "tried"; }, 10000));
  GuiDriver::WaitUntil([] { return false; }, 300);
  EXPECT_EQ(browser_->LocationURL(), server_.BaseUrl() + "/to-file");
  // Nor can a load that goes around the browser's own check: the page refuses it.
  Page()->load(QUrl(QStringLiteral("file:///etc/hostname")));
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return Page()->RefusedNavigations() > 0; }, 10000));
  GuiDriver::WaitUntil([] { return false; }, 300);
  EXPECT_EQ(browser_->LocationURL(), server_.BaseUrl() + "/to-file");
}

// A right click on a link: the engine's entries in Chinese, and only those that do
// something here (no new window, no saving, no page source).
TEST_F(WebEngineTest, TheContextMenuIsChineseAndLeavesOutWhatCannotWork) {
  server_.Route("/menu", FixtureResponse::Ok("<body style='margin:0'><a href='/page' style='display:block;"
                                             "height:400px'>link</a></body>"));
  bool ok = false;
  ASSERT_TRUE(Load("/menu", &ok));
  QWidget* view = static_cast<EngineWebView&>(browser_->View()).View()->focusProxy();
  QMenu* menu = nullptr;
  for (int attempt = 0; attempt < 20 && menu == nullptr; ++attempt) {  // the page may still be laid out
    GuiDriver::Click(view, Qt::RightButton, QPoint(100, 100));
    GuiDriver::WaitUntil([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); }, 500);
  }
  ASSERT_NE(menu, nullptr);
  QStringList texts;
  for (QAction* action : menu->actions()) texts << action->text();
  menu->close();
  EXPECT_EQ(texts.join('|'), QStringLiteral("后退|前进|重新加载||复制链接地址"));
}

}  // namespace
