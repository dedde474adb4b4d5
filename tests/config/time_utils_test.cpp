#include <cstring>
#include <string>

#include "config/time_utils.h"
#include "config_test_env.h"
#include "hw/rtc.h"

namespace {

class TimeUtilsTest : public configtest::ConfigTest {};

TEST_F(TimeUtilsTest, GetTimeStrModes) {
  const std::pair<char, const char*> cases[] = {
      {'d', "2021/07/13"},          {'t', "08:15:09"},        {'T', "08:15:09.123"},
      {'q', "081509"},              {'w', "2021/07/13 08:15:09"}, {'x', "20210713;081509"},
      {'a', "20210713_081509"},     {'s', "20210713_081509"},
  };
  for (const auto& c : cases) {
    char out[40];
    int n = getTimeStr(out, c.first);
    EXPECT_STREQ(out, c.second) << c.first;
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.second))) << c.first;
  }
}

TEST_F(TimeUtilsTest, SecondsArithmetic) {
  const uint32_t now = 1626164109;
  EXPECT_EQ(GetSystemTimeSeconds(), now);
  EXPECT_EQ(GetNowTodaySeconds(), 8u * 3600 + 15 * 60 + 9);
  EXPECT_EQ(GetTimeToday0000Seconds(), 1626134400u);
  EXPECT_EQ(TimeAddDaySeconds(now, 30), now + 30 * 86400);

  char date[9];
  char time[7];
  EXPECT_EQ(SecondToStr(1626134400u + 86399, date, time), time);
  EXPECT_STREQ(date, "20210713");
  EXPECT_STREQ(time, "235959");
}

TEST(GetTimeTodaySeconds, DigitsWithoutValidation) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"000000", 0}, {"235959", 86399}, {"120000", 43200}, {"000060", 60}, {"12", 43200},
  };
  for (const auto& c : cases) EXPECT_EQ(GetTimeTodaySeconds(c.first), c.second) << c.first;
}

TEST(IsYMD, Table) {
  const std::pair<const char*, int> cases[] = {
      {"20210713", 1}, {"20210231", 1},  // no days-per-month check
      {"20211301", 0}, {"20210100", 0}, {"20210132", 0}, {"00000101", 0},
      {"2021071", 0},                    // too short: refused, not read past its end
      {"202107131200", 1},               // only the first eight characters count
      {"20211a01", 1},                   // "1a" reads as 1
      {"2021ab01", 0},                   // "ab" reads as 0
      {"-0010101", 0},                   // a negative year
      {"2021-101", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(IsYMD(c.first), c.second) << c.first;
  EXPECT_EQ(IsYMD(nullptr), 0);
}

TEST(IsHMS, Table) {
  const std::pair<const char*, int> cases[] = {
      {"000000", 1}, {"235960", 1}, {"240000", 0}, {"236000", 0}, {"235961", 0},
      {"12000", 0},  {"1a0000", 1}, {"-10000", 0}, {"0000-1", 0}, {"2359591", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(IsHMS(c.first), c.second) << c.first;
  EXPECT_EQ(IsHMS(nullptr), 0);
}

TEST_F(TimeUtilsTest, GetTimeTicksIsMillisecondsTruncatedTo32Bits) {
  const uint64_t ms = 1626164109ULL * 1000 + 123;
  EXPECT_EQ(GetTimeTicks(), static_cast<uint32_t>(ms));

  // Just before a wrap of the 32-bit tick, and 2.5 s later: the unsigned
  // difference still gives the elapsed time.
  const int64_t wrap_ms = ((ms >> 32) + 1) << 32;
  clock_->SetUs((wrap_ms - 1000) * 1000);
  uint32_t before = GetTimeTicks();
  EXPECT_EQ(before, 0xFFFFFFFFu - 999);
  clock_->Advance(2500 * 1000);
  uint32_t after = GetTimeTicks();
  EXPECT_LT(after, before);
  EXPECT_EQ(after - before, 2500u);
}

TEST_F(TimeUtilsTest, SetSystemTimeFillsSysrtc) {
  Sysrtc = RtcTime{1, 2, 3, 4, 5, 2000, 3};
  configtest::ConsoleCapture quiet;  // the clock chip is not on this bus
  SetSystemTime("20210713", "081509");
  EXPECT_EQ(Sysrtc.year, 2021);
  EXPECT_EQ(Sysrtc.mon, 7);
  EXPECT_EQ(Sysrtc.mday, 13);
  EXPECT_EQ(Sysrtc.hour, 8);
  EXPECT_EQ(Sysrtc.min, 15);
  EXPECT_EQ(Sysrtc.sec, 9);
  EXPECT_EQ(Sysrtc.wday, 3);  // left as it was

  Sysrtc = RtcTime{1, 2, 3, 4, 5, 2000, 3};
  EXPECT_EQ(SetSystemTime("2021071", "081509"), 0);
  EXPECT_EQ(SetSystemTime("20210713", "0815"), 0);
  EXPECT_EQ(Sysrtc.year, 2000);  // untouched
}

}  // namespace
