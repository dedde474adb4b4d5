#include "platform/system_actions.h"

#include <sys/reboot.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/paths.h"

namespace platform {
namespace {

std::atomic<RebootHook> g_hook{nullptr};

void SimulatedReboot() {
  std::fflush(stdout);  // NOLINT(cert-err33-c): console text: the process ends next whatever it returns
  std::fflush(stderr);  // NOLINT(cert-err33-c): console text: the process ends next whatever it returns
  // _exit: the other threads are still running, so no static destructors.
  _exit(kRebootExitStatus);
}

void Do(bool force) {
  if (RebootHook hook = g_hook.load()) {
    hook(force);
    return;
  }
  if (IsSimulated()) SimulatedReboot();
  std::fflush(stdout);  // NOLINT(cert-err33-c): console text: the reboot follows whatever it returns
  sync();
  if (!force) {
    // init 6 without a shell: the init process stops the services first.
    pid_t pid = fork();
    if (pid == 0) {
      execl("/sbin/init", "init", "6", static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid > 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
    }
  }
  ::reboot(RB_AUTOBOOT);
}

}  // namespace

void Reboot() { Do(false); }
void RebootForce() { Do(true); }

RebootHook SetRebootHook(RebootHook hook) { return g_hook.exchange(hook); }

}  // namespace platform
