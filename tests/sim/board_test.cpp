// The simulated board behind `ctl`: its root folder, the services the
// commands drive, the state report and pulses (the watch on the firmware's
// LED lines is shown end to end).
#include "sim/board.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/board_files.h"
#include "sim/sim7100_model.h"
#include "support/firmware_process.h"

namespace {

std::string Read(const std::string& path) {
  std::string text;
  sim::ReadFile(path, &text);
  return text;
}

class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(root_.Layout(false), ""); }

  sim::Reply Run(const std::string& line, int64_t now_us = 0) {
    sim::Command c;
    std::string error;
    if (!sim::ParseCommand(line, &c, &error)) return sim::Reply::Error(error);
    return board_.Execute(c, now_us);
  }
  std::string File(const std::string& path) { return Read(root_.Path(path)); }

  testsupport::TempDir dir_;
  sim::BoardRoot root_{dir_.path()};
  sim::Sim7100Model modem_;
  sim::Board board_{root_, modem_};
};

TEST_F(BoardTest, LayoutOfAFreshRootAndOfAKeptOne) {
  for (const char* d : {"/APP", "/media/card", "/var", "/dev", "/sim/ai"}) EXPECT_TRUE(sim::IsDirectory(root_.Path(d))) << d;
  EXPECT_TRUE(sim::Exists(root_.Path("/sys/class/gpio/export")));
  // The pin map: five active-low inputs, two more inputs, then the outputs;
  // inputs inactive, outputs off.
  const int pins[] = {27, 26, 28, 30, 7, 5, 80, 29, 4, 25, 6, 92, 77, 0};
  for (int i = 0; i < 14; ++i) {
    const std::string gpio = "/sys/class/gpio/gpio" + std::to_string(pins[i]) + "/";
    EXPECT_EQ(File(gpio + "direction") + File(gpio + "active_low") + File(gpio + "value"),
              std::string(i < 7 ? "in\n" : "out\n") + (i < 5 ? "1\n" : "0\n") + "0\n") << pins[i];
  }
  EXPECT_EQ(Read(root_.AiPath(3)), "0\n");
  EXPECT_EQ(File("/sim/qmi"), "up\n");
  EXPECT_FALSE(sim::Exists(root_.Path("/sim/rtc")));  // no file: the host's local time
  // The firmware writes "1" and its terminating zero over the old value.
  ASSERT_TRUE(sim::ReplaceFile(root_.GpioValuePath(77), std::string("1\0", 2)));
  EXPECT_TRUE(root_.ReadLine(77));
  EXPECT_FALSE(root_.ReadLine(1234));  // no such line

  // A kept root keeps its settings and files; the lines power up anew.
  ASSERT_TRUE(sim::ReplaceFile(root_.AiPath(2), "3.3\n"));
  ASSERT_TRUE(sim::ReplaceFile(root_.Path("/APP/config.ini"), "kept\r\n"));
  ASSERT_TRUE(root_.WriteLine(27, true));  // DI0 left active
  ASSERT_TRUE(root_.WriteLine(29, true));  // DO0 left on
  ASSERT_EQ(root_.Layout(true), "");
  EXPECT_EQ(Read(root_.AiPath(2)), "3.3\n");
  EXPECT_EQ(File("/APP/config.ini"), "kept\r\n");
  EXPECT_FALSE(root_.ReadLine(27));
  EXPECT_FALSE(root_.ReadLine(29));
  EXPECT_TRUE(root_.ReadLine(5));  // init pin held for utility mode
}

TEST_F(BoardTest, StateReport) {
  Run("di 1 on");
  Run("ai 2 2.5");
  Run("sd use 42");
  Run("qmi fail");
  ASSERT_TRUE(root_.WriteLine(4, true));  // the firmware switched DO1 on
  board_.SetFirmwareInfo({true, 4321, 2});
  // The status LED blinks 900/100; the GPS LED was seen on only.
  for (int64_t t : {0, 100000, 1000000, 1100000}) board_.OnLineChange(77, t % 1000000 != 0, t);
  board_.OnLineChange(92, true, 0);

  std::string json = board_.State(1150000).Dump(false);
  for (const char* part : {
           R"("firmware":{"running":true,"pid":4321,"starts":2})", R"("di":[0,1,0,0,0])",
           R"("pulses_left":[0,0,0,0,0])", R"("init_pin":0,"jig":false,"do":[0,1])",
           R"("status":{"on":true,"blinking":true,"on_ms":900,"off_ms":100,"for_ms":50})",
           R"("gps":{"on":true,"blinking":false,"on_ms":null,"off_ms":null,"for_ms":1150})", R"("ai":[0,0,2.5,0])",
           R"("sim":"ready","registration":"home","signal":22,"gps":"off")",
           R"("store":{"used":0,"total":50,"messages":[]})", R"("sd":{"present":true,"use":42,"use_fixed":true})",
           R"("qmi":"fail")", R"("modem":{"model":"SIMCOM_SIM7100C")"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\nin " << json;
  }
  Run("sd remove");
  board_.SetFirmwareInfo({false, 0, 2});
  json = board_.State(1150000).Dump(false);
  EXPECT_NE(json.find(R"("firmware":{"running":false,"pid":null,"starts":2})"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("present":false)"), std::string::npos) << json;
}

TEST_F(BoardTest, PulsesDriveTheInputOnTime) {
  EXPECT_EQ(Run("pulse 2 2 100 40", 5000).text, "DI2: 2 pulses of 40 ms every 100 ms");
  EXPECT_TRUE(root_.ReadLine(28));  // the first pulse begins at once
  for (auto [at, level] : {std::pair<int64_t, bool>{44999, true}, {45000, false}, {105000, true}, {145000, false}}) {
    board_.RunTimers(at);
    EXPECT_EQ(root_.ReadLine(28), level) << at;
  }
  EXPECT_EQ(board_.NextTimerUs(), -1);
  // The host was busy for 25 ms: the edges due meanwhile come one per
  // visit, each phase at least half its length, and no pulse is lost.
  Run("pulse 2 3 10 4", 300000);
  board_.RunTimers(325000);
  EXPECT_FALSE(root_.ReadLine(28));
  EXPECT_EQ(board_.NextTimerUs(), 328000);
  EXPECT_NE(board_.State(325000).Dump(false).find(R"("pulses_left":[0,0,2,0,0])"), std::string::npos);
}

}  // namespace
