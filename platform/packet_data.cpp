#include "platform/packet_data.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/paths.h"

namespace platform {

namespace {
std::mutex g_mu;
std::atomic<PacketData*> g_installed{nullptr};
// Installed backends live until the process ends: a thread may still hold one.
std::vector<std::unique_ptr<PacketData>>& Kept() {
  static std::vector<std::unique_ptr<PacketData>> kept;
  return kept;
}
}  // namespace

PacketData& PacketDataBackend() {
  if (PacketData* p = g_installed.load()) return *p;
  std::lock_guard<std::mutex> lock(g_mu);
  if (PacketData* p = g_installed.load()) return *p;
  Kept().push_back(IsSimulated() ? MakeSimulatedPacketData() : MakeDevicePacketData());
  g_installed = Kept().back().get();
  return *g_installed.load();
}

void InstallPacketData(std::unique_ptr<PacketData> backend) {
  std::lock_guard<std::mutex> lock(g_mu);
  Kept().push_back(std::move(backend));
  g_installed = Kept().back().get();
}

}  // namespace platform
