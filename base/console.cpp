#include "base/console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/fd_io.h"

std::atomic<uint8_t> cDebugMode{0};
std::atomic<int> uart1{0};

namespace {
std::atomic<bool> discarded{false};
}  // namespace

void ConsoleDiscard(bool on) { discarded.store(on); }

void ConsoleWrite(const char* text, int len) {
  if (discarded.load(std::memory_order_relaxed)) return;
  while (len > 0) {
    ssize_t n = ::write(STDOUT_FILENO, text, static_cast<size_t>(len));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to print: the board carries on
    text += n;
    len -= static_cast<int>(n);
  }
}

int PrintMsg(const char* format, ...) {
  char buf[256];
  std::memset(buf, 0, sizeof buf);
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  if (n < 0) return 0;
  int len = n > 255 ? 255 : n;
  int port = uart1.load();
  if (cDebugMode.load() != 0 && port != 0) platform::WriteAll(port, buf, static_cast<size_t>(len));
  ConsoleWrite(buf, len);
  return len;
}
