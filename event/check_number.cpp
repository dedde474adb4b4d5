#include "event/check_number.h"

#include <mutex>

namespace {

// CRC-16/USB: polynomial 0x8005, initial 0xFFFF, reflected in and out,
// final XOR 0xFFFF. Reflected input lets the table run on the reversed
// polynomial, low bit first.
constexpr uint32_t kPolynom = 0x8005;
constexpr uint16_t kCrcInit = 0xFFFF;
constexpr uint16_t kCrcXor = 0xFFFF;

uint16_t crctab[256];
std::once_flag crc_init_flag;

void generate_crc_table() {
  const uint16_t reversed = static_cast<uint16_t>(reflect(kPolynom, 16));
  for (int i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ reversed) : crc >> 1;
    crctab[i] = crc;
  }
}

}  // namespace

void sms_crc_init() { std::call_once(crc_init_flag, generate_crc_table); }

uint32_t reflect(uint32_t value, int bits) {
  uint32_t out = 0;
  for (int i = 0; i < bits; ++i) {
    out = (out << 1) | (value & 1);
    value >>= 1;
  }
  return out;
}

uint16_t sms_crctablefast(const uint8_t* bytes, int len) {
  sms_crc_init();  // a caller before start-up still gets the right value
  uint16_t crc = kCrcInit;
  for (int i = 0; i < len; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ crctab[(crc ^ bytes[i]) & 0xFF]);
  return crc ^ kCrcXor;
}

uint16_t ProtIC_GetResult(uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return sms_crctablefast(bytes, 4);
}

uint8_t cGetCheckNum(const char* text, int len) {
  uint32_t sum = 0;
  for (int i = 0; i < len; ++i) sum += static_cast<uint8_t>(text[i]);
  const uint16_t crc = ProtIC_GetResult(sum);
  return static_cast<uint8_t>((crc >> 8) + (crc & 0xFF));
}
