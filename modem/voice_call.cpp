#include "modem/voice_call.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "base/console.h"
#include "log/log_store.h"
#include "modem/modem_wake.h"

voice_msg send_voice;
std::atomic<int32_t> is_send_voice{0};
std::atomic<int32_t> send_voice_status{0};

namespace {

constexpr int kCommandWaitMs = 100;
constexpr int kHangUpWaitMs = 300;
// A poll takes what arrived, at most this much, over the start of the area.
constexpr int kPollBytes = 100;

std::mutex& ClaimMutex() {
  static std::mutex mu;
  return mu;
}

// Copies a text field into a field of the same kind, cut to fit and always
// terminated.
template <size_t N, size_t M>
void CopyText(char (&dst)[N], const char (&src)[M]) {
  size_t n = strnlen(src, M);
  if (n > N - 1) n = N - 1;
  std::memcpy(dst, src, n);
  std::memset(dst + n, 0, N - n);
}

bool Has(const char* area, const char* text) { return std::strstr(area, text) != nullptr; }

class Call {
 public:
  Call(AtChannel& channel, const VoiceCallTiming& timing) : channel_(channel), timing_(timing) {}

  int32_t Place(const voice_msg& job);

 private:
  // The answer is read on to its final result code: one that comes in
  // pieces after the fixed wait would otherwise read as no answer.
  // What came around the answer (a late SMS confirmation before the echo,
  // say) is also kept aside for the SMS steps, which would never see it
  // otherwise; the call still reads it where it arrived.
  void Exchange(const char* command, int wait_ms) {
    std::snprintf(command_, sizeof command_, "%s", command);
    channel_.WriteReadWhole(command_, static_cast<int>(std::strlen(command_)), area_, wait_ms);
    const AtAnswerSpan span = FindAtAnswer(area_, AtEchoOf(command_));
    if (!span.echoed) return;
    const std::string text(area_);
    channel_.SetAside(text.substr(0, span.begin) + (span.end == 0 ? "" : text.substr(span.end)));
  }
  void Log() { AtCmdLog(command_, area_); }
  // True when the module said nothing but the echo of the last command.
  bool NothingBehindEcho() const {
    const std::string echo = AtEchoOf(command_);
    const AtAnswerSpan span = FindAtAnswer(area_, echo);
    const char* rest = area_ + (span.echoed ? span.begin + echo.size() : 0);
    return std::strspn(rest, "\r\n") == std::strlen(rest);
  }
  // What arrived since the last look, over the front of the area; older text
  // behind it stays visible. A copy goes aside as above.
  void Poll() {
    const int n = channel_.Read(area_, kPollBytes);
    if (n > 0) channel_.SetAside(std::string(area_, static_cast<size_t>(n)));
  }
  int32_t WaitForAnswer(bool* voicemail);
  int32_t WaitForPromptEnd();
  int32_t HangUp();
  int32_t HangUpOnTimeout();

  AtChannel& channel_;
  const VoiceCallTiming& timing_;
  char command_[kAtCommandSize] = {0};
  char area_[kAtResponseSize] = {0};
};

// 0 when answered (or taken for voicemail), else the call's final status.
int32_t Call::WaitForAnswer(bool* voicemail) {
  int rings = 0;
  int waits = 0;
  for (;;) {
    Poll();
    if (Has(area_, "VOICE CALL: BEGIN") || *voicemail) return 0;
    if (Has(area_, "NO CARRIER")) {
      Log();
      Exchange("AT+CHUP\r\n", kHangUpWaitMs);
      PrintMsg(">AT+CHUP recv:%s\n", area_);
      Log();
      // Refused or dropped by the far end: a failed attempt either way, so
      // the number is tried again.
      if (!Has(area_, "VOICE CALL: END")) PrintMsg(">send_voice_status(AT+CHUP) --> 4\r\n");
      return kVoiceFailed;
    }
    if (Has(area_, "VOICE CALL: RING")) {
      Log();
      PrintMsg("/");
      if (++rings > timing_.max_rings) {
        *voicemail = true;
        rings = 0;
      }
    } else {
      PrintMsg(".");
      if (++waits > timing_.max_polls) return HangUpOnTimeout();
    }
    channel_.Pause(timing_.poll_ms);
  }
}

int32_t Call::WaitForPromptEnd() {
  for (int polls = 0;;) {
    Poll();
    Log();
    if (Has(area_, "+WAVSTATE: wav play stop")) return 0;
    PrintMsg(",");
    if (++polls > timing_.max_polls) return HangUpOnTimeout();
    channel_.Pause(timing_.poll_ms);
  }
}

int32_t Call::HangUp() {
  Exchange("AT+CHUP\r\n", kHangUpWaitMs);
  PrintMsg(">AT+CHUP recv:%s\n", area_);
  Log();
  if (Has(area_, "VOICE CALL: END") || Has(area_, "OK")) {
    PrintMsg(">send_voice_status --> 3\r\n");
    return kVoiceDone;
  }
  PrintMsg(">send_voice_status(AT+CHUP) --> 4\r\n");
  return kVoiceFailed;
}

int32_t Call::HangUpOnTimeout() {
  Exchange("AT+CHUP\r\n", kHangUpWaitMs);
  PrintMsg(">AT+CHUP(timeout) recv:%s\n", area_);
  Log();
  if (Has(area_, "VOICE CALL: END") || Has(area_, "OK")) {
    PrintMsg(">send_voice_status(timeout) --> 3(4)\r\n");
    return kVoiceDone;
  }
  PrintMsg(">send_voice_status(AT+CHUP) --> 4\r\n");
  return kVoiceFailed;
}

int32_t Call::Place(const voice_msg& job) {
  if (!VoiceDialable(job.phone)) {
    PrintMsg(">send_voice: number refused: \"%.49s\"\r\n", job.phone);
    return kVoiceFailed;
  }
  // What came before the call is no part of it (the SMS steps look at it).
  channel_.SetAsideWaiting();
  Exchange("AT+MORING=1\r\n", kCommandWaitMs);
  PrintMsg(">AT+MORING recv:%s\n", area_);
  Log();
  if (Has(area_, "ERROR")) {
    PrintMsg("send_voice_status --> 4\r\n");
    return kVoiceFailed;
  }

  char command[kAtCommandSize];
  std::snprintf(command, sizeof command, "ATD%s;\r\n", job.phone);
  Exchange(command, kCommandWaitMs);
  PrintMsg(">ATD recv:%s\n", area_);
  PrintMsg(">wait calling...\n");
  Log();
  if (!Has(area_, "OK")) {
    PrintMsg(">send_voice_status(ATD) --> 4\r\n");
    // Without any answer at all the call may have gone up all the same: hang
    // up, or it would hold the line and refuse every later dial. Any answer
    // ("ERROR", "NO CARRIER", "BUSY") says no call is up.
    if (NothingBehindEcho()) {
      Exchange("AT+CHUP\r\n", kHangUpWaitMs);
      PrintMsg(">AT+CHUP recv:%s\n", area_);
      Log();
    }
    return kVoiceFailed;
  }

  bool voicemail = false;
  if (int32_t ended = WaitForAnswer(&voicemail)) return ended;
  Log();
  if (voicemail) {
    PrintMsg(">Go voice mail...wait 23 second...\r\n");
    channel_.Pause(timing_.voicemail_wait_ms);
  }

  std::snprintf(command, sizeof command, "AT+CCMXPLAYWAV=\"/var/qrv_806_voice/%s\",1\r\n", job.wav);
  Exchange(command, kCommandWaitMs);
  PrintMsg(">AT+CCMXPLAYWAV recv:%s\n", area_);
  Log();
  if (Has(area_, "ERROR")) {
    PrintMsg(">send_voice_status(CCMXPLAYWAV) --> 4\r\n");
    // The call is up without a prompt: end it rather than leave the line
    // open until the far end gives up.
    Exchange("AT+CHUP\r\n", kHangUpWaitMs);
    PrintMsg(">AT+CHUP recv:%s\n", area_);
    Log();
    return kVoiceFailed;
  }

  if (int32_t ended = WaitForPromptEnd()) return ended;
  Log();
  return HangUp();
}

}  // namespace

// Digits with an optional leading "+", and the "*" and "#" of service
// numbers: anything else (a ";" or a line end above all) would end the dial
// command and pass the rest to the module as commands of its own.
bool VoiceDialable(const char* number) {
  if (*number == '\0') return false;
  for (const char* p = number; *p; ++p) {
    const bool digit = *p >= '0' && *p <= '9';
    if (!digit && *p != '*' && *p != '#' && !(*p == '+' && p == number)) return false;
  }
  return true;
}

int voice_send_one(voice_msg job) {
  std::lock_guard<std::mutex> lock(ClaimMutex());
  if (is_send_voice.load() != 0) return 0;
  CopyText(send_voice.phone, job.phone);
  CopyText(send_voice.wav, job.wav);
  send_voice_status.store(kVoiceHandedOver);
  is_send_voice.store(1);
  WakeModemLoop();
  return 1;
}

void SendVoiceJob(AtChannel& channel, const VoiceCallTiming& timing) {
  send_voice_status.store(kVoiceCalling);
  voice_msg job{};
  CopyText(job.phone, send_voice.phone);  // the modem thread owns it while the flag is set
  CopyText(job.wav, send_voice.wav);
  PrintMsg("====== Send VOICE =======\r\n");
  PrintMsg(">send_voice:Phone Number:%s\n", job.phone);
  PrintMsg(">send_voice:Voice Name:%s\n", job.wav);
  const int32_t status = Call(channel, timing).Place(job);
  is_send_voice.store(0);
  send_voice_status.store(status);
  PrintMsg("====== End VOICE ======\r\n");
}
