#pragma once
// Work cut into parts that run side by side: the first on the calling thread, each
// other on a std::thread of its own, all joined before the call returns. For folds
// over the whole history whose parts share nothing but what they only read.

#include <functional>

// At most this many parts; by default one per two processors.
inline constexpr unsigned kMaxSideBySide = 4;

// The default number of parts: one per two processors, 1 to kMaxSideBySide.
unsigned SideBySideParts();

// Runs task(0) .. task(parts - 1) side by side and waits for all of them.
void RunSideBySide(unsigned parts, const std::function<void(unsigned part)>& task);
