#include <errno.h>

#include "platform/i2c_bus.h"
#include "platform/paths.h"
#include "platform/sim_adc_chip.h"
#include "platform/sim_rtc_chip.h"

namespace platform {

struct SimulatedI2cBus::Chips {
  SimAdcChip adc;
  SimRtcChip rtc;

  SimI2cChip* At(uint16_t address) {
    switch (address) {
      case kAdcAddress:
        return &adc;
      case kRtcAddress:
        return &rtc;
      default:
        return nullptr;
    }
  }
};

SimulatedI2cBus::SimulatedI2cBus(std::string root) : root_(std::move(root)), chips_(new Chips) {}

SimulatedI2cBus::~SimulatedI2cBus() = default;

std::string SimulatedI2cBus::RootNow() const { return root_.empty() ? Root() : root_; }

std::string SimulatedI2cBus::DoName() const { return RootNow() + kI2cDevice; }

I2cResult SimulatedI2cBus::DoTransfer(I2cMessage* messages, size_t count) {
  const std::string root = RootNow();
  for (size_t i = 0; i < count; ++i) {
    SimI2cChip* chip = chips_->At(messages[i].address);
    // An absent chip does not acknowledge its address; the adapter reports
    // that as ENXIO and the rest of the transfer is not sent.
    if (!chip || !chip->Present(root)) return {I2cResult::kTransferFailed, -1, ENXIO};
    bool ok = messages[i].read ? chip->Read(root, messages[i].data, messages[i].length)
                               : chip->Write(root, messages[i].data, messages[i].length);
    if (!ok) return {I2cResult::kTransferFailed, -1, EIO};
  }
  return {};
}

}  // namespace platform
