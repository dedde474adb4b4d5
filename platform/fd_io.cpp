#include "platform/fd_io.h"

#include <fcntl.h>

#include <cerrno>

namespace platform {

bool ReadFileText(const std::string& path, size_t max, std::string* out) {
  out->clear();
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  char buf[4096];
  while (out->size() < max) {
    const size_t want = max - out->size() < sizeof buf ? max - out->size() : sizeof buf;
    const ssize_t n = ::read(fd.get(), buf, want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out->append(buf, static_cast<size_t>(n));
  }
  return true;
}

int WriteAll(int fd, const void* data, size_t len) {
  const char* p = static_cast<const char*>(data);
  while (len > 0) {
    ssize_t n = ::write(fd, p, len);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    p += n;
    len -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace platform
