#include "sim/led_meter.h"

#include <gtest/gtest.h>

namespace {

using sim::LedMeter;
using sim::LedReading;

// Feeds a blink of the given phases from t = 0 and returns the meter.
LedMeter Blink(int64_t on_ms, int64_t off_ms, int cycles, int64_t* now) {
  LedMeter m;
  *now = 0;
  m.Observe(false, *now);
  for (int i = 0; i < cycles; ++i) {
    m.Observe(true, *now += 7);  // the first edges come at odd times
    m.Observe(false, *now += on_ms);
    *now += off_ms - 7;
  }
  m.Observe(true, *now += 7);
  return m;
}

TEST(LedMeter, MeasuresTheCurrentBlink) {
  struct Row {
    int64_t on_ms, off_ms;
  };
  for (const Row& r : {Row{900, 100}, Row{500, 500}, Row{100, 900}, Row{100, 100}}) {
    int64_t now = 0;
    LedMeter m = Blink(r.on_ms, r.off_ms, 4, &now);
    LedReading read = m.Read(now + 10);
    EXPECT_TRUE(read.on);
    EXPECT_TRUE(read.blinking);
    EXPECT_EQ(read.on_ms, r.on_ms);
    EXPECT_EQ(read.off_ms, r.off_ms);
    EXPECT_EQ(read.for_ms, 10);
  }
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
  LedReading again = m.Read(now + 50);
  EXPECT_FALSE(again.blinking);
  m.Observe(true, now += 100);
  again = m.Read(now);
  EXPECT_TRUE(again.blinking);
  EXPECT_EQ(again.off_ms, 100);
  EXPECT_EQ(again.on_ms, -1);
}

TEST(LedMeter, FirstPhaseSeenIsNotMeasured) {
  LedMeter m;
  m.Observe(false, 0);     // as found when the simulator started
  m.Observe(true, 1500);   // the firmware switched it on later
  m.Observe(true, 1600);   // same level again: no change
  m.Observe(false, 2400);
  LedReading r = m.Read(2400);
  EXPECT_EQ(r.off_ms, -1);
  EXPECT_EQ(r.on_ms, 900);
  EXPECT_TRUE(r.blinking);
}

TEST(LedMeter, NothingSeenYet) {
  LedMeter m;
  LedReading r = m.Read(123);
  EXPECT_FALSE(r.on);
  EXPECT_FALSE(r.blinking);
  EXPECT_EQ(r.on_ms, -1);
}

}  // namespace
