// The factory SMS loop: the unit texts the number the station names (its
// own) and waits for the message to come back.
#pragma once

#include <string>

/// The number in the text behind "@SMSRECV=": up to the first ";" or 20
/// characters, whichever comes first.
std::string QcSmsNumber(const char* after_command);

/// Queues the text "QCTEST" for `number` and checks ten times, one pause
/// apart, for it to arrive. 1 when it came back, else 0 (also at once for
/// an empty number or a full queue).
int QcSmsLoop(const std::string& number);
