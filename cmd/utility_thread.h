// Utility mode's serial command port: frames request lines on the terminal
// port (/dev/ttyHSL3) and hands each to the command table.
#pragma once

/// Thread body, started in utility mode only. Opens the port into uart1 and
/// serves requests for ever; returns only when the port cannot be opened.
void* thread_sms_utility(void*);

/// Receives the first line of a read; the thread passes DispatchCommandLine.
using LineHandler = int (*)(const char* token);

/// What differs between the line protocols of the terminal port (commands
/// here, the SMS bridge in normal mode): where the port comes from and the
/// two console lines of a read.
struct LineFraming {
  /// The open port, or -1 after the source has waited or reported itself.
  int (*port)();
  /// Printed with the byte count before a read, and with the line taken
  /// (null: no line).
  const char* read_trace;
  const char* line_trace;
  /// Printed when a read is taken because the count held still (null: no line).
  const char* settle_trace = nullptr;
};

/// Serves one burst on the framing's port: waits until the waiting byte
/// count has held still for 100 ms (or 1000 bytes wait), reads it into
/// cDataBuf and hands its first CR-delimited token to `handle`; the rest of
/// the read is dropped. Waits at most `idle_timeout_ms` for a first byte
/// (negative: for ever). Returns the number of bytes read, or -1 when
/// nothing came.
int ServeLineOnce(const LineFraming& framing, int idle_timeout_ms, LineHandler handle);

/// ServeLineOnce on uart1 with the command protocol's console lines; the
/// port is reopened when a handler has closed it.
int UtilityServeOnce(int idle_timeout_ms, LineHandler handle);
