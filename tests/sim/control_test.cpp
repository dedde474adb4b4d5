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
#include "temp_root.h"

namespace {

using sim::ControlServer;
using sim::Reply;

// Serves the socket until `done`, answering with `handler`.
class ServingThread {
 public:
  ServingThread(ControlServer& server, ControlServer::Handler handler)
      : thread_([this, &server, handler] {
          while (!done_) {
            std::vector<pollfd> fds;
            server.AddPollFds(&fds);
            poll(fds.data(), fds.size(), 20);
            server.Handle(fds, sim::MonotonicUs(), handler);
          }
        }) {}
  ~ServingThread() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TEST(ControlServer, OneCommandPerConnection) {
  TempRoot dir;
  std::string path = dir.path() + "/ctl.sock";
  ControlServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(path, &error)) << error;
  ServingThread serving(server, [](const std::string& line, int) {
    return line == "fail" ? Reply::Error("refused") : Reply::Ok("got [" + line + "]");
  });

  Reply reply;
  ASSERT_TRUE(sim::SendCommand(path, "di 0 on", 5000, &reply, &error)) << error;
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.text, "got [di 0 on]\n");
  ASSERT_TRUE(sim::SendCommand(path, "fail", 5000, &reply, &error)) << error;
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.text, "refused\n");
  // A line beyond the limit gets an answer, not a hang.
  ASSERT_TRUE(sim::SendCommand(path, std::string(sim::kMaxCommandLine + 10, 'x'), 5000, &reply, &error)) << error;
  EXPECT_FALSE(reply.ok);
  EXPECT_NE(reply.text.find("too long"), std::string::npos);

  // A second simulator on the same root is refused.
  ControlServer second;
  EXPECT_FALSE(second.Listen(path, &error));
  EXPECT_NE(error.find("already running"), std::string::npos) << error;
}

TEST(ControlServer, StaleSocketIsReplacedAndRemovedOnClose) {
  TempRoot dir;
  std::string path = dir.path() + "/ctl.sock";
  {
    // A socket file left by a simulator that died.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    std::string error;
    ASSERT_TRUE(sim::SocketAddress(path, &addr, &error));
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
  }
  ControlServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(path, &error)) << error;
  server.Close();
  EXPECT_NE(access(path.c_str(), F_OK), 0);

  Reply reply;
  EXPECT_FALSE(sim::SendCommand(path, "state", 1000, &reply, &error));
  EXPECT_NE(error.find("no simulator is running"), std::string::npos) << error;
}

TEST(ControlServer, DeferredAnswerAndSilentClients) {
  TempRoot dir;
  std::string path = dir.path() + "/ctl.sock";
  ControlServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(path, &error)) << error;

  // A client that connects and says nothing does not block the others.
  int idle = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  ASSERT_TRUE(sim::SocketAddress(path, &addr, &error));
  ASSERT_EQ(connect(idle, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  std::atomic<int> deferred_client{-1};
  Reply reply;
  bool sent = false;
  std::thread client([&] { sent = sim::SendCommand(path, "stop", 5000, &reply, &error); });
  int64_t end = sim::MonotonicUs() + 5000000;
  while (deferred_client < 0 && sim::MonotonicUs() < end) {
    std::vector<pollfd> fds;
    server.AddPollFds(&fds);
    poll(fds.data(), fds.size(), 20);
    server.Handle(fds, sim::MonotonicUs(), [&](const std::string&, int c) {
      deferred_client = c;
      return ControlServer::Deferred();
    });
  }
  ASSERT_GE(deferred_client, 0);
  server.Answer(deferred_client, Reply::Ok("stopped"));
  server.Drain(1000);
  client.join();
  ASSERT_TRUE(sent) << error;
  EXPECT_EQ(reply.text, "stopped\n");
  close(idle);
}

}  // namespace
