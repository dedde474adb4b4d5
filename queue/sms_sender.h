// thread_sms_buffer: works off the SMS queue one job at a time, in order,
// and one destination at a time through the modem's send mailbox. Each
// attempt is journalled; a number that fails is tried again after a wait
// (10 s, then 30 s), and after its third failure it is given up with a
// user-log record and the job goes on with the next number.
#pragma once

#include <atomic>

/// The thread's rhythm: one status poll a second, one second of rest after
/// each job and while the queue is empty. (The waits before a failed number
/// is tried again are those of queue/retry_wait.h.)
constexpr int kSmsSenderPollMs = 1000;

/// Works off the job at evt_out: every destination, then the pop. Returns
/// false at once when no job is pending, or when `stop` (tests only) ended a
/// wait for the modem; the job then stays pending.
bool SmsSenderRunJob(const std::atomic<bool>& stop, int poll_ms = kSmsSenderPollMs);
/// The thread's loop, until `stop`.
/// `idle_wait_ms` bounds a wait for a new job: a put wakes the sender at
/// once, so only how soon `stop` is seen depends on it.
void RunSmsSender(const std::atomic<bool>& stop, int poll_ms = kSmsSenderPollMs, int idle_wait_ms = kSmsSenderPollMs);

/// The SMS sender thread (started by main in every mode).
void* thread_sms_buffer(void*);
