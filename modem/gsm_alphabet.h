// The GSM 7-bit default alphabet and its mapping to ISO-8859-1, the
// character set in which the rest of the system keeps texts.
#pragma once

#include <cstdint>

/// ISO-8859-1 character of each GSM default-alphabet code 0..127. Codes with
/// no ISO-8859-1 counterpart (the Greek capitals 0x10, 0x12..0x1A and the
/// escape 0x1B) map to their own value; 0x24 is the currency sign 0xA4. No
/// entry is zero and no value appears twice, so the table can be searched
/// backwards.
extern const uint8_t Table7Bit2Iso[128];

/// The escape code that introduces a character of the extension table.
constexpr uint8_t kGsmEscape = 0x1B;
/// What an ISO-8859-1 character of 0x80 or above with no place in the
/// alphabet becomes: "?" (sending its own byte would not be a 7-bit code).
constexpr uint8_t kGsmReplacement = 0x3F;

/// Number of GSM codes the ISO-8859-1 character `c` needs: 2 for the
/// characters sent as an escape pair, 1 for every other one.
int gsmIsoSeptets(uint8_t c);

/// Number of GSM codes (septets) gsmIso27Bit makes of the first `n`
/// characters of `text`: the length that one SMS bounds. Texts are checked
/// with this count, so a check and the encoding never disagree. A byte of a
/// UTF-8 sequence is one character like any other (each becomes "?").
int gsmIsoSeptetCount(const char* text, int n);

/// How many of the first `n` characters of `text` fit in `max_septets`
/// GSM codes; an escape pair is never split.
int gsmIsoCharsWithin(const char* text, int n, int max_septets);

/// `n` GSM codes to ISO-8859-1, then a terminator. An escape followed by a
/// code of the extension table gives one character; an escape followed by
/// any other code (or by nothing) gives 0x1B, and the code after it is then
/// converted on its own. Only the low 7 bits of a code are looked at.
/// `text` must hold n + 1 bytes. Returns the number of characters written.
int gsm7Bit2Iso(const uint8_t* septets, char* text, int n);

/// `n` ISO-8859-1 characters to GSM codes, then a terminator (a zero code).
/// The characters of the extension table become escape pairs, so `septets`
/// must hold 2n + 1 bytes. Returns the number of codes written.
int gsmIso27Bit(const char* text, uint8_t* septets, int n);
