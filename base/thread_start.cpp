#include "base/thread_start.h"

#include <pthread.h>

#include <cstring>

bool StartThread(ThreadBody body) {
  pthread_t id;
  return pthread_create(&id, nullptr, body, nullptr) == 0;
}

void NameThisThread(const char* name) {
  // The kernel keeps 15 characters and refuses longer names whole.
  char cut[16] = {};
  std::strncpy(cut, name, sizeof cut - 1);
  pthread_setname_np(pthread_self(), cut);
}
