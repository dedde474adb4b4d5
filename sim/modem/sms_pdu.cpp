#include "sim/modem/sms_pdu.h"

#include <cstdio>

#include "sim/modem/gsm7_alphabet.h"

namespace sim {

namespace {

// Longest service centre part: its type octet and 10 octets of digits.
constexpr int kMaxSmscOctets = 11;
// Octets of a validity period by its format (none, enhanced, relative, absolute).
constexpr size_t kValidityOctets[4] = {0, 7, 1, 7};
constexpr uint8_t kTypeOfNumberMask = 0x70;
constexpr uint8_t kInternationalNumber = 0x10;
constexpr uint8_t kAlphanumericNumber = 0x50;
constexpr uint8_t kUserDataHeader = 0x40;
constexpr uint8_t kNoMoreMessages = 0x04;

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// Reads a PDU from its first octet on.
class OctetReader {
 public:
  explicit OctetReader(const std::string& octets) : octets_(octets) {}
  bool Byte(uint8_t* b) {
    if (pos_ >= octets_.size()) return false;
    *b = static_cast<uint8_t>(octets_[pos_++]);
    return true;
  }
  bool Take(size_t n, std::string* out) {
    if (octets_.size() - pos_ < n) return false;
    *out = octets_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  size_t pos() const { return pos_; }
  size_t left() const { return octets_.size() - pos_; }

 private:
  const std::string& octets_;
  size_t pos_ = 0;
};

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Digits in semi-octets, low nibble first, an odd count padded with F.
std::string SemiOctets(const std::string& digits) {
  std::string out;
  for (size_t i = 0; i < digits.size(); i += 2) {
    unsigned lo = static_cast<unsigned>(digits[i] - '0');
    unsigned hi = i + 1 < digits.size() ? static_cast<unsigned>(digits[i + 1] - '0') : 0xF;
    out += static_cast<char>(lo | (hi << 4));
  }
  return out;
}

// The characters of `count` semi-octets; a filler F ends them.
std::string DigitsOf(const std::string& octets, size_t count) {
  static const char kNibble[] = "0123456789*#abc";
  std::string out;
  for (size_t i = 0; i < count && i / 2 < octets.size(); ++i) {
    unsigned b = static_cast<uint8_t>(octets[i / 2]);
    unsigned n = i % 2 == 0 ? (b & 0x0F) : (b >> 4);
    if (n == 0xF) break;
    out += kNibble[n];
  }
  return out;
}

std::string NumberText(const std::string& digits, uint8_t toa) {
  return ((toa & kTypeOfNumberMask) == kInternationalNumber ? "+" : "") + digits;
}

std::string AddressDigits(const SmsAddress& a) { return a.text[0] == '+' ? a.text.substr(1) : a.text; }

// Address-Length (useful semi-octets), type of address, value.
std::string AddressField(const SmsAddress& a) {
  std::string value;
  size_t length = 0;
  if ((a.toa & kTypeOfNumberMask) == kAlphanumericNumber) {
    std::vector<uint32_t> cps;
    std::vector<uint8_t> septets;
    Utf8ToCodePoints(a.text, &cps);
    CodePointsToGsm7(cps, &septets);
    value = PackSeptets(septets);
    length = (septets.size() * 7 + 3) / 4;
  } else {
    std::string digits = AddressDigits(a);
    value = SemiOctets(digits);
    length = digits.size();
  }
  return std::string(1, static_cast<char>(length)) + static_cast<char>(a.toa) + value;
}

bool ReadAddress(OctetReader& r, SmsAddress* out, std::string* error) {
  uint8_t length = 0, toa = 0;
  std::string value;
  if (!r.Byte(&length) || !r.Byte(&toa)) return Fail(error, "the PDU ends in the address");
  if (length > kMaxAddressDigits) return Fail(error, "an address of " + std::to_string(length) + " digits (at most 20)");
  if (!r.Take((length + 1u) / 2, &value)) return Fail(error, "the PDU ends in the address");
  out->toa = toa;
  if ((toa & kTypeOfNumberMask) == kAlphanumericNumber) {
    std::vector<uint8_t> septets;
    UnpackSeptets(value, 0, static_cast<int>(length * 4 / 7), &septets);
    out->text = Gsm7ToUtf8(septets);
  } else {
    out->text = NumberText(DigitsOf(value, length), toa);
  }
  return true;
}

bool ReadSmsc(OctetReader& r, SmsAddress* out, std::string* error) {
  uint8_t length = 0;
  if (!r.Byte(&length)) return Fail(error, "the PDU is empty");
  *out = SmsAddress{};
  if (length == 0) return true;
  if (length > kMaxSmscOctets) return Fail(error, "a service centre part of " + std::to_string(length) + " octets (at most 11)");
  std::string value;
  if (!r.Byte(&out->toa) || !r.Take(length - 1u, &value)) return Fail(error, "the PDU ends in the service centre address");
  out->text = NumberText(DigitsOf(value, value.size() * 2), out->toa);
  return true;
}

unsigned SwappedBcd(int v) { return static_cast<unsigned>((v % 10) << 4 | (v / 10 % 10)); }
int FromSwappedBcd(uint8_t o) { return (o & 0x0F) * 10 + (o >> 4); }

std::string TimeField(const SmscTime& t) {
  std::string out;
  for (int v : {t.year % 100, t.month, t.day, t.hour, t.minute, t.second}) out += static_cast<char>(SwappedBcd(v));
  int q = t.tz_quarters < 0 ? -t.tz_quarters : t.tz_quarters;
  out += static_cast<char>(SwappedBcd(q) | (t.tz_quarters < 0 ? 0x08 : 0));
  return out;
}

SmscTime ReadTime(const std::string& o) {
  SmscTime t;
  auto at = [&](int i) { return static_cast<uint8_t>(o[static_cast<size_t>(i)]); };
  int yy = FromSwappedBcd(at(0));
  t.year = yy < 70 ? 2000 + yy : 1900 + yy;  // two digits: 1970 to 2069
  t.month = FromSwappedBcd(at(1));
  t.day = FromSwappedBcd(at(2));
  t.hour = FromSwappedBcd(at(3));
  t.minute = FromSwappedBcd(at(4));
  t.second = FromSwappedBcd(at(5));
  int q = FromSwappedBcd(at(6) & 0xF7);
  t.tz_quarters = (at(6) & 0x08) ? -q : q;
  return t;
}

// User data octets that a length announces, with the limits of one message.
bool UserDataOctets(uint8_t dcs, uint8_t udl, size_t* octets, std::string* error) {
  if (CodingOfDcs(dcs) == SmsCoding::kGsm7) {
    if (udl > kMaxSeptets) return Fail(error, "user data of " + std::to_string(udl) + " septets (at most 160)");
    *octets = static_cast<size_t>(PackedOctets(udl));
  } else {
    if (udl > kMaxUserOctets) return Fail(error, "user data of " + std::to_string(udl) + " octets (at most 140)");
    *octets = udl;
  }
  return true;
}

std::string Utf16ToUtf8(const std::string& octets) {
  std::string out;
  for (size_t i = 0; i + 1 < octets.size(); i += 2) {
    uint32_t u = static_cast<uint32_t>(static_cast<uint8_t>(octets[i])) << 8 | static_cast<uint8_t>(octets[i + 1]);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < octets.size()) {
      uint32_t lo = static_cast<uint32_t>(static_cast<uint8_t>(octets[i + 2])) << 8 | static_cast<uint8_t>(octets[i + 3]);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00), &out);
        i += 2;
        continue;
      }
    }
    AppendUtf8(u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u, &out);
  }
  return out;
}

}  // namespace

const char* CodingName(SmsCoding coding) {
  switch (coding) {
    case SmsCoding::kGsm7: return "gsm7";
    case SmsCoding::kEightBit: return "8bit";
    case SmsCoding::kUcs2: return "ucs2";
  }
  return "?";
}

SmsCoding CodingOfDcs(uint8_t dcs) {
  switch (dcs >> 4) {
    case 0x0: case 0x1: case 0x2: case 0x3:  // general data coding
    case 0x4: case 0x5: case 0x6: case 0x7:  // the same, marked for deletion
      if (dcs & 0x20) return SmsCoding::kEightBit;  // compressed
      switch ((dcs >> 2) & 3) {
        case 0: return SmsCoding::kGsm7;
        case 2: return SmsCoding::kUcs2;
        default: return SmsCoding::kEightBit;
      }
    case 0xC: case 0xD: return SmsCoding::kGsm7;  // message waiting, default alphabet
    case 0xE: return SmsCoding::kUcs2;             // message waiting, UCS2
    case 0xF: return (dcs & 0x04) ? SmsCoding::kEightBit : SmsCoding::kGsm7;
    default: return SmsCoding::kEightBit;          // reserved groups
  }
}

std::string ToHex(const std::string& octets) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : octets) {
    auto b = static_cast<uint8_t>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

bool FromHex(const std::string& hex, std::string* octets) {
  if (hex.size() % 2 != 0) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi << 4 | lo);
  }
  *octets = std::move(out);
  return true;
}

bool ParseAddress(const std::string& typed, SmsAddress* out, std::string* error) {
  auto refuse = [&] {
    return Fail(error, "'" + typed + "' is no number (digits, with a leading + when international, at most 20) "
                       "nor a sender name (1 to 11 characters of the GSM alphabet)");
  };
  if (typed.size() > 1 && typed[0] == '+' && AllDigits(typed.substr(1))) {
    if (typed.size() - 1 > kMaxAddressDigits) return refuse();
    *out = {typed, kToaInternational};
    return true;
  }
  if (AllDigits(typed)) {
    if (typed.size() > kMaxAddressDigits) return refuse();
    *out = {typed, kToaUnknown};
    return true;
  }
  std::vector<uint32_t> cps;
  std::vector<uint8_t> septets;
  if (typed.empty() || typed[0] == '+' || !Utf8ToCodePoints(typed, &cps) || !CodePointsToGsm7(cps, &septets) ||
      septets.size() > kMaxAlphanumeric) {
    return refuse();
  }
  *out = {typed, kToaAlphanumeric};
  return true;
}

bool UserDataForText(const std::string& utf8, UserData* out, std::string* error) {
  std::vector<uint32_t> cps;
  if (!Utf8ToCodePoints(utf8, &cps)) return Fail(error, "the text is not UTF-8");
  std::vector<uint8_t> septets;
  if (CodePointsToGsm7(cps, &septets)) {
    if (septets.size() > kMaxSeptets) {
      return Fail(error, "the text takes " + std::to_string(septets.size()) +
                             " septets; one message holds 160 (the simulator sends no concatenated parts)");
    }
    *out = {0x00, static_cast<uint8_t>(septets.size()), PackSeptets(septets)};
    return true;
  }
  std::string octets;
  for (uint32_t cp : cps) {
    auto unit = [&](uint32_t u) {
      octets += static_cast<char>(u >> 8);
      octets += static_cast<char>(u & 0xFF);
    };
    if (cp < 0x10000) {
      unit(cp);
    } else {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  if (octets.size() > kMaxUserOctets) {
    return Fail(error, "the text needs UCS2 and takes " + std::to_string(octets.size() / 2) +
                           " units; one message holds 70 (the simulator sends no concatenated parts)");
  }
  *out = {0x08, static_cast<uint8_t>(octets.size()), octets};
  return true;
}

bool UserDataForUcs2Hex(const std::string& hex, UserData* out, std::string* error) {
  std::string octets;
  if (!FromHex(hex, &octets)) return Fail(error, "'" + hex + "' is not hexadecimal text (two digits per octet)");
  if (octets.empty()) return Fail(error, "no UCS2 text given");
  if (octets.size() % 2 != 0) return Fail(error, "UCS2 takes two octets (four hexadecimal digits) per character");
  if (octets.size() > kMaxUserOctets) {
    return Fail(error, "UCS2 of " + std::to_string(octets.size()) + " octets; one message holds 140");
  }
  *out = {0x08, static_cast<uint8_t>(octets.size()), octets};
  return true;
}

bool ReadUserData(uint8_t dcs, uint8_t udl, bool has_header, const std::string& octets, UserDataView* out,
                  std::string* error) {
  UserDataView v;
  v.coding = CodingOfDcs(dcs);
  size_t header_octets = 0;
  if (has_header) {
    if (octets.empty()) return Fail(error, "a user data header is announced but there is no user data");
    header_octets = static_cast<uint8_t>(octets[0]) + 1u;
    if (header_octets > octets.size()) return Fail(error, "the user data header is longer than the user data");
    v.header = octets.substr(1, header_octets - 1);
  }
  v.body = octets.substr(header_octets);
  if (v.coding == SmsCoding::kGsm7) {
    int header_septets = static_cast<int>((header_octets * 8 + 6) / 7);
    if (header_septets > udl) return Fail(error, "the user data header is longer than the user data");
    std::vector<uint8_t> septets;
    if (!UnpackSeptets(octets, header_septets * 7, udl - header_septets, &septets)) {
      return Fail(error, "the user data is shorter than its length");
    }
    v.text = Gsm7ToUtf8(septets);
  } else if (v.coding == SmsCoding::kUcs2) {
    v.text = Utf16ToUtf8(v.body);
  }
  *out = std::move(v);
  return true;
}

SmscTime SmscTimeOf(time_t t) {
  struct tm local {};
  localtime_r(&t, &local);
  SmscTime s;
  s.year = local.tm_year + 1900;
  s.month = local.tm_mon + 1;
  s.day = local.tm_mday;
  s.hour = local.tm_hour;
  s.minute = local.tm_min;
  s.second = local.tm_sec;
  s.tz_quarters = static_cast<int>(local.tm_gmtoff / 900);
  return s;
}

std::string FormatSmscTime(const SmscTime& t) {
  int q = t.tz_quarters < 0 ? -t.tz_quarters : t.tz_quarters;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d%c%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second, t.tz_quarters < 0 ? '-' : '+', q / 4, q % 4 * 15);
  return text;
}

bool DecodeSubmit(const std::string& hex, SubmitPdu* out, std::string* error) {
  std::string octets;
  if (!FromHex(hex, &octets)) return Fail(error, "the PDU is not hexadecimal text (two digits per octet)");
  OctetReader r(octets);
  SubmitPdu p;
  SmsAddress smsc;
  if (!ReadSmsc(r, &smsc, error)) return false;
  p.smsc = smsc.text;
  size_t tpdu_start = r.pos();
  if (!r.Byte(&p.first_octet)) return Fail(error, "the PDU has no message");
  if ((p.first_octet & 0x03) != 0x01) {
    return Fail(error, "message type " + std::to_string(p.first_octet & 0x03) + " is no SMS-SUBMIT");
  }
  if (!r.Byte(&p.mr)) return Fail(error, "the PDU ends before the destination");
  if (!ReadAddress(r, &p.destination, error)) return false;
  if (!r.Byte(&p.pid) || !r.Byte(&p.dcs)) return Fail(error, "the PDU ends before the coding");
  if (!r.Take(kValidityOctets[(p.first_octet >> 3) & 3], &p.validity)) return Fail(error, "the PDU ends in the validity period");
  if (!r.Byte(&p.udl)) return Fail(error, "the PDU ends before the user data length");
  size_t n = 0;
  if (!UserDataOctets(p.dcs, p.udl, &n, error)) return false;
  if (!r.Take(n, &p.user_data)) return Fail(error, "the user data is shorter than its length");
  if (r.left() > 0) return Fail(error, std::to_string(r.left()) + " octets follow the user data");
  if (!ReadUserData(p.dcs, p.udl, (p.first_octet & kUserDataHeader) != 0, p.user_data, &p.view, error)) return false;
  p.tpdu_octets = static_cast<int>(octets.size() - tpdu_start);
  *out = std::move(p);
  return true;
}

std::string EncodeDeliver(const DeliverPdu& pdu) {
  std::string o;
  if (pdu.smsc.text.empty()) {
    o += '\0';
  } else {
    std::string digits = SemiOctets(AddressDigits(pdu.smsc));
    o += static_cast<char>(digits.size() + 1);
    o += static_cast<char>(pdu.smsc.toa);
    o += digits;
  }
  uint8_t first = (pdu.more_messages ? 0 : kNoMoreMessages) | (pdu.has_header ? kUserDataHeader : 0);
  o += static_cast<char>(first);
  o += AddressField(pdu.originator);
  o += static_cast<char>(pdu.pid);
  o += static_cast<char>(pdu.user_data.dcs);
  o += TimeField(pdu.time);
  o += static_cast<char>(pdu.user_data.udl);
  o += pdu.user_data.octets;
  return ToHex(o);
}

bool DecodeDeliver(const std::string& hex, DeliverPdu* out, std::string* error) {
  std::string octets;
  if (!FromHex(hex, &octets)) return Fail(error, "the PDU is not hexadecimal text (two digits per octet)");
  OctetReader r(octets);
  DeliverPdu p;
  if (!ReadSmsc(r, &p.smsc, error)) return false;
  size_t tpdu_start = r.pos();
  uint8_t first = 0;
  if (!r.Byte(&first)) return Fail(error, "the PDU has no message");
  if ((first & 0x03) != 0x00) return Fail(error, "message type " + std::to_string(first & 0x03) + " is no SMS-DELIVER");
  p.more_messages = (first & kNoMoreMessages) == 0;
  p.has_header = (first & kUserDataHeader) != 0;
  if (!ReadAddress(r, &p.originator, error)) return false;
  std::string time;
  if (!r.Byte(&p.pid) || !r.Byte(&p.user_data.dcs)) return Fail(error, "the PDU ends before the coding");
  if (!r.Take(7, &time)) return Fail(error, "the PDU ends in the time stamp");
  p.time = ReadTime(time);
  if (!r.Byte(&p.user_data.udl)) return Fail(error, "the PDU ends before the user data length");
  size_t n = 0;
  if (!UserDataOctets(p.user_data.dcs, p.user_data.udl, &n, error)) return false;
  if (!r.Take(n, &p.user_data.octets)) return Fail(error, "the user data is shorter than its length");
  if (r.left() > 0) return Fail(error, std::to_string(r.left()) + " octets follow the user data");
  if (!ReadUserData(p.user_data.dcs, p.user_data.udl, p.has_header, p.user_data.octets, &p.view, error)) return false;
  p.tpdu_octets = static_cast<int>(octets.size() - tpdu_start);
  *out = std::move(p);
  return true;
}

}  // namespace sim
