// The battery-backed real-time clock and the thread that keeps the system
// clock in step with it.
#pragma once

#include <cstdint>
#include <ctime>

struct RtcTime {
  int32_t sec;
  int32_t min;
  int32_t hour;
  int32_t mday;
  int32_t mon;   // 1 to 12
  int32_t year;  // full year
  int32_t wday;  // 0 = Sunday
};

extern RtcTime Sysrtc;

uint8_t bin2bcd(uint32_t v);
uint32_t bcd2bin(uint8_t v);
int wday_rtc2sys(uint8_t bits);
int RTC_Read(RtcTime* rec);
int RTC_Write(int sec, int min, int hour, int mday, int mon, int year, int wday);
int tm2rtc(const struct tm* tm, RtcTime* rec);
int RTC_Read2sys();
int chk_sys_rtc_time();
void* thread_rtc2system(void*);
