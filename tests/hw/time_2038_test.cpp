// The clock after January 2038, when seconds since 1970 no longer fit a
// signed 32-bit number: the board is 32-bit ARM and is built with a 64-bit
// time_t, so the wall clock, the time texts and the real-time clock go on.
// Report times stay unsigned 32-bit seconds, which last until 2106.
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/time_utils.h"
#include "hw/clock_sync.h"
#include "hw/rtc.h"
#include "hw_test_env.h"
#include "platform/clock.h"

namespace {

using hwtest::CaptureOutput;

// Central European time with its summer time rule; a rule, not a zone file,
// so the test needs no time zone data.
constexpr const char* kCet = "CET-1CEST,M3.5.0,M10.5.0/3";

std::vector<int> Fields(const RtcTime& t) { return {t.year, t.mon, t.mday, t.hour, t.min, t.sec, t.wday}; }

// Seconds of an RTC time read as UTC: differences tell how far the clock ran.
int64_t CalendarSeconds(const RtcTime& t) {
  struct tm tm {};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.mon - 1;
  tm.tm_mday = t.mday;
  tm.tm_hour = t.hour;
  tm.tm_min = t.min;
  tm.tm_sec = t.sec;
  return static_cast<int64_t>(timegm(&tm));
}

class Time2038Test : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    const char* tz = std::getenv("TZ");
    had_tz_ = tz != nullptr;
    if (had_tz_) saved_tz_ = tz;
  }
  void TearDown() override {
    platform::InstallClock(std::make_unique<platform::DeviceClock>());
    if (had_tz_) {
      setenv("TZ", saved_tz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    SimBoardTest::TearDown();
  }
  static void UseZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  static platform::FakeClock* SetNow(int64_t us) {
    auto clock = std::make_unique<platform::FakeClock>(us);
    platform::FakeClock* raw = clock.get();
    platform::InstallClock(std::move(clock));
    return raw;
  }

 private:
  bool had_tz_ = false;
  std::string saved_tz_;
};

TEST_F(Time2038Test, WallClockTextsAndTimesOfDay) {
  struct Row {
    int64_t now;  // seconds since 1970, UTC
    const char* tz;
    const char* ymd;
    const char* hms;
    int wday;
  } const rows[] = {
      {2147483647LL, "UTC0", "20380119", "031407", 2},  // the last second a signed 32-bit count holds
      {2147483648LL, "UTC0", "20380119", "031408", 2},
      {2214172799LL, "UTC0", "20400229", "235959", 3},  // leap day 2040
      {2224715400LL, kCet, "20400701", "023000", 0},    // summer time
      {2240609400LL, kCet, "20410101", "003000", 2},    // a local new year, still 2040 in UTC
      {4294967295LL, kCet, "21060207", "072815", 0},    // the last second of the report times
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.now) + " " + r.tz);
    UseZone(r.tz);
    SetNow(r.now * 1000000 + 250000);
    const std::string ymd = r.ymd, hms = r.hms;
    const std::string y = ymd.substr(0, 4), mo = ymd.substr(4, 2), d = ymd.substr(6, 2);
    const std::string h = hms.substr(0, 2), mi = hms.substr(2, 2), s = hms.substr(4, 2);

    char date[9] = {}, time[7] = {};
    EXPECT_STREQ(SecondToStr(static_cast<uint32_t>(r.now), date, time), r.hms);
    EXPECT_STREQ(date, r.ymd);
    EXPECT_EQ(GetSystemTimeSeconds(), static_cast<uint32_t>(r.now));

    char text[40];
    EXPECT_EQ(std::string(text, getTimeStr(text, 'x')), ymd + ";" + hms);
    EXPECT_EQ(std::string(text, getTimeStr(text, 'w')), y + "/" + mo + "/" + d + " " + h + ":" + mi + ":" + s);
    EXPECT_EQ(std::string(text, getTimeStr(text, 'T')), h + ":" + mi + ":" + s + ".250");

    EXPECT_EQ(GetNowTodaySeconds(), GetTimeTodaySeconds(r.hms));
    SecondToStr(GetTimeToday0000Seconds(), date, time);
    EXPECT_EQ(std::string(date) + ";" + time, ymd + ";000000");

    RtcTime rec{};
    tm2rtc(nullptr, &rec);
    EXPECT_EQ(Fields(rec), (std::vector<int>{std::stoi(y), std::stoi(mo), std::stoi(d), std::stoi(h), std::stoi(mi),
                                             std::stoi(s), r.wday}));
  }
}

// A report due time is unsigned 32-bit seconds: moved on past the signed
// limit it still reads as the right date.
TEST_F(Time2038Test, ReportTimesMoveOnPastTheSignedLimit) {
  UseZone("UTC0");
  struct Row {
    uint32_t due;
    uint32_t days;
    const char* ymd;
    const char* hms;
  } const rows[] = {
      {2147397247u, 2, "20380120", "031407"},  // 2038-01-18 + 2 days
      {2214131670u, 366, "20410301", "123430"},  // 2040-02-29 + a leap year
  };
  for (const Row& r : rows) {
    char date[9] = {}, time[7] = {};
    SecondToStr(TimeAddDaySeconds(r.due, r.days), date, time);
    EXPECT_EQ(std::string(date) + ";" + time, std::string(r.ymd) + ";" + r.hms) << r.due;
  }
}

// The seven clock registers of dates after 2038, written and read back.
TEST_F(Time2038Test, RtcRegistersOfLaterDates) {
  struct Row {
    RtcTime time;
    const char* sent;
    std::vector<uint8_t> regs;
  } const rows[] = {
      {{8, 14, 3, 19, 1, 2038, 2}, "32 w 10 08 14 03 04 19 01 38", {0x08, 0x14, 0x03, 0x04, 0x19, 0x01, 0x38}},
      {{30, 34, 12, 29, 2, 2040, 3}, "32 w 10 30 34 12 08 29 02 40", {0x30, 0x34, 0x12, 0x08, 0x29, 0x02, 0x40}},
      {{0, 0, 0, 1, 1, 2041, 2}, "32 w 10 00 00 00 04 01 01 41", {0x00, 0x00, 0x00, 0x04, 0x01, 0x01, 0x41}},
  };
  hwtest::RecordingI2cBus* bus = hwtest::InstallRecordingBus();
  for (const Row& r : rows) {
    const RtcTime& t = r.time;
    SCOPED_TRACE(r.sent);
    bus->transfers.clear();
    EXPECT_EQ(RTC_Write(t.sec, t.min, t.hour, t.mday, t.mon, t.year, t.wday), 1);
    EXPECT_EQ(bus->transfers, std::vector<std::string>{r.sent});
    bus->reply = r.regs;
    RtcTime read{};
    EXPECT_EQ(RTC_Read(&read), 1);
    EXPECT_EQ(Fields(read), Fields(t));
  }
}

// Setting the time by command writes the simulated chip; at the next start
// the system clock is set from it, as local time.
TEST_F(Time2038Test, TimeSetThroughTheChipBecomesTheSystemClock) {
  struct Row {
    const char* ymd;
    const char* hms;
    const char* tz;
    int64_t utc;  // what the system clock must show
    int wday;
  } const rows[] = {
      {"20380119", "031408", "UTC0", 2147483648LL, 2},
      {"20400229", "123430", "UTC0", 2214131670LL, 3},
      {"20400701", "023030", kCet, 2224715430LL, 0},  // summer time: UTC+2
      {"20991231", "235930", "UTC0", 4102444770LL, 4},  // the last year the chip holds
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.ymd) + " " + r.hms + " " + r.tz);
    UseZone(r.tz);
    platform::FakeClock* clock = SetNow(1600000000LL * 1000000);
    {
      std::lock_guard<std::recursive_mutex> lock(SysrtcMutex());
      Sysrtc.wday = -1;  // let the chip get the date's own weekday
    }
    ASSERT_EQ(SetSystemTime(r.ymd, r.hms), 1);
    RtcTime written = SysrtcCopy();

    RtcTime read{};
    ASSERT_EQ(RTC_Read(&read), 1);
    int64_t ran = CalendarSeconds(read) - CalendarSeconds(written);  // the chip keeps counting
    EXPECT_GE(ran, 0);
    EXPECT_LT(ran, 60);
    EXPECT_EQ(read.wday, r.wday);

    CaptureOutput out;  // the clock lines of the console
    EXPECT_EQ(RTC_Read2sys(), 0);
    int64_t behind = clock->NowUs() / 1000000 - r.utc;
    EXPECT_GE(behind, 0);
    EXPECT_LT(behind, 60);
    EXPECT_EQ(chk_sys_rtc_time(), 0);  // same date on both clocks
  }
}

}  // namespace
