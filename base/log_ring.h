// The ring of user-log records waiting for the writer thread (log/).
//
// Any thread of any layer may push; only ThreadLog takes records out. A push, a look at
// the oldest record and a pop each hold the ring's lock, so a record is
// always read whole and two pushes never take the same slot.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int kLogSlots = 30;
/// A push is refused when this many records already wait.
constexpr int kLogMaxQueued = kLogSlots - 1;

/// One ring slot: a user-log record as pushed.
struct LogRecord {
  char time[9];       // HH:MM:SS
  char main_code[3];  // decimal, at most 2 digits
  char sub_code[3];
  char phone[21];
  int32_t creg;             // copy of modem_creg
  int32_t csq;              // copy of modem_csq
  int32_t with_modem_info;  // 1 when registration, signal and phone were filled in
};

extern LogRecord logBuffer[kLogSlots];

/// Queues a user-log record stamped with the time now; with_modem_info 1
/// adds the registration state and signal quality. Dropped silently when 29
/// already wait. Safe from any thread.
void LogPush(int main_code, int sub_code, int with_modem_info);
/// The same, and with modem info the phone (at most 20 characters) too.
void LogPushPhone(int main_code, int sub_code, int with_modem_info, const char* phone);
/// Number of records waiting.
int LogPushIdx();
/// Drops the oldest waiting record; returns how many waited before.
int LogPopIdx();

/// Where the registration state and signal quality of a record come from.
/// The modem layer sits above the ring, so start-up hands them down here;
/// until then records carry 0 and 0.
using LogModemInfoSource = void (*)(int32_t* creg, int32_t* csq);
void LogSetModemInfoSource(LogModemInfoSource source);

/// Next slot to write and oldest queued slot, 0 to 29.
extern std::atomic<int> logInIdx;
extern std::atomic<int> logOutIdx;

/// Empties the ring and clears every slot.
void LogRingClear();
/// Copies the oldest queued record; false when none waits.
bool LogPeekOldest(LogRecord* out);
/// Waits until a record is queued, the writer is woken or `timeout_ms`
/// passes. Returns true when a record waits.
bool LogWaitForRecord(int timeout_ms);
/// Wakes a writer waiting in LogWaitForRecord.
void LogWakeWriter();
