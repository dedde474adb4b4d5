#include "queue/sms_queue.h"

#include <cstring>

#include "base/console.h"
#include "queue/job_ring.h"

sms_event sms_evt[kSmsQueueSlots];
std::atomic<int32_t> evt_in{0};
std::atomic<int32_t> evt_out{0};

namespace {

JobRing<kSmsQueueSlots>& Ring() {
  static JobRing<kSmsQueueSlots> ring(evt_in, evt_out);
  return ring;
}

}  // namespace

int sms_event_is_n() { return Ring().Pending(); }

int sms_event_put(const sms_msg& sms, const char (*phones)[kPhoneSize], int count) {
  int slot = 0;
  if (SmsEventTryPut(sms, phones, count, &slot)) return slot;
  // An alarm that finds no room is lost: say which, so it can be followed up.
  PrintMsg(">SMS queue full (%d jobs waiting): message for %d number(s) dropped, first %.*s\r\n", sms_event_is_n(),
           phones == nullptr || count < 0 ? 0 : count, kPhoneSize,
           phones != nullptr && count > 0 ? phones[0] : "none");
  return 0;
}

bool SmsTextTryPut(const char* text, const char* number, int* slot) {
  sms_msg sms{};
  const size_t len = strnlen(text, kSmsBodyMax);
  std::memcpy(sms.msg, text, len);
  sms.msg_len = static_cast<uint8_t>(len);
  char to[1][kPhoneSize] = {};
  std::memcpy(to[0], number, strnlen(number, kPhoneSize));  // 20 characters fill the slot
  return SmsEventTryPut(sms, to, 1, slot);
}

bool SmsEventTryPut(const sms_msg& sms, const char (*phones)[kPhoneSize], int count, int* slot_out) {
  if (phones == nullptr || count < 0) count = 0;
  if (count > kSmsJobPhones) {
    PrintMsg(">SMS job for %d numbers: only the first %d are kept\r\n", count, kSmsJobPhones);
    count = kSmsJobPhones;
  }
  return Ring().Put(
      [&](int32_t slot) {
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
      },
      slot_out);
}

int sms_event_pop() { return Ring().Pop(); }

bool SmsEventWaitForJob(int timeout_ms) { return Ring().WaitForJob(timeout_ms); }

int sms_event_status(int slot) {
  if (slot < 0 || slot >= kSmsQueueSlots) return -1;
  return sms_evt[slot].status.load();
}

int sms_event_clean_all() {
  return Ring().CleanAll([](int slot) { sms_evt[slot].status.store(kSmsJobEmpty); });
}
