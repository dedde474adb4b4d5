// The simulated module's own PDU code: known PDUs, round trips, refusals,
// and a check against the firmware's codec in both directions (each is
// written apart from the other, so they check each other).
#include "sim/sms_pdu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "modem/pdu_codec.h"
#include "sim/gsm7_alphabet.h"

namespace {

using sim::DeliverPdu;
using sim::SmsCoding;
using sim::SubmitPdu;

TEST(SimPdu, KnownSubmits) {
  struct Row {
    const char* hex;
    const char* number;
    uint8_t toa;
    const char* text;
    int tpdu_octets;
  };
  const Row rows[] = {
      // The SIM7500/7600 manual's AT+CMGS example.
      {"0011000C919333133254760000AA09416650DA04259D31", "+393331234567", 0x91, "ALARM IN1", 22},
      // With a service centre, no validity period, UCS2 text.
      {"0691214365870901000B915121436587F900080400410042", "+15123456789", 0x91, "AB", 17},
  };
  for (const Row& r : rows) {
    SubmitPdu p;
    std::string error;
    ASSERT_TRUE(sim::DecodeSubmit(r.hex, &p, &error)) << r.hex << ": " << error;
    EXPECT_EQ(p.destination.text, r.number) << r.hex;
    EXPECT_EQ(p.destination.toa, r.toa) << r.hex;
    EXPECT_EQ(p.view.text, r.text) << r.hex;
    EXPECT_EQ(p.tpdu_octets, r.tpdu_octets) << r.hex;
  }
}

TEST(SimPdu, RefusedSubmits) {
  struct Row {
    const char* hex;
    const char* reason;
  };
  const Row rows[] = {
      {"", "the PDU is empty"},
      {"0", "not hexadecimal"},
      {"00", "the PDU has no message"},
      {"0004", "message type 0 is no SMS-SUBMIT"},
      {"0D91", "a service centre part of 13 octets"},
      {"001100", "ends in the address"},
      {"0011001581", "an address of 21 digits"},
      {"0011000A81214365870900", "ends before the coding"},
      {"0011000A8121436587090000AA05E8329BFD", "shorter than its length"},
      {"0011000A8121436587090000AA05E8329BFD0600", "1 octets follow the user data"},
      {"0011000A8121436587090000AAA1", "161 septets"},
      {"0011000A8121436587090008AA8D", "141 octets"},
      {"0051000A8121436587090000AA00", "announced but there is no user data"},
      {"0051000A8121436587090000AA020A00", "header is longer than the user data"},
  };
  for (const Row& r : rows) {
    SubmitPdu p;
    std::string error;
    EXPECT_FALSE(sim::DecodeSubmit(r.hex, &p, &error)) << r.hex;
    EXPECT_NE(error.find(r.reason), std::string::npos) << r.hex << ": " << error;
  }
}

TEST(SimPdu, KnownDeliverBothWays) {
  // The SIM7500/7600 manual's AT+CMGRD example (a Wikipedia sample).
  const std::string hex = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
  DeliverPdu d;
  std::string error;
  ASSERT_TRUE(sim::DecodeDeliver(hex, &d, &error)) << error;
  EXPECT_EQ(d.smsc.text, "+27381000015");
  EXPECT_EQ(d.originator.text, "27838890001");  // national type 0xC8: no "+"
  EXPECT_EQ(d.originator.toa, 0xC8);
  EXPECT_EQ(sim::FormatSmscTime(d.time), "1999-03-29 15:16:59+02:00");
  EXPECT_EQ(d.view.coding, SmsCoding::kGsm7);
  EXPECT_EQ(d.view.text, "hellohello");
  EXPECT_EQ(d.tpdu_octets, 28);
  EXPECT_FALSE(d.more_messages);
  EXPECT_EQ(sim::EncodeDeliver(d), hex);
}

// The simulator's SMS-DELIVER read back by itself and, where `tpa` is
// given, by the firmware's codec.
TEST(SimPdu, DeliverRoundTripsAndTheFirmwareReadsIt) {
  struct Row {
    const char* from;
    uint8_t toa;
    const char* text;  // UTF-8
    SmsCoding coding;
    int tz_quarters;
    const char* tpa;  // the firmware's record: number, coding, octets
    uint8_t dcs;
    std::string body;
  };
  const Row rows[] = {
      {"+393331234567", 0x91, "Alarm DI2 [on] {x} ~|^\\ €5 @ £", SmsCoding::kGsm7, 4, nullptr, 0, ""},
      {"5551234", 0x81, "Grüße ΔΩ Ñ", SmsCoding::kGsm7, -20, nullptr, 0, ""},
      {"TIM", 0xD0, "Offerta", SmsCoding::kGsm7, 0, nullptr, 0, ""},
      {"Bank-Info24", 0xD0, "x", SmsCoding::kGsm7, 0, nullptr, 0, ""},
      {"+4912345", 0x91, "Привет, мир", SmsCoding::kUcs2, 8, nullptr, 0, ""},
      {"123", 0x81, "snow ☃ and 😀", SmsCoding::kUcs2, 0, nullptr, 0, ""},
      {"12345678901234567890", 0x81, "", SmsCoding::kGsm7, 0, nullptr, 0, ""},
      {"+393331234567", 0x91, "Status?", SmsCoding::kGsm7, 0, "393331234567", 0, "Status?"},
      {"5551234", 0x81, "[1] ~ é €", SmsCoding::kGsm7, 0, "5551234", 0, "[1] ~ \xE9 \xA4"},
      {"123", 0x81, "Привет", SmsCoding::kUcs2, 0, "123", 8,
       std::string("\x04\x1F\x04\x40\x04\x38\x04\x32\x04\x35\x04\x42", 12)},
  };
  for (const Row& r : rows) {
    DeliverPdu d;
    std::string error;
    ASSERT_TRUE(sim::ParseAddress("+8613800210500", &d.smsc, &error));
    ASSERT_TRUE(sim::ParseAddress(r.from, &d.originator, &error)) << r.from << ": " << error;
    ASSERT_TRUE(sim::UserDataForText(r.text, &d.user_data, &error)) << r.text << ": " << error;
    d.time = {2024, 2, 29, 23, 59, 58, r.tz_quarters};
    std::string hex = sim::EncodeDeliver(d);
    DeliverPdu back;
    ASSERT_TRUE(sim::DecodeDeliver(hex, &back, &error)) << hex << ": " << error;
    EXPECT_EQ(back.originator.text, r.from) << hex;
    EXPECT_EQ(back.originator.toa, r.toa) << hex;
    EXPECT_EQ(back.smsc.text, "+8613800210500");
    EXPECT_EQ(back.view.coding, r.coding) << r.text;
    EXPECT_EQ(back.view.text, r.text) << hex;
    EXPECT_EQ(sim::FormatSmscTime(back.time), sim::FormatSmscTime(d.time));
    EXPECT_EQ(static_cast<size_t>(back.tpdu_octets) * 2 + 18, hex.size()) << hex;  // 9 octets of centre part
    if (!r.tpa) continue;
    pdu_param p{};
    int n = gsmDecodePdu(hex.c_str(), &p);
    ASSERT_GE(n, 0) << hex;
    EXPECT_STREQ(p.TPA, r.tpa) << hex;
    EXPECT_STREQ(p.SCA, "8613800210500") << hex;
    EXPECT_EQ(p.TP_DCS, r.dcs) << hex;
    EXPECT_EQ(std::string(p.TP_UD, static_cast<size_t>(n)), r.body) << hex;
  }
  for (const char* bad : {"+123456789012345678901", "+", "", "+39 333", "ABCDEFGHIJKL", "Привет", "+3933a"}) {
    sim::SmsAddress a;
    std::string error;
    EXPECT_FALSE(sim::ParseAddress(bad, &a, &error)) << bad;
  }
}

TEST(SimPdu, UserDataHeaderIsSkippedOnSeptetBoundaries) {
  // A concatenation header (6 octets) puts the text 7 septets in, after
  // one fill bit.
  std::string header("\x05\x00\x03\x2A\x02\x01", 6);
  std::vector<uint8_t> septets;
  std::vector<uint32_t> cps;
  ASSERT_TRUE(sim::Utf8ToCodePoints("part one", &cps));
  ASSERT_TRUE(sim::CodePointsToGsm7(cps, &septets));
  std::string packed = sim::PackSeptets(septets, 1);
  std::string ud = header + packed;
  sim::UserDataView v;
  std::string error;
  ASSERT_TRUE(sim::ReadUserData(0x00, static_cast<uint8_t>(7 + septets.size()), true, ud, &v, &error)) << error;
  EXPECT_EQ(v.header, header.substr(1));
  EXPECT_EQ(v.text, "part one");
  ASSERT_TRUE(sim::ReadUserData(0x08, 10, true, header + std::string("\x00h\x00i", 4), &v, &error)) << error;
  EXPECT_EQ(v.text, "hi");
  EXPECT_EQ(v.coding, SmsCoding::kUcs2);
}

// The firmware's SMS-SUBMIT read by the simulator.
TEST(SimPdu, ReadsTheFirmwaresSubmits) {
  struct Row {
    const char* number;
    uint8_t dcs;
    std::string body;  // ISO-8859-1 for coding 0, raw octets otherwise
    const char* number_seen;
    const char* text_seen;  // UTF-8
  };
  const Row rows[] = {
      {"1234567890", 0, "hello", "1234567890", "hello"},
      {"+393331234567", 0, "Alarm [DI2] {on} ~ \\ |^ \xA4", "+393331234567", "Alarm [DI2] {on} ~ \\ |^ €"},
      {"123", 0, "Gr\xFC\xDF" "e \xC4\xD6", "123", "Grüße ÄÖ"},
      {"123", 8, std::string("\x04\x1F\x04\x40", 4), "123", "Пр"},
      {"123", 4, std::string("\x01\x02\xFF", 3), "123", ""},
  };
  for (const Row& r : rows) {
    pdu_param p{};
    std::strncpy(p.TPA, r.number, sizeof p.TPA - 1);
    p.TOA = kToaUnknown;
    p.TP_DCS = r.dcs;
    std::memcpy(p.TP_UD, r.body.data(), r.body.size());
    p.TP_UDL = static_cast<uint8_t>(r.body.size());
    char text[kPduTextSize] = {};
    int length = gsmEncodePdu(&p, text);
    ASSERT_GT(length, 0) << r.number;
    SubmitPdu s;
    std::string error;
    ASSERT_TRUE(sim::DecodeSubmit(text, &s, &error)) << text << ": " << error;
    EXPECT_EQ(s.tpdu_octets, length) << text;
    EXPECT_EQ(s.destination.text, r.number_seen) << text;
    EXPECT_EQ(s.view.text, r.text_seen) << text;
    if (r.dcs != 0) {
      EXPECT_EQ(s.view.body, r.body) << text;
    }
  }
}

TEST(SimPdu, TruncatedOrRandomInputGivesAResultOrAnError) {
  const std::string known[] = {
      "0011000C919333133254760000AA09416650DA04259D31",
      "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",
  };
  SubmitPdu s;
  DeliverPdu d;
  std::string error;
  for (const std::string& hex : known) {
    for (size_t n = 0; n < hex.size(); ++n) {
      EXPECT_FALSE(sim::DecodeSubmit(hex.substr(0, n), &s, &error)) << n;
      EXPECT_FALSE(sim::DecodeDeliver(hex.substr(0, n), &d, &error)) << n;
    }
  }
  std::mt19937 random(806);
  const char digits[] = "0123456789ABCDEF";
  for (int i = 0; i < 3000; ++i) {
    std::string hex;
    size_t n = random() % 400 * 2;
    for (size_t k = 0; k < n; ++k) hex += digits[random() % 16];
    sim::DecodeSubmit(hex, &s, &error);
    sim::DecodeDeliver(hex, &d, &error);
    std::string octets;
    sim::FromHex(hex, &octets);
    sim::UserDataView v;
    sim::ReadUserData(static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), random() % 2 == 0, octets, &v,
                      &error);
  }
}

}  // namespace
