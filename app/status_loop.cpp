#include "app/status_loop.h"

#include "app/led.h"
#include "base/change_signal.h"
#include "config/time_utils.h"
#include "modem/modem_state.h"

namespace {
// The pattern is derived again when the SIM, registration or data-call state
// changes (their writers wake the loop); this slow look on top only bounds
// how stale it could ever be.
constexpr int kSafetyLookMs = 2000;
constexpr uint32_t kStartDelayMs = 2000;
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
  ChangeSignal& changed = StatusChangeSignal();
  // The start delay: the pattern keeps its start value until then.
  for (;;) {
    const uint32_t elapsed = GetTimeTicks() - t0;
    if (elapsed >= kStartDelayMs) break;
    uint64_t seen = changed.Generation();
    changed.Wait(&seen, static_cast<int>(kStartDelayMs - elapsed));
  }
  // Once past the start delay it stays past it, even when the tick wraps.
  for (;;) {
    // Taken before the words are read: a change after the read ends the
    // wait at once.
    uint64_t seen = changed.Generation();
    PublishStatusLedStep();
    changed.Wait(&seen, kSafetyLookMs);
  }
}
