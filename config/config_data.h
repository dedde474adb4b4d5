// The device's settings and the per-event run-time state, shared by every
// thread. Field names, widths and ranges are the system's own; the file that
// stores them is config/config_file.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

constexpr int kEventCount = 16;
constexpr int kPhonesPerEvent = 10;
constexpr int kCtrlPhoneCount = 10;
constexpr int kDiCount = 5;
constexpr int kAiCount = 4;
constexpr int kDoCount = 2;
constexpr int kPhoneSize = 20;      // at most 19 characters and a zero
constexpr int kPhoneMaxLen = kPhoneSize - 1;
constexpr int kMsgSize = 161;       // 160 characters of 7-bit text, or UCS2 bytes
constexpr int kMachineIdSize = 21;  // at most 20 characters
constexpr int kPinSize = 5;         // at most 4 characters
constexpr uint32_t kCounterMax = 999999999;

struct SysConfig {
  char cMachineID[kMachineIdSize];
  char cPIN[kPinSize];
  uint32_t CtrlPhoneNo;
  char CtrlPhone[kCtrlPhoneCount][kPhoneSize];
  uint8_t cIsUart2SMS;
  char UartPhone[kPhoneSize];
  uint32_t uiBaudrate;
  uint8_t uiDataBit;
  char cParity;
  uint8_t uiStopBit;
  // The counters are written by the counter thread while the SMS commands and
  // the configuration writer read them: each is one atomic word.
  std::atomic<uint32_t> counter_status[kDiCount];
  std::atomic<uint32_t> uiCounter[kDiCount];
  std::atomic<uint8_t> cIsCounterTriggered[kDiCount];
};

struct DiConfig {
  uint8_t cIsEnable;
  uint8_t cType;  // 0 none, 1 NC_PULSE, 2 NO_PULSE, 3 NC, 4 NO
  uint32_t uiHoldTime;
  uint32_t uiResetTime;
  uint8_t cIsCounter;
};

struct AiConfig {
  uint8_t cIsEnable;
  uint8_t cType;  // 0 none, 1 HIGH, 2 LOW, 3 HL
  uint32_t uiHoldTime;
  uint32_t uiResetTime;
  double fAI_high;
  double fAI_low;
};

struct AutoReport {
  uint8_t cIsEnable;
  uint32_t report_days;
  char report_HMS[8];
};

struct OrvelEvent {
  uint8_t is_event_enable;
  char phone[kPhonesPerEvent][kPhoneSize];
  uint8_t phone_n_now;
  uint8_t sms_mode;  // 0 = 7-bit text, 8 = UCS2 bytes
  char msg[kMsgSize];
  uint8_t msg_len;
  DiConfig di[kDiCount];
  AiConfig ai[kAiCount];
  AutoReport auto_report;
  int32_t iIs_do_on;
  uint32_t uiDOHoldTime;
  uint8_t cIsNewUtilitySet;
  int32_t iIsVoice;
  uint8_t iIsSMSDBS;
};

struct EventStatus {
  uint8_t cDIHold[kDiCount];
  uint32_t uiDIHoldStart[kDiCount];
  uint8_t cDIAlarm[kDiCount];
  uint8_t cAIHold[kAiCount];
  uint32_t uiAIHoldStart[kAiCount];
  uint8_t cAIAlarm[kAiCount];
  uint8_t cIsReported;
  uint32_t ulNextReportTimeSt;
  uint32_t ulNextReportTimeEnd;
};

struct VoicePara {
  uint8_t cIsExist;
  int16_t sNumChannels;
  int32_t lSampleRate;
  int16_t sBitsPerSample;
  uint8_t cIsFormatOK;
};

extern SysConfig sys_config;
extern OrvelEvent orvel_event[kEventCount];
extern EventStatus event_status[kEventCount];
extern VoicePara voice_para[kEventCount];

// Analog calibration (gain.ini): r >= 0 gives r * gain + offset, a negative
// reading r * gain2 + offset2.
extern double gain;
extern double offset;
extern double gain2;
extern double offset2;

// Run-time state cleared together with the settings.
extern std::atomic<uint32_t> counter_status_old[kDiCount];
extern std::atomic<uint8_t> cIsHighON;
extern std::atomic<uint8_t> EventDIIsON[kDiCount];
extern std::atomic<uint8_t> EventAIIsON[kAiCount];
extern std::atomic<int32_t> iCREG;
extern std::atomic<int32_t> iCSQ;

// Serial command receive buffer of utility mode and the bridge.
extern char cDataBuf[1024];
extern uint32_t uiDataBufLen;

// Start-up readiness: worker threads wait until all three are 1.
extern std::atomic<int32_t> flg_init_clear;
extern std::atomic<int32_t> flg_init_config;
extern std::atomic<int32_t> flg_init_rp_config;

/// Held around whole-record updates and around every read or save of the
/// configuration files, so a save never writes a half-changed event.
std::recursive_mutex& ConfigMutex();

/// One channel's count and counter alarm value, taken or stored together
/// under ConfigMutex(): a preset by command changes both, and the counter
/// alarm check must never see the new count beside the old alarm value (or
/// the reverse), which could raise an alarm that neither preset asks for.
struct CounterPreset {
  uint32_t count;  // counter_status
  uint32_t alarm;  // uiCounter
};
CounterPreset CounterPresetCopy(int ch);
void SetCounterPreset(int ch, uint32_t count, uint32_t alarm);

/// The terminal port's settings and the bridge switch, as one consistent
/// copy taken under ConfigMutex().
struct UartSettings {
  uint32_t baud;
  uint8_t data_bits;
  char parity;
  uint8_t stop_bits;
  uint8_t bridge;  // cIsUart2SMS
};
UartSettings UartSettingsCopy();
