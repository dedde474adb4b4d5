// The terminal line's far end: while nobody reads it, only the newest
// console bytes wait there for the next reader; a reader who reads along
// loses nothing.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "sim/run/master_port.h"
#include "sim/run/pty_pair.h"
#include "support/firmware_process.h"

namespace {

constexpr size_t kKeep = 2048;

std::string ReadAvailable(int fd) {
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  return out;
}

int Unread(int fd) {
  int n = 0;
  ioctl(fd, FIONREAD, &n);
  return n;
}

TEST(TerminalLine, UnreadConsoleIsBoundedWhileReadingAlongLosesNothing) {
  for (bool reading : {false, true}) {
    SCOPED_TRACE(reading ? "read along" : "nobody reads");
    std::string error;
    auto pty = sim::PtyPair::Open(&error);
    ASSERT_TRUE(pty) << error;
    sim::MasterPort port(pty->master(), 4096);
    port.BoundUnread(pty->held_slave(), kKeep);
    int reader = reading ? open(pty->slave_path().c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY) : -1;
    std::string sent, got;
    for (int i = 0; i < 2000; ++i) {
      const std::string line = "console line " + std::to_string(i) + "\r\n";
      sent += line;
      port.Send(line);
      if (reading && i % 50 == 49) {
        ASSERT_TRUE(testsupport::WaitUntil([&] {
          got += ReadAvailable(reader);
          return got.size() == sent.size();
        }));
      }
    }
    if (!reading) {
      // The line settles (the kernel hands bytes on in the background),
      // then a reader comes.
      int last = -1;
      ASSERT_TRUE(testsupport::WaitUntil([&] {
        port.Flush();
        const int now = Unread(pty->held_slave());
        const bool settled = now == last && !port.wants_write();
        last = now;
        return settled;
      }));
      reader = open(pty->slave_path().c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
      got = ReadAvailable(reader);
      EXPECT_LE(got.size(), kKeep + kKeep / 2);
      EXPECT_GE(got.size(), kKeep / 2);
      EXPECT_EQ(got, sent.substr(sent.size() - got.size()));
    } else {
      EXPECT_EQ(got, sent);
    }
    close(reader);
  }
}

}  // namespace
