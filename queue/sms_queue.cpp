#include "queue/sms_queue.h"

#include <cstring>
#include <mutex>

#include "base/console.h"

sms_event sms_evt[kSmsQueueSlots];
std::atomic<int32_t> evt_in{0};
std::atomic<int32_t> evt_out{0};

namespace {

// Producers fill the slot at evt_in and advance it as one step; the sender
// takes it only to pop (never while it waits for the modem).
std::mutex& PutMutex() {
  static std::mutex mu;
  return mu;
}

int32_t Next(int32_t slot) { return slot + 1 >= kSmsQueueSlots ? 0 : slot + 1; }

int Pending(int32_t in, int32_t out) { return in >= out ? in - out : in + kSmsQueueSlots - out; }

}  // namespace

int sms_event_is_n() { return Pending(evt_in.load(), evt_out.load()); }

int sms_event_put(const sms_msg& sms, const char (*phones)[kPhoneSize], int count) {
  int slot = 0;
  return SmsEventTryPut(sms, phones, count, &slot) ? slot : 0;
}

bool SmsEventTryPut(const sms_msg& sms, const char (*phones)[kPhoneSize], int count, int* slot_out) {
  if (phones == nullptr || count < 0) count = 0;
  if (count > kSmsJobPhones) {
    PrintMsg(">SMS job for %d numbers: only the first %d are kept\r\n", count, kSmsJobPhones);
    count = kSmsJobPhones;
  }
  std::lock_guard<std::mutex> lock(PutMutex());
  const int32_t slot = evt_in.load();
  if (Pending(slot, evt_out.load()) > kSmsQueueSlots - 2) return false;

  // The slot is not pending, so the sender does not look at it until
  // evt_in moves past it.
  sms_event& entry = sms_evt[slot];
  int n = sms.msg_len > kSmsBodyMax ? kSmsBodyMax : sms.msg_len;
  std::memcpy(entry.sms.msg, sms.msg, static_cast<size_t>(n));
  entry.sms.msg[n] = '\0';
  entry.sms.msg_len = static_cast<uint8_t>(n);
  entry.sms.sms_mode = sms.sms_mode;
  if (count > 0) std::memcpy(entry.phone, phones, static_cast<size_t>(count) * kPhoneSize);
  entry.phone_idx.store(0);
  entry.phone_n = count;
  entry.status.store(kSmsJobQueued);
  evt_in.store(Next(slot));
  *slot_out = slot;
  return true;
}

int sms_event_pop() {
  // Under the producers' lock too, so that sms_event_clean_all sees evt_out
  // hold still while it rewinds evt_in.
  std::lock_guard<std::mutex> lock(PutMutex());
  const int32_t out = evt_out.load();
  if (Pending(evt_in.load(), out) == 0) return 0;
  evt_out.store(Next(out));
  return 1;
}

int sms_event_status(int slot) {
  if (slot < 0 || slot >= kSmsQueueSlots) return -1;
  return sms_evt[slot].status.load();
}

int sms_event_clean_all() {
  std::lock_guard<std::mutex> lock(PutMutex());
  const int32_t out = evt_out.load();
  for (int i = 0; i < kSmsQueueSlots; ++i) {
    if (i != out) sms_evt[i].status.store(kSmsJobEmpty);
  }
  // With nothing pending there is no job to keep: moving evt_in would make
  // an old, finished entry pending and send it again.
  if (Pending(evt_in.load(), out) > 0) evt_in.store(Next(out));
  return 1;
}
