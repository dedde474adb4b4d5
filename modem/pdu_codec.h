// SMS PDU codec: a message parameter record to the hexadecimal text of an
// SMS-SUBMIT (for "AT+CMGS=%d\r%s") and the hexadecimal text of a received
// SMS-DELIVER (the answer to "AT+CMGRD=%d\r\n") back into a record; for
// the tools, an SMS-SUBMIT back into a record too. Pure: no
// I/O and no state but constant tables, so any thread may call it.
#pragma once

#include <cstdint>

#include "modem/gsm_alphabet.h"
#include "modem/pdu_fields.h"

/// User data limits of one message.
constexpr int kPduMaxSeptets = 160;
constexpr int kPduMaxOctets = 140;
/// Most digits an address carries on the air.
constexpr int kPduMaxDigits = 15;
/// Type of address: unknown type with ISDN numbering (what the sender sets)
/// and international (a destination given with a leading "+").
constexpr uint8_t kToaUnknown = 0x81;
constexpr uint8_t kToaInternational = 0x91;
/// The codings of a message record (its `sms_mode`): GSM 7-bit default
/// alphabet, 8-bit data, UCS2. Each is also the plain coding byte for it.
constexpr uint8_t kCodingGsm7 = 0x00;
constexpr uint8_t kCoding8bit = 0x04;
constexpr uint8_t kCodingUcs2 = 0x08;
/// Room `gsmEncodePdu` needs for its text: nine fixed octets, 8 address
/// octets and 140 user data octets as hexadecimal, and a terminator.
constexpr int kPduTextSize = 2 * (9 + 8 + kPduMaxOctets) + 1;

struct pdu_param {
  /// Service centre digits. Sending: always empty. Receiving: the centre's
  /// digits (at most 15 kept).
  char SCA[16];
  /// Sending: the destination, 1 to 15 digits, optionally after a "+".
  /// Receiving: the originator's digits without "+" (at most 15 kept).
  /// Sized like the system's phone texts so that "+" and 15 digits fit.
  char TPA[20];
  uint8_t TP_PID;
  /// Data coding byte (receiving: as received); the alphabet it announces
  /// (gsmDcsCoding) decides how the user data is read and written.
  uint8_t TP_DCS;
  /// Receiving: the centre's time stamp, 14 digits YYMMDDhhmmssZZ.
  char TP_SCTS[16];
  /// ISO-8859-1 text for a 7-bit coding (zero-terminated), otherwise raw
  /// octets (UCS2 as big-endian 16-bit units).
  char TP_UD[161];
  /// Septets for a 7-bit coding, octets otherwise.
  uint8_t TP_UDL;
  /// Sending: type of address of a destination of digits only (0x81).
  /// Receiving: the originator's type of address as received.
  uint8_t TOA;
};

/// Whether `number` (at most `size` bytes with its terminator) is a
/// destination gsmEncodePdu takes: 1 to 15 digits, optionally after a "+".
bool SmsDestinationOk(const char* number, int size);

/// The alphabet a data coding byte announces, by the coding groups of GSM
/// 03.38: kCodingGsm7, kCoding8bit or kCodingUcs2. A message class,
/// automatic deletion or a message waiting indication leaves the alphabet
/// as it is; a compressed text or a reserved coding is 8-bit data.
uint8_t gsmDcsCoding(uint8_t dcs);

/// Builds the SMS-SUBMIT hexadecimal text into `text` (at most
/// kPduTextSize bytes with its terminator; no AT-layer terminator).
///
/// The destination `TPA` is "+" and 1 to 15 digits (sent as international,
/// type 0x91, without the "+") or 1 to 15 digits alone (sent with `TOA`).
/// A 7-bit coding sends the first `TP_UDL` characters of `TP_UD` up to its
/// terminator, at most 160; when escape pairs take the text past 160
/// septets it is cut after the last whole character that fits. Other codings
/// send `TP_UDL` octets, at most 140.
///
/// Returns the TPDU length in octets (the number "AT+CMGS=%d" needs), or -1
/// when the destination is refused (empty, more than 15 digits, any other
/// character, or no terminator within `TPA`); `text` is then empty and the
/// caller reports the send as failed (status 4).
int gsmEncodePdu(const pdu_param* param, char* text);

/// Parses an SMS-DELIVER from the hexadecimal digits at the start of `text`
/// (upper or lower case); the first other character ends them, so the text
/// may run on with the modem's "\r\n". Digits beyond the message are ignored.
///
/// The user data is read in the alphabet `TP_DCS` announces; longer than
/// the record holds, it is limited to 160 septets (7-bit) or 140 octets
/// (other codings). Returns the length of the decoded user data (characters
/// for 7-bit, which is below `TP_UDL` when escape pairs were present; octets
/// otherwise), or -1 when the text ends before a field
/// it announces, a service centre address is longer than 12 octets or an
/// originator longer than 20 digits; `param` is then all zero.
int gsmDecodePdu(const char* text, pdu_param* param);

/// The fields of an SMS-SUBMIT that the record has no place for.
struct SubmitFields {
  uint8_t first_octet;
  uint8_t message_reference;
  /// Bits 4..3 of the first octet: 0 none, 1 enhanced, 2 relative, 3 absolute.
  uint8_t validity_format;
  uint8_t validity[7];
  int validity_octets;
  /// Octets after the service centre part: the length "AT+CMGS=%d" announces.
  int tpdu_octets;
};

/// Parses an SMS-SUBMIT (what the unit sends, as its AT log keeps it) from
/// the hexadecimal digits at the start of `text`, for tools that read AT
/// logs; the unit itself only builds them. `TPA` is the destination as
/// gsmEncodePdu takes it ("+" and digits for type 0x91), `TOA` its type,
/// the user data as gsmDecodePdu reads it; `TP_SCTS` stays empty.
/// Returns the decoded user data length, or -1 when the text ends before a
/// field it announces, a service centre address is longer than 12 octets or
/// the destination has no digit or more than 15; `param` and `fields` are
/// then all zero.
int gsmDecodeSubmitPdu(const char* text, pdu_param* param, SubmitFields* fields);
