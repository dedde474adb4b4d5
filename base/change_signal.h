// Waking a thread when a shared word it shows changes, instead of having it
// look on a fixed tick. A writer stores through a SignalledWord; a reader
// remembers the generation it has seen and waits for a later one.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class ChangeSignal {
 public:
  /// The present generation: a wait from it ends at the next Notify.
  uint64_t Generation();
  void Notify();
  /// Waits until a Notify after generation `*seen`, at most `timeout_ms`
  /// (a negative time waits for the Notify alone). `*seen` becomes the
  /// present generation; true when it moved on.
  bool Wait(uint64_t* seen, int timeout_ms);

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  uint64_t generation_ = 0;  // guarded by mu_
};

/// The signal of the words the status loop and the LED thread show (SIM,
/// registration, data call, the two LED selectors). Never destroyed, so a
/// thread may still use it while the process exits.
ChangeSignal& StatusChangeSignal();

/// A 32-bit word shared between threads whose changes wake the waiters of
/// its signal. Only a store that changes the value notifies, so a writer
/// may store the same value on every pass at no cost.
class SignalledWord {
 public:
  SignalledWord(int32_t value, ChangeSignal& (*signal)()) noexcept : value_(value), signal_(signal) {}
  SignalledWord(const SignalledWord&) = delete;
  SignalledWord& operator=(const SignalledWord&) = delete;

  int32_t load() const { return value_.load(); }
  void store(int32_t v) {
    if (value_.exchange(v) != v) signal_().Notify();
  }
  int32_t operator=(int32_t v) {  // as std::atomic: the value stored
    store(v);
    return v;
  }
  operator int32_t() const { return load(); }

 private:
  std::atomic<int32_t> value_;
  ChangeSignal& (*signal_)();
};
