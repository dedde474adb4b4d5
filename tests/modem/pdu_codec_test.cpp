// The PDU codec: the GSM alphabet, SMS-SUBMIT encoding, SMS-DELIVER decoding.
// Random and cut-off input is left to the pdu_decode fuzz target; the whole
// alphabet to the cross-check with the simulator's own codec (tests/sim).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "modem/pdu_codec.h"
#include "modem/sms_transport.h"
#include "support/coding_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The conversions, each checked for its terminator.
Bytes ToGsm(const std::string& iso) {
  Bytes out(2 * iso.size() + 1, 0xEE);
  out.resize(static_cast<size_t>(gsmIso27Bit(iso.data(), out.data(), static_cast<int>(iso.size()))) + 1);
  EXPECT_EQ(out.back(), 0);
  out.pop_back();
  return out;
}

std::string ToIso(const Bytes& codes, int n) {
  std::string out(codes.size() + 1, '\x7F');
  out.resize(static_cast<size_t>(gsm7Bit2Iso(codes.data(), &out[0], n)) + 1);
  EXPECT_EQ(out.back(), '\0');
  out.pop_back();
  return out;
}

TEST(PduAlphabetTest, EscapePairsAndCharactersWithoutCode) {
  const std::string escaped = "\f^{}\\[~]|\xA4";
  for (size_t i = 0; i < escaped.size(); ++i) EXPECT_EQ(gsmIsoSeptets(static_cast<uint8_t>(escaped[i])), 2);
  // The backquote and control characters pass as their own code; characters
  // without a GSM code become "?".
  EXPECT_EQ(ToGsm("`\t\xE1\xB0 C"), (Bytes{0x60, 0x09, 0x3F, 0x3F, 0x20, 0x43}));
  // An escape before a code outside the extension table, or at the very end,
  // stays 0x1B and the next code is converted on its own; the code after the
  // last one is never read (here it would make a pair).
  EXPECT_EQ(ToIso({0x41, 0x1B, 0x41, 0x42}, 4), "A\x1B" "AB");
  EXPECT_EQ(ToIso({0x1B, 0x1B, 0x3C}, 3), "\x1B[");
  EXPECT_EQ(ToIso({0x41, 0x1B, 0x3C}, 2), "A\x1B");
}

// Text limits are checked with the count: it must be what the encoder makes.
TEST(PduAlphabetTest, SeptetCountIsWhatTheEncoderMakes) {
  for (int c = 1; c < 256; ++c) {
    const std::string one(1, static_cast<char>(c));
    EXPECT_EQ(gsmIsoSeptetCount(one.data(), 1), static_cast<int>(ToGsm(one).size())) << c;
  }
  const std::string a159(159, 'a');
  // Text, septets, characters within 160 septets.
  const struct { std::string text; int septets, within; } rows[] = {
      {"", 0, 0},
      {"{x}", 5, 3},
      {"\xA4" "5", 3, 2},              // the euro sign of the unit's texts: an escape pair
      {"\xE2\x82\xAC", 3, 3},          // a typed UTF-8 euro: three bytes, each sent as "?"
      {a159 + "a", 160, 160},
      {a159 + "[", 161, 159},           // the pair would straddle the end
      {std::string(81, '~'), 162, 80},
  };
  for (const auto& row : rows) {
    const int n = static_cast<int>(row.text.size());
    EXPECT_EQ(gsmIsoSeptetCount(row.text.data(), n), row.septets) << row.text;
    EXPECT_EQ(gsmIsoCharsWithin(row.text.data(), n, kPduMaxSeptets), row.within) << row.text;
  }
}

// The hex text of an SMS-SUBMIT to `number` ("" when refused; -1 returned).
std::string Encode(const std::string& number, uint8_t dcs, const std::string& data, int udl = -1,
                   uint8_t toa = kToaUnknown) {
  pdu_param p{};
  std::memcpy(p.TPA, number.data(), std::min(number.size(), sizeof(p.TPA)));  // may fill it unterminated
  p.TOA = toa;
  p.TP_DCS = dcs;
  std::memcpy(p.TP_UD, data.data(), std::min(data.size(), sizeof(p.TP_UD)));
  p.TP_UDL = static_cast<uint8_t>(udl < 0 ? static_cast<int>(data.size()) : udl);
  char text[kPduTextSize + 16];
  std::memset(text, 'X', sizeof(text));
  int n = gsmEncodePdu(&p, text);
  EXPECT_LT(std::strlen(text), static_cast<size_t>(kPduTextSize));
  EXPECT_EQ(n, text[0] == '\0' ? -1 : static_cast<int>(std::strlen(text) - 2) / 2) << number;  // TPDU octets
  return text;
}

// An SMS-DELIVER without centre address.
std::string Deliver(const std::string& originator, const std::string& dcs, const std::string& ud) {
  return "00" "04" + originator + "00" + dcs + "12703180510000" + ud;
}

TEST(PduEncodeTest, SubmitsAndDestinations) {
  const char* const rows[][2] = {  // number; length, type and semi-octets ("" = refused)
      {"1234567890", "0A812143658709"}, {"12345", "05812143F5"}, {"1", "0181F1"},
      {"123456789012345", "0F8121436587092143F5"}, {"+4915112345678", "0D91945111325476F8"},
      {"+123456789012345", "0F9121436587092143F5"}, {"", ""}, {"+", ""}, {"1234567890123456", ""},
      {"+1234567890123456", ""}, {"12 34", ""}, {"12a", ""}, {"++12", ""}, {"1+2", ""}, {"#31#", ""},
      {"11111111111111111111", ""}};  // fills TPA without a terminator: refused, not read on
  for (const auto& row : rows) {
    EXPECT_EQ(Encode(row[0], 0, "hello"), *row[1] ? std::string("001100") + row[1] + "0000AA05E8329BFD06" : "");
  }
  EXPECT_EQ(Encode("12345", 8, std::string("\x00H\x00i\x4E\x2D", 6)), "00110005812143F50008AA06004800694E2D");
  EXPECT_EQ(Encode("+12345", 4, std::string("\x00\x01\xFF", 3)), "00110005912143F50004AA030001FF");
  // A coding byte with a class is sent in the alphabet it announces.
  EXPECT_EQ(Encode("12345", 0xF1, "hello"), "00110005812143F500F1AA05E8329BFD06");
  // At most 140 octets go out, whatever the length says.
  EXPECT_EQ(Encode("12345", 8, std::string(160, 'U'), 200), "00110005812143F50008AA8C" + std::string(280, '5'));
  // Digits alone go with the caller's type of address.
  EXPECT_EQ(Encode("12345", 0, "x", -1, 0xA1), "00110005A12143F50000AA0178");
}

TEST(PduEncodeTest, SevenBitTextsBothWays) {
  const std::string a158(158, 'a');
  // Text, septets sent, text received, user data ("" = not compared).
  const struct { std::string text; int septets; std::string received, user_data; } rows[] = {
      {"", 0, "", "00"},
      {"a[b", 4, "a[b", "04E10D4F0C"},                  // the bracket is an escape pair
      {"1234567", 7, "1234567", "0731D98C56B3DD00"},    // 49 bits in 7 octets
      {"12345678", 8, "12345678", "0831D98C56B3DD70"},  // 8 septets fill 7 octets
      {"123456789", 9, "123456789", "0931D98C56B3DD7039"},
      {std::string(160, 'a'), 160, std::string(160, 'a'), ""},
      {a158 + "[", 160, a158 + "[", ""},   // an escape pair fills the last two septets
      {a158 + "a[", 159, a158 + "a", ""},  // a pair never straddles the end
      {std::string(80, '[') + "x", 160, std::string(80, '['), ""},
  };
  for (const auto& row : rows) {
    std::string ud = Encode("12345", 0, row.text).substr(22);
    if (!row.user_data.empty()) { EXPECT_EQ(ud, row.user_data) << row.text; }
    EXPECT_EQ(std::stoi(ud.substr(0, 2), nullptr, 16), row.septets) << row.text;
    EXPECT_EQ(ud.size(), 2u + 2u * ((7u * static_cast<size_t>(row.septets) + 7u) / 8u)) << row.text;
    pdu_param back;
    EXPECT_EQ(gsmDecodePdu(Deliver("05812143F5", "00", ud).c_str(), &back), static_cast<int>(row.received.size()));
    EXPECT_EQ(back.TP_UDL, row.septets) << row.text;
    EXPECT_EQ(std::string(back.TP_UD), row.received) << row.text;
  }
  // A length past the text sends no "@" padding; one past the record is bounded.
  EXPECT_EQ(Encode("12345", 0, "hello", 160).substr(22), "05E8329BFD06");
  EXPECT_EQ(Encode("12345", 0, std::string(160, 'a'), 200).substr(22, 2), "A0");
}

TEST(PduDecodeTest, Fields) {
  const std::string a_from_12345 = Deliver("05812143F5", "00", "0141").substr(2);
  // The user data is compared whole; its length is the result. (Centre and
  // originator of either length and type, and 7-bit texts: the cross-check
  // with the simulator's codec in tests/sim.)
  const struct { std::string pdu; const char *sca, *tpa; uint8_t dcs; std::string ud; } rows[] = {
      {Deliver("05812143F5", "08", "06004800694E2D"), "", "12345", 8, std::string("\x00H\x00i\x4E\x2D", 6)},
      {Deliver("05812143F5", "04", "030001FF"), "", "12345", 4, std::string("\x00\x01\xFF", 3)},
      {"0191" + a_from_12345, "", "12345", 0, "A"},  // a centre of type only
      {"000405812143f5" "0000" "12703180510000" "05e8329bfd06", "", "12345", 0, "hello"},
      // Lengths past the record: 160 septets, 140 octets; 15 address digits.
      {Deliver("05812143F5", "00", "FF" + std::string(2 * 160, '0')), "", "12345", 0, std::string(160, '@')},
      {Deliver("05812143F5", "08", "8D" + std::string(2 * 141, 'A')), "", "12345", 8, std::string(140, '\xAA')},
      {Deliver("14D021436587092143658709", "00", "0141"), "", "123456789012345", 0, "A"},  // 20 semi-octets
      {"0C91" + std::string(22, '1') + a_from_12345, "111111111111111", "12345", 0, "A"},
  };
  pdu_param p;
  for (const auto& row : rows) {
    EXPECT_EQ(gsmDecodePdu(row.pdu.c_str(), &p), static_cast<int>(row.ud.size())) << row.pdu;
    EXPECT_EQ(std::string(p.SCA) + "," + p.TPA + "," + p.TP_SCTS, std::string(row.sca) + "," + row.tpa + ",21071308150000");
    EXPECT_EQ(p.TP_DCS, row.dcs) << row.pdu;
    EXPECT_EQ(p.TP_UDL, static_cast<int>(row.ud.size())) << row.pdu;
    EXPECT_EQ(std::string(p.TP_UD, row.ud.size() + 1), row.ud + '\0') << row.pdu;
  }
}

// Every coding byte is read in the alphabet it announces, its length counted
// in septets or octets accordingly; the record keeps the alphabet, the
// parameter record the byte as received.
TEST(PduDecodeTest, CodingBytesGiveTheirAlphabet) {
  std::string octets(testsupport::kCodingPacked.size() / 2, '\0');
  gsmString2Bytes(testsupport::kCodingPacked.c_str(), reinterpret_cast<uint8_t*>(&octets[0]),
                  static_cast<int>(testsupport::kCodingPacked.size()));
  for (const auto& row : testsupport::kCodingBytes) {
    const std::string pdu = testsupport::CodingPdu(row.dcs, row.coding);
    const std::string body = row.coding == 0 ? testsupport::kCodingText : octets;
    pdu_param p;
    EXPECT_EQ(gsmDecodePdu(pdu.c_str(), &p), static_cast<int>(body.size())) << pdu;
    EXPECT_EQ(p.TP_DCS, row.dcs) << pdu;
    sms_msg m{};
    ASSERT_EQ(gmSMS_getReadMsg(("\r\n+CMGRD: 0,,30\r\n" + pdu + "\r\n\r\nOK\r\n").c_str(), &m), 1) << pdu;
    EXPECT_EQ(std::string(m.msg, m.msg_len), body) << pdu;
    EXPECT_EQ(m.sms_mode, row.coding) << pdu;
  }
}

TEST(PduDecodeTest, BrokenPdusFailCleanly) {
  const std::string good = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
  const std::string rows[] = {
      "", "0", "00", "HELLO WORLD", good.substr(0, good.size() - 1), good.substr(0, 30) + "\r\n" + good.substr(30),
      "0D91" + std::string(24, '1') + Deliver("05812143F5", "00", "0141").substr(2),  // centre over 12 octets
      Deliver("15D0" + std::string(22, '1'), "00", "0141"),                         // originator over 20 digits
      Deliver("05812143F5", "00", "05E8329BFD"), Deliver("05812143F5", "04", "0300"),  // user data short
      Deliver("05812143F5", "00", ""), Deliver("05812143F5", "04", "010"),  // no length; half an octet
  };
  pdu_param p;
  for (const std::string& row : rows) {
    ASSERT_EQ(gsmDecodePdu(good.c_str(), &p), 10);
    EXPECT_EQ(gsmDecodePdu(row.c_str(), &p), -1) << row;
    EXPECT_EQ(std::string(p.SCA) + p.TPA + std::to_string(p.TP_UDL), "0") << row;  // nothing left half-filled
  }
}

// An SMS-SUBMIT read back, for the tools that read AT logs: the unit's own,
// and forms it never sends (a centre, no or an absolute validity period).
TEST(PduDecodeTest, SubmitsReadBack) {
  const std::string hello = "05E8329BFD06";
  // PDU; destination, type, validity octets, TPDU octets, decoded length ("" destination = refused).
  const struct { std::string pdu; const char* tpa; uint8_t toa; int vp, tpdu, result; } rows[] = {
      {Encode("+4915112345678", 0, "hello"), "+4915112345678", 0x91, 1, 20, 5},
      {Encode("12345", 8, std::string("\x00H", 2)), "12345", 0x81, 1, 13, 2},
      {"07917283010010F5" "012A05812143F50000" + hello, "12345", 0x81, 0, 15, 5},
      {"00" "192A05812143F50000" "21071308150000" + hello, "12345", 0x81, 7, 22, 5},
      {"00" "112A00810000AA" + hello, "", 0, 0, 0, -1},                                     // no digit
      {"00" "112A10812143658709214365870921F40000AA" + hello, "", 0, 0, 0, -1},             // 16 digits
      {"00" "192A05812143F50000" "210713" + hello.substr(0, 2), "", 0, 0, 0, -1},           // validity short
      {Encode("12345", 0, "hello").substr(0, 30), "", 0, 0, 0, -1},                         // user data short
  };
  for (const auto& row : rows) {
    pdu_param p;
    SubmitFields f;
    EXPECT_EQ(gsmDecodeSubmitPdu(row.pdu.c_str(), &p, &f), row.result) << row.pdu;
    EXPECT_EQ(std::string(p.TPA) + "," + std::to_string(p.TOA), std::string(row.tpa) + "," + std::to_string(row.toa));
    EXPECT_EQ(f.validity_octets, row.vp) << row.pdu;
    EXPECT_EQ(f.tpdu_octets, row.tpdu) << row.pdu;
  }
}

}  // namespace
