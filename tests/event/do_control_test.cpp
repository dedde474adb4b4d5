// Output requests, visit by visit against a stepped clock.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "config/time_utils.h"
#include "event/do_control.h"
#include "event_test_env.h"
#include "hw/clock_sync.h"
#include "hw/gpio.h"
#include "support/waiting_step.h"

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

// An OFF command holds the output while it switches the line: a pulse
// requested meanwhile waits for it, so the command's write can never cut a
// pulse that was switched on in between. (The line's file is made a pipe
// that takes the command's write only once the test opens it.)
TEST_F(DoControlTest, APulseRequestWaitsWhileAnOffCommandSwitchesTheLine) {
  const std::string line = dir_.path() + "/" + LinePath(29, "value");  // DO0
  ASSERT_EQ(unlink(line.c_str()), 0);
  ASSERT_EQ(mkfifo(line.c_str(), 0600), 0);
  testsupport::ConsoleCapture quiet;
  int taken = -1;
  {
    testsupport::WaitingStep off([] { DoSwitchSteady(0, false); });
    testsupport::WaitingStep pulse([] { DoRequest(0, 60000); });
    EXPECT_FALSE(off.finished());
    EXPECT_FALSE(pulse.finished());
    taken = open(line.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // the line takes the write now
  }
  ASSERT_GE(taken, 0);
  char written[4] = {};
  EXPECT_EQ(read(taken, written, sizeof written), 2);
  EXPECT_STREQ(written, "0");
  close(taken);
  unlink(line.c_str());
  SetLine(29, "0");
  const DoCtrl d = DoCtrlSnapshot(0);  // the pulse came after the command, whole
  EXPECT_EQ(d.cIsRequest, 1);
  EXPECT_EQ(d.uiDuration, 60000u);
}

// Between visits the thread sleeps: a request not yet worked wants a visit
// now, running pulses the time left of the first to end, idle records the
// idle wait; a request from another thread ends the sleep.
TEST_F(DoControlTest, TheThreadSleepsUntilThePulseThatEndsFirst) {
  testsupport::ConsoleCapture quiet;
  for (int ch : {0, 1}) DoSwitchSteady(ch, false);  // idle records
  EXPECT_EQ(DoNextVisitMs(600000), 600000);
  DoRequest(0, 1000);
  EXPECT_EQ(DoNextVisitMs(600000), 0);
  Visit(20);  // on, then 20 ms pass
  EXPECT_EQ(DoNextVisitMs(600000), 980);
  DoRequest(1, 300);
  DoHandleVisit(1);
  EXPECT_EQ(DoNextVisitMs(600000), 300);
  AdvanceMs(400);
  EXPECT_EQ(DoNextVisitMs(600000), 0);  // overdue
  DoHandleVisit(1);
  EXPECT_EQ(DoNextVisitMs(600000), 580);

  uint64_t seen = DoRequestCount();
  const auto start = std::chrono::steady_clock::now();
  std::thread other([] { DoRequest(1, 0); });
  DoWaitForRequest(&seen, 600000);
  other.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_EQ(seen, DoRequestCount());
  EXPECT_EQ(DoNextVisitMs(600000), 0);  // on for good: at once
}

}  // namespace
