#include "app/led_blinker.h"

#include <utility>

BlinkPattern StatusPattern(int32_t sta_led_step) {
  switch (sta_led_step) {
    case 1: return {900, 100};  // registered
    case 2: return {500, 500};  // packet data up
    case 4: return {100, 900};  // the SIM waits for its PIN
    case 5: return {100, 100};  // firmware update done
    case 6: return {100, 900};  // firmware update failed
    default: return {0, 0};     // 0 (not registered) and anything else
  }
}

bool GpsFollowsStatus(int32_t sta_led_step) { return sta_led_step == 5 || sta_led_step == 6; }

LedBlinker::LedBlinker(LedLine& status, LedLine& gps, std::function<uint32_t()> ticks)
    : status_(status), gps_(gps), ticks_(std::move(ticks)) {
  status_ref_ = ticks_();
  gps_ref_ = status_ref_;
}

int LedBlinker::Blink(LedLine& led, uint32_t& ref, BlinkPattern p, uint32_t now, uint32_t* due_ms) {
  uint32_t elapsed = now - ref;  // unsigned: survives the tick's wrap
  if (led.IsOn()) {
    if (elapsed > p.on_ms - 1) {
      led.Off();
      ref = now;
      *due_ms = p.off_ms;
      return -1;
    }
    *due_ms = p.on_ms - elapsed;
  } else {
    if (elapsed > p.off_ms - 1) {
      led.On();
      ref = now;
      *due_ms = p.on_ms;
      return 1;
    }
    *due_ms = p.off_ms - elapsed;
  }
  return 0;
}

void LedBlinker::SteadyOn(LedLine& led) {
  // Switched only when it is off, so a steady LED costs one read per pass.
  if (!led.IsOn()) led.On();
}

uint32_t LedBlinker::Pass(int32_t sta_led_step, int32_t gps_led_step) {
  uint32_t now = ticks_();
  uint32_t due = kSteadyMs;
  uint32_t gps_due = kSteadyMs;

  BlinkPattern p = StatusPattern(sta_led_step);
  if (p.off_ms == 0) {
    SteadyOn(status_);
  } else {
    int switched = Blink(status_, status_ref_, p, now, &due);
    // The update patterns switch the GPS LED with the status LED, on the
    // status LED's timer; the GPS LED itself is not read back.
    if (GpsFollowsStatus(sta_led_step)) {
      if (switched > 0) gps_.On();
      if (switched < 0) gps_.Off();
    }
  }

  if (gps_led_step == 1) {
    Blink(gps_, gps_ref_, {900, 100}, now, &gps_due);  // GPS fix
  } else if (gps_led_step != 5 && gps_led_step != 6) {
    SteadyOn(gps_);  // no fix
  }
  return gps_due < due ? gps_due : due;
}
