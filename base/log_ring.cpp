#include "base/log_ring.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/clock.h"

LogRecord logBuffer[kLogSlots];
std::atomic<int> logInIdx{0};
std::atomic<int> logOutIdx{0};

namespace {

std::atomic<LogModemInfoSource> g_modem_info{nullptr};

std::mutex g_ring_mu;
std::condition_variable g_ring_cv;
bool g_wake = false;  // guarded by g_ring_mu

int QueuedLocked() {
  int n = logInIdx.load() - logOutIdx.load();
  return n < 0 ? n + kLogSlots : n;
}

void Push(int main_code, int sub_code, int with_modem_info, const char* phone) {
  // Everything the slot needs is gathered before the lock is taken.
  LogRecord r{};
  struct tm now {};
  platform::LocalTime(platform::SystemClock().Now().tv_sec, &now);
  std::strftime(r.time, sizeof r.time, "%H:%M:%S", &now);
  std::snprintf(r.main_code, sizeof r.main_code, "%d", main_code);
  std::snprintf(r.sub_code, sizeof r.sub_code, "%d", sub_code);
  if (with_modem_info == 1) {
    LogModemInfoSource source = g_modem_info.load();
    if (source) source(&r.creg, &r.csq);
    if (phone) std::snprintf(r.phone, sizeof r.phone, "%s", phone);
    r.with_modem_info = 1;
  }

  {
    std::lock_guard<std::mutex> lock(g_ring_mu);
    if (QueuedLocked() >= kLogMaxQueued) return;  // full: the record is dropped
    int in = logInIdx.load();
    logBuffer[in] = r;
    logInIdx.store((in + 1) % kLogSlots);
  }
  g_ring_cv.notify_one();
}

}  // namespace

void LogSetModemInfoSource(LogModemInfoSource source) { g_modem_info = source; }

void LogRingClear() {
  std::lock_guard<std::mutex> lock(g_ring_mu);
  std::memset(logBuffer, 0, sizeof logBuffer);
  logInIdx = 0;
  logOutIdx = 0;
  g_wake = false;
}

void LogPush(int main_code, int sub_code, int with_modem_info) {
  Push(main_code, sub_code, with_modem_info, nullptr);
}

void LogPushPhone(int main_code, int sub_code, int with_modem_info, const char* phone) {
  Push(main_code, sub_code, with_modem_info, phone);
}

int LogPushIdx() {
  std::lock_guard<std::mutex> lock(g_ring_mu);
  return QueuedLocked();
}

int LogPopIdx() {
  std::lock_guard<std::mutex> lock(g_ring_mu);
  int queued = QueuedLocked();
  if (queued > 0) logOutIdx.store((logOutIdx.load() + 1) % kLogSlots);
  return queued;
}

bool LogPeekOldest(LogRecord* out) {
  std::lock_guard<std::mutex> lock(g_ring_mu);
  if (QueuedLocked() == 0) return false;
  *out = logBuffer[logOutIdx.load()];
  return true;
}

bool LogWaitForRecord(int timeout_ms) {
  std::unique_lock<std::mutex> lock(g_ring_mu);
  g_ring_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                     [] { return g_wake || QueuedLocked() > 0; });
  g_wake = false;
  return QueuedLocked() > 0;
}

void LogWakeWriter() {
  {
    std::lock_guard<std::mutex> lock(g_ring_mu);
    g_wake = true;
  }
  g_ring_cv.notify_all();
}
