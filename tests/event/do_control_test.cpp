// Output requests, visit by visit against a stepped clock.

#include <atomic>
#include <ctime>
#include <thread>

#include "config/time_utils.h"
#include "event/do_control.h"
#include "event_test_env.h"
#include "hw/clock_sync.h"
#include "hw/gpio.h"

namespace {

class DoControlTest : public eventtest::EventTest {
 protected:
  // Visits DO0 every 20 ms for `ms`; returns the console and leaves the clock there.
  std::string Visit(int ms) {
    testsupport::ConsoleCapture console;
    for (int t = 0; t < ms; t += 20) {
      DoHandleVisit(0);
      AdvanceMs(20);
    }
    return console.Text();
  }
};

TEST_F(DoControlTest, PulsePermanentAndClear) {
  DoRequest(0, 1000);
  EXPECT_EQ(Visit(20), ">DO(0) is ON!!\r\n");
  EXPECT_EQ(DOV(0), 1);
  EXPECT_EQ(Visit(980), "");
  EXPECT_EQ(Visit(20), ">DO(0) is OFF!!\r\n");  // 1000 ms after it went on
  EXPECT_EQ(DOV(0), 0);
  EXPECT_EQ(DoCtrlSnapshot(0).cIsRequest, 0);

  DoRequest(0, 0);
  EXPECT_EQ(Visit(20), ">DO(0) is always ON!!\r\n");
  EXPECT_EQ(DoCtrlSnapshot(0).cIsRequest, 0);
  EXPECT_EQ(Visit(2000), "");
  EXPECT_EQ(DOV(0), 1);

  OFFDO(0);
  DoRequest(0, 1000);
  Visit(20);
  {
    testsupport::ConsoleCapture quiet;
    EXPECT_TRUE(DoSwitchSteady(0, false));  // the OFF command during a pulse
  }
  EXPECT_EQ(Visit(2000), "");  // nothing switches it again
  EXPECT_EQ(DOV(0), 0);
  EXPECT_FALSE(DoWaitForWork(0));
}

// Setting the wall clock (@TIME, the hourly sync) in the middle of a pulse
// neither ends it early nor keeps it on: it lasts its 60 s of the tick.
TEST_F(DoControlTest, APulseLastsItsTimeWhateverTheWallClockDoes) {
  for (const int64_t jump_s : {int64_t{-3600}, int64_t{86400}}) {
    SCOPED_TRACE(jump_s);
    DoRequest(0, 60000);
    EXPECT_EQ(Visit(8000), ">DO(0) is ON!!\r\n");
    const time_t to = static_cast<time_t>(GetSystemTimeSeconds()) + jump_s;
    struct tm t {};
    gmtime_r(&to, &t);
    char ymd[16], hms[16];
    std::strftime(ymd, sizeof ymd, "%Y%m%d", &t);
    std::strftime(hms, sizeof hms, "%H%M%S", &t);
    {
      testsupport::ConsoleCapture quiet;
      ASSERT_EQ(SetSystemTime(ymd, hms), 1);
      RTC_Read2sys();
    }
    EXPECT_NEAR(static_cast<double>(GetSystemTimeSeconds()), static_cast<double>(to), 5.0);  // the wall clock moved
    EXPECT_EQ(Visit(52000), "");
    EXPECT_EQ(DOV(0), 1);
    EXPECT_EQ(Visit(20), ">DO(0) is OFF!!\r\n");  // 60 s after it went on
    EXPECT_EQ(DOV(0), 0);
  }
}

// An OFF command racing a pulse request: whichever comes first, the record
// and the line agree afterwards (a running pulse has its output on; no
// pulse, the output is off), never a pulse timing on a line switched off.
TEST_F(DoControlTest, AnOffCommandAndAPulseRequestNeverLeaveRecordAndLineApart) {
  constexpr int kRounds = 500;
  testsupport::ConsoleCapture quiet;
  std::atomic<int> round{-1};
  std::atomic<int> finished{0};
  auto racer = [&](void (*step)()) {
    return std::thread([&, step] {
      for (int r = 0; r < kRounds; ++r) {
        while (round.load() < r) std::this_thread::yield();
        step();
        finished.fetch_add(1);
      }
    });
  };
  std::thread off = racer([] { DoSwitchSteady(0, false); });
  std::thread pulse = racer([] {
    DoRequest(0, 60000);
    DoHandleVisit(0);
  });
  int apart = 0;
  for (int r = 0; r < kRounds; ++r) {
    DoSwitchSteady(0, false);
    finished = 0;
    round = r;
    while (finished.load() < 2) std::this_thread::yield();
    if ((DoCtrlSnapshot(0).cIsOn == 1) != (DOV(0) == 1)) ++apart;
  }
  off.join();
  pulse.join();
  EXPECT_EQ(apart, 0);
}

}  // namespace
