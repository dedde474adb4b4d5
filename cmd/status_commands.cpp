// Serial commands that show status or change one setting in memory: device
// name, counters, clock, I/O, outputs, calibration, version, signal, SIM
// PIN, init pin, voice prompts and SD card. Only @SAVE writes the file.
//
// Every set is checked whole before anything is stored, so an ER reply
// always leaves the settings as they were.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/console.h"
#include "base/sd_flags.h"
#include "base/version.h"
#include "cmd/command_fields.h"
#include "cmd/command_reply.h"
#include "cmd/handlers.h"
#include "config/config_data.h"
#include "config/text_utils.h"
#include "config/time_utils.h"
#include "event/do_control.h"
#include "hw/analog_input.h"
#include "hw/gpio.h"
#include "hw/rtc.h"
#include "modem/modem_state.h"
#include "modem/wav_prompts.h"

// The model name: what @DEVNAME reports, the name @STAN;(CLR) restores, and
// the name the control commands answer with.
extern const char kModelName[] = "QRV-806XK";

namespace {

constexpr int kMachineIdMax = kMachineIdSize - 1;
constexpr int kPinChars = kPinSize - 1;
constexpr uint64_t kU32Max = 0xFFFFFFFFu;

using Fields = CommandFields<2>;

// The channel number right behind the command name, below `limit` (none
// written reads as 0).
bool ChannelBehindName(const char* line, int match_len, int limit, int* channel) {
  const int64_t n = NumberBehindName(line, static_cast<size_t>(match_len), static_cast<uint64_t>(limit - 1));
  if (n < 0) return false;
  *channel = static_cast<int>(n);
  return true;
}


// The read-only commands answer ER to any field behind their name.
bool HasFields(char* line) { return Fields(line).count > 0; }

// A config.ini value ends at the line end: a line break inside it would
// split the line, and the next start would refuse the whole file.
bool FitsOneLine(const char* text) { return std::strpbrk(text, "\r\n") == nullptr; }

}  // namespace

int cmd_stan(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  const Fields f(line);
  if (f.count == 0) {
    char name[kMachineIdSize];
    {
      std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
      std::snprintf(name, sizeof name, "%s", sys_config.cMachineID);
    }
    return ReplyValues(cmd, "%s", name[0] != '\0' ? name : "N/A");
  }
  if (f.count > 1) return ReplyEr(cmd);  // a ";" cannot be part of the name
  const char* name = f.at[0];
  // Bounded before the copy: the line may hold up to 1000 characters.
  if (strnlen(name, kMachineIdMax + 1) > static_cast<size_t>(kMachineIdMax) || !FitsOneLine(name)) {
    return ReplyEr(cmd);
  }
  if (std::strncmp(name, "(CLR)", 5) == 0) name = kModelName;
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memset(sys_config.cMachineID, 0, sizeof sys_config.cMachineID);
    std::memcpy(sys_config.cMachineID, name, std::strlen(name));
  }
  return ReplyOk(cmd);  // already under the new name
}

int cmd_devname(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (HasFields(line)) return ReplyEr(cmd);
  return ReplyValues(cmd, "%s", kModelName);
}

int cmd_actv(char* line, int match_len) {
  const EchoedCommand cmd(line);
  int ch = 0;
  const bool known = ChannelBehindName(line, match_len, kDiCount, &ch);
  const Fields f(line);
  if (!known) return ReplyEr(cmd);
  if (f.count == 0) {
    const CounterPreset p = CounterPresetCopy(ch);
    return ReplyValues(cmd, "%lu;%lu", static_cast<unsigned long>(p.count), static_cast<unsigned long>(p.alarm));
  }
  uint64_t count = 0;
  uint64_t alarm = 0;
  if (f.count != 2 || !DecimalField(f.at[0], kCounterMax, &count) || !DecimalField(f.at[1], kCounterMax, &alarm) ||
      alarm < count + 10) {
    return ReplyEr(cmd);
  }
  SetCounterPreset(ch, static_cast<uint32_t>(count), static_cast<uint32_t>(alarm));
  return ReplyOk(cmd);
}

int cmd_time(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  const Fields f(line);
  if (f.count == 0) {
    char now[40];
    getTimeStr(now, 'x');
    return ReplyValues(cmd, "%s", now);
  }
  if (f.count != 2 || !IsYMD(f.at[0]) || !IsHMS(f.at[1])) return ReplyEr(cmd);
  if (SetSystemTime(f.at[0], f.at[1]) != 1) return ReplyEr(cmd);
  RTC_Read2sys();
  return ReplyOk(cmd);
}

int cmd_iosta(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (HasFields(line)) return ReplyEr(cmd);
  int di[kDiCount];
  double ai[kAiCount];
  unsigned long counts[kDiCount];
  for (int i = 0; i < kDiCount; ++i) di[i] = DIV(static_cast<uint8_t>(i));
  for (int i = 0; i < kAiCount; ++i) ai[i] = AI_RD(i);
  const int do0 = DOV(0);
  const int do1 = DOV(1);
  for (int i = 0; i < kDiCount; ++i) counts[i] = sys_config.counter_status[i].load();
  return ReplyValues(cmd, "%d;%d;%d;%d;%d;%f;%f;%f;%f;%d;%d;%lu;%lu;%lu;%lu;%lu", di[0], di[1], di[2], di[3], di[4],
                     ai[0], ai[1], ai[2], ai[3], do0, do1, counts[0], counts[1], counts[2], counts[3], counts[4]);
}

int cmd_doc(char* line, int match_len) {
  const EchoedCommand cmd(line);
  int ch = 0;
  const bool known = ChannelBehindName(line, match_len, kDoCount, &ch);
  const Fields f(line);
  if (!known || f.count == 0) return ReplyEr(cmd);
  const char* what = f.at[0];
  if (f.count == 1 && (std::strcmp(what, "ON") == 0 || std::strcmp(what, "OFF") == 0)) {
    return DoSwitchSteady(ch, what[1] == 'N') ? ReplyOk(cmd) : ReplyEr(cmd);
  }
  if (std::strcmp(what, "PULSE") == 0 && f.count <= 2) {
    uint64_t ms = 0;  // none: switch on and leave on
    if (f.count == 2 && !DecimalField(f.at[1], kU32Max, &ms)) return ReplyEr(cmd);
    DoRequest(ch, static_cast<uint32_t>(ms));
    PrintMsg(">DO(%d) is ON during %u ms!!\r\n", ch, static_cast<unsigned>(ms));
    return ReplyOk(cmd);
  }
  return ReplyEr(cmd);
}

int cmd_div(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (HasFields(line)) return ReplyEr(cmd);
  int di[kDiCount];
  for (int i = 0; i < kDiCount; ++i) di[i] = DIV(static_cast<uint8_t>(i));
  return ReplyValues(cmd, "%d;%d;%d;%d;%d", di[0], di[1], di[2], di[3], di[4]);
}

int cmd_gain(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (HasFields(line)) return ReplyEr(cmd);
  return ReplyValues(cmd, "%f;%f;%f;%f", gain, offset, gain2, offset2);
}

int cmd_fver(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (HasFields(line)) return ReplyEr(cmd);
  return ReplyValues(cmd, "%s", kFirmwareVersion);
}

int cmd_sig(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (HasFields(line)) return ReplyEr(cmd);
  const int32_t creg = modem_creg.load();
  return ReplyValues(cmd, "%d", creg == 1 || creg == 5 ? static_cast<int>(modem_csq.load()) : 0);
}

int cmd_cpin(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  const Fields f(line);
  if (f.count != 1) return ReplyEr(cmd);
  const char* pin = f.at[0];
  // Four digits, as the modem supervisor only ever sends such a PIN: any
  // other text would be stored as OK and then never used.
  if (strnlen(pin, kPinChars + 1) != static_cast<size_t>(kPinChars)) return ReplyEr(cmd);
  for (int i = 0; i < kPinChars; ++i) {
    if (pin[i] < '0' || pin[i] > '9') return ReplyEr(cmd);
  }
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memset(sys_config.cPIN, 0, sizeof sys_config.cPIN);
    std::memcpy(sys_config.cPIN, pin, kPinChars);
  }
  return ReplyOk(cmd);
}

int cmd_initpin(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (HasFields(line)) return ReplyEr(cmd);
  return ReplyValues(cmd, "%d", PIN_INIT_V());
}

int cmd_sdexist(char* line, int /*match_len*/) {
  const EchoedCommand cmd(line);
  if (HasFields(line)) return ReplyEr(cmd);
  return ReplyValues(cmd, "%d", static_cast<int>(if_sd_card.load()));
}

int cmd_voice(char* line, int match_len) {
  const EchoedCommand cmd(line);
  int n = 0;
  const bool known = ChannelBehindName(line, match_len, kVoicePrompts, &n);
  if (!known || HasFields(line)) return ReplyEr(cmd);
  const VoicePara vp = GetVoicePara(n);
  return ReplyValues(cmd, "%d;%d;%lu;%d;%d", vp.cIsExist, vp.sNumChannels,
                     static_cast<unsigned long>(static_cast<uint32_t>(vp.lSampleRate)), vp.sBitsPerSample,
                     vp.cIsFormatOK);
}
