// The frames of the factory dialogue on its serial port: taken by the
// command port's rule (the waiting count held still for 100 ms, or more
// than 1000 bytes waiting, cut at the first CR), interpreted, answered.
#pragma once

#include "qc/qc_commands.h"

/// Serves one frame on `fd`, waiting at most `idle_timeout_ms` for its
/// first byte (negative: for ever). What the dialogue does next;
/// kContinue also when nothing came.
QcNext QcServeFrame(int fd, int idle_timeout_ms);

/// Serves frames until @BREAK or @AIREADPR; returns which.
QcNext QcRunDialogue(int fd);

/// The endless analog read-out of @AIREADPR: every pause all four channels
/// are read and shown on the console, until the unit restarts.
[[noreturn]] void QcReadOutForever();
