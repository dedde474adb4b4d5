#include "app/stop_signal.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/thread_start.h"
#include "modem/qmi_wds.h"

namespace {

sigset_t g_stop_signals;  // written before the watcher starts, then read only

void* WatchStopSignalsThread(void*) {
  NameThisThread("stop_signal");
  int sig = 0;
  while (sigwait(&g_stop_signals, &sig) != 0) {
  }
  PrintMsg(">%s: stopping\r\n", strsignal(sig));  // NOLINT(concurrency-mt-unsafe): glibc keeps an unknown signal's text per thread
  QmiReleaseClients();
  std::fflush(stdout);  // NOLINT(cert-err33-c): console text; the process ends next whatever it returns
  // The process now ends by the signal itself, as its callers expect.
  signal(sig, SIG_DFL);  // NOLINT(cert-err33-c): cannot fail for SIGTERM or SIGINT
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, sig);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(sig);  // NOLINT(cert-err33-c): should it fail, the _exit below ends the process
  _exit(128 + sig);  // cppcheck-suppress unreachableCode ; reached only should raise fail
}

}  // namespace

bool WatchStopSignals() {
  sigemptyset(&g_stop_signals);
  sigaddset(&g_stop_signals, SIGTERM);
  sigaddset(&g_stop_signals, SIGINT);
  sigset_t before;
  if (pthread_sigmask(SIG_BLOCK, &g_stop_signals, &before) != 0) return false;
  if (StartThread(WatchStopSignalsThread)) return true;
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return false;
}
