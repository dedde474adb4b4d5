#include "modem/gsm_alphabet.h"

const uint8_t Table7Bit2Iso[128] = {
    // 0x00: @ £ $ ¥ è é ù ì ò Ç LF Ø ø CR Å å
    0x40, 0xA3, 0x24, 0xA5, 0xE8, 0xE9, 0xF9, 0xEC,
    0xF2, 0xC7, 0x0A, 0xD8, 0xF8, 0x0D, 0xC5, 0xE5,
    // 0x10: Δ _ Φ Γ Λ Ω Π Ψ Σ Θ Ξ ESC Æ æ ß É (Greek and ESC keep their code)
    0x10, 0x5F, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
    0x18, 0x19, 0x1A, 0x1B, 0xC6, 0xE6, 0xDF, 0xC9,
    // 0x20: space ! " # ¤ % & ' ( ) * + , - . /
    0x20, 0x21, 0x22, 0x23, 0xA4, 0x25, 0x26, 0x27,
    0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    // 0x30: 0..9 : ; < = > ?
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    // 0x40: ¡ A..O
    0xA1, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47,
    0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    // 0x50: P..Z Ä Ö Ñ Ü §
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57,
    0x58, 0x59, 0x5A, 0xC4, 0xD6, 0xD1, 0xDC, 0xA7,
    // 0x60: ¿ a..o
    0xBF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67,
    0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    // 0x70: p..z ä ö ñ ü à
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77,
    0x78, 0x79, 0x7A, 0xE4, 0xF6, 0xF1, 0xFC, 0xE0,
};

namespace {

struct EscapePair {
  uint8_t iso;
  uint8_t code;  // the code after the escape
};

// The extension-table characters that ISO-8859-1 can hold; 0xA4 stands for
// the euro sign.
constexpr EscapePair kEscapes[] = {
    {0x0C, 0x0A}, {'^', 0x14}, {'{', 0x28}, {'}', 0x29}, {'\\', 0x2F},
    {'[', 0x3C},  {'~', 0x3D}, {']', 0x3E}, {'|', 0x40}, {0xA4, 0x65},
};

const EscapePair* FindEscapeByIso(uint8_t c) {
  for (const EscapePair& e : kEscapes) {
    if (e.iso == c) return &e;
  }
  return nullptr;
}

const EscapePair* FindEscapeByCode(uint8_t code) {
  for (const EscapePair& e : kEscapes) {
    if (e.code == code) return &e;
  }
  return nullptr;
}

}  // namespace

int gsmIsoSeptets(uint8_t c) { return FindEscapeByIso(c) != nullptr ? 2 : 1; }

int gsmIsoSeptetCount(const char* text, int n) {
  int septets = 0;
  for (int i = 0; i < n; ++i) septets += gsmIsoSeptets(static_cast<uint8_t>(text[i]));
  return septets;
}

int gsmIsoCharsWithin(const char* text, int n, int max_septets) {
  int septets = 0;
  for (int i = 0; i < n; ++i) {
    septets += gsmIsoSeptets(static_cast<uint8_t>(text[i]));
    if (septets > max_septets) return i;
  }
  return n;
}

int gsm7Bit2Iso(const uint8_t* septets, char* text, int n) {
  int out = 0;
  for (int i = 0; i < n; ++i) {
    uint8_t code = septets[i] & 0x7F;
    if (code == kGsmEscape && i + 1 < n) {
      const EscapePair* e = FindEscapeByCode(septets[i + 1] & 0x7F);
      if (e != nullptr) {
        text[out++] = static_cast<char>(e->iso);
        ++i;
        continue;
      }
    }
    text[out++] = static_cast<char>(Table7Bit2Iso[code]);
  }
  text[out] = '\0';
  return out;
}

int gsmIso27Bit(const char* text, uint8_t* septets, int n) {
  int out = 0;
  for (int i = 0; i < n; ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    if (const EscapePair* e = FindEscapeByIso(c)) {
      septets[out++] = kGsmEscape;
      septets[out++] = e->code;
      continue;
    }
    int code = -1;
    for (int k = 0; k < 128; ++k) {
      if (Table7Bit2Iso[k] == c) {
        code = k;
        break;
      }
    }
    if (code >= 0) {
      septets[out++] = static_cast<uint8_t>(code);
    } else if (c >= 0x80) {
      septets[out++] = kGsmReplacement;
    } else {
      // The few ASCII characters outside the alphabet (the backquote, most
      // control characters) pass as their own code, as the system always did.
      septets[out++] = c;
    }
  }
  septets[out] = 0;
  return out;
}
