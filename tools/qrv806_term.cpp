// qrv806-term: sends request lines of the serial command protocol to a
// device in utility mode and prints its replies, one per line, with the
// control bytes shown (\r, \n, \xNN), so a session can be read and
// scripted. The device is a serial port (/dev/ttyUSB0) or the simulated
// board's terminal (DIR/term). It also saves a unit's whole configuration
// to a file of set-requests and sends such a file back into a unit.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/unit/serial_link.h"
#include "tools/unit/settings_backup.h"
#include "tools/unit/unit_session.h"

namespace {

const char kUsage[] =
    "usage: qrv806-term [-w QUIET_MS] [-t SECONDS] DEVICE [REQUEST...]\n"
    "       qrv806-term DEVICE --backup FILE\n"
    "       qrv806-term DEVICE --restore FILE [--keep-name]\n"
    "  Sends each REQUEST (e.g. @STAN or \"@EVNT2;DI1;NO;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON\")\n"
    "  with a CR and prints every reply line with its control bytes escaped.\n"
    "  Without REQUEST, the requests are read from standard input, one a line.\n"
    "  -w QUIET_MS  a reply is complete when nothing has come for this long (default 300)\n"
    "  -t SECONDS   how long to wait for the first byte of a reply (default 3)\n"
    "  --backup FILE   writes every setting the unit tells as the set-requests that recreate them\n"
    "  --restore FILE  sends a backup's requests, stops at the first refused one, then @SAVE\n"
    "  --keep-name     with --restore: the unit keeps its own name\n";

struct Options {
  std::string device;
  std::vector<std::string> requests;
  bool from_stdin = false;
  int quiet_ms = 300;
  int first_byte_ms = 3000;
  std::string backup_file;
  std::string restore_file;
  bool keep_name = false;
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
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--backup" || a == "--restore") && i + 1 < argc) {
      (a == "--backup" ? o->backup_file : o->restore_file) = argv[++i];
    } else if (a == "--keep-name") {
      o->keep_name = true;
    } else {
      o->requests.push_back(a);
    }
  }
  const bool file_mode = !o->backup_file.empty() || !o->restore_file.empty();
  if (file_mode && (!o->requests.empty() || (!o->backup_file.empty() && !o->restore_file.empty()))) {
    std::fputs("qrv806-term: --backup or --restore goes alone, without requests\n", stderr);
    return false;
  }
  if (o->keep_name && o->restore_file.empty()) {
    std::fputs("qrv806-term: --keep-name goes with --restore\n", stderr);
    return false;
  }
  o->from_stdin = o->requests.empty();
  return true;
}

int OpenRaw(const std::string& path) {
  std::string error;
  const int fd = unitlink::OpenRawPort(path, &error);
  if (fd < 0) std::fprintf(stderr, "qrv806-term: %s\n", error.c_str());
  return fd;
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

std::string Today() {
  char text[32];
  const time_t now = time(nullptr);
  struct tm local {};
  if (localtime_r(&now, &local) == nullptr) return "";
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// The unit answers in utility mode, or a line saying why not.
bool Configurable(unitlink::UnitSession& unit) {
  const std::string why = unitlink::NotConfigurable(unit.Ask("@DEVNAME"), unit.device());
  if (why.empty()) return true;
  std::fprintf(stderr, "qrv806-term: %s\n", why.c_str());
  return false;
}

int Backup(const Options& o) {
  unitlink::UnitSession unit(o.device);
  if (!Configurable(unit)) return 1;
  std::string text, error;
  if (!unitlink::MakeBackup(unit.AskFunction(), Today(), &text, &error)) {
    std::fprintf(stderr, "qrv806-term: backup not written: %s\n", error.c_str());
    return 1;
  }
  // Written aside and renamed, so a failure never leaves half a backup.
  const std::string tmp = o.backup_file + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::fprintf(stderr, "qrv806-term: cannot write %s\n", tmp.c_str());
      std::remove(tmp.c_str());
      return 1;
    }
  }
  if (std::rename(tmp.c_str(), o.backup_file.c_str()) != 0) {
    std::fprintf(stderr, "qrv806-term: cannot write %s: %s\n", o.backup_file.c_str(), std::strerror(errno));
    std::remove(tmp.c_str());
    return 1;
  }
  std::printf("backup of %s written to %s\n", o.device.c_str(), o.backup_file.c_str());
  return 0;
}

int RestoreFile(const Options& o) {
  std::ifstream in(o.restore_file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "qrv806-term: cannot read %s\n", o.restore_file.c_str());
    return 1;
  }
  // One byte past the most a backup may hold is read at most, so a wrong
  // path to a huge file or a device is refused without filling memory.
  std::string text(unitlink::kBackupMaxBytes + 1, '\0');
  in.read(&text[0], static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  std::vector<unitlink::RestoreLine> lines;
  std::string error;
  if (!unitlink::ParseBackup(text, o.keep_name, &lines, &error)) {
    std::fprintf(stderr, "qrv806-term: %s: %s; nothing sent\n", o.restore_file.c_str(), error.c_str());
    return 1;
  }
  unitlink::UnitSession unit(o.device);
  if (!Configurable(unit)) return 1;
  const unitlink::RestoreResult r = unitlink::Restore(unit.AskFunction(), lines);
  for (const unitlink::RestoreStep& step : r.steps) {
    std::printf("%s -> %s\n", step.request.c_str(), step.reply.Describe().c_str());
  }
  if (!r.saved) {
    std::fprintf(stderr, "qrv806-term: restore stopped at %s\n", r.error.c_str());
    return 1;
  }
  std::printf("restored %zu lines from %s and saved\n", lines.size(), o.restore_file.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArgs(argc, argv, &o)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!o.backup_file.empty()) return Backup(o);
  if (!o.restore_file.empty()) return RestoreFile(o);
  const int fd = OpenRaw(o.device);
  if (fd < 0) return 1;
  // Bytes from before this session are no reply to it.
  tcflush(fd, TCIFLUSH);

  auto run = [&](const std::string& request) {
    if (request.empty()) return;
    tcflush(fd, TCIFLUSH);
    if (!unitlink::WriteAllBytes(fd, unitlink::FramedRequest(request))) {
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
