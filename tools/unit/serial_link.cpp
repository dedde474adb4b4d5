#include "tools/unit/serial_link.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace unitlink {

namespace {

constexpr size_t kMaxAnswerBytes = 16 * 1024;
// A reply ends in CR LF; a second reply (the unit may answer a request
// twice) follows at once, so a short quiet time after a line end closes it.
constexpr int kQuietAfterLineEndMs = 60;
// Bytes without a line end behind them: wait longer for the rest.
constexpr int kQuietMidLineMs = 400;

int MsSince(std::chrono::steady_clock::time_point t) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count());
}

bool EndsWithLineEnd(const std::string& s) { return s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0; }

}  // namespace

int OpenRawPort(const std::string& path, std::string* error) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return -1;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    *error = path + " is not a serial port: " + std::strerror(errno);
    close(fd);
    return -1;
  }
  // 115200 8N1, no echo, no translation of CR or LF in either direction.
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSTOPB | PARENB);
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  if (tcsetattr(fd, TCSANOW, &t) != 0) {
    *error = "cannot set up " + path + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

bool WriteAllBytes(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0) return false;
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

std::string FramedRequest(std::string request) {
  while (!request.empty() && (request.back() == '\r' || request.back() == '\n')) request.pop_back();
  return request + "\r";
}

SerialLink::~SerialLink() { Close(); }

void SerialLink::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool SerialLink::EnsureOpen(std::string* error) {
  if (fd_ >= 0) return true;
  fd_ = OpenRawPort(path_, error);
  return fd_ >= 0;
}

Exchange SerialLink::Ask(const std::string& request, int first_byte_ms) {
  Exchange ex;
  if (!EnsureOpen(&ex.error)) return ex;
  // Bytes from before this request are no answer to it.
  tcflush(fd_, TCIFLUSH);
  if (!WriteAllBytes(fd_, FramedRequest(request))) {
    ex.error = "cannot write to " + path_ + ": " + std::strerror(errno);
    Close();
    return ex;
  }
  const auto start = std::chrono::steady_clock::now();
  auto last = start;
  for (;;) {
    int left;
    if (ex.bytes.empty()) {
      left = first_byte_ms - MsSince(start);
    } else {
      left = (EndsWithLineEnd(ex.bytes) ? kQuietAfterLineEndMs : kQuietMidLineMs) - MsSince(last);
    }
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    if (ready == 0) continue;  // the deadline is checked above
    char buf[1024];
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n > 0) {
      ex.bytes.append(buf, static_cast<size_t>(std::min<size_t>(static_cast<size_t>(n), kMaxAnswerBytes - ex.bytes.size())));
      last = std::chrono::steady_clock::now();
      if (ex.bytes.size() >= kMaxAnswerBytes) break;
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      Close();  // the line went away; the next request opens it again
      break;
    }
  }
  return ex;
}

}  // namespace unitlink
