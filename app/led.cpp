#include "app/led.h"

#include "app/led_blinker.h"
#include "base/console.h"
#include "base/thread_start.h"
#include "config/time_utils.h"
#include "hw/gpio.h"
#include "modem/modem_state.h"

SignalledWord sta_led_step{1, StatusChangeSignal};
std::atomic<int32_t> gps_led_step{0};

namespace {

// The thread sleeps until the next switch is due or a selector changes (its
// writers wake it). With both LEDs steady nothing is due; it then only looks
// again after this long, which costs nothing and would put right a line
// some other hand switched.
constexpr uint32_t kSteadyLookMs = 60000;

class StatusLed final : public LedLine {
  void DoOn() override { STA_LED_ON(); }
  void DoOff() override { STA_LED_OFF(); }
  bool DoIsOn() override { return STA_LED_V() == 1; }
};

class GpsLed final : public LedLine {
  void DoOn() override { GPS_LED_ON(); }
  void DoOff() override { GPS_LED_OFF(); }
  bool DoIsOn() override { return GPS_LED_V() == 1; }
};

}  // namespace

void* thread_led(void*) {
  NameThisThread("led");
  PrintMsg("[thread_led is start]\r\n");
  StatusLed status;
  GpsLed gps;
  LedBlinker blinker(status, gps, GetTimeTicks);
  ChangeSignal& changed = StatusChangeSignal();
  for (;;) {
    // The generation is taken before the selectors are read: a change made
    // after this read ends the wait below at once.
    uint64_t seen = changed.Generation();
    gps_led_step = gps_flag.load();
    const uint32_t due = blinker.Pass(sta_led_step.load(), gps_led_step.load());
    changed.Wait(&seen, static_cast<int>(due < kSteadyLookMs ? due : kSteadyLookMs));
  }
  return nullptr;
}
