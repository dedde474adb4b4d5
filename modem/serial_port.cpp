#include "modem/serial_port.h"

#include <unistd.h>

int uart_write(int fd, const void* buf, int len) {
  if (len <= 0) return 0;
  return static_cast<int>(::write(fd, buf, static_cast<size_t>(len)));
}
