// Alarm inputs: thread_check_event watches the digital and analog inputs of
// the enabled alarm events. An input fires its event after holding its
// alarm condition for its hold time; it is then latched (for every event
// that watches it) until it has been back in its normal condition for its
// reset time.
//
// The thread looks at all sixteen events in a round. While an input is
// timing (its hold or its re-arm) or an analog channel is watched, a round
// follows every 10 ms; otherwise the thread sleeps until a digital input
// changes, so quiet inputs cost nothing.
#pragma once

#include <atomic>
#include <cstdint>

#include "config/config_data.h"

/// A re-arm timer of one input channel.
struct ResetTimer {
  uint8_t cIsTiming;
  uint32_t uiStartTick;
};

extern ResetTimer di_reset[kDiCount];
extern ResetTimer ai_reset[kAiCount];

/// One pass over the digital, respectively analog, inputs of event `n`.
void event_di_chk(int n);
void event_ai_chk(int n);
/// One visit of event `n` as the thread makes it (nothing for a disabled
/// event or a report); true when the event was examined.
bool CheckEventOnce(int n);
/// Clears the latches, hold flags and re-arm timers of every input.
void ResetInputEvents();
/// True while an input holds toward firing or times its re-arm: the thread
/// must then look again soon instead of waiting for an input to change.
bool InputEventsTiming();

/// The detection thread (started by main in normal mode).
void* thread_check_event(void*);
