// A simulated board for the event engine: lines and converter inputs as
// files, factory settings, a clock stepped by hand, empty queues.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "config/config_data.h"
#include "config/config_file.h"
#include "event/alarm_jobs.h"
#include "event/input_events.h"
#include "platform/clock.h"
#include "platform/i2c_bus.h"
#include "platform/paths.h"
#include "queue/sms_queue.h"
#include "queue/voice_queue.h"
#include "support/console_capture.h"
#include "support/firmware_process.h"

namespace eventtest {

constexpr int64_t kStartS = 1626166800;  // 2021-07-13 09:00:00 UTC

class EventTest : public ::testing::Test {
 protected:
  static constexpr int kDiGpio[] = {27, 26, 28, 30, 7};

  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    platform::SetRoot(dir_.path());
    platform::SetSimulated(true);
    platform::InstallI2cBus(nullptr);
    for (int gpio : {27, 26, 28, 30, 7, 5, 80, 29, 4, 25, 6, 92, 77, 0}) {
      dir_.Write("sys/class/gpio/gpio" + std::to_string(gpio) + "/value", "0");
    }
    for (int ch = 0; ch < 4; ++ch) SetVolts(ch, 0);
    dir_.Write("APP/.keep", "");
    platform::InstallClock(std::unique_ptr<platform::FakeClock>(clock_ = new platform::FakeClock(kStartS * 1000000)));
    {
      testsupport::ConsoleCapture quiet;
      init_orvel_config();
      set_default();
    }
    ResetInputEvents();
    evt_in = evt_out = 0;
    evt_in_voice = evt_out_voice = 0;
    send_msg_pause_ms = 0;
  }
  void TearDown() override {
    platform::InstallClock(std::make_unique<platform::DeviceClock>());
    platform::InstallI2cBus(nullptr);
    platform::SetSimulated(false);
    platform::SetRoot("");
  }

  void SetDi(int ch, int active) {
    dir_.Write("sys/class/gpio/gpio" + std::to_string(kDiGpio[ch]) + "/value", active ? "1" : "0");
  }
  void SetVolts(int ch, double volts) { dir_.Write("sim/ai/" + std::to_string(ch), std::to_string(volts)); }
  void AdvanceMs(int64_t ms) { clock_->Advance(ms * 1000); }

  testsupport::TempDir dir_;
  platform::FakeClock* clock_ = nullptr;
};

}  // namespace eventtest
