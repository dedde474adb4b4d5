#include "platform/sim_rtc_chip.h"

#include "platform/sim_rtc_file.h"

namespace platform {
namespace {

uint8_t ToBcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }
int FromBcd(uint8_t v) { return (v >> 4) * 10 + (v & 0x0F); }

bool IsTimeReg(unsigned reg) {
  return reg >= SimRtcChip::kTimeFirstReg && reg < SimRtcChip::kTimeFirstReg + SimRtcChip::kTimeRegCount;
}

}  // namespace

SimRtcChip::SimRtcChip(std::function<time_t()> host_now) : host_now_(std::move(host_now)) {}

time_t SimRtcChip::HostNow() const { return host_now_ ? host_now_() : time(nullptr); }

void SimRtcChip::LoadTime(const std::string& root, uint8_t* regs) const {
  struct tm t {};
  SimRtcRead(root, &t, HostNow());
  int year = (t.tm_year + 1900 - 2000) % 100;
  if (year < 0) year += 100;
  regs[0] = ToBcd(t.tm_sec > 59 ? 59 : t.tm_sec);
  regs[1] = ToBcd(t.tm_min);
  regs[2] = ToBcd(t.tm_hour);
  regs[3] = static_cast<uint8_t>(1u << t.tm_wday);
  regs[4] = ToBcd(t.tm_mday);
  regs[5] = ToBcd(t.tm_mon + 1);
  regs[6] = ToBcd(year);
}

bool SimRtcChip::StoreTime(const std::string& root, const uint8_t* regs) const {
  struct tm t {};
  t.tm_sec = FromBcd(regs[0] & 0x7F);
  t.tm_min = FromBcd(regs[1] & 0x7F);
  t.tm_hour = FromBcd(regs[2] & 0x3F);
  t.tm_wday = -1;
  for (int bit = 0; bit < 7; ++bit) {
    if (regs[3] & (1u << bit)) {
      t.tm_wday = bit;
      break;
    }
  }
  if (t.tm_wday < 0) t.tm_wday = 0;  // no bit set reads as Sunday
  t.tm_mday = FromBcd(regs[4] & 0x3F);
  t.tm_mon = FromBcd(regs[5] & 0x1F) - 1;
  t.tm_year = 2000 + FromBcd(regs[6]) - 1900;
  return SimRtcWrite(root, t, HostNow());
}

bool SimRtcChip::Write(const std::string& root, const uint8_t* data, size_t len) {
  if (len == 0) return true;
  pointer_ = data[0];
  uint8_t time_regs[kTimeRegCount];
  bool time_touched = false;
  for (size_t i = 1; i < len; ++i) {
    if (IsTimeReg(pointer_)) {
      // Only a write that touches the time loads it: the rest of the time
      // registers keep counting from the file.
      if (!time_touched) {
        LoadTime(root, time_regs);
        time_touched = true;
      }
      time_regs[pointer_ - kTimeFirstReg] = data[i];
    } else {
      regs_[pointer_] = data[i];
    }
    pointer_ = static_cast<uint8_t>(pointer_ + 1);
  }
  return !time_touched || StoreTime(root, time_regs);
}

bool SimRtcChip::Read(const std::string& root, uint8_t* out, size_t len) {
  // One read sees one instant of the clock, as the chip latches its counters.
  uint8_t time_regs[kTimeRegCount];
  bool loaded = false;
  for (size_t i = 0; i < len; ++i) {
    if (IsTimeReg(pointer_)) {
      if (!loaded) {
        LoadTime(root, time_regs);
        loaded = true;
      }
      out[i] = time_regs[pointer_ - kTimeFirstReg];
    } else {
      out[i] = regs_[pointer_];
    }
    pointer_ = static_cast<uint8_t>(pointer_ + 1);
  }
  return true;
}

}  // namespace platform
