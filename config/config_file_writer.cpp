// save_orvel_config: the 1037-line /APP/config.ini.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "base/console.h"
#include "base/log_ring.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/side_files.h"
#include "config/string_format.h"
#include "config/text_utils.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace {

using config::AppendFormat;
using config::Bounded;

// Phone lists are written as their first `count` entries joined by ",".
// An analog limit as written: four decimals.
std::string LimitText(double v) {
  std::string text;
  AppendFormat(&text, "%.04lf", v);
  return text;
}

std::string PhoneList(const char (*phones)[kPhoneSize], uint32_t count) {
  std::string list;
  count = std::min<uint32_t>(count, kPhonesPerEvent);
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) list += ',';
    list += Bounded(phones[i], kPhoneMaxLen);
  }
  return list;
}

void AppendHeader(std::string* out) {
  const SysConfig& c = sys_config;
  AppendFormat(out, "cMachineID=%s\r\n", Bounded(c.cMachineID, kMachineIdSize - 1).c_str());
  AppendFormat(out, "cPIN=%s\r\n", Bounded(c.cPIN, kPinSize - 1).c_str());
  AppendFormat(out, "CtrlPhoneNo=%d\r\n", static_cast<int>(c.CtrlPhoneNo));
  AppendFormat(out, "CtrlPhone=%s\r\n", PhoneList(c.CtrlPhone, c.CtrlPhoneNo).c_str());
  AppendFormat(out, "cIsUart2SMS=%d\r\n", c.cIsUart2SMS);
  AppendFormat(out, "UartPhone=%s\r\n", Bounded(c.UartPhone, kPhoneMaxLen).c_str());
  AppendFormat(out, "uiBaudrate=%d\r\n", static_cast<int>(c.uiBaudrate));
  AppendFormat(out, "uiDataBit=%d\r\n", c.uiDataBit);
  AppendFormat(out, "cParity=%c\r\n", c.cParity);
  AppendFormat(out, "uiStopBit=%d\r\n", c.uiStopBit);
  AppendFormat(out, "counter_status=%u,%u,%u,%u,%u\r\n", c.counter_status[0].load(), c.counter_status[1].load(),
               c.counter_status[2].load(), c.counter_status[3].load(), c.counter_status[4].load());
  AppendFormat(out, "uiCounter=%u,%u,%u,%u,%u\r\n", c.uiCounter[0].load(), c.uiCounter[1].load(),
               c.uiCounter[2].load(), c.uiCounter[3].load(), c.uiCounter[4].load());
  AppendFormat(out, "cIsCounterTriggered=%d,%d,%d,%d,%d\r\n", c.cIsCounterTriggered[0].load(),
               c.cIsCounterTriggered[1].load(), c.cIsCounterTriggered[2].load(), c.cIsCounterTriggered[3].load(),
               c.cIsCounterTriggered[4].load());
}

std::string MessageText(const OrvelEvent& ev) {
  if (ev.sms_mode != 8) return Bounded(ev.msg, kMsgSize - 1);
  // msg_len is only a byte count: never read past the message buffer.
  char hex[2 * kMsgSize + 1];
  Hex2HexStr(hex, ev.msg, std::min<int>(ev.msg_len, kMsgSize));
  return hex;
}

void AppendEvent(std::string* out, int n) {
  const OrvelEvent& ev = orvel_event[n];
  AppendFormat(out, "%d#is_event_enable=%d\r\n", n, ev.is_event_enable);
  AppendFormat(out, "%d#phone_n_now=%d\r\n", n, ev.phone_n_now);
  AppendFormat(out, "%d#phone=%s\r\n", n, PhoneList(ev.phone, ev.phone_n_now).c_str());
  AppendFormat(out, "%d#sms_mode=%d\r\n", n, ev.sms_mode);
  AppendFormat(out, "%d#msg_len=%d\r\n", n, ev.msg_len);
  AppendFormat(out, "%d#msg=%s\r\n", n, MessageText(ev).c_str());
  for (int j = 0; j < kDiCount; ++j) {
    const DiConfig& di = ev.di[j];
    AppendFormat(out, "%d#di[%d]cIsEnable=%d\r\n", n, j, di.cIsEnable);
    AppendFormat(out, "%d#di[%d]cType=%d\r\n", n, j, di.cType);
    AppendFormat(out, "%d#di[%d]uiHoldTime=%d\r\n", n, j, static_cast<int>(di.uiHoldTime));
    AppendFormat(out, "%d#di[%d]uiResetTime=%d\r\n", n, j, static_cast<int>(di.uiResetTime));
    AppendFormat(out, "%d#di[%d]cIsCounter=%d\r\n", n, j, di.cIsCounter);
  }
  for (int j = 0; j < kAiCount; ++j) {
    const AiConfig& ai = ev.ai[j];
    AppendFormat(out, "%d#ai[%d]cIsEnable=%d\r\n", n, j, ai.cIsEnable);
    AppendFormat(out, "%d#ai[%d]cType=%d\r\n", n, j, ai.cType);
    AppendFormat(out, "%d#ai[%d]uiHoldTime=%d\r\n", n, j, static_cast<int>(ai.uiHoldTime));
    AppendFormat(out, "%d#ai[%d]uiResetTime=%d\r\n", n, j, static_cast<int>(ai.uiResetTime));
    AppendFormat(out, "%d#ai[%d]fAI_high=%s\r\n", n, j, LimitText(ai.fAI_high).c_str());
    AppendFormat(out, "%d#ai[%d]fAI_low=%s\r\n", n, j, LimitText(ai.fAI_low).c_str());
  }
  AppendFormat(out, "%d#rp_cIsEnable=%d\r\n", n, ev.auto_report.cIsEnable);
  AppendFormat(out, "%d#rp_report_days=%d\r\n", n, static_cast<int>(ev.auto_report.report_days));
  AppendFormat(out, "%d#rp_report_HMS=%s\r\n", n,
               Bounded(ev.auto_report.report_HMS, sizeof ev.auto_report.report_HMS - 1).c_str());
  // Written as a signed number, as the device always did; the reader takes
  // it back to the same 32 bits.
  AppendFormat(out, "%d#rp_ulNextReportTimeSt=%d\r\n", n, static_cast<int>(event_status[n].ulNextReportTimeSt));
  AppendFormat(out, "%d#iIs_do_on=%d\r\n", n, ev.iIs_do_on);
  AppendFormat(out, "%d#uiDOHoldTime=%d\r\n", n, static_cast<int>(ev.uiDOHoldTime));
  AppendFormat(out, "%d#cIsNewUtilitySet=%d\r\n", n, ev.cIsNewUtilitySet);
  AppendFormat(out, "%d#iIsVoice=%d\r\n", n, ev.iIsVoice);
  AppendFormat(out, "%d#iIsSMSDBS=%d\r\n", n, ev.iIsSMSDBS);
}

}  // namespace

double LimitAsStored(double v) { return std::strtod(LimitText(v).c_str(), nullptr); }

int save_orvel_config() {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  // The whole text is built first and then replaces the old file in one
  // step: a failed or interrupted save leaves the previous file as it was.
  std::string text;
  text.reserve(40000);
  AppendHeader(&text);
  for (int n = 0; n < kEventCount; ++n) AppendEvent(&text, n);
  if (!platform::ReplaceFileAtomically(platform::Path("/APP/config.ini"), text)) {
    PrintMsg(">Open file fail(config.ini)\r\n");
    LogPush(1, 1, 0);
    return 0;
  }
  PrintMsg(">Open file(config.ini) success for saving\r\n");
  PrintMsg(">Save file(config.ini) success!!\r\n");
  save_counter_status();
  return 1;
}
