#include "platform/background_search.h"

#include <malloc.h>

#include <atomic>
#include <exception>

#include "platform/debug_log.h"
#include "platform/page_registry.h"
#include "platform/worker_registry.h"

namespace {
std::atomic<std::uint64_t> g_searchSequence{0};
}  // namespace

// Read and written on the UI thread only; the worker merely carries it to its
// queued call.
struct BackgroundSearch::State {
  bool running = false;
  bool gone = false;
  std::string worker;
};

BackgroundSearch::BackgroundSearch(std::string name) : BackgroundSearch(std::move(name), WorkerRegistry::Instance()) {}

BackgroundSearch::BackgroundSearch(std::string name, WorkerRegistry& workers)
    : state_(std::make_shared<State>()), name_(std::move(name)), workers_(workers) {}

BackgroundSearch::~BackgroundSearch() { state_->gone = true; }

bool BackgroundSearch::IsRunning() const { return state_->running; }

std::string BackgroundSearch::WorkerName() const { return state_->worker; }

BackgroundSearch::StartResult BackgroundSearch::StartErased(std::function<void(const Poster&)> compute,
                                                            std::function<void()> show, std::function<void()> failed) {
  if (state_->running) return StartResult::Busy;
  const std::string name = name_ + "-" + std::to_string(++g_searchSequence);
  std::shared_ptr<State> state = state_;
  state_->running = true;  // before the worker can end
  const WorkerRegistry::StartResult started =
      workers_.Start(name, [state, name, compute = std::move(compute), show = std::move(show),
                            failed = std::move(failed)](std::stop_token) {
        const Poster post = [state](std::function<void()> step) {
          PageRegistry& registry = PageRegistry::Instance();
          IUiDispatcher* dispatcher = registry.Dispatcher();
          if (dispatcher == nullptr || registry.IsClosing()) return;
          dispatcher->RunOnUi(
              [state, step = std::move(step)] {
                if (!state->gone && !PageRegistry::Instance().IsClosing()) step();
              },
              false);
        };
        bool computed = false;
        try {
          compute(post);
          computed = true;
        } catch (const std::exception& e) {
          AppendDebugLog("%s failed: %s", name.c_str(), e.what());
        }
        PageRegistry& registry = PageRegistry::Instance();
        IUiDispatcher* dispatcher = registry.Dispatcher();
        // Closing: the result is dropped, nobody waits for it.
        if (dispatcher == nullptr || registry.IsClosing()) return;
        dispatcher->RunOnUi(
            [state, computed, show, failed] {
              if (state->gone || PageRegistry::Instance().IsClosing()) return;
              state->running = false;
              if (computed) {
                show();
              } else if (failed) {
                failed();
              }
              // The worker built its result in memory of its own, now freed: it goes back
              // to the system instead of staying with the process.
              malloc_trim(0);
            },
            false);
      });
  if (started != WorkerRegistry::StartResult::Started) {
    state_->running = false;
    return StartResult::Refused;
  }
  state_->worker = name;
  return StartResult::Started;
}
