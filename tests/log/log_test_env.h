// A log store on a fresh simulated card, with a clock the test sets.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "base/log_ring.h"
#include "log/log_store.h"
#include "log/log_writer.h"
#include "modem/modem_state.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "support/firmware_process.h"

namespace logtest {

constexpr int64_t kJul13At0815 = 1626164100;  // 2021-07-13 08:15:00 UTC
constexpr const char* kUserFile = "media/card/USR_LOG/2021/07/13.txt";

class LogStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    platform::SetRoot(root_.path());
    platform::SetSimulated(true);
    auto clock = std::make_unique<platform::FakeClock>(kJul13At0815 * 1000000);
    clock_ = clock.get();
    platform::InstallClock(std::move(clock));
    LogInit();
    LogSetModemInfoSource(ReadModemLogInfo);
  }
  void TearDown() override {
    LogInit();
    platform::SetRoot("");
    platform::SetSimulated(false);
  }

  void SetCardUse(int percent) { root_.Write("sim/sd-use", std::to_string(percent)); }
  std::string Card(const std::string& relative) const { return "media/card/" + relative; }

  testsupport::TempDir root_;
  platform::FakeClock* clock_ = nullptr;
};

}  // namespace logtest
