// The I2C bus facade.
//
// On the board the converter and the real-time clock sit on /dev/i2c-0 and
// are reached with combined I2C_RDWR transfers. On a PC the same transfers go
// to in-process chip models (platform/sim_adc_chip.h, platform/sim_rtc_chip.h)
// whose state lives in files under the root, so the simulator program and the
// firmware see the same converter input and the same battery-backed clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

/// One message of a combined transfer. `address` is the 7-bit address.
struct I2cMessage {
  uint16_t address = 0;
  bool read = false;
  uint8_t* data = nullptr;
  uint16_t length = 0;
};

struct I2cResult {
  enum Status { kOk, kOpenFailed, kTransferFailed };
  Status status = kOk;
  /// Result of the failing system call (the open or the ioctl), 0 when ok.
  int ret = 0;
  /// errno of the failing call, 0 when ok.
  int error = 0;

  bool ok() const { return status == kOk; }
};

class I2cBus {
 public:
  virtual ~I2cBus() = default;

  /// Most messages one transfer may carry (a register write and a read).
  static constexpr size_t kMaxMessages = 2;

  /// Performs one combined transfer (one repeated-start sequence).
  /// Transfers on one bus object are exclusive: the bus is held for the
  /// whole transfer. A message list that is empty, too long or has a null
  /// buffer fails as kTransferFailed with EINVAL.
  I2cResult Transfer(I2cMessage* messages, size_t count);

  /// Opens and closes the bus once (start-up check). kOk (with `ret` the
  /// descriptor the open gave) or kOpenFailed.
  I2cResult Probe();

  /// The device path as the console names it.
  std::string Name() const { return DoName(); }

 private:
  virtual I2cResult DoTransfer(I2cMessage* messages, size_t count) = 0;
  virtual I2cResult DoProbe() = 0;
  virtual std::string DoName() const = 0;

  std::mutex mu_;
};

/// /dev/i2c-N through the kernel's i2c-dev interface. Every transfer opens
/// the device, sets a bus time-out of 100 ms and 2 retries, issues one
/// I2C_RDWR and closes it again: no descriptor outlives a transfer.
class DeviceI2cBus final : public I2cBus {
 public:
  /// `device_path` empty means platform::Path(kI2cDevice) at each transfer.
  explicit DeviceI2cBus(std::string device_path);

 private:
  I2cResult DoTransfer(I2cMessage* messages, size_t count) override;
  I2cResult DoProbe() override;
  std::string DoName() const override;

  std::string path_;
};

/// The simulated board's bus: an ADS1115-layout converter at 0x48 (present
/// only while ROOT/sim/ai exists) and an RX-8010-layout clock at 0x32.
/// A transfer to any other address is not acknowledged (ENXIO).
class SimulatedI2cBus final : public I2cBus {
 public:
  /// `root` is the board folder; empty means platform::Root() at the time of
  /// each transfer.
  explicit SimulatedI2cBus(std::string root = "");
  ~SimulatedI2cBus() override;

 private:
  I2cResult DoTransfer(I2cMessage* messages, size_t count) override;
  I2cResult DoProbe() override { return {}; }
  std::string DoName() const override;
  std::string RootNow() const;

  std::string root_;
  struct Chips;
  std::unique_ptr<Chips> chips_;
};

/// 7-bit addresses of the board's chips.
constexpr uint16_t kAdcAddress = 0x48;
constexpr uint16_t kRtcAddress = 0x32;
/// The board's bus device.
constexpr const char* kI2cDevice = "/dev/i2c-0";

/// The bus the firmware uses: an installed one if any, else the simulated
/// bus when platform::IsSimulated(), else the device bus.
I2cBus& I2c();
/// Installs a bus (tests); a null pointer goes back to the default choice.
/// The previous bus is kept alive until the process ends.
void InstallI2cBus(std::unique_ptr<I2cBus> bus);

}  // namespace platform
