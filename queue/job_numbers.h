// The rule both senders follow for one job: its numbers in turn, each until
// the modem reports it done; a number that fails three times in a row ends
// the job (later numbers get nothing) with a user-log record of its kind.
#pragma once

#include <atomic>
#include <cstring>

#include "base/console.h"
#include "base/log_ring.h"
#include "config/config_data.h"
#include "queue/sms_queue.h"

constexpr int kFailuresInARow = 3;

struct JobOutcome {
  bool stopped;  // a test's stop flag ended a wait: the job stays pending
  int ng;        // failures in a row of the last number tried
  int idx;       // numbers served
};

/// Works `entry` (an SMS or voice queue entry) through `attempt(number, idx)`,
/// which hands one number to the modem and returns its final status (3 or
/// 4), or -1 when a test's stop flag ended the wait. `ng_line` ("%d") is
/// printed after each failure; `log_kind` is the main code of the
/// abandonment record. Sets the entry's status and phone_idx.
template <class Entry, class Attempt>
JobOutcome WorkJobNumbers(Entry& entry, int max_numbers, const char* ng_line, int log_kind, Attempt attempt) {
  entry.status.store(kSmsJobSending);
  int phone_n = entry.phone_n;
  if (phone_n < 0) phone_n = 0;
  if (phone_n > max_numbers) phone_n = max_numbers;
  char phones[kSmsJobPhones][kPhoneSize];
  std::memcpy(phones, entry.phone, static_cast<size_t>(phone_n) * kPhoneSize);
  entry.phone_idx.store(0);

  int idx = 0;
  int ng = 0;
  char number[kPhoneSize + 1];
  while (idx < phone_n) {
    std::memcpy(number, phones[idx], kPhoneSize);
    number[kPhoneSize] = '\0';
    const int verdict = attempt(number, idx);
    if (verdict < 0) return JobOutcome{true, ng, idx};
    if (verdict == kSmsJobDone) {
      ++idx;
      ng = 0;
    } else {
      ++ng;
      PrintMsg(ng_line, ng);
    }
    if (ng >= kFailuresInARow) {
      LogPushPhone(log_kind, 0, 1, number);
      break;
    }
  }
  if (ng < kFailuresInARow) {
    entry.status.store(kSmsJobDone);
    entry.phone_idx.store(phone_n);
  } else {
    entry.status.store(kSmsJobAbandoned);
    entry.phone_idx.store(idx);
  }
  return JobOutcome{false, ng, idx};
}
