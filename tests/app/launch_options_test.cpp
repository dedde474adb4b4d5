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
    std::string qmi_path;
    int qrtr_node;
    std::vector<std::string> rest;
  };
  const Row rows[] = {
      {{"qrv806", "--root", "/tmp/r", "--sim"}, "/tmp/r", true, "/dev/cdc-wdm0", -1, {"qrv806"}},
      {{"qrv806", "--sim", "--root=/x", "-resetconfig"}, "/x", true, "/dev/cdc-wdm0", -1, {"qrv806", "-resetconfig"}},
      {{"qrv806", "--qmi-device", "/dev/cdc-wdm1", "2021-07-13", "08:15"}, "", false, "/dev/cdc-wdm1", -1,
       {"qrv806", "2021-07-13", "08:15"}},
      {{"qrv806", "--qmi-device=qrtr:0"}, "", false, "qrtr:0", 0, {"qrv806"}},
      {{"qrv806", "--qmi-device", "qrtr:65535"}, "", false, "qrtr:65535", 65535, {"qrv806"}},
      // Only before the device's own arguments: later ones are left to it.
      {{"qrv806", "-resetconfig", "--sim"}, "", false, "/dev/cdc-wdm0", -1, {"qrv806", "-resetconfig", "--sim"}},
  };
  for (const auto& r : rows) {
    LaunchOptions o = Parse(r.argv);
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.root, r.root);
    EXPECT_EQ(o.simulated, r.sim);
    EXPECT_EQ(o.qmi_device.path, r.qmi_path);
    EXPECT_EQ(o.qmi_device.qrtr_node, r.qrtr_node);
    EXPECT_EQ(o.args, r.rest);
  }
  // Malformed board options are refused with a reason, never half taken.
  const std::vector<std::string> refused[] = {
      {"qrv806", "--root"},  // no folder
      {"qrv806", "--qmi-device"},
      {"qrv806", "--qmi-device", "cdc-wdm0"},  // not absolute
      {"qrv806", "--qmi-device", "qrtr:"},
      {"qrv806", "--qmi-device", "qrtr:65536"},
      {"qrv806", "--qmi-device", "qrtr:-1"},
      {"qrv806", "--qmi-device=qrtr:1x"},
      {"qrv806", "--qmi-device", "/dev/" + std::string(300, 'x')},
  };
  for (const auto& argv : refused) EXPECT_FALSE(Parse(argv).error.empty()) << argv.back();
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
