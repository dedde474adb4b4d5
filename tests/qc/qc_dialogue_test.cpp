// The dialogue on its port: frames taken by the command port's rule, the
// replies written back (nothing for silent commands and empty frames), and
// qc_test's start and end.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>

#include "config/side_files.h"
#include "qc/qc_dialogue.h"
#include "qc/qc_test.h"
#include "qc_test_env.h"
#include "support/firmware_process.h"

namespace qctest {

class QcPortTest : public QcTest {
 protected:
  void SetUp() override {
    QcTest::SetUp();
    // The framing waits for the byte count to hold still on the wall clock.
    platform::InstallClock(std::make_unique<platform::SimulatedClock>(platform::Path("/sim/clock")));
  }
  void Burst(const std::string& bytes) {
    ASSERT_EQ(write(port_[0], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
};

TEST_F(QcPortTest, EachFrameAnsweredOnThePort) {
  const struct {
    std::string burst;
    std::vector<std::string> replies;  // one per frame served
    const char* trace;                 // the console of the first frame, or nullptr
  } rows[] = {
      {"@FWVER\r", {"!FWVER;ORVEL_v1.2.4 20210713\r\n"}, "--> uart1 time-up\r\n"},
      {"@FWVER\r@CSQ\r", {"!FWVER;ORVEL_v1.2.4 20210713\r\n"}, nullptr},  // only the text before the first CR
      {"\r\r", {""}, nullptr},
      {"@DOOFF\r\n", {""}, nullptr},  // silent
      {"@NOPE\r", {"N/A\r\n"}, nullptr},
      {std::string(1500, 'x'), {"N/A\r\n", "N/A\r\n"}, "--> reach uart1_len_max\r\n"},  // 1000 bytes, then 500
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.burst.substr(0, 20));
    Burst(row.burst);
    for (const std::string& reply : row.replies) {
      cmdtest::ConsoleCapture console;
      EXPECT_EQ(QcServeFrame(port_[1], 10000), QcNext::kContinue);
      if (row.trace != nullptr && &reply == &row.replies[0]) {
        EXPECT_EQ(console.Text(), row.trace);
      }
      EXPECT_EQ(cmdtest::Drain(port_[0]), reply);
    }
  }
  Burst("@BREAK\r");
  EXPECT_EQ(QcServeFrame(port_[1], 10000), QcNext::kBreak);
  EXPECT_EQ(QcServeFrame(port_[1], 50), QcNext::kContinue);  // nothing came
}

TEST_F(QcPortTest, QcTestWithoutItsPortReturnsAtOnce) {
  gain = 1.5, offset = 0.5, gain2 = 2.5, offset2 = -0.5;
  cmdtest::ConsoleCapture console;
  EXPECT_EQ(qc_test(0), -1);
  EXPECT_NE(console.Text().find("open qel_uart1 fails\r\n"), std::string::npos);
  EXPECT_EQ(std::vector<double>({gain, offset, gain2, offset2}), std::vector<double>({1.5, 0.5, 2.5, -0.5}));
}

// The station's way through: @QCTEST on the command port (a pty standing for
// the terminal port), some steps, @BREAK. The dialogue works from cleared
// values, yet gain.ini and the values in use change only for a range it
// calibrated.
class QcStationTest : public QcPortTest {
 protected:
  void SetUp() override {
    QcPortTest::SetUp();
    host_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_TRUE(host_ >= 0 && grantpt(host_) == 0 && unlockpt(host_) == 0);
    root_.Write("dev/.keep", "");
    ASSERT_EQ(symlink(ptsname(host_), platform::Path("/dev/ttyHSL3").c_str()), 0);
  }
  void TearDown() override {
    close(host_);
    QcPortTest::TearDown();
  }
  void Frame(const std::string& request) {
    const std::string frame = request + "\r";
    const ssize_t n = write(host_, frame.data(), frame.size());
    EXPECT_EQ(n, static_cast<ssize_t>(frame.size())) << request;
  }
  // The next line from the unit that begins with `prefix` ("" when none
  // came in time); the lines passed over are dropped.
  std::string Line(const std::string& prefix, std::chrono::milliseconds wait) {
    std::string line;
    testsupport::WaitUntil([&] {
      pending_ += cmdtest::Drain(host_);  // nothing while the pty reads as hung up, before the dialogue opens it
      for (size_t at; line.empty() && (at = pending_.find("\r\n")) != std::string::npos; pending_.erase(0, at + 2)) {
        if (pending_.rfind(prefix, 0) == 0) line = pending_.substr(0, at);
      }
      return !line.empty();
    }, wait);
    return line;
  }
  // As the station: @FWVER until the dialogue, which opens the port after
  // the start banner, answers it.
  bool AwaitDialogue() {
    for (int tries = 0; tries < 120; ++tries) {
      Frame("@FWVER");
      if (!Line("!FWVER;", std::chrono::milliseconds(500)).empty()) return true;
    }
    return false;
  }
  int host_ = -1;
  std::string pending_;
};

TEST_F(QcStationTest, BreakStoresOnlyTheRangesThisDialogueCalibrated) {
  const std::string stored = "gain=1.100000\r\noffset=-0.200000\r\ngain2=0.900000\r\noffset2=0.300000\r\n";
  const struct {
    const char* name;
    std::vector<std::pair<double, const char*>> steps;  // volts on AI1, request
    std::vector<double> calibration;                    // gain, offset, gain2, offset2 after @BREAK
    const char* console;                                // said on the way out
  } rows[] = {
      {"aborted after one reading", {{9, "@QCAI0;1"}}, {1.1, -0.2, 0.9, 0.3}, "no range calibrated, gain.ini kept"},
      {"first range only",
       {{9, "@QCAI0;1"}, {1, "@QCAI1;1"}, {0, "@QCAI10"}},
       {1.25, -1.25, 0.9, 0.3},
       "saving the calibration"},
      {"second range only",
       {{1, "@QCAI1;1"}, {-8, "@QCAI2;1"}, {0, "@QCAI20"}},
       {1.1, -0.2, 10.0 / 9, -10.0 / 9},
       "saving the calibration"},
      {"equal readings", {{3, "@QCAI0;1"}, {3, "@QCAI1;1"}, {3, "@QCAI10"}}, {1.1, -0.2, 0.9, 0.3}, "gain.ini kept"},
      {"gain 10, beyond what gain.ini keeps",
       {{1, "@QCAI0;1"}, {0, "@QCAI1;1"}, {0, "@QCAI10"}},
       {1.1, -0.2, 0.9, 0.3},
       "outside what gain.ini keeps"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    root_.Write("APP/gain.ini", stored);
    ASSERT_EQ(read_gain_offset(), 1);
    cmdtest::ConsoleCapture console;
    uart1 = dup(port_[1]);  // @QCTEST closes the command port it came on
    auto qctest = std::async(std::launch::async, [&] { return Send("@QCTEST"); });
    EXPECT_TRUE(AwaitDialogue());
    for (const auto& step : row.steps) {
      SetVolts(1, step.first);
      cmdtest::Drain(host_);  // as the station: forget what nobody asked for
      pending_.clear();
      Frame(step.second);
      EXPECT_NE(Line("@QCAI", std::chrono::seconds(30)), "") << step.second;
    }
    Frame("@BREAK");
    ASSERT_EQ(qctest.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(qctest.get(), cmdtest::Shows("QCTEST", "QRV-806XK") + "**********QC START**********\r\n");
    const int reopened = uart1.exchange(port_[1]);
    if (reopened > 0) close(reopened);
    const std::string said = console.Text();
    EXPECT_NE(said.find(row.console), std::string::npos) << said;

    const std::vector<double> now = {gain, offset, gain2, offset2};
    for (size_t i = 0; i < now.size(); ++i) EXPECT_NEAR(now[i], row.calibration[i], 2e-3) << i;
    const std::string file = root_.Read("APP/gain.ini");
    if (row.console == std::string("saving the calibration")) {
      char text[160];
      std::snprintf(text, sizeof text, "gain=%f\r\noffset=%f\r\ngain2=%f\r\noffset2=%f\r\n", gain, offset, gain2,
                    offset2);
      EXPECT_EQ(file, text);
    } else {
      EXPECT_EQ(file, stored);  // not even rewritten
    }
  }
}

}  // namespace qctest
