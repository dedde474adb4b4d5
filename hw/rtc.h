// The battery-backed real-time clock and the thread that keeps the system
// clock in step with it.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

struct RtcTime {
  int32_t sec;
  int32_t min;
  int32_t hour;
  int32_t mday;
  int32_t mon;   // 1 to 12
  int32_t year;  // full year
  int32_t wday;  // 0 = Sunday
};

/// The clock record shown by the banner and the commands. RTC_Read and
/// tm2rtc replace it whole while holding SysrtcMutex(); hold the lock to
/// change fields or to take a consistent copy (SysrtcCopy).
extern RtcTime Sysrtc;
std::recursive_mutex& SysrtcMutex();
RtcTime SysrtcCopy();
/// "YYYY-MM-DD HH:MM:SS" of a clock record.
std::string RtcTimeText(const RtcTime& t);

/// Consecutive corrections of the system clock by thread_rtc2system.
extern std::atomic<uint32_t> uiRTCModifyCount;

uint8_t bin2bcd(uint32_t v);
uint32_t bcd2bin(uint8_t v);
/// Lowest set bit among bits 0..6 of the weekday register, 0 when none.
int wday_rtc2sys(uint8_t bits);

/// Reads the clock into `rec`. 1, or 0 when the bus transfer failed: then
/// `rec` holds 2000-01-01 00:00:00, weekday 6.
int RTC_Read(RtcTime* rec);
/// Writes the clock. 1, or 0 after "RTC>> Write Error, ret=%d": the I2C
/// result, or kRtcBadTime for a time the clock cannot hold (a date that does
/// not exist, a year outside 2000..2099, seconds 60). A weekday outside 0..6
/// is replaced by the date's own.
int RTC_Write(int sec, int min, int hour, int mday, int mon, int year, int wday);
constexpr int kRtcBadTime = -4;
/// Fills `rec` from a local broken-down time, or from the current local time
/// when `tm` is null. Returns 0.
int tm2rtc(const struct tm* tm, RtcTime* rec);

/// Reads the clock into Sysrtc and sets the system clock from it. A clock
/// that cannot be read, or holds an impossible time, leaves the system
/// clock alone. Returns 0.
int RTC_Read2sys();
/// 0 when the RTC and the system clock show the same date, else 1.
int chk_sys_rtc_time();
void* thread_rtc2system(void*);
