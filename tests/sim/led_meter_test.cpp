// The LED meter behind the state report's on/off times, which the
// end-to-end tests read for every blink pattern.
#include "sim/led_meter.h"

#include <gtest/gtest.h>

namespace {

using sim::LedMeter;
using sim::LedReading;

// Feeds `cycles` blinks of the given phases from t = 0, the first edges at odd times.
LedMeter Blink(int64_t on_ms, int64_t off_ms, int cycles, int64_t* now) {
  LedMeter m;
  m.Observe(false, *now = 0);
  for (int i = 0; i < cycles; ++i) {
    m.Observe(true, *now += 7);
    m.Observe(false, *now += on_ms);
    *now += off_ms - 7;
  }
  m.Observe(true, *now += 7);
  return m;
}

TEST(LedMeter, MeasuresTheCurrentBlink) {
  for (auto [on_ms, off_ms] : {std::pair<int64_t, int64_t>{900, 100}, {100, 900}, {100, 100}}) {
    int64_t now = 0;
    LedReading read = Blink(on_ms, off_ms, 4, &now).Read(now + 10);
    EXPECT_TRUE(read.on && read.blinking);
    EXPECT_EQ(read.on_ms, on_ms);
    EXPECT_EQ(read.off_ms, off_ms);
    EXPECT_EQ(read.for_ms, 10);
  }
  // The first phase seen is not measured: the LED was found so.
  LedMeter m;
  m.Observe(false, 0);
  m.Observe(true, 1500);
  m.Observe(true, 1600);  // same level again: no change
  m.Observe(false, 2400);
  LedReading r = m.Read(2400);
  EXPECT_EQ(r.off_ms, -1);
  EXPECT_EQ(r.on_ms, 900);
}

TEST(LedMeter, SteadyLedHasNoBlinkTimes) {
  int64_t now = 0;
  LedMeter m = Blink(900, 100, 3, &now);
  LedReading read = m.Read(now + sim::kSteadyAfterMs + 1);
  EXPECT_TRUE(read.on);
  EXPECT_FALSE(read.blinking);
  EXPECT_EQ(read.on_ms, -1);
  EXPECT_EQ(read.off_ms, -1);
  EXPECT_EQ(read.for_ms, sim::kSteadyAfterMs + 1);
  // Blinking again after the steady stretch: the old times are gone, the
  // long phase is not taken for a blink.
  m.Observe(false, now += 5000);
  EXPECT_FALSE(m.Read(now + 50).blinking);
  m.Observe(true, now += 100);
  read = m.Read(now);
  EXPECT_TRUE(read.blinking);
  EXPECT_EQ(read.off_ms, 100);
  EXPECT_EQ(read.on_ms, -1);
}

}  // namespace
