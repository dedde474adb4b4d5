// The choice between normal and utility mode, made once at start-up after
// the configuration is loaded.
#pragma once

#include <cstdint>

enum class OperatingMode { kNormal, kUtility };

/// Utility mode when the init pin reads 1. The console stops mirroring to
/// the serial port when the port carries the UART-to-SMS bridge
/// (`uart2sms` 1) or the command protocol (utility mode).
OperatingMode ChooseOperatingMode(uint8_t uart2sms, int init_pin);
