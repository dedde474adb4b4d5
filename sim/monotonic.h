// The simulator's time base: a monotonic clock in microseconds, unaffected
// by the host's or the firmware's wall-clock settings.
#pragma once

#include <cstdint>
#include <ctime>

namespace sim {

inline int64_t MonotonicUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

}  // namespace sim
