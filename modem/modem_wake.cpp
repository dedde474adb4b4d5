#include "modem/modem_wake.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
std::mutex g_mu;
std::condition_variable g_cv;
bool g_woken = false;  // guarded by g_mu
}  // namespace

void WakeModemLoop() {
  {
    std::lock_guard<std::mutex> lock(g_mu);
    g_woken = true;
  }
  g_cv.notify_all();
}

bool ModemRest(int ms) {
  std::unique_lock<std::mutex> lock(g_mu);
  const bool woken = g_cv.wait_for(lock, std::chrono::milliseconds(ms), [] { return g_woken; });
  g_woken = false;
  return woken;
}
