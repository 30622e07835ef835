#pragma once
// What the download page's end-to-end tests share (header only; they link the page):
// the registries restarted with every source pointed at the fixture server, an
// internet session with short time-outs, the message list read back with colours, and
// the fixture of the page's thread tests.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "db_builder.h"
#include "fake_clock.h"
#include "fixture_http_server.h"
#include "temp_program_folder.h"
#include "zero_sleeper.h"
#include "acquisition/download_engine.h"
#include "acquisition/ui/download_data_dlg.h"
#include "controls/ui/color_list_box.h"
#include "platform/page_registry.h"
#include "platform/ui/qt_ui_dispatcher.h"
#include "platform/worker_registry.h"
#include "settings/settings.h"

// The registries restarted on `ui`, the closing flag down, the first source chosen,
// and VELKORDESK_SOURCE_BASE set to `base` until the environment goes.
class DownloadPageEnvironment {
 public:
  DownloadPageEnvironment(IUiDispatcher& ui, const std::string& base) {
    PageRegistry::Instance().Restart(&ui);
    WorkerRegistry::Instance().Restart();
    g_bClosing = false;
    g_nDataSource = 1;
    setenv("VELKORDESK_SOURCE_BASE", base.c_str(), 1);
  }
  ~DownloadPageEnvironment() {
    unsetenv("VELKORDESK_SOURCE_BASE");
    PageRegistry::Instance().ResetForTests();
  }
  DownloadPageEnvironment(const DownloadPageEnvironment&) = delete;
  DownloadPageEnvironment& operator=(const DownloadPageEnvironment&) = delete;
};

// The internet session with time-outs a test can wait for.
inline HttpOptions ShortTimeouts() {
  HttpOptions options;
  options.connectTimeout = std::chrono::milliseconds(2000);
  options.totalTimeout = std::chrono::milliseconds(5000);
  return options;
}

struct SessionFixture {
  InternetSession session{};
  std::unique_ptr<SessionFetcher> fetcher = std::make_unique<SessionFetcher>(session, ShortTimeouts());
};

// Ends the page's start-up run at its next step, before it takes a day.
inline void EndStartupRun(CDownloadDataDlg& page) {
  page.Engine()->m_nDaysWanted = 0;
  page.Engine()->m_nTimerTicks = 100;
  for (int i = 0; i < 20 && page.Engine()->IsTimerRunning(); ++i) page.OnTimer(1);
}

struct MessageLine {
  std::string text;
  COLORREF colour = 0;
  bool operator==(const MessageLine&) const = default;
};

// The page's message list (1000), line by line with the colour stored with each.
inline std::vector<MessageLine> MessageLines(const CDownloadDataDlg& page) {
  auto* list = page.GetDlgItemAs<CColorListBox>(1000);
  std::vector<MessageLine> lines;
  for (int i = 0; list != nullptr && i < list->GetCount(); ++i) {
    lines.push_back({list->GetText(i), static_cast<COLORREF>(list->GetItemData(i))});
  }
  return lines;
}

// The message list's texts alone.
inline std::vector<std::string> MessageTexts(const CDownloadDataDlg& page) {
  std::vector<std::string> texts;
  for (const MessageLine& line : MessageLines(page)) texts.push_back(line.text);
  return texts;
}

// The thread tests' fixture: a fixture server, a market database in a temporary program
// folder, a fake clock and no sleeps; from SetUp to TearDown the environment above.
class DownloadPageTest : public testing::Test {
 protected:
  void SetUp() override { environment_ = std::make_unique<DownloadPageEnvironment>(dispatcher_, server_.BaseUrl()); }
  void TearDown() override { environment_.reset(); }

  // The page's services on this fixture's clock, sleeper and market database.
  DownloadPageServices PageServices(HttpFetcher* fetcher) {
    DownloadPageServices services;
    services.clock = &clock_;
    services.sleeper = &sleeper_;
    services.fetcher = fetcher;
    services.db = &builder_.Market();
    return services;
  }
  // A page on `services`, sized and initialised, not shown.
  static std::unique_ptr<CDownloadDataDlg> NewPage(const DownloadPageServices& services, int width, int height) {
    auto page = std::make_unique<CDownloadDataDlg>(services);
    page->resize(width, height);
    page->InitDialog();
    return page;
  }

  QtUiDispatcher dispatcher_;
  FakeClock clock_;
  ZeroSleeper sleeper_;
  TempProgramFolder folder_;
  DbBuilder builder_{folder_.Path()};
  FixtureHttpServer server_;

 private:
  std::unique_ptr<DownloadPageEnvironment> environment_;
};
