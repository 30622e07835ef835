#pragma once
// A clock the test sets and moves by hand.

#include <atomic>
#include <mutex>

#include "platform/clock.h"

class FakeClock final : public IClock {
 public:
  FakeClock() = default;
  FakeClock(int year, int month, int day, int hour = 10, int minute = 0, int second = 0) {
    Set(year, month, day, hour, minute, second);
  }

  void Set(int year, int month, int day, int hour = 10, int minute = 0, int second = 0) {
    std::lock_guard lock(mutex_);
    now_ = CivilFromDays(DaysFromCivil(year, month, day));
    now_.hour = hour;
    now_.minute = minute;
    now_.second = second;
  }
  // Moves the wall clock by whole days and the steady clock by milliseconds.
  void AdvanceDays(int days) {
    std::lock_guard lock(mutex_);
    LocalTime moved = CivilFromDays(DaysFromCivil(now_.year, now_.month, now_.day) + days);
    moved.hour = now_.hour;
    moved.minute = now_.minute;
    moved.second = now_.second;
    now_ = moved;
  }
  void AdvanceMs(std::int64_t ms) { steadyMs_ += ms; }

  LocalTime Now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  std::int64_t SteadyMs() const override { return steadyMs_; }

 private:
  mutable std::mutex mutex_;
  LocalTime now_ = CivilFromDays(DaysFromCivil(2017, 2, 6));
  std::atomic<std::int64_t> steadyMs_{0};
};
