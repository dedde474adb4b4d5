#include "modem/serial_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/console.h"

namespace {

// Size of the answer area of uart_write_read; the caller's buffer holds one
// more byte so that a full area is still a terminated text.
constexpr int kResponseArea = 1024;

// The driver's own messages go straight to standard output, not through the
// console printer: that one may mirror to the very port that just failed.
void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Report(const char* format, ...) {
  char text[320];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  if (n <= 0) return;
  if (n >= static_cast<int>(sizeof text)) n = sizeof text - 1;
  ConsoleWrite(text, n);
}

void SleepMs(int ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

speed_t SpeedFor(uint32_t baud) {
  switch (baud) {
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    default: return B115200;  // any rate the board does not offer
  }
}

}  // namespace

int uart_open(const char* path, uint32_t baud, uint8_t data_bits, char parity, uint8_t stop_bits) {
  // O_NOCTTY: a serial port must never become the controlling terminal, or a
  // hang-up on the line would end the whole process.
  int fd = ::open(path, O_RDWR | O_NOCTTY);
  if (fd < 0) {
    Report("open %s error: %d\n", path, fd);
    return fd;
  }
  int ret = set_opt(fd, baud, data_bits, parity, stop_bits);
  if (ret < 0) {
    Report("set opt error: %d\n", ret);
    // The caller never gets this descriptor, so it is closed here; the
    // modem loop opens its port every second and would otherwise run out of
    // descriptors on a device that is not a terminal.
    ::close(fd);  // NOLINT(cert-err33-c): the set-up failure above is what is reported
    return ret;
  }
  return fd;
}

termios SerialLineSettings(uint32_t baud, uint8_t data_bits, char parity, uint8_t stop_bits) {
  // A fresh record: raw, non-canonical, no echo, no signals, no output
  // processing.
  termios tio {};
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~CSIZE;
  if (data_bits == 7) {
    tio.c_cflag |= CS7;
  } else if (data_bits == 8) {
    tio.c_cflag |= CS8;
  }

  switch (parity) {
    case 'N':
      tio.c_cflag &= ~PARENB;
      break;
    case 'O':
      tio.c_cflag |= PARENB | PARODD;
      tio.c_iflag |= INPCK;
      break;
    case 'E':
      tio.c_iflag |= INPCK;
      tio.c_cflag |= PARENB;
      tio.c_cflag &= ~PARODD;
      break;
    default:
      break;
  }

  speed_t speed = SpeedFor(baud);
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);

  if (stop_bits == 2) {
    tio.c_cflag |= CSTOPB;
  } else {
    tio.c_cflag &= ~CSTOPB;
  }

  tio.c_cc[VTIME] = 30;
  tio.c_cc[VMIN] = 1;
  return tio;
}

int set_opt(int fd, uint32_t baud, uint8_t data_bits, char parity, uint8_t stop_bits) {
  termios old_tio {};
  if (tcgetattr(fd, &old_tio) != 0) {
    int err = errno;
    Report("setupserial 1\n");
    Report("errno=%d\n", err);
    return -1;
  }

  termios tio = SerialLineSettings(baud, data_bits, parity, stop_bits);
  tcflush(fd, TCIFLUSH);
  tcflush(fd, TCOFLUSH);

  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    Report("com set error\n");
    return -1;
  }
  return 0;
}

int uart_close(int fd) {
  if (fd < 0) return -1;
  return ::close(fd);
}

int uart_write(int fd, const void* buf, int len) {
  if (len <= 0) return 0;
  return static_cast<int>(::write(fd, buf, static_cast<size_t>(len)));
}

int uart_datasize_in_com(int fd) {
  if (fd < 0) return -1;
  int pending = 0;
  if (ioctl(fd, FIONREAD, &pending) < 0) return -2;
  return pending;
}

int uart_read(int fd, void* buf, int max_len) {
  int pending = uart_datasize_in_com(fd);
  if (pending < 0) return 0;
  if (pending > max_len) pending = max_len;
  // Nothing pending (or no room): the buffer keeps what an earlier read left
  // there, which callers rely on.
  if (pending <= 0) return 0;
  ssize_t n = ::read(fd, buf, static_cast<size_t>(pending));
  // A failed read placed nothing; callers use the result as a length.
  return n < 0 ? 0 : static_cast<int>(n);
}

int uart_write_read(int fd, const void* cmd, int cmd_len, char* response, int wait_ms) {
  uart_write(fd, cmd, cmd_len);
  SleepMs(wait_ms);
  std::memset(response, 0, kResponseArea + 1);
  return uart_read(fd, response, kResponseArea);
}
