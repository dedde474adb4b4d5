#include <cmath>
#include <thread>

#include "config/config_data.h"
#include "hw/analog_input.h"
#include "hw/gpio.h"
#include "hw/i2c.h"
#include "hw_test_env.h"

namespace {

// One converter step at the input terminal, negative side (the larger).
constexpr double kNegativeStep = 2.048 / 32768 * 10 / 1.996;

class AnalogInputTest : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    gain = gain2 = 1;
    offset = offset2 = 0;
  }
};

TEST_F(AnalogInputTest, MultiplexerSelectsEachChannel) {
  const char* volts[] = {"1.25", "-3.5", "7", "0.5"};
  for (int ch = 0; ch < 4; ++ch) SetVolts(ch, volts[ch]);
  struct Row {
    int ch;
    double volts;
    char ai0, ai1;  // select lines afterwards
  } const table[] = {{0, 1.25, '0', '0'}, {1, -3.5, '1', '0'}, {2, 7, '0', '1'}, {3, 0.5, '1', '1'}, {7, 0.5, '1', '1'}};
  for (const Row& r : table) {
    SCOPED_TRACE(r.ch);
    SetLine(25, r.ai0 == '1' ? "0" : "1");  // start from the opposite selection
    SetLine(6, r.ai1 == '1' ? "0" : "1");
    EXPECT_NEAR(ai_hex2double(AI_read(r.ch)), r.volts, kNegativeStep);
    EXPECT_EQ(Line(25)[0], r.ai0);
    EXPECT_EQ(Line(6)[0], r.ai1);
  }
}

TEST_F(AnalogInputTest, CalibrationOfBothRanges) {
  struct Row {
    double g, o, g2, o2;
    const char* input;
    double expected;
  } const table[] = {{1, 0, 2, 0, "3", 3},       {1, 0, 2, 0, "-3", -6},          {1.5, 0.25, 1, 0, "2", 3.25},
                     {1.5, 0.25, 1, -0.5, "-2", -2.5}, {1, 0.1, 1, -0.1, "0", 0.1}};  // zero counts as positive
  for (const Row& r : table) {
    SCOPED_TRACE(r.input);
    gain = r.g, offset = r.o, gain2 = r.g2, offset2 = r.o2;
    SetVolts(2, r.input);
    EXPECT_NEAR(AI_RD(2), r.expected, 2 * kNegativeStep * std::max(r.g, r.g2));
  }
}

TEST_F(AnalogInputTest, ConverterIsConfiguredBeforeEveryConversion) {
  auto* bus = hwtest::InstallRecordingBus();
  bus->reply = {0x12, 0x34};
  EXPECT_EQ(AI_read(1), 0x1234u);
  EXPECT_EQ(bus->transfers, (std::vector<std::string>{"48 w 01 04 73", "48 w 00, 48 r 2"}));
}

TEST_F(AnalogInputTest, WithoutConverterEveryChannelReadsOffset) {
  std::string ai = dir_.path() + "/sim/ai";
  for (int ch = 0; ch < 4; ++ch) std::remove((ai + "/" + std::to_string(ch)).c_str());
  ASSERT_EQ(rmdir(ai.c_str()), 0);
  offset = 0.75;
  offset2 = -9;  // not used: code 0 is a positive reading
  hwtest::CaptureOutput out;  // the I2C failures' messages and records: the next test
  for (int ch = 0; ch < 4; ++ch) EXPECT_DOUBLE_EQ(AI_RD(ch), 0.75);
  hwtest::ExpectContains(out.Text(), {"Set ADC ERROR, ret=-3\r\n", "ADC>> Read Error, ret=-3\r\n"});
  EXPECT_EQ(hwtest::PendingLogCodes().size(), 8u);  // a set-up and a read failure each time
}

TEST_F(AnalogInputTest, ConcurrentReadsOfDifferentChannelsDoNotMix) {
  SetVolts(0, "2");
  SetVolts(3, "-4");
  double worst[2] = {0, 0};
  auto reader = [&worst](int ch, double expected, int slot) {
    for (int i = 0; i < 4; ++i) worst[slot] = std::max(worst[slot], std::fabs(AI_RD(ch) - expected));
  };
  std::thread a(reader, 0, 2.0, 0);
  std::thread b(reader, 3, -4.0, 1);
  a.join();
  b.join();
  EXPECT_LT(worst[0], kNegativeStep);
  EXPECT_LT(worst[1], kNegativeStep);
}

TEST_F(AnalogInputTest, I2cFailuresGiveTheirCodeMessageAndLogRecord) {
  // No bus device, then a plain file that opens but knows no I2C request.
  const std::string missing = dir_.path() + "/dev/i2c-0";
  const std::string plain = dir_.path() + "/not-a-bus";
  dir_.Write("not-a-bus", "");
  uint8_t data[2] = {1, 2};
  uint8_t out[2] = {0xAA, 0xBB};
  struct Row {
    std::string device;
    bool read;
    int len, result;
    std::string message, log;
  } const table[] = {
      {missing, false, 2, -1, "I2C_W>> open " + missing + " error -1\n", "0,0"},
      {missing, true, 2, -1, "I2C_R>> open " + missing + " error -1\n", "0,0"},
      {plain, false, 2, -3, "I2C_W>> Write error, ret=-1\r\n", "0,2"},
      {plain, true, 2, -3, "I2C_R>> Read error, ret=-1(0xFFFFFFFF)\r\n", "0,3"},
      {plain, false, kI2cMaxData + 1, -2, "I2C_W>> malloc error\r\n", "0,1"},  // too long
      {plain, false, -1, -2, "I2C_W>> malloc error\r\n", "0,1"},
      {plain, true, 0, -2, "I2C_R>> malloc error\r\n", "0,1"},  // nothing to read
  };
  for (const Row& r : table) {
    SCOPED_TRACE(r.message);
    platform::InstallI2cBus(std::make_unique<platform::DeviceI2cBus>(r.device));
    hwtest::CaptureOutput capture;
    int result = r.read ? I2C_Read(0x90, 0, r.len, out) : I2C_Write(0x90, 1, r.len, data);
    std::string text = capture.Text();
    EXPECT_EQ(result, r.result);
    hwtest::ExpectContains(text, {r.message});
    EXPECT_EQ(text.find("ioctl error: ") != std::string::npos, r.result == -3) << text;
    EXPECT_EQ(hwtest::PendingLogCodes(), std::vector<std::string>{r.log});
  }
  EXPECT_EQ(out[0], 0xAA);  // a failed read leaves the caller's buffer alone
}

}  // namespace
