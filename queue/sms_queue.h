// The SMS queue: a ring of 18 jobs (at most 17 pending, so a full ring is
// never taken for an empty one). Any thread may put a job: a message and
// its list of destinations; thread_sms_buffer alone takes them, oldest
// first, and pops a job only when it has finished with it.
#pragma once

#include <atomic>
#include <cstdint>

#include "config/config_data.h"
#include "modem/sms_transport.h"

constexpr int kSmsQueueSlots = 18;
/// Destinations one job holds.
constexpr int kSmsJobPhones = 256;

/// Entry status. A finished job is 3 when every number was served and 4
/// when any number was given up after its last try (the user log names
/// each one); the other numbers of a job with status 4 were still worked.
enum SmsJobStatus : int32_t {
  kSmsJobEmpty = 0,
  kSmsJobQueued = 1,
  kSmsJobSending = 2,
  kSmsJobDone = 3,
  kSmsJobNumberGivenUp = 4,
};

/// One queue entry.
struct sms_event {
  /// Destinations; a 20-character number fills its slot without a zero.
  char phone[kSmsJobPhones][kPhoneSize];
  int32_t phone_n;
  /// Next destination while sending; afterwards phone_n (the whole list was
  /// worked through). Read by other threads: atomic.
  std::atomic<int32_t> phone_idx;
  std::atomic<int32_t> status;
  /// The message; its `phone` is filled per destination when sending.
  sms_msg sms;
};

extern sms_event sms_evt[kSmsQueueSlots];
/// Next slot to fill; written by producers (one at a time), read by the
/// sender.
extern std::atomic<int32_t> evt_in;
/// Slot being or next to be sent; written by the sender only.
extern std::atomic<int32_t> evt_out;

/// Number of pending jobs.
int sms_event_is_n();
/// Queues `sms` (only msg, msg_len and sms_mode are used; the body is cut to
/// 160 bytes) for the first `count` numbers of `phones` (at most 256 are
/// kept). Returns the slot filled, or 0 when 17 jobs are pending and
/// nothing was stored (a put into slot 0 also returns 0). Safe from any
/// thread; the producer never waits for the modem.
int sms_event_put(const sms_msg& sms, const char (*phones)[kPhoneSize], int count);
/// The same put with an unambiguous answer: false (nothing stored) when
/// the queue is full, else true with the slot filled in `*slot`.
bool SmsEventTryPut(const sms_msg& sms, const char (*phones)[kPhoneSize], int count, int* slot);
/// A 7-bit text (at most 160 characters) for one number (at most 20
/// characters), put as SmsEventTryPut puts a job.
bool SmsTextTryPut(const char* text, const char* number, int* slot);
/// Waits until a job is pending, at most `timeout_ms` (the sender's idle
/// wait, ended at once by a put); true when one is.
bool SmsEventWaitForJob(int timeout_ms);
/// Sender only, after finishing the job at evt_out: 1 when a job was
/// dropped, 0 when none was pending.
int sms_event_pop();
/// Status of an entry, -1 for a slot outside 0..17.
int sms_event_status(int slot);
/// Drops every pending job but the one at evt_out; returns 1.
int sms_event_clean_all();
