#pragma once
// A page's long search as the user sees it: the computation runs off the interface
// thread (BackgroundSearch), the window keeps answering, the wait cursor and a line
// in pane 1 of the status bar say that it runs, and the page shows the result when
// it arrives. A page refuses a second search while one runs (IsRunning). A search
// that fails, or cannot start, says so in pane 1 and leaves the page no old result.

#include <functional>
#include <string>
#include <utility>

#include "platform/background_search.h"

// Pane 1 while a search runs, unless the page already told the user something there;
// afterwards the pane shows its own text again.
inline constexpr const char* kSearchRunningText = "正在查询，请稍候......";
// Pane 1 after a search that failed (its computation threw, or no thread could run it).
inline constexpr const char* kSearchFailedText = "查询失败，请重试";

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
  // which then stays. When the search fails, or no thread could start it, failed() runs
  // instead (the page empties what would have shown the result) and pane 1 says that
  // the search failed. False when nothing started (a search runs, the program closes,
  // or the start failed).
  template <class Compute, class Show>
  bool Start(bool paneTold, Compute compute, Show show, std::function<void()> failed = {}) {
    if (IsRunning()) return false;
    Begin(paneTold);
    auto fail = [this, failed = std::move(failed)] { Fail(failed); };
    const BackgroundSearch::StartResult started =
        search_.Start(
            std::move(compute),
            [this, show = std::move(show)](auto& result) mutable {
              End();
              show(result);
            },
            fail);
    if (started == BackgroundSearch::StartResult::Started) return true;
    if (started == BackgroundSearch::StartResult::Failed) {
      fail();
    } else {
      End();
    }
    return false;
  }

 private:
  void Begin(bool paneTold);
  void End();
  // Ends the busy display, runs the page's `failed` and tells pane 1.
  void Fail(const std::function<void()>& failed);

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
