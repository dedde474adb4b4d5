#include "base/change_signal.h"

#include <chrono>

uint64_t ChangeSignal::Generation() {
  std::lock_guard<std::mutex> lock(mu_);
  return generation_;
}

void ChangeSignal::Notify() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    ++generation_;
  }
  cv_.notify_all();
}

bool ChangeSignal::Wait(uint64_t* seen, int timeout_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  const uint64_t from = *seen;
  auto moved = [&] { return generation_ != from; };
  if (timeout_ms < 0) {
    cv_.wait(lock, moved);
  } else {
    cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), moved);
  }
  *seen = generation_;
  return generation_ != from;
}

ChangeSignal& StatusChangeSignal() {
  static auto* signal = new ChangeSignal;
  return *signal;
}
