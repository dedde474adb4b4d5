#include "app/led.h"

#include <ctime>

#include "app/led_blinker.h"
#include "base/console.h"
#include "config/time_utils.h"
#include "hw/gpio.h"
#include "modem/modem_state.h"

std::atomic<int32_t> sta_led_step{1};
std::atomic<int32_t> gps_led_step{0};

namespace {

// A pass every 5 ms keeps every blink within a few ms of its pattern while
// the thread stays idle between passes.
constexpr long kPassPauseNs = 5 * 1000 * 1000;

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
  PrintMsg("[thread_led is start]\r\n");
  StatusLed status;
  GpsLed gps;
  LedBlinker blinker(status, gps, GetTimeTicks);
  const timespec pause{0, kPassPauseNs};
  for (;;) {
    gps_led_step = gps_flag.load();
    blinker.Pass(sta_led_step.load(), gps_led_step.load());
    nanosleep(&pause, nullptr);
  }
  return nullptr;
}
