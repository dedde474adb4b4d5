#include "config/readiness.h"

#include "base/sleep.h"
#include "config/config_data.h"

namespace {
constexpr int kPollMs = 50;
}

void WaitUntilReady() {
  while (flg_init_clear.load() != 1 || flg_init_config.load() != 1 || flg_init_rp_config.load() != 1) {
    SleepMilliseconds(kPollMs);
  }
}
