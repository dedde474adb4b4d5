// The simulated module's realistic mode and its faults on demand: answers
// in pieces, late confirmations, a busy SIM, unsolicited lines, a module
// that goes away and comes back as after a reset; and their control
// commands (`realistic`, `module gone`, `sim busy`, `cmgs-delay`).
#include <algorithm>
#include <cstdio>
#include <string>

#include "sim/control/command.h"
#include "sim/modem/sim7100_model.h"

namespace sim {

namespace {

constexpr int64_t kMs = 1000;
constexpr int64_t kSecond = 1000 * kMs;

// Answers in pieces: up to three cuts; most answers spread over a few tens
// of ms, one in eight over up to 300 ms.
constexpr int kSplitCuts = 3;
constexpr int64_t kShortSpreadUs = 40 * kMs;
constexpr int64_t kLongSpreadUs = 300 * kMs;
constexpr int kLongSpreadOneIn = 8;
// One message in eight is confirmed after 1 to 20 s, as a busy network does.
constexpr int kLateOneIn = 8;
constexpr int64_t kLateMinUs = 1 * kSecond;
constexpr int64_t kLateMaxUs = 20 * kSecond;
// A SIM starting up is busy for a few seconds; registration follows.
constexpr int64_t kSimBusyMinUs = 2 * kSecond;
constexpr int64_t kSimBusyMaxUs = 6 * kSecond;
constexpr int64_t kRegistrationUs = 1 * kSecond;  // plain mode
constexpr int64_t kRegistrationMinUs = 1 * kSecond;
constexpr int64_t kRegistrationMaxUs = 6 * kSecond;
// A module back from a reset: SIM busy (plain mode: 3 s), then not
// registered for a few seconds (plain: 3 s, realistic: 3 to 6 s).
constexpr int64_t kResetSimBusyUs = 3 * kSecond;
constexpr int64_t kResetRegistrationUs = 3 * kSecond;
// Unsolicited events of realistic mode: one every 30 s to 2 min, a third
// of them an incoming call that rings 2 to 5 times, 3 s apart.
constexpr int64_t kEventMinUs = 30 * kSecond;
constexpr int64_t kEventMaxUs = 120 * kSecond;
constexpr int64_t kIncomingRingUs = 3 * kSecond;

constexpr long kMaxGoneSeconds = 3600;
constexpr long kMaxSimBusySeconds = 3600;
constexpr long kMaxCmgsDelayMs = 600000;

constexpr int kCmeSimBusy = 14;
constexpr int kCmsSimBusy = 314;

std::string Line(const std::string& text) { return "\r\n" + text + "\r\n"; }

std::string Seconds(int64_t us) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(us) / kSecond);
  return text;
}

}  // namespace

void Sim7100Model::SetRealistic(bool on, uint32_t seed, int64_t now_us) {
  realistic_ = on;
  if (!on) {
    next_event_us_ = -1;
    Notify("realistic mode off: the module answers whole and on time again");
    return;
  }
  dice_.Reseed(seed);
  next_event_us_ = now_us + dice_.Uniform(RealisticDice::kEvents, kEventMinUs, kEventMaxUs);
  Notify("realistic mode on, seed " + std::to_string(seed) + " ('run --realistic=" + std::to_string(seed) +
         "' or 'ctl realistic on " + std::to_string(seed) + "' repeats it)");
}

void Sim7100Model::Emit(const std::string& bytes, int64_t due_us) {
  if (bytes.empty() || gone_until_us_ >= 0) return;
  if (!realistic_) return output_.AddAnswer(bytes, due_us);
  int64_t spread = dice_.OneIn(RealisticDice::kSplit, kLongSpreadOneIn) ? kLongSpreadUs : kShortSpreadUs;
  std::vector<RealisticDice::Piece> pieces = dice_.Split(bytes, kSplitCuts, spread);
  for (size_t i = 0; i < pieces.size(); ++i) {
    output_.AddAnswer(std::move(pieces[i].bytes), due_us + pieces[i].offset_us, i + 1 < pieces.size());
  }
}

bool Sim7100Model::SimBusy(int64_t now_us) const { return now_us < sim_busy_until_us_; }

std::string Sim7100Model::SimBusyAnswer(const std::string& name, int64_t now_us) const {
  // Only a SIM that is there and powered can be busy.
  if (!SimBusy(now_us) || fun_ == 0 || card_ == Card::kAbsent) return "";
  if (name == "+CPMS" || name == "+CMGRD" || name == "+CMGD" || name == "+CMGS") {
    return Line("+CMS ERROR: " + std::to_string(kCmsSimBusy));
  }
  if (name == "+CPIN" || name == "D") return CmeError(kCmeSimBusy);
  return "";
}

int64_t Sim7100Model::SimInitUs() {
  return realistic_ ? dice_.Uniform(RealisticDice::kSim, kSimBusyMinUs, kSimBusyMaxUs) : 0;
}

void Sim7100Model::BusyUntil(int64_t until_us) { sim_busy_until_us_ = std::max(sim_busy_until_us_, until_us); }

int64_t Sim7100Model::RegistrationDelayUs() {
  return realistic_ ? dice_.Uniform(RealisticDice::kSim, kRegistrationMinUs, kRegistrationMaxUs) : kRegistrationUs;
}

int64_t Sim7100Model::NetworkVerdictUs(int64_t usual_us) {
  bool late = false;
  int64_t late_us = 0;
  if (realistic_) {
    late = dice_.OneIn(RealisticDice::kConfirm, kLateOneIn);
    late_us = dice_.Uniform(RealisticDice::kConfirm, kLateMinUs, kLateMaxUs);
  }
  if (cmgs_delay_us_ > 0) return cmgs_delay_us_;
  if (!late) return usual_us;
  Notify("the network takes " + Seconds(late_us) + " s over this message (realistic mode)");
  return late_us;
}

void Sim7100Model::ComeBack(int64_t now_us) {
  int64_t away_us = now_us - gone_since_us_;
  gone_until_us_ = -1;
  gone_since_us_ = -1;
  // As after a reset: the settings of the dialogue are back to the defaults.
  reader_ = AtLineReader{};
  output_.Clear();
  echo_ = true;
  cmee_ = 2;
  fun_ = 1;
  creg_n_ = 0;
  gps_on_ = false;
  moring_ = false;
  pdu_deadline_us_ = -1;
  if (card_ == Card::kPin) unlocked_ = false;
  int64_t busy = realistic_ ? SimInitUs() : kResetSimBusyUs;
  int64_t registration =
      realistic_ ? dice_.Uniform(RealisticDice::kSim, kResetRegistrationUs, 2 * kResetRegistrationUs) : kResetRegistrationUs;
  Boot(busy, registration, now_us);
  Notify("module back after " + Seconds(away_us) + " s, as after a reset: SIM busy for " + Seconds(busy) +
         " s, registered about " + Seconds(registration) + " s after that");
}

void Sim7100Model::ReportRegistration(int64_t now_us) {
  int reg = RegistrationAt(now_us);
  // A real module reports changes with AT+CREG=1; the realistic one has it
  // on in its stored profile.
  if (reported_registration_ >= 0 && reg != reported_registration_ && (realistic_ || creg_n_ >= 1)) {
    // A change a command made is reported after that command's answer.
    Unsolicited("+CREG: " + std::to_string(reg), std::max<int64_t>(0, output_.last_answer_due_us() - now_us), now_us);
  }
  reported_registration_ = reg;
  registration_watch_us_ = registered_from_us_ > now_us ? registered_from_us_ : -1;
}

void Sim7100Model::RandomEvent(int64_t now_us) {
  next_event_us_ = realistic_ ? now_us + dice_.Uniform(RealisticDice::kEvents, kEventMinUs, kEventMaxUs) : -1;
  if (!realistic_ || Gone(now_us)) return;
  if (dice_.Uniform(RealisticDice::kEvents, 1, 3) > 1) {
    if (gps_on_) Unsolicited(GpsInfo(), 0, now_us);
    return;
  }
  // An incoming call, which the firmware never answers: the caller gives up.
  char number[16];
  std::snprintf(number, sizeof number, "+39333%07d", static_cast<int>(dice_.Uniform(RealisticDice::kEvents, 0, 9999999)));
  int rings = static_cast<int>(dice_.Uniform(RealisticDice::kEvents, 2, 5));
  if (!incoming_.number.empty() || call_.phase != CallPhase::kIdle || !Registered(now_us)) return;
  incoming_ = Incoming{number, rings, now_us};
  IncomingRing(now_us);
}

void Sim7100Model::IncomingRing(int64_t now_us) {
  if (incoming_.number.empty() || !Registered(now_us)) {
    incoming_ = Incoming{};  // the network cut the caller off
    return;
  }
  if (incoming_.rings_left > 0) {
    --incoming_.rings_left;
    incoming_.next_us = now_us + kIncomingRingUs;
    return Unsolicited("RING", 0, now_us);
  }
  time_t t = wall_clock_();
  struct tm local {};
  localtime_r(&t, &local);
  char when[16];
  std::strftime(when, sizeof when, "%I:%M%p", &local);
  Unsolicited(std::string("MISSED_CALL: ") + when + " " + incoming_.number, 0, now_us);
  incoming_ = Incoming{};
}

void Sim7100Model::NewMessageLine(int index, int64_t now_us) {
  if (realistic_) Unsolicited("+CMTI: \"SM\"," + std::to_string(index), 0, now_us);
}

void Sim7100Model::RealismDeadlines(int64_t* next) const {
  for (int64_t t : {gone_until_us_, registration_watch_us_, next_event_us_, incoming_.next_us}) {
    if (t >= 0 && (*next < 0 || t < *next)) *next = t;
  }
}

bool Sim7100Model::DoRegistered(int64_t now_us) const {
  int reg = RegistrationAt(now_us);
  return reg == 1 || reg == 5;
}

// ---------------------------------------------------------------------------
// Control commands

Reply Sim7100Model::RealisticCommand(const std::vector<std::string>& w, int64_t now_us) {
  uint32_t seed = 0;
  if (w.size() == 2 && w[1] == "off") {
    SetRealistic(false, 0, now_us);
    return Reply::Ok("realistic mode off");
  }
  if ((w.size() == 2 || w.size() == 3) && w[1] == "on" && (w.size() == 2 || ParseSeed(w[2], &seed))) {
    if (w.size() == 2) seed = FreshSeed();
    SetRealistic(true, seed, now_us);
    return Reply::Ok("realistic mode on, seed " + std::to_string(seed) +
                     ": answers in pieces, a late confirmation now and then, the SIM busy after radio-on and PIN, "
                     "unsolicited lines");
  }
  return Reply::Error("usage: realistic on [SEED] | realistic off (SEED 0 to 4294967295)");
}

Reply Sim7100Model::ModuleCommand(const std::vector<std::string>& w, int64_t now_us) {
  long seconds = 0;
  if (w.size() != 3 || w[1] != "gone" || !ParseInt(w[2], 1, kMaxGoneSeconds, &seconds)) {
    return Reply::Error("usage: module gone SECONDS (1 to " + std::to_string(kMaxGoneSeconds) + ")");
  }
  // What was under way is lost with the module.
  if (call_.phase != CallPhase::kIdle) {
    call_.record.error = "the module went away";
    EndCall("no answer", now_us);
  }
  player_end_us_ = -1;
  player_in_call_ = false;
  incoming_ = Incoming{};
  output_.Clear();
  reader_ = AtLineReader{};
  pdu_deadline_us_ = -1;
  if (gone_since_us_ < 0) gone_since_us_ = now_us;
  gone_until_us_ = now_us + seconds * kSecond;
  Notify("module gone for " + w[2] + " s: its port reads and answers nothing");
  return Reply::Ok("module gone for " + w[2] +
                   " s: its port is silent, then it comes back as after a reset (boot lines, SIM busy, not registered "
                   "for a few seconds, data call down)");
}

Reply Sim7100Model::SimBusyCommand(const std::vector<std::string>& w, int64_t now_us) {
  long seconds = 0;
  if (w.size() != 3 || !ParseInt(w[2], 0, kMaxSimBusySeconds, &seconds)) {
    return Reply::Error("usage: sim busy SECONDS (0 to " + std::to_string(kMaxSimBusySeconds) + "; 0 ends it)");
  }
  sim_busy_until_us_ = seconds > 0 ? now_us + seconds * kSecond : -1;
  if (seconds == 0) return Reply::Ok("the SIM is not busy");
  Notify("SIM busy for " + w[2] + " s");
  return Reply::Ok("the SIM is busy for " + w[2] + " s: AT+CPIN? and ATD get +CME ERROR: SIM busy (14), the SMS commands +CMS ERROR: 314");
}

Reply Sim7100Model::CmgsDelayCommand(const std::vector<std::string>& w) {
  long ms = 0;
  if (w.size() != 2 || !ParseInt(w[1], 0, kMaxCmgsDelayMs, &ms)) {
    return Reply::Error("usage: cmgs-delay MS (0 to " + std::to_string(kMaxCmgsDelayMs) + "; 0: as usual)");
  }
  cmgs_delay_us_ = int64_t{ms} * kMs;
  if (ms == 0) return Reply::Ok("messages are confirmed as usual again");
  Notify("every +CMGS confirmation comes " + w[1] + " ms after the message");
  return Reply::Ok("every +CMGS confirmation comes " + w[1] + " ms after the message, until 'cmgs-delay 0'");
}

void Sim7100Model::AddRealismState(Json& modem, int64_t now_us) const {
  modem.Set("realistic", realistic_);
  modem.Set("seed", realistic_ ? Json(int64_t{dice_.seed()}) : Json());
  modem.Set("gone_ms", Gone(now_us) ? (gone_until_us_ - now_us) / kMs : 0);
  modem.Set("sim_busy_ms", SimBusy(now_us) ? (sim_busy_until_us_ - now_us) / kMs : 0);
  modem.Set("cmgs_delay_ms", cmgs_delay_us_ / kMs);
  modem.Set("incoming_call", incoming_.number.empty() ? Json() : Json(incoming_.number));
}

}  // namespace sim
