#include "event/input_events.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "base/console.h"
#include "base/sleep.h"
#include "config/readiness.h"
#include "config/time_utils.h"
#include "event/alarm_jobs.h"
#include "hw/analog_input.h"
#include "hw/gpio.h"
#include "platform/gpio_edges.h"

ResetTimer di_reset[kDiCount];
ResetTimer ai_reset[kAiCount];

namespace {

constexpr uint8_t kTypeNc = 3;
constexpr uint8_t kTypeNo = 4;
constexpr uint8_t kTypeHigh = 1;
constexpr uint8_t kTypeLow = 2;
constexpr uint8_t kTypeHighLow = 3;
// A round over the sixteen events is followed by this pause while an input
// is timing or an analog channel is watched; otherwise the thread waits for
// a digital input to change (at most kQuietWaitMs).
constexpr int kRoundPauseMs = 10;
constexpr int kQuietWaitMs = 1000;

// Runs the re-arm timer of a latched input that is in its normal condition.
void Rearm(std::atomic<uint8_t>& latch, ResetTimer& timer, uint32_t reset_ms) {
  if (latch.load() != 1) return;
  const uint32_t now = GetTimeTicks();
  if (timer.cIsTiming == 0) {
    timer.cIsTiming = 1;
    timer.uiStartTick = now;
  } else if (static_cast<uint32_t>(now - timer.uiStartTick) >= reset_ms) {
    timer.cIsTiming = 0;
    latch.store(0);
  }
}

void Fire(int n, const char* input, int c, double value) {
  PrintMsg(">Event %d!!\r\n", n);
  char line[128];
  std::snprintf(line, sizeof line, ">Send SMS -> Event(%d) alarm is triggered!! %s(%d): %f\r\n", n, input, c, value);
  FireEvent(n, line);
}

bool AiAlarm(const AiConfig& a, double x) {
  switch (a.cType) {
    case kTypeHigh: return x > a.fAI_high;
    case kTypeLow: return x < a.fAI_low;
    case kTypeHighLow: return x < a.fAI_low || x > a.fAI_high;
    default: return false;
  }
}

bool AiNormal(const AiConfig& a, double x) {
  switch (a.cType) {
    case kTypeHigh: return x < a.fAI_high;
    case kTypeLow: return x > a.fAI_low;
    case kTypeHighLow: return a.fAI_low < x && x < a.fAI_high;
    default: return false;
  }
}

}  // namespace

void event_di_chk(int n) {
  DiConfig di[kDiCount];
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memcpy(di, orvel_event[n].di, sizeof di);
  }
  EventStatus& st = event_status[n];
  for (int c = 0; c < kDiCount; ++c) {
    const DiConfig& d = di[c];
    if (d.cIsEnable != 1 || d.cIsCounter != 0 || (d.cType != kTypeNc && d.cType != kTypeNo)) continue;
    const uint8_t alarm_level = d.cType == kTypeNo ? 1 : 0;
    cIsHighON = alarm_level;
    const uint8_t v = DIV(static_cast<uint8_t>(c));
    if (v == alarm_level && EventDIIsON[c].load() == 0) {
      if (st.cDIHold[c] == 0) {
        st.cDIHold[c] = 1;
        st.uiDIHoldStart[c] = GetTimeTicks();
        PrintMsg(">DI(%d) is triggered!!\r\n", c);
      } else if (static_cast<uint32_t>(GetTimeTicks() - st.uiDIHoldStart[c]) >= d.uiHoldTime) {
        st.cDIHold[c] = 0;
        st.cDIAlarm[c] = 1;
        EventDIIsON[c] = 1;
        Fire(n, "DI", c, v);
      }
      continue;
    }
    st.cDIHold[c] = 0;
    if (v != 1 - alarm_level) {
      di_reset[c].cIsTiming = 0;  // neither level (a failed read) cancels the timer too
      continue;
    }
    Rearm(EventDIIsON[c], di_reset[c], d.uiResetTime);
  }
}

void event_ai_chk(int n) {
  AiConfig ai[kAiCount];
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memcpy(ai, orvel_event[n].ai, sizeof ai);
  }
  EventStatus& st = event_status[n];
  for (int c = 0; c < kAiCount; ++c) {
    const AiConfig& a = ai[c];
    if (a.cIsEnable != 1) continue;
    const double x = AI_RD(c);
    if (EventAIIsON[c].load() == 0 && AiAlarm(a, x)) {
      if (st.cAIHold[c] == 0) {
        st.cAIHold[c] = 1;
        st.uiAIHoldStart[c] = GetTimeTicks();
        PrintMsg(">AI(%d) value is %f , it's over than Alarm value!!\r\n", c, x);
        continue;
      }
      const uint32_t elapsed = GetTimeTicks() - st.uiAIHoldStart[c];
      PrintMsg("%d, %d\r\n", static_cast<int>(elapsed), static_cast<int>(a.uiHoldTime));
      if (elapsed >= a.uiHoldTime) {
        st.cAIHold[c] = 0;
        st.cAIAlarm[c] = 1;
        EventAIIsON[c] = 1;
        Fire(n, "AI", c, x);
      }
      continue;
    }
    st.cAIHold[c] = 0;
    if (AiNormal(a, x)) {
      Rearm(EventAIIsON[c], ai_reset[c], a.uiResetTime);
    } else {
      ai_reset[c].cIsTiming = 0;
    }
  }
}

bool CheckEventOnce(int n) {
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    if (orvel_event[n].is_event_enable != 1 || orvel_event[n].auto_report.cIsEnable != 0) return false;
  }
  event_di_chk(n);
  event_ai_chk(n);
  return true;
}

void ResetInputEvents() {
  for (int c = 0; c < kDiCount; ++c) {
    EventDIIsON[c] = 0;
    di_reset[c] = ResetTimer{};
  }
  for (int c = 0; c < kAiCount; ++c) {
    EventAIIsON[c] = 0;
    ai_reset[c] = ResetTimer{};
  }
  for (EventStatus& st : event_status) {
    std::memset(st.cDIHold, 0, sizeof st.cDIHold);
    std::memset(st.cAIHold, 0, sizeof st.cAIHold);
  }
}

bool InputEventsTiming() {
  for (int c = 0; c < kDiCount; ++c) {
    if (di_reset[c].cIsTiming) return true;
  }
  for (int c = 0; c < kAiCount; ++c) {
    if (ai_reset[c].cIsTiming) return true;
  }
  for (const EventStatus& st : event_status) {
    for (uint8_t hold : st.cDIHold) {
      if (hold) return true;
    }
    for (uint8_t hold : st.cAIHold) {
      if (hold) return true;
    }
  }
  return false;
}

static bool AnalogWatched() {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  for (const OrvelEvent& ev : orvel_event) {
    if (ev.is_event_enable != 1 || ev.auto_report.cIsEnable != 0) continue;
    for (const AiConfig& a : ev.ai) {
      if (a.cIsEnable == 1) return true;
    }
  }
  return false;
}

void* thread_check_event(void*) {
  WaitUntilReady();
  PrintMsg("[thread_check_event is start]\r\n");
  // Quiet digital inputs need no reading: their changes wake the thread.
  std::unique_ptr<platform::GpioEdgeWaiter> edges = platform::MakeGpioEdgeWaiter();
  for (int c = 0; c < kDiCount; ++c) edges->Add(DIV_path(static_cast<uint8_t>(c)));
  for (;;) {
    for (int n = 0; n < kEventCount; ++n) CheckEventOnce(n);
    if (InputEventsTiming() || AnalogWatched()) {
      SleepMilliseconds(kRoundPauseMs);
    } else {
      edges->Wait(kQuietWaitMs);
    }
  }
  return nullptr;
}
