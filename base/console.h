// The console printer: every progress, trace and error line of the firmware.
#pragma once

#include <atomic>
#include <cstdint>

/// 1 = console lines are mirrored to the terminal serial port.
extern std::atomic<uint8_t> cDebugMode;
/// Descriptor of the open terminal serial port, 0 while it is not open.
extern std::atomic<int> uart1;

/// printf-style; the message is cut at 255 characters. Writes it to the
/// serial port (when mirroring is on and the port is open) and to standard
/// output, each with one write, so lines of different threads never mix.
/// Returns the length of the message.
int PrintMsg(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// While on, standard output gets nothing (lines are still formatted, and
/// mirrored to the port as before): for programs that run the firmware's
/// readers millions of times (the fuzz targets), where nobody reads the
/// console and a write per line would cost more than the reading.
void ConsoleDiscard(bool on);

/// Writes text to standard output with one write call, for the few messages
/// that bypass the printer (they are never mirrored).
void ConsoleWrite(const char* text, int len);
