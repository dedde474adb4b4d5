// Alarm inputs: thread_check_event watches the digital and analog inputs of
// the enabled alarm events. An input fires its event after holding its
// alarm condition for its hold time; it is then latched (for every event
// that watches it) until it has been back in its normal condition for its
// reset time.
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

/// The detection thread (started by main in normal mode).
void* thread_check_event(void*);
