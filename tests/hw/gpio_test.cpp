#include <functional>
#include <iterator>
#include <thread>

#include "hw/gpio.h"
#include "hw_test_env.h"
#include "platform/sim_jig.h"

namespace {

using hwtest::CaptureOutput;

// What the board's driver is sent: the text and its terminating zero.
const std::string kOne("1\0", 2);
const std::string kZero("0\0", 2);
const std::string kOut("out\0", 4);
const std::string kIn("in\0", 3);

class GpioTest : public hwtest::SimBoardTest {};

TEST_F(GpioTest, InitOnExportedLinesSetsEveryAttributeAndNeverExports) {
  for (int gpio : {29, 4, 25, 6, 92, 77, 0}) SetLine(gpio, "1");  // outputs left on by an earlier run
  CaptureOutput out;
  EXPECT_EQ(InitGPIO(), 0);
  EXPECT_EQ(out.Text(), "");
  EXPECT_FALSE(dir_.Exists("sys/class/gpio/export"));
  // kLines: five digital inputs (active low), two more inputs, then outputs.
  for (size_t i = 0; i < std::size(kLines); ++i) {
    SCOPED_TRACE(kLines[i]);
    const bool output = i >= 7;
    EXPECT_EQ(Line(kLines[i], "direction"), output ? kOut : kIn);
    EXPECT_EQ(Line(kLines[i], "active_low"), i < 5 ? kOne : kZero);
    EXPECT_EQ(Line(kLines[i]), output ? kZero : "0");  // outputs start off, inputs untouched
  }
}

// (The init pin: the utility-mode starts end to end.)
TEST_F(GpioTest, InputsReadTheLogicalValue) {
  {
    // A line without a value file, and a channel the board does not have:
    // 255, never "on".
    std::remove((dir_.path() + "/" + LinePath(27, "value")).c_str());
    CaptureOutput quiet;
    EXPECT_EQ(DIV(0), 255);
    EXPECT_EQ(DIV(5), 255);
  }
  SetLine(27, "0\n");  // the file appears: the next read opens it
  // The value files stay open: each level below is written over the file
  // the firmware already reads.
  const int di_gpio[] = {27, 26, 28, 30, 7};
  for (int ch = 0; ch < 5; ++ch) {
    SCOPED_TRACE(ch);
    SetLine(di_gpio[ch], "1\n");  // active: the line is pulled low
    for (int other = 0; other < 5; ++other) EXPECT_EQ(DIV(static_cast<uint8_t>(other)), other == ch ? 1 : 0);
    SetLine(di_gpio[ch], "0\n");  // read as off by the next channel's round
  }
  // Another root (a second board folder) has files of its own.
  testsupport::TempDir other;
  other.Write(LinePath(27, "value"), "1\n");
  platform::SetRoot(other.path());
  EXPECT_EQ(DIV(0), 1);
  platform::SetRoot(dir_.path());
  EXPECT_EQ(DIV(0), 0);
}

TEST_F(GpioTest, OutputsAndPrimitivesDriveTheirLines) {
  struct Case {
    const char* name;
    std::function<int()> call;
    int gpio;
    const std::string& value;
  } const table[] = {
      {"ONDO(0)", [] { return ONDO(0); }, 29, kOne}, {"OFFDO(0)", [] { return OFFDO(0); }, 29, kZero},
      {"ONDO(5)", [] { return ONDO(5); }, 4, kOne},  {"OFFDO(9)", [] { return OFFDO(9); }, 4, kZero},
      {"STA_LED_ON", STA_LED_ON, 77, kOne},          {"STA_LED_OFF", STA_LED_OFF, 77, kZero},
      {"GPS_LED_ON", GPS_LED_ON, 92, kOne},          {"GPS_LED_OFF", GPS_LED_OFF, 92, kZero},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    SetLine(c.gpio, c.value == kOne ? "0" : "1");
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(Line(c.gpio), c.value);
  }
  // Read back from the value files; any non-zero channel is DO1.
  ONDO(5);
  STA_LED_ON();
  EXPECT_EQ((std::vector<int>{DOV(0), DOV(1), DOV(7), STA_LED_V(), GPS_LED_V()}), (std::vector<int>{0, 1, 1, 1, 0}));
  ONDO(0);
  EXPECT_EQ(DOV(0), 1);
}

// The simulated loop-back jig: the inputs read an output's new level as
// soon as its write returns (the factory test reads them 10 ms later, on a
// host however busy), also while two threads switch the outputs at once.
// Removed, the jig gives the inputs back their own levels.
TEST_F(GpioTest, TheSimulatedJigFollowsEachOutputWithinItsWrite) {
  auto inputs = [] {
    std::vector<int> v;
    for (uint8_t ch = 0; ch < 5; ++ch) v.push_back(DIV(ch));
    return v;
  };
  const std::vector<int> all_on(5, 1), all_off(5, 0);
  ASSERT_TRUE(platform::SimJigFit(dir_.path()));
  const struct {
    const char* step;
    std::function<int()> write;
    const std::vector<int>& expected;
  } steps[] = {
      {"DO0 on", [] { return ONDO(0); }, all_on},
      {"DO1 on", [] { return ONDO(1); }, all_on},
      {"DO0 off, DO1 still on", [] { return OFFDO(0); }, all_on},
      {"DO1 off", [] { return OFFDO(1); }, all_off},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    EXPECT_EQ(s.write(), 0);
    EXPECT_EQ(inputs(), s.expected);
  }
  for (const bool do1_ends_on : {true, false}) {
    SCOPED_TRACE(do1_ends_on);
    std::thread do0([] {
      for (int i = 0; i < 200; ++i) i % 2 ? OFFDO(0) : ONDO(0);
    });
    std::thread do1([do1_ends_on] {
      for (int i = 0; i < 200; ++i) i % 2 == do1_ends_on ? ONDO(1) : OFFDO(1);
    });
    do0.join();
    do1.join();
    EXPECT_EQ(inputs(), do1_ends_on ? all_on : all_off);
  }
  const bool own[5] = {false, true, false, false, false};
  ASSERT_TRUE(platform::SimJigRemove(dir_.path(), own));
  ONDO(0);
  EXPECT_EQ(inputs(), (std::vector<int>{0, 1, 0, 0, 0}));
}

}  // namespace
