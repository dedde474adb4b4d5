// SMS remote control: the received-message thread of normal mode and the
// SMS command handlers.
//
// Every request is checked whole before anything changes, so an ER reply
// always leaves outputs, counters and clock as they were. Numbers are
// digits only: a typing error must not become a different duration or
// counter value.
#include "cmd/sms_remote.h"

#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/console.h"
#include "base/thread_start.h"
#include "cmd/command_fields.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/file_lines.h"
#include "config/readiness.h"
#include "config/side_files.h"
#include "config/text_utils.h"
#include "config/time_utils.h"
#include "event/do_control.h"
#include "hw/analog_input.h"
#include "hw/gpio.h"
#include "hw/rtc.h"
#include "modem/pdu_codec.h"
#include "modem/serial_port.h"
#include "queue/sms_queue.h"

std::atomic<int> sms_reply_pause_ms{2000};
std::atomic<int> sms_poll_ms{200};

namespace {

constexpr int kUcs2 = 8;
constexpr int kReceived = 1;
constexpr uint32_t kMaxPulseMs = 604800000;  // seven days
// The modem thread wakes the receiver when it hands a message over; this
// only bounds the wait.
constexpr int kIdleLookMs = 600000;
// The sender's number as received: "+" and at most 19 digits.
constexpr size_t kSenderMax = kPhoneSize;

void Sleep(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Lines that go to the standard output only (never mirrored to the port).
void StdoutLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void StdoutLine(const char* format, ...) {
  char line[128];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0) ConsoleWrite(line, n < static_cast<int>(sizeof line) ? n : static_cast<int>(sizeof line) - 1);
}

// One request and its answer. Every answer is bounded to one SMS as it is
// sent: 160 septets, an extension character counting two.
struct Request {
  char text[kMsgSize];
  char sender[kSenderMax + 1];
  char id[kMachineIdSize];
  char reply[kSmsBodyMax + 1];
  bool has_reply = false;
  bool trace_queue = false;  // @TIME and a successful @DOC show the queue

  /// False when the answer did not fit one SMS and the failure answer took
  /// its place.
  bool Reply(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

bool Request::Reply(const char* format, ...) {
  char text[2 * sizeof reply];  // cppcheck-suppress shadowVariable ; the answer as formatted, kept apart from the request
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  has_reply = true;
  if (n >= 0 && n < static_cast<int>(sizeof reply) && gsmIsoSeptetCount(text, n) <= kPduMaxSeptets) {
    std::memcpy(reply, text, static_cast<size_t>(n) + 1);
    return true;
  }
  // An answer that does not fit is refused, never cut: the command's
  // failure answer, "!id;NAME;ER", takes its place.
  PrintMsg(">Reply does not fit one SMS: answered ER\r\n");
  const size_t id_len = std::strlen(id);
  const char* name = n > static_cast<int>(id_len) + 1 ? text + id_len + 2 : "";
  std::snprintf(reply, sizeof reply, "!%s;%.*s;ER", id, static_cast<int>(std::strcspn(name, ";")), name);
  return false;
}

using Fields = CommandFields<3>;


// A channel number read the way atoi reads it, only to be shown in a
// refusal (kept small for the reply).
int ChannelAsAtoi(const char* text, size_t name_len) {
  const int64_t n = config::ParseLong(text + name_len);
  return n > 99999 ? 99999 : n < -99999 ? -99999 : static_cast<int>(n);
}

bool Starts(const char* text, const char* name) { return std::strncmp(text, name, std::strlen(name)) == 0; }

void ForwardToTerminal(const char* text) {
  const int len = static_cast<int>(strnlen(text, kSmsBodyMax));
  if (len == 0) return;
  const int port = uart1.load();
  if (port <= 0) {
    PrintMsg(">Terminal port not open: %d characters not forwarded\r\n", len);
    return;
  }
  if (uart_write(port, text, len) != len) PrintMsg(">Terminal port write failed: text not forwarded whole\r\n");
}

void CmdTime(Request& r) {
  const Fields f(r.text);
  if (f.count == 0) {
    char now[40];
    getTimeStr(now, 'x');
    r.Reply("!%s;TIME;OK;%s", r.id, now);
    return;
  }
  if (f.count != 2 || !IsYMD(f.at[0]) || !IsHMS(f.at[1])) {
    r.Reply("!%s;TIME;ER", r.id);
    return;
  }
  // The answer echoes both fields: one that cannot go out whole is refused
  // before the clock changes.
  if (!r.Reply("!%s;TIME;OK;%s;%s", r.id, f.at[0], f.at[1])) return;
  if (SetSystemTime(f.at[0], f.at[1]) != 1) {
    PrintMsg("Setting System Time Error!!\r\n");
    r.Reply("!%s;TIME;ER", r.id);
    return;
  }
  RTC_Read2sys();
}

void CmdDoc(Request& r) {
  constexpr size_t kName = 4;
  // Read as on the serial port: no number reads as output 0.
  const int64_t known = NumberBehindName(r.text, kName, kDoCount - 1);
  const int ch = known >= 0 ? static_cast<int>(known) : ChannelAsAtoi(r.text, kName);
  const Fields f(r.text);
  const char* what = f.at[0];
  if (known < 0 || f.count == 0) {
    r.Reply("!%s;DOC%d;ER", r.id, ch);
    return;
  }
  if (f.count == 1 && (std::strcmp(what, "ON") == 0 || std::strcmp(what, "OFF") == 0)) {
    if (!DoSwitchSteady(ch, what[1] == 'N')) {
      r.Reply("!%s;DOC%d;ER", r.id, ch);
      return;
    }
    r.Reply("!%s;DOC%d;OK;%s", r.id, ch, what);
    r.trace_queue = true;
    return;
  }
  uint64_t ms = 0;  // none or empty: switch on and leave on
  if (std::strcmp(what, "PULSE") == 0 && f.count <= 2 &&
      (f.count == 1 || f.at[1][0] == '\0' || DecimalField(f.at[1], kMaxPulseMs, &ms))) {
    DoRequest(ch, static_cast<uint32_t>(ms));
    PrintMsg(">DO(%d) is ON during %d ms!!\r\n", ch, static_cast<int>(ms));
    r.Reply("!%s;DOC%d;OK;%s;%d", r.id, ch, what, static_cast<int>(ms));
    r.trace_queue = true;
    return;
  }
  r.Reply("!%s;DOC%d;ER", r.id, ch);
}

void CmdActv(Request& r) {
  constexpr size_t kName = 5;
  if (r.text[kName] == '\0') {
    unsigned long c[kDiCount];
    for (int i = 0; i < kDiCount; ++i) c[i] = sys_config.counter_status[i].load();
    r.Reply("!%s;ACTV;OK;%lu;%lu;%lu;%lu;%lu", r.id, c[0], c[1], c[2], c[3], c[4]);
    return;
  }
  // Here a channel must be written: "@ACTV;..." is refused.
  const int ch = r.text[kName] == ';' ? -1 : static_cast<int>(NumberBehindName(r.text, kName, kDiCount - 1));
  const Fields f(r.text);
  if (ch < 0) {
    StdoutLine("error1\r\n");
    r.Reply("!%s;%s\r\n", r.id, "ER");
    return;
  }
  StdoutLine("DI Channel Number:%d\r\n", ch);
  if (f.count == 0) {
    StdoutLine("error2\r\n");
    r.Reply("!%s;ACTV;%s\r\n", r.id, "ER");
    return;
  }
  // An empty counter field reads as the largest count, which is refused;
  // an empty or missing alarm field as 0.
  uint64_t count = kCounterMax;
  uint64_t alarm = 0;
  const bool read = f.count <= 2 && (f.at[0][0] == '\0' || DecimalField(f.at[0], kCounterMax, &count)) &&
                    (f.count < 2 || f.at[1][0] == '\0' || DecimalField(f.at[1], kCounterMax, &alarm));
  if (read) {
    StdoutLine("DI Counter Value:%lu\r\n", static_cast<unsigned long>(count));
    StdoutLine("DI Alarm Value:%lu\r\n", static_cast<unsigned long>(alarm));
  }
  if (!read || count >= kCounterMax || count + 10 > alarm) {
    StdoutLine("error3\r\n");
    r.Reply("!%s;ACTV;%s\r\n", r.id, "ER");
    return;
  }
  // Stored at once, as the counter latch is: a restart must not bring back
  // the old preset. One the file does not take is not kept either, so an OK
  // always means a preset that survives a restart. The lock keeps the
  // counter check from seeing a preset that is then taken back.
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  const CounterPreset before = CounterPresetCopy(ch);
  SetCounterPreset(ch, static_cast<uint32_t>(count), static_cast<uint32_t>(alarm));
  if (save_orvel_config() == 0) {
    SetCounterPreset(ch, before.count, before.alarm);
    PrintMsg(">Save config.ini failed: counter %d keeps its preset\r\n", ch);
    r.Reply("!%s;ACTV;%s\r\n", r.id, "ER");
    return;
  }
  r.Reply("!%s;ACTV%d;OK;%lu;%lu", r.id, ch, static_cast<unsigned long>(count), static_cast<unsigned long>(alarm));
}

void CmdDiv(Request& r) {
  if (Fields(r.text).count > 0) {
    r.Reply("!%s;DIV;ER", r.id);
    return;
  }
  int di[kDiCount];
  for (int i = 0; i < kDiCount; ++i) di[i] = DIV(static_cast<uint8_t>(i));
  const int do0 = DOV(0);
  const int do1 = DOV(1);
  r.Reply("!%s;DIV;OK;%d;%d;%d;%d;%d;%d;%d", r.id, di[0], di[1], di[2], di[3], di[4], do0, do1);
}

void CmdAiv(Request& r) {
  if (Fields(r.text).count > 0) {
    r.Reply("!%s;AIV;ER", r.id);
    return;
  }
  double ai[kAiCount];
  for (int i = 0; i < kAiCount; ++i) ai[i] = AI_RD(i);
  r.Reply("!%s;AIV;OK;%f;%f;%f;%f", r.id, ai[0], ai[1], ai[2], ai[3]);
}

// The reply goes to the sender only; a full queue is said on the console.
int SendBack(const Request& r) {
  PrintMsg(">Sendback: %s\r\n", r.reply);
  int slot = 0;
  const bool queued = SmsTextTryPut(r.reply, r.sender, &slot);
  if (!queued) PrintMsg(">SMS queue full: reply to %s dropped\r\n", r.sender);
  if (r.trace_queue) {
    PrintMsg(">res of sms_event_put() = %d\r\n", queued ? slot : 0);
    PrintMsg(">sms_event_is_n()=%d\r\n", sms_event_is_n());
  }
  Sleep(sms_reply_pause_ms);
  return queued ? 1 : 0;
}

bool FromControlPhone(const char* sender) {
  char list[kCtrlPhoneCount][kPhoneSize];
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memcpy(list, sys_config.CtrlPhone, sizeof list);
  }
  return phone_number_chk(sender, list) == 1;
}

void Journal(const sms_msg& in, const char* sender) {
  if (in.sms_mode == kUcs2) {
    // UCS2 bytes hold zeros: the journal keeps them as hexadecimal text.
    char hex[2 * kMsgSize + 1];
    Hex2HexStr(hex, in.msg, in.msg_len < kSmsBodyMax ? in.msg_len : kSmsBodyMax);
    save_sms_log(hex, sender, in.sms_mode, kReceived);
  } else {
    char text[kMsgSize];
    std::snprintf(text, sizeof text, "%.*s", kSmsBodyMax, in.msg);
    save_sms_log(text, sender, in.sms_mode, kReceived);
  }
}

}  // namespace

int HandleSmsCommand(const sms_msg& in) {
  PrintMsg(">Get new SMS!!\r\n");
  Request r;
  std::memset(r.text, 0, sizeof r.text);
  std::memcpy(r.text, in.msg, kSmsBodyMax);
  const size_t sender_len = strnlen(in.phone, sizeof in.phone);
  // No network number is longer; a longer one could not be answered
  // without cutting it into another number.
  if (sender_len > kSenderMax) {
    PrintMsg(">Sender number longer than %d characters: SMS dropped\r\n", static_cast<int>(kSenderMax));
    return -1;
  }
  std::memcpy(r.sender, in.phone, sender_len);
  r.sender[sender_len] = '\0';
  if (!FromControlPhone(r.sender)) {
    PrintMsg("This phone is not in Phonelist!!\r\n");
    return -1;
  }
  PrintMsg(">Msg Content: %s\n>form: %s\r\n", r.text, r.sender);
  Journal(in, r.sender);
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::snprintf(r.id, sizeof r.id, "%s", sys_config.cMachineID);
  }

  // "+++" forwards and then, like any text that is no command, stays only
  // in the journal.
  if (Starts(r.text, "+++")) ForwardToTerminal(r.text + 3);
  if (Starts(r.text, "@TIME")) {
    CmdTime(r);
    r.trace_queue = true;
  } else if (Starts(r.text, "@DOC")) {
    CmdDoc(r);
  } else if (Starts(r.text, "@ACTV")) {
    CmdActv(r);
  } else if (Starts(r.text, "@DIV")) {
    CmdDiv(r);
  } else if (Starts(r.text, "@AIV")) {
    CmdAiv(r);
  }
  return r.has_reply ? SendBack(r) : 0;
}

void* thread_recv_SMS(void*) {
  NameThisThread("recv_sms");
  WaitUntilReady();
  PrintMsg("[thread_recv_SMS is start]\r\n");
  sms_msg in;
  ChangeSignal& arrived = NewSmsSignal();
  for (;;) {
    // Taken before the mailbox is looked at: a message handed over after
    // the look ends the wait at once.
    uint64_t seen = arrived.Generation();
    std::memset(&in, 0, sizeof in);
    if (sms_check_new_one(&in) != 1) {
      arrived.Wait(&seen, kIdleLookMs);
      continue;
    }
    if (HandleSmsCommand(in) < 0) Sleep(sms_poll_ms);
  }
  return nullptr;
}
