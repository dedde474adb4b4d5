#include "event/alarm_jobs.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/console.h"
#include "base/sd_flags.h"
#include "base/sleep.h"
#include "config/config_data.h"
#include "event/alarm_text.h"
#include "event/do_control.h"
#include "modem/wav_prompts.h"
#include "platform/paths.h"
#include "queue/sms_queue.h"
#include "queue/voice_queue.h"

std::atomic<int> send_msg_pause_ms{2000};

namespace {

// The event's first phone_n_now numbers.
int PhoneList(int n, char (*phones)[kPhoneSize]) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  int count = orvel_event[n].phone_n_now;
  if (count > kPhonesPerEvent) count = kPhonesPerEvent;
  std::memcpy(phones, orvel_event[n].phone, static_cast<size_t>(count) * kPhoneSize);
  return count;
}

bool ValidEvent(int n) { return n >= 0 && n < kEventCount; }

}  // namespace

void send_msg(int n, char* out) {
  if (!ValidEvent(n)) return;
  char phones[kPhonesPerEvent][kPhoneSize];
  const int count = PhoneList(n, phones);
  uint8_t report, mode, configured_len;
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    report = orvel_event[n].auto_report.cIsEnable == 1 ? 1 : 0;
    // Only the event's own message is in its coding; the compact line and
    // the reports are plain text whatever the event's coding is.
    const bool own_message = report == 0 && orvel_event[n].iIsSMSDBS == 0;
    mode = own_message ? orvel_event[n].sms_mode : 0;
    configured_len = orvel_event[n].msg_len;
  }
  char text[kAlarmTextSize] = {0};
  set_msg(text, n, report);

  sms_msg sms{};
  sms.sms_mode = mode;
  if (mode == 0) {
    const size_t len = strnlen(text, kAlarmTextSize - 1);
    std::memcpy(sms.msg, text, len);
    sms.msg_len = static_cast<uint8_t>(len);
    PrintMsg(" [Report Msg][Msg Length:%d]\n => %s\r\n", static_cast<int>(len), text);
    std::memcpy(out, text, len + 1);
  } else {
    std::memcpy(sms.msg, text, kSmsBodyMax);
    sms.msg_len = configured_len;
    PrintMsg(" [Report Msg][Msg Length:%d]\n => ", configured_len);
    // The dump stops at the first pair of zero bytes.
    for (int i = 0; i + 1 < configured_len && i + 1 < kAlarmTextSize; i += 2) {
      if (text[i] == 0 && text[i + 1] == 0) break;
      PrintMsg("%02X %02X ", static_cast<uint8_t>(text[i]), static_cast<uint8_t>(text[i + 1]));
    }
    PrintMsg("\r\n");
    std::memcpy(out, text, kAlarmTextSize);
  }
  const int put = sms_event_put(sms, phones, count);
  PrintMsg(">res of sms_event_put() = %d\r\n", put);
  PrintMsg(">sms_event_is_n()=%d\r\n", sms_event_is_n());
  SleepMilliseconds(send_msg_pause_ms.load());
}

void call_voice(int n) {
  if (!ValidEvent(n)) return;
  char phones[kPhonesPerEvent][kPhoneSize];
  const int count = PhoneList(n, phones);
  char path[64];
  std::snprintf(path, sizeof path, "/media/card/voice/EVNT%d.wav", n);
  if (::access(platform::Path(path).c_str(), F_OK) != 0) {
    PrintMsg(">.WAV file does not exist. Maybe SD Card was uninstalled after QRV-806K startup.\r\n");
    return;
  }
  if (check_wav_format(n, 1) == 0) {
    PrintMsg(">.WAV file format is incorrect. Maybe SD Card was changed after QRV-806K startup.");
    return;
  }
  voice_msg job{};
  std::snprintf(job.wav, sizeof job.wav, "EVNT%d.wav", n);
  const int put = voice_event_put(job, phones, count);
  PrintMsg(">Result of voice_event_put() = %d\r\n", put);
  PrintMsg(">voice_event_is_n() = %d\r\n", voice_event_is_n());
}

void FireEvent(int n, const char* send_line) {
  if (!ValidEvent(n)) return;
  int32_t outputs, voice;
  uint32_t hold;
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    outputs = orvel_event[n].iIs_do_on;
    hold = orvel_event[n].uiDOHoldTime;
    voice = orvel_event[n].iIsVoice;
  }
  if (outputs == 1 || outputs == 3) DoRequest(0, hold);
  if (outputs == 2 || outputs == 3) DoRequest(1, hold);

  if (send_line != nullptr) PrintMsg("%s", send_line);
  char text[kAlarmTextSize];
  send_msg(n, text);

  if (voice != 1) return;
  const VoicePara prompt = GetVoicePara(n);
  if (if_sd_card.load() == 1 && prompt.cIsFormatOK == 1) {
    call_voice(n);
    return;
  }
  if (if_sd_card.load() == 0) PrintMsg(">SD Card is not exist.\r\n");
  if (prompt.cIsExist == 1 && prompt.cIsFormatOK == 0) {
    PrintMsg(">.WAV(%d) file format is incorrect. Please check the file format.\r\n", n);
  }
}
