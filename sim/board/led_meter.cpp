#include "sim/board/led_meter.h"

namespace sim {

void LedMeter::Observe(bool on, int64_t now_ms) {
  if (!known_) {
    // The first phase seen has no known start: it is not measured.
    known_ = true;
    on_ = on;
    since_ms_ = now_ms;
    return;
  }
  if (on == on_) return;
  int64_t phase = now_ms - since_ms_;
  // A phase that ended a steady stretch is not part of a blink.
  if (!since_edge_) {
    // Began before the LED was first seen: its length is unknown.
  } else if (phase > kSteadyAfterMs) {
    last_on_ms_ = -1;
    last_off_ms_ = -1;
  } else if (on_) {
    last_on_ms_ = phase;
  } else {
    last_off_ms_ = phase;
  }
  on_ = on;
  since_edge_ = true;
  since_ms_ = now_ms;
}

LedReading LedMeter::Read(int64_t now_ms) const {
  LedReading r;
  if (!known_) return r;
  r.on = on_;
  r.for_ms = now_ms - since_ms_;
  r.blinking = r.for_ms <= kSteadyAfterMs && (last_on_ms_ >= 0 || last_off_ms_ >= 0);
  if (r.blinking) {
    r.on_ms = last_on_ms_;
    r.off_ms = last_off_ms_;
  }
  return r;
}

}  // namespace sim
