#include "modem/pdu_fields.h"

#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

int gsmBytes2String(const uint8_t* bytes, char* text, int n) {
  for (int i = 0; i < n; ++i) {
    text[2 * i] = kHexDigits[bytes[i] >> 4];  // NOLINT(bugprone-implicit-widening-of-multiplication-result): 2n is bounded by the caller's text, a PDU's size
    text[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
  }
  text[2 * n] = '\0';  // NOLINT(bugprone-implicit-widening-of-multiplication-result): 2n is bounded by the caller's text, a PDU's size
  return 2 * n;
}

int gsmString2Bytes(const char* text, uint8_t* bytes, int n) {
  for (int i = 0; i + 1 < n; i += 2) {
    int high = HexValue(text[i]);
    int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return -1;
    bytes[i / 2] = static_cast<uint8_t>((high << 4) | low);
  }
  return n / 2;
}

int gsmEncode7bit(const uint8_t* septets, uint8_t* octets, int n) {
  int out = 0;
  uint8_t carry = 0;
  for (int i = 0; i < n; ++i) {
    int shift = i % 8;
    uint8_t septet = septets[i] & 0x7F;
    if (shift == 0) {
      carry = septet;
      continue;
    }
    octets[out++] = static_cast<uint8_t>((septet << (8 - shift)) | carry);
    carry = static_cast<uint8_t>(septet >> shift);
  }
  return out;
}

int gsmDecode7bit(const uint8_t* octets, uint8_t* septets, int n) {
  int out = 0;
  int p = 0;
  uint8_t carry = 0;
  for (int i = 0; i < n; ++i) {
    septets[out++] = static_cast<uint8_t>(((octets[i] << p) | carry) & 0x7F);
    carry = static_cast<uint8_t>(octets[i] >> (7 - p));
    if (++p == 7) {
      septets[out++] = carry;
      p = 0;
      carry = 0;
    }
  }
  septets[out] = 0;
  return out;
}

int gsmEncode8bit(const uint8_t* src, uint8_t* dst, int n) {
  if (n > 0) std::memcpy(dst, src, static_cast<size_t>(n));
  return n;
}

int gsmEncodeUcs2(const uint8_t* src, uint8_t* dst, int n) { return gsmEncode8bit(src, dst, n); }

int gsmDecode8bit(const uint8_t* src, uint8_t* dst, int n) {
  gsmEncode8bit(src, dst, n);
  dst[n > 0 ? n : 0] = 0;
  return n;
}

int gsmDecodeUcs2(const uint8_t* src, uint8_t* dst, int n) { return gsmEncode8bit(src, dst, n); }

int gsmInvertNumbers(const char* digits, char* text, int n) {
  int out = 0;
  for (int i = 0; i < n; i += 2) {
    if (i + 1 < n) {
      text[out++] = digits[i + 1];
    } else {
      text[out++] = 'F';
    }
    text[out++] = digits[i];
  }
  text[out] = '\0';
  return out;
}

int gsmSerializeNumbers(const char* text, char* digits, int n) {
  int out = 0;
  for (int i = 0; i + 1 < n; i += 2) {
    digits[out++] = Upper(text[i + 1]);
    digits[out++] = Upper(text[i]);
  }
  if (out > 0 && digits[out - 1] == 'F') --out;
  digits[out] = '\0';
  return out;
}
