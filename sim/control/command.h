// The control commands of the simulated board (`qrv806-sim ctl ...`), read
// from one line of words.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace sim {

/// A whole decimal number from `lo` to `hi`; false for anything else.
bool ParseInt(const std::string& s, long lo, long hi, long* out);

enum class CommandKind {
  kDi,        // di N on|off
  kInitPin,   // initpin on|off
  kAi,        // ai N VOLTS
  kState,     // state
  kRtcGet,    // rtc get
  kRtcSet,    // rtc set YYYY-MM-DD HH:MM:SS
  kSdInsert,  // sd insert
  kSdRemove,  // sd remove
  kSdUse,     // sd use PCT
  kSdFull,    // sd full
  kQmi,       // qmi up|down|fail
  kStop,      // stop
  kPulse,     // pulse N COUNT PERIOD_MS WIDTH_MS
  kJig,       // jig on|off
  kClockJump, // clock jump +SECONDS|-SECONDS
  kModem,     // sim, net, csq, gps, sms, outbox, calls, sms-fail, call, own-number, modem-delay,
              // realistic, module, cmgs-delay
  kHelp,      // help
  kConsole,   // console [LINES]
};

struct Command {
  CommandKind kind = CommandKind::kHelp;
  std::vector<std::string> words;  // as split from the line
  std::string line;                // the line as received
  int index = 0;                   // DI or AI number
  bool on = false;                 // di, initpin, jig
  double volts = 0;                // ai
  struct tm time {};               // rtc set
  int count = 0;                   // pulse; console lines
  int period_ms = 0;               // pulse
  int width_ms = 0;                // pulse
  int percent = 0;                 // sd use
  long seconds = 0;                // clock jump
  std::string qmi;                 // up, down or fail
};

/// Splits a line at blanks.
std::vector<std::string> SplitWords(const std::string& line);

/// Reads one command. False with a message for the user when the line is
/// not a command or its values are out of range.
bool ParseCommand(const std::string& line, Command* out, std::string* error);

/// One line per command, for `help` and for unknown commands.
const char* CommandSummary();

}  // namespace sim
