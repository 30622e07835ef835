#include "platform/side_by_side.h"

#include <algorithm>
#include <thread>
#include <vector>

unsigned SideBySideParts() { return std::clamp(std::thread::hardware_concurrency() / 2, 1u, kMaxSideBySide); }

void RunSideBySide(unsigned parts, const std::function<void(unsigned part)>& task) {
  std::vector<std::jthread> helpers;
  for (unsigned k = 1; k < parts; ++k) helpers.emplace_back(task, k);
  if (parts > 0) task(0);
}  // the helpers are joined here
