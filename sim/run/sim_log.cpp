#include "sim/run/sim_log.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace sim {

void SimLog(const char* format, ...) {
  char text[1024] = "[sim] ";
  size_t head = 6;
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(text + head, sizeof text - head - 1, format, ap);
  va_end(ap);
  if (n < 0) return;
  size_t len = head + std::min(static_cast<size_t>(n), sizeof text - head - 2);
  text[len++] = '\n';
  const char* p = text;
  while (len > 0) {
    ssize_t w = ::write(STDOUT_FILENO, p, len);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    p += w;
    len -= static_cast<size_t>(w);
  }
}

}  // namespace sim
