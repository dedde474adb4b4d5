// thread_voice_buffer: works off the voice queue one number at a time
// through the voice mailbox. A number is tried until its call is done; its
// third failure in a row abandons the job (later numbers are not called)
// with a phone-failure record in the user log.
#pragma once

#include <atomic>

constexpr int kVoiceSenderPollMs = 1000;

/// Works off the job at evt_out_voice, then pops it. False at once when no
/// job is pending, or when `stop` (tests only) ended a wait for the modem.
bool VoiceSenderRunJob(const std::atomic<bool>& stop, int poll_ms = kVoiceSenderPollMs);
/// The thread's loop, until `stop`.
void RunVoiceSender(const std::atomic<bool>& stop, int poll_ms = kVoiceSenderPollMs);

/// The caller thread (started by main in normal mode).
void* thread_voice_buffer(void*);
