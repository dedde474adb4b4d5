#include "sim/run/run_options.h"

#include "sim/modem/realistic_dice.h"

namespace sim {
namespace {

// The words of an emulator command line; no shell is involved, so no quoting.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = text.find_first_not_of(" \t", at)) != std::string::npos) {
    size_t end = text.find_first_of(" \t", at);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

}  // namespace

const char* SimUsage() {
  return "usage: qrv806-sim run [--root DIR] [--utility] [--realistic[=SEED]] [--firmware PATH]\n"
         "                      [--firmware-prefix \"EMULATOR ARGS\"] [-- FIRMWARE-ARGS]\n"
         "       qrv806-sim ctl [--root DIR] COMMAND...   ('ctl help' lists the commands)\n"
         "DIR defaults to ./sim-root and is kept between runs. Without --root, ctl\n"
         "talks to ./sim-root, or, when no board runs there, to the board of the last\n"
         "'make run' of this build. --realistic: the module behaves like a real one\n"
         "(answers in pieces, late confirmations, a busy SIM, unsolicited lines), seeded so a run repeats.\n"
         "--firmware-prefix: the firmware runs under that program, e.g. the board's build under\n"
         "\"qemu-arm -L /\" (words split at blanks, no quoting).\n";
}

SimOptions ParseSimOptions(const std::vector<std::string>& args) {
  SimOptions o;
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") return o;
  if (args[0] == "run") {
    o.mode = SimOptions::Mode::kRun;
  } else if (args[0] == "ctl") {
    o.mode = SimOptions::Mode::kCtl;
  } else {
    o.error = "unknown action '" + args[0] + "'";
    return o;
  }
  bool run = o.mode == SimOptions::Mode::kRun;
  size_t i = 1;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--root" || (run && a == "--firmware")) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        o.error = a + " needs a value";
        return o;
      }
      (a == "--root" ? o.root : o.firmware) = args[++i];
      o.root_given = o.root_given || a == "--root";
    } else if (run && (a == "--firmware-prefix" || a.rfind("--firmware-prefix=", 0) == 0)) {
      const bool joined = a != "--firmware-prefix";
      if (!joined && i + 1 >= args.size()) {
        o.error = a + " needs a value";
        return o;
      }
      o.firmware_prefix = Words(joined ? a.substr(18) : args[++i]);
      if (o.firmware_prefix.empty()) {
        o.error = "--firmware-prefix needs a program, e.g. --firmware-prefix \"qemu-arm -L /\"";
        return o;
      }
    } else if (a.rfind("--root=", 0) == 0) {
      o.root = a.substr(7);
      o.root_given = true;
    } else if (run && a == "--utility") {
      o.utility = true;
    } else if (run && a == "--realistic") {
      o.realistic = true;
    } else if (run && a.rfind("--realistic=", 0) == 0) {
      if (!ParseSeed(a.substr(12), &o.seed)) {
        o.error = "--realistic=SEED takes a seed from 0 to 4294967295, not '" + a.substr(12) + "'";
        return o;
      }
      o.realistic = true;
      o.seed_given = true;
    } else if (run && a == "--") {
      o.firmware_args.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      i = args.size();
      break;
    } else if (run) {
      o.error = "unknown option '" + a + "' (firmware arguments go after --)";
      return o;
    } else {
      break;  // ctl: the command starts here
    }
  }
  if (o.root.empty()) o.error = "--root needs a folder";
  if (!run) {
    o.command.assign(args.begin() + static_cast<long>(i), args.end());
    if (o.command.empty() && o.error.empty()) o.error = "ctl needs a command ('qrv806-sim ctl help' lists them)";
  }
  return o;
}

}  // namespace sim
