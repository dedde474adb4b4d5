// A chip model on the simulated I2C bus (platform/i2c_bus.h).
//
// A model sees the messages addressed to it: a write message carries the
// register pointer and then register data (auto-incrementing), a read message
// returns registers from the pointer on. Models keep their lasting state in
// files under the board folder, so they take that folder on every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class SimI2cChip {
 public:
  virtual ~SimI2cChip() = default;

  /// False while the chip is not on the bus (it does not acknowledge).
  virtual bool Present(const std::string& root) const = 0;
  /// A write message: `data[0]` is the register pointer, the rest register
  /// contents. Returns false when the chip does not acknowledge.
  virtual bool Write(const std::string& root, const uint8_t* data, size_t len) = 0;
  /// A read message from the current register pointer.
  virtual bool Read(const std::string& root, uint8_t* out, size_t len) = 0;
};

}  // namespace platform
