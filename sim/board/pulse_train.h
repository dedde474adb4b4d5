// Timing of `ctl pulse`: COUNT pulses on one input, each active for WIDTH
// of every PERIOD.
#pragma once

#include <cstdint>

namespace sim {

class PulseTrain {
 public:
  /// Starts a train whose first pulse begins at `now_us`.
  void Start(int count, int64_t period_us, int64_t width_us, int64_t now_us);
  void Stop() { edges_left_ = 0; }
  bool running() const { return edges_left_ > 0; }
  /// When the next edge is due (only while running).
  int64_t next_edge_us() const { return next_us_; }
  /// Pulses not yet finished, the one under way included.
  int pulses_left() const { return (edges_left_ + 1) / 2; }

  /// Takes the next edge when it is due at `now_us`: sets `*active` to the
  /// level the input must take and returns true; false when nothing is due.
  /// A late edge shifts the rest of the train rather than shortening it
  /// below half its length, so a busy host never merges two pulses.
  bool TakeEdge(int64_t now_us, bool* active);

 private:
  int edges_left_ = 0;     // two per pulse: the rising and the falling one
  int64_t period_us_ = 0;
  int64_t width_us_ = 0;
  int64_t next_us_ = 0;    // when the next edge is due
  bool next_active_ = false;
};

}  // namespace sim
