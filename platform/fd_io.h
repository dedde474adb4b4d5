// Small tools for file descriptors: an owner that closes, and a write that
// does not stop half-way.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <string>

namespace platform {

/// Owns a descriptor and closes it; move-only.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);  // NOLINT(cert-err33-c): a writer that cares calls Close() and looks at its result
  }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);  // NOLINT(cert-err33-c): a writer that cares calls Close() and looks at its result
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  /// Closes now and returns close's result (a late write error shows here).
  int Close() {
    int fd = fd_;
    fd_ = -1;
    return fd >= 0 ? ::close(fd) : 0;
  }

 private:
  int fd_;
};

/// Reads at most `max` bytes of the file at `path` into `out`; false when
/// it cannot be opened. (Plain reads: a stream would set up the C++ locale
/// machinery, which costs the firmware memory it otherwise never needs.)
bool ReadFileText(const std::string& path, size_t max, std::string* out);

/// Writes all of `data`, going on after short writes and interruptions.
/// Returns 0, or the errno of the failing write.
int WriteAll(int fd, const void* data, size_t len);

}  // namespace platform
