// What main decides once the configuration is loaded: the mode, whether the
// console is mirrored to the serial port, the threads of each mode, and the
// status loop's first two seconds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "app/led.h"
#include "app/operating_mode.h"
#include "app/status_loop.h"
#include "app/thread_launch.h"
#include "base/console.h"
#include "config/time_utils.h"
#include "modem/modem_state.h"
#include "platform/clock.h"

namespace {

// A serial port stand-in: what PrintMsg mirrored can be read back.
struct PortPipe {
  int fds[2] = {-1, -1};
  PortPipe() {
    EXPECT_EQ(pipe2(fds, O_NONBLOCK), 0);
    uart1 = fds[1];
  }
  ~PortPipe() {
    uart1 = 0;
    close(fds[0]);
    close(fds[1]);
  }
  std::string Take() {
    char buf[512];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
  }
};

// Each line is cut at 255 characters, on the console and on the port.
TEST(OperatingMode, ModeAndConsoleMirror) {
  const struct { uint8_t uart2sms; int init_pin; OperatingMode mode; bool mirrored; } rows[] = {
      {0, 0, OperatingMode::kNormal, true},
      {1, 0, OperatingMode::kNormal, false},   // the port carries the bridge
      {0, 1, OperatingMode::kUtility, false},  // the port carries the command protocol
      {1, 1, OperatingMode::kUtility, false},
  };
  const std::string line = "100% " + std::string(300, 'x');
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.uart2sms) + "/" + std::to_string(row.init_pin));
    PortPipe port;
    cDebugMode = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ChooseOperatingMode(row.uart2sms, row.init_pin), row.mode);
    EXPECT_EQ(PrintMsg("%s%s", "100%", line.c_str() + 4), 255);
    const std::string banner =
        row.mode == OperatingMode::kUtility ? ">Initial pin is triggered!! Go to Utility mode!!\r\n" : "";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), banner + line.substr(0, 255));
    EXPECT_EQ(port.Take(), row.mirrored ? line.substr(0, 255) : "");
  }
  // Mirroring on, but no port open yet (all of start-up): standard output only.
  testing::internal::CaptureStdout();
  EXPECT_EQ(PrintMsg("early\r\n"), 7);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "early\r\n");
  cDebugMode = 0;
}

// The start of every thread refused: each mode names what failed, in its
// order. (The threads running: the end-to-end tests of each mode.)
bool Refuse(ThreadBody) { return false; }

TEST(ThreadLaunch, EachModeReportsTheThreadsThatFailed) {
  const struct {
    const char* mode;
    void (*launch)(ThreadStarter);
    const char* console;
  } rows[] = {
      {"normal", StartNormalModeThreads,
       "error: create thread_rtc2system\r\nerror: create thread_modem\r\nerror: create thread_led\r\n"
       "error: create thread_sms_buffer\r\nerror: create thread_voice_buffer\r\n"
       "error: create thread_check_event\r\nerror: create thread_do_handle\r\n"
       "error: create thread_counter_handle\r\nerror: create thread_auto_report\r\n"
       "error: create thread_recv_SMS\r\nerror: create thread_UART_CMD\r\n"
       "Function main: Create Thread \"ThreadLog\" Failed\r\n"},  // and thread_net says nothing
      {"utility", StartUtilityModeThreads,
       "error: create thread_rtc2system\r\nerror: create thread_modem\r\nerror: create thread_led\r\n"
       "error: create thread_sms_utility\r\nerror: create thread_do_handle\r\nerror: create thread_sms_buffer\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mode);
    testing::internal::CaptureStdout();
    row.launch(Refuse);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.console);
  }
  testing::internal::CaptureStdout();
  EXPECT_FALSE(StartUpdateModeThreads(Refuse));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), ">error: create thread_led\n");
}

// The pattern keeps its start value for the first 2000 ms, across the wrap
// of the millisecond tick too.
TEST(StatusLoop, HoldsTheStartPatternForTwoSeconds) {
  for (int64_t start_ms : {int64_t{1600000000000}, int64_t{0xFFFFFFFF} - 500}) {
    auto clock = std::make_unique<platform::FakeClock>(start_ms * 1000);
    platform::FakeClock* c = clock.get();
    platform::InstallClock(std::move(clock));
    modem_cpin_status = 0;
    net_status = -1;
    modem_creg = 2;  // not registered: pattern 0 once derived
    sta_led_step = 1;
    const uint32_t t0 = GetTimeTicks();
    c->Advance(1999 * 1000);
    EXPECT_FALSE(StatusLoopPass(t0));
    EXPECT_EQ(sta_led_step.load(), 1);
    c->Advance(1000);
    EXPECT_TRUE(StatusLoopPass(t0));
    EXPECT_EQ(sta_led_step.load(), 0);
  }
  platform::InstallClock(std::make_unique<platform::DeviceClock>());
  sta_led_step = 1;
  modem_creg = 0;
}

}  // namespace
