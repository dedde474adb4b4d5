#include "queue/voice_sender.h"

#include <cstring>

#include "base/console.h"
#include "base/log_ring.h"
#include "base/sleep.h"
#include "modem/voice_call.h"
#include "queue/voice_queue.h"

namespace {

constexpr int kFailuresInARow = 3;

// The modem thread ends every accepted call with 3 or 4, so there is no
// time limit; the poll line shows the wait. -1 when `stop` ended it.
int32_t WaitForVerdict(int idx, const std::atomic<bool>& stop, int poll_ms) {
  for (;;) {
    SleepMilliseconds(poll_ms);
    int32_t status = send_voice_status.load();
    PrintMsg("-->Send Voice: phone_idx[%d]: %d\r\n", idx, status);
    if (status == kVoiceDone || status == kVoiceFailed) return status;
    if (stop.load()) return -1;
  }
}

}  // namespace

bool VoiceSenderRunJob(const std::atomic<bool>& stop, int poll_ms) {
  if (voice_event_is_n() == 0) return false;
  voice_event& entry = voice_evt[evt_out_voice.load()];
  entry.status.store(kSmsJobSending);

  voice_msg work{};
  std::memcpy(work.wav, entry.wav, sizeof work.wav - 1);
  int phone_n = entry.phone_n;
  if (phone_n < 0) phone_n = 0;
  if (phone_n > kVoiceJobPhones) phone_n = kVoiceJobPhones;
  char phones[kVoiceJobPhones][kPhoneSize];
  std::memcpy(phones, entry.phone, static_cast<size_t>(phone_n) * kPhoneSize);
  entry.phone_idx.store(0);

  int idx = 0;
  int ng = 0;
  while (idx < phone_n) {
    std::memcpy(work.phone, phones[idx], kPhoneSize);
    work.phone[kPhoneSize] = '\0';
    voice_send_one(work);
    int32_t verdict = WaitForVerdict(idx, stop, poll_ms);
    if (verdict < 0) return false;
    if (verdict == kVoiceDone) {
      ++idx;
      ng = 0;
    } else {
      ++ng;
      PrintMsg(">Send Voice: NG counter: %d\r\n", ng);
    }
    if (ng >= kFailuresInARow) {
      LogPushPhone(5, 0, 1, work.phone);
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
  voice_event_pop();
  PrintMsg(">Send Voice: ng_cnt=%d, phone_idx=%d\r\n", ng, idx);
  return true;
}

void RunVoiceSender(const std::atomic<bool>& stop, int poll_ms) {
  while (!stop.load()) {
    VoiceSenderRunJob(stop, poll_ms);
    if (!stop.load()) SleepMilliseconds(poll_ms);
  }
}

void* thread_voice_buffer(void*) {
  PrintMsg("[thread_voice_buffer is start]\r\n");
  static const std::atomic<bool> kNeverStop{false};
  RunVoiceSender(kNeverStop);
  return nullptr;
}
