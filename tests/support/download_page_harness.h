#pragma once
// What the download page's end-to-end tests share (header only; they link the page):
// the registries restarted with every source pointed at the fixture server, an
// internet session with short time-outs, and the message list read back with colours.

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/download_engine.h"
#include "acquisition/ui/download_data_dlg.h"
#include "controls/ui/color_list_box.h"
#include "platform/page_registry.h"
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
