// Start values before the file is read, and the factory defaults.
#include <cstring>

#include "base/console.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/time_utils.h"

namespace {

constexpr uint32_t kDefaultBaudrate = 115200;
constexpr uint32_t kDefaultHoldTimeMs = 200;
constexpr uint32_t kDefaultResetTimeMs = 50;
constexpr double kDefaultAiHigh = 10.0;
constexpr double kDefaultAiLow = -10.0;

// What init_orvel_config and set_default have in common.
void SetSharedValues() {
  std::memset(sys_config.cPIN, 0, sizeof sys_config.cPIN);
  sys_config.CtrlPhoneNo = 0;
  std::memset(sys_config.CtrlPhone, 0, sizeof sys_config.CtrlPhone);
  std::memset(sys_config.UartPhone, 0, sizeof sys_config.UartPhone);
  sys_config.uiBaudrate = kDefaultBaudrate;
  sys_config.uiDataBit = 8;
  sys_config.cParity = 'N';
  sys_config.uiStopBit = 1;
  for (int i = 0; i < kDiCount; ++i) {
    sys_config.counter_status[i] = 0;
    sys_config.uiCounter[i] = kCounterMax;
    sys_config.cIsCounterTriggered[i] = 0;
    EventDIIsON[i] = 0;
  }
  for (int i = 0; i < kAiCount; ++i) EventAIIsON[i] = 0;
  cIsHighON = 1;
  std::memset(cDataBuf, 0, sizeof cDataBuf);
  uiDataBufLen = 0;

  for (int n = 0; n < kEventCount; ++n) {
    OrvelEvent& ev = orvel_event[n];
    ClearEventTriggers(ev);
    ev.phone_n_now = 0;
    ev.sms_mode = 0;
    ev.msg_len = 0;
    std::memset(ev.phone, 0, sizeof ev.phone);
    std::memset(ev.msg, 0, sizeof ev.msg);
    ev.iIsVoice = 0;

    VoicePara& vp = voice_para[n];
    vp.cIsExist = 0;
    vp.sNumChannels = 1;
    vp.lSampleRate = 8000;
    vp.sBitsPerSample = 16;
    vp.cIsFormatOK = 0;
  }
}

}  // namespace

void ClearEventTriggers(OrvelEvent& ev) {
  ev.is_event_enable = 0;
  for (DiConfig& di : ev.di) {
    di.cIsEnable = 0;
    di.cType = 0;
    di.cIsCounter = 0;
    di.uiHoldTime = kDefaultHoldTimeMs;
    di.uiResetTime = kDefaultResetTimeMs;
  }
  for (AiConfig& ai : ev.ai) {
    ai.cIsEnable = 0;
    ai.cType = 0;
    ai.uiHoldTime = kDefaultHoldTimeMs;
    ai.uiResetTime = kDefaultResetTimeMs;
    ai.fAI_high = kDefaultAiHigh;
    ai.fAI_low = kDefaultAiLow;
  }
  ev.auto_report.cIsEnable = 0;
  ev.auto_report.report_days = 1;
  std::memset(ev.auto_report.report_HMS, 0, sizeof ev.auto_report.report_HMS);
  std::memcpy(ev.auto_report.report_HMS, "000000", 6);
  ev.iIs_do_on = 0;
  ev.uiDOHoldTime = 0;
  ev.cIsNewUtilitySet = 0;
}

void init_orvel_config() {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  flg_init_clear = 0;
  flg_init_config = 0;
  flg_init_rp_config = 0;
  SetSharedValues();
  std::memset(sys_config.cMachineID, 0, sizeof sys_config.cMachineID);
  sys_config.cIsUart2SMS = 1;
  uart1 = 0;
  iCREG = 0;
  iCSQ = 0;
  for (int n = 0; n < kEventCount; ++n) {
    orvel_event[n].iIsSMSDBS = 0;
    event_status[n].ulNextReportTimeSt = 0;
  }
  flg_init_clear = 1;
}

void set_default() {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  SetSharedValues();
  std::memset(sys_config.cMachineID, 0, sizeof sys_config.cMachineID);
  std::strcpy(sys_config.cMachineID, "QRV-806XK");
  sys_config.cIsUart2SMS = 0;
  for (int i = 0; i < kDiCount; ++i) counter_status_old[i] = 0;
  // iIsSMSDBS keeps its value: the factory reset leaves the message form of
  // every event as it was.
  uint32_t now = GetSystemTimeSeconds();
  for (int n = 0; n < kEventCount; ++n) event_status[n].ulNextReportTimeSt = now;
  flg_init_config = 1;
}
