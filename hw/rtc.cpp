// The RX-8010-layout real-time clock: seven BCD time registers from 0x10.
#include "hw/rtc.h"

#include <cstdio>

#include "base/console.h"
#include "hw/i2c.h"
#include "platform/clock.h"

RtcTime Sysrtc;
std::atomic<uint32_t> uiRTCModifyCount{0};

namespace {

constexpr uint8_t kRtcAddress = 0x64;  // 8-bit form of 0x32
constexpr uint8_t kTimeReg = 0x10;
constexpr int kTimeRegCount = 7;

// What a clock that cannot be read shows.
constexpr RtcTime kUnreadTime = {0, 0, 0, 1, 1, 2000, 6};

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int mon, int year) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return mon == 2 && IsLeap(year) ? 29 : kDays[mon - 1];
}

// Weekday of a Gregorian date, 0 = Sunday (Sakamoto's method).
int WeekdayOf(int year, int mon, int mday) {
  static const int kT[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (mon < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + kT[mon - 1] + mday) % 7;
}

void Store(RtcTime* rec, const RtcTime& t) {
  if (!rec) return;
  std::lock_guard<std::recursive_mutex> lock(SysrtcMutex());
  *rec = t;
}

}  // namespace

std::recursive_mutex& SysrtcMutex() {
  static auto* mu = new std::recursive_mutex;  // outlives every thread
  return *mu;
}

RtcTime SysrtcCopy() {
  std::lock_guard<std::recursive_mutex> lock(SysrtcMutex());
  return Sysrtc;
}

std::string RtcTimeText(const RtcTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.mon, t.mday, t.hour, t.min, t.sec);
  return text;
}

uint8_t bin2bcd(uint32_t v) {
  v &= 0xFF;
  return static_cast<uint8_t>((v % 10) | ((v / 10) << 4));
}

uint32_t bcd2bin(uint8_t v) { return (v >> 4) * 10u + (v & 0x0Fu); }

int wday_rtc2sys(uint8_t bits) {
  for (int bit = 0; bit < 7; ++bit)
    if (bits & (1u << bit)) return bit;
  return 0;
}

int RTC_Read(RtcTime* rec) {
  uint8_t r[kTimeRegCount] = {};
  if (I2C_Read(kRtcAddress, kTimeReg, kTimeRegCount, r) != 1) {
    Store(rec, kUnreadTime);
    return 0;
  }
  RtcTime t;
  t.sec = static_cast<int32_t>(bcd2bin(r[0] & 0x7F));
  t.min = static_cast<int32_t>(bcd2bin(r[1] & 0x7F));
  t.hour = static_cast<int32_t>(bcd2bin(r[2] & 0x3F));
  t.wday = wday_rtc2sys(r[3]);
  t.mday = static_cast<int32_t>(bcd2bin(r[4] & 0x3F));
  t.mon = static_cast<int32_t>(bcd2bin(r[5] & 0x1F));
  t.year = static_cast<int32_t>(bcd2bin(r[6]) + 2000);
  Store(rec, t);
  return 1;
}

int RTC_Write(int sec, int min, int hour, int mday, int mon, int year, int wday) {
  // The registers hold two BCD digits each: a value they cannot hold would
  // leave the clock with a time that does not exist.
  bool valid = year >= 2000 && year <= 2099 && mon >= 1 && mon <= 12 && mday >= 1 &&
               mday <= DaysInMonth(mon, year) && hour >= 0 && hour <= 23 && min >= 0 && min <= 59 &&
               sec >= 0 && sec <= 59;
  if (!valid) {
    PrintMsg("RTC>> Write Error, ret=%d\r\n", kRtcBadTime);
    return 0;
  }
  if (wday < 0 || wday > 6) wday = WeekdayOf(year, mon, mday);
  const uint8_t regs[kTimeRegCount] = {
      bin2bcd(static_cast<uint32_t>(sec)),  bin2bcd(static_cast<uint32_t>(min)),
      bin2bcd(static_cast<uint32_t>(hour)), static_cast<uint8_t>(1u << wday),
      bin2bcd(static_cast<uint32_t>(mday)), bin2bcd(static_cast<uint32_t>(mon)),
      bin2bcd(static_cast<uint32_t>((year + 48) % 256)),
  };
  int ret = I2C_Write(kRtcAddress, kTimeReg, kTimeRegCount, regs);
  if (ret != 1) {
    PrintMsg("RTC>> Write Error, ret=%d\r\n", ret);
    return 0;
  }
  return 1;
}

int tm2rtc(const struct tm* tm, RtcTime* rec) {
  struct tm now {};
  if (!tm) {
    platform::LocalTime(platform::SystemClock().Now().tv_sec, &now);
    tm = &now;
  }
  RtcTime t;
  t.year = tm->tm_year + 1900;
  t.mon = tm->tm_mon + 1;
  t.mday = tm->tm_mday;
  t.hour = tm->tm_hour;
  t.min = tm->tm_min;
  t.sec = tm->tm_sec;
  t.wday = tm->tm_wday;
  Store(rec, t);
  return 0;
}
