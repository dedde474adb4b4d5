#include "app/launch_options.h"

#include <gtest/gtest.h>

#include <string>
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
      {{"qrv806"}, "", false, {"qrv806"}},
      {{"qrv806", "--root", "/tmp/r", "--sim"}, "/tmp/r", true, {"qrv806"}},
      {{"qrv806", "--sim", "--root=/x", "-resetconfig"}, "/x", true, {"qrv806", "-resetconfig"}},
      {{"qrv806", "--root", "/r", "2021-07-13", "12:00:00"}, "/r", false, {"qrv806", "2021-07-13", "12:00:00"}},
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
}

TEST(LaunchOptions, RootWithoutFolderIsAnError) {
  EXPECT_FALSE(Parse({"qrv806", "--root"}).error.empty());
}

TEST(LaunchOptions, DateAndTimeForms) {
  struct Row {
    const char* date;
    const char* time;
    bool ok;
    int year, mon, mday, hour, min, sec;
  };
  const Row rows[] = {
      {"2021-07-13", "08:15:30", true, 2021, 7, 13, 8, 15, 30},
      {"2021/07/13", "08:15", true, 2021, 7, 13, 8, 15, 0},
      {"20240229", "23:59:60", true, 2024, 2, 29, 23, 59, 60},
      {"2023-02-29", "00:00:00", false, 0, 0, 0, 0, 0, 0},
      {"2021-13-01", "00:00:00", false, 0, 0, 0, 0, 0, 0},
      {"2021-07-13", "24:00:00", false, 0, 0, 0, 0, 0, 0},
      {"2021-07-13", "8", false, 0, 0, 0, 0, 0, 0},
      {"yesterday", "noon", false, 0, 0, 0, 0, 0, 0},
      {"2021-07-13", "08:15:30:00", false, 0, 0, 0, 0, 0, 0},
      {"", "", false, 0, 0, 0, 0, 0, 0},
  };
  for (const auto& r : rows) {
    struct tm t {};
    bool ok = ParseDateTimeArgs(r.date, r.time, &t);
    EXPECT_EQ(ok, r.ok) << r.date << " " << r.time;
    if (!ok || !r.ok) continue;
    EXPECT_EQ(t.tm_year + 1900, r.year);
    EXPECT_EQ(t.tm_mon + 1, r.mon);
    EXPECT_EQ(t.tm_mday, r.mday);
    EXPECT_EQ(t.tm_hour, r.hour);
    EXPECT_EQ(t.tm_min, r.min);
    EXPECT_EQ(t.tm_sec, r.sec);
  }
}

TEST(StatusLed, PatternByFirstRuleThatHolds) {
  struct Row {
    int32_t cpin, net, creg, step;
  };
  const Row rows[] = {
      {1, 0, 1, 4},   // a SIM waiting for its PIN overrides everything
      {0, 0, 0, 2},   // data call up
      {0, -1, 1, 1},  // registered home
      {2, -1, 5, 1},  // roaming
      {0, -1, 2, 0},  // searching
      {0, 5, 0, 0},   // dial-up failed, not registered
  };
  for (const auto& r : rows) EXPECT_EQ(DeriveStatusLedStep(r.cpin, r.net, r.creg), r.step);
}

}  // namespace
