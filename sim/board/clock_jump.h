// `ctl clock jump`: the board's system clock and its RTC move together, as
// when a network or a person sets the time of a running unit.
#pragma once

#include <cstdint>
#include <string>

#include "sim/board/board_root.h"

namespace sim {

/// The farthest one jump goes (ten years), in seconds.
constexpr long kMaxClockJumpS = 315576000;

/// Moves the simulated system clock (DIR/sim/clock, the firmware's offset
/// to the host clock) and the RTC (DIR/sim/rtc) by `seconds`. Refused when
/// the RTC would leave its years 2000 to 2099. Returns an empty text and
/// the RTC's new time in `rtc_time`, or why it could not be done.
std::string JumpClocks(const BoardRoot& root, int64_t seconds, std::string* rtc_time);

}  // namespace sim
