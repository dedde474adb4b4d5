// Field helpers of the PDU codec: hex text, semi-octets, 7-bit packing.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "modem/pdu_fields.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::vector<char> text(2 * bytes.size() + 1);
  gsmBytes2String(bytes.data(), text.data(), static_cast<int>(bytes.size()));
  return text.data();
}

std::vector<uint8_t> Septets(const std::string& ascii) {
  return std::vector<uint8_t>(ascii.begin(), ascii.end());
}

// Packs `septets` the way the encoder calls it: count plus one zero septet.
std::string Pack(std::vector<uint8_t> septets) {
  septets.push_back(0);
  std::vector<uint8_t> octets(septets.size());
  int n = gsmEncode7bit(septets.data(), octets.data(), static_cast<int>(septets.size()));
  octets.resize(static_cast<size_t>(n));
  return Hex(octets);
}

TEST(PduFieldsTest, HexTextBothWays) {
  const uint8_t bytes[] = {0x00, 0x1A, 0xA5, 0xFF, 0x09};
  char text[11];
  EXPECT_EQ(gsmBytes2String(bytes, text, 5), 10);
  EXPECT_STREQ(text, "001AA5FF09");

  struct Row {
    const char* text;
    int n;
    int result;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      {"001AA5FF09", 10, 5, {0x00, 0x1A, 0xA5, 0xFF, 0x09}},
      {"e8329bfd", 8, 4, {0xE8, 0x32, 0x9B, 0xFD}},  // lower case is read too
      {"ABC", 3, 1, {0xAB}},                         // odd last character ignored
      {"", 0, 0, {}},
      {"0G", 2, -1, {}},
      {"1\r", 2, -1, {}},
      {"12 4", 4, -1, {}},
  };
  for (const Row& row : rows) {
    uint8_t out[8] = {};
    EXPECT_EQ(gsmString2Bytes(row.text, out, row.n), row.result) << row.text;
    if (row.result > 0) {
      EXPECT_EQ(std::vector<uint8_t>(out, out + row.result), row.bytes) << row.text;
    }
  }
}

TEST(PduFieldsTest, SemiOctetsBothWays) {
  struct Row {
    const char* digits;
    const char* semi_octets;
  };
  const Row rows[] = {
      {"12345", "2143F5"},
      {"1234567890", "2143658709"},
      {"1", "F1"},
      {"", ""},
      {"123456789012345", "21436587092143F5"},
  };
  for (const Row& row : rows) {
    int n = static_cast<int>(std::strlen(row.digits));
    char text[24];
    EXPECT_EQ(gsmInvertNumbers(row.digits, text, n), n + (n & 1)) << row.digits;
    EXPECT_STREQ(text, row.semi_octets);

    char digits[24];
    int m = static_cast<int>(std::strlen(row.semi_octets));
    EXPECT_EQ(gsmSerializeNumbers(row.semi_octets, digits, m), n) << row.semi_octets;
    EXPECT_STREQ(digits, row.digits);
  }

  // Lower case from a hand-typed PDU, letters of the extended semi-octets,
  // and an odd count whose last character has no partner.
  char digits[24];
  EXPECT_EQ(gsmSerializeNumbers("2143f5", digits, 6), 5);
  EXPECT_STREQ(digits, "12345");
  EXPECT_EQ(gsmSerializeNumbers("A1B2", digits, 4), 4);
  EXPECT_STREQ(digits, "1A2B");
  EXPECT_EQ(gsmSerializeNumbers("21436", digits, 5), 4);
  EXPECT_STREQ(digits, "1234");
}

TEST(PduFieldsTest, SevenBitPackingExamples) {
  struct Row {
    const char* text;
    const char* packed;
  };
  const Row rows[] = {
      {"", ""},
      {"A", "41"},
      {"hello", "E8329BFD06"},
      {"1234567", "31D98C56B3DD00"},     // 7 septets: 49 bits in 7 octets
      {"12345678", "31D98C56B3DD70"},    // 8 septets fill 7 octets exactly
      {"123456789", "31D98C56B3DD7039"},  // 9 septets start an eighth
      {"hellohello", "E8329BFD4697D9EC37"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Pack(Septets(row.text)), row.packed) << row.text;
  }
  EXPECT_EQ(Pack({0x1B, 0x3C}), "1B1E");
  EXPECT_EQ(Pack(std::vector<uint8_t>(8, 0x7F)), "FFFFFFFFFFFFFF");
  EXPECT_EQ(Pack(std::vector<uint8_t>(9, 0x7F)), "FFFFFFFFFFFFFF7F");
}

TEST(PduFieldsTest, SevenOctetsUnpackToEightSeptets) {
  const uint8_t packed[] = {0x31, 0xD9, 0x8C, 0x56, 0xB3, 0xDD, 0x70};
  uint8_t septets[10];
  EXPECT_EQ(gsmDecode7bit(packed, septets, 7), 8);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(septets)), "12345678");
}

TEST(PduFieldsTest, PackingRoundTripsForEveryLength) {
  std::mt19937 rng(806);
  for (int count = 0; count <= 160; ++count) {
    std::vector<uint8_t> septets(static_cast<size_t>(count) + 1);
    for (int i = 0; i < count; ++i) septets[static_cast<size_t>(i)] = rng() & 0x7F;
    septets[static_cast<size_t>(count)] = 0;
    uint8_t octets[141] = {};
    int n = gsmEncode7bit(septets.data(), octets, count + 1);
    ASSERT_EQ(n, (7 * count + 7) / 8) << count;
    uint8_t back[164];
    int m = gsmDecode7bit(octets, back, n);
    ASSERT_GE(m, count);
    for (int i = 0; i < count; ++i) ASSERT_EQ(back[i], septets[static_cast<size_t>(i)]) << count;
  }
}

}  // namespace
