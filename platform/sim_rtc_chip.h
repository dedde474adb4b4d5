// The simulated real-time clock (register layout of the Epson RX-8010
// family). The seven time registers 0x10 to 0x16 (BCD seconds, minutes,
// hours, one-hot weekday, day, month, year - 2000) come from ROOT/sim/rtc
// (platform/sim_rtc_file.h) at every read and go back to it at every write,
// so the clock survives the firmware and the simulator's `ctl rtc` sees it.
// The other registers are plain memory.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "platform/sim_i2c_chip.h"

namespace platform {

class SimRtcChip final : public SimI2cChip {
 public:
  /// `host_now` gives the host time (seconds since 1970); time(NULL) if empty.
  explicit SimRtcChip(std::function<time_t()> host_now = nullptr);

  bool Present(const std::string&) const override { return true; }
  bool Write(const std::string& root, const uint8_t* data, size_t len) override;
  bool Read(const std::string& root, uint8_t* out, size_t len) override;

  static constexpr uint8_t kTimeFirstReg = 0x10;
  static constexpr int kTimeRegCount = 7;

 private:
  time_t HostNow() const;
  void LoadTime(const std::string& root, uint8_t* regs) const;
  bool StoreTime(const std::string& root, const uint8_t* regs) const;

  std::function<time_t()> host_now_;
  uint8_t pointer_ = 0;
  uint8_t regs_[256] = {};
};

}  // namespace platform
