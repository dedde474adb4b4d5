// The simulated board of the hardware tests for the event engine: factory
// settings, a clock stepped by hand, empty queues.
#pragma once

#include <string>

#include "config/config_data.h"
#include "config/config_file.h"
#include "event/alarm_jobs.h"
#include "event/input_events.h"
#include "hw/hw_test_env.h"
#include "queue/sms_queue.h"
#include "queue/voice_queue.h"

namespace eventtest {

constexpr int64_t kStartS = 1626166800;  // 2021-07-13 09:00:00 UTC

class EventTest : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    dir_.Write("APP/.keep", "");
    clock_ = InstallFakeClock(kStartS);
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

  void SetDi(int ch, int active) {
    static constexpr int kDiGpio[] = {27, 26, 28, 30, 7};
    SetLine(kDiGpio[ch], active ? "1" : "0");
  }
  void AdvanceMs(int64_t ms) { clock_->Advance(ms * 1000); }

  platform::FakeClock* clock_ = nullptr;
};

}  // namespace eventtest
