// The board's fourteen GPIO lines as the simulated board lays them out.
#pragma once

#include <string>

namespace sim {

enum class PinRole { kDigitalInput, kInitPin, kSpareInput, kDigitalOutput, kMuxSelect, kLed, kSpareOutput };

struct Pin {
  int gpio;
  PinRole role;
  int index;  // DI or DO number, LED 0 = status 1 = GPS; 0 for the others
  bool output;
  bool active_low;
  const char* name;  // as shown in the state report
};

constexpr int kPinCount = 14;
constexpr int kDigitalInputs = 5;
constexpr int kDigitalOutputs = 2;
constexpr int kAnalogInputs = 4;

/// The pin map, in the order the firmware sets the lines up.
const Pin* Pins();

/// GPIO numbers by role.
int DiGpio(int n);  // n 0..4
int DoGpio(int n);  // n 0..1
constexpr int kInitPinGpio = 5;
constexpr int kStatusLedGpio = 77;
constexpr int kGpsLedGpio = 92;

}  // namespace sim
