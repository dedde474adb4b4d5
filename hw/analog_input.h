// The I2C bus, the analog-to-digital converter and the calibrated analog
// inputs.
#pragma once

#include <cstdint>

int InitI2C();
int I2C_Write(uint8_t addr, uint8_t reg, int len, const uint8_t* data);
int I2C_Read(uint8_t addr, uint8_t reg, int len, uint8_t* out);
int InitADC();
int ReadADCRegister();
uint32_t AI_read(int ch);
double ai_hex2double(uint32_t code);
double AI_RD(int ch);
void AI_read_all();
