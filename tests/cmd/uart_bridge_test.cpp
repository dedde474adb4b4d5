// The terminal port in normal mode: each line's answer and the message it
// queues for UartPhone, a full queue, and the three ways the thread starts.
#include <fcntl.h>
#include <poll.h>

#include <future>

#include "cmd/uart_bridge.h"
#include "cmd_test_env.h"
#include "queue/sms_queue.h"

namespace cmdtest {

struct UartBridgeTest : CmdTest {
  void SetUp() override {
    CmdTest::SetUp();
    bridge_echo_pause_ms = 0;
    evt_in = evt_out = 0;
    std::snprintf(sys_config.UartPhone, kPhoneSize, "0912345678");
  }
  void TearDown() override {
    evt_in = evt_out = 0;
    bridge_echo_pause_ms = 2000;
    CmdTest::TearDown();
  }
};

TEST_F(UartBridgeTest, LinesAreAnsweredAndShortTextsQueuedToUartPhone) {
  const std::string full(160, 'x');
  // An answer without CR LF is the echo of a queued text.
  const struct { std::string line, answer; } rows[] = {
      {"+++" + full, full}, {"+++", ""}, {"+++" + full + "y", "Err01\r\n"},
      {"+++" + std::string(997, 'y'), "Err01\r\n"},  // a whole 1000-byte read
      // An extension character takes two of the 160 septets; the euro sign
      // 0xA4 is one of them.
      {"+++" + std::string(78, '[') + "\xA4", std::string(78, '[') + "\xA4"},
      {"+++" + std::string(80, '{') + "x", "Err01\r\n"}, {"+++" + full.substr(1) + "|", "Err01\r\n"},
      {"++InitPinX", "++InitPin;OK;0\r\n"}, {"++InitPi", "Err02\r\n"}, {"hello", "Err02\r\n"},
  };
  for (const auto& row : rows) {
    const bool queued = row.answer.find("\r\n") == std::string::npos;
    const int before = sms_event_is_n();
    EXPECT_EQ(UartBridgeHandleLine(row.line.c_str()), queued ? 1 : 0) << row.line;
    EXPECT_EQ(Drain(port_[0]), row.answer);
    ASSERT_EQ(sms_event_is_n(), before + (queued ? 1 : 0));
    if (!queued) continue;
    const sms_event& job = sms_evt[(evt_in + kSmsQueueSlots - 1) % kSmsQueueSlots];
    EXPECT_EQ(std::string(job.sms.msg) + ";" + job.phone[0] + ";" + std::to_string(job.phone_n),
              row.line.substr(3) + ";0912345678;1");
  }
}

TEST_F(UartBridgeTest, AFullQueueHoldsTheLineUntilThereIsRoom) {
  for (int slot = 0; SmsEventTryPut(sms_msg{}, nullptr, 0, &slot);) {
  }
  auto sent = std::async(std::launch::async, [] { return UartBridgeHandleLine("+++late"); });
  EXPECT_EQ(sent.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  EXPECT_EQ(Drain(port_[0]), "");  // no echo while nothing is queued
  sms_event_pop();
  EXPECT_EQ(sent.get(), 1);
  EXPECT_EQ(Drain(port_[0]), "late");
}

// The port is a pty here; with the bridge off it shows the console (the
// running bridge is served end to end).
TEST_F(UartBridgeTest, StartsWithoutPortOrDisabled) {
  EXPECT_EQ(UartBridgeStart(), BridgeStart::kPortFailed);
  const int host = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_TRUE(host >= 0 && grantpt(host) == 0 && unlockpt(host) == 0);
  root_.Write("dev/.keep", "");
  ASSERT_EQ(symlink(ptsname(host), platform::Path("/dev/ttyHSL3").c_str()), 0);
  cDebugMode = 1;  // as start-up sets it for a bridge that is off
  EXPECT_EQ(UartBridgeStart(), BridgeStart::kDisabled);
  pollfd p{host, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 5000), 1);
  EXPECT_EQ(Drain(host), ">UART send SMS is disable.\r\n");
  cDebugMode = 0;
  close(uart1.exchange(port_[1]));
  close(host);
}

}  // namespace cmdtest
