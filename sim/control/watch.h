// `qrv806-sim ctl watch`: a live view of the simulated board on one screen
// of the terminal (ANSI), drawn from the state report and the console tail
// a few times a second, until Ctrl-C.
#pragma once

#include <string>

#include "sim/control/json.h"

namespace sim {

/// Runs the view for the board of `root` until SIGINT or SIGTERM; exit
/// status 0. While no board answers it says so and keeps asking.
int RunWatch(const std::string& root);

/// One screen, `rows` lines of at most `columns` characters each, without
/// escape sequences: the board from `state` (the `state` answer), then as
/// many of the `console` lines (oldest first) as fit.
std::string WatchScreen(const std::string& root, const Json& state, const std::string& console, int columns,
                        int rows);

}  // namespace sim
