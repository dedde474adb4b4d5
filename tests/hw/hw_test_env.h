// Shared pieces of the hardware tests: console capture, a bus that records
// its transfers, and a board folder with the simulated chips, which the
// configuration, event and command tests build on too.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/log_ring.h"
#include "hw/rtc.h"
#include "log/log_store.h"
#include "platform/clock.h"
#include "platform/i2c_bus.h"
#include "platform/paths.h"
#include "support/console_capture.h"
#include "support/firmware_process.h"

namespace hwtest {

using CaptureOutput = testsupport::ConsoleCapture;

/// Expects every one of `parts` somewhere in `text`.
inline void ExpectContains(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& p : parts) EXPECT_NE(text.find(p), std::string::npos) << p << " in " << text;
}

inline std::vector<int> Fields(const RtcTime& t) { return {t.year, t.mon, t.mday, t.hour, t.min, t.sec, t.wday}; }

/// Records every transfer as text, its messages joined by ", ": 7-bit
/// address, then "w" and the bytes written or "r" and the length read (as
/// "48 w 00, 48 r 2"); answers reads with `reply`.
class RecordingI2cBus final : public platform::I2cBus {
 public:
  std::vector<std::string> transfers;
  std::vector<uint8_t> reply;
  platform::I2cResult result;  // what every transfer returns

 private:
  platform::I2cResult DoTransfer(platform::I2cMessage* m, size_t count) override {
    std::string t;
    char hex[8];
    for (size_t i = 0; i < count; ++i) {
      std::snprintf(hex, sizeof hex, "%s%02X ", i ? ", " : "", m[i].address);
      t += hex + std::string(m[i].read ? "r " + std::to_string(m[i].length) : "w");
      for (size_t k = 0; k < m[i].length; ++k) {
        if (!m[i].read) {
          std::snprintf(hex, sizeof hex, " %02X", m[i].data[k]);
          t += hex;
        } else if (result.ok()) {
          m[i].data[k] = k < reply.size() ? reply[k] : 0;
        }
      }
    }
    transfers.push_back(t);
    return result;
  }
  platform::I2cResult DoProbe() override { return {}; }
  std::string DoName() const override { return "recording"; }
};

/// Installs a recording bus for the test's lifetime.
inline RecordingI2cBus* InstallRecordingBus() {
  auto bus = std::make_unique<RecordingI2cBus>();
  RecordingI2cBus* raw = bus.get();
  platform::InstallI2cBus(std::move(bus));
  return raw;
}

/// The user-log records waiting in the ring, as "main,sub" texts.
inline std::vector<std::string> PendingLogCodes() {
  std::vector<std::string> codes;
  for (LogRecord r; LogPeekOldest(&r); LogPopIdx()) codes.push_back(std::string(r.main_code) + "," + r.sub_code);
  return codes;
}

/// A simulated board in a temporary folder: the GPIO lines of the pin map
/// exported with value 0, the converter inputs at 0 V, the time zone UTC.
class SimBoardTest : public ::testing::Test {
 protected:
  static constexpr int kLines[] = {27, 26, 28, 30, 7, 5, 80, 29, 4, 25, 6, 92, 77, 0};

  void SetUp() override {
    UseZone("UTC0");
    platform::SetRoot(dir_.path());
    platform::SetSimulated(true);
    platform::InstallI2cBus(nullptr);
    for (int gpio : kLines) {
      SetLine(gpio, "0");
      dir_.Write(LinePath(gpio, "direction"), "");
      dir_.Write(LinePath(gpio, "active_low"), "");
    }
    for (int ch = 0; ch < 4; ++ch) SetVolts(ch, "0");
    LogRingClear();
  }
  void TearDown() override {
    platform::InstallClock(std::make_unique<platform::DeviceClock>());
    platform::InstallI2cBus(nullptr);
    platform::SetSimulated(false);
    platform::SetRoot("");
    LogRingClear();
  }

  static void UseZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  static platform::FakeClock* InstallFakeClock(int64_t seconds) {
    auto clock = std::make_unique<platform::FakeClock>(seconds * 1000000);
    platform::FakeClock* raw = clock.get();
    platform::InstallClock(std::move(clock));
    return raw;
  }
  void SetLine(int gpio, const std::string& value) { dir_.Write(LinePath(gpio, "value"), value); }
  std::string Line(int gpio, const char* attribute = "value") { return dir_.Read(LinePath(gpio, attribute)); }
  void SetVolts(int ch, const std::string& volts) { dir_.Write("sim/ai/" + std::to_string(ch), volts); }
  static std::string LinePath(int gpio, const char* attribute) {
    return "sys/class/gpio/gpio" + std::to_string(gpio) + "/" + attribute;
  }

  testsupport::TempDir dir_;
};

}  // namespace hwtest
