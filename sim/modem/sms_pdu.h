// SMS PDUs as the simulated module handles them (3GPP TS 23.040): it reads
// the SMS-SUBMIT the firmware sends with AT+CMGS and writes the SMS-DELIVER
// it stores for AT+CMGRD. The simulator's own code, apart from the
// firmware's codec, so that each checks the other.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace sim {

/// Types of address: international and unknown number (ISDN plan), and an
/// alphanumeric sender.
constexpr uint8_t kToaInternational = 0x91;
constexpr uint8_t kToaUnknown = 0x81;
constexpr uint8_t kToaAlphanumeric = 0xD0;

/// Most digits an address field carries, and most characters of an
/// alphanumeric sender.
constexpr int kMaxAddressDigits = 20;
constexpr int kMaxAlphanumeric = 11;
/// User data limits of one message.
constexpr int kMaxSeptets = 160;
constexpr int kMaxUserOctets = 140;

enum class SmsCoding { kGsm7, kEightBit, kUcs2 };

/// "gsm7", "8bit" or "ucs2".
const char* CodingName(SmsCoding coding);
/// The alphabet a data coding scheme byte announces (TS 23.038); reserved
/// and compressed codings count as 8-bit data.
SmsCoding CodingOfDcs(uint8_t dcs);

/// Upper-case hexadecimal text of octets.
std::string ToHex(const std::string& octets);
/// Octets of hexadecimal text (either case); false when it is not an even
/// number of hexadecimal digits.
bool FromHex(const std::string& hex, std::string* octets);

/// An address as people write it: "+" and digits for an international
/// number, digits alone otherwise, or the text of an alphanumeric sender.
struct SmsAddress {
  std::string text;
  uint8_t toa = kToaUnknown;
};

/// The address of a number as typed: "+digits" (international), digits
/// (unknown type) or 1 to 11 GSM characters with a letter (alphanumeric).
/// False with a reason when it is none of these.
bool ParseAddress(const std::string& typed, SmsAddress* out, std::string* error);

/// The user data of one message as it goes on the air.
struct UserData {
  uint8_t dcs = 0;
  uint8_t udl = 0;     // septets for 7-bit data, octets otherwise
  std::string octets;  // user data header included, when there is one
};

/// A text in the default alphabet when every character has a place there,
/// else in UCS2 (UTF-16 units, so characters beyond the first plane take
/// two). False with a reason when it does not fit one message.
bool UserDataForText(const std::string& utf8, UserData* out, std::string* error);
/// UCS2 given as hexadecimal text (big-endian units).
bool UserDataForUcs2Hex(const std::string& hex, UserData* out, std::string* error);

/// What the user data says: the header, and the text (UTF-8) for 7-bit and
/// UCS2 data. 8-bit data has no text.
struct UserDataView {
  SmsCoding coding = SmsCoding::kGsm7;
  std::string header;  // the header's elements, without its length octet
  std::string text;
  std::string body;    // the octets after the header (packed septets for 7-bit)
};
bool ReadUserData(uint8_t dcs, uint8_t udl, bool has_header, const std::string& octets, UserDataView* out,
                  std::string* error);

/// The service centre time stamp: local time and its offset from UTC in
/// quarters of an hour.
struct SmscTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int tz_quarters = 0;
};
/// `t` in the host's local time.
SmscTime SmscTimeOf(time_t t);
/// "YYYY-MM-DD HH:MM:SS+hh:mm"
std::string FormatSmscTime(const SmscTime& t);

struct SubmitPdu {
  std::string smsc;  // empty when the PDU carries none (the SIM's centre is used)
  uint8_t first_octet = 0;
  uint8_t mr = 0;
  SmsAddress destination;
  uint8_t pid = 0;
  uint8_t dcs = 0;
  std::string validity;  // the validity period octets as sent
  uint8_t udl = 0;
  std::string user_data;
  UserDataView view;
  int tpdu_octets = 0;  // the length AT+CMGS must announce
};

/// Reads an SMS-SUBMIT; false with a reason when the text is no complete
/// SMS-SUBMIT or has octets left over.
bool DecodeSubmit(const std::string& hex, SubmitPdu* out, std::string* error);

struct DeliverPdu {
  SmsAddress smsc;
  SmsAddress originator;
  bool more_messages = false;  // TP-MMS clear: more messages wait at the centre
  bool has_header = false;
  uint8_t pid = 0;
  SmscTime time;
  UserData user_data;
  // Filled by DecodeDeliver:
  UserDataView view;
  int tpdu_octets = 0;
};

/// The hexadecimal text of an SMS-DELIVER (with its service centre part).
/// The addresses must have passed ParseAddress.
std::string EncodeDeliver(const DeliverPdu& pdu);
/// Reads an SMS-DELIVER; false with a reason when the text is no complete
/// SMS-DELIVER or has octets left over.
bool DecodeDeliver(const std::string& hex, DeliverPdu* out, std::string* error);

}  // namespace sim
