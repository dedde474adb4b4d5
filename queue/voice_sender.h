// thread_voice_buffer: works off the voice queue one job at a time, in
// order, and one number at a time through the voice mailbox. A failed call
// is tried again after a wait (10 s, then 30 s); after its third failure the
// number is given up with a phone-failure record in the user log and the
// job goes on with the next number.
#pragma once

#include <atomic>

constexpr int kVoiceSenderPollMs = 1000;

/// Works off the job at evt_out_voice, then pops it. False at once when no
/// job is pending, or when `stop` (tests only) ended a wait for the modem.
bool VoiceSenderRunJob(const std::atomic<bool>& stop, int poll_ms = kVoiceSenderPollMs);
/// The thread's loop, until `stop`.
/// `idle_wait_ms` bounds a wait for a new job: a put wakes the sender at
/// once, so only how soon `stop` is seen depends on it.
void RunVoiceSender(const std::atomic<bool>& stop, int poll_ms = kVoiceSenderPollMs, int idle_wait_ms = kVoiceSenderPollMs);

/// The caller thread (started by main in normal mode).
void* thread_voice_buffer(void*);
