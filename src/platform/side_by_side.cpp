#include "platform/side_by_side.h"

#include <malloc.h>
#include <sched.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/debug_log.h"
#include "platform/worker_registry.h"

unsigned UsableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

namespace {
std::atomic<unsigned> g_mostParts{0};
}  // namespace

unsigned SideBySideParts() {
  const unsigned most = g_mostParts;
  return std::clamp(UsableProcessors(), 1u, most == 0 ? kMaxSideBySide : std::min(most, kMaxSideBySide));
}

void LimitSideBySideParts(unsigned most) { g_mostParts = most; }

namespace {

thread_local bool t_onReader = false;

// The allocator's default threshold for a block mapped of its own.
constexpr int kOwnMappingFrom = 128 * 1024;

// One call's parts. Guarded by the readers' mutex.
struct Job {
  const std::function<void(unsigned)>* task = nullptr;
  unsigned parts = 0;
  unsigned next = 0;     // the next part to hand out
  unsigned running = 0;  // parts handed out and not yet ended
  std::exception_ptr error;
};

// The standing readers and the parts handed to them.
class Readers {
 public:
  static Readers& Instance() {
    // Never destroyed: a reader let go at closing may still reach it while the process ends.
    static Readers* readers = new Readers;
    return *readers;
  }

  Readers() {
    // Each reader keeps its allocator arena for good. The allocator would raise its
    // threshold for mapping a block of its own after the first large block freed, and
    // the large buffers of a search would then stay in the readers' arenas, held by the
    // small blocks around them: large blocks stay mapped one by one instead.
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
  }

  void Run(unsigned parts, const std::function<void(unsigned)>& task) {
    Job job;
    job.task = &task;
    job.parts = parts;
    std::unique_lock lock(mutex_);
    StartReadersLocked();
    if (live_ > 0) {
      jobs_.push_back(&job);
      wake_.notify_all();
    }
    for (;;) {
      // What no reader is left to take, the calling thread runs itself.
      ended_.wait(lock, [&] { return (job.next == job.parts && job.running == 0) || (live_ == 0 && Open(job)); });
      if (!Open(job)) break;
      RunPartLocked(lock, job);
    }
    std::erase(jobs_, &job);
    if (job.error) std::rethrow_exception(job.error);
  }

  void Warm(std::function<void()> warm) {
    std::lock_guard lock(mutex_);
    StartReadersLocked();
    warm_ = std::make_shared<const std::function<void()>>(std::move(warm));
    ++warmGeneration_;
    warmPending_ = live_;
    wake_.notify_all();
  }

  bool WaitWarm(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, bound, [this] { return warmPending_ == 0; });
  }

  void SetBeforePart(std::function<void(unsigned)> hook) {
    std::lock_guard lock(mutex_);
    beforePart_ = hook ? std::make_shared<const std::function<void(unsigned)>>(std::move(hook)) : nullptr;
  }
  void RefuseStarts(int starts) {
    std::lock_guard lock(mutex_);
    refuseStarts_ = starts;
  }
  std::uint64_t Started() {
    std::lock_guard lock(mutex_);
    return started_;
  }
  unsigned Running() {
    std::lock_guard lock(mutex_);
    return live_;
  }
  void Stop() {
    std::vector<std::string> names;
    {
      std::lock_guard lock(mutex_);
      names = names_;
    }
    WorkerRegistry& workers = WorkerRegistry::Instance();
    for (const std::string& name : names) workers.RequestStop(name);
    for (const std::string& name : names) workers.WaitFor(name, std::chrono::seconds(10));  // and joined
  }

 private:
  static bool Open(const Job& job) { return job.next < job.parts; }

  // Hands out the job's next part and runs it with the lock let go; once a part has
  // failed, the parts not yet handed out are left out.
  void RunPartLocked(std::unique_lock<std::mutex>& lock, Job& job) {
    const unsigned part = job.next++;
    if (!Open(job)) std::erase(jobs_, &job);
    ++job.running;
    const std::shared_ptr<const std::function<void(unsigned)>> before = beforePart_;
    lock.unlock();
    std::exception_ptr error;
    try {
      if (before) (*before)(part);
      (*job.task)(part);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error && !job.error) job.error = error;
    if (job.error && Open(job)) {  // the parts not yet handed out are left out
      job.next = job.parts;
      std::erase(jobs_, &job);
    }
    if (--job.running == 0 && !Open(job)) ended_.notify_all();
  }

  void StartReadersLocked() {
    while (live_ < kMaxSideBySide) {
      const std::string name = "side-by-side reader " + std::to_string(++sequence_);
      WorkerRegistry::StartResult started = WorkerRegistry::StartResult::Failed;
      if (refuseStarts_ > 0) {
        --refuseStarts_;
        AppendDebugLog("cannot start worker %s: refused", name.c_str());
      } else {
        started = WorkerRegistry::Instance().StartStanding(
            name, [this, name, warmed = warmGeneration_](std::stop_token stop) { Read(stop, name, warmed); });
      }
      if (started != WorkerRegistry::StartResult::Started) return;  // the threads there are do the work
      ++live_;
      ++started_;
      names_.push_back(name);
    }
  }

  // A reader: the warm-ups posted after it was started and parts, until it is asked to
  // stop and nothing is left to take.
  void Read(const std::stop_token& stop, const std::string& name, std::uint64_t warmed) {
    t_onReader = true;
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!wake_.wait(lock, stop, [&] { return warmed != warmGeneration_ || !jobs_.empty(); })) break;
      if (warmed != warmGeneration_) {
        warmed = warmGeneration_;
        const std::shared_ptr<const std::function<void()>> warm = warm_;
        lock.unlock();
        try {
          (*warm)();
        } catch (...) {
          // A warm-up that fails leaves the reader cold, nothing more.
        }
        lock.lock();
        // A warm-up posted meanwhile is waited for on its own.
        if (warmed == warmGeneration_ && warmPending_ > 0 && --warmPending_ == 0) ended_.notify_all();
        continue;
      }
      RunPartLocked(lock, *jobs_.front());
    }
    if (warmed != warmGeneration_ && warmPending_ > 0 && --warmPending_ == 0) ended_.notify_all();
    std::erase(names_, name);
    --live_;
    ended_.notify_all();  // a caller left without readers runs its parts itself
  }

  std::mutex mutex_;
  std::condition_variable_any wake_;  // readers: a part or a warm-up to take
  std::condition_variable ended_;     // callers: a part ended, a reader ended, a warm-up ended
  std::deque<Job*> jobs_;             // jobs with parts not yet handed out, oldest first
  unsigned live_ = 0;
  std::vector<std::string> names_;
  std::uint64_t sequence_ = 0;
  std::uint64_t started_ = 0;
  int refuseStarts_ = 0;
  std::shared_ptr<const std::function<void(unsigned)>> beforePart_;
  std::shared_ptr<const std::function<void()>> warm_;
  std::uint64_t warmGeneration_ = 0;
  unsigned warmPending_ = 0;
};

}  // namespace

void RunSideBySide(unsigned parts, const std::function<void(unsigned part)>& task) {
  if (parts == 0) return;
  if (!t_onReader) {
    Readers::Instance().Run(parts, task);
    return;
  }
  // A reader waiting on readers could wait on itself: it runs the parts in turn.
  for (unsigned k = 0; k < parts; ++k) task(k);
}

bool OnSideBySideReader() { return t_onReader; }

void WarmSideBySideReaders(std::function<void()> warm) { Readers::Instance().Warm(std::move(warm)); }

bool WaitSideBySideWarm(std::chrono::milliseconds bound) { return Readers::Instance().WaitWarm(bound); }

namespace side_by_side_testing {
void SetBeforePart(std::function<void(unsigned part)> hook) { Readers::Instance().SetBeforePart(std::move(hook)); }
void RefuseReaderStarts(int starts) { Readers::Instance().RefuseStarts(starts); }
std::uint64_t ReadersStarted() { return Readers::Instance().Started(); }
unsigned ReadersRunning() { return Readers::Instance().Running(); }
void StopReaders() { Readers::Instance().Stop(); }
}  // namespace side_by_side_testing

namespace {

// Blocks up to this size are pooled; larger ones come from the block cache.
constexpr std::size_t kLargestPooled = 256 * 1024;

// Mapped blocks in sizes of a power of two from a page up, the freed ones kept for the
// next part up to kKept bytes in all; the rest, and blocks above the largest size, are
// mapped and unmapped one by one. A search builds its parts' buffers anew each time:
// a kept block comes back with its pages already in place.
class BlockCache {
 public:
  static BlockCache& Instance() {
    static BlockCache* cache = new BlockCache;  // blocks may be freed while the process ends
    return *cache;
  }

  void* Allocate(std::size_t bytes) {
    const int size = SizeClass(bytes);
    if (size >= 0) {
      std::lock_guard lock(mutex_);
      std::vector<void*>& free = free_[static_cast<std::size_t>(size)];
      if (!free.empty()) {
        void* p = free.back();
        free.pop_back();
        kept_ -= ClassBytes(size);
        return p;
      }
    }
    const std::size_t length = size >= 0 ? ClassBytes(size) : bytes;
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
  }

  void Free(void* p, std::size_t bytes) {
    const int size = SizeClass(bytes);
    if (size >= 0) {
      std::lock_guard lock(mutex_);
      if (kept_ + ClassBytes(size) <= kKept) {
        free_[static_cast<std::size_t>(size)].push_back(p);
        kept_ += ClassBytes(size);
        return;
      }
    }
    munmap(p, size >= 0 ? ClassBytes(size) : bytes);
  }

 private:
  static constexpr int kSmallestShift = 12;  // a page
  static constexpr int kLargestShift = 26;   // 64 MB
  static constexpr std::size_t kKept = 32u << 20;

  // -1 for a block above the largest size.
  static int SizeClass(std::size_t bytes) {
    const std::size_t rounded = std::bit_ceil(std::max<std::size_t>(bytes, std::size_t{1} << kSmallestShift));
    const int shift = std::countr_zero(rounded);
    return shift > kLargestShift ? -1 : shift - kSmallestShift;
  }
  static std::size_t ClassBytes(int size) { return std::size_t{1} << (size + kSmallestShift); }

  std::mutex mutex_;
  std::array<std::vector<void*>, kLargestShift - kSmallestShift + 1> free_;
  std::size_t kept_ = 0;
};

}  // namespace

PartMemory::PartMemory() : pool_(std::pmr::pool_options{0, kLargestPooled}, &mapped_) {}

void* PartMemory::Mapped::do_allocate(std::size_t bytes, std::size_t alignment) {
  (void)alignment;  // a mapping is aligned to a page
  return BlockCache::Instance().Allocate(bytes);
}

void PartMemory::Mapped::do_deallocate(void* p, std::size_t bytes, std::size_t alignment) {
  (void)alignment;
  BlockCache::Instance().Free(p, bytes);
}
