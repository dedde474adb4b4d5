#include "queue/voice_sender.h"

#include <cstring>

#include "base/console.h"
#include "base/log_ring.h"
#include "base/sleep.h"
#include "base/thread_start.h"
#include "modem/voice_call.h"
#include "queue/job_numbers.h"
#include "queue/voice_queue.h"

namespace {

// An idle sender waits this long for a job at most; a put ends the wait.
constexpr int kIdleWaitMs = 600000;

constexpr JobTexts kTexts{">Send Voice: NG counter: %d\r\n",
                          ">Send Voice: call to %s failed, tried again in %d s (try %d of %d)\r\n",
                          ">Send Voice: call to %s given up after %d tries\r\n", 5, VoiceDialable};

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
  voice_msg work{};
  std::memcpy(work.wav, entry.wav, sizeof work.wav - 1);

  const JobOutcome out = WorkJobNumbers(entry, kVoiceJobPhones, kTexts, [&](const char* number, int idx) {
    std::memcpy(work.phone, number, kPhoneSize + 1);
    voice_send_one(work);
    return WaitForVerdict(idx, stop, poll_ms);
  });
  if (out.stopped) return false;
  voice_event_pop();
  PrintMsg(">Send Voice: ng_cnt=%d, phone_idx=%d\r\n", out.ng, out.idx);
  return true;
}

void RunVoiceSender(const std::atomic<bool>& stop, int poll_ms, int idle_wait_ms) {
  while (!stop.load()) {
    // Idle, a new job starts at once; after a job the caller rests.
    if (!VoiceSenderRunJob(stop, poll_ms)) {
      VoiceEventWaitForJob(idle_wait_ms);
    } else if (!stop.load()) {
      SleepMilliseconds(poll_ms);
    }
  }
}

void* thread_voice_buffer(void*) {
  NameThisThread("voice_sender");
  PrintMsg("[thread_voice_buffer is start]\r\n");
  static const std::atomic<bool> kNeverStop{false};
  // Nothing stops it: an idle sender sleeps until a job is put.
  RunVoiceSender(kNeverStop, kVoiceSenderPollMs, kIdleWaitMs);
  return nullptr;
}
