#include "sim/rtc_file.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/board_files.h"
#include "temp_root.h"

namespace {

// 2021-07-13 08:15:30 UTC, a Tuesday.
constexpr time_t kHostNow = 1626164130;

TEST(RtcFile, RegistersFollowTheOffset) {
  struct Row {
    long long offset;
    int shift;
    const char* time;  // register time
    int wday;
  };
  const Row rows[] = {
      {0, 0, "2021-07-13 08:15:30", 2},
      {3600, 0, "2021-07-13 09:15:30", 2},
      {-8 * 3600 - 16 * 60, 0, "2021-07-12 23:59:30", 1},
      {0, 3, "2021-07-13 08:15:30", 5},  // a weekday register set wrong
      {0, 6, "2021-07-13 08:15:30", 1},
  };
  for (const auto& r : rows) {
    sim::RtcFile f;
    f.offset_s = r.offset;
    f.wday_shift = r.shift;
    struct tm t = sim::RtcRegisters(f, kHostNow);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
    EXPECT_STREQ(text, r.time) << r.offset;
    EXPECT_EQ(t.tm_wday, r.wday) << r.offset;
  }
}

TEST(RtcFile, SetThenReadBackThroughTheFile) {
  TempRoot dir;
  std::string path = dir.path() + "/rtc";
  struct tm wanted {};
  ASSERT_TRUE(sim::ParseRtcTime("2024-02-29", "23:59:50", &wanted));
  ASSERT_TRUE(sim::WriteRtcFile(path, sim::RtcFileFor(wanted, kHostNow)));

  std::string text;
  ASSERT_TRUE(sim::ReadFile(path, &text));
  EXPECT_EQ(text, std::to_string(1709251190LL - kHostNow) + " 0\n");

  // Twenty seconds later the chip has run on into March.
  struct tm later = sim::RtcRegisters(sim::ReadRtcFile(path, kHostNow + 20), kHostNow + 20);
  EXPECT_EQ(later.tm_year + 1900, 2024);
  EXPECT_EQ(later.tm_mon + 1, 3);
  EXPECT_EQ(later.tm_mday, 1);
  EXPECT_EQ(later.tm_sec, 10);
  EXPECT_EQ(later.tm_wday, 5);  // a Friday
}

TEST(RtcFile, MissingOrGarbledFileMeansHostLocalTime) {
  TempRoot dir;
  struct tm local {};
  localtime_r(&kHostNow, &local);
  for (const char* content : {static_cast<const char*>(nullptr), "", "garbage\n", "12\n"}) {
    std::string path = dir.path() + "/rtc";
    if (content) {
      ASSERT_TRUE(sim::ReplaceFile(path, content));
    }
    sim::RtcFile f = sim::ReadRtcFile(path, kHostNow);
    EXPECT_EQ(f.offset_s, local.tm_gmtoff);
    EXPECT_EQ(f.wday_shift, 0);
    struct tm regs = sim::RtcRegisters(f, kHostNow);
    EXPECT_EQ(regs.tm_hour, local.tm_hour);
    EXPECT_EQ(regs.tm_mday, local.tm_mday);
  }
}

}  // namespace
