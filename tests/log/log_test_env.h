// A log store on a fresh simulated card, with a clock the test sets.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "base/log_ring.h"
#include "log/log_writer.h"
#include "modem/modem_test_env.h"
#include "platform/clock.h"

namespace logtest {

constexpr int64_t kJul13At0815 = 1626164100;  // 2021-07-13 08:15:00 UTC
constexpr const char* kUserFile = "media/card/USR_LOG/2021/07/13.txt";

// The modem tests' board root and fresh modem state (the records carry its
// registration and signal), in UTC.
class LogStoreTest : public testmodem::ModemTest {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    testmodem::ModemTest::SetUp();
    auto clock = std::make_unique<platform::FakeClock>(kJul13At0815 * 1000000);
    clock_ = clock.get();
    platform::InstallClock(std::move(clock));
    LogSetModemInfoSource(ReadModemLogInfo);
  }

  void SetCardUse(int percent) { root_.Write("sim/sd-use", std::to_string(percent)); }
  std::string Card(const std::string& relative) const { return "media/card/" + relative; }

  platform::FakeClock* clock_ = nullptr;
};

}  // namespace logtest
