#include <ctime>

#include "hw/rtc.h"
#include "hw_test_env.h"
#include "platform/clock.h"

namespace {

using hwtest::CaptureOutput;

TEST(RtcCoding, Bcd) {
  struct Row {
    uint32_t bin;
    uint8_t bcd;
  } const table[] = {{0, 0x00}, {7, 0x07}, {10, 0x10}, {13, 0x13}, {21, 0x21}, {59, 0x59}, {99, 0x99}};
  for (const Row& r : table) {
    SCOPED_TRACE(r.bin);
    EXPECT_EQ(bin2bcd(r.bin), r.bcd);
    EXPECT_EQ(bcd2bin(r.bcd), r.bin);
  }
  EXPECT_EQ(bin2bcd(256 + 21), 0x21);  // only the low 8 bits count
}

TEST(RtcCoding, Weekday) {
  struct Row {
    uint8_t bits;
    int wday;
  } const table[] = {{0x00, 0}, {0x01, 0}, {0x04, 2}, {0x24, 2}, {0x40, 6}, {0x80, 0}, {0xC0, 6}};
  for (const Row& r : table) {
    SCOPED_TRACE(r.bits);
    EXPECT_EQ(wday_rtc2sys(r.bits), r.wday);
  }
}

class RtcRegisterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogRingClear();
    bus_ = hwtest::InstallRecordingBus();
  }
  void TearDown() override {
    platform::InstallI2cBus(nullptr);
    LogRingClear();
  }
  hwtest::RecordingI2cBus* bus_;
};

TEST_F(RtcRegisterTest, ReadDecodesTheSevenRegisters) {
  bus_->reply = {0x30, 0x15, 0x08, 0x04, 0x13, 0x07, 0x21};
  RtcTime t{};
  EXPECT_EQ(RTC_Read(&t), 1);
  EXPECT_EQ(t.year, 2021);
  EXPECT_EQ(t.mon, 7);
  EXPECT_EQ(t.mday, 13);
  EXPECT_EQ(t.hour, 8);
  EXPECT_EQ(t.min, 15);
  EXPECT_EQ(t.sec, 30);
  EXPECT_EQ(t.wday, 2);
  ASSERT_EQ(bus_->transfers.size(), 1u);
  EXPECT_EQ(bus_->transfers[0][0].address, 0x32);
  EXPECT_EQ(bus_->transfers[0][0].bytes, std::vector<uint8_t>{0x10});
  EXPECT_EQ(bus_->transfers[0][1].bytes.size(), 7u);

  // Bits outside the masks are the chip's flags, not time.
  bus_->reply = {0xB0, 0x95, 0xC8, 0x00, 0xD3, 0xE7, 0x99};
  EXPECT_EQ(RTC_Read(&t), 1);
  EXPECT_EQ(t.sec, 30);
  EXPECT_EQ(t.min, 15);
  EXPECT_EQ(t.hour, 8);
  EXPECT_EQ(t.mday, 13);
  EXPECT_EQ(t.mon, 7);
  EXPECT_EQ(t.year, 2099);
  EXPECT_EQ(t.wday, 0);
}

TEST_F(RtcRegisterTest, FailedReadGivesTheStartOf2000) {
  bus_->result = {platform::I2cResult::kTransferFailed, -1, ENXIO};
  RtcTime t{1, 2, 3, 4, 5, 2024, 3};
  CaptureOutput out;
  EXPECT_EQ(RTC_Read(&t), 0);
  out.Stop();
  EXPECT_EQ(t.year, 2000);
  EXPECT_EQ(t.mon, 1);
  EXPECT_EQ(t.mday, 1);
  EXPECT_EQ(t.hour + t.min + t.sec, 0);
  EXPECT_EQ(t.wday, 6);
  EXPECT_EQ(hwtest::PendingLogCodes(), std::vector<std::string>{"0,3"});
}

TEST_F(RtcRegisterTest, WriteEncodesTheSevenRegisters) {
  EXPECT_EQ(RTC_Write(30, 15, 8, 13, 7, 2021, 2), 1);
  // A weekday the register cannot hold is replaced by the date's own
  // (2021-07-13 was a Tuesday).
  EXPECT_EQ(RTC_Write(30, 15, 8, 13, 7, 2021, 9), 1);
  EXPECT_EQ(RTC_Write(0, 0, 0, 29, 2, 2024, -1), 1);
  EXPECT_EQ(RTC_Write(59, 59, 23, 31, 12, 2099, 4), 1);
  const std::vector<uint8_t> expected[] = {
      {0x10, 0x30, 0x15, 0x08, 0x04, 0x13, 0x07, 0x21},
      {0x10, 0x30, 0x15, 0x08, 0x04, 0x13, 0x07, 0x21},
      {0x10, 0x00, 0x00, 0x00, 0x10, 0x29, 0x02, 0x24},  // a Thursday
      {0x10, 0x59, 0x59, 0x23, 0x10, 0x31, 0x12, 0x99},
  };
  ASSERT_EQ(bus_->transfers.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(bus_->transfers[i].size(), 1u);
    EXPECT_EQ(bus_->transfers[i][0].address, 0x32);
    EXPECT_EQ(bus_->transfers[i][0].bytes, expected[i]);
  }
}

TEST_F(RtcRegisterTest, TimesTheClockCannotHoldAreRefused) {
  struct Row {
    const char* name;
    int sec, min, hour, mday, mon, year;
  } const table[] = {
      {"29 February of a common year", 0, 0, 0, 29, 2, 2021},
      {"31 February", 0, 0, 0, 31, 2, 2024},
      {"31 April", 0, 0, 0, 31, 4, 2021},
      {"second 60", 60, 59, 23, 31, 12, 2021},
      {"hour 24", 0, 0, 24, 1, 1, 2021},
      {"month 13", 0, 0, 0, 1, 13, 2021},
      {"day 0", 0, 0, 0, 0, 1, 2021},
      {"year 1999", 0, 0, 0, 1, 1, 1999},
      {"year 2100", 0, 0, 0, 1, 1, 2100},
      {"negative minute", 0, -1, 0, 1, 1, 2021},
  };
  for (const Row& r : table) {
    SCOPED_TRACE(r.name);
    CaptureOutput out;
    EXPECT_EQ(RTC_Write(r.sec, r.min, r.hour, r.mday, r.mon, r.year, 0), 0);
    EXPECT_EQ(out.Stop(), "RTC>> Write Error, ret=-4\r\n");
  }
  EXPECT_TRUE(bus_->transfers.empty());
}

TEST_F(RtcRegisterTest, FailedWriteReportsTheBusResult) {
  bus_->result = {platform::I2cResult::kTransferFailed, -1, EIO};
  CaptureOutput out;
  EXPECT_EQ(RTC_Write(30, 15, 8, 13, 7, 2021, 2), 0);
  std::string text = out.Stop();
  EXPECT_NE(text.find("I2C_W>> Write error, ret=-1\r\nRTC>> Write Error, ret=-3\r\n"), std::string::npos) << text;
}

TEST(RtcRecord, FromBrokenDownTime) {
  struct tm t {};
  t.tm_year = 121;
  t.tm_mon = 6;
  t.tm_mday = 13;
  t.tm_hour = 8;
  t.tm_min = 15;
  t.tm_sec = 30;
  t.tm_wday = 2;
  RtcTime r{};
  EXPECT_EQ(tm2rtc(&t, &r), 0);
  EXPECT_EQ(r.year, 2021);
  EXPECT_EQ(r.mon, 7);
  EXPECT_EQ(r.mday, 13);
  EXPECT_EQ(r.hour, 8);
  EXPECT_EQ(r.min, 15);
  EXPECT_EQ(r.sec, 30);
  EXPECT_EQ(r.wday, 2);

  // Without a source: the system clock's local time.
  auto clock = std::make_unique<platform::FakeClock>(1626164130LL * 1000000);
  platform::InstallClock(std::move(clock));
  time_t s = 1626164130;
  struct tm local {};
  localtime_r(&s, &local);
  EXPECT_EQ(tm2rtc(nullptr, &r), 0);
  EXPECT_EQ(r.year, local.tm_year + 1900);
  EXPECT_EQ(r.mon, local.tm_mon + 1);
  EXPECT_EQ(r.mday, local.tm_mday);
  EXPECT_EQ(r.hour, local.tm_hour);
  EXPECT_EQ(r.min, local.tm_min);
  EXPECT_EQ(r.sec, local.tm_sec);
  EXPECT_EQ(r.wday, local.tm_wday);
  platform::InstallClock(std::make_unique<platform::DeviceClock>());
}

}  // namespace
