// Cutting fields out of texts: the two copy helpers of the modem layer.
#include "modem/at_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(AtFieldsTest, StrcpyWithStrBoundsTheField) {
  // A guard after the field shows any write past it.
  struct {
    char field[kAtFieldSize];
    char guard[8];
  } area;
  std::memset(area.guard, 'G', sizeof area.guard);
  EXPECT_EQ(strcpyWithStr(area.field, "12345678901234567890123456789,", ","), 1);
  EXPECT_STREQ(area.field, "1234567890123456789");
  EXPECT_EQ(std::string(area.guard, sizeof area.guard), std::string(8, 'G'));
  // The delimiter is a whole string; without it the field is left alone.
  EXPECT_EQ(strcpyWithStr(area.field, "a\rb\r\nc", "\r\n"), 1);
  EXPECT_STREQ(area.field, "a\rb");
  EXPECT_EQ(strcpyWithStr(area.field, "abc", ","), 0);
  EXPECT_EQ(strcpyWithStr(area.field, nullptr, ","), 0);
  EXPECT_EQ(strcpyWithStr(area.field, "a,b", ""), 0);
  EXPECT_STREQ(area.field, "a\rb");
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
