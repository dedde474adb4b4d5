#include "sim/board.h"

#include <poll.h>

#include <gtest/gtest.h>

#include <string>

#include "sim/board_files.h"
#include "sim/gpio_watch.h"
#include "sim/sd_card.h"
#include "sim/sim7100_model.h"
#include "support/firmware_process.h"

namespace {

using sim::BoardRoot;

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
  std::string GpioFile(int gpio, const char* name) {
    return Read(root_.Path("/sys/class/gpio/gpio" + std::to_string(gpio) + "/" + name));
  }
  void ExpectInputs(bool level) {
    for (int gpio : {27, 26, 28, 30, 7}) EXPECT_EQ(root_.ReadLine(gpio), level) << gpio;
  }

  testsupport::TempDir dir_;
  BoardRoot root_{dir_.path()};
  sim::Sim7100Model modem_;
  sim::Board board_{root_, modem_};
};

TEST_F(BoardTest, LayoutOfAFreshRoot) {
  for (const char* d : {"/APP", "/media/card", "/var", "/dev", "/sim/ai"}) EXPECT_TRUE(sim::IsDirectory(root_.Path(d))) << d;
  EXPECT_TRUE(sim::Exists(root_.Path("/sys/class/gpio/export")));
  // The pin map: gpio, direction, active_low.
  struct Row {
    int gpio;
    const char* direction;
    const char* active_low;
  };
  const Row rows[] = {{27, "in\n", "1\n"},  {26, "in\n", "1\n"},  {28, "in\n", "1\n"},  {30, "in\n", "1\n"},
                      {7, "in\n", "1\n"},   {5, "in\n", "0\n"},   {80, "in\n", "0\n"},  {29, "out\n", "0\n"},
                      {4, "out\n", "0\n"},  {25, "out\n", "0\n"}, {6, "out\n", "0\n"},  {92, "out\n", "0\n"},
                      {77, "out\n", "0\n"}, {0, "out\n", "0\n"}};
  for (const auto& r : rows) {
    EXPECT_EQ(GpioFile(r.gpio, "direction"), r.direction) << r.gpio;
    EXPECT_EQ(GpioFile(r.gpio, "active_low"), r.active_low) << r.gpio;
    EXPECT_EQ(GpioFile(r.gpio, "value"), "0\n") << r.gpio;  // inputs inactive, outputs off
  }
  for (int n = 0; n < 4; ++n) EXPECT_EQ(Read(root_.AiPath(n)), "0\n");
  EXPECT_EQ(Read(root_.Path("/sim/qmi")), "up\n");
  EXPECT_FALSE(sim::Exists(root_.Path("/sim/rtc")));  // no file: the host's local time

  // The firmware writes "1" and its terminating zero over the old value.
  ASSERT_TRUE(sim::ReplaceFile(root_.GpioValuePath(77), std::string("1\0", 2)));
  EXPECT_TRUE(root_.ReadLine(77));
  ASSERT_TRUE(sim::ReplaceFile(root_.GpioValuePath(77), ""));
  EXPECT_FALSE(root_.ReadLine(77));
  EXPECT_FALSE(root_.ReadLine(1234));  // no such line
}

TEST_F(BoardTest, KeptRootKeepsSettingsAndPowersUpTheLines) {
  ASSERT_TRUE(sim::ReplaceFile(root_.AiPath(2), "3.3\n"));
  ASSERT_TRUE(sim::ReplaceFile(root_.Path("/sim/qmi"), "fail\n"));
  ASSERT_TRUE(sim::ReplaceFile(root_.Path("/APP/config.ini"), "kept\r\n"));
  ASSERT_TRUE(root_.WriteLine(27, true));  // DI0 left active
  ASSERT_TRUE(root_.WriteLine(29, true));  // DO0 left on

  ASSERT_EQ(root_.Layout(true), "");
  EXPECT_EQ(Read(root_.AiPath(2)), "3.3\n");
  EXPECT_EQ(Read(root_.Path("/sim/qmi")), "fail\n");
  EXPECT_EQ(Read(root_.Path("/APP/config.ini")), "kept\r\n");
  EXPECT_FALSE(root_.ReadLine(27));
  EXPECT_FALSE(root_.ReadLine(29));
  EXPECT_TRUE(root_.ReadLine(5));  // init pin held for utility mode
}

TEST_F(BoardTest, InputsAnalogAndServices) {
  EXPECT_EQ(Run("di 3 on").text, "DI3 on (line low)");
  EXPECT_EQ(GpioFile(30, "value"), "1\n");  // active-low: a low line reads 1
  EXPECT_EQ(Run("di 3 off").text, "DI3 off (line high)");
  EXPECT_EQ(GpioFile(30, "value"), "0\n");

  EXPECT_EQ(Run("initpin on").ok, true);
  EXPECT_EQ(GpioFile(5, "value"), "1\n");

  EXPECT_EQ(Run("ai 1 -2.50").text, "AI1 = -2.5 V");
  EXPECT_EQ(Read(root_.AiPath(1)), "-2.5\n");

  EXPECT_EQ(Run("qmi down").text, "QMI down");
  EXPECT_EQ(Read(root_.Path("/sim/qmi")), "down\n");

  EXPECT_EQ(Run("rtc set 2030-01-02 03:04:05").text, "RTC set to 2030-01-02 03:04:05");
  sim::Reply rtc = Run("rtc get");
  EXPECT_TRUE(rtc.ok);
  EXPECT_NE(rtc.text.find("\"time\": \"2030-01-02 03:04:0"), std::string::npos) << rtc.text;
  EXPECT_NE(rtc.text.find("\"weekday\": 3"), std::string::npos) << rtc.text;

  // Module commands go to the modem model.
  EXPECT_EQ(Run("csq 20").text, "signal 20");
  EXPECT_FALSE(Run("csq 40").ok);
}

TEST_F(BoardTest, StateReport) {
  Run("di 1 on");
  Run("ai 2 2.5");
  Run("sd use 42");
  Run("qmi fail");
  ASSERT_TRUE(root_.WriteLine(4, true));  // the firmware switched DO1 on
  board_.SetFirmwareInfo({true, 4321, 2});
  // The status LED blinks 900/100; the GPS LED was seen on only.
  board_.OnLineChange(77, false, 0);
  board_.OnLineChange(77, true, 100000);
  board_.OnLineChange(77, false, 1000000);
  board_.OnLineChange(77, true, 1100000);
  board_.OnLineChange(92, true, 0);

  std::string json = board_.State(1150000).Dump(false);
  const char* parts[] = {
      R"("firmware":{"running":true,"pid":4321,"starts":2})",
      R"("di":[0,1,0,0,0])",
      R"("pulses_left":[0,0,0,0,0])",
      R"("init_pin":0,"jig":false,"do":[0,1])",
      R"("status":{"on":true,"blinking":true,"on_ms":900,"off_ms":100,"for_ms":50})",
      R"("gps":{"on":true,"blinking":false,"on_ms":null,"off_ms":null,"for_ms":1150})",
      R"("ai":[0,0,2.5,0])",
      R"("sim":"ready","registration":"home","signal":22,"gps":"off")",
      R"("store":{"used":0,"total":50,"messages":[]})",
      R"("sd":{"present":true,"use":42,"use_fixed":true})",
      R"("qmi":"fail")",
      R"("modem":{"model":"SIMCOM_SIM7100C")",
  };
  for (const char* p : parts) EXPECT_NE(json.find(p), std::string::npos) << p << "\nin " << json;

  Run("sd remove");
  board_.SetFirmwareInfo({false, 0, 2});
  json = board_.State(1150000).Dump(false);
  EXPECT_NE(json.find(R"("firmware":{"running":false,"pid":null,"starts":2})"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("present":false)"), std::string::npos) << json;
}

TEST_F(BoardTest, SdCardRemovedAndInsertedKeepsBothSetsOfFiles) {
  sim::SdCard sd(root_);
  auto card = [&](const std::string& name) { return root_.Path("/media/card/" + name); };
  // An empty card comes and goes too.
  EXPECT_EQ(Run("sd remove").text, "card removed");
  EXPECT_EQ(Run("sd insert").text, "card inserted");
  ASSERT_TRUE(sim::MakeDirs(card("USR_LOG")));
  ASSERT_TRUE(sim::ReplaceFile(card("USR_LOG/20240101.txt"), "log\r\n"));
  ASSERT_TRUE(sim::ReplaceFile(card("alarm.wav"), "RIFF"));
  EXPECT_TRUE(sd.present());

  ASSERT_TRUE(Run("sd remove").ok);
  EXPECT_FALSE(sd.present());
  EXPECT_TRUE(sim::Exists(root_.Path("/sim/sd-removed")));
  EXPECT_TRUE(sim::IsDirectory(root_.Path("/media/card")));  // the bare mount point
  EXPECT_FALSE(sim::Exists(card("alarm.wav")));
  EXPECT_EQ(Run("sd remove").text, "the card is already out");

  // Written to the mount point while no card is there.
  ASSERT_TRUE(sim::ReplaceFile(card("stray.txt"), "x"));

  ASSERT_TRUE(Run("sd insert").ok);
  EXPECT_TRUE(sd.present());
  EXPECT_EQ(Read(card("USR_LOG/20240101.txt")), "log\r\n");
  EXPECT_TRUE(sim::Exists(card("alarm.wav")));
  EXPECT_FALSE(sim::Exists(card("stray.txt")));  // hidden under the card
  EXPECT_EQ(Run("sd insert").text, "the card is already in");

  // Out again: the stray file is back on the bare mount point.
  ASSERT_TRUE(Run("sd remove").ok);
  EXPECT_TRUE(sim::Exists(card("stray.txt")));
  EXPECT_FALSE(sim::Exists(card("alarm.wav")));
  ASSERT_TRUE(Run("sd insert").ok);
  EXPECT_TRUE(sim::Exists(card("alarm.wav")));

  // The use the firmware sees: the host's, until it is fixed.
  EXPECT_FALSE(sd.use_fixed());
  EXPECT_GE(sd.UsePercent(), 0);
  EXPECT_LE(sd.UsePercent(), 100);
  EXPECT_EQ(Run("sd use 87").text, "card use 87 %");
  EXPECT_TRUE(sd.use_fixed());
  EXPECT_EQ(sd.UsePercent(), 87);
  EXPECT_EQ(Read(root_.Path("/sim/sd-use")), "87\n");
  EXPECT_NE(sd.SetUse(101), "");
  EXPECT_EQ(sd.UsePercent(), 87);
}

TEST_F(BoardTest, PulsesDriveTheInputOnTime) {
  EXPECT_EQ(Run("pulse 2 2 100 40", 5000).text, "DI2: 2 pulses of 40 ms every 100 ms");
  EXPECT_TRUE(root_.ReadLine(28));  // the first pulse begins at once
  EXPECT_EQ(board_.NextTimerUs(), 45000);
  board_.RunTimers(44999);
  EXPECT_TRUE(root_.ReadLine(28));
  board_.RunTimers(45000);
  EXPECT_FALSE(root_.ReadLine(28));
  board_.RunTimers(105000);
  EXPECT_TRUE(root_.ReadLine(28));
  board_.RunTimers(145000);
  EXPECT_FALSE(root_.ReadLine(28));
  EXPECT_EQ(board_.NextTimerUs(), -1);

  // A `di` stops a train on that input.
  Run("pulse 2 5 100 40", 200000);
  Run("di 2 off", 210000);
  EXPECT_EQ(board_.NextTimerUs(), -1);
  EXPECT_FALSE(root_.ReadLine(28));

  // The host was busy for 25 ms: the edges due meanwhile come one per
  // visit, each phase at least half its length, and no pulse is lost.
  Run("pulse 2 3 10 4", 300000);
  board_.RunTimers(325000);
  EXPECT_FALSE(root_.ReadLine(28));
  EXPECT_EQ(board_.NextTimerUs(), 328000);
  EXPECT_NE(board_.State(325000).Dump(false).find(R"("pulses_left":[0,0,2,0,0])"), std::string::npos);
  board_.RunTimers(328000);
  EXPECT_TRUE(root_.ReadLine(28));
  EXPECT_EQ(board_.NextTimerUs(), 332000);  // back to full length
}

TEST_F(BoardTest, JigLoopsOutputsBackToEveryInput) {
  Run("di 0 on");
  EXPECT_EQ(Run("jig on").text, "jig on: every DI follows DO0 or DO1");
  ExpectInputs(false);
  board_.OnLineChange(29, true, 0);  // DO0 on
  ExpectInputs(true);
  board_.OnLineChange(4, true, 0);   // and DO1
  board_.OnLineChange(29, false, 0);
  ExpectInputs(true);
  board_.OnLineChange(4, false, 0);
  ExpectInputs(false);

  EXPECT_FALSE(Run("di 1 on").ok);
  EXPECT_FALSE(Run("pulse 1 1 10 5").ok);
  board_.OnLineChange(29, true, 0);
  // Off the jig the inputs return to the levels set for them.
  Run("jig off");
  EXPECT_TRUE(root_.ReadLine(27));
  for (int gpio : {26, 28, 30, 7}) EXPECT_FALSE(root_.ReadLine(gpio)) << gpio;
}

TEST_F(BoardTest, GpioWatchSeesTheFirmwaresWrites) {
  sim::GpioWatch watch(root_, {77, 92, 29});
  std::string error;
  ASSERT_TRUE(watch.Start(&error)) << error;
  EXPECT_EQ(watch.TakeChanges().size(), 3u);  // every line once, at its present level

  // Written as the firmware does: open the value file, write, close.
  auto firmware_writes = [&](int gpio, const char* v) {
    FILE* f = fopen(root_.GpioValuePath(gpio).c_str(), "r+");
    ASSERT_NE(f, nullptr);
    fwrite(v, 1, 2, f);
    fclose(f);
  };
  firmware_writes(77, "1");
  firmware_writes(29, "0");  // same level again: no change to report
  pollfd p{watch.fd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 5000), 1);
  auto changes = watch.TakeChanges();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].gpio, 77);
  EXPECT_TRUE(changes[0].level);

  // A file replaced by a rename is still watched.
  ASSERT_TRUE(sim::ReplaceFile(root_.GpioValuePath(92), "1\n"));
  ASSERT_EQ(poll(&p, 1, 5000), 1);
  changes = watch.TakeChanges();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].gpio, 92);
  EXPECT_EQ(poll(&p, 1, 0), 0);  // nothing left over
}

}  // namespace
