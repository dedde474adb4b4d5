// The serial port layer on a pseudo-terminal: the port under test is the
// slave side; the far end (the modem) writes and reads the master.
#include "modem/serial_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    ASSERT_TRUE(master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
                ptsname_r(master_, name, sizeof name) == 0);
    slave_ = name;
    fd_ = uart_open(name, 115200, 8, 'N', 1);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) uart_close(fd_);
    if (master_ >= 0) close(master_);
  }
  void FarEndWrites(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    // Wait until the port has it all, however fast the line discipline is.
    for (int i = 0; i < 500 && uart_datasize_in_com(fd_) < static_cast<int>(text.size()); ++i) usleep(2000);
  }

  int master_ = -1;
  std::string slave_;
  int fd_ = -1;
};

TEST_F(SerialPortTest, OpenDiscardsWhatArrivedBeforeAndReportsFailures) {
  FarEndWrites("stale");
  int second = uart_open(slave_.c_str(), 115200, 8, 'N', 1);
  EXPECT_EQ(uart_datasize_in_com(second), 0);
  uart_close(second);

  testing::internal::CaptureStdout();
  EXPECT_LT(uart_open("/nonexistent/tty", 115200, 8, 'N', 1), 0);
  // Not a terminal: refused, and the descriptor is not leaked.
  int probe = open("/dev/null", O_RDONLY);
  close(probe);
  EXPECT_EQ(uart_open("/dev/null", 115200, 8, 'N', 1), -1);
  int next = open("/dev/null", O_RDONLY);
  EXPECT_EQ(next, probe);
  close(next);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "open /nonexistent/tty error: -1\nsetupserial 1\nerrno=25\nset opt error: -1\n");

}

TEST_F(SerialPortTest, ReadsTakeWhatIsPendingAndNeverWait) {
  char buf[16] = "earlier text";
  EXPECT_EQ(uart_read(fd_, buf, 15), 0);
  EXPECT_STREQ(buf, "earlier text");
  // Fewer bytes than before overwrite only the front, with no terminator.
  FarEndWrites("NEW");
  EXPECT_EQ(uart_read(fd_, buf, 15), 3);
  EXPECT_STREQ(buf, "NEWlier text");
  // At most the caller's maximum.
  FarEndWrites("0123456789");
  EXPECT_EQ(uart_read(fd_, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(uart_read(fd_, buf, 0), 0);
  EXPECT_EQ(uart_read(fd_, buf, -5), 0);
  EXPECT_EQ(uart_read(fd_, buf, 8), 6);
  EXPECT_EQ(std::string(buf, 6), "456789");
}

// (A command and its answer: every modem pass in tests/e2e.)
TEST_F(SerialPortTest, WriteReadTakesWhatArrivedWithinTheWait) {
  // A silent far end: an empty, zeroed area, terminator included.
  char response[1025];
  std::memset(response, 'x', sizeof response);
  EXPECT_EQ(uart_write_read(fd_, "AT\r", 3, response, 10), 0);
  for (char c : response) ASSERT_EQ(c, 0);

  // A full area is still a terminated text; the rest stays for the next operation.
  FarEndWrites(std::string(1500, 'A'));
  std::memset(response, 'x', sizeof response);
  EXPECT_EQ(uart_write_read(fd_, "", 0, response, 0), 1024);
  EXPECT_EQ(std::strlen(response), 1024u);
  EXPECT_EQ(uart_datasize_in_com(fd_), 476);
}

}  // namespace
