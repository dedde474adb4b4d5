// SMS-SUBMIT encoding and SMS-DELIVER decoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "modem/pdu_codec.h"

namespace {

struct Encoded {
  int length;
  std::string text;
};

pdu_param Submit(const std::string& number, uint8_t dcs, const std::string& data) {
  pdu_param p{};
  std::strncpy(p.TPA, number.c_str(), sizeof(p.TPA) - 1);
  p.TOA = kToaUnknown;
  p.TP_DCS = dcs;
  std::memcpy(p.TP_UD, data.data(), std::min(data.size(), sizeof(p.TP_UD)));
  p.TP_UDL = static_cast<uint8_t>(data.size());
  return p;
}

Encoded Encode(const pdu_param& p) {
  char text[kPduTextSize + 16];
  std::memset(text, 'X', sizeof(text));
  int length = gsmEncodePdu(&p, text);
  std::string s(text);
  EXPECT_LT(s.size(), static_cast<size_t>(kPduTextSize));
  return {length, s};
}

// The user data length and data of an encoded SUBMIT (after the validity).
std::string SubmitUserData(const std::string& pdu) {
  size_t digits = std::stoul(pdu.substr(6, 2), nullptr, 16);
  return pdu.substr(10 + 2 * ((digits + 1) / 2) + 6);
}

// An SMS-DELIVER without centre address.
std::string Deliver(const std::string& originator, const std::string& dcs, const std::string& ud) {
  return "00" "04" + originator + "00" + dcs + "12703180510000" + ud;
}

// The same message as a received SMS-DELIVER, for round trips.
std::string SubmitToDeliver(const std::string& submit) {
  size_t digits = std::stoul(submit.substr(6, 2), nullptr, 16);
  size_t address_end = 10 + 2 * ((digits + 1) / 2);
  return "0004" + submit.substr(6, address_end - 6) + submit.substr(address_end, 4) +
         "12703180510000" + submit.substr(address_end + 6);
}

TEST(PduEncodeTest, ExamplesOfTheSystem) {
  Encoded e = Encode(Submit("1234567890", 0, "hello"));
  EXPECT_EQ(e.text, "0011000A8121436587090000AA05E8329BFD06");
  EXPECT_EQ(e.length, 18);

  e = Encode(Submit("12345", 0, "hello"));
  EXPECT_EQ(e.text, "00110005812143F50000AA05E8329BFD06");
  EXPECT_EQ(e.length, 16);

  // One bracket in three characters: four septets.
  EXPECT_EQ(SubmitUserData(Encode(Submit("12345", 0, "a[b")).text).substr(0, 2), "04");
}

TEST(PduEncodeTest, Destinations) {
  struct Row {
    const char* number;
    const char* address;  // length, type and semi-octets; "" = refused
  };
  const Row rows[] = {
      {"12345", "05812143F5"},
      {"1234567890", "0A812143658709"},
      {"1", "0181F1"},
      {"123456789012345", "0F8121436587092143F5"},
      {"+4915112345678", "0D91945111325476F8"},
      {"+39333123456", "0B919333133254F6"},
      {"+123456789012345", "0F9121436587092143F5"},
      {"", ""},
      {"+", ""},
      {"1234567890123456", ""},
      {"+1234567890123456", ""},
      {"12 34", ""},
      {"12-34", ""},
      {"12a", ""},
      {"++12", ""},
      {"1+2", ""},
      {"#31#", ""},
      {"0049 151", ""},
  };
  for (const Row& row : rows) {
    Encoded e = Encode(Submit(row.number, 0, "x"));
    if (row.address[0] == '\0') {
      EXPECT_EQ(e.length, -1) << row.number;
      EXPECT_EQ(e.text, "") << row.number;
    } else {
      EXPECT_EQ(e.text, std::string("001100") + row.address + "0000AA0178") << row.number;
      EXPECT_EQ(e.length, static_cast<int>(e.text.size() - 2) / 2) << row.number;
    }
  }

  // A destination that fills TPA without a terminator is refused, not read on.
  pdu_param p = Submit("", 0, "x");
  std::memset(p.TPA, '1', sizeof(p.TPA));
  EXPECT_EQ(Encode(p).length, -1);

  // Digits alone are sent with the caller's type of address.
  p = Submit("12345", 0, "x");
  p.TOA = 0xA1;
  EXPECT_EQ(Encode(p).text.substr(6, 4), "05A1");
}

TEST(PduEncodeTest, SevenBitLengths) {
  struct Row {
    int chars;
    int udl;
    int octets;
  };
  const Row rows[] = {{0, 0, 0},        {7, 7, 7},         {8, 8, 7},      {9, 9, 8},
                      {159, 159, 140},  {160, 160, 140},   {161, 160, 140}, {200, 160, 140}};
  for (const Row& row : rows) {
    std::string text(static_cast<size_t>(row.chars), 'a');
    pdu_param p = Submit("12345", 0, text.substr(0, 160));
    p.TP_UDL = static_cast<uint8_t>(row.chars);  // a length past the record is bounded
    std::string ud = SubmitUserData(Encode(p).text);
    EXPECT_EQ(std::stoi(ud.substr(0, 2), nullptr, 16), row.udl) << row.chars;
    EXPECT_EQ(static_cast<int>(ud.size()) - 2, 2 * row.octets) << row.chars;
  }
}

TEST(PduEncodeTest, EscapePairsAreNeverSplitAt160Septets) {
  struct Row {
    std::string text;
    int udl;
    std::string received;
  };
  const std::string a158(158, 'a');
  const std::string a159(159, 'a');
  const std::string brackets(80, '[');
  const Row rows[] = {
      {a158 + "[", 160, a158 + "["},           // the pair fills the last two septets
      {a159 + "[", 159, a159},                 // the pair would straddle the end
      {a158 + "[b", 160, a158 + "["},
      {brackets, 160, brackets},               // 80 pairs exactly
      {brackets + "x", 160, brackets},
      {"x" + std::string(79, '~') + "]", 159, "x" + std::string(79, '~')},
      {std::string(100, 'a') + std::string(60, '\xA4'), 160, std::string(100, 'a') + std::string(30, '\xA4')},
  };
  for (const Row& row : rows) {
    Encoded e = Encode(Submit("12345", 0, row.text));
    std::string ud = SubmitUserData(e.text);
    EXPECT_EQ(std::stoi(ud.substr(0, 2), nullptr, 16), row.udl) << row.text;

    pdu_param back;
    int n = gsmDecodePdu(SubmitToDeliver(e.text).c_str(), &back);
    EXPECT_EQ(n, static_cast<int>(row.received.size())) << row.text;
    EXPECT_EQ(std::string(back.TP_UD), row.received) << row.text;
  }
}

TEST(PduEncodeTest, TextStopsAtItsTerminator) {
  pdu_param p = Submit("12345", 0, "hello");
  p.TP_UDL = 160;  // longer than the text: no "@" padding goes out
  EXPECT_EQ(SubmitUserData(Encode(p).text), "05E8329BFD06");
}

TEST(PduEncodeTest, Ucs2And8BitAreCopied) {
  const std::string ucs2("\x00H\x00i\x4E\x2D", 6);
  Encoded e = Encode(Submit("12345", 8, ucs2));
  EXPECT_EQ(e.text, "00110005812143F50008AA06004800694E2D");
  EXPECT_EQ(e.length, 17);

  const std::string data("\x00\x01\xFF", 3);
  e = Encode(Submit("+12345", 4, data));
  EXPECT_EQ(e.text, "00110005912143F50004AA030001FF");

  // At most 140 octets go out, whatever the length says.
  pdu_param p = Submit("12345", 8, std::string(160, 'U'));
  p.TP_UDL = 200;
  std::string ud = SubmitUserData(Encode(p).text);
  EXPECT_EQ(ud.substr(0, 2), "8C");
  EXPECT_EQ(ud.size(), 2u + 280u);
}

TEST(PduDecodeTest, ModuleExample) {
  // SIM7100 answer to AT+CMGRD (the line after "+CMGRD: 0,,28").
  pdu_param p;
  int n = gsmDecodePdu(
      "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37\r\n\r\nOK\r\n", &p);
  EXPECT_EQ(n, 10);
  EXPECT_STREQ(p.SCA, "27381000015");
  EXPECT_STREQ(p.TPA, "27838890001");
  EXPECT_EQ(p.TOA, 0xC8);
  EXPECT_EQ(p.TP_PID, 0);
  EXPECT_EQ(p.TP_DCS, 0);
  EXPECT_STREQ(p.TP_SCTS, "99032915165908");
  EXPECT_EQ(p.TP_UDL, 10);
  EXPECT_STREQ(p.TP_UD, "hellohello");
}

TEST(PduDecodeTest, Fields) {
  struct Row {
    const char* name;
    std::string pdu;
    int result;
    const char* sca;
    const char* tpa;
    uint8_t dcs;
    int udl;
    std::string ud;  // compared over `result` bytes
  };
  const Row rows[] = {
      {"international originator", Deliver("0D91945111325476F8", "00", "05E8329BFD06"), 5, "",
       "4915112345678", 0, 5, "hello"},
      {"odd national originator", Deliver("05812143F5", "00", "05E8329BFD06"), 5, "", "12345", 0, 5,
       "hello"},
      {"even originator", Deliver("0A812143658709", "00", "0141"), 1, "", "1234567890", 0, 1, "A"},
      {"eight septets in seven octets", Deliver("05812143F5", "00", "0831D98C56B3DD70"), 8, "",
       "12345", 0, 8, "12345678"},
      {"escape pairs", Deliver("05812143F5", "00", "06E10D4FBCF101"), 4, "", "12345", 0, 6,
       "a[b]"},
      {"UCS2", Deliver("05812143F5", "08", "06004800694E2D"), 6, "", "12345", 8, 6,
       std::string("\x00H\x00i\x4E\x2D", 6)},
      {"8-bit", Deliver("05812143F5", "04", "030001FF"), 3, "", "12345", 4, 3,
       std::string("\x00\x01\xFF", 3)},
      {"class bit makes 8-bit", Deliver("05812143F5", "10", "0141"), 1, "", "12345", 0x10, 1, "A"},
      {"centre address", "0591947101F7" + Deliver("05812143F5", "00", "0141").substr(2), 1,
       "4917107", "12345", 0, 1, "A"},
      {"centre of type only", "0191" + Deliver("05812143F5", "00", "0141").substr(2), 1, "", "12345",
       0, 1, "A"},
      {"lower case", "000405812143f5" "0000" "12703180510000" "05e8329bfd06", 5, "", "12345", 0, 5, "hello"},
      {"empty message", Deliver("05812143F5", "00", "00"), 0, "", "12345", 0, 0, ""},
  };
  for (const Row& row : rows) {
    pdu_param p;
    int n = gsmDecodePdu(row.pdu.c_str(), &p);
    EXPECT_EQ(n, row.result) << row.name;
    EXPECT_STREQ(p.SCA, row.sca) << row.name;
    EXPECT_STREQ(p.TPA, row.tpa) << row.name;
    EXPECT_EQ(p.TP_DCS, row.dcs) << row.name;
    EXPECT_EQ(p.TP_UDL, row.udl) << row.name;
    EXPECT_STREQ(p.TP_SCTS, "21071308150000") << row.name;
    if (n >= 0) {
      EXPECT_EQ(std::string(p.TP_UD, static_cast<size_t>(n)), row.ud) << row.name;
      if (row.dcs != 8) {
        EXPECT_EQ(p.TP_UD[n], '\0') << row.name;
      }
    }
  }
}

TEST(PduDecodeTest, LongUserDataIsBoundedToTheRecord) {
  // 7-bit: the length octet says 255 septets; 160 are taken.
  std::string packed(2 * 160, '0');
  pdu_param p;
  EXPECT_EQ(gsmDecodePdu(Deliver("05812143F5", "00", "FF" + packed).c_str(), &p), 160);
  EXPECT_EQ(p.TP_UDL, 160);
  EXPECT_EQ(std::string(p.TP_UD), std::string(160, '@'));

  // 8-bit and UCS2: 140 octets, the rest ignored.
  for (const char* dcs : {"04", "08"}) {
    std::string data = "8D" + std::string(2 * 141, 'A');
    EXPECT_EQ(gsmDecodePdu(Deliver("05812143F5", dcs, data).c_str(), &p), 140) << dcs;
    EXPECT_EQ(p.TP_UDL, 140);
    EXPECT_EQ(static_cast<uint8_t>(p.TP_UD[139]), 0xAA);
    EXPECT_EQ(p.TP_UD[140], '\0');
  }
}

TEST(PduDecodeTest, LongAddressesAreBounded) {
  // 20 semi-octets (the most TS 23.040 allows), e.g. an alphanumeric sender:
  // the record keeps 15 characters and the rest of the message still reads.
  pdu_param p;
  std::string pdu = Deliver("14D0" + std::string("21436587092143658709"), "00", "0141");
  EXPECT_EQ(gsmDecodePdu(pdu.c_str(), &p), 1);
  EXPECT_STREQ(p.TPA, "123456789012345");
  EXPECT_STREQ(p.TP_UD, "A");

  // A centre of 12 octets (11 after the type): 15 digits kept.
  pdu = "0C91" + std::string(22, '1') + Deliver("05812143F5", "00", "0141").substr(2);
  EXPECT_EQ(gsmDecodePdu(pdu.c_str(), &p), 1);
  EXPECT_STREQ(p.SCA, "111111111111111");
}

TEST(PduDecodeTest, BrokenPdusFailCleanly) {
  const std::string good =
      "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
  pdu_param p;
  // Every cut before the end, and every non-hex character inside.
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_EQ(gsmDecodePdu(good.substr(0, cut).c_str(), &p), -1) << cut;
    std::string broken = good;
    broken[cut] = (cut % 2 != 0) ? 'G' : '\r';
    EXPECT_EQ(gsmDecodePdu(broken.c_str(), &p), -1) << cut;
  }
  // A failed decode leaves nothing half-filled.
  EXPECT_STREQ(p.SCA, "");
  EXPECT_STREQ(p.TPA, "");
  EXPECT_EQ(p.TP_UDL, 0);

  struct Row {
    const char* name;
    std::string pdu;
  };
  const Row rows[] = {
      {"empty", ""},
      {"odd length", "0"},
      {"only a centre length", "00"},
      {"centre longer than 12 octets", "0D91" + std::string(24, '1') + Deliver("05812143F5", "00", "0141").substr(2)},
      {"originator longer than 20 digits", Deliver("15D0" + std::string(22, '1'), "00", "0141")},
      {"user data shorter than announced", Deliver("05812143F5", "00", "05E8329BFD")},
      {"8-bit data shorter than announced", Deliver("05812143F5", "04", "0300")},
      {"no user data length", Deliver("05812143F5", "00", "")},
      {"half an octet of user data", Deliver("05812143F5", "04", "010")},
      {"garbage", "HELLO WORLD"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(gsmDecodePdu(row.pdu.c_str(), &p), -1) << row.name;
  }
}

}  // namespace
