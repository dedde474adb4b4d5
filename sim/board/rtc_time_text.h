// The time text of `ctl rtc set`.
#pragma once

#include <ctime>
#include <string>

namespace sim {

/// Reads "YYYY-MM-DD HH:MM:SS" within the RTC chip's range (years 2000 to
/// 2099); false on anything else.
bool ParseRtcTime(const std::string& date, const std::string& time, struct tm* out);

}  // namespace sim
