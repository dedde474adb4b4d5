#include "app/launch_options.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "app/status_loop.h"

namespace {

LaunchOptions Parse(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  return ParseLaunchOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(LaunchOptions, BoardOptionsAreTakenOffFirst) {
  struct Row {
    std::vector<std::string> argv;
    std::string root;
    bool sim;
    std::vector<std::string> rest;
  };
  const Row rows[] = {
      {{"qrv806", "--root", "/tmp/r", "--sim"}, "/tmp/r", true, {"qrv806"}},
      {{"qrv806", "--sim", "--root=/x", "-resetconfig"}, "/x", true, {"qrv806", "-resetconfig"}},
      // Only before the device's own arguments: later ones are left to it.
      {{"qrv806", "-resetconfig", "--sim"}, "", false, {"qrv806", "-resetconfig", "--sim"}},
  };
  for (const auto& r : rows) {
    LaunchOptions o = Parse(r.argv);
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.root, r.root);
    EXPECT_EQ(o.simulated, r.sim);
    EXPECT_EQ(o.args, r.rest);
  }
  EXPECT_FALSE(Parse({"qrv806", "--root"}).error.empty());  // no folder
}

TEST(LaunchOptions, DateAndTimeForms) {
  const std::tuple<const char*, const char*, const char*> rows[] = {  // date, time, as read (nullptr: refused)
      {"2021-07-13", "08:15:30", "2021-07-13 08:15:30"}, {"2021/07/13", "08:15", "2021-07-13 08:15:00"},
      {"20240229", "23:59:60", "2024-02-29 23:59:60"},   {"2023-02-29", "00:00:00", nullptr},
      {"2021-13-01", "00:00:00", nullptr},               {"2021-07-13", "24:00:00", nullptr},
      {"2021-07-13", "8", nullptr},                      {"2021-07-13", "08:15:30:00", nullptr},
      {"", "", nullptr},
  };
  for (const auto& [date, time, read] : rows) {
    struct tm t {};
    char text[32] = "";
    EXPECT_EQ(ParseDateTimeArgs(date, time, &t), read != nullptr) << date << " " << time;
    if (read) {
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
      EXPECT_STREQ(text, read);
    }
  }
}

// A SIM waiting for its PIN overrides a data call that is up (each pattern
// on its own: the modem end-to-end test).
TEST(StatusLed, PinWaitOverridesEverything) { EXPECT_EQ(DeriveStatusLedStep(1, 0, 1), 4); }

}  // namespace
