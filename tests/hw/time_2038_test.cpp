// The clock after January 2038, when seconds since 1970 no longer fit a signed
// 32-bit number: the board (32-bit ARM) is built with a 64-bit time_t, so the
// clocks and time texts go on. Report times stay unsigned 32-bit, until 2106.
#include <mutex>
#include <tuple>

#include "config/time_utils.h"
#include "hw/clock_sync.h"
#include "hw_test_env.h"

namespace {

// Central European time with its summer time rule; a rule, not a zone file,
// so the test needs no time zone data.
constexpr const char* kCet = "CET-1CEST,M3.5.0,M10.5.0/3";

using Time2038Test = hwtest::SimBoardTest;

TEST_F(Time2038Test, WallClockTextsAndTimesOfDay) {
  const std::tuple<int64_t, const char*, std::string> rows[] = {  // seconds since 1970 UTC, zone, local time
      {2147483647LL, "UTC0", "2038/01/19 03:14:07"},  // the last second a signed 32-bit count holds
      {2147483648LL, "UTC0", "2038/01/19 03:14:08"},
      {2214172799LL, "UTC0", "2040/02/29 23:59:59"},  // leap day 2040
      {2224715400LL, kCet, "2040/07/01 02:30:00"},    // summer time
      {2240609400LL, kCet, "2041/01/01 00:30:00"},    // a local new year, still 2040 in UTC
      {4294967295LL, kCet, "2106/02/07 07:28:15"},    // the last second of the report times
  };
  for (const auto& [now, tz, local] : rows) {
    SCOPED_TRACE(local);
    UseZone(tz);
    InstallFakeClock(now)->Advance(250000);
    const std::string ymd = local.substr(0, 4) + local.substr(5, 2) + local.substr(8, 2);
    const std::string hms = local.substr(11, 2) + local.substr(14, 2) + local.substr(17, 2);
    char date[9] = {}, time[7] = {}, text[40];
    EXPECT_EQ(SecondToStr(static_cast<uint32_t>(now), date, time), hms);
    EXPECT_EQ(date, ymd);
    EXPECT_EQ(std::string(text, getTimeStr(text, 'x')), ymd + ";" + hms);
    EXPECT_EQ(std::string(text, getTimeStr(text, 'w')), local);
    EXPECT_EQ(std::string(text, getTimeStr(text, 'T')), local.substr(11) + ".250");
    EXPECT_EQ(GetNowTodaySeconds(), GetTimeTodaySeconds(hms.c_str()));
    SecondToStr(GetTimeToday0000Seconds(), date, time);
    EXPECT_EQ(std::string(date) + ";" + time, ymd + ";000000");
  }
  // A report due time moved on past the signed limit (in the last row's zone).
  char date[9] = {}, time[7] = {};
  SecondToStr(TimeAddDaySeconds(2147397247u, 2), date, time);  // 2038-01-18 + 2 days
  EXPECT_EQ(std::string(date) + ";" + time, "20380120;041407");
  SecondToStr(TimeAddDaySeconds(2214131670u, 366), date, time);  // 2040-02-29 + a leap year
  EXPECT_EQ(std::string(date) + ";" + time, "20410301;133430");
}

// Setting the time by command writes the simulated chip; at the next start
// the system clock is set from it, as local time.
TEST_F(Time2038Test, TimeSetThroughTheChipBecomesTheSystemClock) {
  struct Row {
    const char *ymd, *hms, *tz;
    int64_t utc;  // what the system clock must show
    int wday;
  } const rows[] = {
      {"20380119", "031408", "UTC0", 2147483648LL, 2},
      {"20400229", "123430", "UTC0", 2214131670LL, 3},
      {"20400701", "023030", kCet, 2224715430LL, 0},    // summer time: UTC+2
      {"20991231", "235930", "UTC0", 4102444770LL, 4},  // the last year the chip holds
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.ymd) + " " + r.hms + " " + r.tz);
    UseZone(r.tz);
    InstallFakeClock(1600000000);
    {
      std::lock_guard<std::recursive_mutex> lock(SysrtcMutex());
      Sysrtc.wday = -1;  // let the chip get the date's own weekday
    }
    ASSERT_EQ(SetSystemTime(r.ymd, r.hms), 1);
    RtcTime read{};
    ASSERT_EQ(RTC_Read(&read), 1);
    EXPECT_EQ(read.wday, r.wday);
    hwtest::CaptureOutput out;  // the clock lines of the console
    EXPECT_EQ(RTC_Read2sys(), 0);
    const int64_t behind = int64_t{GetSystemTimeSeconds()} - r.utc;  // the chip keeps counting
    EXPECT_TRUE(behind >= 0 && behind < 60) << behind;
    EXPECT_EQ(chk_sys_rtc_time(), 0);  // same date on both clocks
  }
}

}  // namespace
