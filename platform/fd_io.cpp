#include "platform/fd_io.h"

#include <cerrno>

namespace platform {

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
