// Shared pieces of the hardware tests: console capture, a bus that records
// its transfers, and a board folder with the simulated chips.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "log/log_ring.h"
#include "log/log_store.h"
#include "platform/i2c_bus.h"
#include "platform/paths.h"
#include "support/firmware_process.h"

namespace hwtest {

/// Collects what the firmware writes to standard output and error.
class CaptureOutput {
 public:
  CaptureOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    char tmpl[] = "/tmp/qrv806-hw-out-XXXXXX";
    fd_ = mkstemp(tmpl);
    unlink(tmpl);
    saved_out_ = dup(1);
    saved_err_ = dup(2);
    dup2(fd_, 1);
    dup2(fd_, 2);
  }
  ~CaptureOutput() { Stop(); }
  CaptureOutput(const CaptureOutput&) = delete;
  CaptureOutput& operator=(const CaptureOutput&) = delete;

  std::string Stop() {
    if (fd_ >= 0) {
      std::fflush(stdout);
      std::fflush(stderr);
      dup2(saved_out_, 1);
      dup2(saved_err_, 2);
      close(saved_out_);
      close(saved_err_);
      lseek(fd_, 0, SEEK_SET);
      char buf[4096];
      ssize_t n;
      while ((n = read(fd_, buf, sizeof buf)) > 0) text_.append(buf, static_cast<size_t>(n));
      close(fd_);
      fd_ = -1;
    }
    return text_;
  }

 private:
  int fd_ = -1;
  int saved_out_ = -1;
  int saved_err_ = -1;
  std::string text_;
};

/// One message as it went over the bus.
struct Sent {
  uint16_t address;
  bool read;
  std::vector<uint8_t> bytes;  // written bytes, or the length of a read
};

/// Records every transfer and answers reads with `reply`.
class RecordingI2cBus final : public platform::I2cBus {
 public:
  std::vector<std::vector<Sent>> transfers;
  std::vector<uint8_t> reply;
  platform::I2cResult result;  // what every transfer returns

 private:
  platform::I2cResult DoTransfer(platform::I2cMessage* m, size_t count) override {
    std::vector<Sent> t;
    for (size_t i = 0; i < count; ++i) {
      Sent s{m[i].address, m[i].read, {}};
      if (m[i].read) {
        s.bytes.assign(m[i].length, 0);
        for (size_t k = 0; k < m[i].length && result.ok(); ++k) m[i].data[k] = k < reply.size() ? reply[k] : 0;
      } else {
        s.bytes.assign(m[i].data, m[i].data + m[i].length);
      }
      t.push_back(s);
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
  LogRecord r;
  while (LogPeekOldest(&r)) {
    codes.push_back(std::string(r.main_code) + "," + r.sub_code);
    LogPopIdx();
  }
  return codes;
}

/// A simulated board in a temporary folder: the GPIO lines of the pin map
/// exported with value 0, the converter inputs at 0 V.
class SimBoardTest : public ::testing::Test {
 protected:
  static constexpr int kLines[] = {27, 26, 28, 30, 7, 5, 80, 29, 4, 25, 6, 92, 77, 0};

  void SetUp() override {
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
    platform::InstallI2cBus(nullptr);
    platform::SetSimulated(false);
    platform::SetRoot("");
    LogRingClear();
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
