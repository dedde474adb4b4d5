#include "sim/board/clock_jump.h"

#include <cstdio>
#include <ctime>

#include "platform/clock.h"
#include "platform/sim_rtc_file.h"
#include "sim/board/board_files.h"

namespace sim {

std::string JumpClocks(const BoardRoot& root, int64_t seconds, std::string* rtc_time) {
  const time_t host = time(nullptr);
  platform::SimRtcState rtc = platform::SimRtcLoad(root.dir(), host);
  const time_t reg = static_cast<time_t>(host + rtc.offset + seconds);
  struct tm t {};
  gmtime_r(&reg, &t);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  if (t.tm_year + 1900 < 2000 || t.tm_year + 1900 > 2099) {
    return std::string("the RTC would read ") + text + ": it holds the years 2000 to 2099";
  }
  // No clock file: the firmware's clock is the host's (offset 0).
  const std::string clock_file = root.Path("/sim/clock");
  int64_t offset_us = 0;
  platform::ReadClockOffsetFile(clock_file, &offset_us);
  if (!platform::WriteClockOffsetFile(clock_file, offset_us + seconds * 1000000)) {
    return "cannot write " + clock_file + ": " + ErrnoText();
  }
  rtc.offset += seconds;
  if (!platform::SimRtcSave(root.dir(), rtc)) {
    // The two move together or not at all.
    platform::WriteClockOffsetFile(clock_file, offset_us);
    return "cannot write " + root.Path("/sim/rtc") + ": " + ErrnoText();
  }
  *rtc_time = text;
  return "";
}

}  // namespace sim
