// The removable SD card mounted at /media/card: is it there, and how full is it.
//
// On the device the card is present when /media/card is a mount point of the
// kernel's mount table (what `df /media/card` shows), and its use is measured
// with statvfs the way df does. On the simulated board the card is present
// unless DIR/sim/sd-removed exists, and its use is the number in DIR/sim/sd-use
// when that file exists (so a test or a person can fill the card by hand),
// else the host file system's. While DIR/sim/sd-full exists the simulated
// card is full: its use reads 100 % and writes to it fail with ENOSPC, as
// the kernel fails them on a full card.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace platform {

enum class SdPresence {
  kPresent,
  kAbsent,
  kUnknown,  // the mount table could not be read
};

/// Sizes of the file system holding /media/card, in bytes, as df counts them.
struct SdUsage {
  uint64_t size_bytes = 0;
  uint64_t used_bytes = 0;
  uint64_t avail_bytes = 0;
  int use_percent = 0;  // df's Use%: used / (used + avail), rounded up
};

class SdCard {
 public:
  virtual ~SdCard() = default;

  SdPresence Presence() { return DoPresence(); }
  bool IsPresent() { return DoPresence() == SdPresence::kPresent; }
  /// The usage of /media/card, or nothing when it cannot be measured.
  std::optional<SdUsage> Usage() { return DoUsage(); }
  /// Use in percent (0 to 100), or -1 when it cannot be measured.
  int UsePercent();
  /// The errno a write to the card fails with before it reaches the file
  /// system (ENOSPC while the simulated card is full), else 0. Cheap enough
  /// for every write.
  int WriteRefusal() { return DoWriteRefusal(); }

 private:
  virtual SdPresence DoPresence() = 0;
  virtual std::optional<SdUsage> DoUsage() = 0;
  virtual int DoWriteRefusal() { return 0; }
};

/// /proc/mounts and statvfs of /media/card.
class DeviceSdCard final : public SdCard {
 private:
  SdPresence DoPresence() override;
  std::optional<SdUsage> DoUsage() override;
};

/// The marker files of the simulated board under the root folder.
class SimulatedSdCard final : public SdCard {
 public:
  /// How long a look at DIR/sim/sd-full is trusted, so that a write costs
  /// no file-system call of its own.
  static constexpr int64_t kFullLookUs = int64_t{1000} * 1000;

 private:
  SdPresence DoPresence() override;
  std::optional<SdUsage> DoUsage() override;
  int DoWriteRefusal() override;

  std::mutex mu_;
  std::string looked_at_;  // the marker path of the last look (the root may change)
  int64_t next_look_us_ = 0;
  bool full_ = false;
};

/// The backend of this board (simulated when `--sim` was given).
SdCard& SdCardBackend();

/// Writes all of `data` to a file on the card: the backend's refusal first,
/// then WriteAll. Every writer of files on the card goes through it.
/// Returns 0, or the errno of the failure.
int CardWriteAll(int fd, const void* data, size_t len);

/// True when a real path (after Path()) lies on the card, under
/// Path("/media/card").
bool IsOnCard(const std::string& real_path);

/// df's Use%: ceil(used * 100 / (used + avail)); 0 for an empty file system.
int DfUsePercent(uint64_t used, uint64_t avail);

/// A size the way `df -h` prints it: powers of 1024, rounded up, one decimal
/// below 10 ("0", "512", "3.9G", "15G").
std::string DfHumanSize(uint64_t bytes);

/// True when `mount_point` is the second field of a line of a mount table in
/// the format of /proc/mounts (octal escapes such as \040 decoded).
bool MountTableHas(const std::string& table, const std::string& mount_point);

}  // namespace platform
