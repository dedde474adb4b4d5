// qrv806-pdu: the firmware's SMS PDU codec on the command line, for
// technicians who read AT logs. `encode` prints what the unit sends for a
// message; `decode` shows a received SMS-DELIVER the way the unit reads it,
// or a sent SMS-SUBMIT field by field.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "modem/pdu_codec.h"

namespace {

constexpr char kProgram[] = "qrv806-pdu";
constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: qrv806-pdu encode NUMBER [--ucs2 HEX | --8bit HEX | [--] TEXT]\n"
    "       qrv806-pdu decode HEX\n"
    "       qrv806-pdu --help\n"
    "\n"
    "encode  prints the two lines the unit sends for one SMS: \"AT+CMGS=<length>\"\n"
    "        and the SMS-SUBMIT PDU. NUMBER is 1 to 15 digits, optionally after a\n"
    "        \"+\" (sent as an international number). TEXT (UTF-8) is sent in the\n"
    "        GSM 7-bit alphabet, at most 160 septets (^ { } \\ [ ] ~ | and the euro\n"
    "        sign take two); use \"--\" before a text that starts with \"-\".\n"
    "        --ucs2 HEX sends UCS2 octets (big-endian units), --8bit HEX sends\n"
    "        8-bit data; at most 140 octets.\n"
    "decode  prints the fields of a PDU of the AT log and says which kind it is:\n"
    "        an SMS-SUBMIT the unit sent (the line after \"AT+CMGS=<length>\")\n"
    "        or an SMS-DELIVER it received (the line after \"+CMGRD: ...\"), the\n"
    "        latter as the unit decodes it.\n"
    "\n"
    "exit status: 0 done, 1 bad number, hex, text or PDU, 2 bad command line.\n";

int UsageError(const char* what) {
  std::fprintf(stderr, "%s: %s\n%s", kProgram, what, kUsage);
  return kExitUsage;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Hexadecimal text to octets; prints the reason and returns false when it is
// not whole pairs of hexadecimal digits.
bool ParseHex(const std::string& hex, std::vector<uint8_t>* out) {
  for (size_t i = 0; i < hex.size(); ++i) {
    if (HexValue(hex[i]) < 0) {
      std::fprintf(stderr, "%s: bad hex: character %zu (\"%c\") is not a hexadecimal digit\n",
                   kProgram, i + 1, hex[i]);
      return false;
    }
  }
  if (hex.size() % 2 != 0) {
    std::fprintf(stderr, "%s: bad hex: odd number of digits (%zu); every octet takes two\n",
                 kProgram, hex.size());
    return false;
  }
  out->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    out->push_back(static_cast<uint8_t>(HexValue(hex[i]) << 4 | HexValue(hex[i + 1])));
  }
  return true;
}

// UTF-8 to code points; false when the bytes are not valid UTF-8.
bool DecodeUtf8(const std::string& s, std::vector<uint32_t>* out) {
  size_t i = 0;
  while (i < s.size()) {
    uint8_t c = static_cast<uint8_t>(s[i]);
    size_t extra = 0;
    uint32_t cp = c;
    if (c >= 0x80) {
      if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
      } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
      } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
      } else {
        return false;
      }
    }
    if (i + extra >= s.size() && extra > 0) return false;
    for (size_t k = 1; k <= extra; ++k) {
      uint8_t cc = static_cast<uint8_t>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = cp << 6 | (cc & 0x3F);
    }
    out->push_back(cp);
    i += extra + 1;
  }
  return true;
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | cp >> 6));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | cp >> 12));
    out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | cp >> 18));
    out->push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsGsmCharacter(uint8_t iso) {
  if (gsmIsoSeptets(iso) == 2) return true;
  for (uint8_t v : Table7Bit2Iso) {
    if (v == iso) return true;
  }
  return false;
}

// The command-line text as the ISO-8859-1 text the unit keeps. Text that is
// not valid UTF-8 is taken as ISO-8859-1 bytes already. The euro sign is
// kept as 0xA4, as in the unit.
bool TextToIso(const std::string& arg, std::string* iso) {
  std::vector<uint32_t> cps;
  if (!DecodeUtf8(arg, &cps)) {
    *iso = arg;
    return true;
  }
  for (uint32_t cp : cps) {
    if (cp == 0x20AC) cp = 0xA4;
    if (cp > 0xFF) {
      std::fprintf(stderr,
                   "%s: bad text: character U+%04X is not in the GSM 7-bit alphabet; "
                   "send it with --ucs2\n",
                   kProgram, static_cast<unsigned>(cp));
      return false;
    }
    iso->push_back(static_cast<char>(cp));
  }
  return true;
}

int Encode(int argc, char** argv) {
  if (argc < 1) return UsageError("encode: missing NUMBER");
  const std::string number = argv[0];
  pdu_param param{};
  param.TOA = kToaUnknown;
  param.TP_PID = 0;

  std::string body;
  if (argc < 2) return UsageError("encode: missing TEXT, --ucs2 HEX or --8bit HEX");
  std::string option = argv[1];
  int used = 2;
  if (option == "--ucs2" || option == "--8bit") {
    if (argc < 3) return UsageError(("encode: " + option + " needs HEX").c_str());
    std::vector<uint8_t> octets;
    if (!ParseHex(argv[2], &octets)) return kExitBadInput;
    if (option == "--ucs2" && octets.size() % 2 != 0) {
      std::fprintf(stderr, "%s: bad hex: UCS2 takes whole 16-bit units (4 digits each)\n",
                   kProgram);
      return kExitBadInput;
    }
    if (octets.size() > static_cast<size_t>(kPduMaxOctets)) {
      std::fprintf(stderr, "%s: too long: %zu octets; one SMS holds at most %d\n", kProgram,
                   octets.size(), kPduMaxOctets);
      return kExitBadInput;
    }
    param.TP_DCS = option == "--ucs2" ? kCodingUcs2 : kCoding8bit;
    std::memcpy(param.TP_UD, octets.data(), octets.size());
    param.TP_UDL = static_cast<uint8_t>(octets.size());
    used = 3;
  } else {
    if (option == "--") {
      if (argc < 3) return UsageError("encode: missing TEXT after --");
      option = argv[2];
      used = 3;
    } else if (option.size() > 1 && option[0] == '-') {
      return UsageError(("encode: unknown option " + option).c_str());
    }
    if (!TextToIso(option, &body)) return kExitBadInput;
    const int chars = static_cast<int>(body.size());
    const int septets = gsmIsoSeptetCount(body.data(), chars);
    const int fit = gsmIsoCharsWithin(body.data(), chars, kPduMaxSeptets);
    if (septets > kPduMaxSeptets) {
      std::fprintf(stderr,
                   "%s: too long: the text takes %d septets (%zu characters, escape "
                   "characters count twice); one SMS holds %d, the unit would send only "
                   "the first %d characters\n",
                   kProgram, septets, body.size(), kPduMaxSeptets, fit);
      return kExitBadInput;
    }
    for (char c : body) {
      if (!IsGsmCharacter(static_cast<uint8_t>(c)) && static_cast<uint8_t>(c) >= 0x80) {
        std::fprintf(stderr, "%s: note: character 0x%02X has no GSM code and is sent as \"?\"\n",
                     kProgram, static_cast<uint8_t>(c));
      }
    }
    param.TP_DCS = kCodingGsm7;
    std::memcpy(param.TP_UD, body.data(), body.size());
    param.TP_UDL = static_cast<uint8_t>(body.size());
  }
  if (argc > used) return UsageError(("encode: unexpected argument " + std::string(argv[used])).c_str());

  if (number.size() >= sizeof(param.TPA)) {
    std::fprintf(stderr, "%s: bad number \"%s\": at most 15 digits, optionally after a \"+\"\n",
                 kProgram, number.c_str());
    return kExitBadInput;
  }
  std::memcpy(param.TPA, number.c_str(), number.size() + 1);
  char pdu[kPduTextSize];
  int length = gsmEncodePdu(&param, pdu);
  if (length < 0) {
    std::fprintf(stderr,
                 "%s: bad number \"%s\": 1 to 15 digits, optionally after a \"+\"; "
                 "the unit would not send it (status 4)\n",
                 kProgram, number.c_str());
    return kExitBadInput;
  }
  std::printf("AT+CMGS=%d\n%s\n", length, pdu);
  return 0;
}

// The unit's ISO-8859-1 text for a terminal: UTF-8, with control characters
// (the Greek letters among them) written as escapes and 0xA4 as the euro
// sign.
std::string ShowIsoText(const char* text, int len) {
  std::string out;
  for (int i = 0; i < len; ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      char esc[8];
      std::snprintf(esc, sizeof(esc), "\\x%02X", c);
      out += esc;
    } else {
      // The unit keeps the euro sign as 0xA4, as `encode` takes it.
      AppendUtf8(c == 0xA4 ? 0x20AC : c, &out);
    }
  }
  return out;
}

std::string ShowUcs2(const uint8_t* data, int len) {
  std::string out;
  for (int i = 0; i + 1 < len; i += 2) {
    uint32_t unit = static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < len) {
      uint32_t low = static_cast<uint32_t>(data[i + 2] << 8 | data[i + 3]);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), &out);
        i += 2;
        continue;
      }
    }
    if (unit < 0x20 || (unit >= 0xD800 && unit < 0xE000)) {
      char esc[10];
      std::snprintf(esc, sizeof(esc), "\\u%04X", unit);
      out += esc;
    } else {
      AppendUtf8(unit, &out);
    }
  }
  return out;
}

std::string ShowTimeStamp(const char* scts) {
  std::string s = scts;
  if (s.size() != 14 || s.find_first_not_of("0123456789") != std::string::npos) return s;
  // The centre sends two year digits; 70 to 99 are read as 1970 to 1999.
  const char* century = s[0] >= '7' ? "19" : "20";
  return s + " (" + century + s.substr(0, 2) + "-" + s.substr(2, 2) + "-" + s.substr(4, 2) + " " +
         s.substr(6, 2) + ":" + s.substr(8, 2) + ":" + s.substr(10, 2) + ", zone digits " +
         s.substr(12, 2) + ")";
}

// Relative validity period (TS 23.040 9.2.3.12.1) as people say it.
std::string ShowRelativeValidity(uint8_t v) {
  int minutes = 0;
  if (v <= 143) {
    minutes = (v + 1) * 5;
  } else if (v <= 167) {
    minutes = 12 * 60 + (v - 143) * 30;
  } else if (v <= 196) {
    return std::to_string(v - 166) + " days";
  } else {
    return std::to_string(v - 192) + " weeks";
  }
  return minutes % 60 == 0 ? std::to_string(minutes / 60) + " hours" : std::to_string(minutes) + " minutes";
}

void ShowUserData(const pdu_param& param, int len) {
  // The alphabet the unit reads the coding byte as; a class or message
  // waiting indication does not change it.
  const uint8_t alphabet = gsmDcsCoding(param.TP_DCS);
  const char* coding = alphabet == kCodingGsm7 ? "GSM 7-bit" : alphabet == kCodingUcs2 ? "UCS2" : "8-bit data";
  std::printf("coding:      0x%02X (%s)\n", param.TP_DCS, coding);
  const uint8_t* data = reinterpret_cast<const uint8_t*>(param.TP_UD);
  if (alphabet == kCodingGsm7) {
    std::printf("length:      %d septets, %d characters\n", param.TP_UDL, len);
    std::printf("text:        %s\n", ShowIsoText(param.TP_UD, len).c_str());
  } else {
    char hex_data[2 * kPduMaxOctets + 1];
    gsmBytes2String(data, hex_data, len);
    std::printf("length:      %d octets\n", param.TP_UDL);
    std::printf("hex:         %s\n", hex_data);
    if (alphabet == kCodingUcs2) std::printf("text:        %s\n", ShowUcs2(data, len).c_str());
  }
}

int DecodeDeliver(const std::string& hex, uint8_t first) {
  pdu_param param;
  int len = gsmDecodePdu(hex.c_str(), &param);
  if (len < 0) {
    std::fprintf(stderr,
                 "%s: not a complete SMS-DELIVER: the PDU ends before a field it announces, "
                 "or an address is longer than TS 23.040 allows\n",
                 kProgram);
    return kExitBadInput;
  }
  std::printf("type:        SMS-DELIVER (a message the unit receives)\n");
  std::printf("centre:      %s\n", param.SCA[0] != '\0' ? param.SCA : "(none)");
  std::printf("originator:  %s (type of address 0x%02X%s)\n", param.TPA, param.TOA,
              (param.TOA & 0x70) == 0x10 ? ", international, shown without +" : "");
  std::printf("time stamp:  %s\n", ShowTimeStamp(param.TP_SCTS).c_str());
  std::printf("protocol:    0x%02X\n", param.TP_PID);
  ShowUserData(param, len);

  // What the unit does not look at, but a technician may want to know.
  if ((first & 0x03) != 0) {
    std::printf("note:        first octet 0x%02X is not an SMS-DELIVER; the unit decodes it as one\n",
                first);
  }
  if ((first & 0x40) != 0) {
    std::printf("note:        a user data header is present; the unit takes it as part of the data\n");
  }
  return 0;
}

int DecodeSubmit(const std::string& hex) {
  pdu_param param;
  SubmitFields fields;
  int len = gsmDecodeSubmitPdu(hex.c_str(), &param, &fields);
  if (len < 0) {
    std::fprintf(stderr,
                 "%s: not a complete SMS-SUBMIT: the PDU ends before a field it announces, "
                 "the centre address is longer than 12 octets, or the destination has no "
                 "digit or more than 15\n",
                 kProgram);
    return kExitBadInput;
  }
  std::printf("type:        SMS-SUBMIT (a message the unit sends)\n");
  std::printf("centre:      %s\n", param.SCA[0] != '\0' ? param.SCA : "(none: the SIM's)");
  std::printf("destination: %s (type of address 0x%02X)\n", param.TPA, param.TOA);
  std::printf("reference:   %d\n", fields.message_reference);
  std::printf("protocol:    0x%02X\n", param.TP_PID);
  if (fields.validity_format == 2) {
    std::printf("validity:    0x%02X (%s)\n", fields.validity[0], ShowRelativeValidity(fields.validity[0]).c_str());
  } else if (fields.validity_format != 0) {
    char hex_vp[2 * sizeof fields.validity + 1];
    gsmBytes2String(fields.validity, hex_vp, fields.validity_octets);
    std::printf("validity:    %s (%s)\n", hex_vp, fields.validity_format == 1 ? "enhanced" : "absolute");
  }
  ShowUserData(param, len);
  std::printf("AT+CMGS:     %d (octets after the centre part)\n", fields.tpdu_octets);
  if ((fields.first_octet & 0x40) != 0) {
    std::printf("note:        a user data header is present; it is shown as part of the data\n");
  }
  return 0;
}

// An AT log holds both directions: the PDU after "AT+CMGS=" is an
// SMS-SUBMIT, the one after "+CMGRD:" an SMS-DELIVER. The message type
// bits of the first octet tell them apart.
int Decode(int argc, char** argv) {
  if (argc < 1) return UsageError("decode: missing HEX");
  if (argc > 1) return UsageError(("decode: unexpected argument " + std::string(argv[1])).c_str());
  std::string hex = argv[0];
  // Tolerate the line end of a pasted AT log line, and the Ctrl-Z that ends
  // a PDU on the line.
  while (!hex.empty() && (hex.back() == '\r' || hex.back() == '\n' || hex.back() == ' ' || hex.back() == 0x1A)) {
    hex.pop_back();
  }
  std::vector<uint8_t> octets;
  if (!ParseHex(hex, &octets)) return kExitBadInput;
  if (octets.empty()) {
    std::fprintf(stderr, "%s: bad hex: empty\n", kProgram);
    return kExitBadInput;
  }
  const size_t at = static_cast<size_t>(octets[0]) + 1;
  const uint8_t first = at < octets.size() ? octets[at] : 0;
  return (first & 0x03) == 0x01 ? DecodeSubmit(hex) : DecodeDeliver(hex, first);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  if (argc < 2) return UsageError("missing command");
  std::string command = argv[1];
  if (command == "encode") return Encode(argc - 2, argv + 2);
  if (command == "decode") return Decode(argc - 2, argv + 2);
  return UsageError(("unknown command " + command).c_str());
}
