// Pauses of the control commands, in milliseconds. They give the board time
// to settle (a saved file, restored settings, a port handed over) and a slow
// terminal time to take a long listing; tests shorten them.
#pragma once

#include <atomic>

/// After @DEFT and @SAVE, between the write and the read-back of @TEST, and
/// before @QCTEST hands the port over.
extern std::atomic<int> command_pause_ms;
/// After each piece of the @SMSLOG listing.
extern std::atomic<int> smslog_piece_pause_ms;
