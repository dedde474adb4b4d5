#include "platform/i2c_bus.h"

#include <errno.h>

#include <atomic>
#include <vector>

#include "platform/paths.h"

namespace platform {
namespace {

std::atomic<I2cBus*> g_installed{nullptr};

std::mutex& RetiredMutex() {
  static std::mutex mu;
  return mu;
}
std::vector<std::unique_ptr<I2cBus>>& Retired() {
  static auto* retired = new std::vector<std::unique_ptr<I2cBus>>;
  return *retired;
}

}  // namespace

I2cResult I2cBus::Transfer(I2cMessage* messages, size_t count) {
  bool valid = messages != nullptr && count > 0 && count <= kMaxMessages;
  for (size_t i = 0; valid && i < count; ++i) {
    if (messages[i].length > 0 && messages[i].data == nullptr) valid = false;
  }
  if (!valid) return {I2cResult::kTransferFailed, -1, EINVAL};
  std::lock_guard<std::mutex> lock(mu_);
  return DoTransfer(messages, count);
}

I2cResult I2cBus::Probe() {
  std::lock_guard<std::mutex> lock(mu_);
  return DoProbe();
}

I2cBus& I2c() {
  I2cBus* bus = g_installed.load(std::memory_order_acquire);
  if (bus) return *bus;
  // Both backends are built on every board; the start-up option picks one.
  // Neither holds a path: each reads the root at every transfer. They are
  // never destroyed, so a thread still on the bus while the process exits
  // (a reboot request) does not find it gone.
  static SimulatedI2cBus* simulated = new SimulatedI2cBus;
  static DeviceI2cBus* device = new DeviceI2cBus("");
  if (IsSimulated()) return *simulated;
  return *device;
}

void InstallI2cBus(std::unique_ptr<I2cBus> bus) {
  std::lock_guard<std::mutex> lock(RetiredMutex());
  g_installed.store(bus.get(), std::memory_order_release);
  if (bus) Retired().push_back(std::move(bus));
}

}  // namespace platform
