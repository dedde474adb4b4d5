#include "platform/paths.h"

#include <atomic>

namespace platform {
namespace {
std::string& RootStorage() {
  static std::string root;
  return root;
}
std::atomic<bool> g_simulated{false};
std::atomic<unsigned> g_root_generation{0};
}  // namespace

void SetRoot(const std::string& root) {
  std::string r = root;
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  if (r == "/") r.clear();
  RootStorage() = r;
  g_root_generation.fetch_add(1);
}

unsigned RootGeneration() { return g_root_generation.load(); }

const std::string& Root() { return RootStorage(); }

std::string Path(const std::string& device_path) {
  const std::string& root = RootStorage();
  if (root.empty()) return device_path;
  if (!device_path.empty() && device_path[0] == '/') return root + device_path;
  return root + "/" + device_path;
}

bool IsSimulated() { return g_simulated.load(); }
void SetSimulated(bool simulated) { g_simulated.store(simulated); }

}  // namespace platform
