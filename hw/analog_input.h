// The analog-to-digital converter and the calibrated analog inputs.
#pragma once

#include <atomic>
#include <cstdint>

#include "hw/i2c.h"

/// Time for the multiplexer and the converter to settle on a new channel
/// (50 ms); the fuzz targets shorten it.
extern std::atomic<int> ai_settle_ms;

/// Writes the configuration word 0x0473 to the converter. 1, or 0 after
/// "Set ADC ERROR, ret=%d".
int InitADC();
/// The conversion register, 0..65535; 0 after "ADC>> Read Error, ret=%d".
int ReadADCRegister();
/// Raw code of channel `ch` (0 to 3; any other number selects 3). The whole
/// read holds the bus, so no other thread moves the multiplexer meanwhile.
uint32_t AI_read(int ch);
/// Input volts of a raw code.
double ai_hex2double(uint32_t code);
/// Calibrated value of channel `ch` (gain/offset from gain.ini).
double AI_RD(int ch);
/// Reads channels 0 to 3 in turn, discarding the codes (factory test).
void AI_read_all();
