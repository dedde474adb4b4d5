// The simulated real-time clock's state, DIR/sim/rtc, shared with the
// firmware's clock chip model: one line "OFFSET WDAYSHIFT\n". The register
// time, read as a naive calendar time, is host time(NULL) + OFFSET seconds;
// the weekday register is (true weekday of that date + WDAYSHIFT) mod 7. No
// file means the chip holds the host's local time.
#pragma once

#include <ctime>
#include <string>

namespace sim {

struct RtcFile {
  long long offset_s = 0;
  int wday_shift = 0;
};

/// The file's state; the host's local time when the file is missing or
/// unreadable.
RtcFile ReadRtcFile(const std::string& path, time_t host_now);
bool WriteRtcFile(const std::string& path, const RtcFile& rtc);

/// The registers at `host_now` as a broken-down time (tm_wday is the
/// weekday register).
struct tm RtcRegisters(const RtcFile& rtc, time_t host_now);
/// The state that makes the registers read `wanted` at `host_now`, with the
/// weekday register true to the date.
RtcFile RtcFileFor(const struct tm& wanted, time_t host_now);

/// Reads "YYYY-MM-DD HH:MM:SS" within the chip's range (years 2000 to
/// 2099); false on anything else.
bool ParseRtcTime(const std::string& date, const std::string& time, struct tm* out);

}  // namespace sim
