// Time texts, time-of-day arithmetic, date checks and the millisecond tick.
#pragma once

#include <cstdint>

/// Formats the local time by mode ('d', 't', 'T', 'q', 'w', 'x', other);
/// `out` holds at least 40 bytes. Returns the length of the text.
int getTimeStr(char* out, char mode);
char* SecondToStr(uint32_t t, char* date, char* time);
uint32_t GetSystemTimeSeconds();
uint32_t GetNowTodaySeconds();
uint32_t GetTimeTodaySeconds(const char* hms);
uint32_t GetTimeToday0000Seconds();
uint32_t TimeAddDaySeconds(uint32_t t, uint32_t days);
int IsYMD(const char* text);
int IsHMS(const char* text);
int SetSystemTime(const char* ymd, const char* hms);
/// Milliseconds of the wall clock, wrapping at 32 bits.
uint32_t GetTimeTicks();
