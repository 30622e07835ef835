#pragma once
// Time and waiting, injectable: objects that read the clock or wait are handed an
// IClock / ISleeper, so tests run on a fake clock with zero waits.

#include <cstdint>

struct LocalTime {
  int year = 1970;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int dayOfWeek = 4;  // 0 = Sunday .. 6 = Saturday
};

class IClock {
 public:
  virtual ~IClock() = default;
  virtual LocalTime Now() const = 0;             // local wall-clock time
  virtual std::int64_t SteadyMs() const = 0;     // monotonic milliseconds
};

class SystemClock final : public IClock {
 public:
  LocalTime Now() const override;
  std::int64_t SteadyMs() const override;
};

class ISleeper {
 public:
  virtual ~ISleeper() = default;
  virtual void Sleep(int milliseconds) = 0;
};

class RealSleeper final : public ISleeper {
 public:
  void Sleep(int milliseconds) override;
};

// The process-wide defaults, for code that is not handed its own.
IClock& DefaultClock();
ISleeper& DefaultSleeper();

// Day arithmetic on the proleptic Gregorian calendar (no time zone involved).
// DaysFromCivil(1970,1,1) == 0.
std::int64_t DaysFromCivil(int year, int month, int day);
LocalTime CivilFromDays(std::int64_t days);  // time of day 00:00:00, dayOfWeek set
