#pragma once
// Work cut into parts that run side by side on the program's readers: a few standing
// workers (WorkerRegistry::StartStanding) that live as long as the program and so
// keep their database handles, and the pages those handles have mapped, from one
// search to the next. For folds over the whole history whose parts share nothing but
// what they only read.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory_resource>

// At most this many parts run at once: the number of readers.
inline constexpr unsigned kMaxSideBySide = 8;

// The processors the program may run on (its affinity), at least 1.
unsigned UsableProcessors();

// The default number of parts: one per usable processor, 1 to kMaxSideBySide,
// and no more than a limit set by LimitSideBySideParts.
unsigned SideBySideParts();
// For measuring: SideBySideParts() gives at most `most` parts (0: no limit).
void LimitSideBySideParts(unsigned most);

// Runs task(0) .. task(parts - 1) and waits for all of them. The parts go to the
// readers, at most kMaxSideBySide at once however many there are; the calling thread
// only waits. Where no reader can be had (the system refuses a thread, the program is
// closing) the calling thread runs what is left itself, so the work always completes.
// Called on a reader, the parts run there one after the other. The first exception a
// part throws is rethrown here once every part that began has ended; the parts not yet
// begun by then are left out.
void RunSideBySide(unsigned parts, const std::function<void(unsigned part)>& task);

// Whether the calling thread is one of the readers.
bool OnSideBySideReader();

// Starts the readers and has each of them run `warm` once, before any part it takes
// from then on; returns at once. An exception of `warm` is dropped.
void WarmSideBySideReaders(std::function<void()> warm);
// Waits up to `bound` until every reader has run its warm-up; true when so.
bool WaitSideBySideWarm(std::chrono::milliseconds bound);

// Test seam.
namespace side_by_side_testing {
// Called on the part's thread before each part; it may throw as the part would.
void SetBeforePart(std::function<void(unsigned part)> hook);
// The next `starts` reader threads are refused as the system refuses a thread.
void RefuseReaderStarts(int starts);
// Reader threads started since the program began.
std::uint64_t ReadersStarted();
// Readers running now.
unsigned ReadersRunning();
// Stops the readers and waits for them; the next use starts them again.
void StopReaders();
}  // namespace side_by_side_testing

// Memory for what one part builds: small blocks pooled, large ones taken from a cache
// of blocks that every part's memory shares, which keeps a bounded amount of what was
// freed for the next search and gives the rest back to the system. A part built on a
// thread of its own would otherwise leave its memory with that thread's allocator
// arena, which keeps it for good.
class PartMemory {
 public:
  PartMemory();
  PartMemory(const PartMemory&) = delete;
  PartMemory& operator=(const PartMemory&) = delete;
  std::pmr::memory_resource* Resource() { return &pool_; }

 private:
  class Mapped final : public std::pmr::memory_resource {
    void* do_allocate(std::size_t bytes, std::size_t alignment) override;
    void do_deallocate(void* p, std::size_t bytes, std::size_t alignment) override;
    bool do_is_equal(const memory_resource& other) const noexcept override { return this == &other; }
  };
  Mapped mapped_;
  std::pmr::unsynchronized_pool_resource pool_;
};
