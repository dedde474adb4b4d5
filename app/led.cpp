#include "app/led.h"

#include "app/led_blinker.h"
#include "base/console.h"
#include "base/sleep.h"
#include "config/time_utils.h"
#include "hw/gpio.h"
#include "modem/modem_state.h"

std::atomic<int32_t> sta_led_step{1};
std::atomic<int32_t> gps_led_step{0};

namespace {

// The thread sleeps until the next switch is due, but never longer than
// this, so that a new pattern (a plain word another thread sets) is taken up
// quickly.
constexpr uint32_t kLongestSleepMs = 50;

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
  for (;;) {
    gps_led_step = gps_flag.load();
    const uint32_t due = blinker.Pass(sta_led_step.load(), gps_led_step.load());
    SleepMilliseconds(static_cast<int>(due < kLongestSleepMs ? due : kLongestSleepMs));
  }
  return nullptr;
}
