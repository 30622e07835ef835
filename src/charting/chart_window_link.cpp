#include "charting/chart_window_link.h"

#include "charting/chart_folder.h"
#include "charting/soft_list.h"
#include "platform/ascii.h"
#include "platform/message_box.h"
#include "settings/settings.h"

namespace {

constexpr int kAfterClickMs = 150;
constexpr int kPerDigitMs = 60;
constexpr int kBeforeEnterMs = 50;

void Tell(const char* text) { MessageBox(text, kChartMessageCaption, MB_OK | MB_ICONWARNING); }

bool Press(WindowSession& session, unsigned long keysym) {
  const bool down = session.Key(keysym, true);
  // Released even when the press failed halfway, so no key stays down.
  const bool up = session.Key(keysym, false);
  return down && up;
}

bool Click(WindowSession& session) {
  const bool down = session.Button(kLeftButton, true);
  const bool up = session.Button(kLeftButton, false);
  return down && up;
}

}  // namespace

CProcessWindowList::CProcessWindowList(WindowSession& session, std::uint32_t processId, std::string exeName)
    : processId_(processId), exeName_(std::move(exeName)), windowManager_(session.HasWindowManager()) {
  std::vector<TopWindow> all;
  if (!session.ListTopWindows(all)) return;
  for (const TopWindow& window : all) {
    if (!EnumWindowsProc(window, this)) break;
  }
}

bool CProcessWindowList::BelongsToProcess(const TopWindow& window) const {
  if (window.pid != 0) return window.pid == processId_;
  return !exeName_.empty() &&
         (EqualsNoCase(window.className, exeName_) || EqualsNoCase(window.instanceName, exeName_));
}

bool CProcessWindowList::EnumWindowsProc(const TopWindow& window, CProcessWindowList* self) {
  if (!self->BelongsToProcess(window) || window.transient || window.overrideRedirect) return true;
  bool shown = false;
  switch (window.state) {
    case WindowState::Normal:
    case WindowState::Iconic:
      shown = true;
      break;
    case WindowState::Withdrawn:
      shown = false;
      break;
    case WindowState::None:
      shown = !self->windowManager_ && window.viewable;
      break;
  }
  if (shown) self->windows_.push_back(window.id);
  return true;
}

bool SendDigitKey(WindowSession& session, char character) {
  if (character < '0' || character > '9') return false;
  return Press(session, kKeysym0 + static_cast<unsigned long>(character - '0'));
}

CChartWindowLink::CChartWindowLink(WindowSystem& windows, ProcessFinder& processes, ISleeper& sleeper)
    : windows_(windows), processes_(processes), sleeper_(sleeper) {}

void CChartWindowLink::FindChartWindow(const std::string& stockCode) {
  if (!IsSixDigitCode(stockCode)) {
    Tell(kChartBadCodeText);
    return;
  }
  // Read at every call: a path chosen on the settings page counts at once.
  if (ReportChartFolderProblem(CurrentChartFolder())) return;
  // The box comes after the session has closed: a box runs a nested event loop, and
  // a second call from there must find no connection and no error handler of ours.
  if (const char* problem = DriveChartWindow(stockCode)) Tell(problem);
}

const char* CChartWindowLink::DriveChartWindow(const std::string& stockCode) {
  const std::unique_ptr<WindowSession> session = windows_.Open();
  if (!session) return kChartNoDisplayText;

  std::uint32_t pid = 0;
  std::string exeName;
  for (const SoftListEntry& soft : g_vecSoftList) {
    pid = processes_.FindProcessByExeName(soft.processName);
    if (pid != 0) {
      exeName = soft.processName;
      break;
    }
  }
  if (pid == 0) return kChartNotRunningText;

  const CProcessWindowList windows(*session, pid, exeName);
  if (windows.IsEmpty()) return kChartNoWindowText;
  const WindowId main = windows.GetWindows().front();
  bool ok = session->Restore(main);
  if (ok && g_Settings.MaxWindow == 1) ok = session->Maximise(main);
  if (ok) ok = session->Activate(main);
  if (!ok) return kChartNotActivatedText;

  // A click lands wherever the pointer is; over any other window (our own list among
  // them) it could fire that window's double-click, so it is sent only over the
  // charting program.
  const std::optional<TopWindow> underPointer = session->WindowUnderPointer();
  if (underPointer && windows.BelongsToProcess(*underPointer)) {
    const int clicks = g_Settings.SystemType == 0 ? 2 : 1;
    for (int i = 0; i < clicks && ok; ++i) ok = Click(*session);
    if (!ok) return kChartNotActivatedText;
  }
  sleeper_.Sleep(kAfterClickMs);

  // Keys go to whatever has the focus: only into the charting program.
  const std::optional<TopWindow> focused = session->FocusedWindow();
  if (!focused || !windows.BelongsToProcess(*focused)) return kChartNotActivatedText;
  for (const char digit : stockCode) {
    if (!SendDigitKey(*session, digit)) return kChartNotActivatedText;
    sleeper_.Sleep(kPerDigitMs);
  }
  sleeper_.Sleep(kBeforeEnterMs);
  if (!Press(*session, kKeysymReturn)) return kChartNotActivatedText;
  return nullptr;
}
