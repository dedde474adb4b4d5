#include "modem/pdu_codec.h"

#include <cstring>

namespace {

// First octet of an SMS-SUBMIT: relative validity period present, no status
// report, no user data header, no reply path.
constexpr uint8_t kSubmitFirstOctet = 0x11;
// Relative validity period of four days.
constexpr uint8_t kValidityFourDays = 0xAA;
// Address fields of TS 23.040: at most 12 octets with the type of address
// for the centre, at most 20 semi-octets for the originator.
constexpr int kMaxScaOctets = 12;
constexpr int kMaxAddressDigits = 20;
constexpr int kSctsDigits = 14;

// Appends octets to the output text as hexadecimal; the size check guards
// the limits above rather than trusting them.
class HexWriter {
 public:
  explicit HexWriter(char* text) : text_(text) { text_[0] = '\0'; }

  void Octet(uint8_t value) { Octets(&value, 1); }

  void Octets(const uint8_t* data, int n) {
    if (len_ + 2 * n >= kPduTextSize) {
      overflow_ = true;
      return;
    }
    len_ += gsmBytes2String(data, text_ + len_, n);
  }

  void Text(const char* chars, int n) {
    if (len_ + n >= kPduTextSize) {
      overflow_ = true;
      return;
    }
    std::memcpy(text_ + len_, chars, static_cast<size_t>(n));
    len_ += n;
    text_[len_] = '\0';
  }

  int length() const { return len_; }
  bool overflow() const { return overflow_; }

 private:
  char* text_;
  int len_ = 0;
  bool overflow_ = false;
};

// Reads fields from the leading hexadecimal digits of a text; every read
// checks that the digits it needs are there.
class HexReader {
 public:
  explicit HexReader(const char* text) : text_(text) {
    while (IsHex(text_[end_])) ++end_;
  }

  bool Octet(uint8_t* value) { return Octets(value, 1); }

  bool Octets(uint8_t* data, int n) {
    if (!Has(2 * n)) return false;
    gsmString2Bytes(text_ + pos_, data, 2 * n);
    pos_ += 2 * n;
    return true;
  }

  // Octets read so far.
  int octets_read() const { return pos_ / 2; }

  // `n` semi-octet characters back in digit order, keeping at most
  // `max_digits` of them.
  bool Number(int n, char* digits, int max_digits) {
    char all[2 * kMaxScaOctets + 2];
    if (n > 2 * kMaxScaOctets || max_digits > 2 * kMaxScaOctets || !Has(n)) return false;
    gsmSerializeNumbers(text_ + pos_, all, n);
    all[max_digits] = '\0';
    std::strcpy(digits, all);
    pos_ += n;
    return true;
  }

 private:
  static bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  }
  bool Has(int n) const { return n >= 0 && end_ - pos_ >= n; }

  const char* text_;
  int end_ = 0;
  int pos_ = 0;
};

// 1 to 15 digits, optionally after a "+"; anything else is refused.
bool CheckDestination(const char* tpa, int size, bool* international, const char** digits,
                      int* count) {
  int len = static_cast<int>(strnlen(tpa, static_cast<size_t>(size)));
  if (len == size) return false;
  *international = tpa[0] == '+';
  *digits = *international ? tpa + 1 : tpa;
  *count = *international ? len - 1 : len;
  if (*count < 1 || *count > kPduMaxDigits) return false;
  for (int i = 0; i < *count; ++i) {
    if ((*digits)[i] < '0' || (*digits)[i] > '9') return false;
  }
  return true;
}

// The service centre part that opens both kinds of PDU: its length, and
// when not 0 its type and digits.
bool ReadCentre(HexReader& in, pdu_param* param) {
  uint8_t sca_len = 0;
  if (!in.Octet(&sca_len) || sca_len > kMaxScaOctets) return false;
  if (sca_len == 0) return true;
  uint8_t sca_toa = 0;
  return in.Octet(&sca_toa) &&
         in.Number(2 * (sca_len - 1), param->SCA, static_cast<int>(sizeof(param->SCA)) - 1);
}

// The user data length and the data, read in the alphabet of `TP_DCS`.
// Returns the decoded length as gsmDecodePdu does, or -1 when the data is
// shorter than announced.
int ReadUserData(HexReader& in, pdu_param* param) {
  uint8_t udl = 0;
  if (!in.Octet(&udl)) return -1;
  const uint8_t coding = gsmDcsCoding(param->TP_DCS);
  if (coding == kCodingGsm7) {
    int septet_count = udl < kPduMaxSeptets ? udl : kPduMaxSeptets;
    int octet_count = (7 * septet_count + 7) / 8;
    uint8_t packed[kPduMaxOctets];
    // Unpacking can yield one septet more than announced, plus a terminator.
    uint8_t septets[kPduMaxSeptets + 2];
    if (!in.Octets(packed, octet_count)) return -1;
    gsmDecode7bit(packed, septets, octet_count);
    param->TP_UDL = static_cast<uint8_t>(septet_count);
    return gsm7Bit2Iso(septets, param->TP_UD, septet_count);
  }
  int octet_count = udl < kPduMaxOctets ? udl : kPduMaxOctets;
  uint8_t data[kPduMaxOctets];
  if (!in.Octets(data, octet_count)) return -1;
  uint8_t* dst = reinterpret_cast<uint8_t*>(param->TP_UD);
  param->TP_UDL = static_cast<uint8_t>(octet_count);
  return coding == kCodingUcs2 ? gsmDecodeUcs2(data, dst, octet_count) : gsmDecode8bit(data, dst, octet_count);
}

}  // namespace

bool SmsDestinationOk(const char* number, int size) {
  bool international = false;
  const char* digits = nullptr;
  int count = 0;
  return CheckDestination(number, size, &international, &digits, &count);
}

uint8_t gsmDcsCoding(uint8_t dcs) {
  if ((dcs & 0x80) == 0) {
    // General data coding, kept or deleted once read: bit 5 marks a
    // compressed text, bits 3..2 the alphabet (11 is reserved).
    if ((dcs & 0x20) != 0) return kCoding8bit;
    const uint8_t alphabet = dcs & 0x0C;
    if (alphabet == 0x00) return kCodingGsm7;
    return alphabet == 0x08 ? kCodingUcs2 : kCoding8bit;
  }
  switch (dcs & 0xF0) {
    case 0xC0:  // message waiting, discard the message
    case 0xD0:  // message waiting, store the message
      return kCodingGsm7;
    case 0xE0:  // message waiting, store the message, UCS2
      return kCodingUcs2;
    case 0xF0:  // data coding and message class: bit 2 chooses 8-bit data
      return (dcs & 0x04) != 0 ? kCoding8bit : kCodingGsm7;
    default:  // reserved coding groups
      return kCoding8bit;
  }
}

int gsmEncodePdu(const pdu_param* param, char* text) {
  HexWriter out(text);
  bool international = false;
  const char* digits = nullptr;
  int digit_count = 0;
  if (!CheckDestination(param->TPA, sizeof(param->TPA), &international, &digits, &digit_count)) {
    return -1;
  }

  out.Octet(0x00);  // no centre address: the module takes the SIM's
  out.Octet(kSubmitFirstOctet);
  out.Octet(0x00);  // message reference: the module assigns one
  out.Octet(static_cast<uint8_t>(digit_count));
  out.Octet(international ? kToaInternational : param->TOA);
  char semi_octets[kPduMaxDigits + 2];
  int semi_count = gsmInvertNumbers(digits, semi_octets, digit_count);
  out.Text(semi_octets, semi_count);
  out.Octet(param->TP_PID);
  out.Octet(param->TP_DCS);
  out.Octet(kValidityFourDays);

  const uint8_t coding = gsmDcsCoding(param->TP_DCS);
  if (coding == kCodingGsm7) {
    int limit = param->TP_UDL < kPduMaxSeptets ? param->TP_UDL : kPduMaxSeptets;
    int chars = static_cast<int>(strnlen(param->TP_UD, static_cast<size_t>(limit)));
    // Callers check texts with gsmIsoSeptetCount; this only keeps a text
    // that escapes took past one SMS inside the record.
    chars = gsmIsoCharsWithin(param->TP_UD, chars, kPduMaxSeptets);
    // Room for two codes per character; the terminator is the zero septet
    // that flushes the last partial octet.
    uint8_t septets[2 * kPduMaxSeptets + 1];
    int septet_count = gsmIso27Bit(param->TP_UD, septets, chars);
    uint8_t packed[kPduMaxOctets];
    int octets = gsmEncode7bit(septets, packed, septet_count + 1);
    out.Octet(static_cast<uint8_t>(septet_count));
    out.Octets(packed, octets);
  } else {
    int n = param->TP_UDL < kPduMaxOctets ? param->TP_UDL : kPduMaxOctets;
    uint8_t data[kPduMaxOctets];
    const uint8_t* src = reinterpret_cast<const uint8_t*>(param->TP_UD);
    n = coding == kCodingUcs2 ? gsmEncodeUcs2(src, data, n) : gsmEncode8bit(src, data, n);
    out.Octet(static_cast<uint8_t>(n));
    out.Octets(data, n);
  }

  if (out.overflow()) {
    text[0] = '\0';
    return -1;
  }
  return (out.length() - 2) / 2;
}

int gsmDecodePdu(const char* text, pdu_param* param) {
  std::memset(param, 0, sizeof(*param));
  HexReader in(text);
  bool ok = ReadCentre(in, param);

  uint8_t first_octet = 0;  // type and header indicator are not looked at
  uint8_t oa_digits = 0;
  ok = ok && in.Octet(&first_octet) && in.Octet(&oa_digits) && oa_digits <= kMaxAddressDigits &&
       in.Octet(&param->TOA);
  if (ok) {
    char number[kMaxAddressDigits + 1];
    ok = in.Number(oa_digits + (oa_digits & 1), number, kMaxAddressDigits);
    if (ok) {
      // An odd count has its filler dropped; a filler that is not "F" is
      // not a digit either.
      if (static_cast<int>(std::strlen(number)) > oa_digits) number[oa_digits] = '\0';
      number[kPduMaxDigits] = '\0';
      std::strcpy(param->TPA, number);
    }
  }

  ok = ok && in.Octet(&param->TP_PID) && in.Octet(&param->TP_DCS) &&
       in.Number(kSctsDigits, param->TP_SCTS, kSctsDigits);

  const int result = ok ? ReadUserData(in, param) : -1;
  if (result < 0) {
    std::memset(param, 0, sizeof(*param));
    return -1;
  }
  return result;
}

int gsmDecodeSubmitPdu(const char* text, pdu_param* param, SubmitFields* fields) {
  std::memset(param, 0, sizeof(*param));
  *fields = SubmitFields{};
  HexReader in(text);
  bool ok = ReadCentre(in, param);
  const int tpdu_start = in.octets_read();

  uint8_t da_digits = 0;
  ok = ok && in.Octet(&fields->first_octet) && in.Octet(&fields->message_reference) &&
       in.Octet(&da_digits) && da_digits >= 1 && da_digits <= kPduMaxDigits && in.Octet(&param->TOA);
  if (ok) {
    // "+" for an international number, as the sender was given it; at most
    // 15 digits follow.
    char* digits = param->TPA;
    if ((param->TOA & 0x70) == 0x10) *digits++ = '+';
    ok = in.Number(da_digits + (da_digits & 1), digits, kPduMaxDigits + 1);
    if (ok && static_cast<int>(std::strlen(digits)) > da_digits) digits[da_digits] = '\0';
  }
  ok = ok && in.Octet(&param->TP_PID) && in.Octet(&param->TP_DCS);

  // Bits 4 and 3 of the first octet: none, enhanced (7 octets), relative
  // (1 octet) or absolute (7 octets).
  static const int kValidityOctets[] = {0, 7, 1, 7};
  fields->validity_format = static_cast<uint8_t>((fields->first_octet >> 3) & 0x03);
  fields->validity_octets = kValidityOctets[fields->validity_format];
  ok = ok && in.Octets(fields->validity, fields->validity_octets);

  const int result = ok ? ReadUserData(in, param) : -1;
  if (result < 0) {
    std::memset(param, 0, sizeof(*param));
    *fields = SubmitFields{};
    return -1;
  }
  fields->tpdu_octets = in.octets_read() - tpdu_start;
  return result;
}
