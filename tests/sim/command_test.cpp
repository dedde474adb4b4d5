// The control command line; what each command does is checked through the board.
#include "sim/control/command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using sim::Command;
using sim::ParseCommand;

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
      {"sd fill", "usage: sd"},
      {"clock jump 1d", "no jump"},
      {"clock jump +315576001", "at most ten years"},
      {"clock set +5", "usage: clock jump"},
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
