#include "sim/modem_model.h"

namespace sim {

bool IsModemCommand(const std::string& word) {
  static const char* const kWords[] = {"sim",   "net",   "csq",      "gps",  "sms",
                                       "outbox", "calls", "sms-fail", "call", "own-number"};
  for (const char* w : kWords) {
    if (word == w) return true;
  }
  return false;
}

void SilentModem::DoReceive(const std::string&, int64_t) {}

Reply SilentModem::DoCommand(const std::vector<std::string>& words, const std::string&) {
  return Reply::Error("'" + words.front() + "' is not available yet: this simulator has no modem model (the AT channel stays silent)");
}

void SilentModem::DoAddState(Json& state) const {
  state.Set("modem", "no modem model yet: sim, registration, signal and gps are unknown");
  state.Set("sim", "unknown");
  state.Set("registration", "unknown");
  state.Set("signal", "unknown");
  state.Set("gps", "unknown");
}

}  // namespace sim
