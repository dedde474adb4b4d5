#include <errno.h>

#include "hw/i2c.h"
#include "hw_test_env.h"

namespace {

using hwtest::CaptureOutput;

class I2cTransferTest : public hwtest::SimBoardTest {};

TEST_F(I2cTransferTest, FailuresGiveTheirCodeMessageAndLogRecord) {
  // The device backend against a folder with no bus device, then against a
  // plain file that opens but knows no I2C request.
  const std::string missing = dir_.path() + "/dev/i2c-0";
  const std::string plain = dir_.path() + "/not-a-bus";
  dir_.Write("not-a-bus", "");
  uint8_t data[2] = {1, 2};
  uint8_t out[2] = {0xAA, 0xBB};

  struct Row {
    const char* name;
    std::string device;
    bool read;
    int len;
    int result;
    std::string message;
    std::string log;
  } const table[] = {
      {"write, no device", missing, false, 2, -1, "I2C_W>> open " + missing + " error -1\n", "0,0"},
      {"read, no device", missing, true, 2, -1, "I2C_R>> open " + missing + " error -1\n", "0,0"},
      {"write, transfer refused", plain, false, 2, -3, "I2C_W>> Write error, ret=-1\r\n", "0,2"},
      {"read, transfer refused", plain, true, 2, -3, "I2C_R>> Read error, ret=-1(0xFFFFFFFF)\r\n", "0,3"},
      {"write, too long", plain, false, kI2cMaxData + 1, -2, "I2C_W>> malloc error\r\n", "0,1"},
      {"write, negative length", plain, false, -1, -2, "I2C_W>> malloc error\r\n", "0,1"},
      {"read, nothing to read", plain, true, 0, -2, "I2C_R>> malloc error\r\n", "0,1"},
  };
  for (const Row& r : table) {
    SCOPED_TRACE(r.name);
    platform::InstallI2cBus(std::make_unique<platform::DeviceI2cBus>(r.device));
    CaptureOutput capture;
    int result = r.read ? I2C_Read(0x90, 0, r.len, out) : I2C_Write(0x90, 1, r.len, data);
    std::string text = capture.Stop();
    EXPECT_EQ(result, r.result);
    EXPECT_NE(text.find(r.message), std::string::npos) << text;
    if (r.result == -3) {
      EXPECT_NE(text.find("ioctl error: "), std::string::npos) << text;
    }
    EXPECT_EQ(hwtest::PendingLogCodes(), std::vector<std::string>{r.log});
  }
  EXPECT_EQ(out[0], 0xAA);  // a failed read leaves the caller's buffer alone
}

TEST_F(I2cTransferTest, InitChecksThatTheBusOpens) {
  platform::InstallI2cBus(std::make_unique<platform::DeviceI2cBus>(dir_.path() + "/dev/i2c-0"));
  CaptureOutput capture;
  EXPECT_EQ(InitI2C(), 0);
  EXPECT_EQ(i2c_fd.load(), -1);
  EXPECT_EQ(capture.Stop(), "I2C_W>> open " + dir_.path() + "/dev/i2c-0 error -1\n");
  EXPECT_EQ(hwtest::PendingLogCodes(), std::vector<std::string>{"0,0"});

  platform::InstallI2cBus(nullptr);  // the simulated bus is always there
  EXPECT_EQ(InitI2C(), 1);
  EXPECT_GE(i2c_fd.load(), 0);
}

TEST_F(I2cTransferTest, AddressesGoOutInTheSevenBitForm) {
  auto* bus = hwtest::InstallRecordingBus();
  bus->reply = {9, 8, 7};
  uint8_t data[3] = {0xA1, 0xA2, 0xA3};
  uint8_t out[3] = {};
  EXPECT_EQ(I2C_Write(0x64, 0x10, 3, data), 1);
  EXPECT_EQ(I2C_Write(0x90, 0x01, 0, nullptr), 1);  // just the register pointer
  EXPECT_EQ(I2C_Read(0x64, 0x13, 3, out), 1);
  ASSERT_EQ(bus->transfers.size(), 3u);
  EXPECT_EQ(bus->transfers[0][0].address, 0x32);
  EXPECT_EQ(bus->transfers[0][0].bytes, (std::vector<uint8_t>{0x10, 0xA1, 0xA2, 0xA3}));
  EXPECT_EQ(bus->transfers[1][0].address, 0x48);
  EXPECT_EQ(bus->transfers[1][0].bytes, std::vector<uint8_t>{0x01});
  ASSERT_EQ(bus->transfers[2].size(), 2u);
  EXPECT_EQ(bus->transfers[2][0].bytes, std::vector<uint8_t>{0x13});
  EXPECT_TRUE(bus->transfers[2][1].read);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{9, 8, 7}));
}

TEST_F(I2cTransferTest, SimulatedBusAnswersOnlyItsChips) {
  uint8_t out[2];
  CaptureOutput capture;
  EXPECT_EQ(I2C_Read(0x90, 0, 2, out), 1);  // converter, ROOT/sim/ai exists
  EXPECT_EQ(I2C_Read(0x64, 0x10, 2, out), 1);
  EXPECT_EQ(I2C_Read(0xA0, 0, 2, out), -3);  // nobody at 0x50
  EXPECT_NE(capture.Stop().find("ioctl error: No such device or address"), std::string::npos);
}

}  // namespace
