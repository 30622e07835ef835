#pragma once
// A thread-safe CustomDataSink that remembers every call, for the generator and the
// worker tests. Finished can be waited for.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "charting/custom_series_generator.h"

class RecordingCustomDataSink final : public CustomDataSink {
 public:
  struct LineEntry {
    std::string text;
    COLORREF colour = 0;
  };

  void Status(const std::string& text) override {
    std::lock_guard lock(mutex_);
    statuses_.push_back(text);
  }
  void Line(const std::string& text, COLORREF colour) override {
    std::lock_guard lock(mutex_);
    lines_.push_back({text, colour});
  }
  void ProgressRange(int lower, int upper) override {
    std::lock_guard lock(mutex_);
    ranges_.emplace_back(lower, upper);
  }
  void Progress(int position) override {
    std::lock_guard lock(mutex_);
    positions_.push_back(position);
  }
  void Message(const std::string& text) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
  }
  void Finished(bool ok, int failures) override {
    std::lock_guard lock(mutex_);
    ++finished_;
    ok_ = ok;
    failures_ = failures;
    finishedCv_.notify_all();
  }

  // Waits until Finished has been called `count` times in all.
  bool WaitFinished(int count = 1, std::chrono::milliseconds bound = std::chrono::seconds(30)) {
    std::unique_lock lock(mutex_);
    return finishedCv_.wait_for(lock, bound, [&] { return finished_ >= count; });
  }

  std::vector<std::string> Statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
  }
  std::vector<LineEntry> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<std::string> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<std::pair<int, int>> Ranges() const {
    std::lock_guard lock(mutex_);
    return ranges_;
  }
  std::vector<int> Positions() const {
    std::lock_guard lock(mutex_);
    return positions_;
  }
  int FinishedCount() const {
    std::lock_guard lock(mutex_);
    return finished_;
  }
  bool Ok() const {
    std::lock_guard lock(mutex_);
    return ok_;
  }
  int Failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
  }
  int RedLines() const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& l : lines_) n += l.colour == kCustomLineRed ? 1 : 0;
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable finishedCv_;
  std::vector<std::string> statuses_;
  std::vector<LineEntry> lines_;
  std::vector<std::pair<int, int>> ranges_;
  std::vector<int> positions_;
  std::vector<std::string> messages_;
  int finished_ = 0;
  bool ok_ = false;
  int failures_ = 0;
};
