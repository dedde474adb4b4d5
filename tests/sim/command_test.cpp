// The control command line; what each command does is checked through the board.
#include "sim/command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using sim::Command;
using sim::CommandKind;
using sim::ParseCommand;

TEST(SimCommand, WellFormedCommands) {
  Command c;
  std::string error;
  ASSERT_TRUE(ParseCommand("  di\t2   on \r", &c, &error)) << error;
  EXPECT_EQ(c.kind, CommandKind::kDi);
  EXPECT_EQ(c.index, 2);
  EXPECT_TRUE(c.on);
  ASSERT_TRUE(ParseCommand("pulse 4 1000000 3600000 1", &c, &error));
  EXPECT_EQ(std::vector<int>({c.index, c.count, c.period_ms, c.width_ms}),
            std::vector<int>({4, 1000000, 3600000, 1}));
  ASSERT_TRUE(ParseCommand("rtc set 2099-12-31 23:59:58", &c, &error));
  EXPECT_EQ(std::vector<int>({c.time.tm_year, c.time.tm_mon, c.time.tm_mday, c.time.tm_hour, c.time.tm_sec}),
            std::vector<int>({199, 11, 31, 23, 58}));
  // The module's commands go to the modem model whatever their words, the
  // line kept whole for texts with spaces.
  ASSERT_TRUE(ParseCommand("sms from 123 two  spaces", &c, &error));
  EXPECT_EQ(c.kind, CommandKind::kModem);
  EXPECT_EQ(c.line, "sms from 123 two  spaces");
}

TEST(SimCommand, RefusedWithAReason) {
  const std::pair<const char*, const char*> rows[] = {
      {"   ", "empty command"},
      {"dance", "unknown command 'dance'"},
      {"di 5 on", "inputs are 0 to 4"},
      {"ai 4 1.0", "inputs are 0 to 3"},
      {"ai 0 2.5V", "not a voltage"},
      {"ai 0 1e300", "not a voltage"},
      {"rtc set 2023-02-29 00:00:00", "not a time the RTC holds"},
      {"rtc set 2024-01-01", "usage: rtc"},
      {"sd use 101", "from 0 to 100"},
      {"qmi sideways", "usage: qmi"},
      {"pulse 0 1000001 100 50", "COUNT"},
      {"pulse 0 10 100 100", "WIDTH_MS"},
      {"pulse 0 10 99999999999999999999 5", "PERIOD_MS"},
  };
  for (const auto& [line, part] : rows) {
    Command c;
    std::string error;
    EXPECT_FALSE(ParseCommand(line, &c, &error)) << line;
    EXPECT_NE(error.find(part), std::string::npos) << line << " -> " << error;
  }
}

}  // namespace
