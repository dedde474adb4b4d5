#include "app/status_loop.h"

#include <unistd.h>

#include "app/led.h"
#include "config/time_utils.h"
#include "modem/modem_state.h"

namespace {
// The LED thread samples the pattern continuously; re-deriving it ten times
// a second is far quicker than any blink and keeps the main thread idle.
constexpr useconds_t kPassPauseUs = 100 * 1000;
}  // namespace

int32_t DeriveStatusLedStep(int32_t cpin_status, int32_t net, int32_t creg) {
  if (cpin_status == 1) return 4;
  if (net == 0) return 2;
  if (creg == 1 || creg == 5) return 1;
  return 0;
}

namespace {
void PublishStatusLedStep() {
  sta_led_step = DeriveStatusLedStep(modem_cpin_status.load(), net_status.load(), modem_creg.load());
}
}  // namespace

bool StatusLoopPass(uint32_t t0) {
  uint32_t now = GetTimeTicks();
  if (static_cast<uint32_t>(now - t0) <= 1999) return false;
  PublishStatusLedStep();
  return true;
}

void RunStatusLoop(uint32_t t0) {
  bool settled = false;
  for (;;) {
    // Once past the start delay it stays past it, even when the tick wraps.
    if (settled) {
      PublishStatusLedStep();
    } else {
      settled = StatusLoopPass(t0);
    }
    usleep(kPassPauseUs);
  }
}
