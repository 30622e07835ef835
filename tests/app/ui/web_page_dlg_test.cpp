// The web page tab with its link view (the engine has a test of its own).
#include "app/ui/web_page_dlg.h"

#include <QApplication>
#include <QFontInfo>
#include <gtest/gtest.h>

#include "../../support/fixture_http_server.h"
#include "../../support/gui_driver.h"
#include "app/remote_notice.h"
#include "app/ui/link_web_view.h"
#include "controls/ui/hyper_link.h"
#include "platform/ui/dc.h"
#include "platform/ui/qt_convert.h"
#include "settings/settings.h"

namespace {

int CountColour(const QImage& image, COLORREF colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += FromQColor(image.pixelColor(x, y)) == colour;
  }
  return n;
}

class WebPageDlgTest : public testing::Test {
 protected:
  void SetUp() override {
    SetWebViewKindOverride(WebViewKind::Link);
    g_strWebSiteList.clear();
    g_strStartPage = server_.BaseUrl() + "/start";
    WebPagePeriods().rotationMs = 58000;
    CHyperLink::SetDefaultOpener([this](const QUrl& url) {
      opened_.push_back(FromQString(url.toString()));
      return true;
    });
  }
  void TearDown() override {
    SetWebViewKindOverride(std::nullopt);
    CHyperLink::SetDefaultOpener(nullptr);
    g_strWebSiteList.clear();
    g_strStartPage.clear();
    WebPagePeriods() = WebPageTimers{};
  }
  std::unique_ptr<CWebPageDlg> MakePage() {
    auto page = std::make_unique<CWebPageDlg>();
    page->resize(700, 300);
    page->InitDialog();
    page->show();
    EXPECT_TRUE(GuiDriver::WaitForExposed(page.get()));
    return page;
  }
  static CHyperLink* LinkOf(CWebPageDlg& page) {
    return static_cast<LinkWebView&>(page.m_WebBrowser2.View()).Link();
  }

  FixtureHttpServer server_;
  std::vector<std::string> opened_;
};

TEST_F(WebPageDlgTest, HintLineIsRedSixteenPixelsWeight600) {
  auto page = MakePage();
  auto* hint = GuiDriver::FindAs<QLabel>(page.get(), CWebPageDlg::kHintId);
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->text(), QStringLiteral("建议：软件启动20秒后再操作， 因为启动时要进行 比较耗时的 数据下载 和 大数据计算。"));
  EXPECT_EQ(FromQColor(hint->palette().color(QPalette::WindowText)), RGB(255, 0, 0));
  EXPECT_EQ(hint->font().pixelSize(), 16);
  EXPECT_EQ(hint->font().weight(), QFont::DemiBold);
  EXPECT_EQ(hint->font().family(), QString::fromUtf8(kMonoCjkFace));
  EXPECT_EQ(GuiDriver::Find(page.get(), CWebPageDlg::kBrowserId), &page->m_WebBrowser2);
  EXPECT_EQ(page->TimerInterval(CWebPageDlg::kRotationTimer), 58000);
}

TEST_F(WebPageDlgTest, LinkViewShowsStartPageThenRotates) {
  auto page = MakePage();
  CHyperLink* link = LinkOf(*page);
  EXPECT_EQ(FromQString(link->text()), g_strStartPage);
  EXPECT_EQ(page->m_WebBrowser2.LocationURL(), g_strStartPage);
  EXPECT_EQ(link->GetUnderline(), CHyperLink::kUnderlineAlways);
  // No pages yet: the start page stays.
  page->NavigateNext();
  EXPECT_EQ(page->m_WebBrowser2.LocationURL(), g_strStartPage);

  for (int i = 1; i <= 3; ++i) g_strWebSiteList.push_back(server_.BaseUrl() + "/page" + std::to_string(i));
  std::vector<std::string> shown;
  for (int i = 0; i < 4; ++i) {
    page->OnTimer(CWebPageDlg::kRotationTimer);
    shown.push_back(FromQString(link->text()));
  }
  EXPECT_EQ(shown, (std::vector<std::string>{g_strWebSiteList[0], g_strWebSiteList[1], g_strWebSiteList[2],
                                             g_strWebSiteList[0]}));
  EXPECT_EQ(link->GetURL(), g_strWebSiteList[0]);
  ASSERT_TRUE(GuiDriver::Click(link));
  EXPECT_EQ(opened_, (std::vector<std::string>{g_strWebSiteList[0]}));
  GuiDriver::ScreenClick(page.get(), QPoint(page->width() - 5, page->height() - 5));  // beside the link
  page->m_WebBrowser2.Navigate("about:blank");
  EXPECT_FALSE(link->isVisible());
  EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(WebPageDlgTest, TimerDrivesTheRotation) {
  WebPagePeriods().rotationMs = 20;
  g_strWebSiteList = {server_.BaseUrl() + "/a", server_.BaseUrl() + "/b"};
  auto page = MakePage();
  CHyperLink* link = LinkOf(*page);
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return FromQString(link->text()) == g_strWebSiteList[1]; }, 3000));
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return FromQString(link->text()) == g_strWebSiteList[0]; }, 3000));
  // Hidden, it goes on.
  page->hide();
  EXPECT_TRUE(GuiDriver::WaitUntil([&] { return FromQString(link->text()) == g_strWebSiteList[1]; }, 3000));
}

TEST_F(WebPageDlgTest, OnlyWebAddressesAreNavigated) {
  g_strStartPage = "javascript:alert(1)";
  auto page = MakePage();
  EXPECT_EQ(page->m_WebBrowser2.LocationURL(), "about:blank");
  CWebBrowser2& browser = page->m_WebBrowser2;
  EXPECT_FALSE(browser.Navigate("file:///etc/passwd"));
  EXPECT_FALSE(browser.Navigate("ftp://example.com/"));
  EXPECT_EQ(browser.LocationURL(), "about:blank");
  // A page that slipped into the list is skipped without changing what is shown.
  g_strWebSiteList = {"file:///etc/passwd", server_.BaseUrl() + "/ok"};
  page->NavigateNext();
  EXPECT_EQ(browser.LocationURL(), "about:blank");
  page->NavigateNext();
  EXPECT_EQ(browser.LocationURL(), server_.BaseUrl() + "/ok");

  g_strStartPage.clear();
  auto empty = MakePage();
  EXPECT_EQ(empty->m_WebBrowser2.LocationURL(), "about:blank");
}

TEST_F(WebPageDlgTest, BrowserSurfaceOverTheLinkView) {
  CWebBrowser2 browser(nullptr, WebViewKind::Link);
  EXPECT_EQ(browser.Kind(), WebViewKind::Link);
  int finished = 0;
  QObject::connect(&browser, &CWebBrowser2::loadFinished, [&](bool ok) { finished += ok ? 1 : 100; });
  browser.put_Silent(true);
  EXPECT_TRUE(browser.get_Silent());
  ASSERT_TRUE(browser.Navigate("http://one.example.com/"));
  ASSERT_TRUE(browser.Navigate("http://two.example.com/"));
  EXPECT_EQ(finished, 2);
  EXPECT_FALSE(browser.Busy());
  browser.GoBack();
  EXPECT_EQ(browser.LocationURL(), "http://one.example.com/");
  browser.GoBack();  // nothing before the first page
  EXPECT_EQ(browser.LocationURL(), "http://one.example.com/");
  browser.GoForward();
  EXPECT_EQ(browser.LocationURL(), "http://two.example.com/");
  EXPECT_EQ(browser.LocationName(), "http://two.example.com/");
  browser.SetHomePage("http://home.example.com/");
  browser.GoHome();
  EXPECT_EQ(browser.LocationURL(), "http://home.example.com/");
  browser.GoForward();  // a new page ended the forward history
  EXPECT_EQ(browser.LocationURL(), "http://home.example.com/");
  browser.Refresh();
  browser.Stop();
  EXPECT_EQ(browser.LocationURL(), "http://home.example.com/");
}

TEST_F(WebPageDlgTest, ViewChoice) {
  EXPECT_EQ(ChooseWebViewKind(false, false, "", ""), WebViewKind::Link);
  EXPECT_EQ(ChooseWebViewKind(false, true, "1", "--no-sandbox"), WebViewKind::Link);
  EXPECT_EQ(ChooseWebViewKind(true, false, "", ""), WebViewKind::Engine);
  EXPECT_EQ(ChooseWebViewKind(true, true, "", ""), WebViewKind::Link);
  EXPECT_EQ(ChooseWebViewKind(true, true, "0", ""), WebViewKind::Link);
  EXPECT_EQ(ChooseWebViewKind(true, true, "1", ""), WebViewKind::Engine);
  EXPECT_EQ(ChooseWebViewKind(true, true, "", "--disable-gpu --no-sandbox"), WebViewKind::Engine);
  EXPECT_EQ(ChooseWebViewKind(true, true, "", "--disable-gpu"), WebViewKind::Link);
  // An engine asked of a build without one, or as root without the sandbox switch,
  // falls back to the link view (this test runs without the switch).
  if (EnvironmentWebViewKind() == WebViewKind::Link) {
    CWebBrowser2 browser(nullptr, WebViewKind::Engine);
    EXPECT_EQ(browser.Kind(), WebViewKind::Link);
  }
}

TEST_F(WebPageDlgTest, ScreenshotShowsTheAddressAndTheRedHint) {
  g_strWebSiteList = {server_.BaseUrl() + "/fixture-page"};
  auto page = MakePage();
  page->NavigateNext();
  const QImage shot = GuiDriver::Grab(page.get());
  shot.save(QString::fromStdString(std::string(::testing::TempDir()) + "web_page_tab.png"));
  auto* hint = GuiDriver::FindAs<QLabel>(page.get(), CWebPageDlg::kHintId);
  const QRect hintArea = hint->geometry();
  EXPECT_GT(CountColour(shot.copy(hintArea), RGB(255, 0, 0)), 200);
  CHyperLink* link = LinkOf(*page);
  EXPECT_EQ(FromQString(link->text()), g_strWebSiteList[0]);
  const QRect linkArea(link->mapTo(page.get(), QPoint(0, 0)), link->size());
  const QImage linkShot = shot.copy(linkArea);
  EXPECT_GT(CountColour(linkShot, RGB(0, 0, 238)), 100);  // the address in link colour
  EXPECT_EQ(CountColour(linkShot, RGB(255, 0, 0)), 0);
}

}  // namespace
