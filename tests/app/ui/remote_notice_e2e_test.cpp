// The notice from start to end: the main window's timer 1 reads the Notice addresses
// of the program folder's "sysinfo.ini", fetches from the fixture server on a worker,
// shows the new-version dialog through the modal seam and feeds the web tab.
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>

#include "../../support/db_builder.h"
#include "../../support/fixture_http_server.h"
#include "../../support/gui_driver.h"
#include "../../support/temp_program_folder.h"
#include "app/remote_notice.h"
#include "app/ui/about_dlg.h"
#include "app/ui/main_dlg.h"
#include "app/ui/new_version_dlg.h"
#include "fake_tray.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_convert.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/ui/ui_seams.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"
#include "storage/ini_file.h"

namespace {

using namespace std::chrono_literals;

std::string NoticeBody(int version, const std::vector<std::string>& pages) {
  std::string text = "Velkor Desk Program notice\r\n[Program]\r\nversion=" + std::to_string(version) +
                     ";\r\nwebsite=http://unused.example.com/;\r\n[Advertisement]\r\nnumber=" +
                     std::to_string(pages.size()) + ";\r\n";
  for (std::size_t i = 0; i < pages.size(); ++i) {
    text += "website" + std::to_string(i + 1) + "=" + pages[i] + ";\r\n";
  }
  return text;
}

TempProgramFolder::Options WithExportFolder() {
  TempProgramFolder::Options options;
  options.withExportFolder = true;  // the daily list page writes its exports there
  return options;
}

// What the modal seam saw of the new-version dialog.
struct SeenDialog {
  int count = 0;
  QString line1;
  QString line2;
  std::string linkUrl;
  bool underlined = false;
  bool linkEnabled = false;
};

class RemoteNoticeE2eTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(server_.Port(), 0);
    g_bClosing = false;
    PageRegistry::Instance().Restart(&dispatcher_);
    WorkerRegistry::Instance().Restart();
    g_Settings = CSettings{};
    g_strWebSiteList.clear();
    g_strNoticeText.clear();
    g_strNewVersionUrl.clear();
    g_strStartPage = server_.BaseUrl() + "/start";
    SetWebViewKindOverride(WebViewKind::Link);
    RemoteNoticeOptions() = NoticeFetchOptions{};
    UiSeams::Instance().Reset();
    UiSeams::Instance().SetModalHandler([this](QDialog& dialog) {
      auto* notice = qobject_cast<CNewVersionDlg*>(&dialog);
      if (notice == nullptr) return IDCANCEL;
      ++seen_.count;
      const QStringList lines = notice->m_editNotice.toPlainText().split(QLatin1Char('\n'));
      seen_.line1 = lines.value(0);
      seen_.line2 = lines.value(1);
      seen_.linkUrl = notice->m_linkUpgrade.GetURL();
      seen_.underlined = notice->m_linkUpgrade.GetUnderline() == CHyperLink::kUnderlineAlways &&
                         notice->m_linkUpgrade.font().underline();
      seen_.linkEnabled = notice->m_linkUpgrade.isEnabled();
      return IDCANCEL;
    });
    pages_ = {server_.BaseUrl() + "/p1", server_.BaseUrl() + "/p2", server_.BaseUrl() + "/p3"};
    server_.Route("/notice", FixtureResponse::Ok(NoticeBody(26, pages_), "text/plain"));
    WriteNoticeKeys(server_.BaseUrl() + "/missing", server_.BaseUrl() + "/notice", server_.BaseUrl() + "/upgrade");
    db_ = std::make_unique<DbBuilder>(folder_.Path());
    db_->OpenGlobals();
  }
  void TearDown() override {
    WorkerRegistry::Instance().WaitFor(kNoticeWorkerName, 5000ms);
    dlg_.reset();
    PageRegistry::Instance().ResetForTests();
    g_ADODatabase.Close();
    g_ADODatabase_Custom.Close();
    UiSeams::Instance().Reset();
    SetWebViewKindOverride(std::nullopt);
    g_strWebSiteList.clear();
    g_bClosing = false;
  }
  void WriteNoticeKeys(const std::string& n1, const std::string& n2, const std::string& upgrade) {
    CIniFile ini(folder_.File("sysinfo.ini"));
    ini.WriteString("system", "IsExit", "1");
    ini.WriteString("Notice", "NoticeUrl1", n1);
    ini.WriteString("Notice", "NoticeUrl2", n2);
    ini.WriteString("Notice", "UpgradeUrl", upgrade);
  }
  CMainDlg& Window() {
    dlg_ = std::make_unique<CMainDlg>(std::make_unique<FakeTray>(true));
    dlg_->resize(1024, 720);
    dlg_->InitDialog();
    return *dlg_;
  }
  std::string IsExit() const {
    return CIniFile(folder_.File("sysinfo.ini")).GetString("system", "IsExit", std::string("?"));
  }
  std::vector<std::string> Ticks(CMainDlg& dlg, int n) {
    CWebPageDlg& web = dlg.m_dlgTrackTabs.m_dlgWebPage;
    std::vector<std::string> shown;
    for (int i = 0; i < n; ++i) {
      web.OnTimer(CWebPageDlg::kRotationTimer);
      shown.push_back(web.m_WebBrowser2.LocationURL());
    }
    return shown;
  }

  QtUiDispatcher dispatcher_;
  TempProgramFolder folder_{WithExportFolder()};
  FixtureHttpServer server_;
  std::unique_ptr<DbBuilder> db_;
  std::unique_ptr<CMainDlg> dlg_;
  std::vector<std::string> pages_;
  SeenDialog seen_;
};

TEST_F(RemoteNoticeE2eTest, NewerNoticeShowsTheDialogAndFeedsTheWebTab) {
  CMainDlg& dlg = Window();
  EXPECT_EQ(dlg.TimerInterval(CMainDlg::kRemoteConfigTimer), 20000);
  EXPECT_EQ(dlg.m_dlgTrackTabs.m_dlgWebPage.m_WebBrowser2.LocationURL(), g_strStartPage);
  dlg.OnTimer(CMainDlg::kRemoteConfigTimer);
  EXPECT_EQ(IsExit(), "0");  // written as the check starts, whatever comes of it
  EXPECT_EQ(dlg.TimerInterval(CMainDlg::kRemoteConfigTimer), -1);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return seen_.count > 0; }, 10000));
  EXPECT_EQ(seen_.count, 1);
  EXPECT_EQ(seen_.line1, QStringLiteral("新版本已经发布：请点击下面地址升级软件，"));
  EXPECT_EQ(FromQString(seen_.line2), server_.BaseUrl() + "/upgrade");
  EXPECT_EQ(seen_.linkUrl, server_.BaseUrl() + "/upgrade");
  EXPECT_TRUE(seen_.underlined);
  EXPECT_TRUE(seen_.linkEnabled);
  // The first address answered 404; the second gave the notice, both without caching.
  EXPECT_EQ(server_.Targets(), (std::vector<std::string>{"/missing", "/notice"}));
  for (const FixtureRequest& request : server_.Requests()) EXPECT_EQ(request.Header("Pragma"), "no-cache");
  EXPECT_EQ(g_strWebSiteList, pages_);
  EXPECT_EQ(Ticks(dlg, 4), (std::vector<std::string>{pages_[0], pages_[1], pages_[2], pages_[0]}));
  const std::string log = folder_.ReadFile("DebugLog.txt");
  EXPECT_NE(log.find("website1=" + pages_[0]), std::string::npos);
  EXPECT_NE(log.find("website3=" + pages_[2]), std::string::npos);
}

TEST_F(RemoteNoticeE2eTest, CurrentVersionShowsNoDialogButFeedsTheTab) {
  server_.Route("/notice", FixtureResponse::Ok(NoticeBody(25, pages_)));
  CMainDlg& dlg = Window();
  dlg.OnTimer(CMainDlg::kRemoteConfigTimer);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return g_strWebSiteList.size() == 3; }, 10000));
  EXPECT_EQ(seen_.count, 0);
  EXPECT_EQ(Ticks(dlg, 2), (std::vector<std::string>{pages_[0], pages_[1]}));
}

TEST_F(RemoteNoticeE2eTest, UnreachableServerChangesNothingVisible) {
  server_.Stop();
  CMainDlg& dlg = Window();
  dlg.OnTimer(CMainDlg::kRemoteConfigTimer);
  EXPECT_TRUE(WorkerRegistry::Instance().WaitFor(kNoticeWorkerName, 10000ms));
  GuiDriver::WaitUntil([] { return false; }, 100);  // let a queued result arrive, if any
  EXPECT_EQ(seen_.count, 0);
  EXPECT_EQ(UiSeams::Instance().ModalCount(), 0);
  EXPECT_TRUE(g_strWebSiteList.empty());
  EXPECT_EQ(IsExit(), "0");
  EXPECT_EQ(Ticks(dlg, 3), (std::vector<std::string>(3, g_strStartPage)));
}

TEST_F(RemoteNoticeE2eTest, EmptySettingsFetchNothing) {
  WriteNoticeKeys("", "", "");
  CMainDlg& dlg = Window();
  dlg.OnTimer(CMainDlg::kRemoteConfigTimer);
  EXPECT_FALSE(WorkerRegistry::Instance().IsRunning(kNoticeWorkerName));
  GuiDriver::WaitUntil([] { return false; }, 200);
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_EQ(seen_.count, 0);
  EXPECT_EQ(IsExit(), "0");
}

TEST_F(RemoteNoticeE2eTest, WithoutUpgradeAddressTheDialogLinkIsDisabled) {
  WriteNoticeKeys(server_.BaseUrl() + "/notice", "", "");
  CMainDlg& dlg = Window();
  dlg.OnTimer(CMainDlg::kRemoteConfigTimer);
  ASSERT_TRUE(GuiDriver::WaitUntil([&] { return seen_.count > 0; }, 10000));
  EXPECT_FALSE(seen_.linkEnabled);
  EXPECT_TRUE(seen_.linkUrl.empty());
}

TEST_F(RemoteNoticeE2eTest, UiKeepsTickingDuringASlowFetchAndClosingIsBounded) {
  FixtureResponse slow = FixtureResponse::Ok(NoticeBody(26, pages_));
  slow.delay = 3000ms;
  server_.Route("/slow", slow);
  WriteNoticeKeys(server_.BaseUrl() + "/slow", "", "");
  CMainDlg& dlg = Window();
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(20);
  const auto started = std::chrono::steady_clock::now();
  dlg.OnTimer(CMainDlg::kRemoteConfigTimer);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms);  // the timer handler does not wait
  ASSERT_TRUE(server_.WaitForRequests(1, 5000ms));
  GuiDriver::WaitUntil([] { return false; }, 600);
  EXPECT_GE(ticks, 10);
  EXPECT_TRUE(WorkerRegistry::Instance().IsRunning(kNoticeWorkerName));
  dlg.SetCloseBound(900ms);
  const auto closing = std::chrono::steady_clock::now();
  dlg.close();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, 1000ms);
  EXPECT_FALSE(dlg.LeftWorkersRunning());
  EXPECT_FALSE(WorkerRegistry::Instance().IsRunning(kNoticeWorkerName));
  GuiDriver::WaitUntil([] { return false; }, 100);
  EXPECT_EQ(seen_.count, 0);
}

TEST_F(RemoteNoticeE2eTest, StatusBarMenuOpensTheAboutBox) {
  class AboutMainDlg : public CMainDlg {
   public:
    using CMainDlg::CMainDlg;
    int ChooseStatusMenuCommand(const QPoint&) override {
      ++menus;
      return answer;
    }
    int menus = 0;
    int answer = kAboutCommandId;
  };
  AboutMainDlg dlg(std::make_unique<FakeTray>(true));
  dlg.InitDialog();
  int abouts = 0;
  UiSeams::Instance().SetModalHandler([&](QDialog& dialog) {
    auto* about = qobject_cast<CAboutDlg*>(&dialog);
    if (about != nullptr && about->m_stName.text() == QStringLiteral("Velkor Desk")) ++abouts;
    return IDOK;
  });
  auto* bar = dlg.findChild<QStatusBar*>();
  ASSERT_NE(bar, nullptr);
  emit bar->customContextMenuRequested(QPoint(5, 5));
  EXPECT_EQ(dlg.menus, 1);
  EXPECT_EQ(abouts, 1);
  dlg.answer = 0;  // the menu closed without a choice
  emit bar->customContextMenuRequested(QPoint(5, 5));
  EXPECT_EQ(abouts, 1);
}

}  // namespace
