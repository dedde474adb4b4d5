// The GSM default alphabet table and the ISO-8859-1 conversions.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "modem/gsm_alphabet.h"

namespace {

std::vector<uint8_t> ToGsm(const std::string& iso) {
  std::vector<uint8_t> out(2 * iso.size() + 1, 0xEE);
  int n = gsmIso27Bit(iso.data(), out.data(), static_cast<int>(iso.size()));
  EXPECT_EQ(out[static_cast<size_t>(n)], 0) << "terminator";
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string ToIso(const std::vector<uint8_t>& codes) {
  std::string out(codes.size() + 1, '\x7F');
  int n = gsm7Bit2Iso(codes.data(), &out[0], static_cast<int>(codes.size()));
  EXPECT_EQ(out[static_cast<size_t>(n)], '\0') << "terminator";
  out.resize(static_cast<size_t>(n));
  return out;
}

TEST(PduAlphabetTest, TableProperties) {
  std::set<uint8_t> seen;
  for (int code = 0; code < 128; ++code) {
    EXPECT_NE(Table7Bit2Iso[code], 0) << code;
    EXPECT_TRUE(seen.insert(Table7Bit2Iso[code]).second) << "twice: " << code;
  }
  EXPECT_EQ(Table7Bit2Iso[0x10], 0x10);
  for (int code = 0x12; code <= 0x1B; ++code) EXPECT_EQ(Table7Bit2Iso[code], code);
  EXPECT_EQ(Table7Bit2Iso[0x24], 0xA4);
}

TEST(PduAlphabetTest, EveryEscapeBothWays) {
  struct Row {
    uint8_t iso;
    uint8_t code;
  };
  const Row rows[] = {
      {0x0C, 0x0A}, {'^', 0x14}, {'{', 0x28}, {'}', 0x29}, {'\\', 0x2F},
      {'[', 0x3C},  {'~', 0x3D}, {']', 0x3E}, {'|', 0x40}, {0xA4, 0x65},
  };
  for (const Row& row : rows) {
    std::string iso(1, static_cast<char>(row.iso));
    EXPECT_EQ(ToGsm(iso), (std::vector<uint8_t>{0x1B, row.code})) << int{row.iso};
    EXPECT_EQ(ToIso({0x1B, row.code}), iso) << int{row.code};
    EXPECT_EQ(gsmIsoSeptets(row.iso), 2);
  }
}

TEST(PduAlphabetTest, EveryTableCharacterRoundTrips) {
  for (int code = 0; code < 128; ++code) {
    if (code == 0x1B || code == 0x24) continue;  // escape; 0xA4 goes out as the euro pair
    std::string iso(1, static_cast<char>(Table7Bit2Iso[code]));
    EXPECT_EQ(ToGsm(iso), (std::vector<uint8_t>{static_cast<uint8_t>(code)})) << code;
    EXPECT_EQ(ToIso({static_cast<uint8_t>(code)}), iso) << code;
    EXPECT_EQ(gsmIsoSeptets(static_cast<uint8_t>(iso[0])), 1);
  }
}

TEST(PduAlphabetTest, CharactersOutsideTheAlphabet) {
  struct Row {
    std::string iso;
    std::vector<uint8_t> codes;
  };
  const Row rows[] = {
      {"`", {0x60}},                   // passes as its own code
      {"\t", {0x09}},                  // control characters too
      {"\xE1", {0x3F}},                // a-acute has no code: "?"
      {"\xB0 C", {0x3F, 0x20, 0x43}},  // degree sign
      {"$", {0x02}},
      {"@", {0x00}},
      {"", {}},
  };
  for (const Row& row : rows) EXPECT_EQ(ToGsm(row.iso), row.codes) << row.iso;
}

TEST(PduAlphabetTest, EscapeWithoutExtensionCode) {
  // An escape before a code outside the extension table, or at the very end,
  // is kept as 0x1B and the next code converted on its own.
  EXPECT_EQ(ToIso({0x41, 0x1B, 0x41, 0x42}), "A\x1B" "AB");
  EXPECT_EQ(ToIso({0x41, 0x1B}), "A\x1B");
  EXPECT_EQ(ToIso({0x1B, 0x1B, 0x3C}), "\x1B[");
  // The code after the last one is never read: here it would make a pair.
  std::vector<uint8_t> codes = {0x41, 0x1B, 0x3C};
  std::string out(4, '\0');
  EXPECT_EQ(gsm7Bit2Iso(codes.data(), &out[0], 2), 2);
  EXPECT_EQ(out.substr(0, 2), "A\x1B");
}

}  // namespace
