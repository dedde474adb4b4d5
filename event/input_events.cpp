#include "event/input_events.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "base/console.h"
#include "base/thread_start.h"
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
// Between rounds the thread waits for a digital input to change, for the
// next hold or re-arm of a digital input to come due, or for the next
// analog sample, whichever is first. Watched analog channels are sampled
// every quarter of their shortest hold time, but no more often than the
// converter can read all four channels with room to spare (50 ms settling
// each) and at least once a second. With nothing to time it looks again
// only every kQuietWaitMs, for an event enabled meanwhile.
constexpr uint32_t kSampleMinMs = 250;
constexpr uint32_t kSampleMaxMs = 1000;
constexpr int kQuietWaitMs = 10000;
constexpr int kMinRoundMs = 10;

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

namespace {

// One analog channel of event `n` with its sampled value `x`.
void AiChannelCheck(int n, int c, const AiConfig& a, double x) {
  EventStatus& st = event_status[n];
  if (EventAIIsON[c].load() == 0 && AiAlarm(a, x)) {
    if (st.cAIHold[c] == 0) {
      st.cAIHold[c] = 1;
      st.uiAIHoldStart[c] = GetTimeTicks();
      PrintMsg(">AI(%d) value is %f , it's over than Alarm value!!\r\n", c, x);
      return;
    }
    const uint32_t elapsed = GetTimeTicks() - st.uiAIHoldStart[c];
    PrintMsg("%d, %d\r\n", static_cast<int>(elapsed), static_cast<int>(a.uiHoldTime));
    if (elapsed >= a.uiHoldTime) {
      st.cAIHold[c] = 0;
      st.cAIAlarm[c] = 1;
      EventAIIsON[c] = 1;
      Fire(n, "AI", c, x);
    }
    return;
  }
  st.cAIHold[c] = 0;
  if (AiNormal(a, x)) {
    Rearm(EventAIIsON[c], ai_reset[c], a.uiResetTime);
  } else {
    ai_reset[c].cIsTiming = 0;
  }
}

void CopyAi(int n, AiConfig* ai) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  std::memcpy(ai, orvel_event[n].ai, sizeof orvel_event[n].ai);
}

}  // namespace

void event_ai_chk(int n) {
  AiConfig ai[kAiCount];
  CopyAi(n, ai);
  for (int c = 0; c < kAiCount; ++c) {
    if (ai[c].cIsEnable == 1) AiChannelCheck(n, c, ai[c], AI_RD(c));
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

uint32_t AnalogSampleMs() {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  uint32_t shortest = 0;
  bool watched = false;
  for (const OrvelEvent& ev : orvel_event) {
    if (ev.is_event_enable != 1 || ev.auto_report.cIsEnable != 0) continue;
    for (const AiConfig& a : ev.ai) {
      if (a.cIsEnable != 1) continue;
      if (!watched || a.uiHoldTime < shortest) shortest = a.uiHoldTime;
      watched = true;
    }
  }
  if (!watched) return 0;
  const uint32_t quarter = shortest / 4;
  return quarter < kSampleMinMs ? kSampleMinMs : quarter > kSampleMaxMs ? kSampleMaxMs : quarter;
}

int DigitalDueMs() {
  DiConfig di[kEventCount][kDiCount];
  bool watched[kEventCount];
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    for (int n = 0; n < kEventCount; ++n) {
      const OrvelEvent& ev = orvel_event[n];
      watched[n] = ev.is_event_enable == 1 && ev.auto_report.cIsEnable == 0;
      std::memcpy(di[n], ev.di, sizeof di[n]);
    }
  }
  const uint32_t now = GetTimeTicks();
  int64_t due = -1;
  auto consider = [&](uint32_t start, uint32_t length) {
    const int64_t left = int64_t(length) - int64_t(static_cast<uint32_t>(now - start));
    const int64_t ms = left > 0 ? left : 0;
    if (due < 0 || ms < due) due = ms;
  };
  for (int n = 0; n < kEventCount; ++n) {
    if (!watched[n]) continue;
    for (int c = 0; c < kDiCount; ++c) {
      const DiConfig& d = di[n][c];
      // The channels event_di_chk looks at, and a re-arm only while its
      // latch holds: a timer nobody will clear would be due at once for
      // ever.
      if (d.cIsEnable != 1 || d.cIsCounter != 0 || (d.cType != kTypeNc && d.cType != kTypeNo)) continue;
      if (event_status[n].cDIHold[c]) consider(event_status[n].uiDIHoldStart[c], d.uiHoldTime);
      if (di_reset[c].cIsTiming && EventDIIsON[c].load() == 1) consider(di_reset[c].uiStartTick, d.uiResetTime);
    }
  }
  return due > INT32_MAX ? INT32_MAX : static_cast<int>(due);
}

void CheckEventRound(bool sample_analog) {
  bool enabled[kEventCount];
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    for (int n = 0; n < kEventCount; ++n) {
      enabled[n] = orvel_event[n].is_event_enable == 1 && orvel_event[n].auto_report.cIsEnable == 0;
    }
  }
  for (int n = 0; n < kEventCount; ++n) {
    if (enabled[n]) event_di_chk(n);
  }
  if (!sample_analog) return;
  // One conversion per watched channel, shared by every event watching it.
  AiConfig ai[kEventCount][kAiCount];
  bool read[kAiCount] = {};
  for (int n = 0; n < kEventCount; ++n) {
    if (!enabled[n]) continue;
    CopyAi(n, ai[n]);
    for (int c = 0; c < kAiCount; ++c) read[c] = read[c] || ai[n][c].cIsEnable == 1;
  }
  double x[kAiCount] = {};
  for (int c = 0; c < kAiCount; ++c) {
    if (read[c]) x[c] = AI_RD(c);
  }
  for (int n = 0; n < kEventCount; ++n) {
    if (!enabled[n]) continue;
    for (int c = 0; c < kAiCount; ++c) {
      if (ai[n][c].cIsEnable == 1) AiChannelCheck(n, c, ai[n][c], x[c]);
    }
  }
}

void* thread_check_event(void*) {
  NameThisThread("check_event");
  WaitUntilReady();
  PrintMsg("[thread_check_event is start]\r\n");
  // Quiet digital inputs need no reading: their changes wake the thread.
  std::unique_ptr<platform::GpioEdgeWaiter> edges = platform::MakeGpioEdgeWaiter();
  for (int c = 0; c < kDiCount; ++c) edges->Add(DIV_path(static_cast<uint8_t>(c)));
  uint32_t last_sample = GetTimeTicks();
  bool sampled = false;
  for (;;) {
    const uint32_t sample_ms = AnalogSampleMs();
    uint32_t now = GetTimeTicks();
    const bool sample = sample_ms != 0 && (!sampled || static_cast<uint32_t>(now - last_sample) >= sample_ms);
    if (sample) {
      last_sample = now;
      sampled = true;
    }
    CheckEventRound(sample);
    int wait = kQuietWaitMs;
    const int digital = DigitalDueMs();
    // At least a tick between rounds, whatever is due: a due time that a
    // round does not clear costs 100 rounds a second, not a spinning core.
    if (digital >= 0 && digital < wait) wait = digital < kMinRoundMs ? kMinRoundMs : digital;
    if (sample_ms != 0) {
      now = GetTimeTicks();
      const int64_t left = int64_t(sample_ms) - int64_t(static_cast<uint32_t>(now - last_sample));
      if (left < wait) wait = left > 0 ? static_cast<int>(left) : 0;
    }
    edges->Wait(wait);
  }
  return nullptr;
}
