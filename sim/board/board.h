// The simulated board's parts that commands act on: the inputs (with pulse
// trains and the loop-back jig), the analog levels, the card, the clock
// chip's file, the packet-data model's answer; and the state report, which
// adds what the simulator sees of the outputs and LEDs.
#pragma once

#include <cstdint>

#include "sim/board/board_root.h"
#include "sim/control/command.h"
#include "sim/control/json.h"
#include "sim/board/led_meter.h"
#include "sim/modem/modem_model.h"
#include "sim/board/pin_map.h"
#include "sim/board/pulse_train.h"
#include "sim/control/reply.h"
#include "sim/board/sd_card.h"

namespace sim {

struct FirmwareInfo {
  bool running = false;
  int pid = 0;
  int starts = 0;
};

class Board {
 public:
  Board(const BoardRoot& root, ModemModel& modem);

  /// Carries out a command (all but `stop`, which belongs to the loop).
  Reply Execute(const Command& c, int64_t now_us);

  /// A line the firmware drives changed level.
  void OnLineChange(int gpio, bool level, int64_t now_us);
  /// Takes the pulse edges that are due.
  void RunTimers(int64_t now_us);
  /// When RunTimers has work next; -1 for never.
  int64_t NextTimerUs() const;

  void SetFirmwareInfo(const FirmwareInfo& info) { firmware_ = info; }
  Json State(int64_t now_us) const;

 private:
  Reply SetDi(int n, bool on);
  Reply SetAi(int n, double volts);
  Reply StartPulses(const Command& c, int64_t now_us);
  Reply SetJig(bool on);
  Reply RtcGet() const;
  Reply RtcSet(const struct tm& t);
  bool WriteDi(int n, bool on);

  const BoardRoot& root_;
  ModemModel& modem_;
  SdCard sd_;
  FirmwareInfo firmware_;
  bool di_[kDigitalInputs] = {};  // levels set by `di` (the jig overrides them)
  PulseTrain pulses_[kDigitalInputs];
  bool jig_ = false;
  LedMeter status_led_;
  LedMeter gps_led_;
};

}  // namespace sim
