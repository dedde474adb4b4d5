// The control socket `ctl` talks to: one command per connection, and a
// root that only one simulator serves.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "sim/control/control_client.h"
#include "sim/control/control_protocol.h"
#include "sim/control/control_server.h"
#include "sim/run/monotonic.h"
#include "support/firmware_process.h"

namespace {

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
  sim::ControlServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(path, &error)) << error;  // the stale socket is replaced
  int idle = UnixSocket(path, false);  // a client that connects and says nothing blocks no other
  ASSERT_GE(idle, 0);
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
  // A line beyond the limit gets an answer, not a hang.
  const std::tuple<std::string, bool, const char*> rows[] = {
      {"di 0 on", true, "got [di 0 on]\n"}, {"fail", false, "refused\n"},
      {std::string(sim::kMaxCommandLine + 10, 'x'), false, "too long"}};
  for (const auto& [line, ok, text] : rows) {
    Reply reply;
    EXPECT_TRUE(sim::SendCommand(path, line, 5000, &reply, &error)) << error;
    EXPECT_EQ(reply.ok, ok);
    EXPECT_NE(reply.text.find(text), std::string::npos) << reply.text;
  }
  // A second simulator on the same root is refused.
  sim::ControlServer second;
  EXPECT_FALSE(second.Listen(path, &error));
  EXPECT_NE(error.find("already running"), std::string::npos) << error;
  done = true;
  serving.join();
  close(idle);
  server.Close();
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

}  // namespace
