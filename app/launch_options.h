// The firmware's command line: the board options (`--root DIR`, `--sim`,
// `--qmi-device PATH|qrtr:NODE`) are taken off first; what is left follows
// the device's rules (a date and a time set both clocks, "-resetconfig"
// resets the settings).
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "platform/packet_data.h"

struct LaunchOptions {
  std::string root;        // empty: the device's own file system
  bool simulated = false;  // simulated backends
  platform::QmiEndpoint qmi_device;  // the modem's QMI endpoint (packet data)
  // The remaining arguments, the program name first.
  std::vector<std::string> args;
  std::string error;  // non-empty when the board options are malformed
};

LaunchOptions ParseLaunchOptions(int argc, char** argv);

/// Reads the date and time arguments the way the board's `date -s` takes
/// them: "YYYY-MM-DD", "YYYY/MM/DD" or "YYYYMMDD", then "HH:MM" or
/// "HH:MM:SS". Returns false (and leaves `out` alone) for anything else or
/// for a value out of range.
bool ParseDateTimeArgs(const std::string& date, const std::string& time, struct tm* out);
