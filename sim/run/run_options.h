// The command line of qrv806-sim:
//   qrv806-sim run [--root DIR] [--utility] [--realistic[=SEED]] [--firmware PATH]
//                  [--firmware-prefix "EMULATOR ARGS"] [-- FIRMWARE-ARGS]
//   qrv806-sim ctl [--root DIR] COMMAND...
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct SimOptions {
  enum class Mode { kRun, kCtl, kHelp } mode = Mode::kHelp;
  std::string root = "./sim-root";
  bool root_given = false;                  // --root on the command line
  bool utility = false;                     // run: init pin held at power-up
  bool realistic = false;                   // run: the module behaves like a real one
  bool seed_given = false;                  // run: --realistic=SEED
  uint32_t seed = 0;
  std::string firmware;                     // run: empty = qrv806 beside qrv806-sim
  std::vector<std::string> firmware_args;   // run: after "--"
  // run: the firmware is started as PREFIX... FIRMWARE ARGS, e.g. under
  // "qemu-arm -L /" for a firmware built for the board.
  std::vector<std::string> firmware_prefix;
  std::vector<std::string> command;         // ctl
  std::string error;                        // set when the line is wrong
};

SimOptions ParseSimOptions(const std::vector<std::string>& args);
const char* SimUsage();

}  // namespace sim
