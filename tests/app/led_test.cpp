#include "app/led_blinker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"

namespace {

// An LED that records when it changed, by the fake clock's millisecond.
class FakeLed final : public LedLine {
 public:
  explicit FakeLed(const platform::FakeClock& clock) : clock_(clock) {}

  bool on() const { return on_; }
  int reads() const { return reads_; }
  // Lengths of the completed on and off phases, in order.
  const std::vector<int64_t>& on_phases() const { return on_phases_; }
  const std::vector<int64_t>& off_phases() const { return off_phases_; }

 private:
  void DoOn() override { Switch(true); }
  void DoOff() override { Switch(false); }
  bool DoIsOn() override {
    ++reads_;
    return on_;
  }
  void Switch(bool on) {
    int64_t now = clock_.NowUs() / 1000;
    if (on == on_) return;
    // The state before the first switch has no known start.
    if (since_ >= 0) (on_ ? on_phases_ : off_phases_).push_back(now - since_);
    since_ = now;
    on_ = on;
  }

  const platform::FakeClock& clock_;
  bool on_ = false;
  int reads_ = 0;
  int64_t since_ = -1;
  std::vector<int64_t> on_phases_, off_phases_;
};

class LedBlinkerTest : public ::testing::Test {
 protected:
  // A tick just short of the 32-bit wrap, so every pattern crosses it.
  static constexpr int64_t kStartUs = (int64_t{0xFFFFFFFF} - 3000) * 1000;

  LedBlinkerTest()
      : clock_(kStartUs), status_(clock_), gps_(clock_), blinker_(status_, gps_, [this] {
          return static_cast<uint32_t>(clock_.NowUs() / 1000);
        }) {}

  // Runs passes every `step_ms` for `ms` milliseconds, as the thread does.
  void Run(int32_t sta, int32_t gps, int64_t ms, int64_t step_ms = 5) {
    for (int64_t t = 0; t < ms; t += step_ms) {
      blinker_.Pass(sta, gps);
      clock_.Advance(step_ms * 1000);
    }
  }

  platform::FakeClock clock_;
  FakeLed status_;
  FakeLed gps_;
  LedBlinker blinker_;
};

TEST_F(LedBlinkerTest, StatusPatterns) {
  struct Row {
    int32_t step;
    int64_t on_ms, off_ms;
  };
  const Row rows[] = {{1, 900, 100}, {2, 500, 500}, {4, 100, 900}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.step);
    platform::FakeClock clock(kStartUs);
    FakeLed status(clock), gps(clock);
    LedBlinker blinker(status, gps, [&] { return static_cast<uint32_t>(clock.NowUs() / 1000); });
    for (int t = 0; t < 6000; ++t) {
      blinker.Pass(r.step, 0);
      clock.Advance(1000);
    }
    // Past the first (shortened) phase every phase has the pattern's length.
    ASSERT_GE(status.on_phases().size(), 4u);
    ASSERT_GE(status.off_phases().size(), 4u);
    for (size_t i = 1; i < status.on_phases().size(); ++i) EXPECT_EQ(status.on_phases()[i], r.on_ms);
    for (size_t i = 1; i < status.off_phases().size(); ++i) EXPECT_EQ(status.off_phases()[i], r.off_ms);
    EXPECT_TRUE(gps.on());  // no fix: steady on
    EXPECT_TRUE(gps.off_phases().empty());
  }
}

TEST_F(LedBlinkerTest, SteadyOnForNotRegisteredAndUnknownSteps) {
  for (int32_t step : {0, 3, 7, -1, 1000}) {
    SCOPED_TRACE(step);
    platform::FakeClock clock(kStartUs);
    FakeLed status(clock), gps(clock);
    LedBlinker blinker(status, gps, [&] { return static_cast<uint32_t>(clock.NowUs() / 1000); });
    for (int t = 0; t < 3000; t += 5) {
      blinker.Pass(step, 0);
      clock.Advance(5000);
    }
    EXPECT_TRUE(status.on());
    EXPECT_TRUE(status.off_phases().empty());
  }
}

TEST_F(LedBlinkerTest, SwitchToPinPatternEndsTheOnPhaseAt100Ms) {
  // Pattern 1 until the LED has just come on...
  Run(1, 0, 50);
  while (!status_.on()) Run(1, 0, 1, 1);
  Run(1, 0, 40, 1);
  ASSERT_TRUE(status_.on());
  // ... then 4: the running on phase ends under the new pattern's 100 ms.
  while (status_.on()) Run(4, 0, 1, 1);
  EXPECT_EQ(status_.on_phases().back(), 100);
  Run(4, 0, 2000, 1);
  EXPECT_EQ(status_.off_phases().back(), 900);
}

TEST_F(LedBlinkerTest, UpdatePatternsDriveBothLedsTogether) {
  struct Row {
    int32_t step;
    int64_t on_ms, off_ms;
  };
  for (const Row& r : {Row{5, 100, 100}, Row{6, 100, 900}}) {
    SCOPED_TRACE(r.step);
    platform::FakeClock clock(kStartUs);
    FakeLed status(clock), gps(clock);
    LedBlinker blinker(status, gps, [&] { return static_cast<uint32_t>(clock.NowUs() / 1000); });
    for (int t = 0; t < 5000; ++t) {
      blinker.Pass(r.step, r.step);
      EXPECT_EQ(gps.on(), status.on()) << "at " << t << " ms";
      clock.Advance(1000);
    }
    ASSERT_GE(status.on_phases().size(), 3u);
    EXPECT_EQ(status.on_phases().back(), r.on_ms);
    EXPECT_EQ(status.off_phases().back(), r.off_ms);
    EXPECT_EQ(gps.on_phases(), status.on_phases());
    EXPECT_EQ(gps.off_phases(), status.off_phases());
    // The GPS LED follows the status LED's timer and is never read back.
    EXPECT_EQ(gps.reads(), 0);
  }
}

TEST_F(LedBlinkerTest, GpsFixBlinksOnItsOwnTimer) {
  Run(2, 1, 6000, 1);
  ASSERT_GE(gps_.on_phases().size(), 4u);
  EXPECT_EQ(gps_.on_phases().back(), 900);
  EXPECT_EQ(gps_.off_phases().back(), 100);
  EXPECT_EQ(status_.on_phases().back(), 500);  // independent of the status LED
}

TEST_F(LedBlinkerTest, GpsWithoutFixIsSteadyOn) {
  Run(1, 1, 3000);  // a fix for a while: blinking
  ASSERT_FALSE(gps_.off_phases().empty());
  Run(1, 0, 20);  // fix lost: on at the next pass, and stays on
  size_t offs = gps_.off_phases().size();
  Run(1, 0, 3000);
  EXPECT_TRUE(gps_.on());
  EXPECT_EQ(gps_.off_phases().size(), offs);
}

TEST_F(LedBlinkerTest, GpsUpdateSelectorLeavesGpsLedToTheStatusPattern) {
  // gps_flag 5 while the status pattern is an ordinary one: nobody drives
  // the GPS LED, so it keeps its state.
  Run(1, 5, 3000);
  EXPECT_FALSE(gps_.on());
  EXPECT_TRUE(gps_.on_phases().empty());
  EXPECT_TRUE(gps_.off_phases().empty());
}

}  // namespace
