#include "platform/sd_card.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/fd_io.h"
#include "platform/paths.h"

namespace platform {
namespace {

constexpr const char* kCardMount = "/media/card";

std::optional<SdUsage> StatvfsUsage(const std::string& path) {
  struct statvfs vfs {};
  if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
  const uint64_t frsize = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  SdUsage u;
  u.size_bytes = uint64_t(vfs.f_blocks) * frsize;
  // Blocks reserved for root count as neither used nor available, as in df.
  const uint64_t used_blocks = vfs.f_blocks >= vfs.f_bfree ? vfs.f_blocks - vfs.f_bfree : 0;
  u.used_bytes = used_blocks * frsize;
  u.avail_bytes = uint64_t(vfs.f_bavail) * frsize;
  u.use_percent = DfUsePercent(used_blocks, vfs.f_bavail);
  return u;
}

// Far more than any board's mount table.
constexpr size_t kMountTableMax = size_t{1024} * 1024;

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The per cent (0 to 100) at the start of a small file; -1 when the file is
// missing, -2 when it holds anything else.
int ReadPercentFile(const std::string& path) {
  std::string text;
  if (!ReadFileText(path, 64, &text)) return -1;
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(p, &end, 10);
  if (end == p || errno != 0 || v < 0 || v > 100) return -2;
  return static_cast<int>(v);
}

std::string DecodeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

}  // namespace

int SdCard::UsePercent() {
  std::optional<SdUsage> u = DoUsage();
  return u ? u->use_percent : -1;
}

int DfUsePercent(uint64_t used, uint64_t avail) {
  const uint64_t total = used + avail;
  if (total == 0) return 0;
  // Rounded up as df does, so a nearly full card is reported as full rather
  // than as having room.
  return static_cast<int>((used * 100 + total - 1) / total);
}

std::string DfHumanSize(uint64_t bytes) {
  static const char kSuffix[] = "KMGTPEZY";
  if (bytes < 1024) return std::to_string(bytes);
  long double d = static_cast<long double>(bytes);
  int e = 0;
  while (d >= 1024 && e < 8) {
    d /= 1024;
    ++e;
  }
  char buf[32];
  if (d < 10) {
    long double tenths = std::ceil(d * 10);
    if (tenths < 100) {
      std::snprintf(buf, sizeof buf, "%.1Lf%c", tenths / 10, kSuffix[e - 1]);
      return buf;
    }
    d = 10;
  }
  long double whole = std::ceil(d);
  if (whole >= 1024 && e < 8) {
    std::snprintf(buf, sizeof buf, "1.0%c", kSuffix[e]);
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%.0Lf%c", whole, kSuffix[e - 1]);
  return buf;
}

bool MountTableHas(const std::string& table, const std::string& mount_point) {
  // Each line: device, mount point, then more fields, separated by blanks.
  size_t start = 0;
  while (start < table.size()) {
    size_t end = table.find('\n', start);
    if (end == std::string::npos) end = table.size();
    const std::string line = table.substr(start, end - start);
    start = end + 1;
    const char* blanks = " \t\r\v\f";
    const size_t device = line.find_first_not_of(blanks);
    const size_t device_end = device == std::string::npos ? device : line.find_first_of(blanks, device);
    const size_t dir = device_end == std::string::npos ? device_end : line.find_first_not_of(blanks, device_end);
    if (dir == std::string::npos) continue;
    const size_t dir_end = line.find_first_of(blanks, dir);
    if (DecodeMountField(line.substr(dir, dir_end == std::string::npos ? std::string::npos : dir_end - dir)) ==
        mount_point) {
      return true;
    }
  }
  return false;
}

SdPresence DeviceSdCard::DoPresence() {
  std::string table;
  if (!ReadFileText("/proc/mounts", kMountTableMax, &table)) return SdPresence::kUnknown;
  return MountTableHas(table, Path(kCardMount)) ? SdPresence::kPresent : SdPresence::kAbsent;
}

std::optional<SdUsage> DeviceSdCard::DoUsage() { return StatvfsUsage(Path(kCardMount)); }

SdPresence SimulatedSdCard::DoPresence() {
  return Exists(Path("/sim/sd-removed")) ? SdPresence::kAbsent : SdPresence::kPresent;
}

std::optional<SdUsage> SimulatedSdCard::DoUsage() {
  std::optional<SdUsage> u = StatvfsUsage(Path(kCardMount));
  const int pct = Exists(Path("/sim/sd-full")) ? 100 : ReadPercentFile(Path("/sim/sd-use"));
  if (pct == -1) return u;
  if (pct < 0) return std::nullopt;  // a number nobody can read is no measurement
  SdUsage set = u.value_or(SdUsage{});
  set.use_percent = pct;
  if (set.size_bytes > 0) {
    set.used_bytes = set.size_bytes / 100 * static_cast<uint64_t>(pct);
    set.avail_bytes = set.size_bytes - set.used_bytes;
  }
  return set;
}

int SimulatedSdCard::DoWriteRefusal() {
  const std::string marker = Path("/sim/sd-full");
  const int64_t now = MonotonicUs();
  std::lock_guard<std::mutex> lock(mu_);
  if (now >= next_look_us_ || marker != looked_at_) {
    full_ = Exists(marker);
    looked_at_ = marker;
    next_look_us_ = now + kFullLookUs;
  }
  return full_ ? ENOSPC : 0;
}

SdCard& SdCardBackend() {
  static DeviceSdCard device;
  static SimulatedSdCard simulated;
  if (IsSimulated()) return simulated;
  return device;
}

int CardWriteAll(int fd, const void* data, size_t len) {
  const int refused = SdCardBackend().WriteRefusal();
  if (refused != 0) return refused;
  return WriteAll(fd, data, len);
}

bool IsOnCard(const std::string& real_path) {
  const std::string card = Path(kCardMount);
  return real_path.size() > card.size() && real_path.compare(0, card.size(), card) == 0 &&
         real_path[card.size()] == '/';
}

}  // namespace platform
