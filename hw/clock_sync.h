// The hourly check of the system date against the real-time clock, as a
// step function so its rhythm can be followed without waiting for it.
#pragma once

#include <string>

#include "hw/rtc.h"

/// The `date -s` command line the board ran for `t` (shown on the console).
std::string RtcDateCommand(const RtcTime& t);

/// Sets the system clock to `t`, a local time. 0, or -1 when `t` is not a
/// valid date and time (nothing is changed) or the clock refused it.
int SetSystemClockFromRtc(const RtcTime& t);

/// chk_sys_rtc_time, also giving the RTC time it read and whether the RTC
/// could be read at all (either pointer may be null).
int CheckSysRtcTime(RtcTime* rtc, bool* rtc_read_ok);

/// One step of thread_rtc2system. Each call does the work between two
/// sleeps and returns the seconds to sleep before the next call.
class RtcSyncLoop {
 public:
  static constexpr unsigned kHourS = 3600;
  static constexpr unsigned kAfterSetS = 2;
  static constexpr unsigned kRetryS = 5;
  /// Corrections tried in a row before the thread waits for the next hour.
  static constexpr unsigned kMaxTries = 3;

  unsigned Step();

 private:
  bool verifying_ = false;  // a correction was just made: check it
};
