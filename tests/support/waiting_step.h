// One step of the code under test on a thread of its own, to see whether it
// waits for something the test holds (a lock, a line that does not take a
// write yet). No time-out: the step has either finished or gone to sleep
// when the constructor returns.
#pragma once

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace testsupport {

/// Whether thread `tid` of this process sleeps (waits for a lock, a file).
inline bool ThreadSleeps(long tid) {
  const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
  FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  char text[512] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  text[n] = '\0';
  // "tid (name) S ...": the name may hold anything, the state follows its
  // last parenthesis.
  const char* close = std::strrchr(text, ')');
  return close != nullptr && close[1] == ' ' && (close[2] == 'S' || close[2] == 'D');
}

class WaitingStep {
 public:
  explicit WaitingStep(std::function<void()> body)
      : thread_([this, body] {
          tid_ = static_cast<long>(syscall(SYS_gettid));
          body();
          finished_ = true;
        }) {
    while (tid_.load() == 0) std::this_thread::yield();
    while (!finished_.load() && !ThreadSleeps(tid_.load())) std::this_thread::yield();
  }
  ~WaitingStep() { thread_.join(); }
  WaitingStep(const WaitingStep&) = delete;
  WaitingStep& operator=(const WaitingStep&) = delete;

  bool finished() const { return finished_.load(); }

 private:
  std::atomic<long> tid_{0};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace testsupport
