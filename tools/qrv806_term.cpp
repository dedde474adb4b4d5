// qrv806-term: sends request lines of the serial command protocol to a
// device in utility mode and prints its replies, one per line, with the
// control bytes shown (\r, \n, \xNN), so a session can be read and
// scripted. The device is a serial port (/dev/ttyUSB0) or the simulated
// board's terminal (DIR/term).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: qrv806-term [-w QUIET_MS] [-t SECONDS] DEVICE [REQUEST...]\n"
    "  Sends each REQUEST (e.g. @STAN or \"@EVNT2;DI1;NO;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON\")\n"
    "  with a CR and prints every reply line with its control bytes escaped.\n"
    "  Without REQUEST, the requests are read from standard input, one a line.\n"
    "  -w QUIET_MS  a reply is complete when nothing has come for this long (default 300)\n"
    "  -t SECONDS   how long to wait for the first byte of a reply (default 3)\n";

struct Options {
  std::string device;
  std::vector<std::string> requests;
  bool from_stdin = false;
  int quiet_ms = 300;
  int first_byte_ms = 3000;
};

bool ParsePositive(const char* text, long max, long* out) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v <= 0 || v > max) return false;
  *out = v;
  return true;
}

bool ParseArgs(int argc, char** argv, Options* o) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
    const std::string a = argv[i];
    long v = 0;
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "-w" && i + 1 < argc && ParsePositive(argv[i + 1], 60000, &v)) {
      o->quiet_ms = static_cast<int>(v);
      ++i;
    } else if (a == "-t" && i + 1 < argc && ParsePositive(argv[i + 1], 3600, &v)) {
      o->first_byte_ms = static_cast<int>(v * 1000);
      ++i;
    } else {
      std::fprintf(stderr, "qrv806-term: bad option '%s'\n", argv[i]);
      return false;
    }
  }
  if (i >= argc) {
    std::fputs("qrv806-term: no device given\n", stderr);
    return false;
  }
  o->device = argv[i++];
  for (; i < argc; ++i) o->requests.push_back(argv[i]);
  o->from_stdin = o->requests.empty();
  return true;
}

int OpenRaw(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    std::fprintf(stderr, "qrv806-term: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return -1;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    std::fprintf(stderr, "qrv806-term: %s is not a serial port: %s\n", path.c_str(), std::strerror(errno));
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
    std::fprintf(stderr, "qrv806-term: cannot set up %s: %s\n", path.c_str(), std::strerror(errno));
    close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
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

int MsSince(std::chrono::steady_clock::time_point t) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count());
}

// Everything the device sends for one request: waits up to `first_ms` for
// the first byte, then until nothing has come for `quiet_ms`.
std::string Collect(int fd, int first_ms, int quiet_ms) {
  std::string got;
  const auto start = std::chrono::steady_clock::now();
  auto last = start;
  for (;;) {
    const int left = got.empty() ? first_ms - MsSince(start) : quiet_ms - MsSince(last);
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buf[1024];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      got.append(buf, static_cast<size_t>(n));
      last = std::chrono::steady_clock::now();
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      break;  // the line went away
    }
  }
  return got;
}

std::string Escaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7f) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// One output line per reply: the text up to and with each CR LF (or a lone
// LF), and whatever trails without one.
void PrintReplies(const std::string& bytes) {
  size_t from = 0;
  while (from < bytes.size()) {
    size_t end = bytes.find('\n', from);
    end = end == std::string::npos ? bytes.size() : end + 1;
    std::printf("%s\n", Escaped(bytes.substr(from, end - from)).c_str());
    from = end;
  }
  std::fflush(stdout);
}

// The request as the device wants it: without line ends of its own, then CR.
std::string Framed(std::string request) {
  while (!request.empty() && (request.back() == '\r' || request.back() == '\n')) request.pop_back();
  return request + "\r";
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArgs(argc, argv, &o)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const int fd = OpenRaw(o.device);
  if (fd < 0) return 1;
  // Bytes from before this session are no reply to it.
  tcflush(fd, TCIFLUSH);

  auto run = [&](const std::string& request) {
    if (request.empty()) return;
    tcflush(fd, TCIFLUSH);
    if (!WriteAll(fd, Framed(request))) {
      std::fprintf(stderr, "qrv806-term: cannot write to %s: %s\n", o.device.c_str(), std::strerror(errno));
      std::exit(1);
    }
    const std::string reply = Collect(fd, o.first_byte_ms, o.quiet_ms);
    if (reply.empty()) {
      std::fprintf(stderr, "qrv806-term: no reply to %s\n", Escaped(request).c_str());
      return;
    }
    PrintReplies(reply);
  };
  if (o.from_stdin) {
    for (std::string line; std::getline(std::cin, line);) run(line);
  } else {
    for (const std::string& request : o.requests) run(request);
  }
  close(fd);
  return 0;
}
