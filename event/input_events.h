// Alarm inputs: thread_check_event watches the digital and analog inputs of
// the enabled alarm events. An input fires its event after holding its
// alarm condition for its hold time; it is then latched (for every event
// that watches it) until it has been back in its normal condition for its
// reset time.
//
// The thread looks at all sixteen events in a round. Between rounds it
// sleeps until a digital input changes, a digital hold or re-arm comes due,
// or the next analog sample is due (watched channels are converted once
// per sample, every quarter of their shortest hold time within bounds), so
// quiet inputs cost nothing.
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
/// Milliseconds between two analog samples for the watched channels: a
/// quarter of their shortest hold time, from 250 to 1000 ms; 0 when no
/// enabled alarm event watches an analog channel.
uint32_t AnalogSampleMs();
/// Milliseconds until the first running digital hold or re-arm comes due
/// (0 when one is due now), -1 when none runs.
int DigitalDueMs();
/// One round of the thread: the digital inputs of every enabled alarm
/// event, and with `sample_analog` one conversion of each watched analog
/// channel, checked for every event that watches it.
void CheckEventRound(bool sample_analog);

/// The detection thread (started by main in normal mode).
void* thread_check_event(void*);
