#pragma once
// A page's long search off the user-interface thread. The computation runs on the
// road's own WorkerRegistry worker, started with its first search and kept, waiting,
// for the next, so its database handles stay open and warm (its reads go through that
// thread's own handles;
// it touches no widget and nothing the UI thread reads), and its result, a plain
// value, goes to the UI thread through the page registry's dispatcher, where the
// page shows it. One search at a time per road. A road that is gone (its page
// destroyed) never shows the result of a search that was still running, and
// closing stops and waits for the workers through the registry like any other (a
// computation makes its database handles give up at closing: see
// CADODataBase::InterruptWhenClosing).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

class WorkerRegistry;

class BackgroundSearch {
 public:
  enum class StartResult {
    Started,
    Busy,     // a search of this road is still running: nothing started
    Refused,  // the program is closing: nothing started
    Failed,   // the system refused the road's worker a thread: nothing started
  };

  // `name` prefixes the workers' registry names.
  explicit BackgroundSearch(std::string name);
  BackgroundSearch(std::string name, WorkerRegistry& workers);
  // The result of a running search is dropped when it arrives; the worker is asked to
  // end after it and not waited for (the UI thread never waits on a worker).
  ~BackgroundSearch();
  BackgroundSearch(const BackgroundSearch&) = delete;
  BackgroundSearch& operator=(const BackgroundSearch&) = delete;

  // What a streaming computation calls to run a step on the UI thread while it still
  // computes: the steps run in order, all before the result is shown, and never once
  // the road is gone or the program closes.
  using Poster = std::function<void(std::function<void()>)>;

  // UI thread. Runs compute() on a worker, then show(result) on the UI thread, or
  // failed() there when compute() threw, whatever it threw (a part whose thread the
  // system refused, memory that ran out...). A compute(const Poster&) streams: its posted
  // steps reach the UI thread while it runs, and the search counts as running until
  // the result was shown. What compute() uses must outlive the worker (the program's
  // databases do).
  template <class Compute, class Show>
  StartResult Start(Compute compute, Show show, std::function<void()> failed = {}) {
    constexpr bool streams = std::is_invocable_v<Compute&, const Poster&>;
    using Result = typename std::conditional_t<streams, std::invoke_result<Compute&, const Poster&>,
                                               std::invoke_result<Compute&>>::type;
    auto slot = std::make_shared<std::optional<Result>>();
    return StartErased([compute = std::move(compute), slot](const Poster& post) mutable {
                         if constexpr (streams) {
                           slot->emplace(compute(post));
                         } else {
                           slot->emplace(compute());
                         }
                       },
                       [show = std::move(show), slot]() mutable {
                         Result result = std::move(**slot);
                         slot->reset();
                         show(result);
                       },
                       std::move(failed));
  }

  // UI thread: from Start until the result was shown (or the computation failed).
  bool IsRunning() const;
  // The registry name of the latest search's worker ("" before the first).
  std::string WorkerName() const;

 private:
  StartResult StartErased(std::function<void(const Poster&)> compute, std::function<void()> show,
                          std::function<void()> failed);

  // UI thread: the road's worker runs (started now when it did not).
  StartResult StartWorker();

  struct State;
  struct Queue;
  std::shared_ptr<State> state_;
  std::shared_ptr<Queue> queue_;
  std::string name_;
  WorkerRegistry& workers_;
};
