// Coding bytes of received messages and the alphabet each one announces, as
// the record keeps it (0 = GSM 7-bit, 4 = 8-bit data, 8 = UCS2), with one
// SMS-DELIVER per byte: the codec, the PDU tool and the simulator are all
// held to the same table.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace testsupport {

struct CodingByte {
  uint8_t dcs;
  int coding;
};

inline constexpr CodingByte kCodingBytes[] = {
    {0x00, 0}, {0x04, 4}, {0x08, 8},                          // the plain codings
    {0x10, 0}, {0x11, 0}, {0x12, 0}, {0x13, 0},               // 7-bit with a class
    {0x14, 4}, {0x18, 8}, {0x19, 8}, {0x1A, 8}, {0x1B, 8},    // 8-bit, UCS2 with a class
    {0x20, 4}, {0x31, 4}, {0x0C, 4},                          // compressed; reserved alphabet
    {0x40, 0}, {0x48, 8},                                     // marked for automatic deletion
    {0xC0, 0}, {0xD1, 0}, {0xE0, 8},                          // message waiting
    {0xF0, 0}, {0xF1, 0}, {0xF2, 0}, {0xF3, 0},               // the class group: 7-bit
    {0xF4, 4}, {0xF5, 4}, {0xF6, 4}, {0xF7, 4},               // the class group: 8-bit
    {0x80, 4}, {0xB5, 4},                                     // reserved groups
};

/// The control phone of the table's messages and their text.
inline const std::string kCodingFrom = "0912345678";
inline const std::string kCodingText = "@DOC1;PULSE;1500";
/// kCodingText packed: 16 septets in 14 octets.
inline const std::string kCodingPacked = "00E27318DB41ABCC697117ABC160";

/// An SMS-DELIVER from kCodingFrom with coding byte `dcs` (no centre
/// address). A 7-bit coding carries kCodingText (its length in septets);
/// any other the same 14 octets (its length in octets).
inline std::string CodingPdu(uint8_t dcs, int coding) {
  char head[64];
  std::snprintf(head, sizeof head, "00040A81902143658700%02X12703180510000%02X", dcs, coding == 0 ? 16 : 14);
  return head + kCodingPacked;
}

}  // namespace testsupport
