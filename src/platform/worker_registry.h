#pragma once
// Every background worker starts here, so that closing the program can ask them all
// to stop and wait for them a bounded time. A worker is a std::thread with its own
// database handles; it never touches a widget.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// Set when the main window is closed by its close box; long loops poll it.
extern std::atomic<bool> g_bClosing;

class WorkerRegistry {
 public:
  enum class StartResult { Started, AlreadyRunning, Closing, Failed };

  static WorkerRegistry& Instance();

  WorkerRegistry() = default;
  ~WorkerRegistry();
  WorkerRegistry(const WorkerRegistry&) = delete;
  WorkerRegistry& operator=(const WorkerRegistry&) = delete;

  // Starts fn on a new thread under `name`. One worker per name at a time; none once
  // stopping has begun; Failed when the system refuses a thread.
  StartResult Start(const std::string& name, std::function<void(std::stop_token)> fn);
  // A standing worker waits for work for as long as the program runs: like any other
  // it is asked to stop by RequestStopAll and joined by JoinAll after it, but until
  // stopping has begun JoinAll does not wait for it and RunningCount leaves it out.
  StartResult StartStanding(const std::string& name, std::function<void(std::stop_token)> fn);
  bool IsRunning(const std::string& name) const;
  // The workers running, the standing ones left out.
  int RunningCount() const;

  // Asks one worker to stop (nothing when it is not running).
  void RequestStop(const std::string& name);
  // Waits up to `bound` for the worker `name` to end; true when it is not running.
  bool WaitFor(const std::string& name, std::chrono::milliseconds bound);

  // Asks every worker to stop and refuses new ones.
  void RequestStopAll();
  // Waits up to `bound` for every worker to end. True when all ended; the ones that
  // did not are detached (they end with the process) and false comes back.
  bool JoinAll(std::chrono::milliseconds bound);

  // A new run of the application object: accepts workers again.
  void Restart();

 private:
  struct Worker {
    std::jthread thread;
    bool finished = false;
    bool standing = false;
  };
  StartResult StartWorker(const std::string& name, std::function<void(std::stop_token)> fn, bool standing);
  // Whether JoinAll waits for the worker now.
  bool AwaitedLocked(const Worker& worker) const { return !worker.finished && (stopping_ || !worker.standing); }
  void ReapFinishedLocked();

  mutable std::mutex mutex_;
  std::condition_variable finishedCv_;
  std::map<std::string, std::unique_ptr<Worker>> workers_;
  std::vector<std::unique_ptr<Worker>> abandoned_;
  bool stopping_ = false;
};
