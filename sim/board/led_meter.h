// Measures an LED's blink from the moments its value file changes.
#pragma once

#include <cstdint>

namespace sim {

/// A phase held longer than this is no blink: the longest phase of any
/// pattern is 900 ms.
constexpr int64_t kSteadyAfterMs = 2000;

struct LedReading {
  bool on = false;
  bool blinking = false;
  int64_t on_ms = -1;   // last complete on phase of the current blink; -1 unknown
  int64_t off_ms = -1;  // last complete off phase of the current blink; -1 unknown
  int64_t for_ms = 0;   // how long it has been in its present state
};

class LedMeter {
 public:
  /// The level seen at `now_ms` (a monotonic time). The same level again
  /// changes nothing.
  void Observe(bool on, int64_t now_ms);
  LedReading Read(int64_t now_ms) const;

 private:
  bool known_ = false;
  bool on_ = false;
  bool since_edge_ = false;  // since_ms_ is a real change, not the first sighting
  int64_t since_ms_ = 0;
  int64_t last_on_ms_ = -1;
  int64_t last_off_ms_ = -1;
};

}  // namespace sim
