#pragma once
// Showing a stock in the charting program: find its process among the linked
// programs, bring its main window forward, click into it and type the code.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pages/chart_link_iface.h"
#include "platform/clock.h"
#include "platform/proc_process_finder.h"
#include "platform/window_system.h"

inline constexpr const char* kChartNotRunningText = "股票分析软件未启动!!!";
inline constexpr const char* kChartNoWindowText =
    "股票分析软件主窗口未显示，或者股票分析软件使用老板键进行了隐藏!!!";
inline constexpr const char* kChartBadCodeText = "股票代码不正确，未发送到股票分析软件!";
inline constexpr const char* kChartNotActivatedText = "股票分析软件窗口无法激活，未输入股票代码!";
inline constexpr const char* kChartNoDisplayText = "无法连接 X11 显示，不能联动股票分析软件!";

// The main windows of one process, top-most first. A top-level window is kept when
// it belongs to the process, is not owned by another window (not transient), is no
// override-redirect popup, and is shown: its window state is Normal or Iconic (a
// minimised window still counts as visible), or, where no window manager keeps
// states, it is viewable.
class CProcessWindowList {
 public:
  // Lists at once. `exeName` is the fallback owner test for windows that do not name
  // their process.
  CProcessWindowList(WindowSession& session, std::uint32_t processId, std::string exeName);

  bool IsEmpty() const { return windows_.empty(); }
  std::uint32_t GetProcessId() const { return processId_; }
  const std::vector<WindowId>& GetWindows() const { return windows_; }
  std::vector<WindowId>::const_iterator begin() const { return windows_.begin(); }
  std::vector<WindowId>::const_iterator end() const { return windows_.end(); }

  // The filter: appends the window when it is kept; always asks for the next one.
  static bool EnumWindowsProc(const TopWindow& window, CProcessWindowList* self);
  // Whether the window is the process's: by its pid, or, when it names none, by its
  // WM_CLASS equal to the executable's name ignoring case.
  bool BelongsToProcess(const TopWindow& window) const;

 private:
  std::uint32_t processId_;
  std::string exeName_;
  bool windowManager_ = false;
  std::vector<WindowId> windows_;
};

// Types one digit with the main-row key (pressed and released; a key left down would
// repeat). False, with nothing sent, for anything but '0'..'9', or when the input
// could not be sent.
bool SendDigitKey(WindowSession& session, char character);

// The window link (registry slot ChartLink). Reads TDX_DIR (an unset or wrong
// charting folder stops it with the folder's message), g_vecSoftList,
// g_Settings.SystemType and g_Settings.MaxWindow at each call; the waits go through
// the sleeper. UI thread only.
class CChartWindowLink final : public ChartLink {
 public:
  CChartWindowLink(WindowSystem& windows, ProcessFinder& processes, ISleeper& sleeper);
  void FindChartWindow(const std::string& stockCode) override;

 private:
  // Everything done on the open session; the message to show, or nullptr.
  const char* DriveChartWindow(const std::string& stockCode);

  WindowSystem& windows_;
  ProcessFinder& processes_;
  ISleeper& sleeper_;
};
