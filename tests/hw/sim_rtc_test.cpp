#include <ctime>

#include "hw/rtc.h"
#include "hw_test_env.h"
#include "platform/sim_rtc_chip.h"
#include "platform/sim_rtc_file.h"

namespace {

using hwtest::CaptureOutput;

// 2021-07-13 08:15:30, a Tuesday, and a host time to pin the tests on.
struct tm Tuesday() {
  struct tm t {};
  t.tm_year = 121;
  t.tm_mon = 6;
  t.tm_mday = 13;
  t.tm_hour = 8;
  t.tm_min = 15;
  t.tm_sec = 30;
  t.tm_wday = 2;
  return t;
}
constexpr time_t kHost = 1700000000;

class SimRtcFileTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir_;
};

TEST_F(SimRtcFileTest, RegistersKeepCountingFromTheFile) {
  ASSERT_TRUE(platform::SimRtcWrite(dir_.path(), Tuesday(), kHost));
  struct tm probe = Tuesday();
  long long offset = static_cast<long long>(timegm(&probe)) - kHost;
  EXPECT_EQ(dir_.Read("sim/rtc"), std::to_string(offset) + " 0\n");

  struct Row {
    time_t later;
    int mday, hour, min, sec, wday;
  } const table[] = {
      {0, 13, 8, 15, 30, 2},
      {61, 13, 8, 16, 31, 2},
      {56669, 13, 23, 59, 59, 2},
      {56670, 14, 0, 0, 0, 3},  // midnight: the weekday moves on
  };
  for (const Row& r : table) {
    SCOPED_TRACE(r.later);
    struct tm t {};
    platform::SimRtcRead(dir_.path(), &t, kHost + r.later);
    EXPECT_EQ(t.tm_year, 121);
    EXPECT_EQ(t.tm_mon, 6);
    EXPECT_EQ(t.tm_mday, r.mday);
    EXPECT_EQ(t.tm_hour, r.hour);
    EXPECT_EQ(t.tm_min, r.min);
    EXPECT_EQ(t.tm_sec, r.sec);
    EXPECT_EQ(t.tm_wday, r.wday);
  }
}

TEST_F(SimRtcFileTest, AWrongWeekdayStaysWrongByTheSameShift) {
  struct tm t = Tuesday();
  t.tm_wday = 5;  // written as Friday
  ASSERT_TRUE(platform::SimRtcWrite(dir_.path(), t, kHost));
  EXPECT_EQ(dir_.Read("sim/rtc").substr(dir_.Read("sim/rtc").find(' ')), " 3\n");
  struct tm next {};
  platform::SimRtcRead(dir_.path(), &next, kHost + 86400);
  EXPECT_EQ(next.tm_mday, 14);
  EXPECT_EQ(next.tm_wday, 6);  // Wednesday + 3

  // `ctl rtc set` gives the true weekday again.
  t.tm_wday = 5;
  ASSERT_TRUE(platform::SimRtcSet(dir_.path(), t));
  EXPECT_EQ(dir_.Read("sim/rtc").substr(dir_.Read("sim/rtc").find(' ')), " 0\n");
}

TEST_F(SimRtcFileTest, MissingOrDamagedFileHoldsTheHostLocalTime) {
  struct tm local {};
  time_t host = kHost;
  localtime_r(&host, &local);
  for (const char* content : {static_cast<const char*>(nullptr), "", "garbage\n", "12\n", "999999999999999 1\n"}) {
    SCOPED_TRACE(content ? content : "(no file)");
    if (content) dir_.Write("sim/rtc", content);
    struct tm t {};
    platform::SimRtcRead(dir_.path(), &t, kHost);
    EXPECT_EQ(t.tm_year, local.tm_year);
    EXPECT_EQ(t.tm_mon, local.tm_mon);
    EXPECT_EQ(t.tm_mday, local.tm_mday);
    EXPECT_EQ(t.tm_hour, local.tm_hour);
    EXPECT_EQ(t.tm_min, local.tm_min);
    EXPECT_EQ(t.tm_sec, local.tm_sec);
    EXPECT_EQ(t.tm_wday, local.tm_wday);
  }
  dir_.Write("sim/rtc", "3600 -1\n");  // a negative shift is taken mod 7
  struct tm t {};
  platform::SimRtcRead(dir_.path(), &t, kHost);
  time_t reg = kHost + 3600;
  struct tm utc {};
  gmtime_r(&reg, &utc);
  EXPECT_EQ(t.tm_hour, utc.tm_hour);
  EXPECT_EQ(t.tm_wday, (utc.tm_wday + 6) % 7);
}

TEST_F(SimRtcFileTest, ChipRegistersThroughTheFile) {
  time_t host = kHost;
  platform::SimRtcChip chip([&host] { return host; });
  const uint8_t write[] = {0x10, 0x30, 0x15, 0x08, 0x04, 0x13, 0x07, 0x21};
  ASSERT_TRUE(chip.Write(dir_.path(), write, sizeof write));

  host += 3600 + 5;
  const uint8_t pointer[] = {0x10};
  uint8_t regs[7] = {};
  ASSERT_TRUE(chip.Write(dir_.path(), pointer, 1));
  ASSERT_TRUE(chip.Read(dir_.path(), regs, 7));
  EXPECT_EQ(std::vector<uint8_t>(regs, regs + 7), (std::vector<uint8_t>{0x35, 0x15, 0x09, 0x04, 0x13, 0x07, 0x21}));

  // Writing the minutes alone leaves the rest of the time running.
  const uint8_t minutes[] = {0x11, 0x45};
  ASSERT_TRUE(chip.Write(dir_.path(), minutes, sizeof minutes));
  ASSERT_TRUE(chip.Write(dir_.path(), pointer, 1));
  ASSERT_TRUE(chip.Read(dir_.path(), regs, 7));
  EXPECT_EQ(std::vector<uint8_t>(regs, regs + 7), (std::vector<uint8_t>{0x35, 0x45, 0x09, 0x04, 0x13, 0x07, 0x21}));

  // Another chip object (a restarted firmware) sees the same clock.
  platform::SimRtcChip other([&host] { return host; });
  ASSERT_TRUE(other.Write(dir_.path(), pointer, 1));
  ASSERT_TRUE(other.Read(dir_.path(), regs, 3));
  EXPECT_EQ(regs[1], 0x45);

  // Registers outside the time are plain memory.
  const uint8_t control[] = {0x1F, 0x40};
  uint8_t back = 0;
  ASSERT_TRUE(chip.Write(dir_.path(), control, 2));
  ASSERT_TRUE(chip.Write(dir_.path(), control, 1));
  ASSERT_TRUE(chip.Read(dir_.path(), &back, 1));
  EXPECT_EQ(back, 0x40);
}

class SimRtcFirmwareTest : public hwtest::SimBoardTest {};

TEST_F(SimRtcFirmwareTest, WriteThenReadBackThroughTheBus) {
  ASSERT_EQ(RTC_Write(30, 15, 8, 13, 7, 2021, 2), 1);
  EXPECT_TRUE(dir_.Exists("sim/rtc"));
  RtcTime t{};
  ASSERT_EQ(RTC_Read(&t), 1);
  EXPECT_EQ(t.year, 2021);
  EXPECT_EQ(t.mon, 7);
  EXPECT_EQ(t.mday, 13);
  EXPECT_EQ(t.hour, 8);
  EXPECT_EQ(t.wday, 2);
  // The host clock runs on: the time read is the time written plus at most
  // the few seconds the test took.
  int elapsed = (t.min - 15) * 60 + t.sec - 30;
  EXPECT_GE(elapsed, 0);
  EXPECT_LT(elapsed, 60);

  // The clock keeps running while nothing reads it.
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] {
        RtcTime later{};
        RTC_Read(&later);
        return (later.min - 15) * 60 + later.sec - 30 > elapsed;
      },
      std::chrono::seconds(10)));

  // The file is the battery: a clock set by the simulator shows at once.
  struct tm set = Tuesday();
  set.tm_year = 130;  // 2030-07-13, a Saturday
  ASSERT_TRUE(platform::SimRtcSet(dir_.path(), set));
  ASSERT_EQ(RTC_Read(&t), 1);
  EXPECT_EQ(t.year, 2030);
  EXPECT_EQ(t.wday, 6);
}

}  // namespace
