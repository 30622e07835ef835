#pragma once
// The month's block trades for tests: remembers every month asked for and keeps its
// `ended` callback for the test to call (on the UI thread) when it chooses.

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/download_engine.h"

class RecordingBlockTrades final : public BlockTradeJobs {
 public:
  explicit RecordingBlockTrades(bool accept = true) : accept_(accept) {}

  bool StartMonth(const std::string& yyyymm, std::function<void()> ended) override {
    std::lock_guard lock(mutex_);
    months_.push_back(yyyymm);
    ended_.push_back(std::move(ended));
    return accept_;
  }

  std::vector<std::string> Months() const {
    std::lock_guard lock(mutex_);
    return months_;
  }

  // Calls the `ended` of request `index`; false when there is no such request.
  bool End(std::size_t index = 0) {
    std::function<void()> ended;
    {
      std::lock_guard lock(mutex_);
      if (index >= ended_.size() || !ended_[index]) return false;
      ended = ended_[index];
    }
    ended();
    return true;
  }

 private:
  const bool accept_;
  mutable std::mutex mutex_;
  std::vector<std::string> months_;
  std::vector<std::function<void()>> ended_;
};
