// The system clock facade.
//
// Two times: the wall time, which is shown, logged and scheduled and which
// the clock-sync thread and @TIME set from the real-time clock; and the
// tick, a clock that only runs forward, which times holds, resets, pulses,
// LED phases and waits, so that setting the wall time never cuts or
// stretches a running timer. On the device the wall time is the kernel's
// clock; on the simulated board it is the host clock plus an offset kept in
// DIR/sim/clock (the host clock is never changed), which the simulator may
// move while the firmware runs (`ctl clock jump`). Both take their tick from
// CLOCK_MONOTONIC. Tests use a clock they step by hand.
#pragma once

#include <sys/time.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

/// The host's CLOCK_MONOTONIC in microseconds.
int64_t MonotonicUs();

class Clock {
 public:
  virtual ~Clock() = default;

  /// Current wall time.
  timeval Now() { return DoNow(); }
  /// Sets the wall time; returns 0 on success, -1 on failure. The tick
  /// does not move.
  int Set(const timeval& tv) { return DoSet(tv); }
  /// Microseconds of the tick: they only grow, whatever the wall time does.
  int64_t TickUs() { return DoTickUs(); }

 private:
  virtual timeval DoNow() = 0;
  virtual int DoSet(const timeval& tv) = 0;
  virtual int64_t DoTickUs() { return MonotonicUs(); }
};

/// The kernel's clock (gettimeofday / settimeofday).
class DeviceClock final : public Clock {
 private:
  timeval DoNow() override;
  int DoSet(const timeval& tv) override;
};

/// Host clock plus an offset in whole microseconds, persisted in a file so
/// that a restarted firmware keeps the time that was set. Another process
/// may replace the file: the change is taken within kLookUs (the file's
/// status is looked at no more often, so reading the time costs no file
/// access of its own).
class SimulatedClock final : public Clock {
 public:
  static constexpr int64_t kLookUs = int64_t{1000} * 1000;

  explicit SimulatedClock(std::string offset_file);
  int64_t offset_us() const;

 private:
  // What tells a replaced file from the one read last.
  struct Stamp {
    bool exists = false;
    uint64_t inode = 0;
    int64_t mtime_ns = 0;
    int64_t size = 0;
    bool operator==(const Stamp& o) const {
      return exists == o.exists && inode == o.inode && mtime_ns == o.mtime_ns && size == o.size;
    }
  };

  timeval DoNow() override;
  int DoSet(const timeval& tv) override;
  void FollowFileLocked();
  Stamp FileStamp() const;

  std::string offset_file_;
  mutable std::mutex mu_;
  int64_t offset_us_ = 0;
  Stamp stamp_;
  int64_t next_look_us_ = 0;
};

/// The offset in a simulated clock file; false when the file is missing or
/// holds no offset within a few thousand years.
bool ReadClockOffsetFile(const std::string& path, int64_t* offset_us);
/// Replaces the file with the offset (atomically).
bool WriteClockOffsetFile(const std::string& path, int64_t offset_us);

/// A clock that only moves when a test moves it. Thread-safe. Advance is
/// time passing: the wall time and the tick move together. SetUs and Set
/// set the wall time alone, as a user or the clock sync does; the tick
/// starts at the wall time given first.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(int64_t start_us = 1600000000LL * 1000000);
  void Advance(int64_t us);
  void SetUs(int64_t us);
  int64_t NowUs() const;
  int set_calls() const;

 private:
  timeval DoNow() override;
  int DoSet(const timeval& tv) override;
  int64_t DoTickUs() override;

  mutable std::mutex mu_;
  int64_t now_us_;
  int64_t tick_us_;
  int set_calls_ = 0;
};

/// The process-wide clock (the device clock until one is installed).
Clock& SystemClock();
/// Installs a clock; the previous one is kept alive until the process ends so
/// that a thread still holding a reference never reads freed memory.
void InstallClock(std::unique_ptr<Clock> clock);

/// Local broken-down time of a wall time in seconds.
void LocalTime(time_t t, struct tm* out);

}  // namespace platform
