// The LED patterns, against a clock stepped by hand from just short of the
// 32-bit tick wrap, so every pattern crosses it.
#include "app/led_blinker.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "base/change_signal.h"
#include "platform/clock.h"

namespace {

// An LED that records the lengths of its completed off and on phases.
class FakeLed final : public LedLine {
 public:
  bool on = false;
  int reads = 0;
  std::vector<int64_t> phases[2];  // [0] off, [1] on; the first switch has no known start
  void Note(int64_t now_ms) {
    if (on == was_on_) return;
    if (since_ >= 0) phases[was_on_].push_back(now_ms - since_);
    since_ = now_ms;
    was_on_ = on;
  }
  // "ON/OFF" in ms when every phase past the first (shortened) one has the
  // same length; "steady", or "untouched" for an LED nobody switched.
  std::string Pattern() const {
    if (phases[0].empty()) return on ? "steady" : phases[1].empty() ? "untouched" : "off";
    const std::set<int64_t> off(phases[0].begin() + 1, phases[0].end()), on_ms(phases[1].begin() + 1, phases[1].end());
    if (phases[0].size() < 4 || phases[1].size() < 4 || off.size() != 1 || on_ms.size() != 1) return "irregular";
    return std::to_string(*on_ms.begin()) + "/" + std::to_string(*off.begin());
  }

 private:
  void DoOn() override { on = true; }
  void DoOff() override { on = false; }
  bool DoIsOn() override {
    ++reads;
    return on;
  }
  bool was_on_ = false;
  int64_t since_ = -1;
};

struct Board {
  platform::FakeClock clock{(int64_t{0xFFFFFFFF} - 3000) * 1000};
  FakeLed status, gps;
  LedBlinker blinker{status, gps, [this] { return static_cast<uint32_t>(clock.NowUs() / 1000); }};
  // A pass every millisecond, as the thread runs them; `each` after every pass.
  void Run(int32_t sta, int32_t gps_flag, int ms, const std::function<void()>& each = {}) {
    for (int t = 0; t < ms; ++t, clock.Advance(1000)) {
      blinker.Pass(sta, gps_flag);
      status.Note(clock.NowUs() / 1000);
      gps.Note(clock.NowUs() / 1000);
      if (each) each();
    }
  }
};

TEST(LedBlinker, Patterns) {
  // (Registered, data call, SIM PIN, no network, a GPS fix and the update
  // pattern of both LEDs: the modem and card end-to-end tests.)
  const std::tuple<int32_t, int32_t, const char*, const char*> rows[] = {  // sta_led_step, gps_flag, status, GPS
      {3, 0, "steady", "steady"},     {7, 0, "steady", "steady"}, {-1, 0, "steady", "steady"},
      {1000, 0, "steady", "steady"},  {6, 6, "100/900", "100/900"},  // update patterns: both LEDs together
      {1, 5, "900/100", "untouched"},  // an update selector with an ordinary pattern drives no LED
  };
  for (const auto& [sta, gps, status_pattern, gps_pattern] : rows) {
    SCOPED_TRACE(testing::Message() << sta << "/" << gps);
    Board b;
    const bool together = sta == 5 || sta == 6;
    b.Run(sta, gps, 6000, [&] {
      if (together) {
        EXPECT_EQ(b.gps.on, b.status.on);
      }
    });
    EXPECT_EQ(b.status.Pattern(), status_pattern);
    EXPECT_EQ(b.gps.Pattern(), gps_pattern);
    if (together) {
      EXPECT_EQ(b.gps.phases[1], b.status.phases[1]);
      EXPECT_EQ(b.gps.phases[0], b.status.phases[0]);
      EXPECT_EQ(b.gps.reads, 0);  // follows the status LED's timer, never read back
    }
  }
}

ChangeSignal& TestSignal() {
  static ChangeSignal signal;
  return signal;
}

// The LED thread and the status loop sleep until a word they show changes:
// a store of the same value wakes nobody, a change wakes a waiter at once.
TEST(StatusWordsTest, OnlyAChangeWakesTheWaiters) {
  SignalledWord word{1, TestSignal};
  uint64_t seen = TestSignal().Generation();
  word = 1;
  EXPECT_FALSE(TestSignal().Wait(&seen, 0));
  word.store(2);
  EXPECT_TRUE(TestSignal().Wait(&seen, 0));
  EXPECT_FALSE(TestSignal().Wait(&seen, 0));  // seen once is seen
  const auto start = std::chrono::steady_clock::now();
  std::thread writer([&] { word = 4; });
  EXPECT_TRUE(TestSignal().Wait(&seen, 600000));
  writer.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_EQ(word.load(), 4);
}

}  // namespace
