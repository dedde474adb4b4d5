// The user-log ring and the user-log line format.
#include <gtest/gtest.h>

#include <string>

#include "log/log_ring.h"
#include "log/log_writer.h"
#include "log_test_env.h"

namespace {

using logtest::LogStoreTest;

std::string Line(const LogRecord& r) {
  char out[256];
  int n = LogFormatRecord(r, out, sizeof out);
  return std::string(out, static_cast<size_t>(n));
}

TEST_F(LogStoreTest, RecordsFormatAsTheirUserLogLines) {
  struct Row {
    int main_code, sub_code, with_modem_info;
    const char* phone;  // nullptr: LogPush
    int creg, csq;
    const char* line;
  };
  const Row rows[] = {
      {4, 0, 1, "123", 1, 20,
       "{\"T\":\"08:15:00\",\"E\":{\"M\":\"4\",\"S\":\"0\"},\"MI\":{\"R\":\"1\",\"SQ\":\"20\"},\"P\":\"123\"},\r\n"},
      {1, 0, 0, nullptr, 1, 20,
       "{\"T\":\"08:15:00\",\"E\":{\"M\":\"1\",\"S\":\"0\"},\"MI\":{\"R\":\"*\",\"SQ\":\"*\"},\"P\":\"*\"},\r\n"},
      // With modem info but no phone: an empty phone.
      {8, 0, 1, nullptr, 5, 31,
       "{\"T\":\"08:15:00\",\"E\":{\"M\":\"8\",\"S\":\"0\"},\"MI\":{\"R\":\"5\",\"SQ\":\"31\"},\"P\":\"\"},\r\n"},
      // A phone given without modem info is not stored.
      {5, 0, 0, "0912345678", 1, 20,
       "{\"T\":\"08:15:00\",\"E\":{\"M\":\"5\",\"S\":\"0\"},\"MI\":{\"R\":\"*\",\"SQ\":\"*\"},\"P\":\"*\"},\r\n"},
      {2, 16, 0, nullptr, 0, 0,
       "{\"T\":\"08:15:00\",\"E\":{\"M\":\"2\",\"S\":\"16\"},\"MI\":{\"R\":\"*\",\"SQ\":\"*\"},\"P\":\"*\"},\r\n"},
      // The phone field holds at most 20 characters.
      {4, 0, 1, "+8869123456789012345678", 2, 99,
       "{\"T\":\"08:15:00\",\"E\":{\"M\":\"4\",\"S\":\"0\"},\"MI\":{\"R\":\"2\",\"SQ\":\"99\"},"
       "\"P\":\"+8869123456789012345\"},\r\n"},
  };
  for (const Row& r : rows) {
    modem_creg = r.creg;
    modem_csq = r.csq;
    if (r.phone)
      LogPushPhone(r.main_code, r.sub_code, r.with_modem_info, r.phone);
    else
      LogPush(r.main_code, r.sub_code, r.with_modem_info);
    LogRecord rec;
    ASSERT_TRUE(LogPeekOldest(&rec));
    EXPECT_EQ(Line(rec), r.line);
    LogPopIdx();
  }
  EXPECT_EQ(LogPushIdx(), 0);
}

TEST_F(LogStoreTest, ThirtyPushesLeaveTwentyNine) {
  for (int i = 0; i < 30; ++i) LogPush(1, i, 0);
  EXPECT_EQ(LogPushIdx(), 29);
  // The oldest waits first; the thirtieth was dropped.
  for (int i = 0; i < 29; ++i) {
    LogRecord rec;
    ASSERT_TRUE(LogPeekOldest(&rec));
    EXPECT_EQ(std::string(rec.sub_code), std::to_string(i));
    EXPECT_EQ(LogPopIdx(), 29 - i);
  }
  EXPECT_EQ(LogPopIdx(), 0);
  EXPECT_EQ(LogPushIdx(), 0);
}

TEST_F(LogStoreTest, RingKeepsOrderAcrossTheWrap) {
  int next_in = 0, next_out = 0;
  for (int round = 0; round < 7; ++round) {
    for (int i = 0; i < 13; ++i) LogPush(1, (next_in++) % 100, 0);
    for (int i = 0; i < 11; ++i) {
      LogRecord rec;
      ASSERT_TRUE(LogPeekOldest(&rec));
      EXPECT_EQ(std::string(rec.sub_code), std::to_string((next_out++) % 100));
      LogPopIdx();
    }
    EXPECT_EQ(LogPushIdx(), next_in - next_out);
    EXPECT_GE(logInIdx.load(), 0);
    EXPECT_LT(logInIdx.load(), kLogSlots);
  }
}

}  // namespace
