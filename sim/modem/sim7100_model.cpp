#include "sim/modem/sim7100_model.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

constexpr int64_t kMs = 1000;
// How long the module takes, from the end of a command to its answer.
constexpr int64_t kQueryDelayUs = 5 * kMs;
constexpr int64_t kStoreReadDelayUs = 10 * kMs;
constexpr int64_t kGpsStartDelayUs = 20 * kMs;
constexpr int64_t kStoreDeleteDelayUs = 30 * kMs;
constexpr int64_t kPinDelayUs = 150 * kMs;
constexpr int64_t kRadioOffDelayUs = 200 * kMs;
constexpr int64_t kRadioOnDelayUs = 300 * kMs;
// From Ctrl-Z to the network's confirmation.
constexpr int64_t kSubmitDelayUs = 400 * kMs;
// The SIM's lines after it powers up or takes its PIN, one after another.
constexpr int64_t kSimLineGapUs = 300 * kMs;
// A PDU not ended by Ctrl-Z within this time is given up.
constexpr int64_t kPduTimeoutUs = 30000 * kMs;
// A message sent to the unit's own number comes back after this time.
constexpr int64_t kLoopbackDelayUs = 1000 * kMs;
constexpr int64_t kStoreFullRetryUs = 1000 * kMs;
constexpr int kMaxSubmitLength = 180;

// +CME error codes and their verbose texts.
constexpr int kCmeNotAllowed = 3;
constexpr int kCmeSimNotInserted = 10;
constexpr int kCmeSimPinRequired = 11;
constexpr int kCmeSimPukRequired = 12;
constexpr int kCmeSimFailure = 13;
constexpr int kCmeSimBusy = 14;
constexpr int kCmeIncorrectPassword = 16;
constexpr int kCmeNoNetwork = 30;
// +CMS error codes.
constexpr int kCmsOperationNotAllowed = 302;
constexpr int kCmsInvalidPdu = 304;
constexpr int kCmsSimNotInserted = 310;
constexpr int kCmsSimPinRequired = 311;
constexpr int kCmsSimFailure = 313;
constexpr int kCmsSimPukRequired = 316;
constexpr int kCmsInvalidIndex = 321;
constexpr int kCmsNoNetwork = 331;

const char* const kOk = "\r\nOK\r\n";
const char* const kError = "\r\nERROR\r\n";

std::string Info(const std::string& text) { return "\r\n" + text + "\r\n"; }
std::string CmsError(int code) { return Info("+CMS ERROR: " + std::to_string(code)); }

const char* CmeText(int code) {
  switch (code) {
    case kCmeNotAllowed: return "operation not allowed";
    case kCmeSimNotInserted: return "SIM not inserted";
    case kCmeSimPinRequired: return "SIM PIN required";
    case kCmeSimPukRequired: return "SIM PUK required";
    case kCmeSimFailure: return "SIM failure";
    case kCmeSimBusy: return "SIM busy";
    case kCmeIncorrectPassword: return "incorrect password";
    case kCmeNoNetwork: return "no network service";
    default: return "unknown";
  }
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A decimal number that fills the whole text.
bool ToInt(const std::string& text, long lo, long hi, int* out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

// The arguments of a set command, split at commas, blanks and quotes removed.
std::vector<std::string> Arguments(const std::string& args) {
  std::vector<std::string> out(1);
  for (char c : args) {
    if (c == ',') {
      out.emplace_back();
    } else if (c != '"' && c != ' ') {
      out.back() += c;
    }
  }
  return out;
}

// ddmm.mmmmmm (latitude) or dddmm.mmmmmm (longitude), as +CGPSINFO gives it.
std::string DegreesMinutes(double value, int degree_digits) {
  double a = std::fabs(value);
  int degrees = static_cast<int>(a);
  double minutes = std::round((a - degrees) * 60.0 * 1e6) / 1e6;
  if (minutes >= 60.0) {
    ++degrees;
    minutes -= 60.0;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%0*d%09.6f", degree_digits, degrees, minutes);
  return text;
}

}  // namespace

Sim7100Model::Sim7100Model(Sim7100Options options)
    : options_(std::move(options)),
      wall_clock_([] { return time(nullptr); }),
      store_(options_.store_places),
      registered_from_us_(INT64_MIN) {}

void Sim7100Model::PowerOn(int64_t now_us) {
  // Drawn in this order, so that a seed repeats whatever the compiler.
  int64_t busy = SimInitUs();
  int64_t registration = RegistrationDelayUs();
  Boot(busy, registration, now_us);
}

void Sim7100Model::Boot(int64_t busy_us, int64_t registration_us, int64_t now_us) {
  int64_t at = 0;
  for (const std::string& line : options_.boot_lines) {
    Unsolicited(line, at, now_us);
    at += kSimLineGapUs;
  }
  if (busy_us > 0) BusyUntil(now_us + at + busy_us);
  SimLines(at + busy_us, now_us);
  registered_from_us_ = now_us + at + busy_us + registration_us;
  ReportRegistration(now_us);
  Flush(now_us);
}

// ---------------------------------------------------------------------------
// Bytes in, echo and answers out

void Sim7100Model::DoReceive(const std::string& bytes, int64_t now_us) {
  if (Gone(now_us)) return;  // nobody reads the port
  std::string echo;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    AtLineReader::Event e = reader_.Take(c);
    if (echo_ && c != 0x1A && c != 0x1B) echo += c;
    if (e == AtLineReader::Event::kNone) continue;
    // The line feed that follows the carriage return belongs to the line's end.
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      if (echo_) echo += '\n';
      ++i;
    }
    Emit(echo, now_us);
    echo.clear();
    switch (e) {
      case AtLineReader::Event::kCommand: HandleLine(reader_.text(), now_us); break;
      case AtLineReader::Event::kLineTooLong: Answer(kError, kQueryDelayUs, now_us); break;
      case AtLineReader::Event::kPdu: HandleSubmit(reader_.text(), false, now_us); break;
      case AtLineReader::Event::kPduTooLong: HandleSubmit(reader_.text(), true, now_us); break;
      case AtLineReader::Event::kPduCancel:
        pdu_deadline_us_ = -1;
        Answer(kOk, kQueryDelayUs, now_us);
        break;
      case AtLineReader::Event::kNone: break;
    }
  }
  Emit(echo, now_us);
  ReportRegistration(now_us);
  Flush(now_us);
}

int64_t Sim7100Model::DoNextDeadlineUs() const {
  int64_t next = output_.next_due_us();
  auto consider = [&](int64_t t) {
    if (t >= 0 && (next < 0 || t < next)) next = t;
  };
  consider(pdu_deadline_us_);
  consider(call_.next_event_us);
  consider(player_end_us_);
  for (const Delivery& d : deliveries_) consider(d.due_us);
  RealismDeadlines(&next);
  return next;
}

void Sim7100Model::DoOnDeadline(int64_t now_us) {
  if (gone_until_us_ >= 0 && now_us >= gone_until_us_) ComeBack(now_us);
  if (pdu_deadline_us_ >= 0 && now_us >= pdu_deadline_us_) {
    // Nothing came to end the PDU: the module gives it up.
    pdu_deadline_us_ = -1;
    reader_.ExpectCommands();
    Answer(CmsError(kCmsInvalidPdu), 0, now_us);
  }
  CallEvent(now_us);
  if (player_end_us_ >= 0 && now_us >= player_end_us_) StopPlayer(0, now_us);
  for (auto it = deliveries_.begin(); it != deliveries_.end();) {
    int index = -1;
    if (it->due_us > now_us) {
      ++it;
    } else if ((index = store_.Put(it->message)) >= 0) {
      NewMessageLine(index, now_us);
      it = deliveries_.erase(it);
    } else {
      it->due_us = now_us + kStoreFullRetryUs;  // the centre tries again later
      ++it;
    }
  }
  if (next_event_us_ >= 0 && now_us >= next_event_us_) RandomEvent(now_us);
  if (incoming_.next_us >= 0 && now_us >= incoming_.next_us) IncomingRing(now_us);
  ReportRegistration(now_us);
  Flush(now_us);
}

void Sim7100Model::Flush(int64_t now_us) { Send(output_.TakeDue(now_us)); }

void Sim7100Model::Answer(const std::string& bytes, int64_t delay_us, int64_t now_us) {
  Emit(bytes, now_us + delay_us + extra_delay_us_);
}

void Sim7100Model::Unsolicited(const std::string& line, int64_t after_us, int64_t now_us) {
  if (Gone(now_us)) return;
  output_.AddUnsolicited(Info(line), now_us + after_us + extra_delay_us_);
}

void Sim7100Model::SimLines(int64_t after_us, int64_t now_us) {
  switch (EffectiveSim()) {
    case SimState::kReady:
      Unsolicited("+CPIN: READY", after_us, now_us);
      Unsolicited("SMS DONE", after_us + kSimLineGapUs, now_us);
      Unsolicited("PB DONE", after_us + 2 * kSimLineGapUs, now_us);
      break;
    case SimState::kPin: Unsolicited("+CPIN: SIM PIN", after_us, now_us); break;
    case SimState::kPuk: Unsolicited("+CPIN: SIM PUK", after_us, now_us); break;
    default: break;
  }
}

std::string Sim7100Model::CmeError(int code) const {
  if (cmee_ == 0) return kError;
  if (cmee_ == 1) return Info("+CME ERROR: " + std::to_string(code));
  return Info(std::string("+CME ERROR: ") + CmeText(code));
}

// ---------------------------------------------------------------------------
// SIM and registration

Sim7100Model::SimState Sim7100Model::EffectiveSim() const {
  if (fun_ == 0) return SimState::kOff;
  switch (card_) {
    case Card::kAbsent: return SimState::kAbsent;
    case Card::kFailure: return SimState::kFailure;
    case Card::kPin:
      if (pin_attempts_left_ <= 0) return SimState::kPuk;
      return unlocked_ ? SimState::kReady : SimState::kPin;
    case Card::kReady: return SimState::kReady;
  }
  return SimState::kAbsent;
}

std::string Sim7100Model::SimStatus() const {
  switch (EffectiveSim()) {
    case SimState::kReady: return "ready";
    case SimState::kPin: return "pin";
    case SimState::kPuk: return "puk";
    case SimState::kFailure: return "failure";
    case SimState::kAbsent: return "absent";
    case SimState::kOff: return "off";
  }
  return "absent";
}

void Sim7100Model::SimBecameReady(int64_t now_us) { registered_from_us_ = now_us + RegistrationDelayUs(); }

int Sim7100Model::RegistrationAt(int64_t now_us) const {
  if (Gone(now_us)) return 0;
  if (fun_ != 1 || EffectiveSim() != SimState::kReady) return 0;  // not searching
  if (network_ == Network::kNone || now_us < registered_from_us_) return 2;  // searching
  return network_ == Network::kHome ? 1 : 5;
}

int Sim7100Model::SmsSimError() const {
  switch (EffectiveSim()) {
    case SimState::kReady: return 0;
    case SimState::kPin: return kCmsSimPinRequired;
    case SimState::kPuk: return kCmsSimPukRequired;
    case SimState::kFailure: return kCmsSimFailure;
    case SimState::kAbsent:
    case SimState::kOff: return kCmsSimNotInserted;
  }
  return kCmsSimNotInserted;
}

// ---------------------------------------------------------------------------
// Commands

void Sim7100Model::HandleLine(const std::string& line, int64_t now_us) {
  ++commands_seen_;
  last_command_ = line;
  std::string body = line.substr(2);  // after "AT"
  std::string upper = Upper(body);
  if (upper.empty()) return Answer(kOk, kQueryDelayUs, now_us);
  if (upper[0] == '+') {
    size_t end = upper.find_first_of("=?");
    std::string name = upper.substr(0, end);
    char form = 'x';  // x exec, r read (?), t test (=?), s set (=...)
    std::string args;
    if (end != std::string::npos) {
      if (upper[end] == '?') {
        form = end + 1 == upper.size() ? 'r' : 'e';
      } else if (upper.compare(end, 2, "=?") == 0) {
        form = end + 2 == upper.size() ? 't' : 'e';
      } else {
        form = 's';
        args = body.substr(end + 1);
      }
    }
    if (form == 'e') return Answer(kError, kQueryDelayUs, now_us);
    return HandleExtended(name, form, args, now_us);
  }
  if (upper == "I") {
    return Answer(Info("Manufacturer: SIMCOM INCORPORATED\r\nModel: " + options_.model + "\r\nRevision: " +
                       options_.revision + "\r\nIMEI: " + options_.imei + "\r\n+GCAP: +CGSM,+DS,+ES") +
                      kOk,
                  kQueryDelayUs, now_us);
  }
  if (upper == "E0" || upper == "E1" || upper == "E") {
    echo_ = upper == "E1";
    return Answer(kOk, kQueryDelayUs, now_us);
  }
  if (upper == "Z" || upper == "&F") {
    echo_ = true;
    cmee_ = 2;
    return Answer(kOk, kQueryDelayUs, now_us);
  }
  if (upper[0] == 'D') return HandleDial(body.substr(1), now_us);
  if (upper == "H" || upper == "H0") return HandleHangUp(now_us);
  // No incoming call is simulated: there is never one to answer.
  if (upper == "A") return Answer(Info("NO CARRIER"), kQueryDelayUs, now_us);
  Answer(kError, kQueryDelayUs, now_us);
}

void Sim7100Model::HandleExtended(const std::string& name, char form, const std::string& args, int64_t now_us) {
  auto ok = [&] { Answer(kOk, kQueryDelayUs, now_us); };
  auto error = [&] { Answer(kError, kQueryDelayUs, now_us); };
  auto info = [&](const std::string& text) { Answer(Info(text) + kOk, kQueryDelayUs, now_us); };
  std::vector<std::string> a = Arguments(args);
  int n = 0;
  std::string busy = SimBusyAnswer(name, now_us);
  if (!busy.empty()) return Answer(busy, kQueryDelayUs, now_us);

  if ((name == "+GMM" || name == "+CGMM") && form == 'x') return info(options_.model);
  if (name == "+SIMEI" && form == 'r') return info("+SIMEI: " + options_.imei);
  if (name == "+CPIN") {
    if (form == 'r') {
      switch (EffectiveSim()) {
        case SimState::kReady: return info("+CPIN: READY");
        case SimState::kPin: return info("+CPIN: SIM PIN");
        case SimState::kPuk: return info("+CPIN: SIM PUK");
        case SimState::kFailure: return Answer(CmeError(kCmeSimFailure), kQueryDelayUs, now_us);
        case SimState::kAbsent:
        case SimState::kOff: return Answer(CmeError(kCmeSimNotInserted), kQueryDelayUs, now_us);
      }
    }
    if (form == 's') return HandlePin(args, now_us);
    return error();
  }
  if (name == "+CFUN") {
    if (form == 'r') return info("+CFUN: " + std::to_string(fun_));
    if (form == 's') return HandleFun(args, now_us);
    return error();
  }
  if (name == "+CREG") {
    if (form == 'r') return info("+CREG: " + std::to_string(creg_n_) + "," + std::to_string(RegistrationAt(now_us)));
    if (form == 's' && a.size() == 1 && ToInt(a[0], 0, 2, &n)) {
      creg_n_ = n;
      return ok();
    }
    return error();
  }
  if (name == "+CSQ" && form == 'x') {
    int rssi = fun_ == 1 ? csq_ : 99;
    return info("+CSQ: " + std::to_string(rssi) + (rssi == 99 ? ",99" : ",0"));
  }
  if (name == "+CNSMOD" && form == 'r') {
    int r = RegistrationAt(now_us);
    return info(std::string("+CNSMOD: 0,") + (r == 1 || r == 5 ? "4" : "0"));
  }
  if (name == "+CMEE") {
    if (form == 'r') return info("+CMEE: " + std::to_string(cmee_));
    if (form == 's' && a.size() == 1 && ToInt(a[0], 0, 2, &n)) {
      cmee_ = n;
      return ok();
    }
    return error();
  }
  if (name == "+CMGF") {
    // The module is driven in PDU mode only.
    if (form == 'r') return info("+CMGF: 0");
    if (form == 's' && a.size() == 1 && a[0] == "0") return ok();
    return error();
  }
  if (name == "+CGPS" || name == "+CGPSINFO") {
    if (name == "+CGPSINFO") return form == 'x' ? info(GpsInfo()) : error();
    return HandleGps(form, args, now_us);
  }
  if (name == "+CPMS") return HandleStorage(form, args, now_us);
  if (name == "+CMGRD" && form == 's') return HandleRead(args, now_us);
  if (name == "+CMGD" && form == 's') return HandleDelete(args, now_us);
  if (name == "+CMGS" && form == 's') return HandleSubmitLength(args, now_us);
  if (name == "+MORING") return HandleMoring(form, args, now_us);
  if (name == "+CHUP" && form == 'x') return HandleHangUp(now_us);
  if (name == "+CLCC" && form == 'x') return HandleCallList(now_us);
  if (name == "+CCMXPLAYWAV") return HandlePlay(form, args, now_us);
  if (name == "+CCMXSTOPWAV" && form == 'x') return HandleStopPlay(now_us);
  error();
}

void Sim7100Model::HandlePin(const std::string& args, int64_t now_us) {
  std::vector<std::string> a = Arguments(args);
  // A refusal comes at once; checking a PIN with the SIM takes a while.
  auto refuse = [&](const std::string& bytes) { Answer(bytes, kQueryDelayUs, now_us); };
  auto answer = [&](const std::string& bytes) { Answer(bytes, kPinDelayUs, now_us); };
  switch (EffectiveSim()) {
    case SimState::kFailure: return refuse(CmeError(kCmeSimFailure));
    case SimState::kAbsent:
    case SimState::kOff: return refuse(CmeError(kCmeSimNotInserted));
    case SimState::kReady: return refuse(CmeError(kCmeNotAllowed));
    case SimState::kPin:
      if (a.size() != 1 || a[0].empty()) return refuse(kError);
      if (a[0] != pin_) {
        --pin_attempts_left_;
        return answer(CmeError(kCmeIncorrectPassword));
      }
      break;
    case SimState::kPuk:
      if (a.size() != 2) return refuse(CmeError(kCmeSimPukRequired));
      if (a[0] != options_.puk || a[1].size() < 4 || a[1].size() > 8) return answer(CmeError(kCmeIncorrectPassword));
      pin_ = a[1];
      pin_attempts_left_ = 3;
      break;
  }
  unlocked_ = true;
  pin_attempts_left_ = 3;
  answer(kOk);
  // A SIM that takes its PIN starts its files: busy a while in realistic mode.
  int64_t busy = SimInitUs();
  if (busy > 0) BusyUntil(now_us + kPinDelayUs + busy);
  SimLines(kSimLineGapUs + busy, now_us + kPinDelayUs);
  SimBecameReady(busy > 0 ? now_us + kPinDelayUs + busy : now_us);
}

void Sim7100Model::HandleFun(const std::string& args, int64_t now_us) {
  std::vector<std::string> a = Arguments(args);
  int fun = 0;
  if (a.empty() || !ToInt(a[0], 0, 7, &fun) || (fun != 0 && fun != 1 && fun != 4)) {
    return Answer(kError, kQueryDelayUs, now_us);
  }
  int was = fun_;
  fun_ = fun;
  if (fun == 0) {
    Answer(kOk, kRadioOffDelayUs, now_us);
    if (was != 0 && card_ != Card::kAbsent) Unsolicited("+SIMCARD: NOT AVAILABLE", kRadioOffDelayUs, now_us);
    DropCallOffNetwork(now_us);
    return;
  }
  if (fun == 4) {
    DropCallOffNetwork(now_us);
    return Answer(kOk, kRadioOffDelayUs, now_us);
  }
  Answer(kOk, kRadioOnDelayUs, now_us);
  int64_t busy = 0;
  if (was == 0) {
    // The SIM powers up again: a SIM with a PIN wants it again.
    if (card_ == Card::kPin) unlocked_ = false;
    busy = SimInitUs();
    if (busy > 0) BusyUntil(now_us + kRadioOnDelayUs + busy);
    SimLines(kRadioOnDelayUs + kSimLineGapUs + busy, now_us);
  }
  if (was != 1) SimBecameReady(now_us + kRadioOnDelayUs + busy);
}

void Sim7100Model::HandleGps(char form, const std::string& args, int64_t now_us) {
  if (form == 'r') return Answer(Info(std::string("+CGPS: ") + (gps_on_ ? "1" : "0") + ",1") + kOk, kQueryDelayUs, now_us);
  std::vector<std::string> a = Arguments(args);
  int on = 0;
  if (form != 's' || a.empty() || !ToInt(a[0], 0, 1, &on)) return Answer(kError, kQueryDelayUs, now_us);
  // Starting a started receiver (or stopping a stopped one) is refused.
  if ((on == 1) == gps_on_) return Answer(kError, kQueryDelayUs, now_us);
  gps_on_ = on == 1;
  Answer(kOk, kGpsStartDelayUs, now_us);
  if (!gps_on_) Unsolicited("+CGPS: 0", kGpsStartDelayUs, now_us);
}

std::string Sim7100Model::GpsInfo() const {
  if (!gps_on_ || !sky_fix_) return "+CGPSINFO: ,,,,,,,,";
  time_t now = wall_clock_();
  struct tm utc {};
  gmtime_r(&now, &utc);
  char text[160];
  std::snprintf(text, sizeof text, "+CGPSINFO: %s,%c,%s,%c,%02d%02d%02d,%02d%02d%02d.0,44.1,0.0,0",
                DegreesMinutes(latitude_, 2).c_str(), latitude_ < 0 ? 'S' : 'N',
                DegreesMinutes(longitude_, 3).c_str(), longitude_ < 0 ? 'W' : 'E', utc.tm_mday, utc.tm_mon + 1,
                utc.tm_year % 100, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

void Sim7100Model::HandleStorage(char form, const std::string& args, int64_t now_us) {
  if (form != 'r' && form != 's') return Answer(kError, kQueryDelayUs, now_us);
  if (int e = SmsSimError()) return Answer(CmsError(e), kQueryDelayUs, now_us);
  std::string counts = std::to_string(store_.used()) + "," + std::to_string(store_.size());
  if (form == 'r') {
    std::string sm = "\"SM\"," + counts;
    return Answer(Info("+CPMS: " + sm + "," + sm + "," + sm) + kOk, kQueryDelayUs, now_us);
  }
  std::vector<std::string> a = Arguments(args);
  if (a.size() > 3) return Answer(kError, kQueryDelayUs, now_us);
  for (const std::string& mem : a) {
    if (Upper(mem) != "SM") return Answer(CmsError(kCmsOperationNotAllowed), kQueryDelayUs, now_us);
  }
  Answer(Info("+CPMS: " + counts + "," + counts + "," + counts) + kOk, kQueryDelayUs, now_us);
}

void Sim7100Model::HandleRead(const std::string& args, int64_t now_us) {
  if (int e = SmsSimError()) return Answer(CmsError(e), kQueryDelayUs, now_us);
  std::vector<std::string> a = Arguments(args);
  int index = 0;
  if (a.size() != 1 || !ToInt(a[0], 0, INT_MAX / 2, &index)) return Answer(kError, kQueryDelayUs, now_us);
  if (index >= store_.size()) return Answer(CmsError(kCmsInvalidIndex), kStoreReadDelayUs, now_us);
  const StoredSms* m = store_.At(index);
  if (!m) return Answer(kOk, kStoreReadDelayUs, now_us);  // an empty place
  // Read and delete: the status stays "received unread" in the answer.
  std::string answer = Info("+CMGRD: 0,," + std::to_string(m->tpdu_octets) + "\r\n" + m->pdu) + kOk;
  store_.Delete(index);
  Answer(answer, kStoreReadDelayUs, now_us);
}

void Sim7100Model::HandleDelete(const std::string& args, int64_t now_us) {
  if (int e = SmsSimError()) return Answer(CmsError(e), kQueryDelayUs, now_us);
  std::vector<std::string> a = Arguments(args);
  int index = 0, flag = 0;
  if (a.size() > 2 || (a.size() == 2 && !ToInt(a[1], 0, 4, &flag))) return Answer(kError, kQueryDelayUs, now_us);
  if (flag == 0) {
    if (!ToInt(a[0], 0, INT_MAX / 2, &index)) return Answer(kError, kQueryDelayUs, now_us);
    if (index >= store_.size()) return Answer(CmsError(kCmsInvalidIndex), kStoreDeleteDelayUs, now_us);
    store_.Delete(index);
  } else if (!a[0].empty() && !ToInt(a[0], 0, INT_MAX / 2, &index)) {
    return Answer(kError, kQueryDelayUs, now_us);
  } else if (flag == 4) {
    store_.Clear();
  }
  // Flags 1 to 3 delete read and sent messages; the store holds only unread ones.
  Answer(kOk, kStoreDeleteDelayUs, now_us);
}

void Sim7100Model::HandleSubmitLength(const std::string& args, int64_t now_us) {
  if (int e = SmsSimError()) return Answer(CmsError(e), kQueryDelayUs, now_us);
  std::vector<std::string> a = Arguments(args);
  int length = 0;
  if (a.size() != 1 || !ToInt(a[0], 0, 999, &length)) return Answer(kError, kQueryDelayUs, now_us);
  if (length < 1 || length > kMaxSubmitLength) return Answer(CmsError(kCmsInvalidPdu), kQueryDelayUs, now_us);
  cmgs_length_ = length;
  reader_.ExpectPdu();
  pdu_deadline_us_ = now_us + kPduTimeoutUs;
  Answer("\r\n> ", kQueryDelayUs, now_us);
}

void Sim7100Model::HandleSubmit(const std::string& pdu, bool too_long, int64_t now_us) {
  pdu_deadline_us_ = -1;
  // Drawn for every message, so a seed makes the same messages late.
  int64_t verdict_us = NetworkVerdictUs(kSubmitDelayUs);
  OutboxRecord r;
  r.time = LocalTime();
  r.pdu = pdu;
  r.length = cmgs_length_;
  SubmitPdu p;
  std::string why;
  int code = 0;
  int64_t delay_us = kSubmitDelayUs;
  if (too_long) {
    code = kCmsInvalidPdu;
    why = "the PDU text is longer than " + std::to_string(kMaxPduText) + " characters";
  } else if (!DecodeSubmit(pdu, &p, &why)) {
    code = kCmsInvalidPdu;
  } else {
    r.decoded = true;
    r.number = p.destination.text;
    r.coding = CodingName(p.view.coding);
    r.text = p.view.text;
    r.hex = ToHex(p.view.body);
    if (p.tpdu_octets != cmgs_length_) {
      code = kCmsInvalidPdu;
      why = "AT+CMGS announced " + std::to_string(cmgs_length_) + " octets, the PDU has " +
            std::to_string(p.tpdu_octets);
    } else if (sms_fail_left_ > 0) {
      --sms_fail_left_;
      code = sms_fail_code_;
      why = "sms-fail";
      delay_us = verdict_us;  // the network refuses it
    } else if (int reg = RegistrationAt(now_us); reg != 1 && reg != 5) {
      code = kCmsNoNetwork;
      why = "not registered";
    }
  }
  if (code != 0) {
    r.error = "+CMS ERROR: " + std::to_string(code) + " (" + why + ")";
    Answer(CmsError(code), delay_us, now_us);
    outbox_.Add(std::move(r));
    return;
  }
  r.accepted = true;
  r.mr = next_mr_;
  next_mr_ = (next_mr_ + 1) % 256;
  Answer(Info("+CMGS: " + std::to_string(r.mr)) + kOk, verdict_us, now_us);

  auto digits = [](const std::string& n) { return n[0] == '+' ? n.substr(1) : n; };
  if (!own_number_.empty() && !r.number.empty() && digits(r.number) == digits(own_number_)) {
    r.own_number = true;
    DeliverPdu d;
    std::string unused;
    ParseAddress(options_.smsc, &d.smsc, &unused);
    ParseAddress(own_number_, &d.originator, &unused);
    d.has_header = (p.first_octet & 0x40) != 0;
    d.pid = p.pid;
    d.time = SmscTimeOf(wall_clock_());
    d.user_data = {p.dcs, p.udl, p.user_data};
    deliveries_.push_back({now_us + kLoopbackDelayUs, Stored(EncodeDeliver(d))});
  }
  outbox_.Add(std::move(r));
}

}  // namespace sim
