#include "sim/command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using sim::Command;
using sim::CommandKind;
using sim::ParseCommand;

// What each command does is checked through the board.
TEST(SimCommand, WellFormedCommands) {
  Command c;
  std::string error;
  ASSERT_TRUE(ParseCommand("  di\t2   on \r", &c, &error)) << error;
  EXPECT_EQ(c.kind, CommandKind::kDi);
  EXPECT_EQ(c.index, 2);
  EXPECT_TRUE(c.on);
  ASSERT_TRUE(ParseCommand("pulse 4 1000000 3600000 1", &c, &error));
  EXPECT_EQ(c.index, 4);
  EXPECT_EQ(c.count, 1000000);
  EXPECT_EQ(c.period_ms, 3600000);
  EXPECT_EQ(c.width_ms, 1);
  ASSERT_TRUE(ParseCommand("sd use 0", &c, &error));
  EXPECT_EQ(c.percent, 0);
  ASSERT_TRUE(ParseCommand("rtc set 2000-01-01 00:00:00", &c, &error));
  ASSERT_TRUE(ParseCommand("rtc set 2099-12-31 23:59:58", &c, &error));
  EXPECT_EQ(c.time.tm_year, 199);
  EXPECT_EQ(c.time.tm_mon, 11);
  EXPECT_EQ(c.time.tm_mday, 31);
  EXPECT_EQ(c.time.tm_hour, 23);
  EXPECT_EQ(c.time.tm_sec, 58);
  // The module's commands go to the modem model whatever their words, the
  // line kept whole for texts with spaces.
  ASSERT_TRUE(ParseCommand("sms from 123 two  spaces", &c, &error));
  EXPECT_EQ(c.kind, CommandKind::kModem);
  EXPECT_EQ(c.words.size(), 5u);
  EXPECT_EQ(c.line, "sms from 123 two  spaces");
}

TEST(SimCommand, RefusedWithAReason) {
  struct Row {
    const char* line;
    const char* error_part;
  };
  const Row rows[] = {
      {"   ", "empty command"},
      {"dance", "unknown command 'dance'"},
      {"state now", "unknown command"},
      {"di 5 on", "inputs are 0 to 4"},
      {"di 0x1 on", "inputs are 0 to 4"},
      {"di 1 yes", "on or off"},
      {"di 1", "usage: di N on|off"},
      {"initpin", "usage: initpin"},
      {"jig maybe", "usage: jig"},
      {"ai 4 1.0", "inputs are 0 to 3"},
      {"ai 0 volts", "not a voltage"},
      {"ai 0 2.5V", "not a voltage"},
      {"ai 0 nan", "not a voltage"},
      {"ai 0 1e300", "not a voltage"},
      {"rtc", "usage: rtc"},
      {"rtc set 2024-02-30 00:00:00", "not a time the RTC holds"},
      {"rtc set 2023-02-29 00:00:00", "not a time the RTC holds"},
      {"rtc set 2024-04-31 12:00:00", "not a time the RTC holds"},
      {"rtc set 1999-12-31 23:59:59", "not a time the RTC holds"},
      {"rtc set 2100-01-01 00:00:00", "not a time the RTC holds"},
      {"rtc set 2024-01-01 24:00:00", "not a time the RTC holds"},
      {"rtc set 2024-01-01 12:60:00", "not a time the RTC holds"},
      {"rtc set 2024-1-1 1:2:3", "not a time the RTC holds"},
      {"rtc set 2024/01/01 12:00:00", "not a time the RTC holds"},
      {"rtc set 2024-01-01 12:00", "not a time the RTC holds"},
      {"rtc set 2024-01-01", "usage: rtc"},
      {"sd use 101", "from 0 to 100"},
      {"sd use -1", "from 0 to 100"},
      {"sd eject", "usage: sd"},
      {"qmi sideways", "usage: qmi"},
      {"pulse 0 10 100", "usage: pulse"},
      {"pulse 0 0 100 50", "COUNT"},
      {"pulse 0 1000001 100 50", "COUNT"},
      {"pulse 0 10 1 1", "PERIOD_MS"},
      {"pulse 0 10 100 100", "WIDTH_MS"},
      {"pulse 0 10 100 0", "WIDTH_MS"},
      {"pulse 0 10 99999999999999999999 5", "PERIOD_MS"},
  };
  for (const auto& r : rows) {
    Command c;
    std::string error;
    EXPECT_FALSE(ParseCommand(r.line, &c, &error)) << r.line;
    EXPECT_NE(error.find(r.error_part), std::string::npos) << r.line << " -> " << error;
  }
}

}  // namespace
