#include "base/sleep.h"

#include <time.h>

#include <cerrno>

void SleepMilliseconds(int ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
