#include "platform/side_by_side.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>
#include <thread>
#include <vector>

unsigned SideBySideParts() { return std::clamp(std::thread::hardware_concurrency() / 2, 1u, kMaxSideBySide); }

void RunSideBySide(unsigned parts, const std::function<void(unsigned part)>& task) {
  std::vector<std::jthread> helpers;
  for (unsigned k = 1; k < parts; ++k) helpers.emplace_back(task, k);
  if (parts > 0) task(0);
}  // the helpers are joined here

namespace {
// Blocks up to this size are pooled; larger ones are mapped one by one.
constexpr std::size_t kLargestPooled = 256 * 1024;
}  // namespace

PartMemory::PartMemory() : pool_(std::pmr::pool_options{0, kLargestPooled}, &mapped_) {}

void* PartMemory::Mapped::do_allocate(std::size_t bytes, std::size_t alignment) {
  (void)alignment;  // a mapping is aligned to a page
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  return p;
}

void PartMemory::Mapped::do_deallocate(void* p, std::size_t bytes, std::size_t alignment) {
  (void)alignment;
  munmap(p, bytes);
}
