#include "sim/modem/gsm7_alphabet.h"

namespace sim {

namespace {

// The basic character set, indexed by septet (0x1B is the escape).
constexpr uint16_t kBasic[128] = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC,  // @ £ $ ¥ è é ù ì
    0x00F2, 0x00C7, 0x000A, 0x00D8, 0x00F8, 0x000D, 0x00C5, 0x00E5,  // ò Ç LF Ø ø CR Å å
    0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8,  // Δ _ Φ Γ Λ Ω Π Ψ
    0x03A3, 0x0398, 0x039E, 0x001B, 0x00C6, 0x00E6, 0x00DF, 0x00C9,  // Σ Θ Ξ ESC Æ æ ß É
    0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026, 0x0027,  //   ! " # ¤ % & '
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // ( ) * + , - . /
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 0-7
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 8 9 : ; < = > ?
    0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // ¡ A-G
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // H-O
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // P-W
    0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,  // X Y Z Ä Ö Ñ Ü §
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // ¿ a-g
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // h-o
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // p-w
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,  // x y z ä ö ñ ü à
};

struct Extension {
  uint8_t septet;
  uint16_t code_point;
};

// The extension table: each is sent as the escape and this septet.
constexpr Extension kExtension[] = {
    {0x0A, 0x000C}, {0x14, 0x005E}, {0x28, 0x007B}, {0x29, 0x007D}, {0x2F, 0x005C},
    {0x3C, 0x005B}, {0x3D, 0x007E}, {0x3E, 0x005D}, {0x40, 0x007C}, {0x65, 0x20AC},
};

}  // namespace

bool Utf8ToCodePoints(const std::string& text, std::vector<uint32_t>* out) {
  out->clear();
  size_t i = 0;
  while (i < text.size()) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t b = byte(i);
    int extra = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    for (int k = 1; k <= extra; ++k) {
      if (i + static_cast<size_t>(k) >= text.size()) return false;
      uint8_t c = byte(i + static_cast<size_t>(k));
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are no UTF-8.
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out->push_back(cp);
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (cp >> 18));
    *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool CodePointsToGsm7(const std::vector<uint32_t>& text, std::vector<uint8_t>* septets) {
  septets->clear();
  for (uint32_t cp : text) {
    bool found = false;
    for (int s = 0; s < 128 && !found; ++s) {
      if (s != kGsmEscape && kBasic[s] == cp) {
        septets->push_back(static_cast<uint8_t>(s));
        found = true;
      }
    }
    for (const Extension& e : kExtension) {
      if (!found && e.code_point == cp) {
        septets->push_back(kGsmEscape);
        septets->push_back(e.septet);
        found = true;
      }
    }
    if (!found) return false;
  }
  return true;
}

std::string Gsm7ToUtf8(const std::vector<uint8_t>& septets) {
  std::string out;
  for (size_t i = 0; i < septets.size(); ++i) {
    uint8_t s = septets[i] & 0x7F;
    if (s != kGsmEscape) {
      AppendUtf8(kBasic[s], &out);
      continue;
    }
    if (i + 1 == septets.size()) {
      out += ' ';
      break;
    }
    uint8_t next = septets[++i] & 0x7F;
    uint32_t cp = next == kGsmEscape ? 0x20 : kBasic[next];
    for (const Extension& e : kExtension) {
      if (e.septet == next) cp = e.code_point;
    }
    AppendUtf8(cp, &out);
  }
  return out;
}

std::string PackSeptets(const std::vector<uint8_t>& septets, int fill_bits) {
  size_t bits = static_cast<size_t>(fill_bits) + 7 * septets.size();
  std::string out((bits + 7) / 8, '\0');
  for (size_t i = 0; i < septets.size(); ++i) {
    size_t at = static_cast<size_t>(fill_bits) + 7 * i;
    unsigned value = static_cast<unsigned>(septets[i] & 0x7F) << (at % 8);
    out[at / 8] = static_cast<char>(static_cast<uint8_t>(out[at / 8]) | (value & 0xFF));
    if (value > 0xFF) out[at / 8 + 1] = static_cast<char>(static_cast<uint8_t>(out[at / 8 + 1]) | (value >> 8));
  }
  return out;
}

bool UnpackSeptets(const std::string& octets, int first_bit, int count, std::vector<uint8_t>* septets) {
  septets->clear();
  if (first_bit < 0 || count < 0) return false;
  size_t end_bit = static_cast<size_t>(first_bit) + 7 * static_cast<size_t>(count);
  if ((end_bit + 7) / 8 > octets.size()) return false;
  for (int i = 0; i < count; ++i) {
    size_t at = static_cast<size_t>(first_bit) + 7 * static_cast<size_t>(i);
    unsigned value = static_cast<uint8_t>(octets[at / 8]);
    if (at / 8 + 1 < octets.size()) value |= static_cast<unsigned>(static_cast<uint8_t>(octets[at / 8 + 1])) << 8;
    septets->push_back(static_cast<uint8_t>((value >> (at % 8)) & 0x7F));
  }
  return true;
}

int PackedOctets(int count) { return (7 * count + 7) / 8; }

}  // namespace sim
