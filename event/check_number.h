// The check number of the machine-readable SMS lines: the byte sum of the
// line, run through CRC-16/USB most significant byte first, and the CRC's
// two bytes added. Printed as "(%02X)" behind the line.
#pragma once

#include <cstdint>

/// Builds the CRC table once (start-up calls it before any message is built;
/// later calls change nothing).
void sms_crc_init();
/// Reverses the low `bits` bits of `value`.
uint32_t reflect(uint32_t value, int bits);
/// CRC-16/USB of `len` bytes.
uint16_t sms_crctablefast(const uint8_t* bytes, int len);
/// CRC-16/USB of the four bytes of `value`, most significant first.
uint16_t ProtIC_GetResult(uint32_t value);
/// The check number of `len` bytes of `text`.
uint8_t cGetCheckNum(const char* text, int len);
