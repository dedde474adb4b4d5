#include "base/thread_start.h"

#include <pthread.h>

bool StartThread(ThreadBody body) {
  pthread_t id;
  return pthread_create(&id, nullptr, body, nullptr) == 0;
}
