
#include "config/time_utils.h"
#include "hw/clock_sync.h"
#include "hw_test_env.h"
#include "platform/sim_rtc_file.h"
#include "sim/board/clock_jump.h"

namespace {

using hwtest::CaptureOutput;

constexpr time_t kRtcTime = 1626164130;  // 2021-07-13 08:15:30 UTC
constexpr time_t kDay = 86400;

class ClockSyncTest : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    uiRTCModifyCount = 0;
    struct tm rtc {};
    gmtime_r(&kRtcTime, &rtc);
    ASSERT_TRUE(platform::SimRtcSet(dir_.path(), rtc));  // the RTC runs on with the host
  }
  static std::vector<unsigned> Steps(RtcSyncLoop& loop, int n) {
    std::vector<unsigned> sleeps;
    for (int i = 0; i < n; ++i) sleeps.push_back(loop.Step());
    return sleeps;
  }
};

// The RTC is the master clock, but a failed read (2000-01-01) or a date
// that does not exist never becomes the system time.
TEST_F(ClockSyncTest, AnUnreadableRtcNeverMovesTheSystemClock) {
  platform::FakeClock* clock = InstallFakeClock(kRtcTime + 900 * kDay);
  auto* bus = hwtest::InstallRecordingBus();
  bus->result = {platform::I2cResult::kTransferFailed, -1, ENXIO};
  CaptureOutput out;
  EXPECT_EQ(RTC_Read2sys(), 0);
  hwtest::ExpectContains(out.Text(), {">RTC read error, system time not changed.\r\n"});

  RtcSyncLoop loop;
  CaptureOutput looping;
  EXPECT_EQ(Steps(loop, 8), (std::vector<unsigned>{2, 5, 2, 5, 2, 5, 2, 3600}));
  hwtest::ExpectContains(looping.Text(), {">RTC read error, system time not changed. Count: 4\r\n"});
  std::vector<std::string> codes(9, "0,3");  // each failed read, then one clock record
  codes.push_back("3,0");
  EXPECT_EQ(hwtest::PendingLogCodes(), codes);

  bus->result = {};
  bus->reply = {0x00, 0x00, 0x00, 0x01, 0x31, 0x02, 0x21};  // 2021-02-31
  CaptureOutput again;
  EXPECT_EQ(RTC_Read2sys(), 0);
  hwtest::ExpectContains(again.Text(), {">Set system time failed: date -s \"2021-02-31 00:00:00\"\r\n"});
  EXPECT_EQ(clock->set_calls(), 0);
}

// A day apart is corrected once, logged, and checked again an hour on; the
// same date is never corrected, whatever the time of day.
TEST_F(ClockSyncTest, ADayBehindIsCorrectedButTheTimeOfDayIsNot) {
  platform::FakeClock* clock = InstallFakeClock(kRtcTime - kDay);
  RtcSyncLoop loop;
  CaptureOutput out;
  EXPECT_EQ(loop.Step(), RtcSyncLoop::kAfterSetS);
  hwtest::ExpectContains(out.Text(), {">Different Time, set Command(date -s \"2021-07-13 08:1", "\") to System. Count: 1\r\n"});
  EXPECT_EQ(clock->set_calls(), 1);
  EXPECT_EQ(uiRTCModifyCount.load(), 1u);

  CaptureOutput again;
  clock->Advance(600LL * 1000000);  // ten minutes ahead of the RTC
  EXPECT_EQ(Steps(loop, 2), (std::vector<unsigned>{RtcSyncLoop::kHourS, RtcSyncLoop::kHourS}));
  hwtest::ExpectContains(again.Text(), {">Year and Month are correct, check again for 1 hr later.\r\n"});
  EXPECT_EQ(uiRTCModifyCount.load(), 0u);
  EXPECT_EQ(clock->set_calls(), 1);
  EXPECT_EQ(hwtest::PendingLogCodes(), std::vector<std::string>{"3,0"});
}

// The simulated board's clock moves its wall time by an offset; the tick
// that times pulses and holds does not follow it. (The bounds only fail on
// a machine that stalls for a minute.)
TEST_F(ClockSyncTest, SettingTheSimulatedClockLeavesTheTickAlone) {
  platform::InstallClock(std::make_unique<platform::SimulatedClock>(platform::Path("/sim/clock")));
  for (const int64_t jump_s : {int64_t{-3600}, int64_t{86400}, int64_t{-86400 * 400}}) {
    SCOPED_TRACE(jump_s);
    const uint32_t tick = GetTimeTicks();
    const int64_t wall = GetSystemTimeSeconds();
    timeval to{};
    to.tv_sec = static_cast<time_t>(wall + jump_s);
    ASSERT_EQ(platform::SystemClock().Set(to), 0);
    EXPECT_NEAR(static_cast<double>(GetSystemTimeSeconds()), static_cast<double>(wall + jump_s), 60.0);
    EXPECT_LT(static_cast<uint32_t>(GetTimeTicks() - tick), 60000u);
  }
}

// `ctl clock jump` while the firmware runs: the wall time and the RTC it
// reads move together (the clock takes the new offset within a second), and
// the tick does not move. (A pulse running through jumps: tests/e2e.)
TEST_F(ClockSyncTest, AJumpOfTheRunningBoardMovesWallTimeAndRtcButNotTheTick) {
  platform::InstallClock(std::make_unique<platform::SimulatedClock>(platform::Path("/sim/clock")));
  auto rtc_seconds = [] {
    RtcTime t{};
    EXPECT_EQ(RTC_Read(&t), 1);
    struct tm f {};
    f.tm_year = t.year - 1900;
    f.tm_mon = t.mon - 1;
    f.tm_mday = t.mday;
    f.tm_hour = t.hour;
    f.tm_min = t.min;
    f.tm_sec = t.sec;
    return static_cast<int64_t>(timegm(&f));
  };
  const sim::BoardRoot board(dir_.path());
  for (const int64_t jump_s : {kDay, -3 * kDay, int64_t{3600}}) {
    SCOPED_TRACE(jump_s);
    const uint32_t tick = GetTimeTicks();
    const int64_t wall = GetSystemTimeSeconds();
    const int64_t rtc = rtc_seconds();
    std::string rtc_text;
    ASSERT_EQ(sim::JumpClocks(board, jump_s, &rtc_text), "");
    EXPECT_TRUE(testsupport::WaitUntil([&] { return std::llabs(GetSystemTimeSeconds() - (wall + jump_s)) < 60; }));
    EXPECT_NEAR(static_cast<double>(rtc_seconds()), static_cast<double>(rtc + jump_s), 60.0);
    EXPECT_LT(static_cast<uint32_t>(GetTimeTicks() - tick), 60000u);
  }
  // Beyond the RTC's years nothing moves.
  std::string rtc_text;
  const std::string clock_file = dir_.Read("sim/clock");
  EXPECT_NE(sim::JumpClocks(board, -30 * 366 * kDay, &rtc_text).find("holds the years 2000 to 2099"),
            std::string::npos);
  EXPECT_EQ(dir_.Read("sim/clock"), clock_file);
}

}  // namespace
