// The LED meter behind the state report's on/off times. The blink patterns
// themselves are measured end to end; here the rules the tests lean on.
#include "sim/led_meter.h"

#include <gtest/gtest.h>

namespace {

using sim::LedMeter;
using sim::LedReading;

TEST(LedMeter, FirstPhaseUnmeasuredAndSteadyAfterALongPhase) {
  // The first phase seen is not measured: the LED was found so.
  LedMeter m;
  int64_t now = 0;
  m.Observe(false, now);
  m.Observe(true, now += 1500);
  m.Observe(true, now += 100);  // same level again: no change
  m.Observe(false, now += 800);
  LedReading read = m.Read(now);
  EXPECT_EQ(read.off_ms, -1);
  EXPECT_EQ(read.on_ms, 900);
  for (int i = 0; i < 3; ++i) {
    m.Observe(true, now += 100);
    m.Observe(false, now += 900);
  }
  m.Observe(true, now += 100);
  read = m.Read(now + 10);
  EXPECT_TRUE(read.on && read.blinking);
  EXPECT_EQ(read.on_ms, 900);
  EXPECT_EQ(read.off_ms, 100);
  EXPECT_EQ(read.for_ms, 10);
  // Steady: no blink times.
  read = m.Read(now + sim::kSteadyAfterMs + 1);
  EXPECT_TRUE(read.on);
  EXPECT_FALSE(read.blinking);
  EXPECT_EQ(read.on_ms, -1);
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
