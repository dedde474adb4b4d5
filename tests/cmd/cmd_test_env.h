// Shared set-up of the command handler tests: a temporary simulated board
// with factory settings, a clock standing still in UTC, the console kept
// quiet, and the protocol port (uart1) a pipe the test reads back.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "base/console.h"
#include "cmd/command_table.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "support/console_capture.h"
#include "support/firmware_process.h"

namespace cmdtest {

using testsupport::ConsoleCapture;

constexpr int64_t kNowSeconds = 1626164100;  // 2021-07-13 08:15:00 UTC

// The three reply forms, for the factory machine ID.
inline std::string Ok(const std::string& cmd) { return "!QRV-806XK;" + cmd + ";OK\r\n"; }
inline std::string Er(const std::string& cmd) { return "!QRV-806XK;" + cmd + ";ER\r\n"; }
inline std::string Shows(const std::string& cmd, const std::string& values) {
  return "!QRV-806XK;" + cmd + ";OK;" + values + "\r\n";
}

/// A pipe in place of the port: what the handlers write comes back out of
/// Take() (non-blocking: no reply reads as "").
class PortPipe {
 public:
  PortPipe() {
    EXPECT_EQ(pipe2(fds_, O_NONBLOCK | O_CLOEXEC), 0);
    uart1 = fds_[1];
  }
  ~PortPipe() {
    uart1 = 0;
    close(fds_[0]);
    close(fds_[1]);
  }
  PortPipe(const PortPipe&) = delete;
  PortPipe& operator=(const PortPipe&) = delete;

  std::string Take() {
    std::string got;
    char buf[512];
    for (ssize_t n; (n = read(fds_[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
    return got;
  }

 private:
  int fds_[2] = {-1, -1};
};

class CmdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    platform::SetRoot(root_.path());
    platform::SetSimulated(true);
    platform::InstallClock(std::make_unique<platform::FakeClock>(kNowSeconds * 1000000));
    root_.Write("APP/.keep", "");
    root_.Write("media/card/.keep", "");
    quiet_.emplace();
    init_orvel_config();  // forgets uart1, so the pipe comes after it
    set_default();
    port_ = std::make_unique<PortPipe>();
  }
  void TearDown() override {
    port_.reset();
    quiet_.reset();
    platform::SetRoot("");
    platform::SetSimulated(false);
  }

  /// One request through the command table, as the utility port hands it
  /// over; every byte the handlers answered.
  std::string Send(const std::string& request) {
    DispatchCommandLine(request.c_str());
    return port_->Take();
  }
  struct ReplyRow {
    std::string request, reply;
  };
  /// Requests in order on the same board, each answered byte for byte.
  void ExpectReplies(std::initializer_list<ReplyRow> rows) {
    for (const ReplyRow& row : rows) EXPECT_EQ(Send(row.request), row.reply) << row.request;
  }

  testsupport::TempDir root_;
  std::optional<ConsoleCapture> quiet_;
  std::unique_ptr<PortPipe> port_;
};

}  // namespace cmdtest
