#include "sim/rtc_time_text.h"

#include <gtest/gtest.h>

namespace {

TEST(RtcTimeText, OnlyWhatTheChipCanHold) {
  struct Row {
    const char* date;
    const char* time;
    bool ok;
  };
  const Row rows[] = {
      {"2024-02-29", "23:59:59", true},  {"2000-01-01", "00:00:00", true},
      {"2099-12-31", "23:59:59", true},  {"2023-02-29", "12:00:00", false},
      {"1999-12-31", "12:00:00", false}, {"2100-01-01", "12:00:00", false},
      {"2024-04-31", "12:00:00", false}, {"2024-1-01", "12:00:00", false},
      {"2024-01-01", "24:00:00", false}, {"2024-01-01", "12:60:00", false},
      {"2024-01-01", "12:00", false},    {"2024/01/01", "12:00:00", false},
  };
  for (const auto& r : rows) {
    struct tm t {};
    EXPECT_EQ(sim::ParseRtcTime(r.date, r.time, &t), r.ok) << r.date << " " << r.time;
  }
  struct tm t {};
  ASSERT_TRUE(sim::ParseRtcTime("2024-02-29", "23:59:58", &t));
  EXPECT_EQ(t.tm_year, 124);
  EXPECT_EQ(t.tm_mon, 1);
  EXPECT_EQ(t.tm_mday, 29);
  EXPECT_EQ(t.tm_sec, 58);
}

}  // namespace
