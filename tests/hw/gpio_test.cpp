#include <sys/stat.h>

#include <functional>

#include "hw/gpio.h"
#include "hw_test_env.h"

namespace {

using hwtest::CaptureOutput;

// What the board's driver is sent: the text and its terminating zero.
const std::string kOne("1\0", 2);
const std::string kZero("0\0", 2);
const std::string kOut("out\0", 4);
const std::string kIn("in\0", 3);

class GpioTest : public hwtest::SimBoardTest {};

TEST_F(GpioTest, InitOnExportedLinesSetsEveryAttributeAndNeverExports) {
  // Leftovers of an earlier run: outputs on, attributes unknown.
  for (int gpio : {29, 4, 25, 6, 92, 77, 0}) SetLine(gpio, "1");
  CaptureOutput out;
  EXPECT_EQ(InitGPIO(), 0);
  EXPECT_EQ(out.Stop(), "");
  EXPECT_FALSE(dir_.Exists("sys/class/gpio/export"));

  struct Expect {
    int gpio;
    std::string direction, active_low;
  };
  const Expect table[] = {
      {27, kIn, kOne},   {26, kIn, kOne},   {28, kIn, kOne},   {30, kIn, kOne},   {7, kIn, kOne},
      {5, kIn, kZero},   {80, kIn, kZero},  {29, kOut, kZero}, {4, kOut, kZero},  {25, kOut, kZero},
      {6, kOut, kZero},  {92, kOut, kZero}, {77, kOut, kZero}, {0, kOut, kZero},
  };
  for (const Expect& e : table) {
    SCOPED_TRACE(e.gpio);
    EXPECT_EQ(Line(e.gpio, "direction"), e.direction);
    EXPECT_EQ(Line(e.gpio, "active_low"), e.active_low);
    // Outputs start off; inputs are left as the line shows them.
    EXPECT_EQ(Line(e.gpio), e.direction == kOut ? kZero : "0");
  }
}

TEST_F(GpioTest, DigitalInputsReadTheLogicalValue) {
  const int di_gpio[] = {27, 26, 28, 30, 7};
  for (int ch = 0; ch < 5; ++ch) {
    SCOPED_TRACE(ch);
    SetLine(di_gpio[ch], "1\n");  // active: the line is pulled low
    EXPECT_EQ(DIV(static_cast<uint8_t>(ch)), 1);
    for (int other = 0; other < 5; ++other) {
      if (other != ch) {
        EXPECT_EQ(DIV(static_cast<uint8_t>(other)), 0);
      }
    }
    SetLine(di_gpio[ch], "0\n");
    EXPECT_EQ(DIV(static_cast<uint8_t>(ch)), 0);
  }
}

TEST_F(GpioTest, OutputsAndPrimitivesDriveTheirLines) {
  struct Case {
    const char* name;
    std::function<int()> call;
    int gpio;
    const std::string* value;
  };
  const Case table[] = {
      {"ONDO(0)", [] { return ONDO(0); }, 29, &kOne},     {"OFFDO(0)", [] { return OFFDO(0); }, 29, &kZero},
      {"ONDO(1)", [] { return ONDO(1); }, 4, &kOne},      {"OFFDO(1)", [] { return OFFDO(1); }, 4, &kZero},
      {"ONDO(5)", [] { return ONDO(5); }, 4, &kOne},      {"OFFDO(9)", [] { return OFFDO(9); }, 4, &kZero},
      {"AI0_HIGH", AI0_HIGH, 25, &kOne},                   {"AI0_LOW", AI0_LOW, 25, &kZero},
      {"AI1_HIGH", AI1_HIGH, 6, &kOne},                    {"AI1_LOW", AI1_LOW, 6, &kZero},
      {"STA_LED_ON", STA_LED_ON, 77, &kOne},               {"STA_LED_OFF", STA_LED_OFF, 77, &kZero},
      {"GPS_LED_ON", GPS_LED_ON, 92, &kOne},               {"GPS_LED_OFF", GPS_LED_OFF, 92, &kZero},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    SetLine(c.gpio, *c.value == kOne ? "0" : "1");
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(Line(c.gpio), *c.value);
  }
}

TEST_F(GpioTest, ReadBacksFollowTheValueFiles) {
  ONDO(5);
  EXPECT_EQ(DOV(1), 1);
  EXPECT_EQ(DOV(7), 1);  // any non-zero channel is DO1
  EXPECT_EQ(DOV(0), 0);
  ONDO(0);
  EXPECT_EQ(DOV(0), 1);
  STA_LED_ON();
  EXPECT_EQ(STA_LED_V(), 1);
  EXPECT_EQ(GPS_LED_V(), 0);
  SetLine(5, "1");
  EXPECT_EQ(PIN_INIT_V(), 1);
  SetLine(5, "0");
  EXPECT_EQ(PIN_INIT_V(), 0);
}

TEST_F(GpioTest, MissingOrEmptyValueFileIsAFailedRead) {
  std::remove((dir_.path() + "/" + LinePath(27, "value")).c_str());
  CaptureOutput out;
  EXPECT_EQ(DIV(0), 255);  // the low byte of -1: never taken for "on"
  dir_.Write(LinePath(26, "value"), "");
  EXPECT_EQ(DIV(1), 0);
  EXPECT_EQ(DIV(5), 255);  // there is no sixth input
  std::string text = out.Stop();
  EXPECT_NE(text.find("usr_gpio_get_value open " + dir_.path() + "/" + LinePath(27, "value") + " error -1\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("usr_gpio_get_value read " + dir_.path() + "/" + LinePath(26, "value") + " error 0\n"),
            std::string::npos)
      << text;
}

TEST_F(GpioTest, ExportFailuresAreReportedAndStartUpCarriesOn) {
  testsupport::TempDir bare;  // a PC: no sysfs, no export file
  platform::SetRoot(bare.path());
  CaptureOutput out;
  EXPECT_EQ(InitGPIO(), -1);
  std::string text = out.Stop();
  std::string expected;
  for (int gpio : kLines) expected += "[" + std::to_string(gpio) + "]gpio init error\r\n";
  std::string lines;
  for (size_t at = text.find('['); at != std::string::npos; at = text.find('[', at + 1))
    lines += text.substr(at, text.find('\n', at) + 1 - at);
  EXPECT_EQ(lines, expected);
  EXPECT_NE(text.find("open fail\n: No such file or directory"), std::string::npos) << text;
}

TEST_F(GpioTest, ExportThatCreatesNothingIsAFailure) {
  testsupport::TempDir bare;
  bare.Write("sys/class/gpio/export", "");
  platform::SetRoot(bare.path());
  CaptureOutput out;
  EXPECT_EQ(GPIO_io_init(4, 1, 0, 0), -1);
  std::string written = bare.Read("sys/class/gpio/export");
  EXPECT_EQ(GPIO_open(27), -1);
  std::string text = out.Stop();
  EXPECT_EQ(written, "4");  // the number, as the kernel wants it
  EXPECT_NE(text.find("create fail\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[4]gpio init error\r\n"), std::string::npos) << text;
}

TEST_F(GpioTest, AttributeWritesToAMissingLineFail) {
  CaptureOutput out;
  EXPECT_LT(GPIO_set_dir(55, 1), 0);
  EXPECT_LT(GPIO_set_active(55, 1), 0);
  EXPECT_LT(GPIO_set_value(55, 1), 0);
  std::string text = out.Stop();
  EXPECT_NE(text.find("gpio(55)/direction: "), std::string::npos) << text;
  EXPECT_NE(text.find("gpio(55)/active_low: "), std::string::npos) << text;
  EXPECT_NE(text.find("gpio/set-value: "), std::string::npos) << text;
}

}  // namespace
