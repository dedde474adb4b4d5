// Utility mode's serial command port: frames request lines on the terminal
// port (/dev/ttyHSL3) and hands each to the command table.
#pragma once

/// Thread body, started in utility mode only. Opens the port into uart1 and
/// serves requests for ever; returns only when the port cannot be opened.
void* thread_sms_utility(void*);

/// Receives the first line of a read; the thread passes DispatchCommandLine.
using LineHandler = int (*)(const char* token);

/// Serves one burst on uart1: waits until the waiting byte count has held
/// still for 100 ms (or 1000 bytes wait), reads it into cDataBuf and hands
/// its first CR-delimited token to `handle`; the rest of the read is
/// dropped. Waits at most `idle_timeout_ms` for a first byte (negative: for
/// ever). Returns the number of bytes read, or -1 when nothing came.
int UtilityServeOnce(int idle_timeout_ms, LineHandler handle);
