// `qrv806-sim ctl`: sends one command to the simulator of a root.
#pragma once

#include <string>
#include <vector>

#include "sim/control/reply.h"

namespace sim {

/// Sends a command line and waits up to `timeout_ms` for the answer. False
/// with a message when no simulator answers.
bool SendCommand(const std::string& socket_path, const std::string& line, int timeout_ms, Reply* reply,
                 std::string* error);

/// Joins the words, sends them and prints the answer: exit status 0 on
/// success, 1 when the simulator refused the command, 2 when none answered.
/// `help` is answered here and `watch` runs here, on the simulator's
/// answers, until Ctrl-C.
int RunCtl(const std::string& root, const std::vector<std::string>& words);

/// The root `ctl` uses without --root: ./sim-root while a board runs there
/// (its control socket exists), else the root that the last `make run` of
/// this build chose, named in the file `make-run-root` beside this program,
/// else ./sim-root.
std::string CtlDefaultRoot();

}  // namespace sim
