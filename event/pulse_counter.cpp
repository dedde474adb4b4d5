#include "event/pulse_counter.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "base/console.h"
#include "base/thread_start.h"
#include "config/config_file.h"
#include "config/readiness.h"
#include "config/side_files.h"
#include "config/time_utils.h"
#include "event/alarm_jobs.h"
#include "hw/gpio.h"
#include "platform/gpio_edges.h"

namespace {

// Firing an event pauses 2 s after queueing its SMS; the inputs must go on
// being counted meanwhile, so counter alarms are fired on a thread of their
// own, in the order they were raised.
class AlarmFirer {
 public:
  void Put(int e) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      // Each channel raises its alarm once, so this never fills in practice.
      if (pending_.size() >= kMaxPending) {
        PrintMsg(">Counter alarm of Event(%d) not fired: %d alarms still pending\r\n", e, kMaxPending);
        return;
      }
      if (!started_) started_ = StartThread(&AlarmFirer::Body);
      if (started_) {
        pending_.push_back(e);
        cv_.notify_one();
        return;
      }
    }
    PrintMsg(">Counter alarm thread cannot start; counting pauses while Event(%d) fires\r\n", e);
    FireEvent(e, nullptr);
  }

 private:
  static constexpr int kMaxPending = kEventCount;

  static void* Body(void*);

  void Run() {
    for (;;) {
      int e;
      {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [&] { return !pending_.empty(); });
        e = pending_.front();
        pending_.pop_front();
      }
      FireEvent(e, nullptr);
    }
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<int> pending_;
  bool started_ = false;
};

// Never destroyed: its thread waits on it until the process ends.
AlarmFirer& Firer() {
  static AlarmFirer* firer = new AlarmFirer;
  return *firer;
}

void* AlarmFirer::Body(void*) {
  NameThisThread("counter_alarm");
  Firer().Run();
  return nullptr;
}

void FireCounterAlarm(int e) { Firer().Put(e); }

}  // namespace

int Compare_Counter_value() {
  for (int c = 0; c < kDiCount; ++c) {
    if (sys_config.counter_status[c].load() != counter_status_old[c].load()) return 0;
  }
  return 1;
}

PulseCounter::PulseCounter(std::function<void(int)> fire) : fire_(std::move(fire)) {}

bool PulseCounter::Scan(const uint8_t levels[kDiCount]) {
  bool any = false;
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  for (int c = 0; c < kDiCount; ++c) {
    Channel& ch = channels_[c];
    ch = Channel{};
    // A failed read gives no start level; the first good one becomes it,
    // so a read error at start never passes for an edge.
    ch.known = levels[c] == 0 || levels[c] == 1;
    ch.last = levels[c];
    for (int e = 0; e < kEventCount; ++e) {
      const DiConfig& d = orvel_event[e].di[c];
      if (d.cIsEnable == 1 && d.cIsCounter == 1 && (d.cType == kNcPulse || d.cType == kNoPulse)) ch.type = d.cType;
    }
    any = any || ch.type != kNotCounted;
  }
  return any;
}

void PulseCounter::Sample(int c, uint8_t v, uint32_t now) {
  Channel& ch = channels_[c];
  if (ch.type == kNotCounted || (v != 0 && v != 1)) return;
  if (!ch.known) {
    ch.known = true;
    ch.last = v;
    return;
  }
  const uint8_t on = ch.type == kNoPulse ? 1 : 0;
  if (v == on) {
    // Back ON before the pulse was counted: a bounce, the pulse goes on.
    ch.early_off = false;
    if (ch.last != on) {
      PrintMsg(">Counter: DI(%d)_ON!!\r\n", c);
      ch.rising = now;
      ch.last = v;
    }
    return;
  }
  if (ch.last == v) return;
  PrintMsg(">Counter: DI(%d)_OFF!!\r\n", c);
  if (static_cast<uint32_t>(now - ch.rising) >= kMinPulseMs) {
    // One add, so a preset stored by a command meanwhile is never lost.
    const uint32_t count = sys_config.counter_status[c].fetch_add(1) + 1;
    PrintMsg(">NO_DI(%d) Counter: %d\r\n", c, static_cast<int>(count));
    ch.last = v;
    ch.early_off = false;
  } else {
    // Too short yet: the level stays ON and the line is looked at again
    // once the pulse is long enough.
    ch.early_off = true;
  }
}

void PulseCounter::CheckAlarmsAndWrap() {
  // Per channel the event whose counter alarm is raised now, or -1. The
  // latch lets one event fire per channel, the first that watches it.
  int raised[kDiCount];
  {
    // A command presets count and alarm value together under this lock:
    // the pair is compared as one.
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    for (int c = 0; c < kDiCount; ++c) {
      raised[c] = -1;
      if (sys_config.counter_status[c].load() < sys_config.uiCounter[c].load() ||
          sys_config.cIsCounterTriggered[c].load() != 0) {
        continue;
      }
      for (int e = 0; e < kEventCount && raised[c] < 0; ++e) {
        if (orvel_event[e].di[c].cIsCounter == 1) raised[c] = e;
      }
      if (raised[c] >= 0) sys_config.cIsCounterTriggered[c] = 1;
    }
  }
  for (int c = 0; c < kDiCount; ++c) {
    if (raised[c] < 0) continue;
    PrintMsg(">Counter(%d) Alarm: Event(%d)!!\r\n", c, raised[c]);
    // The latch is kept in config.ini before the alarm goes out, so a
    // restart never raises the same alarm again.
    SaveLatch();
    fire_(raised[c]);
  }
  for (int c = 0; c < kDiCount; ++c) {
    uint32_t v = sys_config.counter_status[c].load();
    // Only the value seen is reset: a preset stored meanwhile stays.
    if (v > kCounterMax && sys_config.counter_status[c].compare_exchange_strong(v, 0)) {
      PrintMsg("Counter[%d] is over than CounterMax(%d) value, set as 0.\r\n", c, static_cast<int>(kCounterMax));
    }
  }
}

void PulseCounter::SaveLatch() {
  latch_unsaved_ = save_orvel_config() == 0;
  if (latch_unsaved_) PrintMsg(">Save config.ini failed.\r\n");
}

void PulseCounter::SaveIfDue(uint32_t now) {
  if (static_cast<uint32_t>(now - save_start_) <= kSavePeriodMs) return;
  save_start_ = now;
  // A latch the file did not take is tried again with the counts.
  if (latch_unsaved_) SaveLatch();
  if (Compare_Counter_value() != 0) return;
  uint32_t before[kDiCount];
  for (int c = 0; c < kDiCount; ++c) {
    before[c] = counter_status_old[c].load();
    counter_status_old[c] = sys_config.counter_status[c].load();
  }
  if (save_counter_status() == 1) {
    PrintMsg(">Save Counter Status log!!\r\n");
    return;
  }
  // Not saved: keep the counts as different from the file, so the save is
  // tried again at the next period even if nothing is counted meanwhile.
  for (int c = 0; c < kDiCount; ++c) counter_status_old[c] = before[c];
}

int PulseCounter::SleepMs(uint32_t now) const {
  int64_t ms = kAlarmCheckMs;
  for (const Channel& ch : channels_) {
    if (!ch.early_off) continue;
    const int64_t left = int64_t(kMinPulseMs) - int64_t(static_cast<uint32_t>(now - ch.rising));
    ms = std::min(ms, left);
  }
  const int64_t save_left = int64_t(kSavePeriodMs) + 1 - int64_t(static_cast<uint32_t>(now - save_start_));
  ms = std::min(ms, save_left);
  return static_cast<int>(std::max<int64_t>(ms, 0));
}

void* thread_counter_handle(void*) {
  NameThisThread("counter");
  WaitUntilReady();
  PrintMsg("[thread_counter_handle is start]\r\n");
  PulseCounter counter(FireCounterAlarm);
  uint8_t levels[kDiCount];
  for (int c = 0; c < kDiCount; ++c) levels[c] = DIV(static_cast<uint8_t>(c));
  if (!counter.Scan(levels)) {
    PrintMsg(">No counter event, kill this thread!!\r\n");
    return nullptr;
  }
  std::unique_ptr<platform::GpioEdgeWaiter> edges = platform::MakeGpioEdgeWaiter();
  for (int c = 0; c < kDiCount; ++c) {
    if (counter.type(c) == PulseCounter::kNotCounted) continue;
    if (!edges->Add(DIV_path(static_cast<uint8_t>(c)))) {
      PrintMsg(">Counter: DI(%d) edges are not reported, reading it every %d ms\r\n", c,
               platform::GpioEdgeWaiter::kFallbackStepMs);
    }
  }
  counter.StartSaveTimer(GetTimeTicks());
  for (;;) {
    // Every counted line is read after each wake-up: a report only says
    // that some line may have changed.
    const uint32_t now = GetTimeTicks();
    for (int c = 0; c < kDiCount; ++c) {
      if (counter.type(c) != PulseCounter::kNotCounted) counter.Sample(c, DIV(static_cast<uint8_t>(c)), now);
    }
    counter.CheckAlarmsAndWrap();
    counter.SaveIfDue(now);
    edges->Wait(counter.SleepMs(GetTimeTicks()));
  }
  return nullptr;
}
