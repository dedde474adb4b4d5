// Pulse counters: thread_counter_handle counts pulses on the digital inputs
// configured as counters into counter_status, raises a channel's counter
// alarm once its count reaches uiCounter (the latch is saved to config.ini
// at once, so it holds across restarts), wraps counts past CounterMax and
// saves changed counts to CTStatus.ini every 30 s.
//
// The thread sleeps until the kernel (or the simulated board) reports an
// edge on a counted input, or until the next thing is due: the 25 ms
// re-check of a pulse that ended too early, the alarm check (counts and
// presets also change by command) or the save.
#pragma once

#include <cstdint>
#include <functional>

#include "config/config_data.h"

/// 1 when all five counter_status values equal counter_status_old, else 0.
int Compare_Counter_value();

/// The counting state of the five channels, driven by (level, now) samples
/// so that it can be fed from the lines or by hand. Counts, presets and the
/// alarm latch are the shared ones in sys_config.
class PulseCounter {
 public:
  /// Counting types, as di[c].cType.
  static constexpr uint8_t kNotCounted = 0;
  static constexpr uint8_t kNcPulse = 1;
  static constexpr uint8_t kNoPulse = 2;

  /// A pulse shorter than this (ms from its ON edge) is not counted yet.
  static constexpr uint32_t kMinPulseMs = 25;
  static constexpr uint32_t kSavePeriodMs = 30000;
  /// Longest time between two alarm checks. A count of this thread is
  /// checked at once; this only bounds how late an alarm value or count
  /// preset by a command is noticed.
  static constexpr int kAlarmCheckMs = 1000;

  /// `fire(e)` runs the firing actions of event e for a counter alarm.
  explicit PulseCounter(std::function<void(int)> fire);

  /// The start scan: every channel's level (DIV values) becomes its last
  /// accepted level, and the enabled NC_PULSE / NO_PULSE counter inputs of
  /// the events give the counting types (a later event overrides an earlier
  /// one). False when no channel is counted.
  bool Scan(const uint8_t levels[kDiCount]);
  uint8_t type(int c) const { return channels_[c].type; }

  /// One look at channel c: level v (DIV value) at `now` (GetTimeTicks).
  void Sample(int c, uint8_t v, uint32_t now);
  /// The alarm check of every (channel, event) pair, then the wrap of every
  /// count past CounterMax.
  void CheckAlarmsAndWrap();
  /// Restarts the 30 s save timer.
  void StartSaveTimer(uint32_t now) { save_start_ = now; }
  /// Saves the counts when the save is due and they changed, and a counter
  /// alarm latch that could not be saved when it was set.
  void SaveIfDue(uint32_t now);
  /// How long the thread may sleep before something is due (0 to
  /// kAlarmCheckMs).
  int SleepMs(uint32_t now) const;

 private:
  struct Channel {
    uint8_t type = kNotCounted;
    uint8_t last = 0;         // last accepted level
    bool known = false;       // false while no valid level was read
    bool early_off = false;   // OFF seen before kMinPulseMs: look again
    uint32_t rising = 0;      // time of the last accepted ON edge
  };

  // Writes config.ini, which keeps the alarm latches.
  void SaveLatch();

  std::function<void(int)> fire_;
  Channel channels_[kDiCount];
  uint32_t save_start_ = 0;
  bool latch_unsaved_ = false;
};

/// The counter thread (started by main in normal mode); ends when no input
/// is configured as a counter.
void* thread_counter_handle(void*);
