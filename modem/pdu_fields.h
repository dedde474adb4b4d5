// Field-level helpers of the SMS PDU codec: hexadecimal text, semi-octet
// numbers, 7-bit packing and the plain octet copies. Pure functions over the
// caller's buffers; none allocates and none keeps state. Each destination
// must be large enough for the stated result; the codec's limits (160
// septets, 140 octets, 20 semi-octets) bound every use.
#pragma once

#include <cstdint>

/// `n` bytes to 2n upper-case hexadecimal characters, high nibble first,
/// then a terminator (`text` holds 2n + 1). Returns 2n.
int gsmBytes2String(const uint8_t* bytes, char* text, int n);

/// The first `n` characters of `text` to bytes, two characters per byte; an
/// odd last character is ignored. Upper- and lower-case digits are accepted.
/// Returns n / 2, or -1 when one of the characters read is not a
/// hexadecimal digit (the bytes are then unspecified).
int gsmString2Bytes(const char* text, uint8_t* bytes, int n);

/// Packs `n` septets into octets, writing no terminator. Callers pass the
/// septet count plus one with a zero septet last, so that the final partial
/// octet is written with zero fill bits; `octets` then receives
/// ceil(7 x count / 8) bytes. Returns the number of octets written.
int gsmEncode7bit(const uint8_t* septets, uint8_t* octets, int n);

/// Unpacks `n` octets into septets (seven octets give eight), then a
/// terminator: `septets` holds n + n / 7 + 1. Returns the septets written.
int gsmDecode7bit(const uint8_t* octets, uint8_t* septets, int n);

/// Copy `n` octets unchanged; return n. The decoders differ in that 8-bit
/// data gets a terminator after it (dst holds n + 1) and UCS2 does not.
int gsmEncode8bit(const uint8_t* src, uint8_t* dst, int n);
int gsmEncodeUcs2(const uint8_t* src, uint8_t* dst, int n);
int gsmDecode8bit(const uint8_t* src, uint8_t* dst, int n);
int gsmDecodeUcs2(const uint8_t* src, uint8_t* dst, int n);

/// `n` digit characters to semi-octet order, swapping every pair; for an odd
/// count the filler "F" goes before the last digit ("12345" -> "2143F5").
/// Then a terminator. Returns n, or n + 1 when n is odd.
int gsmInvertNumbers(const char* digits, char* text, int n);

/// `n` semi-octet characters back to digit order ("2143F5" -> "12345"):
/// every pair is swapped, a final "F" is dropped, letters come out in upper
/// case, and an odd last character (no partner) is ignored. Then a
/// terminator. Returns the number of characters written.
int gsmSerializeNumbers(const char* text, char* digits, int n);
