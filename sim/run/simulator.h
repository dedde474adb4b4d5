// `qrv806-sim run`: the simulated board. Lays out the root, offers the two
// serial lines as pseudo-terminals, runs the firmware (again after each
// reboot), watches what it drives, and takes control commands, all in one
// loop that sleeps in poll between events.
#pragma once

#include "sim/run/run_options.h"

namespace sim {

/// Runs until `ctl stop`, SIGINT, SIGTERM or SIGHUP, or until the firmware
/// ends other than by a reboot. Returns the exit status for the program.
int RunSimulator(const SimOptions& options);

}  // namespace sim
