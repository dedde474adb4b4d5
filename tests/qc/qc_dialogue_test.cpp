// The dialogue on its port: frames taken by the command port's rule, the
// replies written back (nothing for silent commands and empty frames), and
// qc_test's start and end.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "modem/serial_port.h"
#include "qc/qc_dialogue.h"
#include "qc/qc_test.h"
#include "qc_test_env.h"

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
  } rows[] = {
      {"@FWVER\r", {"!FWVER;ORVEL_v1.2.4 20210713\r\n"}},
      {"@FWVER\r@CSQ\r", {"!FWVER;ORVEL_v1.2.4 20210713\r\n"}},  // only the text before the first CR
      {"\r\r", {""}},
      {"@TIME?\r", {""}},
      {"@DOON\r", {""}},
      {"@DOOFF\r\n", {""}},
      {"@NOPE\r", {"N/A\r\n"}},
      {std::string(1500, 'x'), {"N/A\r\n", "N/A\r\n"}},  // 1000 bytes, then the other 500
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.burst.substr(0, 20));
    Burst(row.burst);
    for (const std::string& reply : row.replies) {
      EXPECT_EQ(QcServeFrame(port_[1], 10000), QcNext::kContinue);
      EXPECT_EQ(cmdtest::Drain(port_[0]), reply);
    }
  }
  Burst("@BREAK\r");
  EXPECT_EQ(QcServeFrame(port_[1], 10000), QcNext::kBreak);
  EXPECT_EQ(QcServeFrame(port_[1], 50), QcNext::kContinue);  // nothing came
}

TEST_F(QcPortTest, FrameTraces) {
  Burst("@FWVER\r");
  cmdtest::ConsoleCapture console;
  QcServeFrame(port_[1], 10000);
  EXPECT_EQ(console.Text(), "--> uart1 time-up\r\n");
  Burst(std::string(1001, 'x'));
  cmdtest::ConsoleCapture full;
  QcServeFrame(port_[1], 10000);
  EXPECT_EQ(full.Text(), "--> reach uart1_len_max\r\n");
  QcServeFrame(port_[1], 10000);
}

TEST_F(QcPortTest, QcTestRunsOnTheTerminalPortUntilBreak) {
  std::string console;
  {
    cmdtest::ConsoleCapture capture;
    EXPECT_EQ(qc_test(0), -1);  // no port at all
    console = capture.Text();
  }
  EXPECT_NE(console.find("open qel_uart1 fails\r\n"), std::string::npos) << console;

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
  const std::string slave = ptsname(master);
  root_.Write("dev/.keep", "");
  ASSERT_EQ(symlink(slave.c_str(), (root_.path() + "/dev/ttyHSL3").c_str()), 0);
  const int keeper = uart_open(slave.c_str(), 115200, 8, 'N', 1);  // raw, and the line never hangs up
  gain = 3;
  std::atomic<bool> ended{false};
  std::thread dialogue([&] {
    qc_test(0);
    ended = true;
  });
  // Bytes sent before the dialogue opens the port are flushed: a request
  // is sent again every half second until it has its effect.
  const auto ask = [&](const char* request, const std::function<bool()>& done) {
    return testsupport::WaitUntil([&] {
      if (write(master, request, std::strlen(request)) < 0) return false;
      return testsupport::WaitUntil(done, std::chrono::milliseconds(500));
    });
  };
  std::string got;
  EXPECT_TRUE(ask("@FWVER\r", [&] { return (got += cmdtest::Drain(master)).find("\r\n") != std::string::npos; }));
  EXPECT_EQ(got.substr(0, got.find("\r\n") + 2), "!FWVER;ORVEL_v1.2.4 20210713\r\n");
  EXPECT_TRUE(ask("@BREAK\r", [&] { return ended.load(); }));
  dialogue.join();
  // The calibration was cleared at the start and saved at the end.
  EXPECT_EQ(root_.Read("APP/gain.ini"), "gain=0.000000\r\noffset=0.000000\r\ngain2=0.000000\r\noffset2=0.000000\r\n");
  close(keeper);
  close(master);
}

}  // namespace qctest
