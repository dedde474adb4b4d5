#include "queue/retry_wait.h"

#include <atomic>

#include "base/sleep.h"

namespace {

std::atomic<RetryWaitHook> g_hook{nullptr};

}  // namespace

void RetryWait(int ms) {
  if (RetryWaitHook hook = g_hook.load()) {
    hook(ms);
    return;
  }
  SleepMilliseconds(ms);
}

RetryWaitHook SetRetryWaitHook(RetryWaitHook hook) { return g_hook.exchange(hook); }
