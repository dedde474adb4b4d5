#include "app/operating_mode.h"

#include "base/console.h"

OperatingMode ChooseOperatingMode(uint8_t uart2sms, int init_pin) {
  if (uart2sms == 1) cDebugMode = 0;
  if (init_pin != 1) return OperatingMode::kNormal;
  cDebugMode = 0;
  PrintMsg(">Initial pin is triggered!! Go to Utility mode!!\r\n");
  return OperatingMode::kUtility;
}
