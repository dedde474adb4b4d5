#include "queue/voice_queue.h"

#include <cstring>

#include "base/console.h"
#include "queue/job_ring.h"

voice_event voice_evt[kVoiceQueueSlots];
std::atomic<int32_t> evt_in_voice{0};
std::atomic<int32_t> evt_out_voice{0};

namespace {

JobRing<kVoiceQueueSlots>& Ring() {
  static JobRing<kVoiceQueueSlots> ring(evt_in_voice, evt_out_voice);
  return ring;
}

}  // namespace

int voice_event_is_n() { return Ring().Pending(); }

int voice_event_put(const voice_msg& job, const char (*phones)[kPhoneSize], int count) {
  int slot = 0;
  if (VoiceEventTryPut(job, phones, count, &slot)) return slot;
  PrintMsg(">Voice queue full (%d jobs waiting): call with %.*s for %d number(s) dropped, first %.*s\r\n",
           voice_event_is_n(), static_cast<int>(sizeof job.wav), job.wav, phones == nullptr || count < 0 ? 0 : count,
           kPhoneSize, phones != nullptr && count > 0 ? phones[0] : "none");
  return 0;
}

bool VoiceEventTryPut(const voice_msg& job, const char (*phones)[kPhoneSize], int count, int* slot_out) {
  if (phones == nullptr || count < 0) count = 0;
  if (count > kVoiceJobPhones) {
    PrintMsg(">Voice job for %d numbers: only the first %d are kept\r\n", count, kVoiceJobPhones);
    count = kVoiceJobPhones;
  }
  return Ring().Put(
      [&](int32_t slot) {
        voice_event& entry = voice_evt[slot];
        std::memcpy(entry.wav, job.wav, sizeof entry.wav);
        entry.wav[sizeof entry.wav - 1] = '\0';
        if (count > 0) std::memcpy(entry.phone, phones, static_cast<size_t>(count) * kPhoneSize);
        entry.phone_idx.store(0);
        entry.phone_n = count;
        entry.status.store(kSmsJobQueued);
      },
      slot_out);
}

int voice_event_pop() { return Ring().Pop(); }

bool VoiceEventWaitForJob(int timeout_ms) { return Ring().WaitForJob(timeout_ms); }

int voice_event_status(int slot) {
  if (slot < 0 || slot >= kVoiceQueueSlots) return -1;
  return voice_evt[slot].status.load();
}

int voice_event_clean_all() {
  return Ring().CleanAll([](int slot) { voice_evt[slot].status.store(kSmsJobEmpty); });
}
