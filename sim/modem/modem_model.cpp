#include "sim/modem/modem_model.h"

namespace sim {

bool IsModemCommand(const std::string& word) {
  static const char* const kWords[] = {"sim",         "net",       "csq",    "gps",       "sms",
                                       "outbox",      "calls",     "call",   "sms-fail",  "own-number",
                                       "modem-delay", "realistic", "module", "cmgs-delay"};
  for (const char* w : kWords) {
    if (word == w) return true;
  }
  return false;
}

}  // namespace sim
