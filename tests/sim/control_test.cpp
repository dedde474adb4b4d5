#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "sim/control_client.h"
#include "sim/control_protocol.h"
#include "sim/control_server.h"
#include "sim/monotonic.h"
#include "support/firmware_process.h"

namespace {

using sim::ControlServer;
using sim::Reply;

// A socket bound at `path` (left by a simulator that died), or connected to it.
int UnixSocket(const std::string& path, bool bind_it) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  std::string error;
  if (!sim::SocketAddress(path, &addr, &error)) return -1;
  auto* a = reinterpret_cast<sockaddr*>(&addr);
  return (bind_it ? bind(fd, a, sizeof addr) : connect(fd, a, sizeof addr)) == 0 ? fd : -1;
}

TEST(ControlServer, OneCommandPerConnection) {
  testsupport::TempDir dir;
  std::string path = dir.path() + "/ctl.sock";
  int stale = UnixSocket(path, true);
  ASSERT_GE(stale, 0);
  close(stale);

  ControlServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(path, &error)) << error;  // the stale socket is replaced
  // A client that connects and says nothing does not block the others.
  int idle = UnixSocket(path, false);
  ASSERT_GE(idle, 0);
  {
    std::atomic<bool> done{false};
    std::thread serving([&] {
      while (!done) {
        std::vector<pollfd> fds;
        server.AddPollFds(&fds);
        poll(fds.data(), fds.size(), 20);
        server.Handle(fds, sim::MonotonicUs(), [](const std::string& line, int) {
          return line == "fail" ? Reply::Error("refused") : Reply::Ok("got [" + line + "]");
        });
      }
    });
    Reply reply;
    EXPECT_TRUE(sim::SendCommand(path, "di 0 on", 5000, &reply, &error)) << error;
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.text, "got [di 0 on]\n");
    EXPECT_TRUE(sim::SendCommand(path, "fail", 5000, &reply, &error)) << error;
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.text, "refused\n");
    // A line beyond the limit gets an answer, not a hang.
    EXPECT_TRUE(sim::SendCommand(path, std::string(sim::kMaxCommandLine + 10, 'x'), 5000, &reply, &error)) << error;
    EXPECT_FALSE(reply.ok);
    EXPECT_NE(reply.text.find("too long"), std::string::npos);
    // A second simulator on the same root is refused.
    ControlServer second;
    EXPECT_FALSE(second.Listen(path, &error));
    EXPECT_NE(error.find("already running"), std::string::npos) << error;
    done = true;
    serving.join();
  }
  close(idle);
  server.Close();
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  Reply reply;
  EXPECT_FALSE(sim::SendCommand(path, "state", 1000, &reply, &error));
  EXPECT_NE(error.find("no simulator is running"), std::string::npos) << error;
}

}  // namespace
