// Random, truncated and mangled input: the codec yields a value or an error,
// never a read or write outside its buffers (run under the sanitizers).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "modem/pdu_codec.h"

namespace {

// Decodes from a heap copy of exactly the text's size, so that the address
// sanitizer sees any read past the terminator.
int DecodeExact(const std::string& text, pdu_param* p) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return gsmDecodePdu(copy.get(), p);
}

void ExpectSane(int result, const pdu_param& p, const std::string& input) {
  if (result < 0) {
    EXPECT_EQ(result, -1) << input;
    return;
  }
  EXPECT_LE(std::strlen(p.SCA), 15u) << input;
  EXPECT_LE(std::strlen(p.TPA), 15u) << input;
  EXPECT_LE(std::strlen(p.TP_SCTS), 14u) << input;
  if (p.TP_DCS == 0) {
    EXPECT_LE(p.TP_UDL, kPduMaxSeptets) << input;
    EXPECT_LE(result, p.TP_UDL) << input;
    EXPECT_EQ(std::strlen(p.TP_UD), static_cast<size_t>(result)) << input;
  } else {
    EXPECT_LE(p.TP_UDL, kPduMaxOctets) << input;
    EXPECT_EQ(result, p.TP_UDL) << input;
  }
}

const char* const kValidPdus[] = {
    "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",
    "0791947101670000000D91945111325476F80000127031805100000BE83468C3C36F7CA04D19",
    "0791947101670000000D91945111325476F80008127031805100000C0047007200FC00DF00204E2D",
    "0791947101670000000D91945111325476F8000412703180510000030001FF",
    "000405812143F50000" "12703180510000" "05E8329BFD06",
};

TEST(PduRobustnessTest, RandomText) {
  std::mt19937 rng(4404);
  const char digits[] = "0123456789ABCDEFabcdef";
  for (int round = 0; round < 40000; ++round) {
    // Half hexadecimal digits only, half any non-zero bytes.
    bool hex_only = round % 2 == 0;
    std::string text;
    size_t len = rng() % 420;
    for (size_t i = 0; i < len; ++i) {
      text += hex_only ? digits[rng() % 22] : static_cast<char>(1 + rng() % 255);
    }
    pdu_param p;
    ExpectSane(DecodeExact(text, &p), p, text);
  }
}

TEST(PduRobustnessTest, TruncatedAndMangledPdus) {
  std::mt19937 rng(806);
  const char digits[] = "0123456789ABCDEF\r G";
  for (int round = 0; round < 20000; ++round) {
    std::string text = kValidPdus[rng() % (sizeof(kValidPdus) / sizeof(kValidPdus[0]))];
    int edits = static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      size_t at = rng() % text.size();
      switch (rng() % 4) {
        case 0: text[at] = digits[rng() % 19]; break;
        case 1: text.insert(at, 1, digits[rng() % 16]); break;
        case 2: text.erase(at, 1); break;
        default: text.resize(at); break;
      }
    }
    pdu_param p;
    ExpectSane(DecodeExact(text, &p), p, text);
  }
}

TEST(PduRobustnessTest, RandomParametersEncodeWithinBounds) {
  std::mt19937 rng(16);
  int refused = 0;
  for (int round = 0; round < 20000; ++round) {
    pdu_param p;
    auto* raw = reinterpret_cast<uint8_t*>(&p);
    for (size_t i = 0; i < sizeof(p); ++i) raw[i] = static_cast<uint8_t>(rng());
    if (round % 2 == 0) {
      // Mostly valid destinations, so that the user data paths are reached.
      std::string number = (rng() % 3 == 0) ? "+" : "";
      int n = static_cast<int>(rng() % 17);
      for (int i = 0; i < n; ++i) number += static_cast<char>('0' + rng() % 10);
      std::memcpy(p.TPA, number.c_str(), number.size() + 1);
    }
    if (round % 3 == 0) p.TP_DCS = 0;
    std::unique_ptr<char[]> text(new char[kPduTextSize]);
    int length = gsmEncodePdu(&p, text.get());
    size_t written = std::strlen(text.get());
    ASSERT_LT(written, static_cast<size_t>(kPduTextSize));
    if (length < 0) {
      ASSERT_EQ(length, -1);
      ASSERT_EQ(written, 0u);
      ++refused;
    } else {
      ASSERT_EQ(static_cast<size_t>(length), (written - 2) / 2);
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_LT(refused, 20000);
}

}  // namespace
