#include "platform/background_search.h"

#include <malloc.h>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stop_token>

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

// The road's long-lived worker and the search it is handed. The worker keeps its
// thread, and so its database handles and their page cache, from one search to the
// next; it ends when the road is gone or the program closes.
struct BackgroundSearch::Queue {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::function<void()> job;  // the next search, run on the worker
};

BackgroundSearch::BackgroundSearch(std::string name) : BackgroundSearch(std::move(name), WorkerRegistry::Instance()) {}

BackgroundSearch::BackgroundSearch(std::string name, WorkerRegistry& workers)
    : state_(std::make_shared<State>()), queue_(std::make_shared<Queue>()), name_(std::move(name)),
      workers_(workers) {}

BackgroundSearch::~BackgroundSearch() {
  state_->gone = true;
  if (!state_->worker.empty()) workers_.RequestStop(state_->worker);
}

bool BackgroundSearch::IsRunning() const { return state_->running; }

std::string BackgroundSearch::WorkerName() const { return state_->worker; }

BackgroundSearch::StartResult BackgroundSearch::StartWorker() {
  if (!state_->worker.empty() && workers_.IsRunning(state_->worker)) return StartResult::Started;
  const std::string name = name_ + "-" + std::to_string(++g_searchSequence);
  const WorkerRegistry::StartResult started = workers_.Start(name, [queue = queue_](std::stop_token stop) {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(queue->mutex);
        if (!queue->wake.wait(lock, stop, [&queue] { return static_cast<bool>(queue->job); })) return;
        job = std::move(queue->job);
        queue->job = nullptr;
      }
      job();
    }
  });
  if (started == WorkerRegistry::StartResult::Failed) return StartResult::Failed;
  if (started != WorkerRegistry::StartResult::Started) return StartResult::Refused;
  state_->worker = name;
  return StartResult::Started;
}

BackgroundSearch::StartResult BackgroundSearch::StartErased(std::function<void(const Poster&)> compute,
                                                            std::function<void()> show, std::function<void()> failed) {
  if (state_->running) return StartResult::Busy;
  if (const StartResult worker = StartWorker(); worker != StartResult::Started) return worker;
  std::shared_ptr<State> state = state_;
  state_->running = true;  // before the worker can end
  const std::string name = state_->worker;
  std::function<void()> job = [state, name, compute = std::move(compute), show = std::move(show),
                               failed = std::move(failed)]() mutable {
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
    } catch (...) {
      AppendDebugLog("%s failed: an exception of unknown type", name.c_str());
    }
    // What the computation held (a copy of every merged line, say) goes now, before the
    // result is shown and the memory handed back.
    compute = nullptr;
    PageRegistry& registry = PageRegistry::Instance();
    IUiDispatcher* dispatcher = registry.Dispatcher();
    // Closing: the result is dropped, nobody waits for it.
    if (dispatcher == nullptr || registry.IsClosing()) return;
    dispatcher->RunOnUi(
        [state, computed, show = std::move(show), failed = std::move(failed)]() mutable {
          if (state->gone || PageRegistry::Instance().IsClosing()) return;
          state->running = false;
          if (computed) {
            show();
          } else if (failed) {
            failed();
          }
          // The result's memory, built by the worker, is freed with the show: it goes back
          // to the system instead of staying with the process.
          show = nullptr;
          failed = nullptr;
          malloc_trim(0);
        },
        false);
  };
  {
    std::lock_guard lock(queue_->mutex);
    queue_->job = std::move(job);
  }
  queue_->wake.notify_one();
  return StartResult::Started;
}
