// The dialogue on its port: frames taken by the command port's rule, the
// replies written back (nothing for silent commands and empty frames), and
// qc_test's start and end.
#include <unistd.h>

#include <cstring>

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

// The dialogue over the real port to @BREAK and the gain.ini it stores are
// run end to end; here only the port that cannot be opened.
TEST_F(QcPortTest, QcTestWithoutItsPortReturnsAtOnce) {
  cmdtest::ConsoleCapture console;
  EXPECT_EQ(qc_test(0), -1);
  EXPECT_NE(console.Text().find("open qel_uart1 fails\r\n"), std::string::npos);
}

}  // namespace qctest
