// The command tests' board, plus what the status and control commands read:
// the GPIO lines and converter inputs as files, and no pauses.
#pragma once

#include <cstring>
#include <mutex>
#include <string>

#include "cmd/command_pause.h"
#include "cmd_test_env.h"
#include "platform/i2c_bus.h"

namespace statustest {

class BoardCmdTest : public cmdtest::CmdTest {
 protected:
  void SetUp() override {
    cmdtest::CmdTest::SetUp();
    platform::InstallI2cBus(nullptr);
    for (int gpio : {27, 26, 28, 30, 7, 5, 80, 29, 4, 25, 6, 92, 77, 0}) SetLine(gpio, 0);
    for (int ch = 0; ch < 4; ++ch) root_.Write("sim/ai/" + std::to_string(ch), "0");
    command_pause_ms = 0;
    smslog_piece_pause_ms = 0;
  }
  void TearDown() override {
    command_pause_ms = 1000;
    smslog_piece_pause_ms = 10;
    cmdtest::CmdTest::TearDown();
  }

  void SetLine(int gpio, int value) {
    root_.Write("sys/class/gpio/gpio" + std::to_string(gpio) + "/value", value ? "1" : "0");
  }
  static void SetName(const char* name) {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::strcpy(sys_config.cMachineID, name);
  }
  /// Send, with the console lines of this one request.
  std::string Send(const std::string& request, std::string* console) {
    cmdtest::ConsoleCapture capture;
    std::string reply = cmdtest::CmdTest::Send(request);
    *console = capture.Text();
    return reply;
  }
  using cmdtest::CmdTest::Send;
};

}  // namespace statustest
