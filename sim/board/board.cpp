#include "sim/board/board.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/packet_data.h"
#include "platform/sim_jig.h"
#include "platform/sim_rtc_file.h"
#include "sim/board/board_files.h"
#include "sim/board/clock_jump.h"

namespace sim {

namespace {

std::string DiName(int n) { return "DI" + std::to_string(n); }

Json LedJson(const LedReading& r) {
  Json j = Json::Object();
  j.Set("on", r.on);
  j.Set("blinking", r.blinking);
  j.Set("on_ms", r.on_ms >= 0 ? Json(r.on_ms) : Json());
  j.Set("off_ms", r.off_ms >= 0 ? Json(r.off_ms) : Json());
  j.Set("for_ms", r.for_ms);
  return j;
}

std::string FormatVolts(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

std::string FormatTime(const struct tm& t) {
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

}  // namespace

Board::Board(const BoardRoot& root, ModemModel& modem) : root_(root), modem_(modem), sd_(root) {}

Reply Board::Execute(const Command& c, int64_t now_us) {
  switch (c.kind) {
    case CommandKind::kHelp: return Reply::Ok(CommandSummary());
    case CommandKind::kState: return Reply::Ok(State(now_us).Dump());
    case CommandKind::kDi:
      if (jig_) return Reply::Error("the jig drives the inputs; 'jig off' first");
      pulses_[c.index].Stop();
      return SetDi(c.index, c.on);
    case CommandKind::kInitPin:
      if (!root_.WriteLine(kInitPinGpio, c.on)) return Reply::Error("cannot write the init pin: " + ErrnoText());
      return Reply::Ok(std::string("init pin ") + (c.on ? "on" : "off") + " (the firmware reads it when it starts)");
    case CommandKind::kAi: return SetAi(c.index, c.volts);
    case CommandKind::kRtcGet: return RtcGet();
    case CommandKind::kRtcSet: return RtcSet(c.time);
    case CommandKind::kSdInsert: {
      const bool swap_full = sd_.present() && sd_.full();
      std::string err = sd_.Insert();
      if (!err.empty()) return Reply::Error(err);
      return Reply::Ok(swap_full ? "card with room inserted" : "card inserted");
    }
    case CommandKind::kSdFull: {
      std::string err = sd_.Fill();
      return err.empty() ? Reply::Ok("card full: writes fail with no space, use 100 %") : Reply::Error(err);
    }
    case CommandKind::kSdRemove: {
      std::string err = sd_.Remove();
      return err.empty() ? Reply::Ok("card removed") : Reply::Error(err);
    }
    case CommandKind::kSdUse: {
      std::string err = sd_.SetUse(c.percent);
      return err.empty() ? Reply::Ok("card use " + std::to_string(c.percent) + " %") : Reply::Error(err);
    }
    case CommandKind::kQmi:
      if (!ReplaceFile(root_.Path("/sim/qmi"), c.qmi + "\n")) return Reply::Error("cannot write the QMI state: " + ErrnoText());
      return Reply::Ok("QMI " + c.qmi);
    case CommandKind::kPulse: return StartPulses(c, now_us);
    case CommandKind::kJig: return SetJig(c.on);
    case CommandKind::kClockJump: {
      std::string rtc;
      std::string err = JumpClocks(root_, c.seconds, &rtc);
      if (!err.empty()) return Reply::Error(err);
      return Reply::Ok("system clock and RTC moved by " + std::string(c.seconds >= 0 ? "+" : "") +
                       std::to_string(c.seconds) + " s (RTC " + rtc + "); the firmware follows within a second");
    }
    case CommandKind::kModem: return modem_.Command(c.words, c.line, now_us);
    case CommandKind::kStop:
    case CommandKind::kConsole: break;  // the loop's own
  }
  return Reply::Error("'" + c.line + "' is not handled here");
}

bool Board::WriteDi(int n, bool on) { return root_.WriteLine(DiGpio(n), on); }

Reply Board::SetDi(int n, bool on) {
  di_[n] = on;
  if (!WriteDi(n, on)) return Reply::Error("cannot write " + DiName(n) + ": " + ErrnoText());
  return Reply::Ok(DiName(n) + (on ? " on (line low)" : " off (line high)"));
}

Reply Board::SetAi(int n, double volts) {
  std::string text = FormatVolts(volts);
  if (!ReplaceFile(root_.AiPath(n), text + "\n")) return Reply::Error("cannot write " + root_.AiPath(n) + ": " + ErrnoText());
  return Reply::Ok("AI" + std::to_string(n) + " = " + text + " V");
}

Reply Board::StartPulses(const Command& c, int64_t now_us) {
  if (jig_) return Reply::Error("the jig drives the inputs; 'jig off' first");
  pulses_[c.index].Start(c.count, int64_t(c.period_ms) * 1000, int64_t(c.width_ms) * 1000, now_us);
  RunTimers(now_us);  // the first pulse begins now
  return Reply::Ok(DiName(c.index) + ": " + std::to_string(c.count) + " pulses of " + std::to_string(c.width_ms) +
                   " ms every " + std::to_string(c.period_ms) + " ms");
}

Reply Board::SetJig(bool on) {
  if (on) {
    for (PulseTrain& p : pulses_) p.Stop();
    if (!platform::SimJigFit(root_.dir())) return Reply::Error("cannot fit the jig: " + ErrnoText());
    jig_ = true;
    return Reply::Ok("jig on: every DI follows DO0 or DO1");
  }
  // Off the jig the inputs are back at the levels set for them.
  static_assert(kDigitalInputs == platform::kSimJigInputs, "the jig feeds every input");
  if (!platform::SimJigRemove(root_.dir(), di_)) return Reply::Error("cannot remove the jig: " + ErrnoText());
  jig_ = false;
  return Reply::Ok("jig off");
}

Reply Board::RtcGet() const {
  struct tm regs {};
  platform::SimRtcRead(root_.dir(), &regs);
  Json j = Json::Object();
  j.Set("time", FormatTime(regs));
  j.Set("weekday", regs.tm_wday);
  return Reply::Ok(j.Dump());
}

Reply Board::RtcSet(const struct tm& t) {
  if (!platform::SimRtcSet(root_.dir(), t)) return Reply::Error("cannot write " + root_.Path("/sim/rtc") + ": " + ErrnoText());
  return Reply::Ok("RTC set to " + FormatTime(t));
}

void Board::OnLineChange(int gpio, bool level, int64_t now_us) {
  int64_t now_ms = now_us / 1000;
  if (gpio == kStatusLedGpio) status_led_.Observe(level, now_ms);
  if (gpio == kGpsLedGpio) gps_led_.Observe(level, now_ms);
  // The firmware's write of an output has set the jig's inputs already;
  // this covers an output changed by anyone else.
  if (jig_ && (gpio == DoGpio(0) || gpio == DoGpio(1))) platform::SimJigFollow(root_.dir());
}

void Board::RunTimers(int64_t now_us) {
  for (int n = 0; n < kDigitalInputs; ++n) {
    bool active = false;
    // One edge per input per call: each level is written, and seen, alone.
    if (pulses_[n].TakeEdge(now_us, &active)) {
      di_[n] = active;
      WriteDi(n, active);
    }
  }
}

int64_t Board::NextTimerUs() const {
  int64_t next = -1;
  for (const PulseTrain& p : pulses_) {
    if (p.running() && (next < 0 || p.next_edge_us() < next)) next = p.next_edge_us();
  }
  return next;
}

Json Board::State(int64_t now_us) const {
  Json s = Json::Object();

  Json fw = Json::Object();
  fw.Set("running", firmware_.running);
  fw.Set("pid", firmware_.running ? Json(firmware_.pid) : Json());
  fw.Set("starts", firmware_.starts);
  s.Set("firmware", fw);

  // Inputs and outputs as the firmware reads them (1 = active / on).
  Json di = Json::Array(), pulses = Json::Array();
  for (int n = 0; n < kDigitalInputs; ++n) {
    di.Add(root_.ReadLine(DiGpio(n)) ? 1 : 0);
    pulses.Add(pulses_[n].pulses_left());
  }
  s.Set("di", di);
  s.Set("pulses_left", pulses);
  s.Set("init_pin", root_.ReadLine(kInitPinGpio) ? 1 : 0);
  s.Set("jig", jig_);
  Json dos = Json::Array();
  for (int n = 0; n < kDigitalOutputs; ++n) dos.Add(root_.ReadLine(DoGpio(n)) ? 1 : 0);
  s.Set("do", dos);

  Json led = Json::Object();
  led.Set("status", LedJson(status_led_.Read(now_us / 1000)));
  led.Set("gps", LedJson(gps_led_.Read(now_us / 1000)));
  s.Set("led", led);

  Json ai = Json::Array();
  for (int n = 0; n < kAnalogInputs; ++n) {
    std::string text;
    char* end = nullptr;
    double v = 0;
    bool ok = ReadFile(root_.AiPath(n), &text, 64);
    if (ok) v = std::strtod(text.c_str(), &end);
    ai.Add(ok && end != text.c_str() ? Json(v) : Json());
  }
  s.Set("ai", ai);

  modem_.AddState(s, now_us);

  Json sd = Json::Object();
  sd.Set("present", sd_.present());
  int use = sd_.UsePercent();
  sd.Set("use", use >= 0 ? Json(use) : Json());
  sd.Set("use_fixed", sd_.use_fixed());
  sd.Set("full", sd_.full());
  s.Set("sd", sd);

  // The packet-data service as the firmware meets it: a network that takes
  // calls is down for them while the module is not registered.
  std::string qmi, registration;
  if (ReadFile(root_.Path(platform::kSimQmiFile), &qmi, 64)) {
    while (!qmi.empty() && (qmi.back() == '\n' || qmi.back() == ' ')) qmi.pop_back();
    ReadFile(root_.Path(platform::kSimRegistrationFile), &registration, 64);
    bool off_network = registration.rfind("not", 0) == 0;
    s.Set("qmi", qmi == "up" && off_network ? "down" : qmi);
    s.Set("qmi_setting", qmi);
  } else {
    s.Set("qmi", Json());
    s.Set("qmi_setting", Json());
  }
  return s;
}

}  // namespace sim
