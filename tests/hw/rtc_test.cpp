
#include "hw_test_env.h"

namespace {

using hwtest::CaptureOutput;

using hwtest::Fields;
class RtcRegisterTest : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    bus_ = hwtest::InstallRecordingBus();
  }
  hwtest::RecordingI2cBus* bus_ = nullptr;
};

TEST_F(RtcRegisterTest, ReadDecodesTheSevenRegisters) {
  struct Row {
    std::vector<uint8_t> regs;
    std::vector<int> time;
  } const table[] = {
      {{0x30, 0x15, 0x08, 0x04, 0x13, 0x07, 0x21}, {2021, 7, 13, 8, 15, 30, 2}},
      {{0xB0, 0x95, 0xC8, 0x00, 0xD3, 0xE7, 0x99}, {2099, 7, 13, 8, 15, 30, 0}},  // flag bits outside the masks
  };
  for (const Row& r : table) {
    bus_->reply = r.regs;
    RtcTime t{};
    EXPECT_EQ(RTC_Read(&t), 1);
    EXPECT_EQ(Fields(t), r.time);
  }
  EXPECT_EQ(bus_->transfers, (std::vector<std::string>{"32 w 10, 32 r 7", "32 w 10, 32 r 7"}));

  bus_->result = {platform::I2cResult::kTransferFailed, -1, ENXIO};
  RtcTime t{1, 2, 3, 4, 5, 2024, 3};
  CaptureOutput out;
  EXPECT_EQ(RTC_Read(&t), 0);
  EXPECT_EQ(Fields(t), (std::vector<int>{2000, 1, 1, 0, 0, 0, 6}));
  EXPECT_EQ(hwtest::PendingLogCodes(), std::vector<std::string>{"0,3"});
}

TEST_F(RtcRegisterTest, WriteEncodesTheSevenRegistersOrRefusesTheTime) {
  struct Row {
    int sec, min, hour, mday, mon, year, wday;
    const char* sent;  // nullptr: a time the clock cannot hold
  } const table[] = {
      // A weekday the register cannot hold is replaced by the date's own.
      {30, 15, 8, 13, 7, 2021, 9, "32 w 10 30 15 08 04 13 07 21"},
      {0, 0, 0, 29, 2, 2024, -1, "32 w 10 00 00 00 10 29 02 24"},  // a Thursday
      {59, 59, 23, 31, 12, 2099, 4, "32 w 10 59 59 23 10 31 12 99"},
      {0, 0, 0, 29, 2, 2021, 0, nullptr},     {0, 0, 0, 31, 2, 2024, 0, nullptr}, {0, 0, 0, 31, 4, 2021, 0, nullptr},
      {60, 59, 23, 31, 12, 2021, 0, nullptr}, {0, 0, 24, 1, 1, 2021, 0, nullptr}, {0, 0, 0, 1, 13, 2021, 0, nullptr},
      {0, 0, 0, 0, 1, 2021, 0, nullptr},      {0, 0, 0, 1, 1, 1999, 0, nullptr},  {0, 0, 0, 1, 1, 2100, 0, nullptr},
      {0, -1, 0, 1, 1, 2021, 0, nullptr},
  };
  for (const Row& r : table) {
    SCOPED_TRACE(std::to_string(r.year) + "-" + std::to_string(r.mon) + "-" + std::to_string(r.mday));
    bus_->transfers.clear();
    CaptureOutput out;
    EXPECT_EQ(RTC_Write(r.sec, r.min, r.hour, r.mday, r.mon, r.year, r.wday), r.sent ? 1 : 0);
    EXPECT_EQ(out.Text(), r.sent ? "" : "RTC>> Write Error, ret=-4\r\n");
    EXPECT_EQ(bus_->transfers, r.sent ? std::vector<std::string>{r.sent} : std::vector<std::string>{});
  }
  bus_->result = {platform::I2cResult::kTransferFailed, -1, EIO};
  CaptureOutput out;
  EXPECT_EQ(RTC_Write(30, 15, 8, 13, 7, 2021, 2), 0);
  EXPECT_EQ(out.Text(),
            "ioctl error: Input/output error\nI2C_W>> Write error, ret=-1\r\nRTC>> Write Error, ret=-3\r\n");
}

}  // namespace
