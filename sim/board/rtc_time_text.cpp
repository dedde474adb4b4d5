#include "sim/board/rtc_time_text.h"

#include <cctype>

namespace sim {
namespace {

bool Digits(const std::string& s, size_t pos, size_t n, int* out) {
  int v = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    v = v * 10 + (s[i] - '0');
  }
  *out = v;
  return true;
}

}  // namespace

bool ParseRtcTime(const std::string& date, const std::string& time, struct tm* out) {
  int y, mo, d, h, mi, s;
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
  if (time.size() != 8 || time[2] != ':' || time[5] != ':') return false;
  if (!Digits(date, 0, 4, &y) || !Digits(date, 5, 2, &mo) || !Digits(date, 8, 2, &d)) return false;
  if (!Digits(time, 0, 2, &h) || !Digits(time, 3, 2, &mi) || !Digits(time, 6, 2, &s)) return false;
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 2000 || y > 2099 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1]) return false;
  bool leap = y % 4 == 0;  // exact within 2000..2099
  if (mo == 2 && d == 29 && !leap) return false;
  if (h > 23 || mi > 59 || s > 59) return false;
  struct tm t {};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  *out = t;
  return true;
}

}  // namespace sim
