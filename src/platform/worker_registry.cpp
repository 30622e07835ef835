#include "platform/worker_registry.h"

#include <system_error>
#include <vector>

#include "platform/debug_log.h"

std::atomic<bool> g_bClosing{false};

WorkerRegistry& WorkerRegistry::Instance() {
  // Never destroyed: a worker let go at closing may still reach it while the process ends.
  static WorkerRegistry* registry = new WorkerRegistry;
  return *registry;
}

// Each remaining std::jthread asks its worker to stop and joins it.
WorkerRegistry::~WorkerRegistry() = default;

void WorkerRegistry::ReapFinishedLocked() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->second->finished) {
      if (it->second->thread.joinable()) it->second->thread.join();  // already past its last line
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

WorkerRegistry::StartResult WorkerRegistry::Start(const std::string& name,
                                                  std::function<void(std::stop_token)> fn) {
  return StartWorker(name, std::move(fn), false);
}

WorkerRegistry::StartResult WorkerRegistry::StartStanding(const std::string& name,
                                                          std::function<void(std::stop_token)> fn) {
  return StartWorker(name, std::move(fn), true);
}

WorkerRegistry::StartResult WorkerRegistry::StartWorker(const std::string& name,
                                                        std::function<void(std::stop_token)> fn, bool standing) {
  std::lock_guard lock(mutex_);
  if (stopping_) return StartResult::Closing;
  ReapFinishedLocked();
  if (workers_.count(name) != 0) return StartResult::AlreadyRunning;
  auto worker = std::make_unique<Worker>();
  worker->standing = standing;
  Worker* raw = worker.get();
  try {
    worker->thread = std::jthread([this, raw, fn = std::move(fn)](std::stop_token token) {
      fn(token);
      std::lock_guard done(mutex_);
      raw->finished = true;
      finishedCv_.notify_all();
    });
  } catch (const std::system_error& e) {
    AppendDebugLog("cannot start worker %s: %s", name.c_str(), e.what());
    return StartResult::Failed;
  }
  workers_.emplace(name, std::move(worker));
  return StartResult::Started;
}

bool WorkerRegistry::IsRunning(const std::string& name) const {
  std::lock_guard lock(mutex_);
  const auto it = workers_.find(name);
  return it != workers_.end() && !it->second->finished;
}

int WorkerRegistry::RunningCount() const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& [name, worker] : workers_) n += worker->finished || worker->standing ? 0 : 1;
  return n;
}

void WorkerRegistry::RequestStop(const std::string& name) {
  std::lock_guard lock(mutex_);
  const auto it = workers_.find(name);
  if (it != workers_.end()) it->second->thread.request_stop();
}

bool WorkerRegistry::WaitFor(const std::string& name, std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  const bool ended = finishedCv_.wait_for(lock, bound, [&] {
    const auto it = workers_.find(name);
    return it == workers_.end() || it->second->finished;
  });
  if (ended) ReapFinishedLocked();
  return ended;
}

void WorkerRegistry::RequestStopAll() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  for (auto& [name, worker] : workers_) worker->thread.request_stop();
}

bool WorkerRegistry::JoinAll(std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  const auto allFinished = [this] {
    for (const auto& [name, worker] : workers_) {
      if (AwaitedLocked(*worker)) return false;
    }
    return true;
  };
  const bool ended = finishedCv_.wait_for(lock, bound, allFinished);
  ReapFinishedLocked();
  if (!ended) {
    // A worker that ignores its stop request must not hold the program open: it is
    // let go, and its open transaction rolls back when the process ends.
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (!AwaitedLocked(*it->second)) {
        ++it;
        continue;
      }
      AppendDebugLog("worker %s did not stop in time", it->first.c_str());
      // The thread keeps a pointer to its record and to this registry's mutex: the
      // record stays allocated for the rest of the process.
      it->second->thread.detach();
      abandoned_.push_back(std::move(it->second));
      it = workers_.erase(it);
    }
  }
  return ended;
}

void WorkerRegistry::Restart() {
  std::lock_guard lock(mutex_);
  ReapFinishedLocked();
  stopping_ = false;
}
