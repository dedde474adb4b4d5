// Setting the system clock from the real-time clock, at start and hourly.
#include "hw/clock_sync.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/console.h"
#include "base/log_ring.h"
#include "base/thread_start.h"
#include "config/time_utils.h"
#include "platform/clock.h"

namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// A time `date -s` would take: the board relied on it to refuse nonsense.
bool IsValidTime(const RtcTime& t) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1970 || t.mon < 1 || t.mon > 12 || t.mday < 1) return false;
  int days = t.mon == 2 && IsLeap(t.year) ? 29 : kDays[t.mon - 1];
  return t.mday <= days && t.hour >= 0 && t.hour <= 23 && t.min >= 0 && t.min <= 59 && t.sec >= 0 &&
         t.sec <= 59;
}

// The number in `n` characters of `text` from `pos` (atoi-like); 0 when the
// text is shorter.
int Field(const char* text, size_t pos, size_t n) {
  size_t len = std::strlen(text);
  if (pos >= len) return 0;
  char part[8] = {};
  std::memcpy(part, text + pos, std::min(n, std::min(len - pos, sizeof part - 1)));
  return std::atoi(part);  // NOLINT(cert-err34-c): seven characters at most cannot overflow, and no digits is 0 as wanted
}

void SetSysrtc(const RtcTime& t) {
  std::lock_guard<std::recursive_mutex> lock(SysrtcMutex());
  Sysrtc = t;
}

}  // namespace

std::string RtcDateCommand(const RtcTime& t) { return "date -s \"" + RtcTimeText(t) + "\""; }

int SetSystemClockFromRtc(const RtcTime& t) {
  if (!IsValidTime(t)) return -1;
  struct tm local {};
  local.tm_year = t.year - 1900;
  local.tm_mon = t.mon - 1;
  local.tm_mday = t.mday;
  local.tm_hour = t.hour;
  local.tm_min = t.min;
  local.tm_sec = t.sec;
  local.tm_isdst = -1;
  time_t s = mktime(&local);
  if (s == static_cast<time_t>(-1)) return -1;
  timeval tv{};
  tv.tv_sec = s;
  return platform::SystemClock().Set(tv) == 0 ? 0 : -1;
}

int RTC_Read2sys() {
  RtcTime t;
  int ok = RTC_Read(&t);
  SetSysrtc(t);
  // A clock that did not answer has no time to give: keep the system clock
  // rather than throw it back to 2000.
  if (!ok) {
    PrintMsg(">RTC read error, system time not changed.\r\n");
    return 0;
  }
  if (SetSystemClockFromRtc(t) != 0) PrintMsg(">Set system time failed: %s\r\n", RtcDateCommand(t).c_str());
  return 0;
}

int CheckSysRtcTime(RtcTime* rtc, bool* rtc_read_ok) {
  PrintMsg(">Check RTC Time and System Time..\r\n");
  RtcTime r;
  int ok = RTC_Read(&r);
  SetSysrtc(r);
  if (rtc) *rtc = r;
  if (rtc_read_ok) *rtc_read_ok = ok == 1;
  PrintMsg("=>RTC Time is %04d-%02d-%02d %02d:%02d\r\n", r.year, r.mon, r.mday, r.hour, r.min);

  char now[64] = {};
  getTimeStr(now, 'x');  // "%Y%m%d;%H%M%S"
  int year = Field(now, 0, 4);
  int mon = Field(now, 4, 2);
  int mday = Field(now, 6, 2);
  int hour = Field(now, 9, 2);
  int min = Field(now, 11, 2);
  PrintMsg("=>System Time is %04d-%02d-%02d %02d:%02d\r\n", year, mon, mday, hour, min);
  return year == r.year && mon == r.mon && mday == r.mday ? 0 : 1;
}

int chk_sys_rtc_time() { return CheckSysRtcTime(nullptr, nullptr); }

unsigned RtcSyncLoop::Step() {
  if (!verifying_) {
    RtcTime t;
    bool rtc_ok = false;
    if (CheckSysRtcTime(&t, &rtc_ok) == 0) {
      uiRTCModifyCount = 0;
      PrintMsg(">Year and Month are correct, check again for 1 hr later.\r\n");
      return kHourS;
    }
    int count = static_cast<int>(++uiRTCModifyCount);
    if (rtc_ok) {
      std::string cmd = RtcDateCommand(t);
      int set = SetSystemClockFromRtc(t);
      PrintMsg(">Different Time, set Command(%s) to System. Count: %d\r\n", cmd.c_str(), count);
      if (set != 0) PrintMsg(">Set system time failed: %s\r\n", cmd.c_str());
    } else {
      PrintMsg(">RTC read error, system time not changed. Count: %d\r\n", count);
    }
    verifying_ = true;
    return kAfterSetS;
  }
  verifying_ = false;
  if (chk_sys_rtc_time() == 0 || uiRTCModifyCount.load() > kMaxTries) {
    uiRTCModifyCount = 0;
    LogPush(3, 0, 0);
    return kHourS;
  }
  return kRetryS;
}

void* thread_rtc2system(void*) {
  NameThisThread("rtc2system");
  PrintMsg("[thread_rtc2system is start]\r\n");
  RtcSyncLoop loop;
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(loop.Step()));
  return nullptr;
}
