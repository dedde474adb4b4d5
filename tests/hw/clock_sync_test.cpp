#include <ctime>

#include "hw/clock_sync.h"
#include "hw/rtc.h"
#include "hw_test_env.h"
#include "platform/clock.h"
#include "platform/sim_rtc_file.h"

namespace {

using hwtest::CaptureOutput;

// A system clock that refuses to be set, as a failing `date -s` would.
class StuckClock final : public platform::Clock {
 public:
  explicit StuckClock(time_t now) : now_(now) {}
  int sets() const { return sets_.load(); }

 private:
  timeval DoNow() override { return timeval{now_, 0}; }
  int DoSet(const timeval&) override {
    ++sets_;
    return -1;
  }
  time_t now_;
  std::atomic<int> sets_{0};
};

time_t Local(int year, int mon, int mday, int hour, int min, int sec) {
  struct tm t {};
  t.tm_year = year - 1900;
  t.tm_mon = mon - 1;
  t.tm_mday = mday;
  t.tm_hour = hour;
  t.tm_min = min;
  t.tm_sec = sec;
  t.tm_isdst = -1;
  return mktime(&t);
}

class ClockSyncTest : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    uiRTCModifyCount = 0;
    // The RTC shows 2021-07-13 08:15:30 (and runs on with the host).
    struct tm rtc {};
    rtc.tm_year = 121;
    rtc.tm_mon = 6;
    rtc.tm_mday = 13;
    rtc.tm_hour = 8;
    rtc.tm_min = 15;
    rtc.tm_sec = 30;
    ASSERT_TRUE(platform::SimRtcSet(dir_.path(), rtc));
  }
  void TearDown() override {
    platform::InstallClock(std::make_unique<platform::DeviceClock>());
    SimBoardTest::TearDown();
  }
  platform::FakeClock* InstallFakeClock(time_t now) {
    auto clock = std::make_unique<platform::FakeClock>(static_cast<int64_t>(now) * 1000000);
    platform::FakeClock* raw = clock.get();
    platform::InstallClock(std::move(clock));
    return raw;
  }
};

TEST_F(ClockSyncTest, StartUpSetsTheSystemClockFromTheRtc) {
  platform::FakeClock* clock = InstallFakeClock(Local(2019, 1, 1, 0, 0, 0));
  CaptureOutput out;
  EXPECT_EQ(RTC_Read2sys(), 0);
  out.Stop();
  EXPECT_EQ(clock->set_calls(), 1);
  time_t now = static_cast<time_t>(clock->NowUs() / 1000000);
  EXPECT_GE(now, Local(2021, 7, 13, 8, 15, 30));
  EXPECT_LT(now, Local(2021, 7, 13, 8, 16, 30));
  RtcTime shown = SysrtcCopy();
  EXPECT_EQ(shown.year, 2021);
  EXPECT_EQ(shown.mday, 13);
}

TEST_F(ClockSyncTest, AnRtcThatCannotBeReadLeavesTheSystemClockAlone) {
  platform::FakeClock* clock = InstallFakeClock(Local(2024, 3, 1, 12, 0, 0));
  auto* bus = hwtest::InstallRecordingBus();
  bus->result = {platform::I2cResult::kTransferFailed, -1, ENXIO};
  CaptureOutput out;
  EXPECT_EQ(RTC_Read2sys(), 0);
  std::string text = out.Stop();
  EXPECT_NE(text.find(">RTC read error, system time not changed.\r\n"), std::string::npos) << text;
  EXPECT_EQ(clock->set_calls(), 0);
  EXPECT_EQ(SysrtcCopy().year, 2000);  // the record still shows the failed read

  // Registers holding a date that does not exist are refused as `date` did.
  bus->result = {};
  bus->reply = {0x00, 0x00, 0x00, 0x01, 0x31, 0x02, 0x21};  // 2021-02-31
  CaptureOutput again;
  EXPECT_EQ(RTC_Read2sys(), 0);
  text = again.Stop();
  EXPECT_NE(text.find(">Set system time failed: date -s \"2021-02-31 00:00:00\"\r\n"), std::string::npos) << text;
  EXPECT_EQ(clock->set_calls(), 0);
}

TEST_F(ClockSyncTest, SameDateIsNotCorrectedWhateverTheTimeOfDay) {
  platform::FakeClock* clock = InstallFakeClock(Local(2021, 7, 13, 8, 25, 30));  // 10 minutes ahead
  RtcSyncLoop loop;
  CaptureOutput out;
  EXPECT_EQ(chk_sys_rtc_time(), 0);
  EXPECT_EQ(loop.Step(), RtcSyncLoop::kHourS);
  std::string text = out.Stop();
  EXPECT_NE(text.find(">Check RTC Time and System Time..\r\n=>RTC Time is 2021-07-13 08:1"), std::string::npos)
      << text;
  EXPECT_NE(text.find("=>System Time is 2021-07-13 08:25\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(">Year and Month are correct, check again for 1 hr later.\r\n"), std::string::npos) << text;
  EXPECT_EQ(clock->set_calls(), 0);
  EXPECT_TRUE(hwtest::PendingLogCodes().empty());
}

TEST_F(ClockSyncTest, ADayBehindIsCorrectedOnceThenLoggedAndLeftForAnHour) {
  platform::FakeClock* clock = InstallFakeClock(Local(2021, 7, 12, 8, 15, 30));
  RtcSyncLoop loop;
  CaptureOutput out;
  EXPECT_EQ(loop.Step(), RtcSyncLoop::kAfterSetS);
  std::string text = out.Stop();
  EXPECT_NE(text.find(">Different Time, set Command(date -s \"2021-07-13 08:1"), std::string::npos) << text;
  EXPECT_NE(text.find("\") to System. Count: 1\r\n"), std::string::npos) << text;
  EXPECT_EQ(clock->set_calls(), 1);
  EXPECT_EQ(uiRTCModifyCount.load(), 1u);

  CaptureOutput again;
  EXPECT_EQ(loop.Step(), RtcSyncLoop::kHourS);  // the dates now agree
  EXPECT_EQ(loop.Step(), RtcSyncLoop::kHourS);  // the next check, an hour on
  text = again.Stop();
  EXPECT_NE(text.find(">Year and Month are correct"), std::string::npos) << text;
  EXPECT_EQ(uiRTCModifyCount.load(), 0u);
  EXPECT_EQ(clock->set_calls(), 1);
  EXPECT_EQ(hwtest::PendingLogCodes(), std::vector<std::string>{"3,0"});
}

TEST_F(ClockSyncTest, AClockThatWillNotFollowIsTriedFourTimesThenLeftForAnHour) {
  auto stuck = std::make_unique<StuckClock>(Local(2020, 1, 1, 0, 0, 0));
  StuckClock* clock = stuck.get();
  platform::InstallClock(std::move(stuck));
  RtcSyncLoop loop;
  CaptureOutput out;
  std::vector<unsigned> sleeps;
  for (int i = 0; i < 9; ++i) sleeps.push_back(loop.Step());
  std::string text = out.Stop();
  EXPECT_EQ(sleeps, (std::vector<unsigned>{2, 5, 2, 5, 2, 5, 2, 3600, 2}));
  EXPECT_EQ(clock->sets(), 5);
  for (int n = 1; n <= 4; ++n) EXPECT_NE(text.find("to System. Count: " + std::to_string(n) + "\r\n"), std::string::npos);
  EXPECT_EQ(text.find("Count: 5"), std::string::npos);
  EXPECT_EQ(uiRTCModifyCount.load(), 1u);  // counting again after the hour
  EXPECT_EQ(hwtest::PendingLogCodes(), std::vector<std::string>{"3,0"});
}

TEST_F(ClockSyncTest, AnUnreadableRtcNeverMovesTheSystemClock) {
  platform::FakeClock* clock = InstallFakeClock(Local(2024, 3, 1, 12, 0, 0));
  auto* bus = hwtest::InstallRecordingBus();
  bus->result = {platform::I2cResult::kTransferFailed, -1, ENXIO};
  RtcSyncLoop loop;
  CaptureOutput out;
  std::vector<unsigned> sleeps;
  for (int i = 0; i < 8; ++i) sleeps.push_back(loop.Step());
  std::string text = out.Stop();
  EXPECT_EQ(sleeps, (std::vector<unsigned>{2, 5, 2, 5, 2, 5, 2, 3600}));
  EXPECT_EQ(clock->set_calls(), 0);
  EXPECT_NE(text.find(">RTC read error, system time not changed. Count: 4\r\n"), std::string::npos) << text;
  std::vector<std::string> codes = hwtest::PendingLogCodes();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.back(), "3,0");
}

}  // namespace
