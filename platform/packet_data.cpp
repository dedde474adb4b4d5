#include "platform/packet_data.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/paths.h"

namespace platform {

namespace {
std::mutex g_mu;
QmiEndpoint g_endpoint;  // under g_mu  // NOLINT(cert-err58-cpp): the default path fits the string's inline space: nothing is allocated
std::atomic<PacketData*> g_installed{nullptr};
// Installed backends live until the process ends: a thread may still hold one.
std::vector<std::unique_ptr<PacketData>>& Kept() {
  static std::vector<std::unique_ptr<PacketData>> kept;
  return kept;
}
}  // namespace

PacketData& PacketDataBackend() {
  if (PacketData* p = g_installed.load()) return *p;  // cppcheck-suppress constVariable ; handed out for use, not only read
  std::lock_guard<std::mutex> lock(g_mu);
  if (PacketData* p = g_installed.load()) return *p;  // cppcheck-suppress constVariable ; handed out for use, not only read
  Kept().push_back(IsSimulated() ? MakeSimulatedPacketData() : MakeDevicePacketData());
  g_installed = Kept().back().get();
  return *g_installed.load();
}

bool ParseQmiEndpoint(const std::string& text, QmiEndpoint* out) {
  QmiEndpoint e;
  static const std::string kQrtr = "qrtr:";
  if (text.compare(0, kQrtr.size(), kQrtr) == 0) {
    const std::string node = text.substr(kQrtr.size());
    if (node.empty() || node.size() > 5 || node.find_first_not_of("0123456789") != std::string::npos) return false;
    e.qrtr_node = std::stoi(node);
    if (e.qrtr_node > 0xFFFF) return false;
    e.path = text;
  } else {
    if (text.empty() || text[0] != '/' || text.size() > kQmiPathMax) return false;
    e.path = text;
  }
  *out = e;
  return true;
}

void SetQmiEndpoint(const QmiEndpoint& endpoint) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_endpoint = endpoint;
}

QmiEndpoint ConfiguredQmiEndpoint() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_endpoint;
}

void InstallPacketData(std::unique_ptr<PacketData> backend) {
  std::lock_guard<std::mutex> lock(g_mu);
  Kept().push_back(std::move(backend));
  g_installed = Kept().back().get();
}

}  // namespace platform
