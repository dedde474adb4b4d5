#include <cmath>
#include <thread>

#include "config/config_data.h"
#include "hw/analog_input.h"
#include "hw/gpio.h"
#include "hw_test_env.h"
#include "platform/sim_adc_chip.h"

namespace {

using hwtest::CaptureOutput;

// One converter step at the input terminal, per polarity.
constexpr double kPositiveStep = 2.048 / 32767 * 10 / 2.04;
constexpr double kNegativeStep = 2.048 / 32768 * 10 / 1.996;
constexpr uint16_t kConfigWord = 0x0473;

TEST(AnalogCodes, CodesToVolts) {
  struct Row {
    uint32_t code;
    double volts;
  } const table[] = {
      {0x0000, 0.0},
      {0x0001, kPositiveStep},
      {0x7FFF, 20.48 / 2.04},         // 10.0392...
      {0x8000, -20.48 / 1.996},       // -10.2605...
      {0xFFFF, -2.048 / 32768 * 10 / 1.996},  // about -0.000313
      {0x4000, 16384 * kPositiveStep},
      {0xC000, -16384 * kNegativeStep},
  };
  for (const Row& r : table) {
    SCOPED_TRACE(r.code);
    EXPECT_NEAR(ai_hex2double(r.code), r.volts, 1e-9);
  }
  EXPECT_NEAR(ai_hex2double(0x7FFF), 10.0392, 1e-4);
  EXPECT_NEAR(ai_hex2double(0x8000), -10.2605, 1e-4);
  EXPECT_NEAR(ai_hex2double(0xFFFF), -0.000313, 1e-6);
}

TEST(AnalogCodes, SimulatedConverterGivesTheVoltageBack) {
  const double volts[] = {-10.26, -7.5, -0.5, -0.0002, 0, 0.0001, 0.25, 2.5, 5, 9.99, 10.039};
  for (double v : volts) {
    SCOPED_TRACE(v);
    double step = v >= 0 ? kPositiveStep : kNegativeStep;
    EXPECT_NEAR(ai_hex2double(platform::SimAdcCode(v, kConfigWord)), v, step);
  }
  // Beyond full scale the converter saturates.
  EXPECT_EQ(platform::SimAdcCode(50, kConfigWord), 0x7FFF);
  EXPECT_EQ(platform::SimAdcCode(-50, kConfigWord), 0x8000);
  EXPECT_EQ(platform::SimAdcCode(NAN, kConfigWord), 0);
  // A wider full scale gives smaller codes: the gain field is honoured.
  EXPECT_EQ(platform::SimAdcCode(5, 0x0273), (platform::SimAdcCode(5, kConfigWord) + 1) / 2);
}

class AnalogInputTest : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    gain = 1;
    offset = 0;
    gain2 = 1;
    offset2 = 0;
  }
};

TEST_F(AnalogInputTest, MultiplexerSelectsEachChannel) {
  const char* volts[] = {"1.25", "-3.5", "7", "0.5"};
  for (int ch = 0; ch < 4; ++ch) SetVolts(ch, volts[ch]);
  struct Row {
    int ch;
    double volts;
    std::string ai0, ai1;  // select lines afterwards
  } const table[] = {
      {0, 1.25, "0", "0"}, {1, -3.5, "1", "0"}, {2, 7, "0", "1"}, {3, 0.5, "1", "1"}, {7, 0.5, "1", "1"},
  };
  for (const Row& r : table) {
    SCOPED_TRACE(r.ch);
    // Start from the opposite selection so every line has to move.
    SetLine(25, r.ai0 == "1" ? "0" : "1");
    SetLine(6, r.ai1 == "1" ? "0" : "1");
    EXPECT_NEAR(ai_hex2double(AI_read(r.ch)), r.volts, kNegativeStep);
    EXPECT_EQ(Line(25)[0], r.ai0[0]);
    EXPECT_EQ(Line(6)[0], r.ai1[0]);
  }
}

TEST_F(AnalogInputTest, CalibrationOfBothRanges) {
  struct Row {
    double g, o, g2, o2;
    const char* input;
    double expected;
  } const table[] = {
      {1, 0, 2, 0, "3", 3},           {1, 0, 2, 0, "-3", -6},
      {1.5, 0.25, 1, 0, "2", 3.25},   {1.5, 0.25, 1, -0.5, "-2", -2.5},
      {1, 0.1, 1, -0.1, "0", 0.1},  // zero counts as positive
  };
  for (const Row& r : table) {
    SCOPED_TRACE(r.input);
    gain = r.g;
    offset = r.o;
    gain2 = r.g2;
    offset2 = r.o2;
    SetVolts(2, r.input);
    EXPECT_NEAR(AI_RD(2), r.expected, 2 * kNegativeStep * std::max(r.g, r.g2));
  }
}

TEST_F(AnalogInputTest, ConverterIsConfiguredBeforeEveryConversion) {
  auto* bus = hwtest::InstallRecordingBus();
  bus->reply = {0x12, 0x34};
  EXPECT_EQ(AI_read(1), 0x1234u);
  ASSERT_EQ(bus->transfers.size(), 2u);
  // Configuration register 1 gets 0x04 0x73, then register 0 is read.
  ASSERT_EQ(bus->transfers[0].size(), 1u);
  EXPECT_EQ(bus->transfers[0][0].address, 0x48);
  EXPECT_EQ(bus->transfers[0][0].bytes, (std::vector<uint8_t>{0x01, 0x04, 0x73}));
  ASSERT_EQ(bus->transfers[1].size(), 2u);
  EXPECT_EQ(bus->transfers[1][0].bytes, std::vector<uint8_t>{0x00});
  EXPECT_TRUE(bus->transfers[1][1].read);
  EXPECT_EQ(bus->transfers[1][1].bytes.size(), 2u);
}

TEST_F(AnalogInputTest, WithoutConverterEveryChannelReadsOffset) {
  std::string ai = dir_.path() + "/sim/ai";
  for (int ch = 0; ch < 4; ++ch) std::remove((ai + "/" + std::to_string(ch)).c_str());
  ASSERT_EQ(rmdir(ai.c_str()), 0);
  offset = 0.75;
  offset2 = -9;  // not used: code 0 is a positive reading
  CaptureOutput out;
  for (int ch = 0; ch < 4; ++ch) EXPECT_DOUBLE_EQ(AI_RD(ch), 0.75);
  std::string text = out.Stop();
  EXPECT_NE(text.find("ioctl error: No such device or address\n"), std::string::npos) << text;
  EXPECT_NE(text.find("I2C_W>> Write error, ret=-1\r\nSet ADC ERROR, ret=-3\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("I2C_R>> Read error, ret=-1(0xFFFFFFFF)\r\nADC>> Read Error, ret=-3\r\n"), std::string::npos)
      << text;
  std::vector<std::string> codes = hwtest::PendingLogCodes();
  ASSERT_EQ(codes.size(), 8u);
  EXPECT_EQ(codes[0], "0,2");
  EXPECT_EQ(codes[1], "0,3");
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

}  // namespace
