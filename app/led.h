// The status and GPS LEDs.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/change_signal.h"

/// Status LED pattern: 0 not registered, 1 registered, 2 data up, 4 PIN
/// wanted, 5 and 6 firmware update done or failed. Start value 1. A change
/// wakes the LED thread.
extern SignalledWord sta_led_step;
/// The LED thread's copy of `gps_flag`, taken on each pass.
extern std::atomic<int32_t> gps_led_step;

/// Drives the status and GPS LEDs from the two selectors; never returns.
void* thread_led(void*);
