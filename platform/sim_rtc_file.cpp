#include "platform/sim_rtc_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/atomic_file.h"

namespace platform {
namespace {

std::string RtcFile(const std::string& root) { return root + "/sim/rtc"; }

long long LocalUtcOffset(time_t host_now) {
  struct tm local {};
  localtime_r(&host_now, &local);
  return local.tm_gmtoff;
}

int Mod7(long long v) { return static_cast<int>(((v % 7) + 7) % 7); }

// Seconds of the calendar fields read as UTC, after timegm's normalisation.
time_t CalendarSeconds(const struct tm& t, struct tm* normalised) {
  struct tm copy = t;
  copy.tm_isdst = 0;
  time_t s = timegm(&copy);
  if (normalised) *normalised = copy;
  return s;
}

}  // namespace

SimRtcState SimRtcLoad(const std::string& root, time_t host_now) {
  SimRtcState state;
  state.offset = LocalUtcOffset(host_now);
  int fd = open(RtcFile(root).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return state;
  char buf[64];
  ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);  // NOLINT(cert-err33-c): read only: nothing to lose
  if (n <= 0) return state;
  buf[n] = 0;
  long long offset = 0;
  int shift = 0;
  if (std::sscanf(buf, "%lld %d", &offset, &shift) != 2) return state;  // NOLINT(cert-err34-c): glibc clamps an overflowing offset, which the range check refuses; any shift is taken mod 7
  // An offset beyond a few thousand years is a damaged file, not a clock.
  constexpr long long kMaxOffset = 100000LL * 86400;
  if (offset > kMaxOffset || offset < -kMaxOffset) return state;
  state.offset = offset;
  state.wday_shift = Mod7(shift);
  return state;
}

bool SimRtcSave(const std::string& root, const SimRtcState& state) {
  std::string dir = root + "/sim";
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
  char line[64];
  std::snprintf(line, sizeof line, "%lld %d\n", state.offset, Mod7(state.wday_shift));
  return ReplaceFileAtomically(RtcFile(root), line);
}

void SimRtcRead(const std::string& root, struct tm* out, time_t host_now) {
  SimRtcState state = SimRtcLoad(root, host_now);
  time_t reg = static_cast<time_t>(host_now + state.offset);
  gmtime_r(&reg, out);
  out->tm_wday = Mod7(out->tm_wday + state.wday_shift);
  out->tm_isdst = 0;
}

void SimRtcRead(const std::string& root, struct tm* out) { SimRtcRead(root, out, time(nullptr)); }

bool SimRtcWrite(const std::string& root, const struct tm& t, time_t host_now) {
  struct tm norm {};
  time_t reg = CalendarSeconds(t, &norm);
  SimRtcState state;
  state.offset = static_cast<long long>(reg) - host_now;
  state.wday_shift = (t.tm_wday >= 0 && t.tm_wday <= 6) ? Mod7(t.tm_wday - norm.tm_wday) : 0;
  return SimRtcSave(root, state);
}

bool SimRtcWrite(const std::string& root, const struct tm& t) { return SimRtcWrite(root, t, time(nullptr)); }

bool SimRtcSet(const std::string& root, const struct tm& t) {
  struct tm copy = t;
  copy.tm_wday = -1;
  return SimRtcWrite(root, copy);
}

}  // namespace platform
