#include "qc/qc_sms_loop.h"

#include <cstring>

#include "base/console.h"
#include "base/sleep.h"
#include "config/config_data.h"
#include "modem/sms_transport.h"
#include "qc/qc_pauses.h"
#include "queue/sms_queue.h"

namespace {

constexpr size_t kNumberMax = 20;  // fills a job's number slot without a zero
constexpr int kChecks = 10;
// While the test SMS is still queued or being sent the checks do not count:
// a send that failed once is tried again 10 s later, then 30 s after that.
// Bounded by the sender's worst case for one number (three tries, 40 s of
// waits, a confirmation wait each).
constexpr int kSendingChecksMax = 120;
constexpr char kTestText[] = "QCTEST";
constexpr size_t kTestLen = sizeof kTestText - 1;

static_assert(kNumberMax <= static_cast<size_t>(kPhoneSize), "a number must fit its slot");

// Messages that reached the unit before or beside the test SMS (older ones
// waiting in the SIM store) must not count as the test SMS coming back.
bool IsTestMessage(const sms_msg& m) {
  return m.sms_mode == 0 && m.msg_len == kTestLen && std::memcmp(m.msg, kTestText, kTestLen) == 0;
}

}  // namespace

std::string QcSmsNumber(const char* after_command) {
  return std::string(after_command, strnlen(after_command, kNumberMax)).substr(0, std::strcspn(after_command, ";"));
}

int QcSmsLoop(const std::string& number) {
  if (number.empty()) {
    PrintMsg(">@SMSRECV= needs the unit's own number, nothing sent\r\n");
    return 0;
  }
  int slot = 0;
  const bool queued = SmsTextTryPut(kTestText, number.c_str(), &slot);
  PrintMsg("res of sms_event_put() = %d\r\n", queued ? slot : 0);
  PrintMsg("sms_event_is_n()=%d\r\n", sms_event_is_n());
  if (!queued) {
    PrintMsg(">SMS queue full, the test SMS was not queued\r\n");
    return 0;
  }
  PrintMsg(">Waiting up to %d s for the test SMS to come back from %s\r\n",
           kChecks * qc_sms_check_pause_ms.load() / 1000, number.c_str());
  bool said_sending = false;
  for (int check = 0, sending = 0; check < kChecks;) {
    SleepMilliseconds(qc_sms_check_pause_ms.load());
    sms_msg got{};
    if (sms_check_new_one(&got) != 0) {
      if (IsTestMessage(got)) return 1;
      PrintMsg(">A message from %s is not the test SMS, still waiting\r\n", got.phone);
    }
    const int status = sms_event_status(slot);
    if ((status == kSmsJobQueued || status == kSmsJobSending) && sending < kSendingChecksMax) {
      ++sending;
      if (!said_sending) PrintMsg(">The test SMS is not sent yet; the checks count once it is\r\n");
      said_sending = true;
      continue;
    }
    ++check;
  }
  PrintMsg(">The test SMS did not come back\r\n");
  return 0;
}
