// The simulated analog-to-digital converter (register layout of the
// ADS1113/ADS1114/ADS1115 family) together with the board's input stage.
//
// The voltage at analog input N is the decimal number of volts in
// ROOT/sim/ai/N (a missing or unreadable file reads 0 V). N is the channel the
// external multiplexer selects: bit 0 from the value file of GPIO 25, bit 1
// from GPIO 6, read at each conversion. Without the folder ROOT/sim/ai the
// converter is not on the bus.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sim_i2c_chip.h"

namespace platform {

class SimAdcChip final : public SimI2cChip {
 public:
  /// The converter's power-on configuration word.
  static constexpr uint16_t kResetConfig = 0x8583;

  bool Present(const std::string& root) const override;
  bool Write(const std::string& root, const uint8_t* data, size_t len) override;
  bool Read(const std::string& root, uint8_t* out, size_t len) override;

  uint16_t config() const { return config_; }

 private:
  uint16_t RegisterValue(const std::string& root, uint8_t reg) const;

  uint8_t pointer_ = 0;
  uint16_t config_ = kResetConfig;
  uint16_t lo_thresh_ = 0x8000;
  uint16_t hi_thresh_ = 0x7FFF;
};

/// The conversion result for `volts` at the input terminal under the
/// configuration word `config` (its gain field sets the full scale). The
/// input stage scales the terminal voltage by 2.04/10 when positive and by
/// 1.996/10 when negative; the result saturates at 0x7FFF and 0x8000.
uint16_t SimAdcCode(double volts, uint16_t config);

/// Input volts of channel `ch` from ROOT/sim/ai/N; 0 when absent or unreadable.
double SimAdcInputVolts(const std::string& root, int ch);

/// Channel selected by the multiplexer lines (GPIO 25 = bit 0, GPIO 6 = bit 1).
int SimAdcSelectedChannel(const std::string& root);

}  // namespace platform
