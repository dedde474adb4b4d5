// The board's pin map and the accessors by role.
#include <chrono>
#include <thread>

#include "hw/gpio.h"

namespace {

struct PinSetup {
  int gpio;
  int out;
  int active_low;
  int value;
};

// In the order the lines are set up at start.
constexpr PinSetup kPinMap[] = {
    {27, 0, 1, 0},  // DI0
    {26, 0, 1, 0},  // DI1
    {28, 0, 1, 0},  // DI2
    {30, 0, 1, 0},  // DI3
    {7, 0, 1, 0},   // DI4
    {5, 0, 0, 0},   // init pin
    {80, 0, 0, 0},  // spare input
    {29, 1, 0, 0},  // DO0
    {4, 1, 0, 0},   // DO1
    {25, 1, 0, 0},  // AI multiplexer select bit 0
    {6, 1, 0, 0},   // AI multiplexer select bit 1
    {92, 1, 0, 0},  // GPS LED
    {77, 1, 0, 0},  // STA LED
    {0, 1, 0, 0},   // spare output
};

constexpr int kDiGpio[] = {27, 26, 28, 30, 7};
constexpr int kDo0Gpio = 29;
constexpr int kDo1Gpio = 4;
constexpr int kAi0Gpio = 25;
constexpr int kAi1Gpio = 6;
constexpr int kGpsLedGpio = 92;
constexpr int kStaLedGpio = 77;
constexpr int kInitPinGpio = 5;

int DoGpio(uint8_t ch) { return ch == 0 ? kDo0Gpio : kDo1Gpio; }

}  // namespace

int InitGPIO() {
  // The kernel's GPIO driver needs a moment after boot before exports work.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  int result = 0;
  for (const PinSetup& p : kPinMap) {
    if (GPIO_io_init(p.gpio, p.out, p.active_low, p.value) != 0) result = -1;
  }
  return result;
}

uint8_t DIV(uint8_t ch) {
  // Only five inputs exist; an unknown channel reads as a failed read.
  if (ch >= sizeof kDiGpio / sizeof kDiGpio[0]) return 0xFF;
  return static_cast<uint8_t>(GPIO_get_value(kDiGpio[ch]));
}

std::string DIV_path(uint8_t ch) {
  if (ch >= sizeof kDiGpio / sizeof kDiGpio[0]) return "";
  return GPIO_value_path(kDiGpio[ch]);
}

int DOV(uint8_t ch) { return GPIO_get_value(DoGpio(ch)); }
int ONDO(uint8_t ch) { return GPIO_set_value(DoGpio(ch), 1); }
int OFFDO(uint8_t ch) { return GPIO_set_value(DoGpio(ch), 0); }

int AI0_LOW() { return GPIO_set_value(kAi0Gpio, 0); }
int AI0_HIGH() { return GPIO_set_value(kAi0Gpio, 1); }
int AI1_LOW() { return GPIO_set_value(kAi1Gpio, 0); }
int AI1_HIGH() { return GPIO_set_value(kAi1Gpio, 1); }

int STA_LED_ON() { return GPIO_set_value(kStaLedGpio, 1); }
int STA_LED_OFF() { return GPIO_set_value(kStaLedGpio, 0); }
int STA_LED_V() { return GPIO_get_value(kStaLedGpio); }
int GPS_LED_ON() { return GPIO_set_value(kGpsLedGpio, 1); }
int GPS_LED_OFF() { return GPIO_set_value(kGpsLedGpio, 0); }
int GPS_LED_V() { return GPIO_get_value(kGpsLedGpio); }

int PIN_INIT_V() { return GPIO_get_value(kInitPinGpio); }
