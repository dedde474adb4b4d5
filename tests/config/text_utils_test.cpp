#include <cstring>
#include <string>
#include <vector>

#include "config/text_utils.h"
#include "config_test_env.h"

namespace {

using configtest::ConsoleCapture;

struct SplitCase {
  const char* text;
  char delimiter;
  const char* head;
  const char* rest;  // nullptr: no rest
};

TEST(GetNextStr, CutsAtTheFirstDelimiter) {
  const SplitCase cases[] = {
      {"key=value", '=', "key", "value"},
      {"key=", '=', "key", nullptr},  // same as a key without "="
      {"key", '=', "key", nullptr},
      {"a=b=c", '=', "a", "b=c"},
      {"=v", '=', "", "v"},
      {"", '=', "", nullptr},
      {"3#di[0]cType=4", '#', "3", "di[0]cType=4"},
      {"@TIME;20210713;081509", ';', "@TIME", "20210713;081509"},
  };
  for (const SplitCase& c : cases) {
    std::string buf = c.text;
    char* rest = reinterpret_cast<char*>(1);
    char* head = c.delimiter == ';' ? get_entry(&buf[0], &rest) : get_next_str(&buf[0], &rest, c.delimiter);
    EXPECT_STREQ(head, c.head) << c.text;
    if (c.rest == nullptr) {
      EXPECT_EQ(rest, nullptr) << c.text;
    } else {
      EXPECT_STREQ(rest, c.rest) << c.text;
    }
  }
  char* rest = reinterpret_cast<char*>(1);
  EXPECT_EQ(get_next_str(nullptr, &rest, '='), nullptr);
  EXPECT_EQ(rest, nullptr);
}

TEST(GetNextStr, WalksAList) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"a,b,c", {"a", "b", "c"}},
      {"a,b,c,", {"a", "b", "c"}},  // a trailing comma adds no empty entry
      {"a,,b", {"a", "", "b"}},
      {",a", {"", "a"}},
      {"", {""}},
  };
  for (const auto& c : cases) {
    std::string buf = c.first;
    std::vector<std::string> got;
    for (char* rest = &buf[0]; rest != nullptr;) got.push_back(get_next_str(rest, &rest, ','));
    EXPECT_EQ(got, c.second) << c.first;
  }
}

TEST(Hex2HexStr, WritesUpperCaseDigitPairs) {
  const std::pair<std::vector<unsigned char>, const char*> cases[] = {
      {{0x4F, 0x60}, "4F60"},
      {{}, ""},
      {{0x00, 0xFF, 0xA5, 0x0B}, "00FFA50B"},
  };
  for (const auto& c : cases) {
    char out[323];
    std::memset(out, 'x', sizeof out);
    Hex2HexStr(out, reinterpret_cast<const char*>(c.first.data()), static_cast<int>(c.first.size()));
    EXPECT_STREQ(out, c.second);
  }
}

TEST(Hex2HexStr, LimitsTheLength) {
  char bytes[162];
  std::memset(bytes, 0xAB, sizeof bytes);
  char out[323];
  Hex2HexStr(out, bytes, 161);
  EXPECT_EQ(std::strlen(out), 322u);

  std::memset(out, 'x', sizeof out);
  ConsoleCapture console;
  Hex2HexStr(out, bytes, 162);
  EXPECT_EQ(console.Text(), "Over size.\r\n");
  EXPECT_EQ(out[0], 'x');  // nothing written
}

struct UnhexCase {
  const char* text;
  std::vector<unsigned char> bytes;  // the rest of the 161 must be zero
};

TEST(HexStr2Hex, ConvertsPairsIntoExactly161Bytes) {
  const UnhexCase cases[] = {
      {"4F60AB", {0x4F, 0x60, 0xAB}},
      {"ff0a", {0xFF, 0x0A}},
      {"4G", {0x04}},   // a non-digit ends the number of its pair
      {"G4", {0x00}},
      {"4F6", {0x4F, 0x06}},  // a lone last digit
      {"", {}},
  };
  for (const UnhexCase& c : cases) {
    char out[170];
    std::memset(out, 0x55, sizeof out);
    HexStr2Hex(c.text, out);
    std::vector<unsigned char> want(c.bytes);
    want.resize(161, 0);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 161), want) << c.text;
    EXPECT_EQ(out[161], 0x55) << "wrote past 161 bytes for " << c.text;
  }
}

TEST(HexStr2Hex, TakesAtMost280DigitsAndRoundTrips) {
  std::vector<char> bytes(140);
  for (int i = 0; i < 140; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  char hex[323];
  Hex2HexStr(hex, bytes.data(), 140);
  std::string longer = std::string(hex) + "ABCDEF";  // digits beyond 280 are ignored
  char out[161];
  HexStr2Hex(longer.c_str(), out);
  EXPECT_EQ(std::memcmp(out, bytes.data(), 140), 0);
  for (int i = 140; i < 161; ++i) EXPECT_EQ(out[i], 0) << i;
}

TEST(PhoneNumberChk, MatchesOnTheLastSixCharacters) {
  char list[kCtrlPhoneCount][kPhoneSize] = {};
  std::strcpy(list[0], "+886912345678");
  std::strcpy(list[1], "0987654321");
  std::strcpy(list[3], "12345");
  std::memset(list[9], '7', kPhoneSize);  // no terminating zero: must not be read past
  const std::pair<const char*, int> cases[] = {
      {"0912345678", 1},       // national form of entry 0
      {"+886987654321", 1},    // international form of entry 1
      {"345678", 1},           // exactly six characters
      {"0911111111", 0},
      {"", 0},                 // an empty sender never matches
      {"12345", 1},            // a short sender matches an equal entry
      {"2345", 0},             // ... but not one that merely contains it
      {"77777777777777777777", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(phone_number_chk(c.first, list), c.second) << c.first;
  char empty[kCtrlPhoneCount][kPhoneSize] = {};
  EXPECT_EQ(phone_number_chk("0912345678", empty), 0);
}

}  // namespace
