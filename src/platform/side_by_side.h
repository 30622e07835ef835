#pragma once
// Work cut into parts that run side by side: the first on the calling thread, each
// other on a std::thread of its own, all joined before the call returns. For folds
// over the whole history whose parts share nothing but what they only read.

#include <cstddef>
#include <functional>
#include <memory_resource>

// At most this many parts; by default one per two processors.
inline constexpr unsigned kMaxSideBySide = 4;

// The default number of parts: one per two processors, 1 to kMaxSideBySide.
unsigned SideBySideParts();

// Runs task(0) .. task(parts - 1) side by side and waits for all of them.
void RunSideBySide(unsigned parts, const std::function<void(unsigned part)>& task);

// Memory for what one part builds: small blocks pooled, large ones mapped from the
// system one by one, everything given back to the system when freed or when the
// part's memory ends. A part built on a thread of its own would otherwise leave its
// memory with that thread's allocator arena, which keeps it after the thread ended.
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
