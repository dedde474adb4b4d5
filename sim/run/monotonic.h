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

/// The ppoll time-out that ends at `deadline_us` (MonotonicUs time), kept
/// in `storage`; null (wait until something happens) for a deadline of -1.
inline timespec* TimeoutUntil(int64_t deadline_us, timespec* storage) {
  if (deadline_us < 0) return nullptr;
  int64_t left = deadline_us - MonotonicUs();
  if (left < 0) left = 0;
  storage->tv_sec = static_cast<time_t>(left / 1000000);
  storage->tv_nsec = static_cast<long>(left % 1000000) * 1000;
  return storage;
}

}  // namespace sim
