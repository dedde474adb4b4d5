#include "config/time_utils.h"

#include <cstring>
#include <ctime>
#include <mutex>

#include "config/file_lines.h"
#include "hw/rtc.h"
#include "platform/clock.h"

namespace {

constexpr int kTimeTextSize = 40;
constexpr uint32_t kSecondsPerDay = 86400;

struct LocalNow {
  timeval tv;
  struct tm tm;
};

LocalNow ReadLocalNow() {
  LocalNow now{};
  now.tv = platform::SystemClock().Now();
  platform::LocalTime(now.tv.tv_sec, &now.tm);
  return now;
}

uint32_t SecondsOfDay(const struct tm& tm) {
  return static_cast<uint32_t>(tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
}

// One field of a date or time text, read like atol from exactly `width`
// characters; -1 when it is negative, which no field accepts.
long Field(const char* text, int from, int width) {
  char part[5] = {0, 0, 0, 0, 0};
  std::memcpy(part, text + from, static_cast<size_t>(width));
  int64_t v = config::ParseLong(part);
  return v < 0 ? -1 : static_cast<long>(static_cast<uint16_t>(v));
}

// Date and time texts are taken by their first 8 or 6 characters; a shorter
// text is refused rather than read past its end.
bool LongEnough(const char* text, size_t chars) { return text != nullptr && strnlen(text, chars) == chars; }

}  // namespace

int getTimeStr(char* out, char mode) {
  LocalNow now = ReadLocalNow();
  const char* format;
  switch (mode) {
    case 'd': format = "%Y/%m/%d"; break;
    case 't':
    case 'T': format = "%H:%M:%S"; break;
    case 'q': format = "%H%M%S"; break;
    case 'w': format = "%Y/%m/%d %H:%M:%S"; break;
    case 'x': format = "%Y%m%d;%H%M%S"; break;
    default: format = "%Y%m%d_%H%M%S"; break;
  }
  size_t n = std::strftime(out, kTimeTextSize, format, &now.tm);
  out[n] = '\0';
  if (mode == 'T') {
    int ms = static_cast<int>(now.tv.tv_usec / 1000);
    int added = std::snprintf(out + n, kTimeTextSize - n, ".%03d", ms);
    if (added > 0) n += static_cast<size_t>(added);
  }
  return static_cast<int>(n);
}

char* SecondToStr(uint32_t t, char* date, char* time) {
  struct tm tm {};
  platform::LocalTime(static_cast<time_t>(t), &tm);
  // A 32-bit time is always a four-digit year (1970 to 2106).
  std::strftime(date, 9, "%Y%m%d", &tm);
  std::strftime(time, 7, "%H%M%S", &tm);
  return time;
}

uint32_t GetSystemTimeSeconds() { return static_cast<uint32_t>(platform::SystemClock().Now().tv_sec); }

uint32_t GetNowTodaySeconds() { return SecondsOfDay(ReadLocalNow().tm); }

uint32_t GetTimeTodaySeconds(const char* hms) {
  // Digits are taken as they are; a text shorter than six characters counts
  // its missing digits as 0 instead of reading past its end.
  int d[6] = {0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 6 && hms != nullptr && hms[i] != '\0'; ++i) d[i] = hms[i] - '0';
  return static_cast<uint32_t>((d[0] * 10 + d[1]) * 3600 + (d[2] * 10 + d[3]) * 60 + d[4] * 10 + d[5]);
}

uint32_t GetTimeToday0000Seconds() {
  // One reading of the clock, so a second that ticks between the two parts
  // cannot shift midnight.
  LocalNow now = ReadLocalNow();
  return static_cast<uint32_t>(now.tv.tv_sec) - SecondsOfDay(now.tm);
}

uint32_t TimeAddDaySeconds(uint32_t t, uint32_t days) { return t + days * kSecondsPerDay; }

int IsYMD(const char* text) {
  if (!LongEnough(text, 8)) return 0;
  long year = Field(text, 0, 4);
  long month = Field(text, 4, 2);
  long day = Field(text, 6, 2);
  return year > 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31 ? 1 : 0;
}

int IsHMS(const char* text) {
  if (!LongEnough(text, 6)) return 0;
  long hours = Field(text, 0, 2);
  long minutes = Field(text, 2, 2);
  long seconds = Field(text, 4, 2);
  return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 && seconds <= 60 ? 1 : 0;
}

int IsReportHMS(const char* text) {
  if (text == nullptr || strnlen(text, 7) != 6) return 0;
  for (int i = 0; i < 6; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
  }
  return IsHMS(text) == 1 && Field(text, 4, 2) <= 59 ? 1 : 0;
}

int SetSystemTime(const char* ymd, const char* hms) {
  if (!LongEnough(ymd, 8) || !LongEnough(hms, 6)) return 0;  // what RTC_Write gives for a bad time
  // The clock-sync thread reads Sysrtc meanwhile: change it whole.
  std::lock_guard<std::recursive_mutex> lock(SysrtcMutex());
  const RtcTime before = Sysrtc;
  Sysrtc.year = static_cast<int32_t>(Field(ymd, 0, 4));
  Sysrtc.mon = static_cast<int32_t>(Field(ymd, 4, 2));
  Sysrtc.mday = static_cast<int32_t>(Field(ymd, 6, 2));
  Sysrtc.hour = static_cast<int32_t>(Field(hms, 0, 2));
  Sysrtc.min = static_cast<int32_t>(Field(hms, 2, 2));
  Sysrtc.sec = static_cast<int32_t>(Field(hms, 4, 2));
  const int written = RTC_Write(Sysrtc.sec, Sysrtc.min, Sysrtc.hour, Sysrtc.mday, Sysrtc.mon, Sysrtc.year, Sysrtc.wday);
  // The clock kept its time, so the record keeps showing it.
  if (written != 1) Sysrtc = before;
  return written;
}

uint32_t GetTimeTicks() {
  // The monotonic tick, not the wall clock: a clock set by @TIME or by the
  // hourly sync must not end a pulse or a hold early or keep it on.
  return static_cast<uint32_t>(static_cast<uint64_t>(platform::SystemClock().TickUs()) / 1000);
}
