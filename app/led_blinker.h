// The per-pass logic of the LED thread: which LED is switched, and when, for
// the status pattern and the GPS selector. Kept apart from the thread so the
// patterns can be checked against a clock stepped by hand.
#pragma once

#include <cstdint>
#include <functional>

/// One front LED as the blinker sees it: switch it and read it back.
class LedLine {
 public:
  virtual ~LedLine() = default;
  void On() { DoOn(); }
  void Off() { DoOff(); }
  /// True when the LED reads back as on.
  bool IsOn() { return DoIsOn(); }

 private:
  virtual void DoOn() = 0;
  virtual void DoOff() = 0;
  virtual bool DoIsOn() = 0;
};

/// On and off time of a blink, in milliseconds; zero off time means steady on.
struct BlinkPattern {
  uint32_t on_ms;
  uint32_t off_ms;
};

/// The status LED pattern of a `sta_led_step` value (steady on for unknown
/// values). Whether the GPS LED follows it is GpsFollowsStatus().
BlinkPattern StatusPattern(int32_t sta_led_step);
/// True for the firmware-update patterns, which drive both LEDs together.
bool GpsFollowsStatus(int32_t sta_led_step);

class LedBlinker {
 public:
  /// `ticks` gives the millisecond tick (GetTimeTicks on the board). Both
  /// reference ticks start at its current value.
  LedBlinker(LedLine& status, LedLine& gps, std::function<uint32_t()> ticks);

  /// One pass of the LED thread with the current selector values. Returns
  /// the milliseconds until an LED is next due to switch (kSteadyMs when
  /// both are steady), so the thread can sleep until then.
  uint32_t Pass(int32_t sta_led_step, int32_t gps_led_step);

  static constexpr uint32_t kSteadyMs = 0xFFFFFFFF;

 private:
  // Applies the blink rule to one LED; returns +1 when it was switched on,
  // -1 when switched off, 0 when left alone. `due_ms` receives the time
  // until its next switch.
  static int Blink(LedLine& led, uint32_t& ref, BlinkPattern p, uint32_t now, uint32_t* due_ms);
  static void SteadyOn(LedLine& led);

  LedLine& status_;
  LedLine& gps_;
  std::function<uint32_t()> ticks_;
  uint32_t status_ref_;
  uint32_t gps_ref_;
};
