#include "sim/control/command.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "sim/modem/modem_model.h"
#include "sim/board/clock_jump.h"
#include "sim/board/pin_map.h"
#include "sim/board/rtc_time_text.h"

namespace sim {

namespace {

// Longest pulse train and slowest pulse one command may ask for.
constexpr long kMaxPulses = 1000000;
constexpr long kMaxPeriodMs = 3600 * 1000;
// Inputs of the board take -10.26 V to +10.04 V; a little beyond that
// saturates the converter, much beyond it is a typing error.
constexpr double kMaxVolts = 50.0;
// Console lines `console` shows, and the most the simulator keeps.
constexpr long kConsoleLinesDefault = 20;
constexpr long kConsoleLinesMax = 200;

bool ParseOnOff(const std::string& s, bool* on) {
  if (s == "on") {
    *on = true;
    return true;
  }
  if (s == "off") {
    *on = false;
    return true;
  }
  return false;
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

}  // namespace

bool ParseInt(const std::string& s, long lo, long hi, long* out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

const char* CommandSummary() {
  return "di N on|off            drive digital input N (0-4); active = low line\n"
         "initpin on|off         hold or release the init pin (read at firmware start)\n"
         "ai N VOLTS             set analog input N (0-3)\n"
         "state                  board state as JSON\n"
         "rtc get                the RTC registers as JSON\n"
         "rtc set YYYY-MM-DD HH:MM:SS\n"
         "sd insert|remove       put the SD card in or take it out\n"
         "sd use PCT             fix the card's use in per cent\n"
         "sd full                card writes fail with \"no space\", use 100 % (sd use|insert ends it)\n"
         "qmi up|down|fail       what the packet-data service answers\n"
         "clock jump +SECONDS|-SECONDS\n"
         "                       the system clock and the RTC move together\n"
         "pulse N COUNT PERIOD_MS WIDTH_MS\n"
         "                       COUNT pulses on DI N, active WIDTH_MS of every PERIOD_MS\n"
         "jig on|off             factory loop-back jig: every DI follows DO0 or DO1\n"
         "stop                   stop the firmware and the simulator\n"
         "console [LINES]        the firmware's last console lines (20, at most 200)\n"
         "watch                  a live view of the board in this terminal, until Ctrl-C\n"
         "help                   this list (needs no running board)\n"
         "sim ready|failure|absent\n"
         "                       the module's SIM card\n"
         "sim pin NNNN           a SIM that asks for PIN NNNN (three wrong ones: PUK 12345678)\n"
         "net home|roaming|none  the network (+CREG: 0,1 / 0,5 / 0,2)\n"
         "csq N                  signal 0-31, 99 none\n"
         "gps fix [LAT LON]|nofix\n"
         "                       what the GPS receiver sees (degrees)\n"
         "sms from NUMBER TEXT   a message arrives in the module's store (7-bit, else UCS2)\n"
         "sms from NUMBER --ucs2 HEX\n"
         "sms pdu [--raw] HEX    an SMS-DELIVER PDU arrives in the store (--raw: unchecked)\n"
         "sms clear              empty the store\n"
         "outbox [clear]         JSON lines, one per SMS the firmware sent\n"
         "sms-fail N [CODE]      the next N messages sent fail (+CMS ERROR: CODE, 500)\n"
         "own-number NUMBER|off  messages sent to NUMBER come back into the store\n"
         "modem-delay MS         every answer of the module comes MS ms later\n"
         "call answer [RINGS]|noanswer|reject|ring-forever\n"
         "                       what a called party does (answer after 2 rings; noanswer:\n"
         "                       NO CARRIER after 60 rings; ring-forever: its voicemail takes a prompt)\n"
         "calls [clear]          JSON lines, one per call the firmware placed\n"
         "realistic on [SEED]|off\n"
         "                       the module behaves like a real one: answers in pieces, a late\n"
         "                       confirmation now and then, SIM busy after power-up, radio-on and PIN,\n"
         "                       unsolicited lines; seeded so a run repeats (also: run --realistic[=SEED])\n"
         "module gone SECONDS    the module's port goes silent, then it comes back as after a reset\n"
         "                       (SIM busy, not registered for a few seconds, data call down)\n"
         "sim busy SECONDS       the SIM answers busy for that long (0 ends it)\n"
         "cmgs-delay MS          every +CMGS confirmation comes MS ms after the message (0: as usual)\n";
}

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string w;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!w.empty()) words.push_back(w);
      w.clear();
    } else {
      w += c;
    }
  }
  if (!w.empty()) words.push_back(w);
  return words;
}

bool ParseCommand(const std::string& line, Command* out, std::string* error) {
  Command c;
  c.line = line;
  c.words = SplitWords(line);
  const auto& w = c.words;
  if (w.empty()) return Fail(error, "empty command; try 'help'");
  const std::string& verb = w[0];
  size_t n = w.size();
  long v = 0;

  if (verb == "help" && n == 1) {
    c.kind = CommandKind::kHelp;
  } else if (verb == "state" && n == 1) {
    c.kind = CommandKind::kState;
  } else if (verb == "stop" && n == 1) {
    c.kind = CommandKind::kStop;
  } else if (verb == "di") {
    if (n != 3) return Fail(error, "usage: di N on|off");
    if (!ParseInt(w[1], 0, kDigitalInputs - 1, &v)) return Fail(error, "no DI '" + w[1] + "': inputs are 0 to 4");
    if (!ParseOnOff(w[2], &c.on)) return Fail(error, "di takes on or off, not '" + w[2] + "'");
    c.kind = CommandKind::kDi;
    c.index = static_cast<int>(v);
  } else if (verb == "initpin") {
    if (n != 2 || !ParseOnOff(w[1], &c.on)) return Fail(error, "usage: initpin on|off");
    c.kind = CommandKind::kInitPin;
  } else if (verb == "jig") {
    if (n != 2 || !ParseOnOff(w[1], &c.on)) return Fail(error, "usage: jig on|off");
    c.kind = CommandKind::kJig;
  } else if (verb == "ai") {
    if (n != 3) return Fail(error, "usage: ai N VOLTS");
    if (!ParseInt(w[1], 0, kAnalogInputs - 1, &v)) return Fail(error, "no AI '" + w[1] + "': inputs are 0 to 3");
    errno = 0;
    char* end = nullptr;
    double volts = std::strtod(w[2].c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(volts) || std::fabs(volts) > kMaxVolts) {
      return Fail(error, "'" + w[2] + "' is not a voltage (a number of volts, e.g. 2.5 or -1.25)");
    }
    c.kind = CommandKind::kAi;
    c.index = static_cast<int>(v);
    c.volts = volts;
  } else if (verb == "rtc") {
    if (n == 2 && w[1] == "get") {
      c.kind = CommandKind::kRtcGet;
    } else if (n == 4 && w[1] == "set") {
      if (!ParseRtcTime(w[2], w[3], &c.time)) {
        return Fail(error, "'" + w[2] + " " + w[3] + "' is not a time the RTC holds (YYYY-MM-DD HH:MM:SS, years 2000-2099)");
      }
      c.kind = CommandKind::kRtcSet;
    } else {
      return Fail(error, "usage: rtc get | rtc set YYYY-MM-DD HH:MM:SS");
    }
  } else if (verb == "sd") {
    if (n == 2 && w[1] == "insert") {
      c.kind = CommandKind::kSdInsert;
    } else if (n == 2 && w[1] == "remove") {
      c.kind = CommandKind::kSdRemove;
    } else if (n == 2 && w[1] == "full") {
      c.kind = CommandKind::kSdFull;
    } else if (n == 3 && w[1] == "use") {
      if (!ParseInt(w[2], 0, 100, &v)) return Fail(error, "the card's use is a per cent from 0 to 100, not '" + w[2] + "'");
      c.kind = CommandKind::kSdUse;
      c.percent = static_cast<int>(v);
    } else {
      return Fail(error, "usage: sd insert | sd remove | sd use PCT | sd full");
    }
  } else if (verb == "clock") {
    if (n != 3 || w[1] != "jump") return Fail(error, "usage: clock jump +SECONDS|-SECONDS");
    if (!ParseInt(w[2], -kMaxClockJumpS, kMaxClockJumpS, &v)) {
      return Fail(error, "'" + w[2] + "' is no jump: whole seconds, e.g. +86400 or -3600, at most ten years");
    }
    c.kind = CommandKind::kClockJump;
    c.seconds = v;
  } else if (verb == "qmi") {
    if (n != 2 || (w[1] != "up" && w[1] != "down" && w[1] != "fail")) return Fail(error, "usage: qmi up|down|fail");
    c.kind = CommandKind::kQmi;
    c.qmi = w[1];
  } else if (verb == "pulse") {
    if (n != 5) return Fail(error, "usage: pulse N COUNT PERIOD_MS WIDTH_MS");
    long count = 0, period = 0, width = 0;
    if (!ParseInt(w[1], 0, kDigitalInputs - 1, &v)) return Fail(error, "no DI '" + w[1] + "': inputs are 0 to 4");
    if (!ParseInt(w[2], 1, kMaxPulses, &count)) return Fail(error, "COUNT is a number of pulses from 1 to 1000000");
    if (!ParseInt(w[3], 2, kMaxPeriodMs, &period)) return Fail(error, "PERIOD_MS is from 2 to 3600000 ms");
    if (!ParseInt(w[4], 1, period - 1, &width)) return Fail(error, "WIDTH_MS is at least 1 ms and shorter than PERIOD_MS");
    c.kind = CommandKind::kPulse;
    c.index = static_cast<int>(v);
    c.count = static_cast<int>(count);
    c.period_ms = static_cast<int>(period);
    c.width_ms = static_cast<int>(width);
  } else if (verb == "console") {
    v = kConsoleLinesDefault;
    if (n > 2 || (n == 2 && !ParseInt(w[1], 1, kConsoleLinesMax, &v))) return Fail(error, "usage: console [LINES] (1 to 200)");
    c.kind = CommandKind::kConsole;
    c.count = static_cast<int>(v);
  } else if (IsModemCommand(verb)) {
    c.kind = CommandKind::kModem;
  } else {
    return Fail(error, "unknown command '" + line + "'; the commands are:\n" + CommandSummary());
  }
  *out = std::move(c);
  return true;
}

}  // namespace sim

