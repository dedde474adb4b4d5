// Pauses of the factory dialogue, in milliseconds. They give the jig, the
// converter and the card time to follow, and the returning SMS time to come
// back; tests shorten them.
#pragma once

#include <atomic>

/// After switching the outputs for the loop-back, before the @AIV reply,
/// and between creating and writing the card's test file (10).
extern std::atomic<int> qc_io_settle_ms;
/// After each calibration value is assigned (50).
extern std::atomic<int> qc_calibration_pause_ms;
/// Between the checks for the returning test SMS, ten of them (1000).
extern std::atomic<int> qc_sms_check_pause_ms;
/// Between the sweeps of the endless analog read-out (1000).
extern std::atomic<int> qc_readout_pause_ms;
