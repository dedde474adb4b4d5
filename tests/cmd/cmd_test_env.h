// The command handler tests: the hardware tests' simulated board with
// factory settings, logs off, a clock standing still, no pauses, the console
// kept quiet, and the protocol port (uart1) one end of a socket pair whose
// other end the test holds.
#pragma once

#include <sys/socket.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "base/console.h"
#include "base/sd_flags.h"
#include "cmd/command_pause.h"
#include "cmd/command_table.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "hw/hw_test_env.h"

namespace cmdtest {

using testsupport::ConsoleCapture;

constexpr int64_t kNowSeconds = 1626164100;  // 2021-07-13 08:15:00 UTC

// The three reply forms, for the factory machine ID.
inline std::string Ok(const std::string& cmd) { return "!QRV-806XK;" + cmd + ";OK\r\n"; }
inline std::string Er(const std::string& cmd) { return "!QRV-806XK;" + cmd + ";ER\r\n"; }
inline std::string Shows(const std::string& cmd, const std::string& values) {
  return "!QRV-806XK;" + cmd + ";OK;" + values + "\r\n";
}

// Everything waiting on a non-blocking descriptor ("" when nothing is).
inline std::string Drain(int fd) {
  std::string got;
  char buf[512];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
  return got;
}

class CmdTest : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    InstallFakeClock(kNowSeconds);
    root_.Write("APP/.keep", "");
    root_.Write("media/card/.keep", "");
    command_pause_ms = 0;
    smslog_piece_pause_ms = 0;
    LogInit();
    quiet_.emplace();
    init_orvel_config();  // forgets uart1, so the port comes after it
    set_default();
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, port_), 0);
    uart1 = port_[1];
  }
  void TearDown() override {
    uart1 = 0;
    close(port_[0]);
    close(port_[1]);
    LogInit();
    if_sd_card = 0;
    command_pause_ms = 1000;
    smslog_piece_pause_ms = 10;
    quiet_.reset();
    SimBoardTest::TearDown();
  }

  /// One request through the command table, as the utility port hands it
  /// over: every byte the handlers answered, and into `console` what they
  /// printed.
  std::string Send(const std::string& request, std::string* console = nullptr) {
    std::optional<ConsoleCapture> capture;
    if (console) capture.emplace();
    DispatchCommandLine(request.c_str());
    if (console) *console = capture->Text();
    return Drain(port_[0]);
  }
  struct ReplyRow {
    std::string request, reply;
  };
  /// Requests in order on the same board, each answered byte for byte.
  void ExpectReplies(std::initializer_list<ReplyRow> rows) {
    for (const ReplyRow& row : rows) EXPECT_EQ(Send(row.request), row.reply) << row.request;
  }
  testsupport::TempDir& root_ = dir_;
  std::optional<ConsoleCapture> quiet_;
  int port_[2] = {-1, -1};  // the test's end, the handlers' end
};

}  // namespace cmdtest
