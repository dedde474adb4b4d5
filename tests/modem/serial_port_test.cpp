#include "modem/serial_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

// A pseudo-terminal: the port under test is the slave side, the far end
// (the modem, the person at the terminal) writes and reads the master.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    char name[128];
    if (ptsname_r(master_, name, sizeof name) == 0) slave_path_ = name;
  }
  ~Pty() {
    if (master_ >= 0) close(master_);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int master() const { return master_; }
  const std::string& slave_path() const { return slave_path_; }

  void FarEndWrites(const std::string& text) const {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

 private:
  int master_ = -1;
  std::string slave_path_;
};

// Waits until the port has `count` bytes pending, so a test never depends on
// how fast the line discipline hands bytes over.
bool WaitPending(int fd, int count) {
  for (int i = 0; i < 500; ++i) {
    if (uart_datasize_in_com(fd) >= count) return true;
    usleep(2000);
  }
  return false;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(pty_.slave_path().empty()); }
  void TearDown() override {
    if (fd_ >= 0) uart_close(fd_);
  }
  int Open(uint32_t baud = 115200, uint8_t data = 8, char parity = 'N', uint8_t stop = 1) {
    fd_ = uart_open(pty_.slave_path().c_str(), baud, data, parity, stop);
    return fd_;
  }
  termios Attributes() const {
    termios t{};
    EXPECT_EQ(tcgetattr(fd_, &t), 0);
    return t;
  }

  Pty pty_;
  int fd_ = -1;
};

TEST_F(SerialPortTest, LineSettingsTable) {
  struct Row {
    uint32_t baud;
    uint8_t data;
    char parity;
    uint8_t stop;
    speed_t speed;
    tcflag_t size;
    bool parenb, parodd, inpck, cstopb;
  };
  const Row rows[] = {
      {115200, 8, 'N', 1, B115200, CS8, false, false, false, false},
      {9600, 7, 'E', 1, B9600, CS7, true, false, true, false},
      {2400, 8, 'O', 2, B2400, CS8, true, true, true, true},
      {460800, 8, 'N', 1, B460800, CS8, false, false, false, false},
      {230400, 8, 'N', 1, B230400, CS8, false, false, false, false},
      // Rates the board does not offer run at 115200.
      {1200, 8, 'N', 1, B115200, CS8, false, false, false, false},
      {921600, 8, 'N', 1, B115200, CS8, false, false, false, false},
      {0, 8, 'N', 1, B115200, CS8, false, false, false, false},
      // Six data bits leave the size bits at 0 (five-bit characters).
      {19200, 6, 'N', 1, B19200, CS5, false, false, false, false},
      // An unknown parity leaves parity off; an unknown stop count means 1.
      {57600, 8, 'X', 3, B57600, CS8, false, false, false, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.baud << " " << int(r.data) << r.parity << int(r.stop));
    // The record as built: a pseudo-terminal forces CS8 and no parity on
    // whatever it is given, so size and parity enable are checked here.
    termios want = SerialLineSettings(r.baud, r.data, r.parity, r.stop);
    EXPECT_EQ(want.c_cflag & CSIZE, r.size);
    EXPECT_EQ((want.c_cflag & PARENB) != 0, r.parenb);

    // The rest as the port really runs.
    int fd = uart_open(pty_.slave_path().c_str(), r.baud, r.data, r.parity, r.stop);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), r.speed);
    EXPECT_EQ(cfgetispeed(&t), r.speed);
    EXPECT_EQ((t.c_cflag & PARODD) != 0, r.parodd);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, r.inpck);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, r.cstopb);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    uart_close(fd);
  }
}

TEST_F(SerialPortTest, OpensRawWithThreeSecondCharacterTimer) {
  ASSERT_GE(Open(), 0);
  termios t = Attributes();
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(t.c_cc[VTIME], 30);
  EXPECT_EQ(t.c_cc[VMIN], 1);
}

TEST_F(SerialPortTest, OpenDiscardsWhatArrivedBefore) {
  int first = Open();
  ASSERT_GE(first, 0);
  pty_.FarEndWrites("stale");
  ASSERT_TRUE(WaitPending(first, 5));
  int second = uart_open(pty_.slave_path().c_str(), 115200, 8, 'N', 1);
  ASSERT_GE(second, 0);
  EXPECT_EQ(uart_datasize_in_com(second), 0);
  uart_close(second);
}

TEST_F(SerialPortTest, OpenFailures) {
  testing::internal::CaptureStdout();
  EXPECT_LT(uart_open("/nonexistent/tty", 115200, 8, 'N', 1), 0);
  // Not a terminal: refused, and the descriptor is not leaked.
  int probe = open("/dev/null", O_RDONLY);
  close(probe);
  EXPECT_EQ(uart_open("/dev/null", 115200, 8, 'N', 1), -1);
  int next = open("/dev/null", O_RDONLY);
  EXPECT_EQ(next, probe);
  close(next);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("open /nonexistent/tty error: -1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("setupserial 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("errno=25\n"), std::string::npos) << out;  // ENOTTY
  EXPECT_NE(out.find("set opt error: -1\n"), std::string::npos) << out;
}

TEST_F(SerialPortTest, PendingCountOfBadDescriptors) {
  EXPECT_EQ(uart_datasize_in_com(-1), -1);
  EXPECT_EQ(uart_datasize_in_com(-7), -1);
  int fd = open("/dev/null", O_RDONLY);
  close(fd);
  EXPECT_EQ(uart_datasize_in_com(fd), -2);  // closed: the query fails
  char buf[4] = {'a', 'b', 'c', 0};
  EXPECT_EQ(uart_read(fd, buf, 3), 0);
  EXPECT_STREQ(buf, "abc");
}

TEST_F(SerialPortTest, ReadWithNothingPendingKeepsTheBuffer) {
  ASSERT_GE(Open(), 0);
  char buf[16];
  std::strcpy(buf, "earlier text");
  EXPECT_EQ(uart_read(fd_, buf, 15), 0);
  EXPECT_STREQ(buf, "earlier text");

  // Fewer bytes than before overwrite only the front, with no terminator.
  pty_.FarEndWrites("NEW");
  ASSERT_TRUE(WaitPending(fd_, 3));
  EXPECT_EQ(uart_read(fd_, buf, 15), 3);
  EXPECT_STREQ(buf, "NEWlier text");
}

TEST_F(SerialPortTest, ReadTakesAtMostTheCallersMaximum) {
  ASSERT_GE(Open(), 0);
  pty_.FarEndWrites("0123456789");
  ASSERT_TRUE(WaitPending(fd_, 10));
  char buf[8] = {};
  EXPECT_EQ(uart_read(fd_, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(uart_read(fd_, buf, 0), 0);
  EXPECT_EQ(uart_read(fd_, buf, -5), 0);
  EXPECT_EQ(uart_read(fd_, buf, 8), 6);
  EXPECT_EQ(std::string(buf, 6), "456789");
}

TEST_F(SerialPortTest, WriteReadCatchesTheFarEndsAnswer) {
  ASSERT_GE(Open(), 0);
  // The far end answers as soon as it sees the command.
  std::thread modem([&] {
    char cmd[32] = {};
    size_t got = 0;
    for (int i = 0; i < 1000 && got < 7; ++i) {
      ssize_t n = read(pty_.master(), cmd + got, sizeof cmd - 1 - got);
      if (n > 0) got += static_cast<size_t>(n);
    }
    if (std::string(cmd, got) == "AT+CSQ\r") pty_.FarEndWrites("\r\n+CSQ: 22,0\r\n\r\nOK\r\n");
  });
  char response[1025];
  std::memset(response, 'x', sizeof response);
  // Generous wait: the answer only has to arrive within it.
  int n = uart_write_read(fd_, "AT+CSQ\r", 7, response, 500);
  modem.join();
  if (n < 20) {
    // A very slow machine: what was late is read by the next operation.
    ASSERT_TRUE(WaitPending(fd_, 20 - n));
    n += uart_read(fd_, response + n, 1024 - n);
  }
  EXPECT_EQ(n, 20);
  EXPECT_STREQ(response, "\r\n+CSQ: 22,0\r\n\r\nOK\r\n");
}

TEST_F(SerialPortTest, WriteReadWithSilentFarEndGivesEmptyText) {
  ASSERT_GE(Open(), 0);
  char response[1025];
  std::memset(response, 'x', sizeof response);
  EXPECT_EQ(uart_write_read(fd_, "AT\r", 3, response, 10), 0);
  for (char c : response) ASSERT_EQ(c, 0);  // zeroed, terminator included
}

TEST_F(SerialPortTest, FullAnswerAreaIsStillATerminatedText) {
  ASSERT_GE(Open(), 0);
  std::string big(1500, 'A');
  pty_.FarEndWrites(big);
  ASSERT_TRUE(WaitPending(fd_, 1500));
  char response[1025];
  std::memset(response, 'x', sizeof response);
  EXPECT_EQ(uart_write_read(fd_, "", 0, response, 0), 1024);
  EXPECT_EQ(std::strlen(response), 1024u);
  // The rest stays for the next operation.
  EXPECT_EQ(uart_datasize_in_com(fd_), 476);
}

TEST_F(SerialPortTest, WriteReachesTheFarEnd) {
  ASSERT_GE(Open(), 0);
  EXPECT_EQ(uart_write(fd_, "AT+CPIN?\r", 9), 9);
  EXPECT_EQ(uart_write(fd_, "ignored", 0), 0);
  char buf[16] = {};
  size_t got = 0;
  for (int i = 0; i < 500 && got < 9; ++i) {
    ssize_t n = read(pty_.master(), buf + got, sizeof buf - 1 - got);
    if (n > 0) got += static_cast<size_t>(n);
  }
  EXPECT_STREQ(buf, "AT+CPIN?\r");
}

}  // namespace
