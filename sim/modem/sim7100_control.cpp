// The world around the simulated module, as control commands set it, and
// the module's part of the state report.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/control/command.h"
#include "sim/modem/sim7100_model.h"

namespace sim {

namespace {

constexpr int kMaxDelayMs = 60000;
constexpr int kMaxFailures = 1000;

bool ParseDegrees(const std::string& s, double limit, double* out) {
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (s.empty() || errno != 0 || *end != '\0' || !std::isfinite(v) || std::fabs(v) > limit) return false;
  *out = v;
  return true;
}

// The line after its first `skip` words, blanks between them removed.
std::string RestOfLine(const std::string& line, size_t skip) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  size_t i = 0;
  for (size_t w = 0; w < skip; ++w) {
    while (i < line.size() && blank(line[i])) ++i;
    while (i < line.size() && !blank(line[i])) ++i;
  }
  while (i < line.size() && blank(line[i])) ++i;
  std::string rest = line.substr(i);
  while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
  return rest;
}

const char* NetworkName(Sim7100Model::Network n) {
  switch (n) {
    case Sim7100Model::Network::kHome: return "home";
    case Sim7100Model::Network::kRoaming: return "roaming";
    case Sim7100Model::Network::kNone: return "none";
  }
  return "none";
}

std::string Degrees(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

}  // namespace

Reply Sim7100Model::DoCommand(const std::vector<std::string>& w, const std::string& line, int64_t now_us) {
  const std::string& verb = w.front();
  long v = 0;
  Reply r;
  if (verb == "sim") {
    r = SimCommand(w, now_us);
  } else if (verb == "net") {
    r = NetCommand(w, now_us);
  } else if (verb == "csq") {
    if (w.size() != 2 || !ParseInt(w[1], 0, 99, &v) || (v > 31 && v != 99)) {
      r = Reply::Error("usage: csq N (signal 0 to 31, or 99 for none)");
    } else {
      csq_ = static_cast<int>(v);
      r = Reply::Ok("signal " + w[1] + (fun_ == 1 ? "" : " (the radio is off: +CSQ shows 99)"));
    }
  } else if (verb == "gps") {
    r = GpsCommand(w);
  } else if (verb == "sms") {
    r = SmsCommand(w, line, now_us);
  } else if (verb == "sms-fail") {
    long code = 500;
    if (w.size() < 2 || w.size() > 3 || !ParseInt(w[1], 0, kMaxFailures, &v) ||
        (w.size() == 3 && !ParseInt(w[2], 300, 511, &code))) {
      r = Reply::Error("usage: sms-fail N [CODE] (the next N messages sent fail, with +CMS ERROR: CODE, 300 to 511, "
                       "500 by default)");
    } else {
      sms_fail_left_ = static_cast<int>(v);
      sms_fail_code_ = static_cast<int>(code);
      r = Reply::Ok("the next " + w[1] + " messages sent fail with +CMS ERROR: " + std::to_string(code));
    }
  } else if (verb == "outbox") {
    if (w.size() == 1) {
      r = Reply::Ok(outbox_.JsonLines());
    } else if (w.size() == 2 && w[1] == "clear") {
      outbox_.Clear();
      r = Reply::Ok("outbox cleared");
    } else {
      r = Reply::Error("usage: outbox | outbox clear");
    }
  } else if (verb == "own-number") {
    SmsAddress a;
    std::string error;
    if (w.size() != 2) {
      r = Reply::Error("usage: own-number NUMBER|off");
    } else if (w[1] == "off") {
      own_number_.clear();
      r = Reply::Ok("no own number: messages to the unit go out like any other");
    } else if (!ParseAddress(w[1], &a, &error) || a.toa == kToaAlphanumeric) {
      r = Reply::Error("the unit's own number is digits, with a leading + when international, not '" + w[1] + "'");
    } else {
      own_number_ = w[1];
      r = Reply::Ok("own number " + w[1] + ": a message sent to it comes back into the store");
    }
  } else if (verb == "modem-delay") {
    if (w.size() != 2 || !ParseInt(w[1], 0, kMaxDelayMs, &v)) {
      r = Reply::Error("usage: modem-delay MS (0 to 60000: added to every answer of the module)");
    } else {
      extra_delay_us_ = int64_t{v} * 1000;
      r = Reply::Ok("the module answers " + w[1] + " ms later than usual (the firmware waits 100 ms for a query)");
    }
  } else if (verb == "realistic") {
    r = RealisticCommand(w, now_us);
  } else if (verb == "module") {
    r = ModuleCommand(w, now_us);
  } else if (verb == "cmgs-delay") {
    r = CmgsDelayCommand(w);
  } else if (verb == "call") {
    r = CallCommand(w, now_us);
  } else if (verb == "calls") {
    r = CallsCommand(w);
  } else {
    r = Reply::Error("'" + verb + "' is no command of the module");
  }
  DropCallOffNetwork(now_us);
  ReportRegistration(now_us);
  Flush(now_us);
  return r;
}

Reply Sim7100Model::SimCommand(const std::vector<std::string>& w, int64_t now_us) {
  if (w.size() >= 2 && w[1] == "busy") return SimBusyCommand(w, now_us);
  long unused = 0;
  bool was_ready = EffectiveSim() == SimState::kReady;
  bool was_present = card_ != Card::kAbsent;
  std::string text;
  if (w.size() == 2 && w[1] == "ready") {
    card_ = Card::kReady;
    pin_.clear();
    unlocked_ = true;
    text = "SIM ready";
  } else if (w.size() == 3 && w[1] == "pin" && w[2].size() >= 4 && w[2].size() <= 8 &&
             ParseInt(w[2], 0, 99999999, &unused)) {
    card_ = Card::kPin;
    pin_ = w[2];
    unlocked_ = false;
    text = "SIM with PIN " + pin_ + ": the module asks for it (three wrong ones lock the SIM, PUK " + options_.puk + ")";
  } else if (w.size() == 2 && w[1] == "failure") {
    card_ = Card::kFailure;
    text = "SIM failure";
  } else if (w.size() == 2 && w[1] == "absent") {
    card_ = Card::kAbsent;
    text = "no SIM";
  } else {
    return Reply::Error(
        "usage: sim ready | sim pin NNNN (4 to 8 digits) | sim failure | sim absent | sim busy SECONDS");
  }
  pin_attempts_left_ = 3;
  if (fun_ == 0) return Reply::Ok(text + " (the SIM is powered down by AT+CFUN=0 until AT+CFUN=1)");
  // A changed card reports itself, as a hot-swapped one does.
  if (card_ == Card::kAbsent && was_present) Unsolicited("+SIMCARD: NOT AVAILABLE", 0, now_us);
  SimLines(0, now_us);
  if (!was_ready && EffectiveSim() == SimState::kReady) SimBecameReady(now_us);
  return Reply::Ok(text);
}

Reply Sim7100Model::NetCommand(const std::vector<std::string>& w, int64_t) {
  if (w.size() != 2 || (w[1] != "home" && w[1] != "roaming" && w[1] != "none")) {
    return Reply::Error("usage: net home|roaming|none");
  }
  network_ = w[1] == "home" ? Network::kHome : w[1] == "roaming" ? Network::kRoaming : Network::kNone;
  std::string creg = w[1] == "home" ? "0,1" : w[1] == "roaming" ? "0,5" : "0,2";
  return Reply::Ok("network " + w[1] + ": +CREG: " + creg + " while the SIM is ready");
}

Reply Sim7100Model::GpsCommand(const std::vector<std::string>& w) {
  if (w.size() == 2 && w[1] == "nofix") {
    sky_fix_ = false;
    return Reply::Ok("GPS: no fix");
  }
  if (w.size() == 2 && w[1] == "fix") {
    sky_fix_ = true;
  } else if (w.size() == 4 && w[1] == "fix") {
    double lat = 0, lon = 0;
    if (!ParseDegrees(w[2], 90, &lat) || !ParseDegrees(w[3], 180, &lon)) {
      return Reply::Error("a position is LAT LON in degrees (-90 to 90, -180 to 180), e.g. 45.4642 9.19");
    }
    latitude_ = lat;
    longitude_ = lon;
    sky_fix_ = true;
  } else {
    return Reply::Error("usage: gps fix [LAT LON] | gps nofix");
  }
  return Reply::Ok("GPS fix at " + Degrees(latitude_) + ", " + Degrees(longitude_) +
                   (gps_on_ ? "" : " (the receiver is off until the firmware sends AT+CGPS=1)"));
}

Reply Sim7100Model::SmsCommand(const std::vector<std::string>& w, const std::string& line, int64_t now_us) {
  const char* usage = "usage: sms from NUMBER TEXT | sms from NUMBER --ucs2 HEX | sms pdu [--raw] HEX | sms clear";
  if (w.size() == 2 && w[1] == "clear") {
    store_.Clear();
    return Reply::Ok("store emptied");
  }
  std::string error;
  if (w.size() >= 3 && w[1] == "pdu") {
    bool raw = w[2] == "--raw";
    if (w.size() != (raw ? 4u : 3u)) return Reply::Error(usage);
    const std::string& hex = w.back();
    std::string octets;
    DeliverPdu unused;
    if (hex.empty() || hex.size() > kMaxPduText || !FromHex(hex, &octets)) {
      return Reply::Error("a PDU is hexadecimal text, two digits per octet, at most " + std::to_string(kMaxPduText) +
                          " digits");
    }
    if (!raw && !DecodeDeliver(hex, &unused, &error)) {
      return Reply::Error("not an SMS-DELIVER: " + error + " ('sms pdu --raw HEX' stores it as it is)");
    }
    return StoreMessage(hex, raw ? "as given" : "", now_us);
  }
  if (w.size() < 4 || w[1] != "from") return Reply::Error(usage);
  DeliverPdu d;
  if (!ParseAddress(options_.smsc, &d.smsc, &error) || !ParseAddress(w[2], &d.originator, &error)) {
    return Reply::Error(error);
  }
  if (w[3] == "--ucs2") {
    if (w.size() != 5) return Reply::Error(usage);
    if (!UserDataForUcs2Hex(w[4], &d.user_data, &error)) return Reply::Error(error);
  } else if (!UserDataForText(RestOfLine(line, 3), &d.user_data, &error)) {
    return Reply::Error(error);
  }
  d.time = SmscTimeOf(wall_clock_());
  return StoreMessage(EncodeDeliver(d), "", now_us);
}

StoredSms Sim7100Model::Stored(const std::string& pdu) const {
  StoredSms m;
  m.pdu = pdu;
  DeliverPdu d;
  std::string unused;
  if (DecodeDeliver(pdu, &d, &unused)) {
    m.tpdu_octets = d.tpdu_octets;
    m.from = d.originator.text;
    m.coding = CodingName(d.view.coding);
    m.text = d.view.text;
    return m;
  }
  // Stored as given: the length counts what follows the service centre part
  // when there is room for one, else everything.
  int octets = static_cast<int>(pdu.size() / 2);
  std::string first;
  FromHex(pdu.substr(0, 2), &first);
  int smsc = first.empty() ? 0 : static_cast<uint8_t>(first[0]);
  m.tpdu_octets = smsc + 1 < octets ? octets - smsc - 1 : octets;
  return m;
}

Reply Sim7100Model::StoreMessage(const std::string& pdu, const std::string& what, int64_t now_us) {
  StoredSms m = Stored(pdu);
  std::string coding = m.coding.empty() ? "" : m.coding + ", ";
  int index = store_.Put(m);
  if (index < 0) {
    return Reply::Error("the store is full (" + std::to_string(store_.size()) +
                        " messages the firmware has not read); 'sms clear' empties it");
  }
  NewMessageLine(index, now_us);
  return Reply::Ok("SMS stored at index " + std::to_string(index) + " (" + coding +
                   (what.empty() ? "" : what + ", ") + std::to_string(m.tpdu_octets) + " octets)");
}

std::string Sim7100Model::LocalTime() const {
  time_t t = wall_clock_();
  struct tm local {};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

void Sim7100Model::DoAddState(Json& state, int64_t now_us) const {
  Json m = Json::Object();
  m.Set("model", options_.model);
  m.Set("radio", fun_ == 1 ? "on" : fun_ == 4 ? "flight mode" : "off");
  m.Set("network", NetworkName(network_));
  m.Set("gps_receiver", gps_on_ ? "on" : "off");
  m.Set("sky", sky_fix_ ? "fix" : "no fix");
  m.Set("delay_ms", extra_delay_us_ / 1000);
  m.Set("sms_fail_left", sms_fail_left_);
  m.Set("own_number", own_number_.empty() ? Json() : Json(own_number_));
  m.Set("outbox", static_cast<int64_t>(outbox_.size()));
  m.Set("awaiting_pdu", reader_.in_pdu());
  m.Set("at_commands", commands_seen_);
  m.Set("last_command", last_command_.empty() ? Json() : Json(last_command_));
  AddRealismState(m, now_us);
  state.Set("modem", m);
  state.Set("sim", SimStatus());
  const char* reg = "not searching";
  switch (RegistrationAt(now_us)) {
    case 1: reg = "home"; break;
    case 5: reg = "roaming"; break;
    case 2: reg = "searching"; break;
    default: break;
  }
  state.Set("registration", reg);
  state.Set("signal", fun_ == 1 ? csq_ : 99);
  state.Set("gps", !gps_on_ ? "off" : sky_fix_ ? "fix" : "no fix");
  state.Set("store", store_.ToJson());
  state.Set("call", CallState());
}

}  // namespace sim
