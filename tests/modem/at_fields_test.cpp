// Cutting fields out of texts: the two copy helpers of the modem layer.
#include "modem/at_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(AtFieldsTest, StrcpyWithStr) {
  struct Row {
    const char* src;
    const char* delimiter;
    int result;
    const char* dst;  // "unchanged" when the result is 0
  };
  const Row rows[] = {
      {"0,1\r\nOK", "\r", 1, "0,1"},
      {"abc,def", ",", 1, "abc"},
      {",x", ",", 1, ""},
      {"abc", ",", 0, "unchanged"},
      {"", ",", 0, "unchanged"},
      // The delimiter is a whole string, not a set of characters.
      {"a\rb\r\nc", "\r\n", 1, "a\rb"},
      // 19 characters fit; more are cut.
      {"1234567890123456789,", ",", 1, "1234567890123456789"},
      {"12345678901234567890123456789,", ",", 1, "1234567890123456789"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.src);
    // A guard after the field shows any write past it.
    struct {
      char field[kAtFieldSize];
      char guard[8];
    } area;
    std::strcpy(area.field, "unchanged");
    std::memset(area.guard, 'G', sizeof area.guard);
    EXPECT_EQ(strcpyWithStr(area.field, r.src, r.delimiter), r.result);
    EXPECT_STREQ(area.field, r.dst);
    EXPECT_EQ(std::string(area.guard, sizeof area.guard), std::string(8, 'G'));
  }
  char small[4] = "abc";
  EXPECT_EQ(strcpyWithStr(small, sizeof small, "123456,", ","), 1);
  EXPECT_STREQ(small, "123");
  EXPECT_EQ(strcpyWithStr(small, nullptr, ","), 0);
  EXPECT_EQ(strcpyWithStr(small, "a,b", ""), 0);
  EXPECT_STREQ(small, "123");
}

TEST(AtFieldsTest, StrncpyChr) {
  struct Row {
    const char* src;
    int max;
    char stop;
    int result;
    const char* dst;  // nullptr: no terminator written
  };
  const Row rows[] = {
      {"SIM7100C\nOK", 30, '\n', 8, "SIM7100C"},
      {"abc", 30, '\n', 3, "abc"},
      {"\nabc", 30, '\n', 0, ""},
      {"abcdef", 3, '\n', 0, nullptr},
      {"abc\n", 3, '\n', 0, nullptr},
      {"ab\n", 3, '\n', 2, "ab"},
      {"abc", 0, '\n', 0, nullptr},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.src);
    char dst[40];
    std::memset(dst, 'x', sizeof dst);
    EXPECT_EQ(STRNCPY_CHR(dst, r.src, r.max, r.stop), r.result);
    if (r.dst != nullptr) {
      EXPECT_STREQ(dst, r.dst);
    } else {
      // Exactly `max` characters copied, nothing written after them.
      EXPECT_EQ(std::string(dst, r.max), std::string(r.src, r.max));
      EXPECT_EQ(dst[r.max], 'x');
    }
  }
}

}  // namespace
