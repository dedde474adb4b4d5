#include "event/do_control.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/console.h"
#include "base/thread_start.h"
#include "config/time_utils.h"
#include "config/readiness.h"
#include "hw/gpio.h"

DoCtrl do_ctrl[kDoCount];

namespace {

// A request wakes the thread; an idle one looks again only this often.
constexpr int kIdleWaitMs = 600000;

std::mutex g_mu;
std::condition_variable g_cv;
uint64_t g_requests = 0;  // guarded by g_mu

bool AnyBusyLocked() { return do_ctrl[0].cIsRequest == 1 || do_ctrl[1].cIsRequest == 1; }

bool ValidChannel(int ch) { return ch >= 0 && ch < kDoCount; }

}  // namespace

void DoRequest(int ch, uint32_t duration_ms) {
  if (!ValidChannel(ch)) return;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    do_ctrl[ch].cIsRequest = 1;
    do_ctrl[ch].uiDuration = duration_ms;
    do_ctrl[ch].cIsOn = 0;
    do_ctrl[ch].uiStartTick = 0;
    ++g_requests;
  }
  g_cv.notify_all();
}

bool DoSwitchSteady(int ch, bool on) {
  if (!ValidChannel(ch)) return false;
  // The record and the line change under the one lock the thread visits
  // under: a pulse requested meanwhile either comes after (and runs whole)
  // or was cleared before it switched anything.
  std::lock_guard<std::mutex> lock(g_mu);
  do_ctrl[ch] = DoCtrl{};
  const uint8_t out = static_cast<uint8_t>(ch);
  if ((on ? ONDO(out) : OFFDO(out)) < 0) {
    PrintMsg(">DO(%d) could not be switched!!\r\n", ch);
    return false;
  }
  PrintMsg(on ? ">DO(%d) is always ON!!\r\n" : ">DO(%d) is always OFF!!\r\n", ch);
  return true;
}

DoCtrl DoCtrlSnapshot(int ch) {
  if (!ValidChannel(ch)) return DoCtrl{};
  std::lock_guard<std::mutex> lock(g_mu);
  return do_ctrl[ch];
}

void DoHandleVisit(int ch) {
  if (!ValidChannel(ch)) return;
  std::lock_guard<std::mutex> lock(g_mu);
  DoCtrl& d = do_ctrl[ch];
  if (d.cIsRequest != 1) return;
  const uint8_t out = static_cast<uint8_t>(ch);
  if (d.uiDuration != 0) {
    if (d.cIsOn == 0) {
      ONDO(out);
      PrintMsg(">DO(%d) is ON!!\r\n", ch);
      d.cIsOn = 1;
      d.uiStartTick = GetTimeTicks();
    } else if (static_cast<uint32_t>(GetTimeTicks() - d.uiStartTick) >= d.uiDuration) {
      OFFDO(out);
      PrintMsg(">DO(%d) is OFF!!\r\n", ch);
      d = DoCtrl{};
    }
  } else {
    ONDO(out);
    PrintMsg(">DO(%d) is always ON!!\r\n", ch);
    d = DoCtrl{};
  }
}

bool DoWaitForWork(int timeout_ms) {
  std::unique_lock<std::mutex> lock(g_mu);
  return g_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), AnyBusyLocked);
}

int DoNextVisitMs(int idle_ms) {
  std::lock_guard<std::mutex> lock(g_mu);
  int64_t next = idle_ms;
  const uint32_t now = GetTimeTicks();
  for (const DoCtrl& d : do_ctrl) {
    if (d.cIsRequest != 1) continue;
    if (d.uiDuration == 0 || d.cIsOn == 0) return 0;
    const int64_t left = int64_t(d.uiDuration) - int64_t(static_cast<uint32_t>(now - d.uiStartTick));
    if (left < next) next = left;
  }
  return next > 0 ? static_cast<int>(next) : 0;
}

uint64_t DoRequestCount() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_requests;
}

void DoWaitForRequest(uint64_t* seen, int timeout_ms) {
  std::unique_lock<std::mutex> lock(g_mu);
  const uint64_t from = *seen;
  g_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [from] { return g_requests != from; });
  *seen = g_requests;
}

void* thread_do_handle(void*) {
  NameThisThread("do_handle");
  WaitUntilReady();
  PrintMsg("[thread_do_handle is start]\r\n");
  uint64_t seen = DoRequestCount();
  for (;;) {
    // Both outputs at each wake-up, then sleep until the first pulse ends
    // or a request comes (a request posted during the visits ends the wait
    // at once: `seen` was taken before them).
    DoHandleVisit(0);
    DoHandleVisit(1);
    DoWaitForRequest(&seen, DoNextVisitMs(kIdleWaitMs));
  }
  return nullptr;
}
