// The simulated module's own PDU code: known PDUs, round trips, refusals,
// and a check against the firmware's codec in both directions over the whole
// GSM alphabet (each is written apart from the other, so they check each other).
#include "sim/modem/sms_pdu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "modem/pdu_codec.h"
#include "sim/modem/gsm7_alphabet.h"
#include "support/coding_bytes.h"

namespace {

using sim::DeliverPdu;
using sim::SmsCoding;
using sim::SubmitPdu;

// The SIM7500/7600 manual's AT+CMGS and AT+CMGRD examples.
const std::string kManualSubmit = "0011000C919333133254760000AA09416650DA04259D31";
const std::string kManualDeliver = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";

TEST(SimPdu, SubmitsReadOrRefused) {
  SubmitPdu p;
  std::string error;
  // Destination, its type, text, TPDU octets.
  auto fields = [&] { return p.destination.text + "," + std::to_string(p.destination.toa) + "," + p.view.text + "," +
                             std::to_string(p.tpdu_octets); };
  ASSERT_TRUE(sim::DecodeSubmit(kManualSubmit, &p, &error)) << error;
  EXPECT_EQ(fields(), "+393331234567,145,ALARM IN1,22");
  // With a service centre, no validity period, UCS2 text.
  ASSERT_TRUE(sim::DecodeSubmit("0691214365870901000B915121436587F900080400410042", &p, &error)) << error;
  EXPECT_EQ(fields(), "+15123456789,145,AB,17");

  const std::pair<const char*, const char*> refused[] = {
      {"0D91", "a service centre part of 13 octets"},
      {"0011001581", "an address of 21 digits"},
      {"0011000A8121436587090000AA05E8329BFD", "shorter than its length"},
      {"0011000A8121436587090000AA05E8329BFD0600", "1 octets follow the user data"},
      {"0011000A8121436587090000AAA1", "161 septets"},
      {"0011000A8121436587090008AA8D", "141 octets"},
      {"0051000A8121436587090000AA020A00", "header is longer than the user data"},
  };
  for (const auto& [hex, reason] : refused) {
    EXPECT_FALSE(sim::DecodeSubmit(hex, &p, &error)) << hex;
    EXPECT_NE(error.find(reason), std::string::npos) << hex << ": " << error;
  }
}

TEST(SimPdu, KnownDeliverBothWays) {
  DeliverPdu d;
  std::string error;
  ASSERT_TRUE(sim::DecodeDeliver(kManualDeliver, &d, &error)) << error;
  // The originator of national type 0xC8 has no "+".
  EXPECT_EQ(d.smsc.text + "," + d.originator.text + "," + std::to_string(d.originator.toa) + "," +
                sim::FormatSmscTime(d.time) + "," + d.view.text + "," + std::to_string(d.tpdu_octets),
            "+27381000015,27838890001,200,1999-03-29 15:16:59+02:00,hellohello,28");
  EXPECT_EQ(d.view.coding, SmsCoding::kGsm7);
  EXPECT_EQ(sim::EncodeDeliver(d), kManualDeliver);
}

// Each coding byte read in its alphabet; and the simulator and the firmware,
// written apart, give every one of the 256 bytes the same alphabet.
TEST(SimPdu, CodingBytesGiveTheirAlphabet) {
  auto record = [](SmsCoding c) { return c == SmsCoding::kGsm7 ? 0 : c == SmsCoding::kUcs2 ? 8 : 4; };
  for (const auto& row : testsupport::kCodingBytes) {
    DeliverPdu d;
    std::string error;
    ASSERT_TRUE(sim::DecodeDeliver(testsupport::CodingPdu(row.dcs, row.coding), &d, &error)) << error;
    EXPECT_EQ(record(d.view.coding), row.coding) << static_cast<int>(row.dcs);
    EXPECT_EQ(row.coding == 0 ? d.view.text : sim::ToHex(d.view.body),
              row.coding == 0 ? testsupport::kCodingText : testsupport::kCodingPacked);
  }
  for (int dcs = 0; dcs < 256; ++dcs) {
    EXPECT_EQ(gsmDcsCoding(static_cast<uint8_t>(dcs)), record(sim::CodingOfDcs(static_cast<uint8_t>(dcs)))) << dcs;
  }
}

// An SMS-DELIVER from `from` with `text`, as the simulator makes it.
std::string Deliver(const std::string& from, const std::string& text) {
  DeliverPdu d;
  std::string error;
  EXPECT_TRUE(sim::ParseAddress("+8613800210500", &d.smsc, &error));
  EXPECT_TRUE(sim::ParseAddress(from, &d.originator, &error)) << from << ": " << error;
  EXPECT_TRUE(sim::UserDataForText(text, &d.user_data, &error)) << text << ": " << error;
  d.time = {2024, 2, 29, 23, 59, 58, 0};
  return sim::EncodeDeliver(d);
}

// The GSM default alphabet as the standard gives it (0x1B, the escape, left
// empty), then the characters of the extension table.
const char* const kGsm[138] = {
    "@", "£", "$", "¥", "è", "é", "ù", "ì", "ò", "Ç", "\n", "Ø", "ø", "\r", "Å", "å",
    "Δ", "_", "Φ", "Γ", "Λ", "Ω", "Π", "Ψ", "Σ", "Θ", "Ξ", "",  "Æ", "æ", "ß", "É",
    " ", "!", "\"", "#", "¤", "%", "&", "'", "(", ")", "*", "+", ",", "-", ".", "/",
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ":", ";", "<", "=", ">", "?",
    "¡", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O",
    "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "Ä", "Ö", "Ñ", "Ü", "§",
    "¿", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
    "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "ä", "ö", "ñ", "ü", "à",
    "\f", "^", "{", "}", "\\", "[", "~", "]", "|", "€"};

// The firmware's ISO-8859-1 byte for entry `i`: the code point; the Greek
// capitals, which have none, keep their GSM code; the euro sign is 0xA4.
char Iso(int i) {
  std::vector<uint32_t> cp;
  EXPECT_TRUE(sim::Utf8ToCodePoints(kGsm[i], &cp));
  return static_cast<char>(cp[0] == 0x20AC ? 0xA4 : cp[0] < 0x100 ? cp[0] : i);
}

// Random 7-bit texts both ways: the firmware's SMS-SUBMIT read by the
// simulator, and the simulator's SMS-DELIVER read by the firmware. The
// firmware's encoder stops at the first character that no longer fits.
TEST(SimPdu, FirmwareAndSimulatorAgreeOnTheWholeAlphabet) {
  std::mt19937 rng(806);
  for (int round = 0; round < 300; ++round) {
    std::string iso, fits_iso, fits_utf8;
    int septets = 0;
    bool full = false;
    for (int n = static_cast<int>(rng() % 161); n > 0; --n) {
      int i = static_cast<int>(rng() % 138);
      if (i == 0x1B || i == 0x24) continue;  // the escape; "¤" goes out as the euro pair
      iso += Iso(i);
      full = full || septets + (i < 128 ? 1 : 2) > kPduMaxSeptets;
      if (full) continue;
      septets += i < 128 ? 1 : 2;
      fits_iso += Iso(i);
      fits_utf8 += kGsm[i];
    }
    pdu_param p{};
    std::strcpy(p.TPA, "+393331234567");
    p.TOA = kToaUnknown;
    std::memcpy(p.TP_UD, iso.data(), iso.size());
    p.TP_UDL = static_cast<uint8_t>(iso.size());
    char text[kPduTextSize];
    int octets = gsmEncodePdu(&p, text);
    SubmitPdu s;
    std::string error;
    ASSERT_TRUE(sim::DecodeSubmit(text, &s, &error)) << text << ": " << error;
    EXPECT_EQ(s.tpdu_octets, octets) << text;
    EXPECT_EQ(s.destination.text, "+393331234567");
    EXPECT_EQ(s.view.text, fits_utf8) << text;

    std::string hex = Deliver("+393331234567", fits_utf8);
    int n = gsmDecodePdu(hex.c_str(), &p);
    EXPECT_EQ(p.TP_UDL, septets) << hex;
    ASSERT_GE(n, 0) << hex;
    EXPECT_EQ(std::string(p.TP_UD, static_cast<size_t>(n)), fits_iso) << hex;
    EXPECT_STREQ(p.TPA, "393331234567");
    EXPECT_STREQ(p.SCA, "8613800210500");
  }
}

}  // namespace
