#include "config/config_data.h"

SysConfig sys_config;
OrvelEvent orvel_event[kEventCount];
EventStatus event_status[kEventCount];
VoicePara voice_para[kEventCount];

double gain = 1;
double offset = 0;
double gain2 = 1;
double offset2 = 0;

std::atomic<uint32_t> counter_status_old[kDiCount];
std::atomic<uint8_t> cIsHighON{0};
std::atomic<uint8_t> EventDIIsON[kDiCount];
std::atomic<uint8_t> EventAIIsON[kAiCount];
std::atomic<int32_t> iCREG{0};
std::atomic<int32_t> iCSQ{0};

char cDataBuf[1024];
uint32_t uiDataBufLen = 0;

std::atomic<int32_t> flg_init_clear{0};
std::atomic<int32_t> flg_init_config{0};
std::atomic<int32_t> flg_init_rp_config{0};

std::recursive_mutex& ConfigMutex() {
  static std::recursive_mutex mu;
  return mu;
}

UartSettings UartSettingsCopy() {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  return UartSettings{sys_config.uiBaudrate, sys_config.uiDataBit, sys_config.cParity, sys_config.uiStopBit,
                      sys_config.cIsUart2SMS};
}

CounterPreset CounterPresetCopy(int ch) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  return CounterPreset{sys_config.counter_status[ch].load(), sys_config.uiCounter[ch].load()};
}

void SetCounterPreset(int ch, uint32_t count, uint32_t alarm) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  sys_config.counter_status[ch] = count;
  sys_config.uiCounter[ch] = alarm;
}
