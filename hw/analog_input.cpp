#include "hw/analog_input.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "base/console.h"
#include "config/config_data.h"
#include "hw/gpio.h"

std::atomic<int> ai_settle_ms{50};

namespace {

constexpr uint8_t kAdcAddress = 0x90;  // 8-bit form of 0x48
constexpr uint8_t kConversionReg = 0;
constexpr uint8_t kConfigReg = 1;
// Single input pair 0/1 (the external multiplexer sits behind it), full
// scale 2.048 V, continuous conversion at 64 samples/s, comparator off.
constexpr uint8_t kConfigWord[2] = {0x04, 0x73};

void SelectChannel(int ch) {
  switch (ch) {
    case 0:
      AI1_LOW();
      AI0_LOW();
      break;
    case 1:
      AI1_LOW();
      AI0_HIGH();
      break;
    case 2:
      AI1_HIGH();
      AI0_LOW();
      break;
    default:  // 3 and any other number
      AI1_HIGH();
      AI0_HIGH();
      break;
  }
}

}  // namespace

int InitADC() {
  int ret = I2C_Write(kAdcAddress, kConfigReg, 2, kConfigWord);
  if (ret != 1) {
    PrintMsg("Set ADC ERROR, ret=%d\r\n", ret);
    return 0;
  }
  return 1;
}

int ReadADCRegister() {
  uint8_t b[2] = {0, 0};
  int ret = I2C_Read(kAdcAddress, kConversionReg, 2, b);
  if (ret != 1) {
    PrintMsg("ADC>> Read Error, ret=%d\r\n", ret);
    return 0;
  }
  return b[0] * 256 + b[1];
}

uint32_t AI_read(int ch) {
  // Configure, select, settle and convert as one: another thread's read of a
  // different channel would otherwise switch the multiplexer under this one.
  std::lock_guard<std::recursive_mutex> lock(I2cBusMutex());
  InitADC();
  SelectChannel(ch);
  const int settle = ai_settle_ms.load();
  if (settle > 0) std::this_thread::sleep_for(std::chrono::milliseconds(settle));
  return static_cast<uint32_t>(ReadADCRegister());
}

double ai_hex2double(uint32_t code) {
  code &= 0xFFFF;  // a 16-bit two's complement result
  if (code <= 32767) return code * 2.048 / 32767 * 10 / 2.04;
  return -2.048 * (65536 - code) / 32768 * 10 / 1.996;
}

double AI_RD(int ch) {
  double x = ai_hex2double(AI_read(ch));
  if (x >= 0) return gain * x + offset;
  return gain2 * x + offset2;
}

void AI_read_all() {
  for (int ch = 0; ch < 4; ++ch) {
    AI_read(ch);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
