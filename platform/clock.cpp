#include "platform/clock.h"

#include <sys/stat.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/atomic_file.h"

namespace platform {
namespace {

int64_t ToUs(const timeval& tv) { return int64_t(tv.tv_sec) * 1000000 + tv.tv_usec; }

timeval FromUs(int64_t us) {
  timeval tv{};
  int64_t sec = us / 1000000;
  int64_t rem = us % 1000000;
  if (rem < 0) {
    rem += 1000000;
    --sec;
  }
  tv.tv_sec = static_cast<time_t>(sec);
  tv.tv_usec = static_cast<suseconds_t>(rem);
  return tv;
}

timeval HostNow() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return tv;
}

std::atomic<Clock*> g_clock{nullptr};

std::mutex& RetiredMutex() {
  static std::mutex mu;
  return mu;
}
std::vector<std::unique_ptr<Clock>>& Retired() {
  static std::vector<std::unique_ptr<Clock>> retired;
  return retired;
}

}  // namespace

int64_t MonotonicUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

timeval DeviceClock::DoNow() { return HostNow(); }

int DeviceClock::DoSet(const timeval& tv) { return settimeofday(&tv, nullptr) == 0 ? 0 : -1; }

bool ReadClockOffsetFile(const std::string& path, int64_t* offset_us) {
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return false;
  long long v = 0;
  const bool read = std::fscanf(f, "%lld", &v) == 1;  // NOLINT(cert-err34-c): glibc clamps an overflowing number, which the range check below refuses
  std::fclose(f);  // NOLINT(cert-err33-c): read only: nothing to lose
  // Beyond a few thousand years it is a damaged file, not a clock.
  constexpr long long kMaxOffsetUs = 100000LL * 86400 * 1000000;
  if (!read || v > kMaxOffsetUs || v < -kMaxOffsetUs) return false;
  *offset_us = v;
  return true;
}

bool WriteClockOffsetFile(const std::string& path, int64_t offset_us) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64 "\n", offset_us);
  return ReplaceFileAtomically(path, text);
}

SimulatedClock::SimulatedClock(std::string offset_file) : offset_file_(std::move(offset_file)) {
  std::lock_guard<std::mutex> lock(mu_);
  FollowFileLocked();
}

int64_t SimulatedClock::offset_us() const {
  std::lock_guard<std::mutex> lock(mu_);
  return offset_us_;
}

SimulatedClock::Stamp SimulatedClock::FileStamp() const {
  Stamp s;
  struct stat st {};
  if (::stat(offset_file_.c_str(), &st) != 0) return s;
  s.exists = true;
  s.inode = st.st_ino;
  s.mtime_ns = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.size = st.st_size;
  return s;
}

void SimulatedClock::FollowFileLocked() {
  const int64_t now = MonotonicUs();
  if (now < next_look_us_) return;
  next_look_us_ = now + kLookUs;
  const Stamp stamp = FileStamp();
  if (stamp == stamp_) return;
  stamp_ = stamp;
  // A file that went away or holds no offset leaves the time as it is.
  ReadClockOffsetFile(offset_file_, &offset_us_);
}

timeval SimulatedClock::DoNow() {
  int64_t off;
  {
    std::lock_guard<std::mutex> lock(mu_);
    FollowFileLocked();
    off = offset_us_;
  }
  return FromUs(ToUs(HostNow()) + off);
}

int SimulatedClock::DoSet(const timeval& tv) {
  std::lock_guard<std::mutex> lock(mu_);
  offset_us_ = ToUs(tv) - ToUs(HostNow());
  // The offset in memory is what counts; a failed save only loses it at the
  // next start, as a board with a flat clock battery would. A saved file is
  // read back at the next look, which gives the same offset.
  WriteClockOffsetFile(offset_file_, offset_us_);
  return 0;
}

FakeClock::FakeClock(int64_t start_us) : now_us_(start_us), tick_us_(start_us) {}

void FakeClock::Advance(int64_t us) {
  std::lock_guard<std::mutex> lock(mu_);
  now_us_ += us;
  tick_us_ += us;
}

void FakeClock::SetUs(int64_t us) {
  std::lock_guard<std::mutex> lock(mu_);
  now_us_ = us;
}

int64_t FakeClock::NowUs() const {
  std::lock_guard<std::mutex> lock(mu_);
  return now_us_;
}

int FakeClock::set_calls() const {
  std::lock_guard<std::mutex> lock(mu_);
  return set_calls_;
}

timeval FakeClock::DoNow() { return FromUs(NowUs()); }

int64_t FakeClock::DoTickUs() {
  std::lock_guard<std::mutex> lock(mu_);
  return tick_us_;
}

int FakeClock::DoSet(const timeval& tv) {
  std::lock_guard<std::mutex> lock(mu_);
  now_us_ = ToUs(tv);
  ++set_calls_;
  return 0;
}

Clock& SystemClock() {
  Clock* c = g_clock.load(std::memory_order_acquire);
  if (c) return *c;
  static DeviceClock device;
  return device;
}

void InstallClock(std::unique_ptr<Clock> clock) {
  std::lock_guard<std::mutex> lock(RetiredMutex());
  g_clock.store(clock.get(), std::memory_order_release);
  Retired().push_back(std::move(clock));
}

void LocalTime(time_t t, struct tm* out) { localtime_r(&t, out); }

}  // namespace platform
