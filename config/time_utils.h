// Time texts, time-of-day arithmetic, date checks and the millisecond tick.
#pragma once

#include <cstdint>

/// Formats the local time by mode ('d', 't', 'T', 'q', 'w', 'x', other);
/// `out` holds at least 40 bytes. Returns the length of the text.
int getTimeStr(char* out, char mode);
/// Local date "YYYYMMDD" (9 bytes) and time "HHMMSS" (7 bytes) of t;
/// returns `time`.
char* SecondToStr(uint32_t t, char* date, char* time);
uint32_t GetSystemTimeSeconds();
uint32_t GetNowTodaySeconds();
uint32_t GetTimeTodaySeconds(const char* hms);
uint32_t GetTimeToday0000Seconds();
uint32_t TimeAddDaySeconds(uint32_t t, uint32_t days);
/// 1 for a YYYYMMDD text (year not 0, month 1-12, day 1-31); only the first
/// eight characters count, and a shorter text is refused.
int IsYMD(const char* text);
/// 1 for an HHMMSS text (hours 0-23, minutes 0-59, seconds 0-60); only the
/// first six characters count, and a shorter text is refused.
int IsHMS(const char* text);
/// 1 for the time of day of a scheduled report: exactly six digits, hours
/// 0-23, minutes and seconds 0-59. Stricter than IsHMS, so a time the
/// report scheduler cannot meet is never stored.
int IsReportHMS(const char* text);
/// Sets Sysrtc (weekday kept) and writes it to the RTC; returns RTC_Write's
/// result, or 0 without writing when a text is too short. Only the first
/// eight and six characters are read. When the RTC refuses the time, Sysrtc
/// is left as it was.
int SetSystemTime(const char* ymd, const char* hms);
/// Milliseconds of the monotonic tick (never moved by setting the wall
/// clock), wrapping at 32 bits: timers compare unsigned differences.
uint32_t GetTimeTicks();
