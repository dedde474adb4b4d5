// The voice queue: a ring of 18 call jobs (at most 17 pending), each a
// prompt and the numbers to call with it. Any thread may put a job;
// thread_voice_buffer alone takes them, oldest first.
#pragma once

#include <atomic>
#include <cstdint>

#include "config/config_data.h"
#include "modem/voice_call.h"
#include "queue/sms_queue.h"

constexpr int kVoiceQueueSlots = 18;
/// Numbers one job holds.
constexpr int kVoiceJobPhones = 256;

/// One queue entry; the status values are those of the SMS queue.
struct voice_event {
  /// Numbers; a 20-character number fills its slot without a zero.
  char phone[kVoiceJobPhones][kPhoneSize];
  int32_t phone_n;
  /// Next number while calling; afterwards phone_n (the whole list was
  /// worked through). Read by other threads: atomic.
  std::atomic<int32_t> phone_idx;
  std::atomic<int32_t> status;
  char wav[20];
};

extern voice_event voice_evt[kVoiceQueueSlots];
extern std::atomic<int32_t> evt_in_voice;
extern std::atomic<int32_t> evt_out_voice;

/// Number of pending jobs.
int voice_event_is_n();
/// Queues a call of `job.wav` to the first `count` numbers of `phones` (at
/// most 256 kept). Returns the slot filled, or 0 when 17 jobs are pending
/// and nothing was stored (a put into slot 0 also returns 0). Safe from any
/// thread.
int voice_event_put(const voice_msg& job, const char (*phones)[kPhoneSize], int count);
/// The same put with an unambiguous answer.
bool VoiceEventTryPut(const voice_msg& job, const char (*phones)[kPhoneSize], int count, int* slot);
/// Waits until a job is pending, at most `timeout_ms`; true when one is.
bool VoiceEventWaitForJob(int timeout_ms);
/// Caller thread only: 1 when a job was dropped, 0 when none was pending.
int voice_event_pop();
/// Status of an entry, -1 for a slot outside 0..17.
int voice_event_status(int slot);
/// Drops every pending job but the one at evt_out_voice; returns 1.
int voice_event_clean_all();
