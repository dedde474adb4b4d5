// Threads whose subsystems have not landed yet: each announces itself and
// then waits without using the CPU. A thread moves out of this file when its
// subsystem arrives.
#include <unistd.h>

#include "app/threads.h"
#include "base/console.h"

namespace {
void* Idle(const char* name) {
  PrintMsg("[%s is start]\r\n", name);
  for (;;) pause();
  return nullptr;
}
}  // namespace

void* thread_net(void*) { return Idle("thread_net"); }
