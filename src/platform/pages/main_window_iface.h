#pragma once
// What pages and workers may ask of the main window, through the page registry
// (slots StatusBar and MainTabCtrl). Calls run on the UI thread.

#include <string>

// Pane 1's own text, which it shows whenever nothing is being told there.
inline constexpr const char* kWorkingPaneText = "   工作状态: 运行中";

class IStatusBar {
 public:
  virtual ~IStatusBar() = default;
  // Pane 0, 1 or 2; other panes are ignored.
  virtual void SetPaneText(int pane, const std::string& text) = 0;
};

class IMainTabs {
 public:
  virtual ~IMainTabs() = default;
  // Selects a main tab; the previous index, or -1 when out of range.
  virtual int SetCurSel(int index) = 0;
  virtual int GetCurSel() const = 0;
};
