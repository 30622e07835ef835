#pragma once
// Waits that take no time and are remembered, so a test can check what was waited for.

#include <mutex>
#include <vector>

#include "platform/clock.h"

class ZeroSleeper final : public ISleeper {
 public:
  void Sleep(int milliseconds) override {
    std::lock_guard lock(mutex_);
    waits_.push_back(milliseconds);
  }
  std::vector<int> Waits() const {
    std::lock_guard lock(mutex_);
    return waits_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<int> waits_;
};
