#include "queue/sms_sender.h"

#include <cstring>

#include "base/console.h"
#include "base/log_ring.h"
#include "base/sleep.h"
#include "base/thread_start.h"
#include "config/side_files.h"
#include "config/text_utils.h"
#include "modem/at_channel.h"
#include "modem/modem_state.h"
#include "modem/pdu_codec.h"
#include "queue/job_numbers.h"
#include "queue/sms_queue.h"

namespace {

// An idle sender waits this long for a job at most; a put ends the wait.
constexpr int kIdleWaitMs = 600000;

constexpr int kUcs2Coding = 8;
constexpr int kDirectionSent = 0;

constexpr JobTexts kTexts{"NG counter: %d\r\n", ">SMS to %s failed, tried again in %d s (try %d of %d)\r\n",
                          ">SMS to %s given up after %d tries\r\n", 4,
                          [](const char* number) { return SmsDestinationOk(number, kPhoneSize); }};

// Each attempt goes into the journal: UCS2 as hexadecimal text, any other
// coding as the text itself.
void Journal(const sms_msg& work) {
  if (work.sms_mode == kUcs2Coding) {
    char hex[2 * kMsgSize + 1];
    Hex2HexStr(hex, work.msg, work.msg_len);
    save_sms_log(hex, work.phone, work.sms_mode, kDirectionSent);
  } else {
    save_sms_log(work.msg, work.phone, work.sms_mode, kDirectionSent);
  }
}

// Waits for the modem's verdict on the message just handed over; -1 when
// `stop` ended the wait. The modem thread ends every accepted send with 3
// or 4, so there is no time limit; the poll line shows the wait.
int32_t WaitForVerdict(int idx, const std::atomic<bool>& stop, int poll_ms) {
  for (;;) {
    SleepMilliseconds(poll_ms);
    int32_t status = send_sms_status.load();
    PrintMsg("--> phone_idx[%d]: %d\r\n", idx, status);
    if (status == kSmsSendDone || status == kSmsSendFailed) return status;
    if (stop.load()) return -1;
  }
}

}  // namespace

bool SmsSenderRunJob(const std::atomic<bool>& stop, int poll_ms) {
  if (sms_event_is_n() == 0) return false;
  sms_event& entry = sms_evt[evt_out.load()];
  sms_msg work;
  std::memset(&work, 0, sizeof work);
  int body = entry.sms.msg_len > kSmsBodyMax ? kSmsBodyMax : entry.sms.msg_len;
  work.msg_len = static_cast<uint8_t>(body);
  std::memcpy(work.msg, entry.sms.msg, static_cast<size_t>(body));
  work.sms_mode = entry.sms.sms_mode;

  const JobOutcome out = WorkJobNumbers(entry, kSmsJobPhones, kTexts, [&](const char* number, int idx) {
    std::memcpy(work.phone, number, kPhoneSize + 1);
    Journal(work);
    sms_send_one(work);
    return WaitForVerdict(idx, stop, poll_ms);
  });
  if (out.stopped) return false;
  sms_event_pop();
  PrintMsg("ng_cnt=%d, phone_idx=%d\r\n", out.ng, out.idx);
  return true;
}

void RunSmsSender(const std::atomic<bool>& stop, int poll_ms, int idle_wait_ms) {
  while (!stop.load()) {
    // Idle, a new job starts at once; after a job the sender rests.
    if (!SmsSenderRunJob(stop, poll_ms)) {
      SmsEventWaitForJob(idle_wait_ms);
    } else if (!stop.load()) {
      SleepMilliseconds(poll_ms);
    }
  }
}

void* thread_sms_buffer(void*) {
  NameThisThread("sms_sender");
  PrintMsg("[thread_sms_buffer is start]\r\n");
  static const std::atomic<bool> kNeverStop{false};
  // Nothing stops it: an idle sender sleeps until a job is put.
  RunSmsSender(kNeverStop, kSmsSenderPollMs, kIdleWaitMs);
  return nullptr;
}
