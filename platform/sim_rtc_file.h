// The simulated board's battery-backed clock, kept in ROOT/sim/rtc.
//
// The file holds one line "OFFSET WDAYSHIFT\n" of two decimal integers: the
// clock's register time, read as a calendar time without a time zone (timegm
// of its fields), equals the host's time(NULL) + OFFSET seconds, and the
// weekday register equals (true weekday of the register date + WDAYSHIFT)
// mod 7. So the clock keeps running while no firmware runs. Without the file
// the clock holds the host's local time (OFFSET = local UTC offset, shift 0).
// The firmware's clock chip model and the simulator's `ctl rtc` both use
// these functions.
#pragma once

#include <ctime>
#include <string>

namespace platform {

struct SimRtcState {
  long long offset = 0;
  int wday_shift = 0;  // 0 to 6
};

/// The state in ROOT/sim/rtc; a missing or unreadable file gives the host's
/// local time at `host_now`.
SimRtcState SimRtcLoad(const std::string& root, time_t host_now);
/// Replaces ROOT/sim/rtc atomically (creating ROOT/sim when needed).
bool SimRtcSave(const std::string& root, const SimRtcState& state);

/// The clock's registers at `host_now`: tm_year (since 1900), tm_mon (0 to
/// 11), tm_mday, tm_hour, tm_min, tm_sec and tm_wday = the weekday register
/// (0 = Sunday); tm_yday is the true day of the year, tm_isdst 0.
void SimRtcRead(const std::string& root, struct tm* out, time_t host_now);
void SimRtcRead(const std::string& root, struct tm* out);

/// Loads the registers with the fields of `t` as the firmware writes them,
/// weekday included (tm_wday 0 to 6; other values give the date's true
/// weekday). Out-of-range fields are normalised the way timegm does.
bool SimRtcWrite(const std::string& root, const struct tm& t, time_t host_now);
bool SimRtcWrite(const std::string& root, const struct tm& t);

/// Sets the clock to the date and time of `t` with the date's true weekday
/// (what `ctl rtc set` does); tm_wday is not looked at.
bool SimRtcSet(const std::string& root, const struct tm& t);

}  // namespace platform
