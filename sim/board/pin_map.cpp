#include "sim/board/pin_map.h"

namespace sim {

namespace {
constexpr Pin kPins[kPinCount] = {
    {27, PinRole::kDigitalInput, 0, false, true, "DI0"},
    {26, PinRole::kDigitalInput, 1, false, true, "DI1"},
    {28, PinRole::kDigitalInput, 2, false, true, "DI2"},
    {30, PinRole::kDigitalInput, 3, false, true, "DI3"},
    {7, PinRole::kDigitalInput, 4, false, true, "DI4"},
    {5, PinRole::kInitPin, 0, false, false, "init pin"},
    {80, PinRole::kSpareInput, 0, false, false, "spare input"},
    {29, PinRole::kDigitalOutput, 0, true, false, "DO0"},
    {4, PinRole::kDigitalOutput, 1, true, false, "DO1"},
    {25, PinRole::kMuxSelect, 0, true, false, "AI0 select"},
    {6, PinRole::kMuxSelect, 1, true, false, "AI1 select"},
    {92, PinRole::kLed, 1, true, false, "GPS LED"},
    {77, PinRole::kLed, 0, true, false, "status LED"},
    {0, PinRole::kSpareOutput, 0, true, false, "spare output"},
};
constexpr int kDiGpio[kDigitalInputs] = {27, 26, 28, 30, 7};
constexpr int kDoGpio[kDigitalOutputs] = {29, 4};
}  // namespace

const Pin* Pins() { return kPins; }
int DiGpio(int n) { return kDiGpio[n]; }
int DoGpio(int n) { return kDoGpio[n]; }

}  // namespace sim
