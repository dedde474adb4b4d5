// Voice calls of the simulated module: the dial, the far end ringing and
// deciding, the prompt played into the call, the hang-up; and the `call`
// and `calls` control commands.
#include <cstdio>
#include <string>

#include "sim/control/command.h"
#include "sim/modem/sim7100_model.h"
#include "sim/modem/wav_prompt.h"

namespace sim {

namespace {

constexpr int64_t kMs = 1000;
constexpr int64_t kQueryDelayUs = 5 * kMs;
// A dial is confirmed at once; the network then takes a moment to reach
// the far end, which rings in periods of a second.
constexpr int64_t kDialDelayUs = 20 * kMs;
constexpr int64_t kAlertingDelayUs = 1500 * kMs;
constexpr int64_t kRingPeriodUs = 1000 * kMs;
constexpr int64_t kHangUpDelayUs = 50 * kMs;
constexpr int64_t kPlayDelayUs = 30 * kMs;
// A network gives up on a far end that does not answer after about a minute.
constexpr int kNoAnswerRings = 60;
constexpr int kRejectRings = 1;
constexpr int kMaxAnswerRings = 100;
constexpr size_t kMaxDialDigits = 40;
constexpr size_t kMaxRecordedNumber = 64;
constexpr int64_t kMaxReportedSeconds = 99 * 3600 + 59 * 60 + 59;

constexpr int kCmeNotAllowed = 3;
constexpr int kCmeSimNotInserted = 10;
constexpr int kCmeSimPinRequired = 11;
constexpr int kCmeSimPukRequired = 12;
constexpr int kCmeSimFailure = 13;
constexpr int kCmeNoNetwork = 30;

const char* const kOk = "\r\nOK\r\n";
const char* const kError = "\r\nERROR\r\n";

std::string Info(const std::string& text) { return "\r\n" + text + "\r\n"; }

// "+" first for an international number, then digits, '*' and '#'.
bool IsDialNumber(const std::string& n) {
  size_t from = !n.empty() && n[0] == '+' ? 1 : 0;
  if (n.size() == from || n.size() - from > kMaxDialDigits) return false;
  for (size_t i = from; i < n.size(); ++i) {
    char c = n[i];
    if ((c < '0' || c > '9') && c != '*' && c != '#') return false;
  }
  return true;
}

std::string Hhmmss(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  if (seconds > kMaxReportedSeconds) seconds = kMaxReportedSeconds;
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

// An answer without its line ends, for the call log.
std::string Bare(const std::string& answer) {
  std::string s;
  for (char c : answer) {
    if (c != '\r' && c != '\n') s += c;
  }
  return s;
}

std::string Blankless(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c != ' ' && c != '\t') out += c;
  }
  return out;
}

}  // namespace

void Sim7100Model::HandleMoring(char form, const std::string& args, int64_t now_us) {
  auto info = [&](const std::string& text) { Answer(Info(text) + kOk, kQueryDelayUs, now_us); };
  if (form == 'r') return info(std::string("+MORING: ") + (moring_ ? "1" : "0"));
  if (form == 't') return info("+MORING: (0-1)");
  std::string a = Blankless(args);
  if (form != 's' || (a != "0" && a != "1")) return Answer(kError, kQueryDelayUs, now_us);
  moring_ = a == "1";
  Answer(kOk, kQueryDelayUs, now_us);
}

std::string Sim7100Model::DialRefusal(std::string* why, int64_t now_us) const {
  if (call_.phase != CallPhase::kIdle) {
    *why = "a call is already up";
    return CmeError(kCmeNotAllowed);
  }
  if (std::string busy = SimBusyAnswer("D", now_us); !busy.empty()) {
    *why = "the SIM is busy";
    return busy;
  }
  switch (EffectiveSim()) {
    case SimState::kAbsent: *why = "no SIM"; return CmeError(kCmeSimNotInserted);
    case SimState::kFailure: *why = "SIM failure"; return CmeError(kCmeSimFailure);
    case SimState::kPin: *why = "the SIM wants its PIN"; return CmeError(kCmeSimPinRequired);
    case SimState::kPuk: *why = "the SIM wants its PUK"; return CmeError(kCmeSimPukRequired);
    case SimState::kOff:
    case SimState::kReady: break;
  }
  int reg = RegistrationAt(now_us);
  if (reg != 1 && reg != 5) {
    *why = fun_ != 1 ? "the radio is off" : "not registered";
    return CmeError(kCmeNoNetwork);
  }
  return "";
}

void Sim7100Model::HandleDial(const std::string& dial_string, int64_t now_us) {
  CallRecord r;
  r.dialled = LocalTime();
  std::string number = dial_string;
  bool voice = !number.empty() && number.back() == ';';
  if (voice) number.pop_back();
  r.number = number.substr(0, kMaxRecordedNumber);
  std::string why;
  std::string refusal;
  if (!voice) {
    refusal = kError;
    why = "no ';' at the end: not a voice call";
  } else if (!IsDialNumber(number)) {
    refusal = kError;
    why = number.empty() ? "no number" : "not a number of up to 40 digits";
  } else {
    refusal = DialRefusal(&why, now_us);
  }
  if (!refusal.empty()) {
    r.outcome = "dial error";
    r.ended = r.dialled;
    r.error = "ATD: " + Bare(refusal) + " (" + why + ")";
    calls_.Add(std::move(r));
    return Answer(refusal, kQueryDelayUs, now_us);
  }
  call_ = Call{};
  call_.phase = CallPhase::kSetup;
  call_.next_event_us = now_us + kDialDelayUs + kAlertingDelayUs;
  call_.record = std::move(r);
  Answer(kOk, kDialDelayUs, now_us);
}

// One alerting period: the far end decides by the setting of the moment,
// so `ctl call` also steers a call that is ringing.
void Sim7100Model::CallEvent(int64_t now_us) {
  if (call_.next_event_us < 0 || now_us < call_.next_event_us) return;
  int rings = call_.record.rings;
  if (far_end_ == FarEnd::kAnswer && rings >= answer_rings_) {
    call_.phase = CallPhase::kConnected;
    call_.next_event_us = -1;
    call_.connected_us = now_us;
    call_.record.outcome = "answered";
    call_.record.answered = LocalTime();
    return Unsolicited("VOICE CALL: BEGIN", 0, now_us);
  }
  if ((far_end_ == FarEnd::kReject && rings >= kRejectRings) ||
      (far_end_ == FarEnd::kNoAnswer && rings >= kNoAnswerRings)) {
    Unsolicited("NO CARRIER", 0, now_us);
    return EndCall(far_end_ == FarEnd::kReject ? "rejected" : "no answer", now_us);
  }
  if (moring_) Unsolicited("VOICE CALL: RING", 0, now_us);
  ++call_.record.rings;
  call_.phase = CallPhase::kRinging;
  // Keep the cadence, but a late loop never makes the far end ring in a burst.
  int64_t next = call_.next_event_us + kRingPeriodUs;
  call_.next_event_us = next > now_us ? next : now_us + kRingPeriodUs;
}

void Sim7100Model::EndCall(const char* outcome, int64_t) {
  if (call_.record.outcome.empty()) call_.record.outcome = outcome;
  call_.record.ended = LocalTime();
  calls_.Add(std::move(call_.record));
  call_ = Call{};
}

void Sim7100Model::DropCallOffNetwork(int64_t now_us) {
  if (call_.phase == CallPhase::kIdle) return;
  int reg = RegistrationAt(now_us);
  if (reg == 1 || reg == 5) return;
  if (player_end_us_ >= 0 && player_in_call_) StopPlayer(0, now_us);
  int64_t seconds = call_.connected_us >= 0 ? (now_us - call_.connected_us) / (1000 * kMs) : 0;
  Unsolicited("VOICE CALL: END: " + Hhmmss(seconds), 0, now_us);
  Unsolicited("NO CARRIER", 0, now_us);
  call_.record.error = "the network dropped the call";
  EndCall("no answer", now_us);
}

void Sim7100Model::StopPlayer(int64_t after_us, int64_t now_us) {
  player_end_us_ = -1;
  player_in_call_ = false;
  Unsolicited("+WAVSTATE: wav play stop", after_us, now_us);
}

void Sim7100Model::HandleHangUp(int64_t now_us) {
  if (call_.phase == CallPhase::kIdle) return Answer(kOk, kQueryDelayUs, now_us);
  int64_t seconds = call_.connected_us >= 0 ? (now_us - call_.connected_us) / (1000 * kMs) : 0;
  Answer(Info("VOICE CALL: END: " + Hhmmss(seconds)) + kOk, kHangUpDelayUs, now_us);
  // The player stops with the call it played into.
  if (player_end_us_ >= 0 && player_in_call_) StopPlayer(kHangUpDelayUs, now_us);
  EndCall("no answer", now_us);  // decided already unless nobody picked up
}

void Sim7100Model::HandleCallList(int64_t now_us) {
  if (call_.phase == CallPhase::kIdle) return Answer(kOk, kQueryDelayUs, now_us);
  int stat = call_.phase == CallPhase::kSetup ? 2 : call_.phase == CallPhase::kRinging ? 3 : 0;
  const std::string& n = call_.record.number;
  Answer(Info("+CLCC: 1,0," + std::to_string(stat) + ",0,0,\"" + n + "\"," + (n[0] == '+' ? "145" : "129")) + kOk,
         kQueryDelayUs, now_us);
}

void Sim7100Model::HandlePlay(char form, const std::string& args, int64_t now_us) {
  if (form == 't') return Answer(Info("+CCMXPLAYWAV: (1-2),(0-255)") + kOk, kQueryDelayUs, now_us);
  auto refuse = [&](const std::string& why) {
    if (call_.phase != CallPhase::kIdle) call_.record.error = "AT+CCMXPLAYWAV: ERROR (" + why + ")";
    Answer(kError, kQueryDelayUs, now_us);
  };
  // "<path>",<play_path>[,<repeat>]; the repeat count is reserved.
  size_t close = args.size() > 1 && args[0] == '"' ? args.find('"', 1) : std::string::npos;
  if (form != 's' || close == std::string::npos) return refuse("usage: \"<path>\",<1|2>[,<repeat>]");
  std::string path = args.substr(1, close - 1);
  std::string rest = Blankless(args.substr(close + 1));
  if (rest != ",1" && rest != ",2" && rest.compare(0, 3, ",1,") != 0 && rest.compare(0, 3, ",2,") != 0) {
    return refuse("usage: \"<path>\",<1|2>[,<repeat>]");
  }
  if (rest.size() > 3) {
    std::string repeat = rest.substr(3);
    if (repeat.empty() || repeat.size() > 3 || repeat.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(repeat) > 255) {
      return refuse("the repeat count is 0 to 255");
    }
  }
  bool into_call = rest[1] == '1';
  if (player_end_us_ >= 0) return refuse("a prompt is playing");
  bool voicemail = false;
  if (into_call) {
    switch (call_.phase) {
      case CallPhase::kConnected:
      case CallPhase::kVoicemail: break;
      case CallPhase::kRinging:
        // An operator's voicemail takes an unanswered call silently; a far
        // end that will answer or give up has not connected anything yet.
        if (far_end_ != FarEnd::kRingForever) return refuse("the far end has not answered");
        voicemail = true;
        break;
      case CallPhase::kSetup: return refuse("the far end has not answered");
      case CallPhase::kIdle: return refuse("no call");
    }
  }
  std::string host, why;
  WavInfo wav;
  if (!ResolveBoardPath(board_root_, path, &host, &why) || !ReadWavInfo(host, &wav, &why)) return refuse(why);

  if (voicemail) {
    call_.phase = CallPhase::kVoicemail;
    call_.next_event_us = -1;
    call_.connected_us = now_us;
    call_.record.outcome = "voicemail";
    call_.record.answered = LocalTime();
  }
  if (into_call) {
    call_.record.prompt = path.substr(path.rfind('/') + 1);
    call_.record.prompt_ms = wav.duration_ms;
  }
  Answer(Info("+WAVSTATE: wav play") + kOk, kPlayDelayUs, now_us);
  player_end_us_ = now_us + kPlayDelayUs + wav.duration_ms * kMs;
  player_in_call_ = into_call;
}

void Sim7100Model::HandleStopPlay(int64_t now_us) {
  if (player_end_us_ < 0) return Answer(kError, kQueryDelayUs, now_us);
  Answer(Info("+CCMXSTOPWAV: ") + kOk, kQueryDelayUs, now_us);
  StopPlayer(kQueryDelayUs, now_us);
}

std::string Sim7100Model::CallStateName() const {
  switch (call_.phase) {
    case CallPhase::kIdle: return "idle";
    case CallPhase::kSetup: return "dialling";
    case CallPhase::kRinging: return "ringing";
    case CallPhase::kConnected: return "connected";
    case CallPhase::kVoicemail: return "voicemail";
  }
  return "idle";
}

Reply Sim7100Model::CallCommand(const std::vector<std::string>& w, int64_t) {
  const std::string usage = "usage: call answer [RINGS] | call noanswer | call reject | call ring-forever";
  const std::string ringing = call_.phase == CallPhase::kSetup || call_.phase == CallPhase::kRinging
                                  ? " (the call ringing now included)"
                                  : "";
  long rings = 2;
  if (w.size() >= 2 && w[1] == "answer" &&
      (w.size() == 2 || (w.size() == 3 && ParseInt(w[2], 0, kMaxAnswerRings, &rings)))) {
    far_end_ = FarEnd::kAnswer;
    answer_rings_ = static_cast<int>(rings);
    return Reply::Ok("the far end answers after " + std::to_string(rings) + " ring(s)" + ringing);
  }
  if (w.size() != 2) return Reply::Error(usage + " (RINGS 0 to " + std::to_string(kMaxAnswerRings) + ")");
  if (w[1] == "noanswer") {
    far_end_ = FarEnd::kNoAnswer;
    return Reply::Ok("the far end does not answer: NO CARRIER after " + std::to_string(kNoAnswerRings) + " rings" +
                     ringing);
  }
  if (w[1] == "reject") {
    far_end_ = FarEnd::kReject;
    return Reply::Ok("the far end rejects: NO CARRIER after " + std::to_string(kRejectRings) + " ring" + ringing);
  }
  if (w[1] == "ring-forever") {
    far_end_ = FarEnd::kRingForever;
    return Reply::Ok("the far end rings without end; a prompt played while it rings goes to its voicemail" + ringing);
  }
  return Reply::Error(usage);
}

Reply Sim7100Model::CallsCommand(const std::vector<std::string>& w) {
  if (w.size() == 1) return Reply::Ok(calls_.JsonLines(call_.phase == CallPhase::kIdle ? nullptr : &call_.record));
  if (w.size() == 2 && w[1] == "clear") {
    calls_.Clear();
    return Reply::Ok("call log cleared");
  }
  return Reply::Error("usage: calls | calls clear");
}

Json Sim7100Model::CallState() const {
  Json c = Json::Object();
  switch (far_end_) {
    case FarEnd::kAnswer: c.Set("far_end", "answer after " + std::to_string(answer_rings_) + " ring(s)"); break;
    case FarEnd::kNoAnswer: c.Set("far_end", "noanswer"); break;
    case FarEnd::kReject: c.Set("far_end", "reject"); break;
    case FarEnd::kRingForever: c.Set("far_end", "ring-forever"); break;
  }
  c.Set("moring", moring_);
  c.Set("state", CallStateName());
  bool up = call_.phase != CallPhase::kIdle;
  c.Set("number", up ? Json(call_.record.number) : Json());
  c.Set("rings", up ? Json(call_.record.rings) : Json());
  c.Set("playing", player_end_us_ >= 0);
  c.Set("calls", static_cast<int64_t>(calls_.size()));
  return c;
}

}  // namespace sim
