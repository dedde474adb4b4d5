// The user-log writer: the line format and the steps of ThreadLog.
#pragma once

#include <atomic>
#include <cstddef>

#include "base/log_ring.h"

/// Text of the user-log line being written (only the writer touches it).
extern char logData[256];

/// Clears logData (LogInit).
void LogWriterClear();

/// Formats a record as its user-log line, CR LF included, cut to fit `size`.
/// Returns the length of the text in `out`.
int LogFormatRecord(const LogRecord& r, char* out, size_t size);

/// Appends logData to today's user-log file.
void LogDump();

enum class LogWriterStep {
  kCardFull,  // still too full after the deletion: nothing written
  kWrote,     // one record written (or lost) and taken off the ring
  kIdle,      // nothing waiting
};

/// One pass of the writer: the deletion policy, then the oldest record.
LogWriterStep LogWriterPass();

/// The writer's loop, until `stop` is set (and LogWakeWriter called).
/// Sleeps 1 s after a pass that found the card full or nothing to write.
void RunLogWriter(const std::atomic<bool>& stop);
