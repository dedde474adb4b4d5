// The firmware process on a bare simulated root: start-up lines, the
// configuration file made on the first start and replaced from the card on
// the next, and the command-line forms.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/firmware_process.h"

namespace {

using testsupport::BuiltProgram;
using testsupport::ChildProcess;
using testsupport::TempDir;

class FirmwareStart : public ::testing::Test {
 protected:
  void SetUp() override {
    root_.Write("APP/.keep", "");
    root_.Write("media/card/.keep", "");
    root_.Write("sim/.keep", "");
    // The fourteen lines, exported as the simulated board leaves them.
    for (int gpio : {27, 26, 28, 30, 7, 5, 80, 29, 4, 25, 6, 92, 77, 0}) {
      std::string dir = "sys/class/gpio/gpio" + std::to_string(gpio) + "/";
      root_.Write(dir + "value", "0");
      root_.Write(dir + "direction", "in");
      root_.Write(dir + "active_low", "0");
    }
  }

  std::unique_ptr<ChildProcess> Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--root", root_.path(), "--sim"};
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<ChildProcess>(BuiltProgram("qrv806"), args,
                                          root_.path() + "/console" + std::to_string(++runs_) + ".txt");
  }

  static size_t CountLines(const std::string& text) {
    size_t n = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i)
      if (text[i] == '\r' && text[i + 1] == '\n') ++n;
    return n;
  }

  TempDir root_;
  int runs_ = 0;
};

TEST_F(FirmwareStart, FirstStartWritesFactoryFileAndNextStartReadsAnUpdate) {
  {
    auto fw = Start();
    ASSERT_TRUE(fw->WaitForOutput(">Initial parameters failed, set default value.\r\n")) << fw->Output();
    ASSERT_TRUE(fw->WaitForOutput("[thread_sms_buffer is start]")) << fw->Output();
    std::string out = fw->Output();
    EXPECT_EQ(out.rfind("-- ORVEL_v1.2.4 20210713 --\r\n", 0), 0u) << out;
    EXPECT_NE(out.find("RTC main Time= "), std::string::npos);
    EXPECT_EQ(out.find("Go to Utility mode"), std::string::npos);
  }
  std::string file = root_.Read("APP/config.ini");
  const std::string from = "cMachineID=QRV-806XK\r\n";
  ASSERT_EQ(file.rfind(from, 0), 0u);

  // The next start takes a changed copy from the card's update folder and
  // reads it in the same start.
  const std::string changed = "cMachineID=Plant-7\r\n" + file.substr(from.size());
  root_.Write("media/card/update/config.ini", changed);
  auto fw = Start();
  ASSERT_TRUE(fw->WaitForOutput(">Initial parameters success.\r\n")) << fw->Output();
  EXPECT_NE(fw->Output().find(">Got the new config.ini!!\r\n"), std::string::npos);
  EXPECT_EQ(root_.Read("APP/config.ini"), changed);
  EXPECT_EQ(root_.Read("media/card/update/config.ini.bck"), file);
  EXPECT_FALSE(root_.Exists("media/card/update/config.ini"));
}

TEST_F(FirmwareStart, ResetConfigReplacesTheFileWithFactoryValues) {
  root_.Write("APP/config.ini", "cMachineID=Plant-7\r\n");
  root_.Write("APP/config.ini.refused", "cMachineID=earlier\r\n");
  auto fw = Start({"-resetconfig"});
  ASSERT_TRUE(fw->WaitForOutput(">Initial parameters failed, set default value.\r\n")) << fw->Output();
  std::string out = fw->Output();
  EXPECT_NE(out.find("reset config, and save it.\r\n"), std::string::npos);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return CountLines(root_.Read("APP/config.ini")) == 1037; }));
  EXPECT_EQ(root_.Read("APP/config.ini").rfind("cMachineID=QRV-806XK\r\n", 0), 0u);
  // The legacy file the option wrote is refused as specified, but no copy
  // of it is kept: an earlier refused file stays as it was.
  EXPECT_NE(out.find(">Unknown title 'COMDATA1', 'cMachineID' expected!!\r\n"), std::string::npos) << out;
  EXPECT_EQ(root_.Read("APP/config.ini.refused"), "cMachineID=earlier\r\n");
}

TEST_F(FirmwareStart, DateAndTimeArgumentsSetTheSimulatedClock) {
  auto fw = Start({"2031-05-04", "10:20:30"});
  ASSERT_TRUE(fw->WaitForOutput("RTC Time= ")) << fw->Output();
  std::string out = fw->Output();
  EXPECT_NE(out.find("cmd: date -s \"2031-05-04 10:20:30\"\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("had set system time: 0\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("before RTC Time= 2031-05-04 10:20:"), std::string::npos) << out;
  // The host clock is never touched: the offset is kept for the next start.
  EXPECT_NE(root_.Read("sim/clock"), "");
}

// A power cut during a save leaves its temporary copy; the next start
// removes it, says so, and reads the whole file the save left.
TEST_F(FirmwareStart, LeftoversOfAnInterruptedSaveAreRemovedAtStart) {
  {
    auto fw = Start();
    ASSERT_TRUE(fw->WaitForOutput("[thread_sms_buffer is start]")) << fw->Output();
  }
  const std::string config = root_.Read("APP/config.ini");
  root_.Write("APP/config.ini.tmp.999999999.3", config.substr(0, 100));
  root_.Write("APP/CTStatus.ini.tmp.999999999.4", "");
  root_.Write("sim/clock.tmp.999999999.5", "12");
  auto fw = Start();
  ASSERT_TRUE(fw->WaitForOutput(">Initial parameters success.\r\n")) << fw->Output();
  EXPECT_NE(fw->Output().find(">Removed 3 leftover temporary file(s) of an interrupted save\r\n"), std::string::npos)
      << fw->Output();
  EXPECT_FALSE(root_.Exists("APP/config.ini.tmp.999999999.3"));
  EXPECT_FALSE(root_.Exists("APP/CTStatus.ini.tmp.999999999.4"));
  EXPECT_FALSE(root_.Exists("sim/clock.tmp.999999999.5"));
  EXPECT_EQ(root_.Read("APP/config.ini"), config);
}

// A stop (SIGTERM from the init script or systemd) gives the QMI clients
// back before the process ends by the signal, as before.
TEST_F(FirmwareStart, StopSignalReleasesTheQmiClientsFirst) {
  auto fw = Start();
  ASSERT_TRUE(fw->WaitForOutput("[thread_net is start]")) << fw->Output();
  EXPECT_EQ(fw->Stop(), 128 + SIGTERM);
  // Other threads may print between the two lines.
  const std::string out = fw->Output();
  const size_t stopping = out.find(">Terminated: stopping\r\n");
  ASSERT_NE(stopping, std::string::npos) << out;
  EXPECT_NE(out.find("QMI clients released: 0\n", stopping), std::string::npos) << out;

  auto refused = Start({"--qmi-device", "qrtr:x"});
  EXPECT_EQ(refused->WaitForExit(std::chrono::seconds(30)), 2) << refused->Output();
}

}  // namespace
