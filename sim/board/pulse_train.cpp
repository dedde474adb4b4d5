#include "sim/board/pulse_train.h"

#include <algorithm>

namespace sim {

void PulseTrain::Start(int count, int64_t period_us, int64_t width_us, int64_t now_us) {
  edges_left_ = count > 0 ? count * 2 : 0;
  period_us_ = period_us;
  width_us_ = width_us;
  next_us_ = now_us;
  next_active_ = true;
}

bool PulseTrain::TakeEdge(int64_t now_us, bool* active) {
  if (!running() || now_us < next_us_) return false;
  *active = next_active_;
  // The phase this edge starts: active for the width, then the rest of the period.
  int64_t phase = next_active_ ? width_us_ : period_us_ - width_us_;
  int64_t nominal = next_us_ + phase;
  next_us_ = std::max(nominal, now_us + phase / 2);
  next_active_ = !next_active_;
  --edges_left_;
  return true;
}

}  // namespace sim
