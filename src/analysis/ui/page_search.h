#pragma once
// A page's long search as the user sees it: the computation runs off the interface
// thread (BackgroundSearch), the window keeps answering, the wait cursor and a line
// in pane 1 of the status bar say that it runs, and the page shows the result when
// it arrives. A page refuses a second search while one runs (IsRunning).

#include <string>
#include <utility>

#include "platform/background_search.h"

// Pane 1 while a search runs, unless the page already told the user something there;
// afterwards the pane shows its own text again.
inline constexpr const char* kSearchRunningText = "正在查询，请稍候......";

class PageSearch {
 public:
  explicit PageSearch(std::string name) : search_(std::move(name)) {}
  // A page destroyed while its search runs gives the cursor back; the result is dropped.
  ~PageSearch();
  PageSearch(const PageSearch&) = delete;
  PageSearch& operator=(const PageSearch&) = delete;

  bool IsRunning() const { return search_.IsRunning(); }
  // While a search runs: pane 1 tells that a request was not taken; the pane's own
  // text comes back when the search ends.
  void TellRefused(const std::string& text);
  std::string WorkerName() const { return search_.WorkerName(); }

  // UI thread. Runs compute() on a worker and show(result) on the UI thread once the
  // busy display has ended. `paneTold`: the page already wrote pane 1 for this search,
  // which then stays. False when nothing started (a search runs, or the program closes).
  template <class Compute, class Show>
  bool Start(bool paneTold, Compute compute, Show show) {
    if (IsRunning()) return false;
    Begin(paneTold);
    const BackgroundSearch::StartResult started =
        search_.Start(
            std::move(compute),
            [this, show = std::move(show)](auto& result) mutable {
              End();
              show(result);
            },
            [this] { End(); });
    if (started == BackgroundSearch::StartResult::Started) return true;
    End();
    return false;
  }

 private:
  void Begin(bool paneTold);
  void End();

  BackgroundSearch search_;
  bool busyShown_ = false;
  bool paneShown_ = false;
};

// Pane 1 of the status bar as one page writes it. A notice, such as a shortage of days,
// stays until the page next shows a result, which gives the pane back its own text;
// any other line the page writes replaces it.
class StatusPaneNotice {
 public:
  void Show(const std::string& text);        // an ordinary line
  void ShowNotice(const std::string& text);  // a line that lasts until ResultShown
  void ResultShown();

 private:
  bool noticeShown_ = false;
};
