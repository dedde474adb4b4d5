// The ring arithmetic shared by the SMS and voice queues: N slots indexed by
// an "in" and an "out" word, at most N - 1 jobs pending so that a full ring
// is never taken for an empty one.
//
// Producers fill the slot at "in" and advance it as one step under the
// ring's lock; the one consumer works the slot at "out" without the lock
// (producers never touch a pending slot) and pops it under the lock.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

template <int N>
class JobRing {
 public:
  JobRing(std::atomic<int32_t>& in, std::atomic<int32_t>& out) : in_(in), out_(out) {}

  static int32_t Next(int32_t slot) { return slot + 1 >= N ? 0 : slot + 1; }
  static int Pending(int32_t in, int32_t out) { return in >= out ? in - out : in + N - out; }
  int Pending() const { return Pending(in_.load(), out_.load()); }

  /// Calls fill(slot) for the slot at "in" and advances "in"; false (and
  /// nothing called) when N - 1 jobs are pending.
  template <class Fill>
  bool Put(Fill fill, int* slot_out) {
    std::lock_guard<std::mutex> lock(mu_);
    const int32_t slot = in_.load();
    if (Pending(slot, out_.load()) > N - 2) return false;
    fill(slot);
    in_.store(Next(slot));
    *slot_out = slot;
    cv_.notify_all();
    return true;
  }

  /// Waits until a job is pending, at most `timeout_ms`; true when one is.
  bool WaitForJob(int timeout_ms) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return Pending() > 0; });
  }

  /// 1 when the job at "out" was dropped, 0 when none was pending.
  int Pop() {
    std::lock_guard<std::mutex> lock(mu_);
    const int32_t out = out_.load();
    if (Pending(in_.load(), out) == 0) return 0;
    out_.store(Next(out));
    return 1;
  }

  /// Calls empty(slot) for every slot but "out" and keeps only the job at
  /// "out" pending (if there was one); returns 1.
  template <class Empty>
  int CleanAll(Empty empty) {
    std::lock_guard<std::mutex> lock(mu_);
    const int32_t out = out_.load();
    for (int i = 0; i < N; ++i) {
      if (i != out) empty(i);
    }
    // With nothing pending there is no job to keep: moving "in" would make
    // an old, finished entry pending and send it again.
    if (Pending(in_.load(), out) > 0) in_.store(Next(out));
    return 1;
  }

 private:
  std::atomic<int32_t>& in_;
  std::atomic<int32_t>& out_;
  std::mutex mu_;
  std::condition_variable cv_;
};
