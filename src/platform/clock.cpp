#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

LocalTime SystemClock::Now() const {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalTime lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.dayOfWeek = tm.tm_wday;
  return lt;
}

std::int64_t SystemClock::SteadyMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealSleeper::Sleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

IClock& DefaultClock() {
  static SystemClock clock;
  return clock;
}

ISleeper& DefaultSleeper() {
  static RealSleeper sleeper;
  return sleeper;
}

// Howard Hinnant's days-from-civil algorithm.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

LocalTime CivilFromDays(std::int64_t z) {
  const std::int64_t days = z;
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  LocalTime lt;
  lt.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  lt.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  lt.year = static_cast<int>(yoe + era * 400 + (lt.month <= 2 ? 1 : 0));
  // 1970-01-01 was a Thursday (4).
  lt.dayOfWeek = static_cast<int>(((days % 7) + 11) % 7);
  return lt;
}
