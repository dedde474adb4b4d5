// The rule both senders follow for one job: its numbers in turn, each until
// the modem reports it done. A failed number is tried again after a wait
// (the second try 10 s after the first failure, the third 30 s after the
// second); after its third failure it is given up with a user-log record of
// its kind and the job goes on with the next number, so one wrong or barred
// number does not keep the alarm from the phones after it.
#pragma once

#include <atomic>
#include <cstring>

#include "base/console.h"
#include "base/log_ring.h"
#include "config/config_data.h"
#include "queue/retry_wait.h"
#include "queue/sms_queue.h"

/// What a sender says on the console and logs about a failing number.
struct JobTexts {
  const char* ng_line;        // after each failure: the failures so far ("%d")
  const char* retry_line;     // before a wait: number, wait in s, next try, tries
                              // ("%s %d %d %d")
  const char* given_up_line;  // number, tries ("%s %d")
  int log_kind;               // main code of the give-up record
  // Whether the modem would take the number at all: one the modem refuses
  // by its form fails the same way at every try, so it is given up after
  // its first failure instead of holding the queue for the waits.
  bool (*sendable)(const char* number);
};

struct JobOutcome {
  bool stopped;  // a test's stop flag ended a wait: the job stays pending
  int ng;        // failures in a row of the last number tried
  int idx;       // numbers worked through
  int given_up;  // numbers given up after their last try
};

/// Works `entry` (an SMS or voice queue entry) through `attempt(number, idx)`,
/// which hands one number to the modem and returns its final status (3 or
/// 4), or -1 when a test's stop flag ended the wait. Sets the entry's
/// status (3 when every number was served, 4 when any was given up) and
/// phone_idx (the next number while working, the count of numbers at the
/// end).
template <class Entry, class Attempt>
JobOutcome WorkJobNumbers(Entry& entry, int max_numbers, const JobTexts& texts, Attempt attempt) {
  entry.status.store(kSmsJobSending);
  int phone_n = entry.phone_n;
  if (phone_n < 0) phone_n = 0;
  if (phone_n > max_numbers) phone_n = max_numbers;
  char phones[kSmsJobPhones][kPhoneSize];
  std::memcpy(phones, entry.phone, static_cast<size_t>(phone_n) * kPhoneSize);

  JobOutcome out{false, 0, 0, 0};
  char number[kPhoneSize + 1];
  for (; out.idx < phone_n; ++out.idx) {
    entry.phone_idx.store(out.idx);
    std::memcpy(number, phones[out.idx], kPhoneSize);
    number[kPhoneSize] = '\0';
    for (out.ng = 0;;) {
      const int verdict = attempt(number, out.idx);
      if (verdict < 0) {
        out.stopped = true;
        return out;
      }
      if (verdict == kSmsJobDone) {
        out.ng = 0;
        break;
      }
      ++out.ng;
      PrintMsg(texts.ng_line, out.ng);
      const bool hopeless = !texts.sendable(number);
      if (hopeless) PrintMsg(">\"%.49s\" is not a number that can be reached: not tried again\r\n", number);
      if (out.ng >= kTriesPerNumber || hopeless) {
        PrintMsg(texts.given_up_line, number, out.ng);
        LogPushPhone(texts.log_kind, 0, 1, number);
        ++out.given_up;
        break;
      }
      const int wait_ms = kRetryWaitMs[out.ng - 1];
      PrintMsg(texts.retry_line, number, wait_ms / 1000, out.ng + 1, kTriesPerNumber);
      RetryWait(wait_ms);
    }
  }
  entry.phone_idx.store(phone_n);
  entry.status.store(out.given_up > 0 ? kSmsJobNumberGivenUp : kSmsJobDone);
  return out;
}
